#include "host/math/Math.h"
#include "host/base/LXMaths.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Math;

namespace {

void expectNear(const Point3d& a, const Point3d& b, double tol = 1e-12) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

}  // namespace

// The matrices' order of composition is held wherever a node is placed: the scene's world
// matrices, the transformations' round trips and every painter's pixels.
TEST(Quat, EulerOrderTurnsAboutXFirst) {
    Quat q;
    q.setEuler(Angle3d(90, 0, 90), true);
    // X first: +Y goes to +Z; then Z leaves +Z alone.
    expectNear(Point3d(q * Vector3d(0, 1, 0)), {0, 0, 1});
    // X alone then Z alone, composed by hand.
    Quat qx, qz;
    qx.setEuler(Angle3d(90, 0, 0), true);
    qz.setEuler(Angle3d(0, 0, 90), true);
    expectNear(Point3d(q * Vector3d(1, 2, 3)), Point3d((qz * qx) * Vector3d(1, 2, 3)));
}

TEST(Quat, EulerRoundTripAndAxisAngle) {
    for (const Angle3d a : {Angle3d(10, 20, 30), Angle3d(-45, 60, 170), Angle3d(0, -80, 5)}) {
        Quat q;
        q.setEuler(a, true);
        const Angle3d b = q.euler(true);
        expectNear({a.x, a.y, a.z}, {b.x, b.y, b.z}, 1e-9);
    }
    Quat q;
    q.setRotAxis(1.25, {0, 0, 2});
    double angle = -1;
    Vector3d axis;
    EXPECT_TRUE(q.rotAxis(angle, axis));
    EXPECT_NEAR(angle, 1.25, 1e-12);
    expectNear(Point3d(axis), {0, 0, 1});

    // The identity has no axis: angle 0, axis left as it was.
    Vector3d untouched(0, 0, 0);
    EXPECT_FALSE(Quat().rotAxis(angle, untouched));
    EXPECT_EQ(angle, 0.0);
    EXPECT_EQ(untouched.length(), 0.0);
}

TEST(LXMaths, ClampToleratesInvertedBounds) {
    EXPECT_EQ(LXMaths::clamp(5.0, 0.0, 1.0), 1.0);
    EXPECT_EQ(LXMaths::clamp(-5.0, 0.0, 1.0), 0.0);
    EXPECT_EQ(LXMaths::clamp(0.5, 0.0, 1.0), 0.5);
    EXPECT_EQ(LXMaths::clamp(0.5, 1.0, 0.0), 0.0);
}
