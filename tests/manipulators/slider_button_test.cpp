#include "manipulators/slider_manipulator.h"
#include "tests/manipulators/drag_fixture.h"

using namespace rigkit_test;

namespace {

struct SliderButtonDrag : DragTest {
    AT_DoubleAttr* value = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "v", 0.0));
    AT_BoolAttr* on = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "on", false));

    SLB_SelectableDragManipulator* slider() { return manipulate("SLIDER", value); }
    // The value shown while the pointer has moved by (dx, dy) pixels from `from`.
    double shownAfter(Math::Point2d from, double dx, double dy) {
        session.move(from + Math::Point2d(dx, dy));
        return value->valueAt(5);
    }
    bool drag(Math::Point2d from, Math::Point2d to) {
        if (!session.press(node, from))
            return false;
        session.move(to);
        return session.release();
    }
};

}  // namespace

TEST_F(SliderButtonDrag, SliderKeepsMaxAboveMin) {
    set("min", 10.0);
    set("max", 3.0);
    SliderDragManipulator reversed(node->properties(), value);
    EXPECT_EQ(reversed.max(), 11.0);
    set("min", 5.0);
    set("max", 5.0);
    SliderDragManipulator empty(node->properties(), value);
    EXPECT_EQ(empty.min(), 5.0);
    EXPECT_EQ(empty.max(), 6.0);
}

// Where a slider is placed, and its default length there, show in the drags below.
TEST_F(SliderButtonDrag, SliderUpdatesSwitchBetweenScreenAndSceneOnlyWhenTheNodeSaysWhich) {
    set("xmin", 0.0);
    SliderDragManipulator inCorner(node->properties(), value);
    set("screen_space", true);
    SliderDragManipulator onScreen(node->properties(), value);
    EXPECT_EQ(onScreen.placement(), SliderPlacement::Screen);
    set("length", 0.5);
    inCorner.update(node->properties());
    EXPECT_EQ(inCorner.placement(), SliderPlacement::Screen);
    EXPECT_EQ(inCorner.length(), 0.5);
    set("screen_space", false);
    inCorner.update(node->properties());
    onScreen.update(node->properties());
    EXPECT_EQ(inCorner.placement(), SliderPlacement::Scene);
    EXPECT_EQ(onScreen.placement(), SliderPlacement::Scene);
    node->removeProperty("screen_space");
    SliderDragManipulator corner(node->properties(), value);
    corner.update(node->properties());
    EXPECT_EQ(corner.placement(), SliderPlacement::Corner);
}

TEST_F(SliderButtonDrag, SliderFollowsOnlyItsAxisAndClampsInEveryPlacement) {
    struct Move {
        double dx, dy, shown, tolerance;
    };
    const struct {
        const char* what;
        std::vector<std::pair<const char*, MO_PropertyValue>> properties;
        double start;
        std::vector<Move> moves;
    } cases[] = {
        // Vertical and one unit long: 100 pixels up the window.
        {"vertical", {{"length", 1.0}}, 50, {{0, -20, 70, 1e-9}, {150, -20, 70, 1e-9}, {0, -300, 100, 0}, {0, 300, 0, 0}}},
        {"horizontal", {{"length", 1.0}, {"horizontal", true}}, 50, {{0, -90, 50, 1e-9}, {-10, 90, 40, 1e-9}}},
        // A start outside the range is brought into it by the first move.
        {"outside", {{"length", 1.0}, {"horizontal", true}}, 150, {{0, 0, 100, 0}}},
        {"zero length", {{"length", 0.0}}, 30, {{0, -50, 30, 0}}},
        // One step, or one and a half, is no quantisation.
        {"one step", {{"horizontal", true}, {"length", 1.0}, {"steps", 1.0}}, 0, {{37, 0, 37, 1e-9}}},
        {"1.5 steps", {{"horizontal", true}, {"length", 1.0}, {"steps", 1.5}}, 0, {{37, 0, 37, 1e-9}}},
        // A quarter of the track from 25 gives 50. Scene: 3 units, 300 pixels; corner: 0.15
        // drawing units, 15 pixels; screen: a tenth of the viewport's half height, 20 pixels.
        {"scene", {}, 25, {{0, -75, 50, 1e-9}}},
        {"corner", {{"xmin", true}}, 25, {{0, -3.75, 50, 1e-9}}},
        {"screen", {{"xmin", true}, {"screen_space", true}}, 25, {{0, -5, 50, 1e-9}}},
        // Wherever the track is placed on the screen, its length in pixels is the same.
        {"screen, placed",
         {{"xmin", true}, {"screen_space", true}, {"position", std::vector<double>{0.5, -0.3}}},
         25,
         {{0, -5, 50, 1e-9}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* key : {"length", "horizontal", "steps", "xmin", "screen_space", "position"})
            node->removeProperty(key);
        for (const auto& [key, v] : c.properties)
            set(key, v);
        value->setLocalValue(c.start);
        slider();
        ASSERT_TRUE(session.press(node, {200, 200}));
        for (const Move& m : c.moves)
            EXPECT_NEAR(shownAfter({200, 200}, m.dx, m.dy), m.shown, m.tolerance) << m.dx << ", " << m.dy;
        session.cancel();
    }

    // In the scene the track's length follows the unit scale of its axis.
    node->removeProperty("xmin");
    node->removeProperty("screen_space");
    scene.metrics().setUnitScales(1, 2, 1);
    slider();
    session.press(node, {200, 200});
    EXPECT_NEAR(shownAfter({200, 200}, 0, -75), 37.5, 1e-9);
    session.cancel();
}

// In range mode every keyed frame of the range, and its two edges, move by the change the
// drag made at the current frame; the neighbours outside keep their values.
TEST_F(SliderButtonDrag, SliderRangeDragOffsetsTheRangeByTheChangeAtTheCurrentFrame) {
    key(scene, value, {{1, 10}, {5, 20}, {8, 30}, {20, 40}});
    const double at2 = value->valueAt(2), at10 = value->valueAt(10), at11 = value->valueAt(11);

    set("length", 1.0);
    slider();
    context.setAnimationMode(CX_AnimationModeRange);
    context.setFrameRange(MO_FrameRange(2, 10));
    ASSERT_TRUE(drag({200, 200}, {200, 170}));  // 20 at frame 5 becomes 50
    EXPECT_NEAR(value->valueAt(5), 50, 1e-9);
    const Keys after = keysOf(value);
    const Keys expected = {{1, 10}, {2, at2 + 30}, {5, 50}, {8, 60}, {10, at10 + 30}, {11, at11}, {20, 40}};
    ASSERT_EQ(after.size(), expected.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].first, expected[i].first);
        EXPECT_NEAR(after[i].second, expected[i].second, 1e-9) << after[i].first;
    }
}

// The slider_button_drag and button_keyed scenes pin a toggle's flips, a momentary button
// let go (also one already on at the press), and that neither records anything; here a
// release without a macro.
TEST_F(SliderButtonDrag, AButtonReleasedWithoutAMacroKeepsItsFlip) {
    set("toggle", true);
    SLB_SelectableDragManipulator* m = manipulate("BUTTON", on);
    m->dragStarted(context, node->selInterface(), 0, 0, 0);
    EXPECT_TRUE(on->value(5));
    m->dragFinished(context, node->selInterface());
    EXPECT_TRUE(on->value(5));
}
