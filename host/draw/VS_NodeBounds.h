#pragma once

// Where each node of a scene drew, learnt from its own drawing, so that a pass can leave
// out the nodes whose drawing cannot reach the pixels the pass fills. Internal to the
// scene renderer; not part of the host's interface.
//
// A bound is learnt by painting the node once in GL's feedback mode, which hands back, in
// window coordinates, every primitive the node's drawing made (its painters' own GL calls
// as much as the host's drawing classes), after clipping to the view: a node is then
// known to cover a rectangle, to draw nothing in the view, or, when its drawing holds
// something whose extent feedback does not give (points, lines of unknown width, bitmaps
// and pixel rectangles), to need drawing every time.
//
// A bound holds for the view it was learnt in (camera matrices, viewport, canvas, screen
// scale, unit scales) and the node's inputs then (its attribute values at the frame drawn,
// its properties and components, and the same of its parent and the nodes its ports read;
// and whether it is selected, which a painter learns from its paint state). Anything else
// forgets it:
// - a change of view forgets every bound of the pass kind;
// - while nothing in the scene is edited (UT_EditCount stands still) and the frame is the
//   same, every bound stands without a look at the nodes;
// - otherwise each node's inputs are summed up again in a signature, and the bounds whose
//   signature moved are forgotten. A node with a surrogate attached (being dragged), or an
//   attribute of a kind not known here, has no signature: it is learnt each time;
// - a change of selection forgets the bounds of the nodes it selects or lets go.
// A node whose bound is forgotten or never learnt is learnt again and drawn: correctness
// never rests on a bound that might be stale.

#include "host/draw/MO_OGLContext.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/SC_SceneCommon.h"

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <vector>

class MO_Node;

class VS_NodeBounds : public SC_ViewMemory {
public:
    // Pixels in GL's window coordinates (rows from the bottom): [x0, x1) × [y0, y1).
    struct Rect {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        bool overlaps(const Rect& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    };

    enum class Known : std::uint8_t { Not, Box, Everywhere };
    struct Record {
        // Empty (nothing drawn in the view) unless `known` says otherwise.
        Rect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        std::uint64_t signature = 0;
        Known known = Known::Not;
        // What the node was made of when learnt: painters, and a pick adaptor. A pass
        // still numbers the picking codes of nodes it leaves out from these.
        bool paints = false;
        bool picks = false;
    };

    // The bounds of one kind of pass (ordinary or picking: painters may draw otherwise
    // while picking).
    struct Pass {
        std::vector<Record> records;
        std::array<double, 45> view{};
        std::uint64_t edits = 0;
        double frame = 0.0;
        bool started = false;
        // The selection the records were learnt with: a change of it forgets the records
        // of the nodes selected before or after, and no other.
        unsigned long selectionVersion = 0;
        std::vector<const MO_Node*> selected;
    };

    // The scene's, made on first use.
    static VS_NodeBounds& of(SC_SceneCommon& scene);

    // Whether passes leave out nodes: RIGKIT_CULL=0 in the environment turns it off, and
    // so does setEnabled(false) (tests and benchmarks compare both ways).
    static bool enabled();
    static void setEnabled(bool enabled);

    // Readies the pass kind's records for a pass over the scene with this camera (its
    // model matrix ignored) on a canvas of this size at this frame.
    Pass& begin(SC_SceneCommon& scene, MO_OGLContext::RenderMode mode, const Math::CameraTransformChain& camera,
                int width, int height, double frame);

    // Learns the record of node i (`node`) by running `paint`, which paints the node's
    // painters as the pass would, in feedback mode: nothing reaches the framebuffer.
    void learn(Pass& pass, std::size_t i, const MO_Node& node, const std::function<void()>& paint);

    // For tests: how many nodes were learnt since the scene's bounds were made.
    std::size_t learnt() const { return m_learnt; }

private:
    void ensureSignatures(double frame);

    SC_SceneCommon* m_scene = nullptr;
    Pass m_passes[2];
    std::vector<std::uint64_t> m_signatures;
    std::uint64_t m_signatureEdits = 0;
    double m_signatureFrame = 0.0;
    std::vector<float> m_feedback;
    std::size_t m_learnt = 0;
};
