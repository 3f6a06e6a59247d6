#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Transformations : ::testing::Test {
    void SetUp() override { rigkit_test::loadPlugin(); }

    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    AT_DoubleAttr* v = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "v"));
    AT_Rotation3dAttr* rot = node->addAttribute(std::make_unique<AT_Rotation3dAttr>(node, "rot"));
    AT_Scale3dAttr* sc = node->addAttribute(std::make_unique<AT_Scale3dAttr>(node, "sc"));
    AT_Position2dAttr* p2 = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "p2", Math::Point2d(1, -2)));
    AT_Position3dAttr* p3 = node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "p3", Math::Point3d(1, -2, 4)));

    std::unique_ptr<MO_LocalTransformation> make(const char* type, AT_Attr* attr) {
        const MO_ComponentData data{node->properties(), {attr}};
        std::unique_ptr<MO_LocalTransformation> t(MO_LocalTransformationFactorySingleton().create(type, data));
        EXPECT_TRUE(t) << type;
        return t;
    }
    static Math::Matrix4x4 applied(const MO_LocalTransformation* t, bool inverse = false,
                                   const Math::Matrix4x4& start = Math::Matrix4x4(), double frame = 1) {
        Math::Matrix4x4 m = start;
        if (t)
            inverse ? t->applyInverse(MO_FrameKey(frame), m) : t->apply(MO_FrameKey(frame), m);
        return m;
    }
    Math::Matrix4x4 applied(const char* type, AT_Attr* attr, bool inverse = false,
                            const Math::Matrix4x4& start = Math::Matrix4x4()) {
        return applied(make(type, attr).get(), inverse, start);
    }
    static Math::Point3d moved(const MO_LocalTransformation& t, double frame, bool inverse = false) {
        return applied(&t, inverse, Math::Matrix4x4(), frame).transformPoint({0, 0, 0});
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

// What each translation moves by, in drawing units, is pinned by the unit_scale scene; its
// inverse by the round trip here.

TEST_F(Transformations, ApplyThenInverseRestoresTheMatrix) {
    scene.metrics().setUnitScales(2, 3, 5);
    const auto roundTrip = [&](const Math::Matrix4x4& start, const char* type, AT_Attr* attr) {
        SCOPED_TRACE(type);
        auto t = make(type, attr);
        const Math::Matrix4x4 there = applied(t.get(), false, start);
        EXPECT_NE(there, start);
        expectNear(applied(t.get(), true, there), start);
    };
    Math::Matrix4x4 turned;
    turned.rotateDegrees(30, {0, 1, 0});
    v->setLocalValue(-0.7);
    for (const char* type : {"TRANSLATION_X", "TRANSLATION_Y", "TRANSLATION_Z"})
        roundTrip(turned, type, v);
    roundTrip(turned, "TRANSLATION_XY", p2);
    roundTrip(turned, "TRANSLATION_XYZ", p3);

    Math::Matrix4x4 start;
    start.translate(1, 2, 3).scale(2, 2, 2);
    rot->setLocalValues({30, -70, 200});
    v->setLocalValue(123.4);
    roundTrip(start, "ROTATION_3D", rot);
    roundTrip(start, "ROTATION_X", v);
}

TEST_F(Transformations, TranslationReadsTheAttributeAfreshAtTheKeysExactFrame) {
    auto tv = std::make_unique<LXFnc2DTimedValue>();
    tv->setValue(1, 0, false, true);
    tv->setValue(2, 10, false, true);
    v->socket()->link(tv.get());
    scene.addTimedValue(std::move(tv));
    auto t = make("TRANSLATION_X", v);
    EXPECT_DOUBLE_EQ(moved(*t, 1.25).x, 2.5);
    EXPECT_DOUBLE_EQ(moved(*t, 1.5).x, 5.0);
    EXPECT_DOUBLE_EQ(moved(*t, 7).x, 10.0);

    // Nothing is cached.
    auto t3 = make("TRANSLATION_XYZ", p3);
    p3->setLocalValues({0, 0, 1});
    EXPECT_EQ(moved(*t3, 1).z, 1.0);
    p3->setLocalValues({0, 0, 2});
    EXPECT_EQ(moved(*t3, 1).z, 2.0);
}

TEST_F(Transformations, AxisRotationsEqualTheThreeAngleOneWithOneComponent) {
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

TEST_F(Transformations, AxisScalesAndTheirInverses) {
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

TEST_F(Transformations, ThreeFactorScaleReplacesEachZeroAlone) {
    sc->setLocalValues({2, 0, 4});
    expectNear(applied("SCALE_3D", sc), scaled(2, 0, 4));
    expectNear(applied("SCALE_3D", sc, true), scaled(0.5, 1, 0.25));
    // Not a number is no zero: it passes through.
    sc->setLocalValues({std::numeric_limits<double>::quiet_NaN(), 1, 1});
    EXPECT_TRUE(std::isnan(applied("SCALE_3D", sc, true)(0, 0)));
    sc->setLocalValues({1e-300, 1, 1});
    EXPECT_DOUBLE_EQ(applied("SCALE_3D", sc, true)(0, 0), 1e300);
}

namespace {

// Attributes whose value query fails and writes nothing, as a host attribute may when it
// cannot be evaluated at a frame.
struct NoRotation : AT_Rotation3dAttr {
    using AT_Rotation3dAttr::AT_Rotation3dAttr;
    bool getValue(double, Math::Angle3d&, bool*, bool*) const override { return false; }
};
struct NoScale : AT_Scale3dAttr {
    using AT_Scale3dAttr::AT_Scale3dAttr;
    bool getValue(double, double&, double&, double&, bool*, bool*, bool*, bool*, bool*, bool*) const override {
        return false;
    }
};
struct NoPoint2d : AT_Position2dAttr {
    using AT_Position2dAttr::AT_Position2dAttr;
    bool getValue(double, Math::Point2d&, bool*) const override { return false; }
};
struct NoPoint3d : AT_Position3dAttr {
    using AT_Position3dAttr::AT_Position3dAttr;
    bool getValue(double, Math::Point3d&, bool*, bool*) const override { return false; }
};

}  // namespace

// What cannot be read is no turn (a zero turn's own path), a scale of 1 and no move, both ways: the node stays where
// its parent puts it rather than jumping by whatever the matrix started with.
TEST_F(Transformations, UnreadableValuesLeaveTheMatrix) {
    Math::Matrix4x4 start;
    start.translate(3, -1, 2);
    start.rotateDegrees(30, {0, 0, 1});
    auto* r = node->addAttribute(std::make_unique<NoRotation>(node, "r", Math::Angle3d(10, 20, 30)));
    auto* s = node->addAttribute(std::make_unique<NoScale>(node, "s", Math::Vector3d(2, 3, 4)));
    auto* p = node->addAttribute(std::make_unique<NoPoint2d>(node, "p", Math::Point2d(5, 6)));
    auto* q = node->addAttribute(std::make_unique<NoPoint3d>(node, "q", Math::Point3d(5, 6, 7)));
    for (const auto& [type, attr] : {std::pair<const char*, AT_Attr*>{"ROTATION_3D", r},
                                     {"SCALE_3D", s},
                                     {"TRANSLATION_XY", p},
                                     {"TRANSLATION_XYZ", q}})
        for (const bool inverse : {false, true}) {
            SCOPED_TRACE(std::string(type) + (inverse ? ", inverse" : ""));
            expectNear(applied(type, attr, inverse, start), start);
        }
}
