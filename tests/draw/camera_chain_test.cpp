#include "host/math/CameraTransformChain.h"

#include <gtest/gtest.h>

#include <type_traits>

using namespace Math;

namespace {

constexpr auto S1 = SourceScreenFrame, S5 = SourcePointerFrame, S6 = SourceModelFrame;
constexpr auto D1 = DestinationScreenFrame, D5 = DestinationPointerFrame, D6 = DestinationModelFrame;

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

std::vector<CameraTransformChain> cameras() {
    Matrix4x4 m;
    m.translate(0.3, -0.2, 0.5).rotateDegrees(30, {0, 0, 1}).rotateDegrees(20, {1, 1, 0}).scale(2, 1.5, 0.5);
    CameraTransformChain ortho = CameraTransformChain::orthographic(400, 300, {1, -2}, 80);
    CameraTransformChain persp = CameraTransformChain::perspective(400, 300, {3, 4, 8}, {0.5, 0, 0}, {0, 1, 0}, 45);
    ortho.setModelMatrix(m);
    persp.setModelMatrix(m);
    return {ortho, persp};
}

}  // namespace

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
    // The view places an eye above the center, which the rotation manipulator relies on.
    expectNear(c.viewMatrix().inverse().transformPoint({0, 0, 0}),
               glm::dvec3(1, -2, CameraTransformChain::kOrthoEyeDistance), 1e-9);
}

TEST(CameraChain, ThreeDimensionalPointsRoundTripBetweenEveryPairOfFrames) {
    const SourceReferenceFrame_e sources[] = {S1, S5, S6};
    const DestinationReferenceFrame_e destinations[] = {D1, D5, D6};
    for (const CameraTransformChain& c : cameras()) {
        // A model point in view, and where it is in every frame.
        const Point3d model(0.2, -0.1, 0.3);
        Point3d in[3];
        ASSERT_TRUE(c.transform(S6, D1, model, in[0]));
        ASSERT_TRUE(c.transform(S6, D5, model, in[1]));
        in[2] = model;
        EXPECT_GT(in[0].z, 0.0);
        EXPECT_LT(in[0].z, 1.0);
        for (int from = 0; from < 3; ++from) {
            for (int to = 0; to < 3; ++to) {
                Point3d there, back;
                ASSERT_TRUE(c.transform(sources[from], destinations[to], in[from], there));
                expectNear(there, in[to], 1e-6 * (to == 0 ? 100 : 1));
                ASSERT_TRUE(c.transform(static_cast<SourceReferenceFrame_e>(destinations[to]),
                                        static_cast<DestinationReferenceFrame_e>(sources[from]), there, back));
                expectNear(back, in[from], 1e-6 * (from == 0 ? 100 : 1));
            }
        }
        Matrix4x4 m61, m51, m65;
        ASSERT_TRUE(c.compoundMatrix(S6, D1, m61) && c.compoundMatrix(S5, D1, m51) && c.compoundMatrix(S6, D5, m65));
        const Matrix4x4 composed = m51 * m65;
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                EXPECT_NEAR(composed(r, k), m61(r, k), 1e-9);
    }
}

TEST(CameraChain, WindowPointsLandOnTheDestinationPlane) {
    // A 2D window point stands for the point under the pixel on the destination frame's
    // z = 0 plane: projecting that point again gives the same pixel, even in perspective
    // and through a turned model frame.
    for (const CameraTransformChain& c : cameras()) {
        for (const Point2d window : {Point2d(10, 20), Point2d(200, 150), Point2d(390, 290)}) {
            for (const DestinationReferenceFrame_e to : {D5, D6}) {
                Point2d onPlane, back;
                ASSERT_TRUE(c.transform(S1, to, window, onPlane));
                ASSERT_TRUE(c.transform(static_cast<SourceReferenceFrame_e>(to), D1, onPlane, back));
                expectNear(back, window, 1e-6);
            }
        }
        Segment2d inModel;
        ASSERT_TRUE(c.transform(S1, D6, Segment2d(Point2d(200, 150), Point2d(201, 150)), inModel));
        EXPECT_GT(glm::length(inModel.b - inModel.a), 0.0);
    }
}

TEST(CameraChain, FailsQuietlyWhereNoAnswerExists) {
    CameraTransformChain c = CameraTransformChain::perspective(400, 300, {0, 0, 10}, {0, 0, 0}, {0, 1, 0}, 45);
    Point3d out(7, 7, 7);
    // Behind the eye, or in its plane: no place on the screen.
    EXPECT_FALSE(c.transform(S5, D1, Point3d(0, 0, 20), out));
    EXPECT_FALSE(c.transform(S5, D1, Point3d(1, 0, 10), out));
    EXPECT_EQ(out, Point3d(7, 7, 7));

    // A flattened model frame can be drawn but nothing can be brought back into it.
    Matrix4x4 flat;
    flat.scale(1, 1, 0);
    c.setModelMatrix(flat);
    Matrix4x4 m;
    EXPECT_TRUE(c.compoundMatrix(S6, D1, m));
    EXPECT_FALSE(c.compoundMatrix(S1, D6, m));
    Point2d p2;
    EXPECT_FALSE(c.transform(S1, D6, Point2d(200, 150), p2));

    // The model's z = 0 plane seen edge-on.
    Matrix4x4 edgeOn;
    edgeOn.rotateDegrees(90, {1, 0, 0});
    c.setModelMatrix(edgeOn);
    EXPECT_FALSE(c.transform(S1, D6, Point2d(200, 150), p2));

    // A chain without camera or viewport maps nothing from the screen.
    EXPECT_FALSE(CameraTransformChain().transform(S1, D5, Point2d(0, 0), p2));
    EXPECT_FALSE(c.compoundMatrix(static_cast<SourceReferenceFrame_e>(3), D1, m));
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

TEST(PlaneProjection, InverseUndoesTheProjectionAndFailsEdgeOn) {
    for (const CameraTransformChain& c : cameras()) {
        Matrix4x4 toScreen;
        ASSERT_TRUE(c.compoundMatrix(S6, D1, toScreen));
        const PlaneProjection projection(toScreen, true);
        Point2d screen, plane;
        Point3d viaChain;
        ASSERT_TRUE(projection.getProjection(0.4, -0.3, screen));
        ASSERT_TRUE(c.transform(S6, D1, Point3d(0.4, -0.3, 0), viaChain));
        expectNear(screen, viaChain, 1e-9);
        ASSERT_TRUE(projection.getInverseProjection(screen.x, screen.y, plane));
        expectNear(plane, Point2d(0.4, -0.3), 1e-9);
    }
    Matrix4x4 edgeOn;
    edgeOn(1, 1) = 0.0;  // every plane point lands on one screen row
    Point2d out;
    EXPECT_FALSE(PlaneProjection(edgeOn, false).getInverseProjection(3, 4, out));

    // A perspective eye standing in the plane: off the horizon row the equations still
    // solve, at the eye itself, which no window point shows.
    const CameraTransformChain inPlane =
        CameraTransformChain::perspective(400, 300, Point3d(5, 0, 0), Point3d(0, 0, 0), Vector3d(0, 0, 1), 45);
    Matrix4x4 toScreen;
    ASSERT_TRUE(inPlane.compoundMatrix(S6, D1, toScreen));
    EXPECT_FALSE(PlaneProjection(toScreen, true).getInverseProjection(180, 40, out));
}
