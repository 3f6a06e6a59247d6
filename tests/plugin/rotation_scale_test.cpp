#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct RotationScale : ::testing::Test {
    void SetUp() override { rigkit_test::loadPlugin(); }

    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    AT_DoubleAttr* v = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "v"));
    AT_Rotation3dAttr* rot = node->addAttribute(std::make_unique<AT_Rotation3dAttr>(node, "rot"));
    AT_Scale3dAttr* sc = node->addAttribute(std::make_unique<AT_Scale3dAttr>(node, "sc"));

    Math::Matrix4x4 applied(const char* type, AT_Attr* attr, bool inverse = false,
                            const Math::Matrix4x4& start = Math::Matrix4x4()) {
        const MO_ComponentData data{node->properties(), {attr}};
        std::unique_ptr<MO_LocalTransformation> t(MO_LocalTransformationFactorySingleton().create(type, data));
        EXPECT_TRUE(t) << type;
        Math::Matrix4x4 m = start;
        if (t)
            inverse ? t->applyInverse(MO_FrameKey(1), m) : t->apply(MO_FrameKey(1), m);
        return m;
    }
};

void expectNear(const Math::Matrix4x4& a, const Math::Matrix4x4& b, double tol = 1e-12) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a(r, c), b(r, c), tol) << r << "," << c;
}

Math::Matrix4x4 scaled(double x, double y, double z) {
    Math::Matrix4x4 m;
    m.scale(x, y, z);
    return m;
}

}  // namespace

TEST_F(RotationScale, AxisRotationsEqualTheThreeAngleOneWithOneComponent) {
    const std::pair<const char*, Math::Angle3d> cases[] = {
        {"ROTATION_X", {37, 0, 0}}, {"ROTATION_Y", {0, 37, 0}}, {"ROTATION_Z", {0, 0, 37}}};
    v->setLocalValue(37);
    for (const auto& [type, angles] : cases) {
        rot->setLocalValues({angles.x, angles.y, angles.z});
        expectNear(applied(type, v), applied("ROTATION_3D", rot));
    }
    v->setLocalValue(90);
    const Math::Point3d p = applied("ROTATION_Z", v).transformPoint({1, 0, 0});
    EXPECT_NEAR(p.x, 0, 1e-12);
    EXPECT_NEAR(p.y, 1, 1e-12);
}

TEST_F(RotationScale, ZeroAngleLeavesTheMatrixAndInverseRestoresIt) {
    Math::Matrix4x4 start;
    start.translate(1, 2, 3).scale(2, 2, 2);
    v->setLocalValue(0);
    rot->setLocalValues({0, 0, 0});
    EXPECT_EQ(applied("ROTATION_Y", v, false, start), start);
    EXPECT_EQ(applied("ROTATION_3D", rot, false, start), start);

    rot->setLocalValues({30, -70, 200});
    v->setLocalValue(123.4);
    for (const auto& [type, attr] : {std::pair<const char*, AT_Attr*>{"ROTATION_3D", rot}, {"ROTATION_X", v}}) {
        const Math::Matrix4x4 there = applied(type, attr, false, start);
        EXPECT_NE(there, start);
        expectNear(applied(type, attr, true, there), start);
    }
}

TEST_F(RotationScale, AxisScalesAndTheirInverses) {
    v->setLocalValue(2);
    expectNear(applied("SCALE_X", v), scaled(2, 1, 1));
    expectNear(applied("SCALE_X", v, true), scaled(0.5, 1, 1));
    expectNear(applied("SCALE_X", v, true, applied("SCALE_X", v)), Math::Matrix4x4());
    v->setLocalValue(-1);
    expectNear(applied("SCALE_Y", v, true), scaled(1, -1, 1));
    for (double zero : {0.0, -0.0}) {
        v->setLocalValue(zero);
        expectNear(applied("SCALE_Z", v), scaled(1, 1, 0));
        expectNear(applied("SCALE_Z", v, true), Math::Matrix4x4());
    }
}

TEST_F(RotationScale, ThreeFactorScaleReplacesEachZeroAlone) {
    sc->setLocalValues({2, 0, 4});
    expectNear(applied("SCALE_3D", sc), scaled(2, 0, 4));
    expectNear(applied("SCALE_3D", sc, true), scaled(0.5, 1, 0.25));
    // Not a number is no zero: it passes through.
    sc->setLocalValues({std::numeric_limits<double>::quiet_NaN(), 1, 1});
    EXPECT_TRUE(std::isnan(applied("SCALE_3D", sc, true)(0, 0)));
    sc->setLocalValues({1e-300, 1, 1});
    EXPECT_DOUBLE_EQ(applied("SCALE_3D", sc, true)(0, 0), 1e300);
}
