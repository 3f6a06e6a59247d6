#pragma once

#include "host/base/VS_RGBA.h"
#include "host/host_api.h"
#include "host/scene/MO_Frame.h"

#include <cstdint>

class CC_CameraChainTransformCanvasBinder;
class SC_SceneCommon;
class SC_SceneMetrics;
class VS_Canvas;

// What the host hands a painter for one draw: why it draws (an ordinary pass or the
// picking pass), the scene, the binder whose matrices are in force (the node's matrix as
// model matrix), the canvas, and the frame being drawn.
class HOST_API MO_OGLContext {
public:
    enum RenderMode {
        NormalRender = 1,
        // Every control is drawn flat in the colour that identifies it; nothing else.
        PickingRender = 2,
    };

    MO_OGLContext(RenderMode mode, SC_SceneCommon& scene, CC_CameraChainTransformCanvasBinder& binder,
                  const MO_FrameKey& frameKey);
    MO_OGLContext(const MO_OGLContext&) = delete;
    MO_OGLContext& operator=(const MO_OGLContext&) = delete;

    RenderMode renderMode() const { return m_mode; }
    SC_SceneCommon* sceneCommon() const { return m_scene; }
    const SC_SceneMetrics& metrics() const;
    CC_CameraChainTransformCanvasBinder* oglMatrixManager() const { return m_binder; }
    VS_Canvas* visualCanvas() const;
    const MO_FrameKey& frameKey() const { return m_frameKey; }

private:
    RenderMode m_mode;
    SC_SceneCommon* m_scene;
    CC_CameraChainTransformCanvasBinder* m_binder;
    MO_FrameKey m_frameKey;
};

// The per-draw record that comes with the context, two 32-bit words.
struct PaintState {
    // The colour the control must be drawn in while picking: it identifies the control in
    // the picking image.
    VS_RGBA pickColor;
    // 1: the control is selected. Any other value: not selected.
    std::int32_t selection = 0;
};

static_assert(sizeof(PaintState) == 8, "PaintState is two 32-bit words");
