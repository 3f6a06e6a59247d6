#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_Port.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/components.h"

#include <gtest/gtest.h>

namespace {

// Moves by its attribute, as a translation transformation would.
class Shift : public MO_LocalTransformation {
public:
    explicit Shift(const AT_DoubleAttr* x) : m_x(x) {}
    void apply(const MO_FrameKey& key, Math::Matrix4x4& m) const override {
        m.translate(m_x->valueAt(key.frame()), 0, 0);
    }
    void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& m) const override {
        m.translate(-m_x->valueAt(key.frame()), 0, 0);
    }

private:
    const AT_DoubleAttr* m_x;
};

}  // namespace

TEST(Ports, CarryTheSourcesWorldMatrixAtTheContextsFrame) {
    SC_SceneCommon scene;
    MO_Node* root = scene.addNode(std::make_unique<MO_Module>(&scene, "root"));
    root->addLocalTransformation(
        std::make_unique<Shift>(root->addAttribute(std::make_unique<AT_DoubleAttr>(root, "x", 10.0))));
    MO_Node* source = scene.addNode(std::make_unique<MO_Module>(&scene, "source"));
    source->setParent(root);
    auto* x = source->addAttribute(std::make_unique<AT_DoubleAttr>(source, "x", 0.0));
    auto curve = std::make_unique<LXBezierTimedValue>();
    curve->setValue(1, 1.0, false, true);
    curve->setValue(3, 3.0, false, true);
    x->socket()->link(curve.get());
    scene.addTimedValue(std::move(curve));
    source->addLocalTransformation(std::make_unique<Shift>(x));
    auto* module = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "m")));

    EXPECT_EQ(module->inPort(0), nullptr);
    EXPECT_EQ(module->computeTransformationParent(MO_BaseContext(MO_FrameKey(2)), 0), nullptr);

    module->addInPort(nullptr);
    MO_Port* port = module->addInPort(source);
    EXPECT_EQ(module->inPortCount(), 2);
    EXPECT_EQ(module->computeTransformationParent(MO_BaseContext(MO_FrameKey(2)), 0), nullptr);
    EXPECT_EQ(module->computeTransformationParent(MO_BaseContext(MO_FrameKey(2)), -1), nullptr);
    const MO_PortTransform* t = module->computeTransformationParent(MO_BaseContext(MO_FrameKey(2)), 1);
    ASSERT_NE(t, nullptr);
    EXPECT_NEAR(t->transformation().matrix(true)(0, 3), 12.0, 1e-12);  // root's 10 and the source's value at frame 2
    EXPECT_EQ(t->transformation().matrix(true), t->transformation().matrix(false));

    // Disabled, the connection brings in nothing but still names its source.
    port->setEnabled(false);
    EXPECT_EQ(module->computeTransformationParent(MO_BaseContext(MO_FrameKey(2)), 1), nullptr);
    EXPECT_EQ(port->srcNode(), nullptr);
    EXPECT_EQ(port->realDisabledSrcNode(), source);
}

TEST(Ports, AlignmentIsTheNodesOwnAndIdentityForNone) {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    EXPECT_TRUE(MO_AlignmentMatrixVisitor::alignmentMatrixForOglRender(node, MO_FrameKey(1)).isIdentity());
    EXPECT_TRUE(MO_AlignmentMatrixVisitor::alignmentMatrixForOglRender(nullptr, MO_FrameKey(1)).isIdentity());
    Math::Matrix4x4 turn;
    turn.rotateDegrees(30, {0, 0, 1});
    node->setAlignmentMatrix(turn);
    EXPECT_EQ(MO_AlignmentMatrixVisitor::alignmentMatrixForOglRender(node, MO_FrameKey(1)), turn);
}
