#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/components.h"

#include <gtest/gtest.h>

namespace {

struct SceneFixture : ::testing::Test {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));

    LXTimedValue* animate(AT_DoubleAttr* attr, std::unique_ptr<LXTimedValue> tv) {
        LXTimedValue* raw = tv.get();
        scene.addTimedValue(std::move(tv));
        attr->socket()->link(raw);
        return raw;
    }
};

// Moves by a fixed offset along X: lets the tests see the order of composition.
class Shift : public MO_LocalTransformation {
public:
    explicit Shift(double d, bool scale = false) : m_d(d), m_scale(scale) {}
    void apply(const MO_FrameKey&, Math::Matrix4x4& m) const override {
        m_scale ? m.scale(m_d, 1, 1) : m.translate(m_d, 0, 0);
    }
    void applyInverse(const MO_FrameKey&, Math::Matrix4x4& m) const override {
        m_scale ? m.scale(1 / m_d, 1, 1) : m.translate(-m_d, 0, 0);
    }

private:
    double m_d;
    bool m_scale;
};

}  // namespace

TEST_F(SceneFixture, DoubleAttributeIsLocalUntilAnimated) {
    auto* a = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "tx", 3.0));
    EXPECT_EQ(a->valueAt(10), 3.0);
    EXPECT_TRUE(a->setValue(10, 4.0, false, false));  // not animated: the local value
    EXPECT_EQ(a->localValue(), 4.0);

    LXTimedValue* tv = animate(a, std::make_unique<LXBezierTimedValue>());
    EXPECT_EQ(a->valueAt(10), 4.0);  // an empty curve defines nothing yet
    EXPECT_TRUE(a->setValue(10, 6.0, false, false));
    EXPECT_TRUE(tv->hasControlPointAt(10));
    EXPECT_EQ(a->valueAt(-3), 6.0);
    EXPECT_EQ(a->localValue(), 4.0);

    auto* fixed = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "fixed", 1.0, false));
    EXPECT_EQ(fixed->socket(), nullptr);
    EXPECT_EQ(fixed->typeName(), AT_DoubleAttr::TypeString());
    EXPECT_EQ(node->attribute("fixed"), fixed);
    EXPECT_EQ(fixed->sceneCommon(), &scene);
}

TEST_F(SceneFixture, CompoundAttributesAnimatePerComponent) {
    auto* pos = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "pos", Math::Point2d(1, 2)));
    auto tv = std::make_unique<LXFnc2DTimedValue>();
    tv->setValue(0, 0, false, true);
    tv->setValue(10, 10, false, true);
    animate(pos->y(), std::move(tv));
    Math::Point2d p;
    EXPECT_TRUE(pos->getValue(5, p));
    EXPECT_EQ(p.x, 1.0);
    EXPECT_EQ(p.y, 5.0);
    EXPECT_TRUE(pos->getLocalValue(p));
    EXPECT_EQ(p.y, 2.0);
    EXPECT_FALSE(pos->setValues(0, {1.0}, false, false));  // wrong arity

    auto* rot = node->addAttribute(std::make_unique<AT_Rotation3dAttr>(node, "rot", Math::Angle3d(10, 20, 30)));
    Math::Angle3d ang;
    rot->getValue(1, ang);
    EXPECT_EQ(ang, Math::Angle3d(10, 20, 30));
    EXPECT_EQ(rot->angleZ()->name(), "z");

    auto* sc = node->addAttribute(std::make_unique<AT_Scale3dAttr>(node, "s"));
    double x = 0, y = 0, z = 0;
    sc->getValue(1, x, y, z);
    EXPECT_EQ(x + y + z, 3.0);  // scales start at 1
    EXPECT_NE(sc->typeName(), rot->typeName());
}

TEST_F(SceneFixture, BooleansAndStringsHoldFromKeyToKey) {
    auto* on = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "on", false));
    EXPECT_TRUE(on->setValue(5, true));
    EXPECT_TRUE(on->value(1));  // not keyed: the local value changed
    on->stepped().addKey(10, false);
    on->stepped().addKey(20, true);
    EXPECT_FALSE(on->value(1));
    EXPECT_FALSE(on->value(19.9));
    EXPECT_TRUE(on->value(20));
    on->setValue(15, true);  // a new key between the two
    EXPECT_TRUE(on->value(16));
    EXPECT_FALSE(on->value(12));
    auto* keyed = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "keyed", false));
    keyed->setValue(8, true, false, true);  // the last flag keys an attribute that had no key
    ASSERT_EQ(keyed->stepped().keys().size(), 1u);
    EXPECT_FALSE(keyed->localValue());

    auto* text = node->addAttribute(std::make_unique<AT_StringAttr>(node, "text", "a"));
    text->stepped().addKey(3, "b");
    EXPECT_EQ(text->value(1), "b");
    EXPECT_EQ(text->value(4), "b");
    text->setValue(6, "c");
    EXPECT_EQ(text->value(5), "b");
    EXPECT_EQ(text->value(100), "c");
}

TEST_F(SceneFixture, WorldMatrixIsParentTimesLocalTransformationsInOrder) {
    MO_Node* child = scene.addNode(std::make_unique<MO_Module>(&scene, "child"));
    child->setParent(node);
    node->addLocalTransformation(std::make_unique<Shift>(1));
    child->addLocalTransformation(std::make_unique<Shift>(2));
    child->addLocalTransformation(std::make_unique<Shift>(3, true));  // acts on points first
    const MO_FrameKey key(1);
    EXPECT_EQ(child->worldMatrix(key).transformPoint({1, 0, 0}).x, 1 + 2 + 3.0);
    EXPECT_EQ(child->localMatrix(key).transformPoint({0, 0, 0}).x, 2.0);
    EXPECT_EQ(scene.findNode("child"), child);
    EXPECT_EQ(scene.findNode("none"), nullptr);
}

TEST(SceneMetrics, ConvertsPerAxis) {
    SC_SceneMetrics m;
    m.setUnitScales(2, 3, 4);
    const Math::Point3d p = m.toOGL(Math::Point3d(1, 1, 1));
    EXPECT_EQ(p, Math::Point3d(2, 3, 4));
    EXPECT_EQ(m.fromOGL(p), Math::Point3d(1, 1, 1));
    EXPECT_EQ(m.toOGL(Math::Point2d(1, 1)), Math::Point2d(2, 3));
    EXPECT_EQ(m.fromOGL(Math::Vector2d(2, 3)), Math::Vector2d(1, 1));
}

TEST(FrameRange, EdgeAndPassiveFrames) {
    const MO_FrameRange r(5, 10);
    EXPECT_FALSE(r.isInfinite());
    EXPECT_TRUE(r.isFrameEnabled(5));
    EXPECT_TRUE(r.isFrameEnabled(10));
    EXPECT_FALSE(r.isFrameEnabled(10.5));
    EXPECT_EQ(r.edgeFrames(), (std::vector<double>{5, 10}));
    EXPECT_EQ(r.passiveFrames(), (std::vector<double>{4, 11}));
    EXPECT_EQ(MO_FrameRange(7, 7).edgeFrames(), std::vector<double>{7});
    EXPECT_EQ(MO_FrameRange(9, 3).first(), 3.0);

    const MO_FrameRange all = MO_FrameRange::infinite();
    EXPECT_TRUE(all.isInfinite());
    EXPECT_TRUE(all.isFrameEnabled(-1e9));
    EXPECT_TRUE(all.edgeFrames().empty());
    EXPECT_TRUE(all.passiveFrames().empty());
}

TEST(SceneCommon, TimedValuesCanBeGivenBackAndChangesAreEmitted) {
    SC_SceneCommon scene;
    auto tv = std::make_unique<LXEaseTimedValue>();
    LXTimedValue* raw = tv.get();
    scene.addTimedValue(std::move(tv));
    EXPECT_TRUE(scene.holdsTimedValue(raw));
    auto back = scene.releaseTimedValue(raw);
    EXPECT_EQ(back.get(), raw);
    EXPECT_FALSE(scene.holdsTimedValue(raw));
    EXPECT_EQ(scene.releaseTimedValue(raw), nullptr);

    MO_Node* seen = nullptr;
    scene.changeManager().addListener([&](MO_Node* n) { seen = n; });
    MO_Node* n = scene.addNode(std::make_unique<MO_Node>(&scene, "n"));
    scene.changeManager().emitNodeChanged(n);
    EXPECT_EQ(seen, n);
    EXPECT_EQ(scene.changeManager().emittedCount(), 1u);
}
