#include "host/draw/MO_OGLContext.h"

#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/scene/SC_SceneCommon.h"

MO_OGLContext::MO_OGLContext(RenderMode mode, SC_SceneCommon& scene, CC_CameraChainTransformCanvasBinder& binder,
                             const MO_FrameKey& frameKey)
    : m_mode(mode), m_scene(&scene), m_binder(&binder), m_frameKey(frameKey) {}

const SC_SceneMetrics& MO_OGLContext::metrics() const {
    return m_scene->metrics();
}

VS_Canvas* MO_OGLContext::visualCanvas() const {
    return m_binder->canvas();
}
