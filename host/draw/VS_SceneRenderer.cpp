#include "host/draw/VS_SceneRenderer.h"

#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/VS_NodeBounds.h"
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

std::size_t g_lastPassNodes = 0;

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
    PassOutput output;
    output.codes = codes;
    paintNodesOnly(scene, view, mode, output, nullptr);
}

void VS_SceneRenderer::paintNodesOnly(SC_SceneCommon& scene, const VS_View& view, MO_OGLContext::RenderMode mode,
                                      PassOutput& output, const int* scissor) {
    const int width = view.width(), height = view.height();
    VS_Canvas canvas(width, height);
    CC_CameraChainTransformCanvasBinder binder(canvas);
    Math::CameraTransformChain camera = view.camera;
    camera.setModelMatrix(Math::Matrix4x4());
    binder.setTransformChain(camera);
    MO_OGLContext context(mode, scene, binder, view.frameKey);
    const bool picking = mode == MO_OGLContext::PickingRender;

    // Nodes whose drawing cannot reach the pixels this pass fills (the canvas, or the
    // scissor box of a pick) are left out, by the bounds their last drawing gave.
    VS_NodeBounds* bounds = VS_NodeBounds::enabled() ? &VS_NodeBounds::of(scene) : nullptr;
    VS_NodeBounds::Pass* pass =
        bounds ? &bounds->begin(scene, mode, camera, width, height, view.frameKey.frame()) : nullptr;
    const VS_NodeBounds::Rect target =
        scissor ? VS_NodeBounds::Rect{scissor[0], scissor[1], scissor[0] + scissor[2], scissor[1] + scissor[3]}
                : VS_NodeBounds::Rect{0, 0, width, height};

    PaintState state;
    const auto paint = [&](MO_Node& node) {
        const Math::Matrix4x4 world = node.worldMatrix(view.frameKey);
        for (const auto& painter : node.painters()) {
            // Each painter starts from the node's frame, whatever the one before left.
            binder.setModelMatrix(world);
            painter->paint(context, state);
        }
    };

    const auto& nodes = scene.nodes();
    std::size_t painted = 0;
    // Picking codes number the nodes that have painters and a pick adaptor, in order,
    // whether or not the pass draws them.
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        VS_NodeBounds::Record* record = pass ? &pass->records[i] : nullptr;
        if (record && record->known == VS_NodeBounds::Known::Box) {
            // The common case of a large scene, kept to what the record holds.
            if (!record->paints || (picking && !record->picks))
                continue;
            if (!record->box.overlaps(target)) {
                if (picking && code < kMaxPickCode) {
                    ++code;
                    if (output.codes)
                        output.codes->push_back(VS_PickHit{nodes[i].get(), nodes[i]->pickAdaptor()->handleId(0)});
                }
                continue;
            }
        }
        MO_Node& node = *nodes[i];
        if (node.painters().empty())
            continue;
        SLB_ModulePickAdaptor* adaptor = picking ? node.pickAdaptor() : nullptr;
        if (picking && (!adaptor || code >= kMaxPickCode))
            continue;
        state.selection = scene.selection().isSelected(&node) ? 1 : 0;
        state.pickColor = VS_RGBA(0, 0, 0, 0);
        if (picking) {
            ++code;
            const VS_PickHit hit{&node, adaptor->handleId(0)};
            if (output.codes)
                output.codes->push_back(hit);
            state.pickColor = VS_PickColor(code);
            if (record && record->known == VS_NodeBounds::Known::Not)
                bounds->learn(*pass, i, node, [&] { paint(node); });
            if (record && record->known == VS_NodeBounds::Known::Box && !record->box.overlaps(target))
                continue;
            if (output.drawn)
                output.drawn->emplace_back(code, hit);
        } else {
            if (record && record->known == VS_NodeBounds::Known::Not)
                bounds->learn(*pass, i, node, [&] { paint(node); });
            if (record && record->known == VS_NodeBounds::Known::Box && !record->box.overlaps(target))
                continue;
        }
        if (++painted % kNodesPerFlush == 0)
            glFlush();
        paint(node);
    }
    g_lastPassNodes = painted;
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
    std::vector<std::pair<std::uint32_t, VS_PickHit>> drawn;
    PassOutput output;
    output.drawn = &drawn;
    const int box[4] = {x0, y0, boxWidth, boxHeight};
    paintNodesOnly(scene, view, MO_OGLContext::PickingRender, output, box);
    glDisable(GL_SCISSOR_TEST);

    std::uint8_t rgba[4] = {0, 0, 0, 0};
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPopClientAttrib();
    const std::uint32_t code = VS_PickCode(VS_RGBA(rgba[0], rgba[1], rgba[2], rgba[3]));
    // Only the nodes drawn can have left their code under the pointer; they come in order.
    const auto it = std::lower_bound(drawn.begin(), drawn.end(), code,
                                     [](const auto& entry, std::uint32_t c) { return entry.first < c; });
    if (code == 0 || it == drawn.end() || it->first != code)
        return {};
    return it->second;
}

bool VS_SceneRenderer::culling() {
    return VS_NodeBounds::enabled();
}

void VS_SceneRenderer::setCulling(bool on) {
    VS_NodeBounds::setEnabled(on);
}

std::size_t VS_SceneRenderer::lastPassNodes() {
    return g_lastPassNodes;
}
