#include "manipulators/rotation_manipulators.h"
#include "tests/manipulators/drag_fixture.h"

#include <cmath>

using namespace rigkit_test;

namespace {

struct RotationDrag : DragTest {
    void SetUp() override {
        DragTest::SetUp();
        context.setFrames(3, 3);
    }

    AT_DoubleAttr* angle = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "a", 10.0));
    AT_Rotation3dAttr* rot = node->addAttribute(std::make_unique<AT_Rotation3dAttr>(node, "r"));

    static Math::Point2d window(double x, double y) { return {200 + 100 * x, 200 - 100 * y}; }
    Math::Angle3d rotation(double frame = 3) {
        Math::Angle3d a;
        rot->getValue(frame, a);
        return a;
    }
};

// x, y and z of a rotation, a vector or a point.
template <class V>
void expectNear(const V& got, double x, double y, double z, double tolerance) {
    EXPECT_NEAR(got.x, x, tolerance);
    EXPECT_NEAR(got.y, y, tolerance);
    EXPECT_NEAR(got.z, z, tolerance);
}

}  // namespace

// The rotate_drag scene pins a quarter turn, the names of rotation edits and their undo.

TEST_F(RotationDrag, QuarterTurnAboutZAddsNinetyAndTheReverseTakesItBack) {
    manipulate("ROTATION_Z", angle);
    session.press(node, window(1, 0));
    session.move(window(0.7, 0.7));
    session.move(window(0, 1));
    EXPECT_NEAR(angle->valueAt(3), 100.0, 1e-9);
    session.move(window(0, 1));  // no motion adds nothing
    EXPECT_NEAR(angle->valueAt(3), 100.0, 1e-9);
    session.move(window(1, 0));
    EXPECT_NEAR(angle->valueAt(3), 10.0, 1e-9);
    session.move(window(0, -1));
    EXPECT_NEAR(angle->valueAt(3), -80.0, 1e-9);
    ASSERT_TRUE(session.release());
    EXPECT_NEAR(angle->valueAt(3), -80.0, 1e-9);
}

// A whole circle adding up without wrapping is the recorded_edits scene's. Across the centre
// in one step is half a turn: the unit vectors of (0.1, 1) and its opposite come out a
// little longer than 1, which puts the cosine just past -1.
TEST_F(RotationDrag, AcrossTheCentreInOneStepIsHalfATurn) {
    manipulate("ROTATION_Z", angle);
    ASSERT_TRUE(session.pressAt(node, {0.1, 1.0, 0}));
    session.moveTo({-0.1, -1.0, 0});
    EXPECT_NEAR(angle->valueAt(3), 190.0, 1e-9);
    session.cancel();
}

TEST_F(RotationDrag, OnlyTheSignDependsOnTheAxis) {
    // A sweep in the XY plane, seen by the X manipulator: the cross product has no X
    // component, so the full angle counts as positive either way.
    manipulate("ROTATION_X", angle);
    session.press(node, window(1, 0));
    session.move(window(0, 1));
    EXPECT_NEAR(angle->valueAt(3), 100.0, 1e-9);
    session.move(window(1, 0));
    EXPECT_NEAR(angle->valueAt(3), 190.0, 1e-9);
    session.cancel();
}

TEST_F(RotationDrag, RangeModeOffsetsByTheTotalSweep) {
    manipulate("ROTATION_Y", angle);
    context.setAnimationMode(CX_AnimationModeRange);
    context.setFrameRange(MO_FrameRange::infinite());
    session.press(node, window(1, 0));
    session.move(window(1, 0));
    session.release();
    EXPECT_EQ(angle->localValue(), 10.0);  // a zero sweep offsets by zero
    session.press(node, window(1, 0));
    session.move(window(0, 1));  // cross product along +Z: the Y manipulator's sign is +
    session.release();
    EXPECT_NEAR(angle->localValue(), 100.0, 1e-9);
    EXPECT_EQ(history.size(), 2u);
}

TEST_F(RotationDrag, YawAndPitchFollowTheWholeDisplacement) {
    node->setProperty("enable_roll", false);
    manipulate("ROTATION_3D", rot);
    session.press(node, window(0.2, 0.3));
    session.move(window(0.3, 0.3));  // d.x = 0.1: half a radian of yaw about Y
    expectNear(rotation(), 0.0, 0.5 * 180 / M_PI, 0.0, 1e-9);
    EXPECT_NEAR(rot->angleY()->valueAt(3), 0.5 * 180 / M_PI, 1e-9);  // the component shows it too
    session.move(window(0.2, 0.4));                                  // d.y = 0.1: a quarter radian of pitch, negative
    expectNear(rotation(), -0.25 * 180 / M_PI, 0.0, 0.0, 1e-9);
    session.move(window(0.2, 0.3));  // back where it started: the start rotation
    expectNear(rotation(), 0.0, 0.0, 0.0, 1e-9);
    session.cancel();
    EXPECT_EQ(rot->surrogate(), nullptr);
    EXPECT_EQ(rot->angleX()->surrogate(), nullptr);

    // The displacement is the pointer's whole 3D one, off the plane z = 0 too: seen from +X,
    // a tenth of a unit up world Z is taken through the transposed view matrix, where it
    // lands on the yaw.
    context.setCamera(Math::CameraTransformChain::perspective(400, 400, {5, 0, 0}, {0, 0, 0}, {0, 0, 1}, 40));
    ASSERT_TRUE(session.pressAt(node, {0, 0, 0.5}));
    session.moveTo({0, 0, 0.6});
    expectNear(rotation(), 0.0, 0.5 * 180 / M_PI, 0.0, 1e-9);
    session.cancel();
}

TEST_F(RotationDrag, FreeRotationTumblesAndKeysTheTurn) {
    node->setProperty("radius", 1.0);
    manipulate("ROTATION_3D", rot);
    session.press(node, window(0, 0));
    session.move(window(0, 0));  // no motion, no turn
    expectNear(rotation(), 0.0, 0.0, 0.0, 1e-9);
    // From the sphere's top (facing the eye) towards +X: a turn about +Y. The eye of the
    // orthographic view stands a finite distance away, so the line of sight slants a little.
    session.move(window(0.5, 0));
    EXPECT_NEAR(rotation().y, 30.0, 0.05);
    EXPECT_NEAR(rotation().x, 0.0, 1e-9);
    // Outside the silhouette the nearest sphere point is used: the edge, 90 degrees.
    session.move(window(3, 0));
    EXPECT_NEAR(rotation().y, 90.0, 0.2);
    ASSERT_TRUE(session.release());
    EXPECT_NEAR(rot->angleY()->valueAt(3), 90.0, 0.2);
    EXPECT_TRUE(rot->angleY()->timedValue());

    // The ball goes with its node: moved off the origin on both axes, the same gesture
    // about its new place turns it as much again.
    auto* at = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "at", Math::Point2d(2, -1)));
    node->addLocalTransformation(std::unique_ptr<MO_LocalTransformation>(
        MO_LocalTransformationFactorySingleton().create("TRANSLATION_XY", MO_ComponentData{node->properties(), {at}})));
    session.press(node, window(2, -1));
    session.move(window(2.5, -1));
    EXPECT_NEAR(rotation().y, 90.0 + 30.0, 0.05);
    EXPECT_NEAR(rotation().x, 0.0, 0.05);  // the slanting line of sight again
    ASSERT_TRUE(session.release());

    // From its top, outside the silhouette in any direction, the ball turns its top to the
    // edge on the pointer's side, never the opposite one.
    history.undo();
    history.undo();
    ASSERT_NEAR(rotation().y, 0.0, 1e-9);
    for (int i = 0; i < 16; ++i) {
        const double a = i * M_PI / 8;
        session.press(node, window(2, -1));
        session.move(window(2 + 3 * std::cos(a), -1 + 3 * std::sin(a)));
        Math::Quat q;
        q.setEuler(rotation(), true);
        const Math::Vector3d top = q * Math::Vector3d(0, 0, 1);
        EXPECT_NEAR(top.x, std::cos(a), 0.01) << i;
        EXPECT_NEAR(top.y, std::sin(a), 0.01) << i;
        session.cancel();
    }
}

// Seen in perspective from 5 units up an axis, the ball's point 30 degrees round from its
// top lies on the line of sight through the point at 5 sin 30 / (5 - cos 30) along a second
// axis: a drag from the centre to there turns the ball by 30 degrees about the third. The
// far hit of that line would be well past 90, and an eye taken anywhere else would slant
// it. Looking down each axis in turn, each coordinate of the line leads once.
TEST_F(RotationDrag, FreeRotationInPerspectiveTurnsTheNearSideUnderThePointer) {
    node->setProperty("radius", 1.0);
    manipulate("ROTATION_3D", rot);
    const double at30 = 5 * 0.5 / (5 - std::cos(M_PI / 6));
    struct View {
        Math::Point3d eye, to;
        Math::Vector3d up, turn;
    };
    for (const View& v : {View{{0, 0, 5}, {at30, 0, 0}, {0, 1, 0}, {0, 30, 0}},
                          View{{5, 0, 0}, {0, at30, 0}, {0, 0, 1}, {0, 0, 30}},
                          View{{0, 5, 0}, {0, 0, at30}, {0, 0, 1}, {30, 0, 0}}}) {
        SCOPED_TRACE(testing::Message() << "eye " << v.eye.x << " " << v.eye.y << " " << v.eye.z);
        context.setCamera(Math::CameraTransformChain::perspective(400, 400, v.eye, {0, 0, 0}, v.up, 40));
        ASSERT_TRUE(session.pressAt(node, {0, 0, 0}));
        session.moveTo(v.to);
        expectNear(rotation(), v.turn.x, v.turn.y, v.turn.z, 1e-6);
        session.cancel();
    }
}

TEST_F(RotationDrag, ThreeAngleRangeModeTurnsEveryKey) {
    key(scene, rot->angleZ(), {{1, 0}, {9, 40}});
    key(scene, rot->angleX(), {{1, 0}, {9, 25}});
    node->setProperty("enable_roll", false);
    manipulate("ROTATION_3D", rot);
    context.setAnimationMode(CX_AnimationModeRange);
    context.setFrameRange(MO_FrameRange::infinite());
    session.press(node, window(0, 0));
    session.move(window(0.1, 0));
    ASSERT_TRUE(session.release());
    // Each key's whole rotation, tilt included, turned by the same yaw.
    Math::Angle3d at1, at9;
    rot->getValue(1, at1);
    rot->getValue(9, at9);
    const auto quat = [](const Math::Angle3d& a) {
        Math::Quat q;
        q.setEuler(a, true);
        return q;
    };
    Math::Quat yaw;
    yaw.setRotAxis(0.5, Math::Vector3d(0, 1, 0));
    const Math::Vector3d probe(1, 2, 3);
    const Math::Vector3d expected = (yaw * quat(Math::Angle3d(25, 0, 40))) * probe, got = quat(at9) * probe;
    expectNear(got, expected.x, expected.y, expected.z, 1e-9);
    EXPECT_NEAR(((yaw * Math::Quat()) * probe).x, (quat(at1) * probe).x, 1e-9);
}
