#include "host/draw/VU_Circle.h"
#include "host/draw/VU_Painter.h"
#include "host/draw/VU_ReferentialScope.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

using namespace draw_test;

// The rig shows 100 pixels per drawing unit with the node's origin at pixel (200, 200),
// +X to the right and +Y up the screen.

namespace {

const VS_RGBA kInk(9, 99, 199, 255);
const VS_RGBA kOtherInk(200, 150, 100, 255);
const VS_RGBA kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255);

struct Controls : PainterTest {
    void inks() { set({{"color", rgba(kInk)}, {"selection_color", rgba(kOtherInk)}}); }
};

}  // namespace

// Scene-space rings: radius 1 and width 0.03 by default, a band from 98.5 to 101.5 pixels.
TEST_F(Controls, SceneRingsLieAboutTheirAxisAndFollowTheSceneXUnitAndTheSelection) {
    inks();
    properties.set("picking_width", 0.5);  // no effect in the scene
    auto z = make("CIRCLE_Z");
    for (const auto& [selection, colour] : {std::pair{0, kInk}, std::pair{1, kOtherInk}})
        EXPECT_TRUE(sameRgb(rig.paint(*z, state(selection)).pixel(300, 200), colour)) << selection;
    const VS_Image face = rig.paint(*z);
    expectBox(extentOf(face, kInk), 98, 301, 98, 301, 1);
    EXPECT_NEAR(extentOf(face, kInk, 200).count, 6, 2);  // two bands of 3 pixels on the row
    EXPECT_EQ(extentOf(pick(*z), kPick).count, extentOf(face, kInk).count);

    // The X and Y rings stand edge-on to a camera looking down Z, until the node's frame
    // turns their axis towards the viewer.
    for (const auto& [type, turn] :
         {std::pair{"CIRCLE_X", turned(90, {0, 1, 0})}, std::pair{"CIRCLE_Y", turned(-90, {1, 0, 0})}}) {
        rig.binder.setModelMatrix(Math::Matrix4x4());
        EXPECT_LE(extentOf(rig.paint(*make(type)), kInk).width(), 2) << type;
        rig.binder.setModelMatrix(turn);
        EXPECT_LT(differingPixels(rig.paint(*make(type)), face), 40) << type;
    }

    // Radius 2 and width 0.06 at half the zoom: the same pixels; Y and Z units do nothing.
    EXPECT_EQ(differingPixels(Rig(50.0, 2, 3, 7).paint(*z), face), 0);
}

// Screen-space defaults: radius 0.04 and width 0.01 of 350 pixels, a ring of radius 14 and
// width 3.5 with a marker three times as wide in the inverse colour.
TEST_F(Controls, ScreenRingsArePixelSizedWithAMarkerAlongTheNodesXAndWidenWhilePicking) {
    set({{"screen_space", true}, {"color", rgba(kInk)}});
    auto ring = make("CIRCLE_Z");
    const VS_RGBA inverse(255 - kInk.r, 255 - kInk.g, 255 - kInk.b);
    const VS_Image image = rig.paint(*ring);
    // The marker covers the ring where the node's X axis points: to the right.
    const Extent row = extentOf(image, kInk, 200);
    EXPECT_NEAR(row.minX, 200 - 16, 1);
    EXPECT_NEAR(row.maxX, 200 - 12, 1);
    const Extent marker = extentOf(image, inverse);
    EXPECT_NEAR(marker.minX, 200 + 9, 1);
    EXPECT_NEAR(marker.maxX, 200 + 19, 1);
    EXPECT_NEAR(marker.minY + marker.maxY, 400, 2);

    // Neither the zoom nor the scene's units change it; the screen's scale does.
    EXPECT_EQ(differingPixels(Rig(25.0, 4, 1, 1).paint(*ring), image), 0);
    UT_DPI::s_dpiScale = 2.0f;  // radius 28, width 7
    const Extent scaled = extentOf(rig.paint(*ring), kInk, 200);
    UT_DPI::s_dpiScale = 1.0f;
    EXPECT_NEAR(scaled.minX, 200 - 31, 1);
    EXPECT_NEAR(scaled.maxX, 200 - 25, 1);

    // Picking width 0.12: the band reaches 14 + 21 = 35 pixels out and the 126-pixel-wide
    // marker 77.
    const VS_Image picked = pick(*ring);
    EXPECT_NEAR(extentOf(picked, kPick).minX, 200 - 35, 1);
    EXPECT_NEAR(extentOf(picked, kPick).maxX, 200 + 77, 1);

    // Turned a quarter about Z, the node's X points up the screen and the marker follows.
    rig.binder.setModelMatrix(turned(90, {0, 0, 1}));
    const Extent up = extentOf(rig.paint(*ring), inverse);
    EXPECT_NEAR(up.maxY, 200 - 9, 1);
    EXPECT_NEAR(up.minX + up.maxX, 400, 2);
    // Turned an eighth, it sits on the diagonal, as far up as it is to the right.
    rig.binder.setModelMatrix(turned(45, {0, 0, 1}));
    const Extent diagonal = extentOf(rig.paint(*ring), inverse);
    EXPECT_GT(diagonal.minX + diagonal.maxX, 400 + 10);
    EXPECT_NEAR(diagonal.minX + diagonal.maxX - 400, 400 - diagonal.minY - diagonal.maxY, 2);
    // Pointing at the viewer, X has no direction on screen: the marker rests at angle 0.
    rig.binder.setModelMatrix(turned(-90, {0, 1, 0}));
    EXPECT_NEAR(extentOf(rig.paint(*ring), inverse).minX, 200 + 9, 1);
}

// The marker is the host's arc of the ring at its own, coarser level of detail: drawn
// straight through the host at 3, the arc covers the marker's pixels and no others. A ring
// 700 pixels round, its centre far left of the view, shows the facets' difference.
TEST_F(Controls, ScreenRingMarkerIsTheHostsArcAtItsLevelOfDetail) {
    set({{"screen_space", true}, {"color", rgba(kInk)}, {"radius", 2.0}});
    Math::Matrix4x4 left;
    left.translate(-6, 0, 0);
    rig.binder.setModelMatrix(left);
    const VS_RGBA inverse(255 - kInk.r, 255 - kInk.g, 255 - kInk.b);
    const VS_Image painted = rig.paint(*make("CIRCLE_Z"));

    rig.begin();
    {
        const VU_ReferentialScope screen(rig.binder, Math::DestinationScreenFrame);
        VU_Circle::DrawArc(rig.canvas, VS_Vector3D(-400, 200, 0), VS_Vector3D(0, 0, 1), 700.0, 3, 10.5f, kRed, 0.0);
    }
    const VS_Image arc = rig.read();
    int covered = 0, differing = 0;
    for (int y = 0; y < arc.height; ++y)
        for (int x = 0; x < arc.width; ++x) {
            const bool inArc = sameRgb(arc.pixel(x, y), kRed);
            covered += inArc;
            differing += inArc != sameRgb(painted.pixel(x, y), inverse);
        }
    EXPECT_GT(covered, 2000);
    EXPECT_EQ(differing, 0);
}

TEST_F(Controls, SphereShowsItsBodyAndFixedGreatCircles) {
    inks();
    auto sphere = make("SPHERE");
    for (int selection : {0, 1}) {
        const VS_Image image = rig.paint(*sphere, state(selection));
        EXPECT_TRUE(sameRgb(image.pixel(150, 150), selection ? kOtherInk : kInk));
        // The Z circle faces the camera; X and Y stand edge-on as lines through the centre.
        expectBox(extentOf(image, kBlue), 98, 301, 98, 301, 2);
        const Extent red = extentOf(image, kRed), green = extentOf(image, kGreen);
        EXPECT_LE(red.width(), 2);
        EXPECT_NEAR(red.height(), 200, 4);
        EXPECT_LE(green.height(), 2);
        EXPECT_NEAR(green.width(), 200, 4);
    }

    // Only the body is picked.
    expectBox(extentOf(pick(*sphere), kPick), 100, 299, 100, 299, 3);
    // Twice the X unit at half the zoom draws the same; the Y and Z units do nothing.
    EXPECT_EQ(differingPixels(Rig(50.0, 2, 9, 9).paint(*sphere), rig.paint(*sphere)), 0);

    // Bands of no width still leave the thin circles.
    MO_PropertyBag thin;
    thin.set("line_width", 0.0);
    update(*sphere, thin);
    EXPECT_GT(extentOf(rig.paint(*sphere), kBlue).count, 300);
}

// PLANE_XY with the defaults covers 0 to 1 on X and Y: columns 200 to 299, rows 100 to 199.
TEST_F(Controls, PlanesCoverTheirSquareInTheirPlane) {
    const VS_Image xy = rig.paint(*make("PLANE_XY"));
    expectBox(extentOf(xy, VU_Painter::redColor), 200, 299, 100, 199);
    EXPECT_TRUE(onlyColour(xy, VU_Painter::redColor));  // outlined in its own colour
    EXPECT_EQ(extentOf(xy, VU_Painter::redColor).count, 100 * 100);

    set({{"min", 0.5}, {"width", 0.25}});
    // Seen down Z, the XZ and YZ squares stand edge-on; turned face on, each spans 0.5 to
    // 0.75 on both of its axes.
    EXPECT_LE(extentOf(rig.paint(*make("PLANE_XZ")), VU_Painter::blueColor).height(), 1);
    EXPECT_LE(extentOf(rig.paint(*make("PLANE_YZ")), VU_Painter::greenColor).width(), 1);
    rig.binder.setModelMatrix(turned(90, {1, 0, 0}));  // and XY too, seen along model Y
    EXPECT_LE(extentOf(rig.paint(*make("PLANE_XY")), VU_Painter::redColor).height(), 1);
    rig.binder.setModelMatrix(turned(-90, {1, 0, 0}));  // model Z up the screen
    expectBox(extentOf(rig.paint(*make("PLANE_XZ")), VU_Painter::blueColor), 250, 274, 125, 149);
    rig.binder.setModelMatrix(turned(90, {0, 1, 0}));  // model Z to the right
    expectBox(extentOf(rig.paint(*make("PLANE_YZ")), VU_Painter::greenColor), 250, 274, 125, 149);
}

TEST_F(Controls, PlaneNegativeWidthScaleAndColours) {
    inks();
    properties.set("min", 0.5);
    properties.set("width", -0.25);  // from 0.5 down to 0.25
    auto plane = make("PLANE_XY");
    const VS_Image image = rig.paint(*plane, state(2));
    expectBox(extentOf(image, kInk), 225, 249, 150, 174);

    // Both axes follow the X unit: twice the unit at half the zoom draws the same square.
    EXPECT_EQ(differingPixels(Rig(50.0, 2, 1, 1).paint(*plane, state(2)), image), 0);

    EXPECT_EQ(extentOf(rig.paint(*plane, state(1)), kOtherInk).count, 25 * 25);
    EXPECT_EQ(extentOf(pick(*plane), kPick).count, 25 * 25);
}
