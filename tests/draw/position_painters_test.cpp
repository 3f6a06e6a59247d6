#include "host/base/UT_DPI.h"
#include "host/draw/VU_Painter.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

using namespace draw_test;

// The rig shows 100 pixels per drawing unit with the origin at pixel (200, 200), +Y up.

namespace {

const VS_RGBA kInner(200, 30, 30, 255);
const VS_RGBA kOuter(30, 200, 30, 255);
const VS_RGBA kSelected(30, 30, 200, 255);
const VS_RGBA kPick(1, 2, 3, 255);
const VS_RGBA kYellow(255, 255, 0, 255), kBlue(0, 0, 255, 255), kGreen(0, 255, 0, 255);

// A position whose value cannot be read, as a host attribute may fail to evaluate.
class UnreadablePosition : public AT_Position2dAttr {
public:
    using AT_Position2dAttr::AT_Position2dAttr;
    bool getValue(double, Math::Point2d& value, bool* = nullptr) const override {
        value = Math::Point2d(1, 1);
        return false;
    }
};

struct PositionControls : ::testing::Test {
    Rig rig;
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    AT_Position2dAttr* pos =
        node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "pos", Math::Point2d(0.5, 0.25)));
    MO_PropertyBag properties;

    std::unique_ptr<MO_OGLPainter> make(const char* type, std::vector<AT_Attr*> attributes) {
        rigkit_test::loadPlugin();
        const MO_ComponentData data{properties, std::move(attributes)};
        return std::unique_ptr<MO_OGLPainter>(MO_OGLPainterFactorySingleton().create(type, data));
    }
    std::unique_ptr<MO_OGLPainter> point() { return make("POINT_2D", {pos}); }
    static PaintState state(std::int32_t selection) {
        PaintState s;
        s.selection = selection;
        s.pickColor = kPick;
        return s;
    }
    VS_Image pick(MO_OGLPainter& painter) { return rig.paint(painter, state(1), MO_OGLContext::PickingRender); }
    static void update(MO_OGLPainter& painter, const MO_PropertyAccessor& changed) {
        dynamic_cast<MO_PropertyChangeListener&>(painter).update(changed);
    }
    // The point at (0.5, 0.25) shows at window (250, 175).
    void expectCentredOnPoint(const Extent& e) {
        EXPECT_NEAR(e.minX + e.maxX + 1, 500, 1);
        EXPECT_NEAR(e.minY + e.maxY + 1, 350, 1);
    }
};

int both(const VS_Image& image) {
    return extentOf(image, kInner).count + extentOf(image, kOuter).count;
}

}  // namespace

TEST_F(PositionControls, DefaultDiscsAreThreeAndAHalfAndTwoAndAHalfPixels) {
    properties.setColor("inner_color", kInner);
    properties.setColor("outer_color", kOuter);
    const VS_Image image = rig.paint(*point());
    Extent all = extentOf(image, kOuter);
    const Extent inner = extentOf(image, kInner);
    // An outer ring of radius 3.5 round an inner disc of radius 2.45.
    EXPECT_NEAR(all.width(), 7, 1);
    EXPECT_NEAR(inner.width(), 5, 1);
    EXPECT_NEAR(inner.count, 3.14159 * 2.45 * 2.45, 6);
    EXPECT_NEAR(inner.count + all.count, 3.14159 * 3.5 * 3.5, 8);
    expectCentredOnPoint(inner);

    // The screen's scale multiplies both; the zoom and the scene's units do not.
    const float saved = UT_DPI::s_dpiScale;
    UT_DPI::s_dpiScale = 2.0f;
    EXPECT_NEAR(extentOf(rig.paint(*point()), kOuter).width(), 14, 1);
    UT_DPI::s_dpiScale = saved;
    Rig zoomed(50.0);
    EXPECT_NEAR(extentOf(zoomed.paint(*point()), kOuter).width(), 7, 1);
}

TEST_F(PositionControls, FourStylesOfTheirAreas) {
    properties.setColor("inner_color", kInner);
    properties.setColor("outer_color", kOuter);
    properties.set("size", 0.1);  // 35 pixels
    const double d = 35.0, pi = 3.14159265;
    const struct {
        const char* style;
        double area;
    } styles[] = {{"SQUARE", 4 * d * d}, {"CIRCLE", pi * d * d}, {"DIAMOND", 2 * d * d}, {"TRIANGLE", 1.299 * d * d}};
    for (const auto& s : styles) {
        SCOPED_TRACE(s.style);
        properties.set("point_style", QString(s.style));
        const VS_Image image = rig.paint(*point());
        EXPECT_NEAR(both(image), s.area, s.area * 0.03);
        // The inner shape is the same shape at 0.7 of the size.
        EXPECT_NEAR(extentOf(image, kInner).count, 0.49 * s.area, s.area * 0.03);
        if (QString(s.style) != "TRIANGLE")
            expectCentredOnPoint(extentOf(image, kInner));
    }
    // The triangle's angles start at 1.57 radians: in window pixels, whose y grows
    // downwards, its apex points down and its flat side is on top.
    const Extent triangle = extentOf(rig.paint(*point()), kOuter);
    EXPECT_NEAR(triangle.maxY, 175 + 35, 2);
    EXPECT_NEAR(triangle.minY, 175 - 17.5, 1);
    const Extent top = extentOf(rig.paint(*point()), kOuter, triangle.minY + 1);
    EXPECT_GT(top.width(), 50);
}

TEST_F(PositionControls, StyleTextIgnoresCaseAndFallsBackToADisc) {
    properties.set("size", 0.1);
    properties.set("point_style", QString("SQUARE"));
    const VS_Image square = rig.paint(*point());
    properties.set("point_style", QString("sQuArE"));
    EXPECT_EQ(differingPixels(rig.paint(*point()), square), 0);
    properties.set("point_style", QString("CIRCLE"));
    const VS_Image disc = rig.paint(*point());
    EXPECT_GT(differingPixels(disc, square), 100);
    properties.set("point_style", QString("squre"));
    EXPECT_EQ(differingPixels(rig.paint(*point()), disc), 0);
}

TEST_F(PositionControls, PickingDrawsOneShapeOfThePickingSize) {
    properties.setColor("inner_color", kInner);
    properties.set("size", 0.1);
    auto p = point();
    Extent e = extentOf(pick(*p), kPick);
    EXPECT_NEAR(e.width(), 70, 1);
    EXPECT_EQ(extentOf(pick(*p), kInner).count, 0);
    properties.set("picking_size", 0.04);
    e = extentOf(pick(*point()), kPick);
    EXPECT_NEAR(e.width(), 28, 1);
    EXPECT_NEAR(e.count, 3.14159 * 14 * 14, 15);
}

TEST_F(PositionControls, SelectionChangesTheInnerShapeOnlyAndRelativeSitsAtTheOrigin) {
    properties.setColor("inner_color", kInner);
    properties.setColor("outer_color", kOuter);
    properties.setColor("selection_color", kSelected);
    properties.set("size", 0.1);
    const VS_Image selected = rig.paint(*point(), state(1));
    EXPECT_EQ(extentOf(selected, kInner).count, 0);
    EXPECT_NEAR(extentOf(selected, kSelected).count, 0.49 * 3.14159 * 35 * 35, 60);
    EXPECT_GT(extentOf(selected, kOuter).count, 1000);
    EXPECT_GT(extentOf(rig.paint(*point(), state(2)), kInner).count, 1000);

    properties.set("relative", true);
    const Extent origin = extentOf(rig.paint(*point()), kInner);
    EXPECT_NEAR(origin.minX + origin.maxX + 1, 400, 1);
    EXPECT_NEAR(origin.minY + origin.maxY + 1, 400, 1);
}

TEST_F(PositionControls, ColorSeedsBothShapesUnlessTheyAreGivenApart) {
    properties.setColor("color", kYellow);
    properties.set("size", 0.1);
    properties.set("point_style", QString("square"));
    auto p = point();
    EXPECT_EQ(extentOf(rig.paint(*p), kYellow).count, 70 * 70);

    MO_PropertyBag changed;
    changed.setColor("color", kBlue);
    update(*p, changed);
    const VS_Image blue = rig.paint(*p);
    EXPECT_EQ(extentOf(blue, kBlue).count, 70 * 70);  // still a square: the style stays

    changed.setColor("inner_color", kGreen);
    update(*p, changed);
    const VS_Image apart = rig.paint(*p);
    EXPECT_NEAR(extentOf(apart, kGreen).count, 0.49 * 70 * 70, 150);
    EXPECT_NEAR(extentOf(apart, kBlue).count, 0.51 * 70 * 70, 150);
}

TEST_F(PositionControls, LinesJoinTwoPositionsAndUnreadableOnesStartAtTheOrigin) {
    auto* end = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "end", Math::Point2d(-1, 1.5)));
    properties.setColor("color", kInner);
    properties.set("size", 3.0);  // pixels
    auto line = make("LINE_2D", {pos, end});
    ASSERT_NE(line, nullptr);
    const VS_Image image = rig.paint(*line);
    // From window (250, 175) to (100, 50): its middle, and nothing beyond the ends.
    EXPECT_TRUE(sameRgb(image.pixel(175, 112), kInner));
    Extent e = extentOf(image, kInner);
    EXPECT_NEAR(e.minX, 100, 2);
    EXPECT_NEAR(e.maxX, 250, 2);
    EXPECT_NEAR(e.minY, 50, 2);
    EXPECT_NEAR(e.maxY, 175, 2);
    // Selection keeps the colour; picking takes the pick colour at the same thickness.
    EXPECT_EQ(differingPixels(rig.paint(*line, state(1)), image), 0);
    EXPECT_EQ(extentOf(pick(*line), kPick).count, e.count);

    auto* odd = node->addAttribute(std::make_unique<UnreadablePosition>(node, "odd"));
    auto fromOrigin = make("LINE_2D", {odd, end});
    e = extentOf(rig.paint(*fromOrigin), kInner);
    EXPECT_NEAR(e.maxX, 200, 2);
    EXPECT_NEAR(e.maxY, 200, 2);
}

TEST_F(PositionControls, BoxOutlineAndGridLinesOnlyWithShowLimits) {
    Rig rig20(20.0, {5, 2.5});  // (0, 0) at window (100, 250), (10, 5) at (300, 150)
    properties.set("show_grid_lines", true);
    properties.set("xmin", 0.0);
    properties.set("ymin", 0.0);
    properties.set("xmax", 10.0);
    properties.set("ymax", 5.0);
    properties.set("yValues", std::vector<double>{1, 2});
    properties.set("xValues", std::vector<double>{3, 12});
    properties.setColor("box_color", kOuter);
    auto hidden = make("BOX_2D", {});
    EXPECT_EQ(extentOf(rig20.paint(*hidden), kOuter).count, 0);

    properties.set("show_limits", true);
    auto box = make("BOX_2D", {});
    const VS_Image image = rig20.paint(*box);
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{200, 250}, {300, 200}, {200, 150}, {100, 200}})
        EXPECT_TRUE(sameRgb(image.pixel(x, y), kOuter)) << x << ", " << y;
    // Grid rows at y 1 and 2, columns at x 3 and (outside the box, drawn all the same) 12.
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{150, 230}, {150, 210}, {160, 200}, {340, 200}})
        EXPECT_TRUE(sameRgb(image.pixel(x, y), kOuter)) << x << ", " << y;
    EXPECT_FALSE(sameRgb(image.pixel(150, 220), kOuter));
    const Extent e = extentOf(image, kOuter);
    EXPECT_NEAR(e.minX, 99, 1);
    EXPECT_NEAR(e.maxX, 341, 1);
    // Two pixels thick: the outline's bottom covers rows 249 and 250.
    EXPECT_EQ(extentOf(image, kOuter, -1, 200).count, 2 + 2 + 2 + 2);
    EXPECT_EQ(differingPixels(rig20.paint(*box, state(1)), image), 0);
    EXPECT_EQ(extentOf(rig20.paint(*box, state(1), MO_OGLContext::PickingRender), kPick).count, e.count);

    // An emptied list keeps its lines; other keys are re-read.
    MO_PropertyBag changed;
    changed.set("show_limits", true);
    changed.set("show_grid_lines", true);
    changed.set("xValues", std::vector<double>{});
    update(*box, changed);
    EXPECT_TRUE(sameRgb(rig20.paint(*box).pixel(160, 200), kOuter));
    changed.set("xValues", std::vector<double>{4});
    changed.set("ymax", 4.0);
    update(*box, changed);
    const VS_Image moved = rig20.paint(*box);
    EXPECT_FALSE(sameRgb(moved.pixel(160, 200), kOuter));
    EXPECT_TRUE(sameRgb(moved.pixel(180, 200), kOuter));
    EXPECT_TRUE(sameRgb(moved.pixel(200, 170), kOuter));
}

TEST_F(PositionControls, BoxWithoutLimitsDrawsNothingItCannotPlace) {
    properties.set("show_limits", true);
    properties.set("show_grid_lines", true);
    properties.set("xValues", std::vector<double>{0});
    properties.setColor("box_color", kOuter);
    // The default limits lie beyond a float's range: every line has an infinite end.
    EXPECT_EQ(extentOf(rig.paint(*make("BOX_2D", {})), kOuter).count, 0);
    // Limits are kept as floats: far from the origin, 16777217 becomes 16777216, the
    // float nearest it, and the right edge is drawn a unit (100 pixels) short of it.
    {
        Rig far(100.0, {16777216.5, 0});
        MO_PropertyBag limits;
        limits.set("show_limits", true);
        limits.setColor("box_color", kOuter);
        limits.set("xmin", 16777215.0);
        limits.set("xmax", 16777217.0);
        limits.set("ymin", -1.0);
        limits.set("ymax", 1.0);
        const MO_ComponentData data{limits, {}};
        std::unique_ptr<MO_OGLPainter> box(MO_OGLPainterFactorySingleton().create("BOX_2D", data));
        const Extent e = extentOf(far.paint(*box), kOuter);
        EXPECT_NEAR(e.minX, 49, 1);
        EXPECT_NEAR(e.maxX, 151, 1);
    }
    // Finite limits are drawn where they lie.
    properties.remove("xValues");
    properties.set("xmin", 0.1);
    properties.set("xmax", 0.3);
    properties.set("ymin", -0.1);
    properties.set("ymax", 0.1);
    const Extent e = extentOf(rig.paint(*make("BOX_2D", {})), kOuter);
    EXPECT_NEAR(e.minX, 209, 1);
    EXPECT_NEAR(e.maxX, 231, 1);
}
