#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

using namespace draw_test;

// The rig shows 100 pixels per drawing unit with the origin at pixel (200, 200), +Y up.

namespace {

const VS_RGBA kInner(200, 30, 30, 255);
const VS_RGBA kOuter(30, 200, 30, 255);
const VS_RGBA kSelected(30, 30, 200, 255);

// A position whose value cannot be read, as a host attribute may fail to evaluate.
class UnreadablePosition : public AT_Position2dAttr {
public:
    using AT_Position2dAttr::AT_Position2dAttr;
    bool getValue(double, Math::Point2d& value, bool* = nullptr) const override {
        value = Math::Point2d(1, 1);
        return false;
    }
};

struct PositionControls : PainterTest {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    AT_Position2dAttr* pos =
        node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "pos", Math::Point2d(0.5, 0.25)));

    std::unique_ptr<MO_OGLPainter> point() { return make("POINT_2D", {pos}); }
    void inks() { set({{"inner_color", rgba(kInner)}, {"outer_color", rgba(kOuter)}}); }
    // The point at (0.5, 0.25) shows at window (250, 175).
    static void expectCentredOnPoint(const Extent& e) { expectCentredAt(e, 250, 175); }
};

int both(const VS_Image& image) {
    return extentOf(image, kInner).count + extentOf(image, kOuter).count;
}

}  // namespace

TEST_F(PositionControls, DefaultDiscsAreThreeAndAHalfAndTwoAndAHalfPixels) {
    inks();
    const VS_Image image = rig.paint(*point());
    const Extent outer = extentOf(image, kOuter), inner = extentOf(image, kInner);
    // An outer ring of radius 3.5 round an inner disc of radius 2.45.
    EXPECT_NEAR(outer.width(), 7, 1);
    EXPECT_NEAR(inner.width(), 5, 1);
    EXPECT_NEAR(inner.count, 3.14159 * 2.45 * 2.45, 6);
    EXPECT_NEAR(inner.count + outer.count, 3.14159 * 3.5 * 3.5, 8);
    expectCentredOnPoint(inner);

    // The screen's scale multiplies both; the zoom and the scene's units do not.
    EXPECT_NEAR(extentOf(Rig(50.0).paint(*point()), kOuter).width(), 7, 1);
    UT_DPI::s_dpiScale = 2.0f;
    EXPECT_NEAR(extentOf(rig.paint(*point()), kOuter).width(), 14, 1);
}

TEST_F(PositionControls, FourStylesOfTheirAreasAndADiscForAnyOther) {
    inks();
    properties.set("size", 0.1);  // 35 pixels
    const double d = 35.0, pi = 3.14159265;
    for (const auto& [style, area] : {std::pair{"sQuArE", 4 * d * d},  // any case
                                      {"CIRCLE", pi * d * d},
                                      {"DIAMOND", 2 * d * d},
                                      {"TRIANGLE", 1.299 * d * d}}) {
        SCOPED_TRACE(style);
        properties.set("point_style", QString(style));
        const VS_Image image = rig.paint(*point());
        EXPECT_NEAR(both(image), area, area * 0.03);
        // The inner shape is the same shape at 0.7 of the size.
        EXPECT_NEAR(extentOf(image, kInner).count, 0.49 * area, area * 0.03);
        if (QString(style) != "TRIANGLE")
            expectCentredOnPoint(extentOf(image, kInner));
    }
    // The triangle's angles start at 1.57 radians: in window pixels, whose y grows
    // downwards, its apex points down and its flat side is on top.
    const VS_Image image = rig.paint(*point());
    const Extent triangle = extentOf(image, kOuter);
    EXPECT_NEAR(triangle.maxY, 175 + 35, 2);
    EXPECT_NEAR(triangle.minY, 175 - 17.5, 1);
    EXPECT_GT(extentOf(image, kOuter, triangle.minY + 1).width(), 50);

    properties.set("point_style", QString("CIRCLE"));
    const VS_Image disc = rig.paint(*point());
    properties.set("point_style", QString("squre"));
    EXPECT_EQ(differingPixels(rig.paint(*point()), disc), 0);
}

TEST_F(PositionControls, PickingDrawsOneShapeOfThePickingSize) {
    set({{"inner_color", rgba(kInner)}, {"size", 0.1}});
    const VS_Image picked = pick(*point());
    EXPECT_NEAR(extentOf(picked, kPick).width(), 70, 1);
    properties.set("picking_size", 0.04);
    const Extent e = extentOf(pick(*point()), kPick);
    EXPECT_NEAR(e.width(), 28, 1);
    EXPECT_NEAR(e.count, 3.14159 * 14 * 14, 15);
}

TEST_F(PositionControls, SelectionChangesTheInnerShapeOnlyAndRelativeSitsAtTheOrigin) {
    inks();
    set({{"selection_color", rgba(kSelected)}, {"size", 0.1}});
    const VS_Image selected = rig.paint(*point(), state(1));
    EXPECT_EQ(extentOf(selected, kInner).count, 0);
    EXPECT_NEAR(extentOf(selected, kSelected).count, 0.49 * 3.14159 * 35 * 35, 60);
    EXPECT_GT(extentOf(selected, kOuter).count, 1000);

    properties.set("relative", true);
    expectCentredAt(extentOf(rig.paint(*point()), kInner), 200, 200);
}

// The update_point2d scene pins how "color" seeds both shapes, also through an update.
TEST_F(PositionControls, LinesJoinTwoPositionsAndUnreadableOnesStartAtTheOrigin) {
    auto* end = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "end", Math::Point2d(-1, 1.5)));
    properties.setColor("color", kInner);
    properties.set("size", 3.0);  // pixels
    auto line = make("LINE_2D", {pos, end});
    ASSERT_NE(line, nullptr);
    const VS_Image image = rig.paint(*line);
    // From window (250, 175) to (100, 50): its middle, and nothing beyond the ends.
    EXPECT_TRUE(sameRgb(image.pixel(175, 112), kInner));
    const Extent e = extentOf(image, kInner);
    expectBox(e, 100, 250, 50, 175, 2);
    // Selection keeps the colour; picking takes the pick colour at the same thickness.
    EXPECT_EQ(differingPixels(rig.paint(*line, state(1)), image), 0);
    EXPECT_EQ(extentOf(pick(*line), kPick).count, e.count);

    auto* odd = node->addAttribute(std::make_unique<UnreadablePosition>(node, "odd"));
    const Extent fromOrigin = extentOf(rig.paint(*make("LINE_2D", {odd, end})), kInner);
    EXPECT_NEAR(fromOrigin.maxX, 200, 2);
    EXPECT_NEAR(fromOrigin.maxY, 200, 2);
}

TEST_F(PositionControls, BoxOutlineAndGridLinesOnlyWithShowLimits) {
    Rig rig20(20.0, {5, 2.5});  // (0, 0) at window (100, 250), (10, 5) at (300, 150)
    set({{"show_grid_lines", true}, {"xmin", 0.0}, {"ymin", 0.0}, {"xmax", 10.0}, {"ymax", 5.0}});
    set({{"yValues", std::vector<double>{1, 2}}, {"xValues", std::vector<double>{3, 12}}, {"box_color", rgba(kOuter)}});
    EXPECT_EQ(extentOf(rig20.paint(*make("BOX_2D")), kOuter).count, 0);

    properties.set("show_limits", true);
    auto box = make("BOX_2D");
    const VS_Image image = rig20.paint(*box);
    // The outline's sides, grid rows at y 1 and 2, columns at x 3 and (outside the box,
    // drawn all the same) 12.
    for (const auto& [x, y] :
         {std::pair{200, 250}, {300, 200}, {200, 150}, {100, 200}, {150, 230}, {150, 210}, {160, 200}, {340, 200}})
        EXPECT_TRUE(sameRgb(image.pixel(x, y), kOuter)) << x << ", " << y;
    EXPECT_FALSE(sameRgb(image.pixel(150, 220), kOuter));
    const Extent e = extentOf(image, kOuter);
    EXPECT_NEAR(e.minX, 99, 1);
    EXPECT_NEAR(e.maxX, 341, 1);
    // Two pixels thick: the outline's bottom covers rows 249 and 250.
    EXPECT_EQ(extentOf(image, kOuter, -1, 200).count, 2 + 2 + 2 + 2);
    EXPECT_EQ(differingPixels(rig20.paint(*box, state(1)), image), 0);
    EXPECT_EQ(extentOf(rig20.paint(*box, state(1), MO_OGLContext::PickingRender), kPick).count, e.count);

    // A value that is no number is one grid line at 0, read anew or at construction: the
    // rows at 1 and 2 and the column at 3 go; the lines at 0 fall on the outline. (That an
    // emptied list keeps its lines is the update_box scene's.)
    MO_PropertyBag changed;
    setAll(changed, {{"yValues", QStringLiteral("none")}, {"xValues", QStringLiteral("none")}, {"ymin", -1.0}});
    update(*box, changed);
    set({{"yValues", QStringLiteral("none")}, {"ymin", -1.0}, {"xValues", QStringLiteral("none")}});
    const auto fresh = make("BOX_2D");
    for (MO_OGLPainter* painter : {box.get(), fresh.get()}) {
        const VS_Image grid = rig20.paint(*painter);
        EXPECT_TRUE(sameRgb(grid.pixel(150, 250), kOuter));
        EXPECT_FALSE(sameRgb(grid.pixel(150, 230), kOuter));
        EXPECT_TRUE(sameRgb(grid.pixel(150, 270), kOuter)) << "the outline's bottom at y = -1";
        EXPECT_FALSE(sameRgb(grid.pixel(80, 200), kOuter)) << "no column at x = -1";
        EXPECT_FALSE(sameRgb(grid.pixel(160, 200), kOuter)) << "nor at x = 3 any more";
    }
}

// Open limits (the defaults, beyond a float's range) are the box_open_limits scene's and the
// primitives' lines reaching infinity.
TEST_F(PositionControls, BoxLimitsAreKeptAsFloats) {
    set({{"show_limits", true}});
    properties.setColor("box_color", kOuter);
    // Far from the origin, 16777217 becomes 16777216, the float nearest it, and the right
    // edge is drawn a unit (100 pixels) short of it. Finite limits near the origin are drawn
    // where they lie.
    for (const auto& [centre, xmin, xmax, ymin, ymax, minX, maxX] :
         {std::tuple{16777216.5, 16777215.0, 16777217.0, -1.0, 1.0, 49, 151},
          std::tuple{0.0, 0.1, 0.3, -0.1, 0.1, 209, 231}}) {
        set({{"xmin", xmin}, {"xmax", xmax}, {"ymin", ymin}, {"ymax", ymax}});
        const Extent e = extentOf(Rig(100.0, {centre, 0}).paint(*make("BOX_2D")), kOuter);
        EXPECT_NEAR(e.minX, minX, 1) << xmin;
        EXPECT_NEAR(e.maxX, maxX, 1) << xmin;
    }
}
