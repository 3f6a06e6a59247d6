#include "host/draw/VS_NodeBounds.h"

#include "host/base/UT_DPI.h"
#include "host/base/UT_EditCount.h"
#include "host/draw/VS_NodeSweep.h"
#include "host/draw/VS_PickCode.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/components.h"

#include <QHash>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>

struct VS_NodeBounds::Node {
    Math::Matrix4x4 world;
    // What the node's drawings (of either kind of pass, since they were last learnt) and its
    // local transformations read.
    std::vector<const AT_Attr*> drawingReads, placingReads;
    // The values its drawing read, at the frame kept, and the node's own versions.
    std::uint64_t signature = 0;
    const MO_Node* parent = nullptr;
    bool placed = false;
    bool animatedDrawing = false, animatedPlacing = false;
    // Whether an edit named what places the node since it was placed: whether those
    // attributes are animated may have changed with it.
    bool edited = true;
    // The node's leaf in the tree, which holds the boxes of both kinds of pass, or -1.
    int leaf = -1;
    // Whether the node moves from frame to frame: its place reads an animated attribute,
    // or its parent moves. When `range` holds its matrix at every frame it is swept: the
    // tree holds where it can be at any frame, and another frame places it again only
    // when a pass finds it; `frame` is the frame `world` is of.
    bool timed = false;
    // Whether what the range rests on (the node's curves and transformations, its parent's
    // range) may have changed since it was worked out.
    bool resweep = true;
    std::unique_ptr<VS_MatrixRange> range;
    // Counts the changes of `timed` and `range`, and the parent's count when they were set.
    std::uint32_t sweeps = 0, parentSweeps = 0;
    double frame = 0.0;
};

struct VS_NodeBounds::Pass {
    std::vector<VS_NodeShape> shapes;
    // Whether each node is in `loose`.
    std::vector<std::uint8_t> listed;
    // Nodes to learn before the next query.
    std::vector<std::uint32_t> pending;
    // Nodes drawn everywhere, or whose shape holds in one view only: not in the tree.
    std::vector<std::uint32_t> loose;
    // The view the shapes that hold in one view only were learnt in.
    std::array<double, 37> view{};
    bool viewKnown = false;
};

namespace {

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h * 0xff51afd7ed558ccdull;
}

std::uint64_t bitsOf(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

// What a drawing that reads an attribute sees of it at a frame, summed up.
std::uint64_t valueOf(const AT_Attr& a, double frame) {
    const QString* type = &a.typeName();
    if (type == &AT_DoubleAttr::TypeString())
        return bitsOf(static_cast<const AT_DoubleAttr&>(a).valueAt(frame));
    if (type == &AT_BoolAttr::TypeString())
        return static_cast<const AT_BoolAttr&>(a).value(frame) ? 3 : 5;
    if (type == &AT_StringAttr::TypeString())
        return qHash(static_cast<const AT_StringAttr&>(a).value(frame));
    // A compound attribute: what it reports, a drag's surrogate's value when one is attached.
    if (type == &AT_Position2dAttr::TypeString()) {
        Math::Point2d p;
        static_cast<const AT_Position2dAttr&>(a).getValue(frame, p);
        return mix(bitsOf(p.x), bitsOf(p.y));
    }
    if (type == &AT_Position3dAttr::TypeString()) {
        Math::Point3d p;
        static_cast<const AT_Position3dAttr&>(a).getValue(frame, p);
        return mix(mix(bitsOf(p.x), bitsOf(p.y)), bitsOf(p.z));
    }
    if (type == &AT_Rotation3dAttr::TypeString()) {
        Math::Angle3d p;
        static_cast<const AT_Rotation3dAttr&>(a).getValue(frame, p);
        return mix(mix(bitsOf(p.x), bitsOf(p.y)), bitsOf(p.z));
    }
    std::uint64_t h = 0;
    if (const auto* c = dynamic_cast<const AT_ComplexAttr*>(&a))
        for (std::size_t k = 0; k < c->componentCount(); ++k)
            h = mix(h, bitsOf(c->component(k)->valueAt(frame)));
    return h;
}

bool holds(const std::vector<const AT_Attr*>& reads, const void* attribute) {
    return std::find(reads.begin(), reads.end(), attribute) != reads.end();
}

// How many pixels the reach of a shape's pixels can grow by per pixel a unit of the world
// spans on the screen: the reach grows as its anchors part (VS_ShapeRect), and they part by
// at most their distance in the world times that.
// With `magnitudes`, `m` holds the largest magnitude of each entry of the node's matrix at
// any frame, and the distance is bounded through the magnitudes of both.
float scaledReach(const VS_NodeShape& s, const Math::Matrix4x4& m, bool magnitudes = false) {
    double most = 0.0;
    for (int k = 0; k < s.partCount; ++k) {
        const VS_NodeShape::Part& p = s.parts[k];
        for (int i = 0; i < p.anchorCount; ++i)
            for (int j = i + 1; j < p.anchorCount; ++j) {
                Math::Vector3d d(p.anchors[i].node[0] - p.anchors[j].node[0],
                                 p.anchors[i].node[1] - p.anchors[j].node[1],
                                 p.anchors[i].node[2] - p.anchors[j].node[2]);
                if (magnitudes)
                    d = Math::Vector3d(std::abs(d.x), std::abs(d.y), std::abs(d.z));
                const double world = m.transformVector(d).length();
                const double then = std::hypot(p.anchors[i].window[0] - p.anchors[j].window[0],
                                               p.anchors[i].window[1] - p.anchors[j].window[1]);
                most = std::max(most, double(p.pixels) * world / then);
            }
    }
    return std::nextafter(float(most), HUGE_VALF);
}

// The most any painter's drawing in pixels reaches beyond its anchors.
float reach(const VS_NodeShape& s) {
    float most = 0.0f;
    for (int k = 0; k < s.partCount; ++k)
        most = std::max(most, s.parts[k].pixels);
    return most;
}

// Whether anything under a box of the tree can reach `target` in `view`.
struct Reaches {
    const VS_ViewTransform& view;
    const VS_WindowRect& target;
    // The view's matrix to clip space: rows x, y and w, linear parts' lengths.
    double ax, ay, aw;

    Reaches(const VS_ViewTransform& v, const VS_WindowRect& t) : view(v), target(t) {
        const Math::Matrix4x4& m = v.projectionView;
        const auto length = [&](int r) { return std::sqrt(m(r, 0) * m(r, 0) + m(r, 1) * m(r, 1) + m(r, 2) * m(r, 2)); };
        ax = length(0), ay = length(1), aw = length(3);
    }

    VS_BoundsTree::Verdict operator()(const VS_BoundsTree::Node& n) const {
        const Math::Matrix4x4& m = view.projectionView;
        double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL, nearest = HUGE_VAL, mx = 0, my = 0;
        for (int corner = 0; corner < 8; ++corner) {
            const Math::Point4d c = m * Math::Point4d(n.box.lo[0] + (corner & 1 ? n.box.hi[0] - n.box.lo[0] : 0.0f),
                                                      corner & 2 ? n.box.hi[1] : n.box.lo[1],
                                                      corner & 4 ? n.box.hi[2] : n.box.lo[2], 1.0);
            if (!(c.w > 0.0))
                return VS_BoundsTree::Verdict::Some;
            const double nx = c.x / c.w, ny = c.y / c.w;
            if (!std::isfinite(nx) || !std::isfinite(ny))
                return VS_BoundsTree::Verdict::Some;
            x0 = std::min(x0, nx), x1 = std::max(x1, nx), y0 = std::min(y0, ny), y1 = std::max(y1, ny);
            mx = std::max(mx, std::abs(nx)), my = std::max(my, std::abs(ny));
            nearest = std::min(nearest, c.w);
        }
        const double hx = 0.5 * view.vw, hy = 0.5 * view.vh;
        const double wx0 = view.vx + hx * (x0 + 1.0), wx1 = view.vx + hx * (x1 + 1.0);
        const double wy0 = view.vy + hy * (y0 + 1.0), wy1 = view.vy + hy * (y1 + 1.0);
        // Everything below lands on the target: each box below is inside this one, and
        // every shape reaches at least its box.
        if (wx0 >= target.x0 && wx1 <= target.x1 && wy0 >= target.y0 && wy1 <= target.y1)
            return VS_BoundsTree::Verdict::All;
        // No unit of the world spans more pixels anywhere in the box than this.
        const double unit = (hx * (ax + mx * aw) + hy * (ay + my * aw)) / nearest;
        const double reach = 1.0 + double(n.pixels) + double(n.scaled) * unit;
        const VS_WindowRect r{int(std::clamp(std::floor(wx0 - reach) - 1, -1e9, 1e9)),
                              int(std::clamp(std::floor(wy0 - reach) - 1, -1e9, 1e9)),
                              int(std::clamp(std::ceil(wx1 + reach) + 2, -1e9, 1e9)),
                              int(std::clamp(std::ceil(wy1 + reach) + 2, -1e9, 1e9))};
        return r.overlaps(target) ? VS_BoundsTree::Verdict::Some : VS_BoundsTree::Verdict::None;
    }
};

}  // namespace

VS_NodeBounds& VS_NodeBounds::of(SC_SceneCommon& scene) {
    auto* bounds = dynamic_cast<VS_NodeBounds*>(scene.viewMemory());
    if (!bounds) {
        auto made = std::make_unique<VS_NodeBounds>();
        bounds = made.get();
        bounds->m_scene = &scene;
        scene.setViewMemory(std::move(made));
    }
    return *bounds;
}

const Math::Matrix4x4& VS_NodeBounds::world(std::size_t node) const {
    return m_nodes[node].world;
}

VS_NodeBounds::Pass& VS_NodeBounds::pass(MO_OGLContext::RenderMode mode) {
    return m_passes[mode == MO_OGLContext::PickingRender ? 1 : 0];
}

void VS_NodeBounds::begin(SC_SceneCommon& scene, double frame) {
    m_scene = &scene;
    if (m_passes.empty())
        m_passes.resize(2);
    resize();
    const SC_SceneMetrics& metrics = scene.metrics();
    const std::array<double, 4> globals{double(UT_DPI::s_dpiScale), metrics.xUnitScale(), metrics.yUnitScale(),
                                        metrics.zUnitScale()};
    if (std::memcmp(globals.data(), m_globals.data(), sizeof globals) != 0) {
        // Every drawing and every place may read them.
        m_globals = globals;
        for (std::size_t i = 0; i < m_nodes.size(); ++i) {
            forgetShapes(i);
            m_nodes[i].resweep = true;
            m_moving.push_back(std::uint32_t(i));
        }
    }
    readJournal();
    if (!m_started || !(frame == m_frame))
        changedFrame(frame);
    changedSelection();
    placeMoving();
    m_started = true;
}

void VS_NodeBounds::placeMoving() {
    // In order: a parent comes before its children, and is placed first. Many (playback)
    // are put in order by a walk over the nodes, few (a drag) by a sort.
    if (m_moving.size() * 16 > m_nodes.size()) {
        std::vector<std::uint8_t> moving(m_nodes.size(), 0);
        for (std::uint32_t i : m_moving)
            moving[i] = 1;
        for (std::size_t i = 0; i < moving.size(); ++i)
            if (moving[i])
                place(i);
    } else {
        std::sort(m_moving.begin(), m_moving.end());
        m_moving.erase(std::unique(m_moving.begin(), m_moving.end()), m_moving.end());
        for (std::uint32_t i : m_moving)
            place(i);
    }
    m_moving.clear();
}

void VS_NodeBounds::resize() {
    const std::size_t count = m_scene->nodes().size();
    const std::size_t known = m_nodes.size();
    if (count == known)
        return;
    if (count < known) {
        // Nodes are never taken out of a scene; should that change, start again.
        m_nodes.clear();
        m_passes.assign(2, Pass());
        m_tree.clear();
        m_foreignDrawing.clear();
        m_foreignPlacing.clear();
        m_started = false;
        resize();
        return;
    }
    m_nodes.resize(count);
    for (Pass& p : m_passes) {
        p.shapes.resize(count);
        p.listed.resize(count, 0);
        for (std::size_t i = known; i < count; ++i)
            p.pending.push_back(std::uint32_t(i));
    }
    for (std::size_t i = known; i < count; ++i)
        m_moving.push_back(std::uint32_t(i));
    m_childrenKnown = m_animatedKnown = m_codesKnown = false;
}

void VS_NodeBounds::readJournal() {
    const std::uint64_t now = UT_EditCount::s_count;
    if (m_started && now != m_journalRead) {
        if (UT_EditCount::s_unnamed > m_journalRead || now - m_journalRead > UT_EditCount::kJournal) {
            recheckAll();
        } else {
            for (std::uint64_t n = m_journalRead + 1; n <= now; ++n)
                readNamed(UT_EditCount::s_journal[n % UT_EditCount::kJournal]);
        }
    }
    m_journalRead = now;
}

void VS_NodeBounds::readNamed(const UT_EditCount::Entry& entry) {
    if (!entry.subject)
        return;
    const auto foreign = [&](const std::unordered_map<const void*, std::vector<std::uint32_t>>& map, bool drawing) {
        const auto it = map.find(entry.subject);
        if (it == map.end())
            return;
        for (std::uint32_t i : it->second)
            drawing ? forgetShapes(i) : moveSubtree(i);
    };
    foreign(m_foreignDrawing, true);
    foreign(m_foreignPlacing, false);
    // Looked up without being touched: the entry may be of another scene, since gone.
    const std::ptrdiff_t i = m_scene->indexOf(static_cast<const MO_Node*>(entry.node));
    if (i < 0 || std::size_t(i) >= m_nodes.size())
        return;
    const Node& n = m_nodes[std::size_t(i)];
    if (entry.subject == entry.node) {
        // What the node is made of, its properties or its parent.
        forgetShapes(std::size_t(i));
        moveSubtree(std::size_t(i));
        m_codesKnown = false;
        m_childrenKnown = m_childrenKnown && m_scene->nodes()[std::size_t(i)]->parent() == n.parent;
        return;
    }
    if (holds(n.drawingReads, entry.subject))
        forgetShapes(std::size_t(i));
    if (holds(n.placingReads, entry.subject))
        moveSubtree(std::size_t(i));
}

void VS_NodeBounds::changedFrame(double frame) {
    m_frame = frame;
    if (!m_started)
        return;
    if (!m_animatedKnown)
        rebuildAnimated();
    // Swept nodes wait for a pass to find them, but for those drawn everywhere or whose
    // shape holds for one view and one place, which are not in the tree.
    for (std::uint32_t i : m_animatedPlacing)
        moveSubtree(i, false);
    for (const Pass& p : m_passes)
        for (std::uint32_t i : p.loose)
            if (m_nodes[i].range)
                moveSubtree(i, false);
    for (std::uint32_t i : m_animatedDrawing)
        if (signature(i) != m_nodes[i].signature)
            forgetShapes(i);
}

void VS_NodeBounds::changedSelection() {
    const SLB_Selection& selection = m_scene->selection();
    if (m_started && m_selectionVersion == selection.version())
        return;
    std::vector<const MO_Node*> now;
    now.reserve(selection.items().size());
    for (const SLB_Selection::Item& item : selection.items())
        now.push_back(item.node);
    std::sort(now.begin(), now.end());
    std::vector<const MO_Node*> changed;
    std::set_symmetric_difference(now.begin(), now.end(), m_selected.begin(), m_selected.end(),
                                  std::back_inserter(changed));
    for (const MO_Node* node : changed) {
        const std::ptrdiff_t i = m_scene->indexOf(node);
        if (i >= 0 && std::size_t(i) < m_nodes.size())
            forgetShapes(std::size_t(i));
    }
    m_selected = std::move(now);
    m_selectionVersion = selection.version();
}

void VS_NodeBounds::recheckAll() {
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        if (signature(i) != m_nodes[i].signature)
            forgetShapes(i);
        m_nodes[i].edited = true;
        m_moving.push_back(std::uint32_t(i));
    }
    m_childrenKnown = m_animatedKnown = m_codesKnown = false;
}

std::uint64_t VS_NodeBounds::signature(std::size_t i) const {
    const MO_Node& node = *m_scene->nodes()[i];
    std::uint64_t h = mix(node.version(), node.properties().version());
    for (const AT_Attr* a : m_nodes[i].drawingReads)
        h = mix(h, valueOf(*a, m_frame));
    return h;
}

void VS_NodeBounds::forgetShapes(std::size_t i) {
    for (Pass& p : m_passes) {
        if (p.shapes[i].kind == VS_NodeShape::Kind::Unknown)
            continue;
        p.shapes[i] = VS_NodeShape();
        p.pending.push_back(std::uint32_t(i));
    }
    placeInTree(i);
    m_nodes[i].drawingReads.clear();
}

void VS_NodeBounds::moveSubtree(std::size_t i, bool edited) {
    if (!m_childrenKnown)
        rebuildChildren();
    m_nodes[i].edited = m_nodes[i].edited || edited;
    m_moving.push_back(std::uint32_t(i));
    for (std::size_t k = m_moving.size() - 1; k < m_moving.size(); ++k) {
        const std::uint32_t parent = m_moving[k];
        m_nodes[parent].resweep = m_nodes[parent].resweep || edited;
        for (std::uint32_t c = m_childStart[parent]; c < m_childStart[parent + 1]; ++c)
            m_moving.push_back(m_children[c]);
    }
}

void VS_NodeBounds::rebuildChildren() {
    const auto& nodes = m_scene->nodes();
    const std::size_t count = nodes.size();
    std::vector<std::int64_t> parentOf(count, -1);
    m_childStart.assign(count + 2, 0);
    for (std::size_t i = 0; i < count; ++i) {
        m_nodes[i].parent = nodes[i]->parent();
        const std::ptrdiff_t p = m_nodes[i].parent ? m_scene->indexOf(m_nodes[i].parent) : -1;
        if (p >= 0 && std::size_t(p) < count && std::size_t(p) != i) {
            parentOf[i] = p;
            ++m_childStart[std::size_t(p) + 2];
        }
    }
    for (std::size_t i = 2; i < m_childStart.size(); ++i)
        m_childStart[i] += m_childStart[i - 1];
    m_children.resize(m_childStart.back());
    for (std::size_t i = 0; i < count; ++i)
        if (parentOf[i] >= 0)
            m_children[m_childStart[std::size_t(parentOf[i]) + 1]++] = std::uint32_t(i);
    m_childStart.pop_back();
    m_childrenKnown = true;
}

void VS_NodeBounds::rebuildAnimated() {
    m_animatedDrawing.clear();
    m_animatedPlacing.clear();
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i].animatedDrawing)
            m_animatedDrawing.push_back(std::uint32_t(i));
        if (m_nodes[i].timed && !m_nodes[i].range)
            m_animatedPlacing.push_back(std::uint32_t(i));
    }
    m_animatedKnown = true;
}

void VS_NodeBounds::noteReads(std::size_t i, const std::vector<const AT_Attr*>& reads, bool placing) {
    Node& n = m_nodes[i];
    const MO_Node* self = m_scene->nodes()[i].get();
    bool moving = false;
    for (const AT_Attr* a : reads) {
        moving = moving || VS_Animated(*a);
        if (a->node() == self)
            continue;
        std::vector<std::uint32_t>& readers = (placing ? m_foreignPlacing : m_foreignDrawing)[a];
        if (std::find(readers.begin(), readers.end(), std::uint32_t(i)) == readers.end())
            readers.push_back(std::uint32_t(i));
    }
    bool& flag = placing ? n.animatedPlacing : n.animatedDrawing;
    if (flag != moving) {
        flag = moving;
        m_animatedKnown = false;
    }
}

Math::Matrix4x4 VS_NodeBounds::placing(std::size_t i, std::ptrdiff_t& kept) {
    const MO_Node& node = *m_scene->nodes()[i];
    const MO_FrameKey key(m_frame);
    Math::Matrix4x4 m;
    kept = -1;
    const MO_Node* parent = node.parent();
    if (parent) {
        // As MO_Node::worldMatrix makes it, from the parent's matrix kept when the parent
        // comes first, and placed first.
        const std::ptrdiff_t p = m_scene->indexOf(parent);
        if (p >= 0 && std::size_t(p) < i && m_nodes[std::size_t(p)].placed) {
            current(std::size_t(p));
            m = m_nodes[std::size_t(p)].world;
            kept = p;
        }
    }
    const VS_Reading reading(m_reads);
    if (parent && kept < 0)
        m = parent->worldMatrix(key);
    for (const auto& t : node.localTransformations())
        t->apply(key, m);
    return m;
}

void VS_NodeBounds::place(std::size_t i) {
    Node& n = m_nodes[i];
    std::ptrdiff_t parent = -1;
    const Math::Matrix4x4 m = placing(i, parent);
    ++m_placed;
    // At another frame what places a node is what placed it, as a rule: then nothing about
    // those attributes can have changed but their values.
    if (n.edited || m_reads != n.placingReads) {
        n.placingReads.swap(m_reads);
        noteReads(i, n.placingReads, true);
        n.edited = false;
        n.resweep = true;
    }
    const bool moved = !n.placed || m != n.world;
    n.world = m;
    n.placed = true;
    n.frame = m_frame;
    const bool swept = sweep(i, parent);
    if (!moved && !swept)
        return;
    for (Pass& p : m_passes) {
        // Where a shape of one view drew holds for the place it drew at, too.
        if (p.shapes[i].kind == VS_NodeShape::Kind::ViewBound) {
            p.shapes[i] = VS_NodeShape();
            p.pending.push_back(std::uint32_t(i));
        }
    }
    placeInTree(i);
}

bool VS_NodeBounds::sweep(std::size_t i, std::ptrdiff_t parent) {
    Node& n = m_nodes[i];
    const MO_Node& node = *m_scene->nodes()[i];
    const Node* up = parent >= 0 ? &m_nodes[std::size_t(parent)] : nullptr;
    const bool timed = n.animatedPlacing || (up && up->timed);
    // Another frame changes no range: a node placed at every frame for want of one is not
    // probed again at each.
    if (!n.resweep && timed == n.timed && (!up || up->sweeps == n.parentSweeps))
        return false;
    n.resweep = false;
    n.parentSweeps = up ? up->sweeps : 0;
    std::unique_ptr<VS_MatrixRange> range;
    // A parent placed from its own matrix, not kept, has no range to start from.
    VS_MatrixRange local;
    if (timed && (up ? !up->timed || up->range : !node.parent()) && VS_LocalRange(node, m_frame, local))
        range = std::make_unique<VS_MatrixRange>(
            !up ? local : (up->range ? *up->range : VS_MatrixRange::point(up->world)) * local);
    // Whether the node joins or leaves the nodes placed at every frame.
    const bool kind = timed != n.timed || !range != !n.range;
    const bool changed = kind || (range && (range->lo != n.range->lo || range->hi != n.range->hi));
    m_animatedKnown = m_animatedKnown && !kind;
    n.timed = timed;
    n.range = std::move(range);
    n.sweeps += changed;
    return changed;
}

void VS_NodeBounds::current(std::size_t i) {
    Node& n = m_nodes[i];
    if (!n.range || n.frame == m_frame)
        return;
    // A swept node's parent is kept, and comes first: placing brings it up to date first.
    std::ptrdiff_t parent = -1;
    n.world = placing(i, parent);
    n.frame = m_frame;
    ++m_placed;
    // What places it read something else: the next pass looks at it again whole.
    if (m_reads != n.placingReads)
        moveSubtree(i);
}

void VS_NodeBounds::placeInTree(std::size_t i) {
    Node& n = m_nodes[i];
    bool local = false;
    // One leaf for both kinds of pass: what holds either shape.
    float box[6] = {FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
    float pixels = 0.0f, scaled = 0.0f;
    for (Pass& p : m_passes) {
        const VS_NodeShape& s = p.shapes[i];
        const bool loose = s.kind == VS_NodeShape::Kind::Everywhere || s.kind == VS_NodeShape::Kind::ViewBound;
        if (loose && !p.listed[i]) {
            p.loose.push_back(std::uint32_t(i));
            p.listed[i] = 1;
        }
        if (s.kind != VS_NodeShape::Kind::Local)
            continue;
        for (int k = 0; k < 3; ++k)
            box[k] = std::min(box[k], s.box[k]), box[3 + k] = std::max(box[3 + k], s.box[3 + k]);
        if (s.partCount) {
            pixels = std::max(pixels, reach(s));
            scaled = std::max(scaled, n.range ? scaledReach(s, n.range->magnitude(), true) : scaledReach(s, n.world));
        }
        local = true;
    }
    if (!local && n.leaf >= 0) {
        m_tree.remove(n.leaf);
        n.leaf = -1;
    } else if (local) {
        const VS_BoundsTree::Box world = n.range ? VS_WorldBox(box, *n.range) : VS_WorldBox(box, n.world);
        if (n.leaf < 0)
            n.leaf = m_tree.insert(std::uint32_t(i), world, pixels, scaled);
        else
            m_tree.move(n.leaf, world, pixels, scaled);
    }
}

void VS_NodeBounds::numberPickCodes(const SC_SceneCommon& scene, std::vector<std::uint32_t>& codes) {
    const auto& nodes = scene.nodes();
    codes.assign(nodes.size(), 0);
    std::uint32_t code = 0;
    for (std::size_t k = 0; k < nodes.size() && code < kMaxPickCode; ++k)
        if (!nodes[k]->painters().empty() && nodes[k]->pickAdaptor())
            codes[k] = ++code;
}

std::uint32_t VS_NodeBounds::pickCode(std::size_t i) {
    if (!m_codesKnown) {
        numberPickCodes(*m_scene, m_codes);
        m_codesKnown = true;
    }
    return i < m_codes.size() ? m_codes[i] : 0;
}

void VS_NodeBounds::visible(MO_OGLContext::RenderMode mode, const Math::CameraTransformChain& camera,
                            int canvasHeight, const VS_WindowRect& target,
                            const std::function<void(std::size_t)>& paint, std::vector<std::uint32_t>& nodes) {
    Pass& p = pass(mode);
    std::array<double, 37> view;
    auto out = std::copy_n(camera.projectionMatrix().data(), 16, view.begin());
    out = std::copy_n(camera.viewMatrix().data(), 16, out);
    const Math::Box2d& viewport = camera.viewport();
    for (double v : {viewport.min.x, viewport.min.y, viewport.max.x, viewport.max.y, double(canvasHeight)})
        *out++ = v;
    // Compared bit for bit: a NaN in the camera learns them again every time, which is safe.
    if (!p.viewKnown || std::memcmp(view.data(), p.view.data(), sizeof view) != 0) {
        for (std::uint32_t i : p.loose)
            if (p.shapes[i].kind == VS_NodeShape::Kind::ViewBound) {
                p.shapes[i] = VS_NodeShape();
                p.pending.push_back(i);
            }
        p.view = view;
        p.viewKnown = true;
    }
    learnPending(p, camera, canvasHeight, paint);
    collect(p, VS_ViewTransform(camera, canvasHeight), target, nodes);
}

void VS_NodeBounds::learnPending(Pass& p, const Math::CameraTransformChain& camera, int canvasHeight,
                                 const std::function<void(std::size_t)>& paint) {
    // Learning may not add to the list it walks.
    std::vector<std::uint32_t> pending;
    pending.swap(p.pending);
    for (std::uint32_t i : pending)
        if (p.shapes[i].kind == VS_NodeShape::Kind::Unknown)
            learn(p, i, camera, canvasHeight, paint);
}

void VS_NodeBounds::learn(Pass& p, std::size_t i, const Math::CameraTransformChain& camera, int canvasHeight,
                          const std::function<void(std::size_t)>& paint) {
    current(i);
    const MO_Node& node = *m_scene->nodes()[i];
    VS_LearnReads reads;
    if (node.painters().empty()) {
        p.shapes[i].kind = VS_NodeShape::Kind::Nothing;
    } else {
        Math::CameraTransformChain chain = camera;
        chain.setModelMatrix(m_nodes[i].world);
        p.shapes[i] = VS_LearnShape(chain, canvasHeight, [&] { paint(i); }, m_feedback, reads);
    }
    ++m_learnt;
    Node& n = m_nodes[i];
    std::vector<const AT_Attr*> all;
    std::set_union(n.drawingReads.begin(), n.drawingReads.end(), reads.attributes.begin(), reads.attributes.end(),
                   std::back_inserter(all));
    n.drawingReads.swap(all);
    noteReads(i, n.drawingReads, false);
    n.signature = signature(i);
    placeInTree(i);
}

void VS_NodeBounds::collect(Pass& p, const VS_ViewTransform& view, const VS_WindowRect& target,
                            std::vector<std::uint32_t>& nodes) {
    // The tree holds what both kinds of pass draw: a node found is this pass's when its shape
    // here is held in the tree too.
    m_candidates.clear();
    m_taken.clear();
    m_tree.query(Reaches(view, target), m_taken, m_candidates);
    for (std::uint32_t i : m_taken)
        if (p.shapes[i].kind == VS_NodeShape::Kind::Local)
            nodes.push_back(i);
    for (std::uint32_t i : m_candidates) {
        VS_WindowRect rect;
        current(i);
        if (p.shapes[i].kind == VS_NodeShape::Kind::Local &&
            (!VS_ShapeRect(p.shapes[i], m_nodes[i].world, view, rect) || rect.overlaps(target)))
            nodes.push_back(i);
    }
    // Shapes drawn everywhere, or known in this view only; the list drops what they no
    // longer are.
    std::size_t kept = 0;
    for (std::uint32_t i : p.loose) {
        const VS_NodeShape& s = p.shapes[i];
        if (s.kind == VS_NodeShape::Kind::Everywhere ||
            (s.kind == VS_NodeShape::Kind::ViewBound && s.rect.overlaps(target)))
            nodes.push_back(i);
        if (s.kind == VS_NodeShape::Kind::Everywhere || s.kind == VS_NodeShape::Kind::ViewBound)
            p.loose[kept++] = i;
        else
            p.listed[i] = 0;
    }
    p.loose.resize(kept);
    std::sort(nodes.begin(), nodes.end());
    for (std::uint32_t i : nodes)
        current(i);
}
