// The classes exported whole may be copied and assigned by the host, with copy operations
// the plug-in leaves to the compiler or writes itself. A copy made during a drag moves the
// same preview as the original would, and an assigned one finishes it into one command; a
// copied picker claims the same handle for the same node.

#include "manipulators/button_manipulators.h"
#include "manipulators/position_manipulators.h"
#include "manipulators/rotation_manipulators.h"
#include "manipulators/slider_manipulator.h"
#include "manipulators/translation_manipulators.h"
#include "pickers/pickers.h"
#include "tests/manipulators/drag_fixture.h"

#include <memory>
#include <type_traits>
#include <vector>

using namespace rigkit_test;

namespace {

// How each exported manipulator is built; the script manipulator has no attribute and
// changes nothing.
template <class M, class A, bool Moves = true>
struct Built {
    using Attribute = A;
    static constexpr bool moves = Moves;
    static std::unique_ptr<M> make(const MO_PropertyAccessor& properties, A* attribute) {
        if constexpr (Moves)
            return std::make_unique<M>(properties, attribute);
        else
            return std::make_unique<M>(properties);
    }
};
template <class M>
struct Exported : Built<M, AT_DoubleAttr> {};
template <>
struct Exported<RotationDragManipulator> : Built<RotationDragManipulator, AT_Rotation3dAttr> {};
template <>
struct Exported<Position3dDragManipulator> : Built<Position3dDragManipulator, AT_Position3dAttr> {};
template <>
struct Exported<ScriptDragManipulator> : Built<ScriptDragManipulator, AT_DoubleAttr, false> {};

// As a view shows them, a drag's preview included.
std::vector<double> values(const AT_Attr* a) {
    if (auto* scalar = dynamic_cast<const AT_DoubleAttr*>(a))
        return {scalar->valueAt(5)};
    if (auto* position = dynamic_cast<const AT_Position3dAttr*>(a)) {
        Math::Point3d p;
        position->getValue(5, p);
        return {p.x, p.y, p.z};
    }
    return dynamic_cast<const AT_ComplexAttr*>(a)->valuesAt(5);
}

// What the attribute holds itself, under any preview.
std::vector<double> localValues(const AT_Attr* a) {
    if (auto* scalar = dynamic_cast<const AT_DoubleAttr*>(a))
        return {scalar->localValue()};
    const auto* compound = dynamic_cast<const AT_ComplexAttr*>(a);
    std::vector<double> out;
    for (std::size_t i = 0; i < compound->componentCount(); ++i)
        out.push_back(compound->component(i)->localValue());
    return out;
}

template <class M>
struct ExportedManipulator : DragTest {
    using Attribute = typename Exported<M>::Attribute;

    void SetUp() override {
        DragTest::SetUp();
        // Seen at a slant, so that every axis and plane of the controls moves under the pointer.
        context.setCamera(Math::CameraTransformChain::perspective(400, 400, {4, -3, 5}, {0, 0, 0}, {0, 0, 1}, 40));
    }
    Attribute* attribute(const char* name) { return node->addAttribute(std::make_unique<Attribute>(node, name)); }
    Math::Point3d pointer(double x, double y) {
        Math::Point3d p;
        EXPECT_TRUE(context.camera().pointerPosition({x, y}, p));
        return p;
    }
    void start(M& m, SLB_SelectedInterface* selected) {
        const Math::Point3d p = pointer(240, 170);
        m.dragStarted(context, selected, p.x, p.y, p.z);
    }
    void move(M& m, SLB_SelectedInterface* selected) {
        const Math::Point3d p = pointer(300, 110);
        m.drag(context, selected, p.x, p.y, p.z);
    }
    void start(M& m) { start(m, node->selInterface()); }
    void move(M& m) { move(m, node->selInterface()); }
    std::size_t finish(M& m) {
        CO_OrCommand macro(true);
        context.setMacro(&macro);
        m.dragFinished(context, node->selInterface());
        context.setMacro(nullptr);
        // Carried out as the history carries out what a drag records.
        macro.execute();
        return macro.size();
    }
};

using Manipulators = ::testing::Types<TranslationXDragManipulator, TranslationYDragManipulator,
                                      TranslationZDragManipulator, RotationXDragManipulator,
                                      RotationYDragManipulator, RotationZDragManipulator, RotationDragManipulator,
                                      Position3dDragManipulator, SliderDragManipulator, ScriptDragManipulator>;
TYPED_TEST_SUITE(ExportedManipulator, Manipulators);

TYPED_TEST(ExportedManipulator, ACopyMovesTheDragUnderWayAndAnAssignedOneFinishesIt) {
    using M = TypeParam;
    auto* dragged = this->attribute("a");
    auto* reference = this->attribute("b");
    const std::vector<double> initial = values(dragged);

    auto alone = Exported<M>::make(this->node->properties(), reference);
    this->start(*alone);
    this->move(*alone);
    const std::vector<double> expected = values(reference);
    this->finish(*alone);
    if (Exported<M>::moves) {
        EXPECT_NE(expected, initial) << "the drag moves nothing to compare";
    }

    auto original = Exported<M>::make(this->node->properties(), dragged);
    this->start(*original);
    M copy(*original);
    original.reset();
    this->move(copy);
    const std::vector<double> moved = values(dragged);
    ASSERT_EQ(moved.size(), expected.size());
    for (std::size_t i = 0; i < moved.size(); ++i)
        EXPECT_NEAR(moved[i], expected[i], 1e-9) << "component " << i;

    auto assigned = Exported<M>::make(this->node->properties(), reference);
    *assigned = copy;
    EXPECT_EQ(this->finish(*assigned), Exported<M>::moves ? 1u : 0u) << "commands recorded";
    EXPECT_EQ(dragged->surrogate(), nullptr);
    EXPECT_EQ(values(dragged), moved);
}

// Started without a selected interface, a drag shows nothing and whatever it records leaves
// the value; finished without a macro, it records nothing and its preview stays.
TYPED_TEST(ExportedManipulator, WithoutASelectedInterfaceOrAMacroNothingIsWritten) {
    using M = TypeParam;
    auto* a = this->attribute("a");
    if constexpr (std::is_same_v<typename TestFixture::Attribute, AT_DoubleAttr>)
        a->setLocalValue(0.3);
    else
        a->setLocalValues({0.3, -0.2, 0.1});
    const std::vector<double> initial = values(a), local = localValues(a);
    auto blind = Exported<M>::make(this->node->properties(), a);
    this->start(*blind, nullptr);
    this->move(*blind, nullptr);
    EXPECT_EQ(a->surrogate(), nullptr);
    EXPECT_EQ(values(a), initial);
    this->finish(*blind);
    EXPECT_EQ(values(a), initial);

    auto m = Exported<M>::make(this->node->properties(), a);
    this->start(*m);
    this->move(*m);
    const std::vector<double> shown = values(a);
    m->dragFinished(this->context, this->node->selInterface());
    EXPECT_EQ(values(a), shown);
    EXPECT_EQ(localValues(a), local);
    if (Exported<M>::moves) {
        EXPECT_NE(a->surrogate(), nullptr);
        EXPECT_NE(shown, initial);
    }
}

template <class P>
struct ExportedPicker : ::testing::Test {
    void SetUp() override { loadPlugin(); }

    SC_SceneCommon scene;
    MO_Module* module = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "n")));
    MO_Module* other = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "o")));
    AT_Attr* attr = module->addAttribute(std::make_unique<AT_DoubleAttr>(module, "tx"));
};

using Pickers = ::testing::Types<MonoPicker, MultiPicker>;
TYPED_TEST_SUITE(ExportedPicker, Pickers);

TYPED_TEST(ExportedPicker, CopiesClaimTheSameHandleForTheSameNode) {
    this->module->setProperty("force_drag_start", true);
    TypeParam p(this->module->properties(), this->module, this->attr, 5);
    const TypeParam copy(p);
    this->module->removeProperty("force_drag_start");
    TypeParam assigned(this->module->properties(), this->other, this->attr, 1);
    ASSERT_NE(assigned.handleId(0), p.handleId(0));
    assigned = p;
    for (const TypeParam* q : {&copy, const_cast<const TypeParam*>(&assigned)}) {
        EXPECT_EQ(q->handleId(0), p.handleId(0));
        EXPECT_EQ(q->module(), this->module);
        EXPECT_EQ(q->subSelectionIndex(), 5);
        EXPECT_EQ(q->selectionType(), p.selectionType());
        EXPECT_TRUE(q->forceDragStart());
    }
    EXPECT_TRUE(assigned.scanHits(p.handleId(0), true, Qt::NoModifier));
    EXPECT_EQ(this->scene.selection().items().back().subIndex, 5);
    EXPECT_EQ(this->scene.selection().items().back().node, this->module);
}

}  // namespace
