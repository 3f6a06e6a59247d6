#pragma once

// What the scene renderer keeps about a scene between passes, so that a pass visits the
// nodes that can reach the pixels it fills and no others. Internal to the scene renderer;
// not part of the host's interface.
//
// For each node:
// - where it is: its world matrix at the frame drawn, and the attributes its local
//   transformations read for it (its parent's matrix comes first);
// - for each kind of pass (painters may draw otherwise while picking), the shape its
//   drawing has in its own frame (host/draw/VS_NodeShape.h), learnt from one drawing, and
//   the attributes that drawing read;
// - a leaf in a tree of boxes in the world (host/draw/VS_BoundsTree.h), which holds what
//   both kinds of pass draw.
// A pass carries the tree's boxes to the window with the view's matrices to find the nodes
// near it, then each of those nodes' shapes, and draws those that reach its pixels. A
// change of view changes nothing kept (but the few shapes that hold for one view only).
//
// What is kept is brought up to date at the start of each pass, in proportion to what
// changed:
// - the edits since the last pass, from the journal of UT_EditCount: an attribute a
//   node's drawing read makes it learn its shape again; one that places a node moves it,
//   and the nodes below it; a node's own change (components, parent, properties) does
//   both. A change that names nothing looks at every node again, by its inputs;
// - another frame looks again at the nodes whose inputs are animated, and no other. A node
//   that moves with the frame is swept when a range of matrices is known to hold it at
//   every frame (host/draw/VS_NodeSweep.h): its leaf holds where it can be at any frame,
//   and it is placed at another frame only when a pass finds it, so that playback costs
//   what is on screen. The others are placed again at every frame;
// - a change of selection makes the nodes it selects or lets go learn again;
// - a change of the scene's units or the screen's scale learns everything again.
// Correctness never rests on a shape that might be stale: a node is learnt again whenever
// anything its drawing read may have changed.

#include "host/draw/MO_OGLContext.h"
#include "host/draw/VS_BoundsTree.h"
#include "host/draw/VS_NodeShape.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/SC_SceneCommon.h"

#include <array>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

class AT_Attr;
class MO_Node;

class VS_NodeBounds : public SC_ViewMemory {
public:
    // The scene's, made on first use.
    static VS_NodeBounds& of(SC_SceneCommon& scene);

    // Brings what is kept up to date for a pass at this frame. world() then holds the matrix
    // of every node that is not swept (see above), and visible() brings those it finds up
    // to date.
    void begin(SC_SceneCommon& scene, double frame);
    const Math::Matrix4x4& world(std::size_t node) const;

    // The nodes a pass of this kind must draw to fill `target` (GL window pixels) in the
    // view of `camera` (its model matrix ignored) on a canvas `canvasHeight` high, in the
    // scene's order. Nodes whose shape is not known are learnt first, by `paint`, which
    // paints node i as the pass would (the binder's model matrix set to world(i) before
    // each painter).
    void visible(MO_OGLContext::RenderMode mode, const Math::CameraTransformChain& camera, int canvasHeight,
                 const VS_WindowRect& target, const std::function<void(std::size_t)>& paint,
                 std::vector<std::uint32_t>& nodes);

    // The colour code node i draws in while picking, as numberPickCodes numbers them.
    std::uint32_t pickCode(std::size_t node);
    // Picking codes number the nodes that have painters and a pick adaptor, in order, from
    // 1, whether or not a pass draws them; 0 leaves a node out of the picking pass.
    static void numberPickCodes(const SC_SceneCommon& scene, std::vector<std::uint32_t>& codes);

    // What the last pass did, for tests and benchmarks.
    VS_PassStats& lastPass() { return m_stats; }
    // For tests: how many nodes were learnt, and placed, since the scene's memory was made.
    std::size_t learnt() const { return m_learnt; }
    std::size_t placed() const { return m_placed; }

private:
    struct Node;
    struct Pass;

    void resize();
    void readJournal();
    void readNamed(const UT_EditCount::Entry& entry);
    void changedFrame(double frame);
    void changedSelection();
    void recheckAll();
    void forgetShapes(std::size_t node);
    // Node and the nodes below it are placed again; `edited`: an edit named what places it.
    void moveSubtree(std::size_t node, bool edited = true);
    void placeMoving();
    void place(std::size_t node);
    // The node's matrix at the frame kept; `kept`: the parent's index when its kept matrix
    // was used, else -1. The attributes read are in m_reads.
    Math::Matrix4x4 placing(std::size_t node, std::ptrdiff_t& kept);
    // Whether the node moves from frame to frame, and where it can be; true when what the
    // tree holds for it changed.
    bool sweep(std::size_t node, std::ptrdiff_t parent);
    // A swept node placed at the frame kept, if it is not yet.
    void current(std::size_t node);
    void placeInTree(std::size_t node);
    void learnPending(Pass& pass, const Math::CameraTransformChain& camera, int canvasHeight,
                      const std::function<void(std::size_t)>& paint);
    void learn(Pass& pass, std::size_t node, const Math::CameraTransformChain& camera, int canvasHeight,
               const std::function<void(std::size_t)>& paint);
    void collect(Pass& pass, const VS_ViewTransform& view, const VS_WindowRect& target,
                 std::vector<std::uint32_t>& nodes);
    std::uint64_t signature(std::size_t node) const;
    void noteReads(std::size_t node, const std::vector<const AT_Attr*>& reads, bool where);
    void rebuildChildren();
    void rebuildAnimated();
    Pass& pass(MO_OGLContext::RenderMode mode);

    SC_SceneCommon* m_scene = nullptr;
    std::vector<Node> m_nodes;
    std::vector<Pass> m_passes;
    // Nodes that read an attribute of another node, by that attribute: in their drawing,
    // and in their placing.
    std::unordered_map<const void*, std::vector<std::uint32_t>> m_foreignDrawing, m_foreignPlacing;
    // Each node's children, by index: m_children[m_childStart[i] .. m_childStart[i + 1]).
    std::vector<std::uint32_t> m_childStart, m_children;
    bool m_childrenKnown = false;
    // The nodes whose drawing reads an animated attribute; those that move from frame to
    // frame with no range that holds them (placed again at every frame).
    std::vector<std::uint32_t> m_animatedDrawing, m_animatedPlacing;
    bool m_animatedKnown = false;
    std::vector<std::uint32_t> m_codes;
    bool m_codesKnown = false;
    std::vector<std::uint32_t> m_moving;
    std::vector<const AT_Attr*> m_reads;

    std::uint64_t m_journalRead = 0;
    double m_frame = 0.0;
    bool m_started = false;
    unsigned long m_selectionVersion = 0;
    std::vector<const MO_Node*> m_selected;
    std::array<double, 4> m_globals{};

    VS_BoundsTree m_tree;
    std::vector<float> m_feedback;
    std::vector<std::uint32_t> m_candidates, m_taken;
    VS_PassStats m_stats;
    std::size_t m_learnt = 0, m_placed = 0;
};
