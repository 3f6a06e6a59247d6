#pragma once

// Where a node draws, learnt once from its own drawing and carried to any view by the
// matrices of the moment. Internal to the scene renderer; not part of the host's interface.
//
// A node is painted once in GL's feedback mode, which hands back every primitive its
// drawing made, the painters' own GL calls included, instead of drawing it. While it
// paints, what the drawing loads as matrices is swapped (VS_Canvas::Loader) so that the
// feedback comes back in one of two spaces, each far larger than the view so that nothing
// is lost to clipping:
// - drawing under the view's own camera comes back in the node's own frame. Pans, zooms,
//   orbits, resizes and whatever moves the node (playback, a drag) leave it as it is;
// - drawing under any other projection (in window pixels, as a caption or a marker sized in
//   pixels is drawn) comes back in the window's pixels. Such drawing is placed from points
//   of the scene the painter carries to the window (Math::ChainObserver tells which, its
//   anchors); it is kept, painter by painter, as a reach in pixels beyond the painter's
//   anchors.
// The shape is then a box in the node's frame that holds what was drawn in it and the
// anchors, and each painter's reach. In another view the box's corners are carried to the
// window and the reach added, grown by as much as the painter's anchors spread apart on the
// screen more than they did: a caption sized in pixels stays that size, one that grows with
// the zoom grows no faster than its anchors part. Where a painter's anchors land as they did
// but moved as one (a pan), what it drew in pixels lands as it did, moved the same.
//
// Where that cannot be trusted, the shape says so: drawing that reads the window back into
// the scene or takes the whole window matrix, or a point that has no place in the view
// (behind a perspective eye), holds for this view only (ViewBound, with the window
// rectangle it drew in); a drawing whose extent feedback does not give (points, lines the
// painter draws itself, bitmaps), drawing in the window that follows no point of the scene
// (fixed to the screen), or drawing too large to measure, is drawn in every view
// (Everywhere).

#include "host/math/CameraTransformChain.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <vector>

class AT_Attr;
class VS_Canvas;

// Pixels in GL's window coordinates (rows from the bottom): [x0, x1) × [y0, y1).
struct VS_WindowRect {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
    bool overlaps(const VS_WindowRect& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

struct VS_NodeShape {
    enum class Kind : std::uint8_t { Unknown, Nothing, Local, ViewBound, Everywhere };
    // A point of the scene a painter carried to the window: in the node's frame, and
    // where it landed when learnt (GL window pixels).
    struct Anchor {
        float node[3];
        float window[2];
    };
    static constexpr int kMaxAnchors = 4;
    // What one painter drew in window pixels, from its own anchors.
    struct Part {
        std::uint8_t anchorCount = 0;
        // How far beyond its anchors it reached, and where it lay from the first (left,
        // bottom, right, top).
        float pixels = 0.0f;
        float offsets[4] = {};
        Anchor anchors[kMaxAnchors] = {};
    };
    static constexpr int kMaxParts = 2;

    Kind kind = Kind::Unknown;
    std::uint8_t partCount = 0;
    // Local: the box in the node's frame, low corner then high corner.
    float box[6] = {};
    Part parts[kMaxParts];
    // ViewBound: where the node drew in the view it was learnt in.
    VS_WindowRect rect;
};

// A view's camera made ready to carry points of the world to GL window pixels.
struct VS_ViewTransform {
    VS_ViewTransform() = default;
    VS_ViewTransform(const Math::CameraTransformChain& camera, int canvasHeight);

    Math::Matrix4x4 projectionView;
    // GL's viewport: origin and size.
    double vx = 0, vy = 0, vw = 0, vh = 0;
};

// A point carried to the window: x, y in GL window pixels, and w, the eye's depth that
// divided them (not above 0 for a point behind the eye).
struct VS_Projected {
    double x, y, w;
};

// Where a shape draws in a view, for a node whose frame is `world`: false when that cannot
// be told (part of it behind the eye), and the node must be drawn.
bool VS_ShapeRect(const VS_NodeShape& shape, const Math::Matrix4x4& world, const VS_ViewTransform& view,
                  VS_WindowRect& rect);

// What learning found besides the shape: every attribute the drawing read.
struct VS_LearnReads {
    std::vector<const AT_Attr*> attributes;
};

// Learns the shape of a node whose frame is the camera's model matrix, by running `paint`,
// which paints the node's painters as the pass would, in feedback mode: nothing reaches
// the framebuffer. It calls VS_NextPainter before each painter. `feedback` is kept between
// calls, so that a frame allocates nothing.
VS_NodeShape VS_LearnShape(const Math::CameraTransformChain& camera, int canvasHeight, const std::function<void()>& paint,
                           std::vector<float>& feedback, VS_LearnReads& reads);

// Says that the next painter of the node begins: what a painter draws in pixels follows
// its own anchors. Does nothing but while a shape is learnt.
void VS_NextPainter();
