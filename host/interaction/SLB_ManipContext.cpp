#include "host/interaction/SLB_ManipContext.h"

#include "host/math/CameraTransformChain.h"
#include "host/scene/MO_Node.h"

SLB_ManipContext::SLB_ManipContext(SC_SceneCommon* scene)
    : m_scene(scene), m_camera(std::make_unique<Math::CameraTransformChain>()) {}

SLB_ManipContext::~SLB_ManipContext() = default;

// Out of line, so that the class's type information lives in the host library alone.
SLB_DragContext::~SLB_DragContext() = default;

void SLB_ManipContext::setCamera(const Math::CameraTransformChain& camera) {
    *m_camera = camera;
}

void SLB_ManipContext::cameraTransformChain(Math::CameraTransformChain& chain, MO_Node* node,
                                            bool withOwnTransformations) const {
    chain = *m_camera;
    Math::Matrix4x4 model;
    if (node) {
        if (withOwnTransformations)
            model = node->worldMatrix(frameKey());
        else if (node->parent())
            model = node->parent()->worldMatrix(frameKey());
    }
    chain.setModelMatrix(model);
}
