#include "host/draw/VU_ReferentialScope.h"

VU_ReferentialScope::VU_ReferentialScope(CC_CameraChainTransformCanvasBinder& binder,
                                         Math::DestinationReferenceFrame_e frame) {
    if (frame != Math::DestinationScreenFrame && frame != Math::DestinationPointerFrame)
        return;
    m_scope.emplace(binder);
    Math::CameraTransformChain chain = binder.transformChain();
    chain.setModelMatrix(Math::Matrix4x4());
    if (frame == Math::DestinationScreenFrame) {
        chain.setViewMatrix(Math::Matrix4x4());
        chain.setProjectionMatrix(chain.screenProjectionMatrix());
    }
    binder.setTransformChain(chain);
}
