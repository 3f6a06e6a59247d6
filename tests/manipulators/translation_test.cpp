#include "host/commands/CO_Command.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_DragSession.h"
#include "host/scene/SLB_ManipContext.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/factories.h"
#include "manipulators/translation_manipulators.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

namespace {

using Keys = std::vector<std::pair<double, double>>;

// A 400 x 400 view of the XY plane, 100 pixels per unit, centred on the origin: window
// (200 + 100 x, 200 - 100 y) is world (x, y).
struct TranslationDrag : ::testing::Test {
    void SetUp() override {
        rigkit_test::loadPlugin();
        context.setCamera(Math::CameraTransformChain::orthographic(400, 400, {0, 0}, 100));
        context.setFrames(5, 5);
    }

    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    AT_DoubleAttr* attr = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "t", 0.5));
    SLB_DragContext context{&scene};
    CO_UndoHistory history;
    SLB_DragSession session{context, history};

    SLB_SelectableDragManipulator* manipulate(const char* type) {
        const MO_ComponentData data{node->properties(), {attr}};
        node->setManipulator(std::unique_ptr<SLB_SelectableDragManipulator>(
            SLB_SelectableDragManipulatorFactorySingleton().create(type, data)));
        EXPECT_TRUE(node->manipulator()) << type;
        return node->manipulator();
    }
    void translateBy(const char* type) {
        const MO_ComponentData data{node->properties(), {attr}};
        node->addLocalTransformation(
            std::unique_ptr<MO_LocalTransformation>(MO_LocalTransformationFactorySingleton().create(type, data)));
    }
    // Press, `steps` moves along the segment, release.
    bool drag(Math::Point2d from, Math::Point2d to, int steps = 4) {
        if (!session.press(node, from))
            return false;
        for (int i = 1; i <= steps; ++i)
            session.move(from + (to - from) * (double(i) / steps));
        return session.release();
    }
    Keys keys() const { return attr->timedValue() ? attr->timedValue()->keys() : Keys{}; }
};

}  // namespace

TEST_F(TranslationDrag, XFollowsThePointerAndRecordsOneUndoableKey) {
    manipulate("TRANSLATION_X");
    translateBy("TRANSLATION_X");
    // The arrow sits at x = 0.5, window 250; grab it there and move one unit right.
    ASSERT_TRUE(drag({250, 200}, {350, 200}));
    EXPECT_NEAR(attr->valueAt(5), 1.5, 1e-9);
    EXPECT_EQ(history.names(), std::vector<QString>{"Set translation value"});
    ASSERT_EQ(keys().size(), 1u);
    EXPECT_EQ(keys()[0].first, 5.0);
    EXPECT_EQ(attr->surrogate(), nullptr);
    history.undo();
    EXPECT_EQ(attr->valueAt(5), 0.5);
    EXPECT_EQ(attr->timedValue(), nullptr);
    history.redo();
    EXPECT_NEAR(attr->valueAt(5), 1.5, 1e-9);
}

TEST_F(TranslationDrag, EachAxisIgnoresTheOtherAxis) {
    manipulate("TRANSLATION_X");
    session.press(node, {200, 200});
    session.move({200, 50});
    EXPECT_NEAR(attr->valueAt(5), 0.5, 1e-12);  // the surrogate shows the start value
    session.move({260, 50});
    EXPECT_NEAR(attr->valueAt(5), 1.1, 1e-12);
    session.cancel();
    EXPECT_EQ(attr->valueAt(5), 0.5);
    EXPECT_TRUE(history.names().empty());

    manipulate("TRANSLATION_Y");
    session.press(node, {200, 200});
    session.move({390, 150});
    EXPECT_NEAR(attr->valueAt(5), 1.0, 1e-12);
    session.release();
    EXPECT_NEAR(attr->valueAt(5), 1.0, 1e-12);
}

TEST_F(TranslationDrag, UnitScaleDividesTheDisplacement) {
    scene.metrics().setUnitScales(2, 1, 1);
    manipulate("TRANSLATION_X");
    drag({200, 200}, {400, 200});  // two drawing units
    EXPECT_NEAR(attr->valueAt(5), 1.5, 1e-9);
}

TEST_F(TranslationDrag, StillDragGivesBackTheStartValueAndAZeroRangeOffset) {
    manipulate("TRANSLATION_Y");
    context.setAnimationMode(CX_AnimationModeRange);
    context.setFrameRange(MO_FrameRange(3, 8));
    ASSERT_TRUE(drag({123, 321}, {123, 321}));
    EXPECT_NEAR(attr->valueAt(5), 0.5, 1e-12);
    // The range is keyed all the same: passive and edge frames with their values.
    EXPECT_EQ(keys(), (Keys{{2, 0.5}, {3, 0.5}, {8, 0.5}, {9, 0.5}}));
}

TEST_F(TranslationDrag, RangeModeOffsetsTheKeyedFrames) {
    auto tv = std::make_unique<LXBezierTimedValue>();
    tv->setValue(1, 0, false, true);
    tv->setValue(5, 1, false, true);
    tv->setValue(20, 2, false, true);
    attr->socket()->link(tv.get());
    scene.addTimedValue(std::move(tv));
    manipulate("TRANSLATION_X");
    context.setAnimationMode(CX_AnimationModeRange);
    context.setFrameRange(MO_FrameRange(2, 10));
    drag({200, 200}, {250, 200});
    EXPECT_NEAR(attr->valueAt(5), 1.5, 1e-9);
    EXPECT_EQ(attr->valueAt(1), 0.0);
    EXPECT_EQ(attr->valueAt(20), 2.0);
    history.undo();
    EXPECT_EQ(keys(), (Keys{{1, 0}, {5, 1}, {20, 2}}));
}

TEST_F(TranslationDrag, WithoutSelectionOrMacroNothingIsRecorded) {
    SLB_SelectableDragManipulator* m = manipulate("TRANSLATION_X");
    node->setSelectable(false);
    EXPECT_FALSE(drag({200, 200}, {300, 200}));
    // Called without a selected interface, the manipulator attaches nothing.
    m->dragStarted(context, nullptr, 0, 0, 0);
    m->drag(context, nullptr, 1, 0, 0);
    EXPECT_EQ(attr->surrogate(), nullptr);
    EXPECT_EQ(attr->valueAt(5), 0.5);

    // No macro at the finish: the drag's preview stays and nothing is made.
    node->setSelectable(true);
    m->dragStarted(context, node->selInterface(), 0, 0, 0);
    m->drag(context, node->selInterface(), 1, 0, 0);
    m->dragFinished(context, node->selInterface());
    EXPECT_NE(attr->surrogate(), nullptr);
    EXPECT_NEAR(attr->valueAt(5), 1.5, 1e-12);
    EXPECT_EQ(attr->localValue(), 0.5);
}

TEST_F(TranslationDrag, ZDragsInAStandingPlaneThatDoesNotTurnFurther) {
    // Looking along -X at the origin: the window's right is the world's -Z.
    context.setCamera(Math::CameraTransformChain::perspective(400, 400, {10, 0, 0}, {0, 0, 0}, {0, 1, 0}, 40));
    manipulate("TRANSLATION_Z");
    const Math::CameraTransformChain& cam = context.camera();
    Math::Point3d a, b;
    ASSERT_TRUE(cam.transform(Math::SourcePointerFrame, Math::DestinationScreenFrame, Math::Point3d(0, 0, 0), a));
    ASSERT_TRUE(cam.transform(Math::SourcePointerFrame, Math::DestinationScreenFrame, Math::Point3d(0, 0, -1), b));
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(drag({a.x, a.y}, {b.x, b.y}));
        EXPECT_NEAR(attr->valueAt(5), 0.5 - (round + 1), 1e-9) << round;
    }

    // Seen edge-on from above, the plane maps nothing: the drag is ignored.
    context.setCamera(Math::CameraTransformChain::orthographic(400, 400, {0, 0}, 100));
    session.press(node, {200, 200});
    session.move({300, 300});
    EXPECT_NEAR(attr->valueAt(5), -1.5, 1e-9);
    session.cancel();
}

TEST_F(TranslationDrag, CopiesShareTheDragUnderWay) {
    TranslationXDragManipulator m(node->properties(), attr);
    m.dragStarted(context, node->selInterface(), 0, 0, 0);
    TranslationXDragManipulator copy(m);
    copy.drag(context, node->selInterface(), 2, 0, 0);
    EXPECT_NEAR(attr->valueAt(5), 2.5, 1e-12);  // the copy moves the same surrogate
    TranslationXDragManipulator assigned(node->properties(), attr);
    assigned = copy;
    CO_OrCommand macro(true);
    context.setMacro(&macro);
    assigned.dragFinished(context, node->selInterface());
    EXPECT_EQ(attr->surrogate(), nullptr);
    EXPECT_EQ(macro.size(), 1u);
    context.setMacro(nullptr);
}
