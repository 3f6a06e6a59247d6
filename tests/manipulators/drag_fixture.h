#pragma once

// What every drag test needs: the plug-in loaded, one node, and a session that records
// into an undo history.

#include "host/commands/CO_Command.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>


namespace rigkit_test {

using Keys = std::vector<std::pair<double, double>>;

inline Keys keysOf(const AT_DoubleAttr* a) { return a->timedValue() ? a->timedValue()->keys() : Keys{}; }

inline void key(SC_SceneCommon& scene, AT_DoubleAttr* a, const Keys& keys) {
    auto tv = std::make_unique<LXBezierTimedValue>();
    for (const auto& [f, v] : keys)
        tv->setValue(f, v, false, true);
    a->socket()->link(tv.get());
    scene.addTimedValue(std::move(tv));
}

// A 400 x 400 view of the XY plane, 100 pixels per unit, centred on the origin: window
// (200 + 100 x, 200 - 100 y) is world (x, y), and the node's frame is the world.
struct DragTest : ::testing::Test {
    void SetUp() override {
        loadPlugin();
        context.setCamera(Math::CameraTransformChain::orthographic(400, 400, {0, 0}, 100));
        context.setFrames(5, 5);
    }

    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    SLB_DragContext context{&scene};
    CO_UndoHistory history;
    SLB_DragSession session{context, history};

    void set(const char* key, MO_PropertyValue v) { node->setProperty(key, std::move(v)); }
    SLB_SelectableDragManipulator* manipulate(const char* type, AT_Attr* attr) {
        const MO_ComponentData data{node->properties(), {attr}};
        node->setManipulator(std::unique_ptr<SLB_SelectableDragManipulator>(
            SLB_SelectableDragManipulatorFactorySingleton().create(type, data)));
        EXPECT_TRUE(node->manipulator()) << type;
        return node->manipulator();
    }
};

}  // namespace rigkit_test
