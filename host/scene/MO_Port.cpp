#include "host/scene/MO_Port.h"

#include "host/scene/MO_Node.h"

const MO_PortTransform* MO_Port::computeTransform(const MO_BaseContext& context) {
    MO_Node* source = srcNode();
    if (!source) {
        m_transform.reset();
        return nullptr;
    }
    m_transform = std::make_unique<MO_PortTransform>(MO_Transformation(source->worldMatrix(context.frameKey())));
    return m_transform.get();
}

Math::Matrix4x4 MO_AlignmentMatrixVisitor::alignmentMatrixForOglRender(const MO_Node* node, const MO_FrameKey&) {
    return node ? node->alignmentMatrix() : Math::Matrix4x4();
}
