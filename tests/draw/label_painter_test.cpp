#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/text/CelAlgo.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace draw_test;

// The rig shows 100 pixels per drawing unit with the node's origin at pixel (200, 200).
// A screen-space label's art is drawn at 0.2 pixels per art unit.

namespace {

const VS_RGBA kWhite(255, 255, 255);

struct Label : PainterTest {
    VS_Image paint(MO_OGLPainter& painter, double frame = 1) {
        rig.begin();
        MO_OGLContext context(MO_OGLContext::NormalRender, rig.scene, rig.binder, MO_FrameKey(frame));
        painter.paint(context, PaintState{});
        return rig.read();
    }
    VS_Image paintNew() { return paint(*make("LABEL")); }
    // Every pixel the label changed: its background and its glyphs.
    Extent ink(const VS_Image& image) const { return extentOf(image, rig.background, -1, -1, true); }
};

// The runs of columns that hold glyph pixels, left to right: one per letter when the
// letters stand apart.
int glyphColumnRuns(const VS_Image& image, const VS_RGBA& glyph) {
    int runs = 0;
    bool inRun = false;
    for (int x = 0; x < image.width; ++x) {
        const bool lit = extentOf(image, glyph, -1, x).count > 0;
        runs += lit && !inRun;
        inRun = lit;
    }
    return runs;
}

}  // namespace

TEST_F(Label, DefaultsToTheWordTextInWhiteOnHalfBlackWithItsCornerAtTheOrigin) {
    const VS_Image image = paintNew();
    const Extent box = ink(image);
    // Left edge on the origin's column, bottom row just above the origin's row.
    EXPECT_EQ(box.minX, 200);
    EXPECT_EQ(box.maxY, 199);
    // A 10-point line with a quarter-em margin: about 20 pixels high, and wider than high.
    EXPECT_NEAR(box.height(), 20, 2);
    EXPECT_GT(box.width(), box.height());
    EXPECT_LT(box.width(), 60);
    // Black at half opacity over the background, around the glyphs.
    const VS_RGBA half = image.pixel(box.minX, box.maxY);
    EXPECT_NEAR(half.r, 20, 1);
    EXPECT_EQ(half.r, half.g);
    EXPECT_EQ(half.g, half.b);
    // Four letters standing apart, opaque white, inside the background with room around.
    const Extent glyphs = extentOf(image, kWhite);
    EXPECT_EQ(glyphColumnRuns(image, kWhite), 4);
    EXPECT_GT(glyphs.count, 40);
    EXPECT_GT(glyphs.minX, box.minX + 1);
    EXPECT_LT(glyphs.maxX, box.maxX - 1);
    EXPECT_GT(glyphs.minY, box.minY + 1);
    EXPECT_LT(glyphs.maxY, box.maxY - 1);
    EXPECT_NEAR(glyphs.height(), 10, 2);
}

TEST_F(Label, ShowsTheGivenTextAtTheAnchorMovedByItsPositionAttribute) {
    MO_Node node(&rig.scene, "n");
    AT_Position2dAttr position(&node, "p", Math::Point2d(-1, -0.5));
    set({{"label", QString("a longer caption")}, {"label_pos", std::vector<double>{0.5, 0}}});
    const VS_Image image = paint(*make("LABEL", {&position}));
    const Extent box = ink(image);
    EXPECT_EQ(box.minX, 150);
    EXPECT_EQ(box.maxY, 249);
    EXPECT_GT(box.width(), 100);
    EXPECT_GE(glyphColumnRuns(image, kWhite), 10);
}

TEST_F(Label, JustificationAndScreenOffsetPlaceIt) {
    const Extent plain = ink(paintNew());
    // Centred on the anchor only when justified centre, in any case.
    properties.set("label_justify", QString("Center"));
    const Extent centred = ink(paintNew());
    EXPECT_NEAR((centred.minX + centred.maxX + 1) / 2.0, 200, 1);
    EXPECT_EQ(centred.maxY, 199);
    properties.set("label_justify", QString("right"));
    EXPECT_EQ(ink(paintNew()).minX, 200);

    // An art unit is 0.2 pixels on screen: (10, 0) moves the label two pixels right,
    // (0, 25) five pixels up.
    properties.remove("label_justify");
    properties.setPoint("label_screenspace_offset", {10, 25});
    const Extent moved = ink(paintNew());
    EXPECT_EQ(moved.minX, plain.minX + 2);
    EXPECT_EQ(moved.maxX, plain.maxX + 2);
    EXPECT_EQ(moved.maxY, plain.maxY - 5);
}

// An anchor in the eye's plane or behind it has no place on the screen: the label is not
// drawn at all, where the same label in front of the eye is.
TEST_F(Label, NotDrawnWhenItsAnchorIsBehindTheEye) {
    auto label = make("LABEL");
    const auto looking = [&](Math::Point3d target) {
        rig.binder.setTransformChain(
            Math::CameraTransformChain::perspective(Rig::kSize, Rig::kSize, {0, 0, 5}, target, {0, 1, 0}, 45));
        return ink(paint(*label)).count;
    };
    EXPECT_GT(looking({0, 0, 0}), 0);
    EXPECT_EQ(looking({0, 0, 10}), 0);
    // Not even when its screen offset would bring the window's corner into view.
    properties.setPoint("label_screenspace_offset", {0, -100});
    label = make("LABEL");
    EXPECT_GT(looking({0, 0, 0}), 0);
    EXPECT_EQ(looking({0, 0, 10}), 0);
}

// Sizes are truncated to whole points. Those that are not a size write nothing (huge ones
// are among the hostile values every component is given).
TEST_F(Label, SizeIsTruncatedToWholePointsAndNeverConvertedBlindly) {
    properties.set("label_size", 10.0);
    const VS_Image ten = paintNew();
    properties.set("label_size", 10.9);
    EXPECT_EQ(differingPixels(ten, paintNew()), 0);
    properties.set("label_size", 11.0);
    EXPECT_GT(ink(paintNew()).width(), ink(ten).width());

    for (const double size : {std::nan(""), -std::numeric_limits<double>::infinity(), -1e300}) {
        properties.set("label_size", size);
        EXPECT_EQ(ink(paintNew()).count, 0) << size;
    }
}

TEST_F(Label, InSceneSpaceTheSizeFollowsTheZoom) {
    set({{"label_screenspace", false}, {"label_size", 40.0}});
    const Extent near = ink(paintNew());
    rig.binder.setTransformChain(Math::CameraTransformChain::orthographic(Rig::kSize, Rig::kSize, {0, 0}, 200));
    const Extent nearer = ink(paintNew());
    EXPECT_NEAR(nearer.width(), 2 * near.width(), 1);
    EXPECT_NEAR(nearer.height(), 2 * near.height(), 1);
    EXPECT_EQ(nearer.minX, 200);
    EXPECT_EQ(nearer.maxY, 199);

    // On screen, the zoom changes nothing.
    properties.set("label_screenspace", true);
    const Extent screen = ink(paintNew());
    rig.binder.setTransformChain(Math::CameraTransformChain::orthographic(Rig::kSize, Rig::kSize, {0, 0}, 100));
    EXPECT_EQ(ink(paintNew()).width(), screen.width());
}

TEST_F(Label, AFontTheMachineLacksFallsBackToTheDefault) {
    properties.set("label_font", QString("DejaVu Sans"));
    const VS_Image dejaVu = paintNew();
    properties.set("label_font", QString("No Such Font 12345"));
    EXPECT_EQ(differingPixels(paintNew(), dejaVu), 0);
    // A font that is there is used.
    properties.set("label_font", QString("DejaVu Serif"));
    EXPECT_GT(differingPixels(paintNew(), dejaVu), 0);
}

// That an update writes the art anew is the painter contract's update property.
TEST_F(Label, ArtIsWrittenOnceAndAgainOnlyForANewText) {
    MO_Node node(&rig.scene, "n");
    AT_StringAttr text(&node, "caption", "one");
    text.stepped().addKey(1, "one");
    text.stepped().addKey(5, "one");
    text.stepped().addKey(10, "two");
    properties.set("label", QString("ignored"));
    auto painter = make("LABEL", {&text});
    const unsigned long before = CelAlgo::textsWritten();
    const VS_Image one = paint(*painter, 1);
    paint(*painter, 1);
    paint(*painter, 7);
    EXPECT_EQ(CelAlgo::textsWritten() - before, 1u);
    // The art never showed "ignored".
    properties.set("label", QString("one"));
    EXPECT_EQ(differingPixels(paintNew(), one), 0);
    const unsigned long afterReference = CelAlgo::textsWritten();

    const VS_Image two = paint(*painter, 10);
    EXPECT_EQ(CelAlgo::textsWritten() - afterReference, 1u);
    EXPECT_GT(differingPixels(two, one), 0);
    paint(*painter, 12);
    EXPECT_EQ(CelAlgo::textsWritten() - afterReference, 1u);
}
