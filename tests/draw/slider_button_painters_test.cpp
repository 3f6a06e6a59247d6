#include "host/draw/VU_Painter.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

using namespace draw_test;

// The rig shows 100 pixels per drawing unit with the node's origin at pixel (200, 200),
// +X to the right and +Y up the screen.

namespace {

const VS_RGBA kInk(9, 99, 199, 255);
const VS_RGBA kOtherInk(200, 150, 100, 255);
const VS_RGBA kRed(255, 0, 0);

struct ControlPainters : PainterTest {
    MO_Node* node = rig.scene.addNode(std::make_unique<MO_Module>(&rig.scene, "n"));
    AT_DoubleAttr* value = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "v", 0.0));
    AT_BoolAttr* on = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "on", false));

    std::unique_ptr<MO_OGLPainter> knob() { return make("SLIDER", {value}); }
    VS_Image pick(MO_OGLPainter& painter) { return PainterTest::pick(painter, 0); }
    // Knob colours that tell the rim from the face.
    void inks() { set({{"contour_color", rgba(kInk)}, {"slider_color", rgba(kOtherInk)}}); }
};

}  // namespace

TEST_F(ControlPainters, KnobFollowsItsValueAlongTheTrackPastBothEnds) {
    inks();
    set({{"radius", 0.2}, {"length", 1.0}, {"min", 20.0}, {"max", 120.0}});
    auto k = knob();
    for (const auto& [v, y] : {std::pair{20.0, 200.0}, {120.0, 100.0}, {170.0, 50.0}, {-30.0, 250.0}}) {
        value->setLocalValue(v);
        const VS_Image image = rig.paint(*k);
        SCOPED_TRACE(v);
        expectCentredAt(extentOf(image, kOtherInk), 200, y);
        EXPECT_NEAR(extentOf(image, kInk).width(), 40, 1);  // the rim: radius 20 pixels
        EXPECT_NEAR(extentOf(image, kOtherInk).width(), 32, 1);
    }

    properties.set("horizontal", true);
    value->setLocalValue(70);
    EXPECT_NEAR(extentOf(rig.paint(*knob()), kOtherInk).centre().x, 250, 0.5);
}

TEST_F(ControlPainters, KnobInTheSceneFollowsUnitScalesAndInTheCornerIgnoresThem) {
    inks();
    set({{"radius", 0.2}, {"length", 1.0}});
    value->setLocalValue(50);
    rig.scene.metrics().setUnitScales(2, 3, 1);
    VS_Image image = rig.paint(*knob());
    // Half way up a track of 1 scene unit is 1.5 drawing units; the radius takes the X scale.
    EXPECT_NEAR(extentOf(image, kOtherInk).centre().y, 50, 0.5);
    EXPECT_NEAR(extentOf(image, kInk).width(), 80, 1);

    set({{"horizontal", true}, {"xmin", 0.5}, {"ymin", -1.0}, {"radius", 0.1}});
    properties.setPoint("position", {5, 5});
    image = rig.paint(*knob());
    expectCentredAt(extentOf(image, kOtherInk), 300, 300);
    EXPECT_NEAR(extentOf(image, kInk).width(), 20, 1);
}

// With the defaults on the screen: a knob of 8 pixels, a track rim of 3.2 and a face of
// 2.08 pixels either side of its axis, from the viewport's centre upwards for 20 pixels.
TEST_F(ControlPainters, ScreenSlidersKeepTheirSizeInPixels) {
    inks();
    set({{"screen_space", true}, {"frame_color", rgba(kOtherInk)}});
    VS_Image image = rig.paint(*knob());
    EXPECT_NEAR(extentOf(image, kInk).width(), 16, 1);
    EXPECT_NEAR(extentOf(image, kOtherInk).width(), 13, 1);
    expectCentredAt(extentOf(image, kOtherInk), 200, 200);
    value->setLocalValue(100);
    EXPECT_NEAR(extentOf(rig.paint(*knob()), kOtherInk).centre().y, 180, 0.5);

    image = rig.paint(*make("SLIDER_FRAME"));
    EXPECT_NEAR(extentOf(image, kInk, 190).width(), 6, 1);
    EXPECT_NEAR(extentOf(image, kOtherInk, 190).width(), 4, 1);
    const Extent face = extentOf(image, kOtherInk);
    EXPECT_NEAR(face.minY, 178, 1);
    EXPECT_NEAR(face.maxY, 201, 1);

    // Viewport halves place it; the screen's scale sizes it.
    set({{"position", std::vector<double>{0.5, 0.5}}, {"horizontal", true}, {"length", 0.2}});
    UT_DPI::s_dpiScale = 2.0f;
    image = rig.paint(*knob());
    expectCentredAt(extentOf(image, kOtherInk), 340, 300);
    EXPECT_NEAR(extentOf(image, kInk).width(), 32, 1);
}

TEST_F(ControlPainters, ShadowsFallOnlyOutsidePicking) {
    inks();
    set({{"radius", 0.2}, {"horizontal", true}, {"length", 1.0}});
    const VS_Image plain = rig.paint(*knob());
    properties.set("drop_shadow", true);
    const VS_Image shadowed = rig.paint(*knob());
    // The shadow lies a little right of and below the knob, half-transparent black.
    expectNearRgb(plain.pixel(221, 203), rig.background, 0);
    expectNearRgb(shadowed.pixel(221, 203), VS_RGBA(24, 24, 24));
    expectNearRgb(shadowed.pixel(178, 197), rig.background, 0);

    // No shadow while picking (the painter contract's), and one disc of the knob's full radius.
    EXPECT_EQ(extentOf(pick(*knob()), kPick).count, extentOf(plain, kInk).count + extentOf(plain, kOtherInk).count);

    properties.setColor("frame_color", kOtherInk);
    auto track = make("SLIDER_FRAME");
    // The rim is 8 pixels wide (radius 20, times 0.4) and its shadow 3 pixels lower.
    expectNearRgb(rig.paint(*track).pixel(250, 210), VS_RGBA(24, 24, 24));
    const VS_Image trackPicked = pick(*track);
    properties.set("drop_shadow", false);
    const Extent rim = extentOf(rig.paint(*make("SLIDER_FRAME")), kInk);
    expectBox(extentOf(trackPicked, kPick), rim.minX, rim.maxX, rim.minY, rim.maxY);
}

TEST_F(ControlPainters, SelectedSlidersShowTheirSelectionFace) {
    set({{"radius", 0.2}, {"length", 1.0}});
    value->setLocalValue(50);
    auto k = knob(), track = make("SLIDER_FRAME");
    for (const auto& [painter, selection, colour] : {std::tuple{k.get(), 1, VS_RGBA(125, 125, 255)},
                                                     {track.get(), 1, VS_RGBA(125, 125, 255)},
                                                     {track.get(), 0, VS_RGBA(200, 200, 200)}})
        expectNearRgb(rig.paint(*painter, state(selection)).pixel(200, 150), colour, 0);
}

// Size 1 in the scene: a button of radius 100 pixels at the origin, a box of side 200.
TEST_F(ControlPainters, ButtonAndCheckboxShowTheirValueIgnoreSelectionAndPickWhole) {
    const VS_RGBA faceOff(148, 20, 20), faceOn(20, 148, 20);
    auto button = make("BUTTON", {on});
    auto box = make("CHECKBOX", {on});
    const VS_Image off = rig.paint(*button);
    expectNearRgb(off.pixel(200, 200), faceOff);  // half-transparent red
    expectNearRgb(off.pixel(295, 200), kRed, 0);  // the rim
    expectNearRgb(off.pixel(114, 200), faceOff);  // no shadow
    const VS_Image boxOff = rig.paint(*box);
    expectNearRgb(boxOff.pixel(200, 200), faceOff);
    expectNearRgb(boxOff.pixel(235, 165), faceOff);
    // The rim's four bars, each a tenth of the half-side.
    expectNearRgb(boxOff.pixel(200, 104), kRed, 0);
    expectNearRgb(boxOff.pixel(200, 295), kRed, 0);
    expectNearRgb(boxOff.pixel(104, 150), kRed, 0);
    expectNearRgb(boxOff.pixel(296, 250), kRed, 0);
    expectNearRgb(boxOff.pixel(200, 111), faceOff);

    on->setLocalValue(true);
    const VS_Image pressed = rig.paint(*button);
    // The face moves right by a tenth of the radius and uncovers the darkened rim colour.
    expectNearRgb(pressed.pixel(114, 200), VS_RGBA(200, 0, 0), 0);
    expectNearRgb(pressed.pixel(200, 200), VS_RGBA(100, 128, 0));
    expectNearRgb(pressed.pixel(295, 200), kRed, 0);
    const VS_Image checked = rig.paint(*box);
    // Bars along both diagonals out to two thirds of the half-side.
    for (const auto& [x, y] : {std::pair{200, 200}, {235, 165}, {165, 165}, {160, 240}, {246, 246}})
        expectNearRgb(checked.pixel(x, y), kRed, 0);
    expectNearRgb(checked.pixel(258, 142), faceOn);
    expectNearRgb(checked.pixel(235, 200), faceOn);
    // At half the size, radius 50: the face's offset and the bars' thickness shrink with it.
    properties.set("size", 0.5);
    const VS_Image smallPressed = rig.paint(*make("BUTTON", {on}));
    expectNearRgb(smallPressed.pixel(155, 200), VS_RGBA(200, 0, 0), 0);
    expectNearRgb(smallPressed.pixel(165, 200), VS_RGBA(100, 128, 0));
    const VS_Image smallChecked = rig.paint(*make("CHECKBOX", {on}));
    expectNearRgb(smallChecked.pixel(218, 182), kRed, 0);
    expectNearRgb(smallChecked.pixel(222, 187), faceOn);
    properties.remove("size");

    for (const bool v : {false, true}) {
        on->setLocalValue(v);
        for (MO_OGLPainter* painter : {button.get(), box.get()}) {
            EXPECT_EQ(differingPixels(rig.paint(*painter), rig.paint(*painter, state(1))), 0) << v;
            const Extent e = extentOf(pick(*painter), kPick);
            EXPECT_NEAR(e.width(), 200, 1);
            EXPECT_NEAR(e.height(), 200, 1);
        }
    }
    const Extent boxPicked = extentOf(pick(*box), kPick);
    EXPECT_EQ(boxPicked.count, 200 * 200);
    EXPECT_EQ(boxPicked.minX, 100);
    EXPECT_EQ(boxPicked.minY, 100);
}

TEST_F(ControlPainters, ControlSizesFollowTheScreenOrTheSceneYUnit) {
    // On the screen, size 1 is 350 pixels: centred 150 pixels left of the window, the rim
    // runs from 315 to 350 pixels out along the middle row.
    set({{"screen_space", true}, {"position", std::vector<double>{-3.5, 0}}});
    Extent rim = extentOf(rig.paint(*make("BUTTON", {on})), kRed, 200);
    EXPECT_NEAR(rim.minX, 165, 1);
    EXPECT_NEAR(rim.maxX, 199, 1);

    set({{"position", std::vector<double>{0, 0}}, {"size", 0.02}});
    EXPECT_NEAR(extentOf(rig.paint(*make("BUTTON", {on})), kRed).width(), 14, 1);
    UT_DPI::s_dpiScale = 2.0f;
    properties.set("size", 0.1);
    EXPECT_NEAR(extentOf(rig.paint(*make("CHECKBOX", {on})), kRed).width(), 140, 1);

    // In the scene the size is a length along Y; the centre goes through every scale.
    set({{"screen_space", false}, {"size", 0.5}, {"position", std::vector<double>{0.2, 0}}});
    rig.scene.metrics().setUnitScales(3, 2, 1);
    rim = extentOf(rig.paint(*make("BUTTON", {on})), kRed, 200);
    EXPECT_NEAR(rim.minX, 160, 1);
    EXPECT_NEAR(rim.maxX, 359, 1);
}
