#pragma once

// Draws a scene's controls the way the host's viewport does, in the ordinary pass or in
// the picking pass, and reads back what was drawn. The runner and the viewer both draw
// through here.
//
// Typical use, headless:
//
//     VS_OffscreenContext gl(400, 400);               // once; resized to each view
//     VS_View view;
//     view.camera = Math::CameraTransformChain::orthographic(400, 400, {0, 0}, 100);
//     view.frameKey = MO_FrameKey(12);
//     VS_Image image = VS_SceneRenderer::render(gl, scene, view);
//     VS_WritePng(image, "out.png", &error);
//     VS_PickImage pick = VS_SceneRenderer::renderPick(gl, scene, view);
//     VS_PickHit hit = pick.hitAt(250, 200);          // hit.node, hit.handleId
//     if (hit) hit.node->pickAdaptor()->scanHits(hit.handleId, true, modifiers);
//
// In a window whose GL context is current with its framebuffer bound, drawScene and
// drawPickPass draw without reading back; VS_ReadPixels then reads what they drew.
//
// What a pass does:
// - it sets the GL state of the pass (beginPass) and clears colour and depth;
// - it loads the view's camera into a binder on a canvas of the view's size;
// - for each node of the scene, in the scene's order (later nodes draw over earlier ones),
//   it sets the node's world matrix at the view's frame as the binder's model matrix
//   before each of the node's painters, and calls the painter's paint with an
//   MO_OGLContext of the pass's render mode and a PaintState whose selection is 1 when the
//   scene's selection holds the node, else 0;
// - in the picking pass only nodes with a pick adaptor are drawn. The n-th of them (from
//   1) draws in the colour VS_PickColor(n), and the pass returns which node and handle
//   each code stands for. Codes are given per pass rather than taken from the adaptors'
//   handle ids, so that any 32-bit handle id can be picked.
// Depth testing stays off: controls are overlays, drawn in order.

#include "host/draw/MO_OGLContext.h"
#include "host/draw/VS_Image.h"
#include "host/base/VS_RGBA.h"
#include "host/host_api.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/MO_Frame.h"

#include <cstdint>
#include <utility>
#include <vector>

class MO_Node;
class SC_SceneCommon;
class VS_OffscreenContext;

// What a view shows and how.
struct HOST_API VS_View {
    // From CameraTransformChain::orthographic or ::perspective; its model matrix is
    // ignored. The viewport starts at (0, 0) and its far corner is the image size.
    Math::CameraTransformChain camera;
    // Cleared to before the ordinary pass (the picking pass clears to black, code 0).
    VS_RGBA background{40, 40, 40, 255};
    // The frame the nodes are evaluated and drawn at.
    MO_FrameKey frameKey;
    // Whether passes leave out the nodes whose drawing cannot reach the pixels they fill
    // (see host/draw/VS_NodeBounds.h); the pictures are the same either way. On unless the
    // environment says RIGKIT_CULL=0 (or off, false, no) when the program starts.
    bool culling = cullingByDefault();

    int width() const;
    int height() const;
    static bool cullingByDefault();
};

// What a pass did: how many nodes it painted for real, and how many it learnt the shape of
// (painting them in feedback mode, which draws nothing).
struct HOST_API VS_PassStats {
    std::size_t painted = 0;
    std::size_t learnt = 0;
    // Nodes whose matrix the pass worked out again.
    std::size_t placed = 0;
};

// What a picking code stands for.
struct HOST_API VS_PickHit {
    MO_Node* node = nullptr;
    // The id of the node's pick adaptor's first handle, handleId(0), which the adaptor's
    // scanHits expects.
    std::uint32_t handleId = 0;

    explicit operator bool() const { return node != nullptr; }
};

struct HOST_API VS_PickImage {
    VS_Image image;
    // handles[code - 1] is what code `code` stands for.
    std::vector<VS_PickHit> handles;

    // What the pixel (x, y) shows: its node and handle, or an empty hit for the
    // background, a pixel outside the image or a colour that is no code of this pass.
    VS_PickHit hitAt(int x, int y) const;
};

class HOST_API VS_SceneRenderer {
public:
    // The GL state of a pass, then clears colour and depth. Both passes: no depth test, no
    // face culling, no lighting or texturing, no line or polygon smoothing, polygons
    // filled. Ordinary pass: alpha blending (source alpha over, the destination's alpha
    // accumulating coverage, so an opaque background stays opaque), dithering as GL's
    // default, multisampling on (it acts only on a multisampled framebuffer). Picking
    // pass: no blending, no dithering, no multisampling, cleared to black.
    static void beginPass(MO_OGLContext::RenderMode mode, const VS_RGBA& background);

    // Draw into the framebuffer bound in the current GL context, which must be at least
    // the view's size.
    static void drawScene(SC_SceneCommon& scene, const VS_View& view);
    static std::vector<VS_PickHit> drawPickPass(SC_SceneCommon& scene, const VS_View& view);

    // Resize the offscreen context to the view, draw and read the pixels back. The ordinary
    // pass is drawn multisampled when the context has samples (VS_OffscreenContext::
    // setSamples); the picking pass never is, so that every pick colour stays exact.
    static VS_Image render(VS_OffscreenContext& context, SC_SceneCommon& scene, const VS_View& view);
    static VS_PickImage renderPick(VS_OffscreenContext& context, SC_SceneCommon& scene, const VS_View& view);

    // What a click at window pixel (x, y) hits, at the cost of a few pixels rather than a
    // whole picking pass: the pass is drawn into the bound framebuffer scissored to the
    // box of `radius` pixels around (x, y), and only the pixel under the pointer is read
    // back. The answer is the one renderPick(...).hitAt(x, y) gives; pixels outside the
    // box are left as they were. An (x, y) outside the view hits nothing.
    static VS_PickHit pickAt(SC_SceneCommon& scene, const VS_View& view, int x, int y, int radius = 2);

    // What the last pass over the scene did, for tests and benchmarks.
    static VS_PassStats lastPass(SC_SceneCommon& scene);

private:
    // What a picking pass hands back: every code's hit, and the codes of the nodes drawn
    // (in code order) with their hits.
    struct PassOutput {
        std::vector<VS_PickHit>* codes = nullptr;
        std::vector<std::pair<std::uint32_t, VS_PickHit>>* drawn = nullptr;
    };

    static void paintNodes(SC_SceneCommon& scene, const VS_View& view, MO_OGLContext::RenderMode mode,
                           std::vector<VS_PickHit>* codes);
    static void setPassState(MO_OGLContext::RenderMode mode, const VS_RGBA& background);
    // `scissor`, when given, is the box (x, y, width, height in GL's window coordinates)
    // that alone the pass fills.
    static void paintNodesOnly(SC_SceneCommon& scene, const VS_View& view, MO_OGLContext::RenderMode mode,
                               PassOutput& output, const int* scissor);
};
