#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

namespace {

struct Translation : ::testing::Test {
    void SetUp() override { rigkit_test::loadPlugin(); }

    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));

    std::unique_ptr<MO_LocalTransformation> make(const char* type, AT_Attr* attr) {
        const MO_ComponentData data{node->properties(), {attr}};
        return std::unique_ptr<MO_LocalTransformation>(MO_LocalTransformationFactorySingleton().create(type, data));
    }

    static Math::Point3d moved(const MO_LocalTransformation& t, double frame, bool inverse = false) {
        Math::Matrix4x4 m;
        inverse ? t.applyInverse(MO_FrameKey(frame), m) : t.apply(MO_FrameKey(frame), m);
        return m.transformPoint({0, 0, 0});
    }
};

}  // namespace

TEST_F(Translation, SingleAxesMoveAlongTheirAxisInDrawingUnits) {
    scene.metrics().setUnitScales(2, 3, 5);
    auto* v = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "v", 1.5));
    EXPECT_EQ(moved(*make("TRANSLATION_X", v), 1), Math::Point3d(3, 0, 0));
    EXPECT_EQ(moved(*make("TRANSLATION_Y", v), 1), Math::Point3d(0, 4.5, 0));
    EXPECT_EQ(moved(*make("TRANSLATION_Z", v), 1), Math::Point3d(0, 0, 7.5));
    EXPECT_EQ(moved(*make("TRANSLATION_Z", v), 1, true), Math::Point3d(0, 0, -7.5));
    v->setLocalValue(0);
    EXPECT_EQ(moved(*make("TRANSLATION_X", v), 1), Math::Point3d(0, 0, 0));
}

TEST_F(Translation, ApplyThenInverseRestoresTheMatrix) {
    scene.metrics().setUnitScales(2, 3, 5);
    auto* v = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "v", -0.7));
    auto* p2 = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "p2", Math::Point2d(1, -2)));
    auto* p3 = node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "p3", Math::Point3d(1, -2, 4)));
    const std::pair<const char*, AT_Attr*> cases[] = {{"TRANSLATION_X", v},
                                                      {"TRANSLATION_Y", v},
                                                      {"TRANSLATION_Z", v},
                                                      {"TRANSLATION_XY", p2},
                                                      {"TRANSLATION_XYZ", p3}};
    for (const auto& [type, attr] : cases) {
        auto t = make(type, attr);
        Math::Matrix4x4 m;
        m.rotateDegrees(30, {0, 1, 0});
        const Math::Matrix4x4 before = m;
        t->apply(MO_FrameKey(1), m);
        EXPECT_NE(m, before) << type;
        t->applyInverse(MO_FrameKey(1), m);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(m(r, c), before(r, c), 1e-12) << type;
    }
}

TEST_F(Translation, PositionsConvertEveryComponentAndThe2dOneStaysInThePlane) {
    scene.metrics().setUnitScales(2, 3, 5);
    auto* p2 = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "p2", Math::Point2d(1, -2)));
    auto* p3 = node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "p3", Math::Point3d(1, -2, 4)));
    EXPECT_EQ(moved(*make("TRANSLATION_XY", p2), 1), Math::Point3d(2, -6, 0));
    EXPECT_EQ(moved(*make("TRANSLATION_XY", p2), 1, true), Math::Point3d(-2, 6, 0));
    EXPECT_EQ(moved(*make("TRANSLATION_XYZ", p3), 1), Math::Point3d(2, -6, 20));
    EXPECT_EQ(moved(*make("TRANSLATION_XYZ", p3), 1, true), Math::Point3d(-2, 6, -20));
}

TEST_F(Translation, ReadsTheAttributeAtTheKeysExactFrame) {
    auto* v = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "v"));
    auto tv = std::make_unique<LXFnc2DTimedValue>();
    tv->setValue(1, 0, false, true);
    tv->setValue(2, 10, false, true);
    v->socket()->link(tv.get());
    scene.addTimedValue(std::move(tv));
    auto t = make("TRANSLATION_X", v);
    EXPECT_DOUBLE_EQ(moved(*t, 1.25).x, 2.5);
    EXPECT_DOUBLE_EQ(moved(*t, 1.5).x, 5.0);
    EXPECT_DOUBLE_EQ(moved(*t, 7).x, 10.0);

    // Each call reads the attribute afresh: nothing is cached.
    auto* p3 = node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "p3"));
    auto t3 = make("TRANSLATION_XYZ", p3);
    p3->setLocalValues({0, 0, 1});
    EXPECT_EQ(moved(*t3, 1).z, 1.0);
    p3->setLocalValues({0, 0, 2});
    EXPECT_EQ(moved(*t3, 1).z, 2.0);
}
