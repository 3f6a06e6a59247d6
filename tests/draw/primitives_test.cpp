#include "host/draw/VU_Circle.h"
#include "host/draw/VU_Painter.h"
#include "host/draw/VU_ReferentialScope.h"
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

TEST_F(Primitives, TrianglesQuadsAndTheirOutlines) {
    painter.setPointReferential(VU_Painter::ScreenFrame);
    painter.drawTriangle(Point2d(10, 10), Point2d(90, 10), Point2d(10, 90));
    EXPECT_NEAR(drawn().count, 3200, 80);
    // Pixel (89, 10) has its centre on the long edge, which the rasteriser leaves out.
    expectSolid(extentOf(rig.read(), ink, 10), 10, 88, 10, 10);

    // A 3D quad in the model frame at some depth covers the same pixels as at z = 0.
    rig.begin();
    painter.setPointReferential(VU_Painter::ModelFrame);
    painter.drawQuad(Math::Point3d(0, 0, 0.5), Math::Point3d(1, 0, 0.5), Math::Point3d(1, 1, 0.5),
                     Math::Point3d(0, 1, 0.5));
    expectSolid(drawn(), 200, 299, 100, 199);

    // A diamond, corners in order, with a differently coloured rim.
    rig.begin();
    const VS_RGBA rim(0, 0, 255, 255);
    painter.setPointStrokeColor(rim);
    painter.drawQuad(Point2d(1, 0), Point2d(0, 1), Point2d(-1, 0), Point2d(0, -1));
    const VS_Image image = rig.read();
    const Extent fill = extentOf(image, ink), outline = extentOf(image, rim);
    EXPECT_NEAR(fill.count + outline.count, 20000, 500);
    EXPECT_GE(outline.count, 4 * 99);  // a pixel per row or column along each edge
    EXPECT_TRUE(sameRgb(image.pixel(200, 200), ink));
    EXPECT_TRUE(sameRgb(image.pixel(299, 199), rim) || sameRgb(image.pixel(298, 199), rim));
}

TEST_F(Primitives, DiscsRingsAndCapsules) {
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

    rig.begin();
    painter.drawCapsule(Point2d(100, 100), Point2d(200, 100), 20);
    const Extent capsule = drawn();
    EXPECT_NEAR(capsule.count, 100 * 40 + M_PI * 20 * 20, 40);
    expectBox(capsule, 80, 219, 80, 119);

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

TEST_F(Primitives, ShapesWithInfiniteCoordinatesAreLeftOut) {
    const double inf = std::numeric_limits<double>::infinity();
    painter.drawLine(Point2d(-inf, 0), Point2d(inf, 0));
    painter.drawBox(Math::Box2d(Point2d(-inf, -inf), Point2d(inf, inf)));
    painter.drawFilledDisc(Point2d(0, 0), inf, 0);
    EXPECT_EQ(drawn().count, 0);
}

TEST_F(Primitives, ReferentialScopesSwitchAndRestoreTheDrawingFrame) {
    Math::Matrix4x4 model;
    model.translate(1, 0, 0).scale(0.5, 0.5, 1);
    rig.binder.setModelMatrix(model);
    {
        VU_ReferentialScope scope(rig.binder, Math::DestinationScreenFrame);
        Math::Point2d p;
        ASSERT_TRUE(rig.binder.transformChain().transform(Math::SourceModelFrame, Math::DestinationScreenFrame,
                                                          Point2d(37, 91), p));
        EXPECT_NEAR(p.x, 37, 1e-9);
        EXPECT_NEAR(p.y, 91, 1e-9);
        painter.setPointReferential(VU_Painter::ModelFrame);
        painter.drawBox(Math::Box2d(Point2d(10, 20), Point2d(20, 30)));
    }
    EXPECT_EQ(rig.binder.modelMatrix(), model);
    expectSolid(drawn(), 10, 19, 20, 29);
}

TEST_F(Primitives, CirclesBandsArcsAndLines) {
    VS_Canvas& canvas = rig.canvas;
    const double band = M_PI * (105 * 105 - 95 * 95);
    VU_Circle::Draw(canvas, {0, 0, 0}, {0, 0, 1}, 1.0, 5, 0.1f, ink);
    VS_Image image = rig.read();
    EXPECT_NEAR(extentOf(image, ink).count, band, 120);
    EXPECT_TRUE(sameRgb(image.pixel(300, 199), ink));
    EXPECT_FALSE(sameRgb(image.pixel(289, 199), ink));
    EXPECT_FALSE(sameRgb(image.pixel(200, 199), ink));

    // A ring about X lies edge-on to this camera until the frame turns it to face it.
    rig.begin();
    VU_Circle::Draw(canvas, {0, 0, 0}, {1, 0, 0}, 1.0, 5, 0.1f, ink);
    EXPECT_EQ(drawn().count, 0);
    rig.begin();
    rig.binder.rotateDegrees(90, {0, 1, 0});
    VU_Circle::Draw(canvas, {0, 0, 0}, {1, 0, 0}, 1.0, 5, 0.1f, ink);
    rig.binder.setModelMatrix(Math::Matrix4x4());
    EXPECT_NEAR(drawn().count, band, 120);

    // Arcs are an eighth of the band, centred on their angle from +X towards +Y.
    for (const auto& [angle, onX, onY, offX, offY] :
         {std::tuple{0.0, 300, 199, 200, 99}, std::tuple{M_PI / 2, 200, 99, 300, 199}}) {
        rig.begin();
        VU_Circle::DrawArc(canvas, {0, 0, 0}, {0, 0, 1}, 1.0, 3, 0.1f, ink, angle);
        image = rig.read();
        EXPECT_NEAR(extentOf(image, ink).count, band / 8, 40) << angle;
        EXPECT_TRUE(sameRgb(image.pixel(onX, onY), ink)) << angle;
        EXPECT_FALSE(sameRgb(image.pixel(offX, offY), ink)) << angle;
    }

    // A line circle is one pixel wide along the radius.
    rig.begin();
    VU_Circle::LineDraw(canvas, {0, 0, 0}, {0, 0, 1}, 1.0, 5, ink);
    image = rig.read();
    const Extent line = extentOf(image, ink);
    EXPECT_GT(line.count, 500);
    EXPECT_LT(line.count, 720);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (sameRgb(image.pixel(x, y), ink)) {
                ASSERT_NEAR(std::hypot(x + 0.5 - 200, y + 0.5 - 200), 100, 1.5) << x << "," << y;
            }
}

TEST_F(Primitives, SpheresKeepTheirTessellationAndTakeANewRadius) {
    VU_Sphere sphere(1.0f, 16, 16);
    sphere.draw(ink);
    // Seen down its poles the outline is a 16-sided polygon inside the circle.
    const double full = M_PI * 100 * 100;
    const Extent e = drawn();
    EXPECT_GT(e.count, 0.96 * full);
    EXPECT_LT(e.count, full);
    expectSolid(extentOf(rig.read(), ink, 199), 100, 299, 199, 199);

    rig.begin();
    sphere.setRadius(0.5f);
    sphere.draw(ink);
    EXPECT_NEAR(drawn().count, e.count / 4.0, e.count * 0.01);
    sphere.setRadius(0.0f);
    rig.begin();
    sphere.draw(ink);
    EXPECT_EQ(drawn().count, 0);
}

TEST_F(Primitives, DrawingKeepsSomeoneElsesArraysBufferColourAndLineWidth) {
    // Someone else's state: a bound buffer that their vertex pointer is an offset into, a
    // red colour array and a normal array left on, a wide line and a current colour.
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

    EXPECT_EQ(GLuint(glInteger(GL_ARRAY_BUFFER_BINDING)), buffer);
    EXPECT_EQ(GLuint(glInteger(GL_VERTEX_ARRAY_BUFFER_BINDING)), buffer);
    EXPECT_EQ(glInteger(GL_VERTEX_ARRAY_SIZE), 2);
    EXPECT_EQ(glInteger(GL_VERTEX_ARRAY_STRIDE), 8);
    EXPECT_EQ(glPointer(GL_VERTEX_ARRAY_POINTER), reinterpret_cast<GLvoid*>(4));
    EXPECT_EQ(glInteger(GL_COLOR_ARRAY_BUFFER_BINDING), 0);
    EXPECT_EQ(glInteger(GL_COLOR_ARRAY_STRIDE), 4);
    EXPECT_EQ(glPointer(GL_COLOR_ARRAY_POINTER), static_cast<const void*>(red));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    const auto colour = currentColour();
    EXPECT_EQ(glFloat(GL_LINE_WIDTH), 3.5f);
    EXPECT_FLOAT_EQ(colour[1], 0.2f);
    EXPECT_FLOAT_EQ(colour[3], 0.4f);

    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDeleteBuffers(1, &buffer);
}
