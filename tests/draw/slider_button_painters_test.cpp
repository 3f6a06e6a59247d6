#include "host/base/UT_DPI.h"
#include "host/draw/VU_Painter.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace draw_test;

// The rig shows 100 pixels per drawing unit with the node's origin at pixel (200, 200),
// +X to the right and +Y up the screen.

namespace {

const VS_RGBA kInk(9, 99, 199, 255);
const VS_RGBA kOtherInk(200, 150, 100, 255);
const VS_RGBA kPick(1, 2, 3, 255);
const VS_RGBA kRed(255, 0, 0);

struct ControlPainters : ::testing::Test {
    void TearDown() override { UT_DPI::s_dpiScale = 1.0f; }

    Rig rig;
    MO_PropertyBag properties;
    MO_Node* node = rig.scene.addNode(std::make_unique<MO_Module>(&rig.scene, "n"));
    AT_DoubleAttr* value = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "v", 0.0));
    AT_BoolAttr* on = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "on", false));

    std::unique_ptr<MO_OGLPainter> make(const char* type, AT_Attr* attr = nullptr) {
        rigkit_test::loadPlugin();
        const MO_ComponentData data{properties, attr ? std::vector<AT_Attr*>{attr} : std::vector<AT_Attr*>{}};
        std::unique_ptr<MO_OGLPainter> p(MO_OGLPainterFactorySingleton().create(type, data));
        EXPECT_TRUE(p) << type;
        return p;
    }
    std::unique_ptr<MO_OGLPainter> knob() { return make("SLIDER", value); }
    static PaintState state(std::int32_t selection) {
        PaintState s;
        s.selection = selection;
        s.pickColor = kPick;
        return s;
    }
    VS_Image pick(MO_OGLPainter& painter) { return rig.paint(painter, state(0), MO_OGLContext::PickingRender); }
    static bool onlyColour(const VS_Image& image, const VS_RGBA& colour) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                if (!sameRgb(image.pixel(x, y), colour) && !sameRgb(image.pixel(x, y), image.pixel(0, 0)))
                    return false;
        return true;
    }
    // Knob colours that tell the rim from the face.
    void inks() {
        properties.setColor("contour_color", kInk);
        properties.setColor("slider_color", kOtherInk);
    }
};

// The centre of a colour's pixels, in window coordinates (pixel i covers [i, i + 1)).
Math::Point2d centreOf(const Extent& e) {
    return Math::Point2d((e.minX + e.maxX + 1) * 0.5, (e.minY + e.maxY + 1) * 0.5);
}

void expectNearRgba(const VS_RGBA& got, const VS_RGBA& want, int tolerance = 1) {
    EXPECT_LE(std::abs(got.r - want.r), tolerance) << int(got.r) << " " << int(want.r);
    EXPECT_LE(std::abs(got.g - want.g), tolerance) << int(got.g) << " " << int(want.g);
    EXPECT_LE(std::abs(got.b - want.b), tolerance) << int(got.b) << " " << int(want.b);
}

}  // namespace

TEST_F(ControlPainters, KnobFollowsItsValueAlongTheTrackPastBothEnds) {
    inks();
    properties.set("radius", 0.2);
    properties.set("length", 1.0);
    properties.set("min", 20.0);
    properties.set("max", 120.0);
    auto k = knob();
    const struct {
        double v;
        double y;
    } along[] = {{20, 200}, {120, 100}, {170, 50}, {-30, 250}};
    for (const auto& a : along) {
        value->setLocalValue(a.v);
        const VS_Image image = rig.paint(*k);
        const Math::Point2d c = centreOf(extentOf(image, kOtherInk));
        EXPECT_NEAR(c.x, 200, 0.5) << a.v;
        EXPECT_NEAR(c.y, a.y, 0.5) << a.v;
        EXPECT_NEAR(extentOf(image, kInk).width(), 40, 1);  // the rim: radius 20 pixels
        EXPECT_NEAR(extentOf(image, kOtherInk).width(), 32, 1);
    }

    properties.set("horizontal", true);
    value->setLocalValue(70);
    EXPECT_NEAR(centreOf(extentOf(rig.paint(*knob()), kOtherInk)).x, 250, 0.5);
}

TEST_F(ControlPainters, KnobInTheSceneFollowsUnitScalesAndInTheCornerIgnoresThem) {
    inks();
    properties.set("radius", 0.2);
    properties.set("length", 1.0);
    value->setLocalValue(50);
    rig.scene.metrics().setUnitScales(2, 3, 1);
    VS_Image image = rig.paint(*knob());
    // Half way up a track of 1 scene unit is 1.5 drawing units; the radius takes the X scale.

    EXPECT_NEAR(centreOf(extentOf(image, kOtherInk)).y, 50, 0.5);
    EXPECT_NEAR(extentOf(image, kInk).width(), 80, 1);

    properties.set("horizontal", true);
    properties.set("xmin", 0.5);
    properties.set("ymin", -1.0);
    properties.set("radius", 0.1);
    properties.setPoint("position", {5, 5});
    image = rig.paint(*knob());
    const Math::Point2d c = centreOf(extentOf(image, kOtherInk));
    EXPECT_NEAR(c.x, 300, 0.5);
    EXPECT_NEAR(c.y, 300, 0.5);
    EXPECT_NEAR(extentOf(image, kInk).width(), 20, 1);
}

// With the defaults on the screen: a knob of 8 pixels, a track rim of 3.2 and a face of
// 2.08 pixels either side of its axis, from the viewport's centre upwards for 20 pixels.
TEST_F(ControlPainters, ScreenSlidersKeepTheirSizeInPixels) {
    inks();
    properties.set("screen_space", true);
    properties.setColor("frame_color", kOtherInk);
    VS_Image image = rig.paint(*knob());
    EXPECT_NEAR(extentOf(image, kInk).width(), 16, 1);
    EXPECT_NEAR(extentOf(image, kOtherInk).width(), 13, 1);
    Math::Point2d c = centreOf(extentOf(image, kOtherInk));
    EXPECT_NEAR(c.x, 200, 0.5);
    EXPECT_NEAR(c.y, 200, 0.5);
    value->setLocalValue(100);
    EXPECT_NEAR(centreOf(extentOf(rig.paint(*knob()), kOtherInk)).y, 180, 0.5);

    auto track = make("SLIDER_FRAME");
    image = rig.paint(*track);
    EXPECT_NEAR(extentOf(image, kInk, 190).width(), 6, 1);
    EXPECT_NEAR(extentOf(image, kOtherInk, 190).width(), 4, 1);
    const Extent face = extentOf(image, kOtherInk);
    EXPECT_NEAR(face.minY, 178, 1);
    EXPECT_NEAR(face.maxY, 201, 1);

    // Viewport halves place it; the screen's scale sizes it.
    properties.setPoint("position", {0.5, 0.5});
    properties.set("horizontal", true);
    properties.set("length", 0.2);
    UT_DPI::s_dpiScale = 2.0f;
    image = rig.paint(*knob());
    c = centreOf(extentOf(image, kOtherInk));
    EXPECT_NEAR(c.x, 340, 0.5);
    EXPECT_NEAR(c.y, 300, 0.5);
    EXPECT_NEAR(extentOf(image, kInk).width(), 32, 1);
}

TEST_F(ControlPainters, ShadowsFallOnlyOutsidePicking) {
    inks();
    properties.set("radius", 0.2);
    properties.set("horizontal", true);
    properties.set("length", 1.0);
    const VS_Image plain = rig.paint(*knob());
    const VS_Image plainPick = pick(*knob());
    properties.set("drop_shadow", true);
    const VS_Image shadowed = rig.paint(*knob());
    // The shadow lies a little right of and below the knob, half-transparent black.
    expectNearRgba(plain.pixel(221, 203), rig.background, 0);
    expectNearRgba(shadowed.pixel(221, 203), VS_RGBA(24, 24, 24));
    expectNearRgba(shadowed.pixel(178, 197), rig.background, 0);

    const VS_Image picked = pick(*knob());
    EXPECT_TRUE(onlyColour(picked, kPick));
    EXPECT_EQ(differingPixels(picked, plainPick), 0);
    // One disc of the knob's full radius.
    EXPECT_EQ(extentOf(picked, kPick).count, extentOf(plain, kInk).count + extentOf(plain, kOtherInk).count);

    properties.setColor("frame_color", kOtherInk);
    auto track = make("SLIDER_FRAME");
    const VS_Image trackShadowed = rig.paint(*track);
    // The rim is 8 pixels wide (radius 20, times 0.4) and its shadow 3 pixels lower.
    expectNearRgba(trackShadowed.pixel(250, 210), VS_RGBA(24, 24, 24));
    const VS_Image trackPicked = pick(*track);
    EXPECT_TRUE(onlyColour(trackPicked, kPick));
    properties.set("drop_shadow", false);
    const Extent rim = extentOf(rig.paint(*make("SLIDER_FRAME")), kInk);
    const Extent pickRim = extentOf(trackPicked, kPick);
    EXPECT_EQ(pickRim.minX, rim.minX);
    EXPECT_EQ(pickRim.maxX, rim.maxX);
    EXPECT_EQ(pickRim.minY, rim.minY);
    EXPECT_EQ(pickRim.maxY, rim.maxY);
}

TEST_F(ControlPainters, SelectedSlidersShowTheirSelectionFace) {
    properties.set("radius", 0.2);
    properties.set("length", 1.0);
    value->setLocalValue(50);
    expectNearRgba(rig.paint(*knob(), state(1)).pixel(200, 150), VS_RGBA(125, 125, 255), 0);
    expectNearRgba(rig.paint(*knob(), state(2)).pixel(200, 150), VU_Painter::whiteColor, 0);
    auto track = make("SLIDER_FRAME");
    expectNearRgba(rig.paint(*track, state(1)).pixel(200, 150), VS_RGBA(125, 125, 255), 0);
    expectNearRgba(rig.paint(*track, state(0)).pixel(200, 150), VS_RGBA(200, 200, 200), 0);
}

TEST_F(ControlPainters, OnlyTheKnobLeavesTheCornerAtAnUpdate) {
    inks();
    properties.setColor("frame_color", kOtherInk);
    properties.set("xmin", 1.0);
    properties.set("ymin", -1.0);
    properties.set("radius", 0.1);
    auto k = knob();
    auto track = make("SLIDER_FRAME");
    EXPECT_NEAR(centreOf(extentOf(rig.paint(*k), kOtherInk)).x, 300, 0.5);
    properties.set("screen_space", false);
    properties.set("length", 1.0);
    dynamic_cast<MO_PropertyChangeListener&>(*k).update(properties);
    dynamic_cast<MO_PropertyChangeListener&>(*track).update(properties);
    // In the scene, at "position" (0, 0); the track stays at ("xmin", "ymin").
    EXPECT_NEAR(centreOf(extentOf(rig.paint(*k), kOtherInk)).x, 200, 0.5);
    const Extent face = extentOf(rig.paint(*track), kOtherInk);
    EXPECT_NEAR(centreOf(face).x, 300, 0.5);
    // From y = -1 to 0 in the drawing, widened by the face's 2.6 pixels.
    EXPECT_NEAR(face.minY, 197, 1);
    EXPECT_NEAR(face.maxY, 302, 1);
}

// Size 1 in the scene: a button of radius 100 pixels at the origin.
TEST_F(ControlPainters, ButtonShowsItsValueAndIgnoresSelection) {
    auto button = make("BUTTON", on);
    VS_Image off = rig.paint(*button);
    expectNearRgba(off.pixel(200, 200), VS_RGBA(148, 20, 20));  // half-transparent red
    expectNearRgba(off.pixel(295, 200), kRed, 0);               // the rim
    expectNearRgba(off.pixel(114, 200), VS_RGBA(148, 20, 20));  // no shadow
    EXPECT_EQ(differingPixels(off, rig.paint(*button, state(1))), 0);

    on->setLocalValue(true);
    VS_Image pressed = rig.paint(*button);
    // The face moves right by a tenth of the radius and uncovers the darkened rim colour.
    expectNearRgba(pressed.pixel(114, 200), VS_RGBA(200, 0, 0), 0);
    expectNearRgba(pressed.pixel(200, 200), VS_RGBA(100, 128, 0));
    expectNearRgba(pressed.pixel(295, 200), kRed, 0);
    EXPECT_EQ(differingPixels(pressed, rig.paint(*button, state(1))), 0);

    for (bool v : {true, false}) {
        on->setLocalValue(v);
        const VS_Image picked = pick(*button);
        EXPECT_TRUE(onlyColour(picked, kPick));
        const Extent e = extentOf(picked, kPick);
        EXPECT_NEAR(e.width(), 200, 1);
        EXPECT_NEAR(e.height(), 200, 1);
    }
}

TEST_F(ControlPainters, CheckboxShowsACrossOnlyWhenOn) {
    auto box = make("CHECKBOX", on);
    const VS_Image off = rig.paint(*box);
    expectNearRgba(off.pixel(200, 200), VS_RGBA(148, 20, 20));
    expectNearRgba(off.pixel(235, 165), VS_RGBA(148, 20, 20));
    expectNearRgba(off.pixel(200, 104), kRed, 0);  // the top bar, a tenth of the half-side
    expectNearRgba(off.pixel(296, 250), kRed, 0);
    expectNearRgba(off.pixel(200, 111), VS_RGBA(148, 20, 20));
    EXPECT_EQ(differingPixels(off, rig.paint(*box, state(1))), 0);

    on->setLocalValue(true);
    const VS_Image checked = rig.paint(*box);
    // Bars along both diagonals out to two thirds of the half-side.
    for (const auto& [x, y] : {std::pair{200, 200}, {235, 165}, {165, 165}, {160, 240}, {246, 246}})
        expectNearRgba(checked.pixel(x, y), kRed, 0);
    expectNearRgba(checked.pixel(258, 142), VS_RGBA(20, 148, 20));
    expectNearRgba(checked.pixel(235, 200), VS_RGBA(20, 148, 20));
    EXPECT_EQ(differingPixels(checked, rig.paint(*box, state(1))), 0);

    const VS_Image picked = pick(*box);
    EXPECT_TRUE(onlyColour(picked, kPick));
    const Extent e = extentOf(picked, kPick);
    EXPECT_EQ(e.count, 200 * 200);
    EXPECT_EQ(e.minX, 100);
    EXPECT_EQ(e.minY, 100);
}

TEST_F(ControlPainters, ControlSizesFollowTheScreenOrTheSceneYUnit) {
    // On the screen, size 1 is 350 pixels: centred 150 pixels left of the window, the rim
    // runs from 315 to 350 pixels out along the middle row.
    properties.set("screen_space", true);
    properties.setPoint("position", {-3.5, 0});
    VS_Image image = rig.paint(*make("BUTTON", on));
    Extent rim = extentOf(image, kRed, 200);
    EXPECT_NEAR(rim.minX, 165, 1);
    EXPECT_NEAR(rim.maxX, 199, 1);

    properties.setPoint("position", {0, 0});
    properties.set("size", 0.02);
    EXPECT_NEAR(extentOf(rig.paint(*make("BUTTON", on)), kRed).width(), 14, 1);
    UT_DPI::s_dpiScale = 2.0f;
    properties.set("size", 0.1);
    EXPECT_NEAR(extentOf(rig.paint(*make("CHECKBOX", on)), kRed).width(), 140, 1);

    // In the scene the size is a length along Y; the centre goes through every scale.
    properties.set("screen_space", false);
    properties.set("size", 0.5);
    properties.setPoint("position", {0.2, 0});
    rig.scene.metrics().setUnitScales(3, 2, 1);
    rim = extentOf(rig.paint(*make("BUTTON", on)), kRed, 200);
    EXPECT_NEAR(rim.minX, 160, 1);
    EXPECT_NEAR(rim.maxX, 359, 1);
}
