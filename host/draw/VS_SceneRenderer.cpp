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
#include <cstdlib>
#include <cstring>

namespace {

// A software rasteriser (llvmpipe) starts on what it was given only at a flush, and until
// then its threads wait while this one submits. Handing it the scene in parts lets it
// rasterise the first nodes while the later ones are submitted: at 1,000 controls this
// took a 512 × 512 frame from about 14 ms to about 11 ms on two cores. The order of
// drawing, and so every pixel, stays as it was.
constexpr std::size_t kNodesPerFlush = 128;

}  // namespace

bool VS_View::cullingByDefault() {
    // Read once: the environment a program starts with is how a user turns culling off.
    static const bool on = [] {
        const char* env = std::getenv("RIGKIT_CULL");
        return !(env && (std::strcmp(env, "0") == 0 || std::strcmp(env, "off") == 0 ||
                         std::strcmp(env, "false") == 0 || std::strcmp(env, "no") == 0));
    }();
    return on;
}

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

namespace {

// One pass's drawing: a canvas of the view's size whose binder holds the camera, the
// context painters are handed, and the state of the node being painted.
struct Painting {
    VS_Canvas canvas;
    CC_CameraChainTransformCanvasBinder binder;
    Math::CameraTransformChain camera;
    MO_OGLContext context;
    PaintState state;

    Painting(SC_SceneCommon& scene, const VS_View& view, MO_OGLContext::RenderMode mode)
        : canvas(view.width(), view.height()), binder(canvas), camera(view.camera), context(mode, scene, binder, view.frameKey) {
        camera.setModelMatrix(Math::Matrix4x4());
        binder.setTransformChain(camera);
    }

    void paint(const MO_Node& node, const Math::Matrix4x4& world, const SLB_Selection& selection, std::uint32_t code) {
        state.selection = selection.isSelected(&node) ? 1 : 0;
        state.pickColor = code ? VS_PickColor(code) : VS_RGBA(0, 0, 0, 0);
        for (const auto& painter : node.painters()) {
            VS_NextPainter();
            // Each painter starts from the node's frame, whatever the one before left.
            binder.setModelMatrix(world);
            painter->paint(context, state);
        }
    }
};

// What a pass paints: the nodes in order, and for each its matrix and its picking code.
class Plan {
public:
    Plan(SC_SceneCommon& scene, const VS_View& view, bool picking)
        : m_scene(scene), m_view(view), m_picking(picking), m_memory(VS_NodeBounds::of(scene)) {}

    VS_PassStats& stats() { return m_memory.lastPass(); }

    // Every node, where MO_Node puts it.
    void everyNode() {
        const auto& nodes = m_scene.nodes();
        m_order.resize(nodes.size());
        m_worlds.reserve(nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            m_order[i] = std::uint32_t(i);
            m_worlds.push_back(nodes[i]->worldMatrix(m_view.frameKey));
        }
        if (m_picking)
            VS_NodeBounds::numberPickCodes(m_scene, m_codes);
    }

    // The nodes whose drawing can reach `target`, by the shapes kept; those not known yet
    // are learnt, painted by `painting`. Returns how many were.
    std::size_t reaching(const VS_WindowRect& target, MO_OGLContext::RenderMode mode, Painting& painting) {
        m_culled = true;
        const std::size_t placed = m_memory.placed();
        m_memory.begin(m_scene, m_view.frameKey.frame());
        const std::size_t before = m_memory.learnt();
        const auto learn = [&](std::size_t i) {
            painting.paint(*m_scene.nodes()[i], m_memory.world(i), m_scene.selection(), code(i));
        };
        m_memory.visible(mode, painting.camera, m_view.height(), target, learn, m_order);
        stats().placed = m_memory.placed() - placed;
        return m_memory.learnt() - before;
    }

    const std::vector<std::uint32_t>& order() const { return m_order; }
    const Math::Matrix4x4& world(std::size_t i) const { return m_culled ? m_memory.world(i) : m_worlds[i]; }
    // 0: the picking pass leaves the node out; always 0 in the ordinary pass.
    std::uint32_t code(std::size_t i) const {
        return !m_picking ? 0u : m_culled ? m_memory.pickCode(i) : m_codes[i];
    }

private:
    SC_SceneCommon& m_scene;
    const VS_View& m_view;
    const bool m_picking;
    VS_NodeBounds& m_memory;
    bool m_culled = false;
    std::vector<std::uint32_t> m_order, m_codes;
    std::vector<Math::Matrix4x4> m_worlds;
};

}  // namespace

void VS_SceneRenderer::paintNodesOnly(SC_SceneCommon& scene, const VS_View& view, MO_OGLContext::RenderMode mode,
                                      PassOutput& output, const int* scissor) {
    Painting painting(scene, view, mode);
    const bool picking = mode == MO_OGLContext::PickingRender;
    Plan plan(scene, view, picking);
    VS_PassStats& stats = plan.stats();
    stats = VS_PassStats();
    if (view.culling) {
        // Nodes whose drawing cannot reach the pixels this pass fills (the canvas, or the
        // scissor box of a pick) are left out.
        const VS_WindowRect target = scissor ? VS_WindowRect{scissor[0], scissor[1], scissor[0] + scissor[2],
                                                             scissor[1] + scissor[3]}
                                             : VS_WindowRect{0, 0, view.width(), view.height()};
        stats.learnt = plan.reaching(target, mode, painting);
    } else {
        plan.everyNode();
    }

    const auto& nodes = scene.nodes();
    const auto hit = [&](std::size_t i) { return VS_PickHit{nodes[i].get(), nodes[i]->pickAdaptor()->handleId(0)}; };
    // Every code stands for its node, drawn or not.
    if (picking && output.codes)
        for (std::size_t i = 0; i < nodes.size(); ++i)
            if (plan.code(i))
                output.codes->push_back(hit(i));
    for (std::uint32_t i : plan.order()) {
        const std::uint32_t code = plan.code(i);
        if (nodes[i]->painters().empty() || (picking && code == 0))
            continue;
        if (picking && output.drawn)
            output.drawn->emplace_back(code, hit(i));
        if (++stats.painted % kNodesPerFlush == 0)
            glFlush();
        painting.paint(*nodes[i], plan.world(i), scene.selection(), code);
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

VS_PassStats VS_SceneRenderer::lastPass(SC_SceneCommon& scene) {
    return VS_NodeBounds::of(scene).lastPass();
}
