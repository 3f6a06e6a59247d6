#pragma once

#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/host_api.h"
#include "host/math/CameraTransformChain.h"

#include <optional>

// While it lives, drawing coordinates are those of another reference frame of the binder's
// chain: window pixels of the viewport (1, origin at the top left, y down, z = 0 at
// mid-depth), the world (5) or the model frame (6, where drawing already is). The binder's
// chain follows, so transforms made meanwhile agree with what is drawn.
class HOST_API VU_ReferentialScope {
public:
    VU_ReferentialScope(CC_CameraChainTransformCanvasBinder& binder, Math::DestinationReferenceFrame_e frame);
    ~VU_ReferentialScope() = default;
    VU_ReferentialScope(const VU_ReferentialScope&) = delete;
    VU_ReferentialScope& operator=(const VU_ReferentialScope&) = delete;

private:
    // Empty when drawing stays in the model frame: nothing to change or restore.
    std::optional<CC_CameraChainTransformCanvasBinder::Scope> m_scope;
};
