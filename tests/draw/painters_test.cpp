#include "host/draw/VU_Painter.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

using namespace draw_test;

namespace {

using Painters = PainterTest;
const VS_RGBA kGreen = VU_Painter::greenColor;

}  // namespace

// With 100 pixels per unit and the defaults (length 1, radius 0.15) the shaft is 6 pixels
// wide up to 80 pixels, the head's base 30 pixels wide and its apex 115 pixels out.
TEST_F(Painters, ArrowsHaveTheShaftAndHeadOfTheirLengthAndRadiusOnTheirAxis) {
    const VS_Image image = rig.paint(*make("ARROW_Y"));
    const Extent all = extentOf(image, kGreen);
    EXPECT_NEAR(all.minY, 86, 1) << "apex row";
    EXPECT_EQ(all.maxY, 199);  // the shaft starts at the origin
    EXPECT_EQ(all.minX, 185);
    EXPECT_EQ(all.maxX, 214);
    const Extent shaft = extentOf(image, kGreen, 150);
    EXPECT_EQ(shaft.minX, 197);
    EXPECT_EQ(shaft.maxX, 202);
    EXPECT_EQ(extentOf(image, kGreen, 120).width(), 6);  // just below the base
    EXPECT_EQ(extentOf(image, kGreen, 119).width(), 30);

    const Extent x = extentOf(rig.paint(*make("ARROW_X")), VU_Painter::redColor);
    EXPECT_EQ(x.minX, 200);
    EXPECT_NEAR(x.maxX, 313, 1) << "X apex column";
    EXPECT_EQ(x.minY, 185);
    EXPECT_EQ(x.maxY, 214);

    // Seen down Z, ARROW_Z shows its head's square base around the origin...
    const Extent z = extentOf(rig.paint(*make("ARROW_Z")), VU_Painter::blueColor);
    EXPECT_EQ(z.width(), 30);
    EXPECT_EQ(z.height(), 30);
    EXPECT_EQ(z.minX, 185);

    // ...and once the node's frame turns +Z up the screen, it draws as ARROW_Y does.
    properties.setColor("color", VS_RGBA(9, 99, 199, 255));
    const VS_Image y = rig.paint(*make("ARROW_Y"));
    rig.binder.setModelMatrix(turned(-90, {1, 0, 0}));
    EXPECT_LT(differingPixels(y, rig.paint(*make("ARROW_Z"))), 6);
    EXPECT_GT(extentOf(y, VS_RGBA(9, 99, 199, 255)).count, 1000);
}

TEST_F(Painters, SizesFollowTheSceneXUnitOnly) {
    set({{"length", 1.5}, {"radius", 0.2}});
    auto arrow = make("ARROW_Y");
    const VS_Image plain = rig.paint(*arrow);
    rig.scene.metrics().setUnitScales(1, 3, 7);
    EXPECT_EQ(differingPixels(rig.paint(*arrow), plain), 0);

    // Twice the X unit doubles every dimension: length 3 and radius 0.4 in drawing units.
    Rig wide(100.0, Math::Point2d(0, 1.5));  // the view spans y from -0.5 to 3.5
    wide.scene.metrics().setUnitScales(2, 1, 1);
    const VS_Image doubled = wide.paint(*arrow);
    const Extent all = extentOf(doubled, kGreen);
    EXPECT_NEAR(all.minY, 350 - 340 + 1, 1) << "apex at 3.4";
    EXPECT_EQ(all.maxY, 349);
    EXPECT_EQ(all.width(), 80);
    EXPECT_EQ(extentOf(doubled, kGreen, 200).width(), 16);
}

// The render_arrows scene pins the colour, its alpha ignored, and the selection colour.
TEST_F(Painters, ArrowPicksItsWholeShape) {
    auto arrow = make("ARROW_Y");
    EXPECT_EQ(extentOf(pick(*arrow), kPick).count, extentOf(rig.paint(*arrow), kGreen).count);
}

TEST_F(Painters, DragDebuggerCubesSpanTheirHalfEdgeAndShowTheLastColour) {
    auto debugger = make("DRAG_DEBUGGER");
    const VS_Image image = rig.paint(*debugger);
    const Extent grey = extentOf(image, VS_RGBA(120, 120, 120));
    expectBox(grey, 100, 299, 100, 299);
    EXPECT_EQ(grey.count, 200 * 200);

    // Half the pixels per unit and twice the X unit: the same cube on screen.
    EXPECT_EQ(differingPixels(Rig(50.0, 2, 5, 5).paint(*debugger), image), 0);

    set({{"length", 0.5}, {"colorB", rgba(VS_RGBA(0, 200, 0, 255))}});
    const Extent e = extentOf(rig.paint(*make("DRAG_DEBUGGER")), VS_RGBA(0, 200, 0));
    EXPECT_EQ(e.count, 100 * 100);
    EXPECT_EQ(e.minX, 150);
}

TEST_F(Painters, DragDebuggerPicksOnlyItsFirstCubeAndIgnoresLaterChanges) {
    // Summing the three cubes' colours shows each one's contribution.
    properties.setColor("color", VS_RGBA(10, 0, 0, 255));
    auto debugger = make("DRAG_DEBUGGER");
    EXPECT_EQ(dynamic_cast<MO_PropertyChangeListener*>(debugger.get()), nullptr);
    rig.background = VS_RGBA(0, 0, 0, 255);
    PaintState selectedState = state(1);
    selectedState.pickColor = VS_RGBA(0, 20, 0, 255);
    const auto summed = [&](MO_OGLContext::RenderMode mode) {
        rig.begin(mode);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        // Seen face on, a cube's near and far faces cover the same pixels: keep one.
        glEnable(GL_CULL_FACE);
        MO_OGLContext context(mode, rig.scene, rig.binder, MO_FrameKey(1));
        debugger->paint(context, selectedState);
        glDisable(GL_CULL_FACE);
        return rig.read().pixel(200, 200);
    };
    // Ordinary: red-ish + blue + grey, the selection changing nothing.
    EXPECT_TRUE(sameRgb(summed(MO_OGLContext::NormalRender), VS_RGBA(130, 120, 255)));
    // Picking: only the first cube takes the pick colour.
    EXPECT_TRUE(sameRgb(summed(MO_OGLContext::PickingRender), VS_RGBA(120, 140, 255)));

    set({{"color", rgba(VS_RGBA(0, 0, 0, 255))}, {"length", 0.1}});
    EXPECT_TRUE(sameRgb(summed(MO_OGLContext::NormalRender), VS_RGBA(130, 120, 255)));
}
