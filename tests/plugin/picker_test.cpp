#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/factories.h"
#include "pickers/pickers.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

namespace {

struct Pickers : ::testing::Test {
    void SetUp() override { rigkit_test::loadPlugin(); }

    SC_SceneCommon scene;
    MO_Module* module = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "n")));
    MO_Module* other = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "o")));
    AT_Attr* attr = module->addAttribute(std::make_unique<AT_DoubleAttr>(module, "tx"));

    std::unique_ptr<SLB_AttributePickAdaptor> make(const char* type, int subIndex = 3) {
        const SLB_PickAdaptorFactory::Data data{module->properties(), {attr}, module, subIndex};
        return std::unique_ptr<SLB_AttributePickAdaptor>(
            dynamic_cast<SLB_AttributePickAdaptor*>(SLB_PickAdaptorFactorySingleton().create(type, data)));
    }

    const SLB_ModuleDescriptor* describe(const UT_SharedPtr<SLB_SelectableDescriptor>& d) {
        return dynamic_cast<const SLB_ModuleDescriptor*>(d.get());
    }

    void selectOther() { other->selInterface()->subSelect(0, false); }
    const std::vector<SLB_Selection::Item>& selection() { return scene.selection().items(); }
};

}  // namespace

TEST_F(Pickers, ClaimOnlyTheirOwnHandle) {
    for (const char* type : {"MONO", "MULTI"}) {
        auto p = make(type);
        ASSERT_TRUE(p);
        selectOther();
        EXPECT_FALSE(p->scanHits(p->handleId(0) + 1000, true, Qt::NoModifier)) << type;
        EXPECT_EQ(selection().front().node, other);

        // A hit without selecting: a descriptor, the selection untouched.
        auto d = p->scanHits(p->handleId(0), false, Qt::NoModifier);
        ASSERT_TRUE(describe(d));
        EXPECT_EQ(describe(d)->module(), module);
        EXPECT_EQ(d->refCount(), 1);
        EXPECT_EQ(selection().size(), 1u);
        EXPECT_EQ(selection().front().node, other);
    }
    // A module that cannot be selected still claims its handle, and selects nothing.
    module->setSelectable(false);
    auto p = make("MONO");
    selectOther();
    EXPECT_TRUE(p->scanHits(p->handleId(0), true, Qt::NoModifier));
    EXPECT_EQ(selection().front().node, other);
}

TEST_F(Pickers, MultiExtendsWithShiftWhateverElseIsHeld) {
    const struct {
        const char* type;
        Qt::KeyboardModifiers modifiers;
        bool extends;
    } cases[] = {
        {"MONO", Qt::ShiftModifier, false},
        {"MONO", Qt::NoModifier, false},
        {"MULTI", Qt::ShiftModifier | Qt::ControlModifier, true},
        {"MULTI", Qt::ShiftModifier, true},
        {"MULTI", Qt::ControlModifier, false},
        {"MULTI", Qt::NoModifier, false},
    };
    for (const auto& c : cases) {
        auto p = make(c.type, 3);
        selectOther();
        EXPECT_TRUE(p->scanHits(p->handleId(0), true, c.modifiers));
        ASSERT_EQ(selection().size(), c.extends ? 2u : 1u) << c.type << " " << int(c.modifiers);
        EXPECT_EQ(selection().back().node, module);
        EXPECT_EQ(selection().back().subIndex, 3);
    }
}

TEST_F(Pickers, HandleKindsComeFromCursorType) {
    const std::pair<const char*, int> kinds[] = {{"NoHandle", 0},     {"RotateHandle", 2}, {"PointingHandle", 8},
                                                 {"MiscControlPointHandle", 9}, {"rotatehandle", -1}, {"", -1},
                                                 {"Rotate", -1}};
    for (const auto& [name, type] : kinds) {
        module->setProperty("cursorType", QString(name));
        auto p = make("MULTI");
        EXPECT_EQ(describe(p->scanHits(p->handleId(0), false, Qt::NoModifier))->selectionType(), type) << name;
    }
    module->removeProperty("cursorType");
    auto p = make("MONO");
    auto d = p->scanHits(p->handleId(0), false, Qt::NoModifier);
    EXPECT_EQ(describe(d)->selectionType(), 9);
    EXPECT_FALSE(describe(d)->forceDragStart());
    EXPECT_TRUE(p->lassoSelection());

    module->setProperty("force_drag_start", true);
    module->setProperty("lasso_selection", false);
    p = make("MONO");
    EXPECT_TRUE(describe(p->scanHits(p->handleId(0), false, Qt::NoModifier))->forceDragStart());
    EXPECT_FALSE(p->lassoSelection());
}
