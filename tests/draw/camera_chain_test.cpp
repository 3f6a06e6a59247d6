#include "host/math/CameraTransformChain.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

#include <type_traits>

using namespace Math;

namespace {

constexpr auto S1 = SourceScreenFrame, S5 = SourcePointerFrame;
constexpr auto D1 = DestinationScreenFrame, D5 = DestinationPointerFrame;

// Compares x and y, and z where both have one.
template <typename A, typename B>
void expectNear(const A& a, const B& b, double tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    if constexpr (std::is_convertible_v<const A&, const glm::dvec3&> &&
                  std::is_convertible_v<const B&, const glm::dvec3&>) {
        EXPECT_NEAR(a.z, b.z, tol);
    }
}

}  // namespace

// The drag tests and scenes pin an orthographic view centred on the origin; an off-centre
// one and the eye's place are pinned here.
TEST(CameraChain, OrthographicWindowPointsAreTheDocumentedWorldPoints) {
    const CameraTransformChain c = CameraTransformChain::orthographic(400, 300, {1, -2}, 80);
    for (const Point2d window : {Point2d(0, 0), Point2d(200, 150), Point2d(400, 300), Point2d(37.5, 281.25)}) {
        Point2d world;
        ASSERT_TRUE(c.transform(S1, D5, window, world));
        expectNear(world, Point2d(1 + (window.x - 200) / 80, -2 - (window.y - 150) / 80), 1e-12);
        Point3d onScreen;
        ASSERT_TRUE(c.transform(S5, D1, Point3d(world.x, world.y, 0), onScreen));
        expectNear(onScreen, window, 1e-9);
    }
    // The rotation manipulator relies on an eye above the center.
    expectNear(c.viewMatrix().inverse().transformPoint({0, 0, 0}),
               glm::dvec3(1, -2, CameraTransformChain::kOrthoEyeDistance), 1e-9);
}

// Flattened and edge-on model frames are left to the hostile-value tests; the Z translation
// drag must land where a perspective camera shows its target.
// The model-to-window matrix is kept once worked out: every change of the chain must be
// seen by the next projection, by the chain and by copies made before or after the change.
TEST(CameraChain, AModelPointFollowsEveryChangeOfTheChain) {
    CameraTransformChain chain = CameraTransformChain::orthographic(400, 400, {0, 0}, 100);
    const auto screenOf = [](const CameraTransformChain& c) {
        Point2d p;
        EXPECT_TRUE(c.transform(SourceModelFrame, D1, Point2d(1, 0), p));
        return p;
    };
    expectNear(screenOf(chain), Point2d(300, 200), 1e-9);
    const CameraTransformChain before = chain;
    chain.applyMatrixToModel(Matrix4x4().translate(0, 1, 0));
    expectNear(screenOf(chain), Point2d(300, 100), 1e-9);
    expectNear(screenOf(before), Point2d(300, 200), 1e-9);
    chain.setModelMatrix(Matrix4x4().scale(2, 1, 1));
    expectNear(screenOf(chain), Point2d(400, 200), 1e-9);
    // A wider window under the same projection stretches the view.
    chain.setViewport(Box2d(Point2d(0, 0), Point2d(800, 400)));
    expectNear(screenOf(chain), Point2d(800, 200), 1e-9);
    const CameraTransformChain wide = CameraTransformChain::orthographic(800, 400, {0, 0}, 100);
    chain.setProjectionMatrix(wide.projectionMatrix());
    expectNear(screenOf(chain), Point2d(600, 200), 1e-9);
    chain.setViewMatrix(Matrix4x4().translate(-1, 0, -CameraTransformChain::kOrthoEyeDistance));
    expectNear(screenOf(chain), Point2d(500, 200), 1e-9);
    Matrix4x4 m;
    ASSERT_TRUE(chain.compoundMatrix(SourceModelFrame, D1, m));
    expectNear(m.transformPoint(Point3d(1, 0, 0)), Point3d(500, 200, 0.5), 1e-9);
}

TEST(CameraChain, FailsQuietlyWhereNoAnswerExists) {
    const CameraTransformChain c = CameraTransformChain::perspective(400, 300, {0, 0, 10}, {0, 0, 0}, {0, 1, 0}, 45);
    Point3d out(7, 7, 7);
    // Behind the eye, or in its plane: no place on the screen.
    EXPECT_FALSE(c.transform(S5, D1, Point3d(0, 0, 20), out));
    EXPECT_FALSE(c.transform(S5, D1, Point3d(1, 0, 10), out));
    EXPECT_EQ(out, Point3d(7, 7, 7));
    Point2d p2;
    EXPECT_FALSE(CameraTransformChain().transform(S1, D5, Point2d(0, 0), p2));
}

TEST(CameraChain, PointerPositionIsOnThePlaneThroughTheTargetFacingTheCamera) {
    const Point3d eye(3, 4, 8), target(0.5, 1, -1);
    const CameraTransformChain c = CameraTransformChain::perspective(400, 300, eye, target, {0, 1, 0}, 45);
    const glm::dvec3 sight = glm::normalize(glm::dvec3(target - eye));
    for (const Point2d window : {Point2d(200, 150), Point2d(30, 250)}) {
        Point3d world, back;
        ASSERT_TRUE(c.pointerPosition(window, world));
        EXPECT_NEAR(glm::dot(glm::dvec3(world - target), sight), 0.0, 1e-9);
        ASSERT_TRUE(c.transform(S5, D1, world, back));
        expectNear(back, window, 1e-6);
        if (window == Point2d(200, 150))
            expectNear(world, target, 1e-9);
    }
}

// A binder change loads what it touched into GL, whatever a painter's own GL calls left
// the matrix mode as, and ends in model-view mode.
TEST(CameraChain, EachBinderChangeReachesGLWhateverMatrixModeItFinds) {
    draw_test::gl(64, 48);
    VS_Canvas canvas(64, 48);
    CC_CameraChainTransformCanvasBinder binder(canvas);
    binder.setTransformChain(CameraTransformChain::orthographic(64, 48, {0, 0}, 10));
    // GL keeps single precision.
    const auto matrix = [](GLenum which) {
        std::array<float, 16> m{};
        glGetFloatv(which, m.data());
        return m;
    };
    const auto data = [](const Matrix4x4& m) {
        std::array<float, 16> a{};
        std::transform(m.data(), m.data() + 16, a.begin(), [](double v) { return float(v); });
        return a;
    };
    const auto strayIntoProjection = [] {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glScaled(2, 2, 2);
        glPopMatrix();
    };
    Matrix4x4 model;
    model.translate(3, -4, 0).scale(2, 2, 1);
    strayIntoProjection();
    binder.setModelMatrix(model);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), data(binder.viewMatrix() * model));
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), data(binder.projectionMatrix()));

    const Matrix4x4 projection = Matrix4x4().orthogonalProject(0, 32, 0, 24, -1, 1);
    strayIntoProjection();
    binder.setProjectionMatrix(projection);
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), data(projection));
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), data(binder.viewMatrix() * model));

    strayIntoProjection();
    binder.setViewport(Box2d({4, 6}, {36, 30}));
    GLint viewport[4], mode = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{4, 48 - 30, 32, 24}));
    EXPECT_EQ(mode, GL_MODELVIEW);
}
