#include "host/draw/VU_Painter.h"
#include "host/draw/VU_Sphere.h"
#include "host/draw/gl.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <tuple>

using namespace draw_test;
using Math::Point2d;

namespace {

// 100 pixels per unit, the world origin on the corner of pixels (199, 199) and (200, 200).
struct Primitives : ::testing::Test {
    Rig rig;
    VU_Painter painter{rig.binder};
    const VS_RGBA ink{250, 200, 0, 255};

    void SetUp() override {
        rig.begin();
        painter.setLineStrokeColor(ink);
        painter.setPointFillColor(ink);
        painter.setPointStrokeColor(ink);
    }
    Extent drawn() const { return extentOf(rig.read(), ink); }
};

// Every pixel of the box and none outside it.
void expectSolid(const Extent& e, int minX, int maxX, int minY, int maxY) {
    expectBox(e, minX, maxX, minY, maxY);
    EXPECT_EQ(e.count, (maxX - minX + 1) * (maxY - minY + 1));
}

}  // namespace

TEST_F(Primitives, BoxesAndLinesFillExactlyTheirPixels) {
    painter.setPointReferential(VU_Painter::ScreenFrame);
    painter.drawBox(Math::Box2d(Point2d(50, 40), Point2d(10, 20)));  // corners in any order
    expectSolid(drawn(), 10, 49, 20, 39);

    rig.begin();
    painter.setPointReferential(VU_Painter::ModelFrame);
    painter.drawBox(Math::Box2d(Point2d(-1, -0.5), Point2d(0.5, 1)));
    expectSolid(drawn(), 100, 249, 100, 249);

    // Two screen pixels thick between model points: square ends reach one pixel further.
    rig.begin();
    painter.setLineThickness(2.0, VU_Painter::ScreenFrame);
    painter.drawLine(Point2d(-1, 0.5), Point2d(1, 0.5));
    expectSolid(drawn(), 99, 300, 149, 150);

    // Thinner than a pixel still shows one row.
    rig.begin();
    painter.setLineThickness(0.01, VU_Painter::ScreenFrame);
    painter.drawLine(Point2d(-1, 0.005), Point2d(1, 0.005));
    EXPECT_EQ(drawn().height(), 1);

    // A thickness in the model frame scales with the view: 0.1 units are 10 pixels.
    rig.begin();
    painter.setLineThickness(0.1, VU_Painter::ModelFrame);
    painter.drawLine(Point2d(0, -1), Point2d(0, 1));
    expectSolid(drawn(), 195, 204, 95, 304);
}

// The open side of a box: lines along an axis that reach to infinity are drawn across the
// view; those with no single place (slanted towards infinity, NaN) are not.
TEST_F(Primitives, LinesReachingInfinityCrossTheViewAlongTheirAxis) {
    const double inf = std::numeric_limits<double>::infinity();
    painter.setLineThickness(2.0, VU_Painter::ScreenFrame);
    // From a finite end to infinity: a ray that leaves the view on the right.
    painter.drawLine(Point2d(-1, 0.5), Point2d(inf, 0.5));
    expectSolid(drawn(), 99, 399, 149, 150);

    // From one infinity to the other: the whole column, under a turned model frame too
    // (the model's X axis is the screen's up, so x = 0.5 is the row 50 pixels above).
    rig.begin();
    painter.drawLine(Point2d(0, inf), Point2d(0, -inf));
    expectSolid(drawn(), 199, 200, 0, 399);
    rig.begin();
    rig.binder.setModelMatrix(Math::Matrix4x4().rotateDegrees(90, Math::Vector3d(0, 0, 1)));
    painter.drawLine(Point2d(0.5, -inf), Point2d(0.5, inf));
    expectSolid(drawn(), 0, 399, 149, 150);
    rig.binder.setModelMatrix(Math::Matrix4x4());

    // Nothing that has no one place: slanted, both ends at the same infinity, NaN.
    rig.begin();
    painter.drawLine(Point2d(0, 0), Point2d(inf, 1));
    painter.drawLine(Point2d(-inf, -inf), Point2d(inf, inf));
    painter.drawLine(Point2d(inf, 0), Point2d(inf, 1));
    painter.drawLine(Point2d(0, std::nan("")), Point2d(0, inf));
    EXPECT_EQ(drawn().count, 0);

    // Through a perspective the line recedes to its vanishing point and stops there: the
    // floor's centre line (y = -1 below an eye at height 0) runs from the bottom of the view
    // up to the horizon, the middle row, and never above it.
    rig.begin();
    rig.binder.setTransformChain(Math::CameraTransformChain::perspective(Rig::kSize, Rig::kSize, {0, 0, 0},
                                                                         {0, 0, -1}, {0, 1, 0}, 90.0));
    rig.binder.setModelMatrix(Math::Matrix4x4().rotateDegrees(-90, Math::Vector3d(1, 0, 0)).translate(0, 0, -1));
    painter.drawLine(Point2d(0, 0), Point2d(0, inf));
    const Extent floor = drawn();
    EXPECT_EQ(floor.minX, 199);
    EXPECT_EQ(floor.maxX, 200);
    EXPECT_EQ(floor.maxY, 399);
    EXPECT_GE(floor.minY, 199);
    EXPECT_LE(floor.minY, 202);
}

// Triangles, quads and capsules are pinned through the point styles, planes, checkbox and
// slider track that draw them; the referential scopes through the screen-space painters'
// sizes and the painter contract's check that every paint leaves the model matrix.
TEST_F(Primitives, DiscsAndRings) {
    painter.setPointReferential(VU_Painter::ScreenFrame);
    // Radii in either order draw the same; a zero one makes a disc.
    VS_Image disc, ring;
    for (const auto& [inner, outer, image] :
         {std::tuple{0, 50, &disc}, std::tuple{50, 0, &disc}, std::tuple{30, 50, &ring}, std::tuple{50, 30, &ring}}) {
        rig.begin();
        painter.drawFilledDisc(Point2d(100, 100), inner, outer);
        if (image->rgba.empty())
            *image = rig.read();
        else
            EXPECT_EQ(differingPixels(rig.read(), *image), 0) << inner << " " << outer;
    }
    EXPECT_NEAR(extentOf(disc, ink).count, M_PI * 50 * 50, 60);
    expectSolid(extentOf(disc, ink, 100), 50, 149, 100, 100);
    EXPECT_NEAR(extentOf(ring, ink).count, M_PI * (50 * 50 - 30 * 30), 80);
    EXPECT_FALSE(sameRgb(ring.pixel(100, 100), ink));
    EXPECT_TRUE(sameRgb(ring.pixel(140, 100), ink));

    // In the model frame the radius is in drawing units: 0.5 is 50 pixels.
    rig.begin();
    painter.setPointReferential(VU_Painter::ModelFrame);
    painter.drawFilledDisc(Point2d(-1, 1), 0.5, 0);
    EXPECT_NEAR(drawn().count, M_PI * 50 * 50, 60);
}

TEST_F(Primitives, TranslucentShapesCoverEachPixelOnce) {
    // A seam or an overlap inside one shape would blend twice and show a darker pixel.
    rig.background = VS_RGBA(0, 0, 0, 255);
    rig.begin();
    const VS_RGBA glass(200, 100, 0, 128);
    painter.setPointReferential(VU_Painter::ScreenFrame);
    painter.setLineStrokeColor(glass);
    // Apart from each other: only overlaps within a shape count.
    painter.drawCapsule(Point2d(20, 20), Point2d(100, 40), 15);
    painter.drawFilledDisc(Point2d(320, 80), 60, 20);
    painter.setLineThickness(9, VU_Painter::ScreenFrame);
    painter.drawLine(Point2d(20, 320), Point2d(380, 370));
    VU_Sphere(0.5f, 16, 16).draw(glass);
    const VS_Image image = rig.read();
    std::set<std::uint32_t> colours;
    for (int i = 0; i < image.width * image.height; ++i) {
        const VS_RGBA p = image.pixel(i % image.width, i / image.width);
        if (p.r || p.g || p.b)
            colours.insert(p.r << 16 | p.g << 8 | p.b);
    }
    EXPECT_EQ(colours.size(), 1u);
}

// Painting happens inside someone else's frame: the primitives keep all of its state.
TEST_F(Primitives, DrawingKeepsSomeoneElsesGlState) {
    // Their state: a bound buffer that their vertex pointer is an offset into, a red colour
    // array and a normal array left on, a wide line and a current colour.
    const float theirVertices[] = {0, 0, 0};
    const std::uint8_t red[4 * 8] = {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255};
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof theirVertices, theirVertices, GL_STATIC_DRAW);
    glVertexPointer(2, GL_FLOAT, 8, reinterpret_cast<const GLvoid*>(4));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glColorPointer(4, GL_UNSIGNED_BYTE, 4, red);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glLineWidth(3.5f);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    const GlState theirs = readGlState();

    // A fill, and a diamond whose rim is drawn as lines.
    const VS_RGBA rim(0, 0, 255, 255);
    painter.setPointStrokeColor(rim);
    painter.setPointReferential(VU_Painter::ScreenFrame);
    painter.drawBox(Math::Box2d(Point2d(10, 20), Point2d(50, 40)));
    painter.drawQuad(Point2d(300, 200), Point2d(200, 300), Point2d(100, 200), Point2d(200, 100));
    const VS_Image image = rig.read();
    EXPECT_EQ(extentOf(image, VS_RGBA(255, 0, 0)).count, 0);
    EXPECT_TRUE(sameRgb(image.pixel(10, 20), ink) && sameRgb(image.pixel(49, 39), ink));
    EXPECT_TRUE(sameRgb(image.pixel(200, 200), ink));
    EXPECT_GE(extentOf(image, rim).count, 4 * 99);

    const GlState after = readGlState();
    for (std::size_t i = 0; i < kGlState.size(); ++i)
        EXPECT_TRUE(same(kGlState[i].first, theirs[i], after[i]))
            << kGlState[i].first << ": " << print(theirs[i]) << " became " << print(after[i]);

    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDeleteBuffers(1, &buffer);
}
