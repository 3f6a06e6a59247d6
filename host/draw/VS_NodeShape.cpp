#include "host/draw/VS_NodeShape.h"

#include "host/draw/VS_ArtCache.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/draw_util.h"
#include "host/draw/gl.h"
#include "host/scene/AT_Attr.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Feedback comes back in a viewport 2 × kHalf wide about GL's origin, standing for
// kReach units (of the node's frame, or window pixels) each way: far beyond any view, so
// that clipping takes nothing a view could show. Both are powers of two, so that scaling
// back loses nothing. Depth in the node's frame has a range of its own, kDepthReach each
// way, since window depth is a number from 0 to 1 whose precision is absolute.
constexpr double kHalf = 4096.0;
constexpr double kReach = 1048576.0;
constexpr double kDepthReach = 1024.0;
// Within this share of the edge of that range a vertex is taken to have been clipped.
constexpr double kClipShare = 1e-6;

// Pass-through values that say in which space the vertices after them are.
constexpr float kModelFollows = 7342.5f;
constexpr float kWindowFollows = 7343.5f;
// Says that the next painter's drawing follows.
constexpr float kPainterFollows = 7344.5f;
// Marks that the host's own lines draw between, so that their width (which feedback does
// not give) is known to be the one pixel the host draws them with.
constexpr float kHostLinesBegin = 7340.5f;
constexpr float kHostLinesEnd = 7341.5f;

bool sameView(const Math::CameraTransformChain& a, const Math::CameraTransformChain& b) {
    return std::memcmp(a.projectionMatrix().data(), b.projectionMatrix().data(), 16 * sizeof(double)) == 0 &&
           std::memcmp(a.viewMatrix().data(), b.viewMatrix().data(), 16 * sizeof(double)) == 0 &&
           a.viewport().min == b.viewport().min && a.viewport().max == b.viewport().max;
}

// Normalised device coordinates to GL window pixels, as GL's viewport maps them.
Math::Matrix4x4 windowMatrix(const Math::Box2d& viewport, int canvasHeight) {
    const std::array<int, 4> v = VS_Canvas::glViewport(viewport, canvasHeight);
    Math::Matrix4x4 w;
    w(0, 0) = 0.5 * v[2];
    w(0, 3) = v[0] + 0.5 * v[2];
    w(1, 1) = 0.5 * v[3];
    w(1, 3) = v[1] + 0.5 * v[3];
    w(2, 2) = 0.5;
    w(2, 3) = 0.5;
    return w;
}

VS_Projected project(const Math::Matrix4x4& m, const VS_ViewTransform& view, double x, double y, double z) {
    const Math::Point4d c = m * Math::Point4d(x, y, z, 1.0);
    if (!(c.w > 0.0))
        return {0.0, 0.0, c.w};
    return {view.vx + (c.x / c.w + 1.0) * 0.5 * view.vw, view.vy + (c.y / c.w + 1.0) * 0.5 * view.vh, c.w};
}

struct Bounds2 {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    void add(double x, double y) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    bool empty() const { return !(x0 <= x1); }
};

// Whole pixels around a box, a pixel more than its reach each way: a pixel is drawn when
// its centre is covered, and a one-pixel line reaches half a pixel each side.
VS_WindowRect pixelsAround(const Bounds2& b, double reach) {
    const auto whole = [](double v) { return int(std::clamp(v, -1e9, 1e9)); };
    return {whole(std::floor(b.x0 - reach) - 1), whole(std::floor(b.y0 - reach) - 1),
            whole(std::ceil(b.x1 + reach) + 2), whole(std::ceil(b.y1 + reach) + 2)};
}

// Everything a node's drawing asks and draws while it is learnt.
class Learner : public AT_ReadObserver, public Math::ChainObserver, public VS_Canvas::Loader {
public:
    Learner(const Math::CameraTransformChain& camera, int canvasHeight, VS_LearnReads& reads)
        : m_camera(camera), m_view(camera, canvasHeight), m_reads(reads) {
        const Math::Matrix4x4& world = camera.modelMatrix();
        const double det = glm::determinant(world.glm());
        m_inNodeFrame = det != 0.0 && std::isfinite(det);
        if (m_inNodeFrame)
            m_toNode = world.inverse();
        m_toWindow = m_view.projectionView * world;
    }

    VS_NodeShape learn(const std::function<void()>& paint, std::vector<float>& feedback);
    // Whether vertices come back mirrored, x for -x (see `learn`).
    bool mirrored() const { return m_mirrored; }

    void read(const AT_Attr& attribute) override { m_reads.attributes.push_back(&attribute); }
    void projected(const Math::CameraTransformChain& chain, Math::SourceReferenceFrame_e from, const Math::Point3d& in,
                   const Math::Point3d& out, bool ok) override;
    void readsWindow() override { m_viewBound = true; }
    void nextPainter() {
        ++m_painting;
        glPassThrough(kPainterFollows);
    }
    void load(VS_Canvas& canvas, const Math::CameraTransformChain& chain) override;

private:
    void paintInFeedback(const std::function<void()>& paint, std::vector<float>& feedback);
    void parse(const float* f, std::size_t n);
    void vertex(const float* v);
    VS_NodeShape shape() const;
    VS_NodeShape localShape() const;

    const Math::CameraTransformChain& m_camera;
    const VS_ViewTransform m_view;
    VS_LearnReads& m_reads;
    bool m_inNodeFrame = false;
    Math::Matrix4x4 m_toNode, m_toWindow;
    VS_Canvas* m_canvas = nullptr;
    bool m_mirrored = false;

    // One painter's anchors, and what it drew in window pixels from them.
    struct Painter {
        std::vector<VS_NodeShape::Anchor> anchors;
        bool tooManyAnchors = false;
        bool drawn = false;
        Bounds2 offsets;
        double reach = 0.0;
    };
    Painter& painter(std::size_t index);
    VS_NodeShape::Part part(const Painter& p) const;
    bool boundByAnchors(const Painter& p) const;

    // What the drawing did that a shape in the node's frame cannot follow.
    bool m_viewBound = false, m_everywhere = false;
    std::vector<Painter> m_painters;
    std::size_t m_painting = 0;
    // Parsing: the space the vertices are in, the painter drawing, and whether the host's
    // lines are drawing.
    bool m_modelSpace = false, m_hostLines = false;
    std::size_t m_parsing = 0;
    double m_box[6] = {HUGE_VAL, HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    Bounds2 m_drawn;
    bool m_behindEye = false;
};

Learner* t_learning = nullptr;

Learner::Painter& Learner::painter(std::size_t index) {
    if (m_painters.size() <= index)
        m_painters.resize(index + 1);
    return m_painters[index];
}

void Learner::projected(const Math::CameraTransformChain& chain, Math::SourceReferenceFrame_e from,
                        const Math::Point3d& in, const Math::Point3d& out, bool ok) {
    if (!sameView(chain, m_camera)) {
        // Within a drawing in window pixels, pixels carried to pixels say nothing.
        const bool pixels = chain.viewMatrix().isIdentity() && chain.projectionMatrix() == chain.screenProjectionMatrix();
        m_viewBound = m_viewBound || !pixels;
        return;
    }
    if (!ok || !m_inNodeFrame) {
        m_viewBound = true;
        return;
    }
    const Math::Point3d world = from == Math::SourceModelFrame ? chain.modelMatrix().transformPoint(in) : in;
    const Math::Point3d node = m_toNode.transformPoint(world);
    const float gl[2] = {float(out.x), float(m_view.vy + m_view.vh - (out.y - m_camera.viewport().min.y))};
    VS_NodeShape::Anchor a{{float(node.x), float(node.y), float(node.z)}, {gl[0], gl[1]}};
    Painter& p = painter(m_painting);
    for (const VS_NodeShape::Anchor& b : p.anchors)
        if (std::memcmp(&a, &b, sizeof a) == 0)
            return;
    if (p.anchors.size() == VS_NodeShape::kMaxAnchors)
        p.tooManyAnchors = true;
    else
        p.anchors.push_back(a);
}

void Learner::load(VS_Canvas& canvas, const Math::CameraTransformChain& chain) {
    m_canvas = &canvas;
    const bool model = m_inNodeFrame && sameView(chain, m_camera);
    glPassThrough(model ? kModelFollows : kWindowFollows);
    glViewport(GLint(-kHalf), GLint(-kHalf), GLsizei(2 * kHalf), GLsizei(2 * kHalf));
    Math::Matrix4x4 shrink;
    shrink(0, 0) = (m_mirrored ? -1.0 : 1.0) / kReach;
    shrink(1, 1) = 1.0 / kReach;
    shrink(2, 2) = model ? 1.0 / kDepthReach : 1.0 / kReach;
    const Math::Matrix4x4 projection =
        model ? shrink : shrink * windowMatrix(chain.viewport(), canvas.height()) * chain.projectionMatrix();
    const Math::Matrix4x4 modelView =
        model ? m_toNode * chain.modelMatrix() : chain.viewMatrix() * chain.modelMatrix();
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection.data());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(modelView.data());
}

// While it lives, the learner hears what drawing asks and loads, and its art is drawn as
// triangles: a picture is made from what is drawn, and nothing is.
class Listening {
public:
    explicit Listening(Learner& learner)
        : m_learning(t_learning, &learner),
          m_reads(AT_ReadObserver::s_current, &learner),
          m_chains(Math::ChainObserver::s_current, &learner),
          m_loads(VS_Canvas::s_loader, &learner),
          m_noPictures(nullptr) {}

private:
    template <class T>
    struct Swap {
        Swap(T*& slot, T* value) : slot(slot), previous(slot) { slot = value; }
        ~Swap() { slot = previous; }
        T*& slot;
        T* previous;
    };
    Swap<Learner> m_learning;
    Swap<AT_ReadObserver> m_reads;
    Swap<Math::ChainObserver> m_chains;
    Swap<VS_Canvas::Loader> m_loads;
    VS_ArtCache::Scope m_noPictures;
};

void Learner::paintInFeedback(const std::function<void()>& paint, std::vector<float>& feedback) {
    if (feedback.empty())
        feedback.resize(std::size_t(1) << 16);
    vs_detail::HostLines lines{kHostLinesBegin, kHostLinesEnd, false};
    for (;;) {
        // Painted again, the drawing asks and draws the same: what it asked is kept once.
        m_painting = m_parsing = 0;
        glFeedbackBuffer(GLsizei(feedback.size()), GL_3D, feedback.data());
        glRenderMode(GL_FEEDBACK);
        {
            const Listening listening(*this);
            const vs_detail::HostLines::Scope marking(lines);
            paint();
        }
        const GLint values = glRenderMode(GL_RENDER);
        // The view's own matrices again, for whatever draws next.
        if (m_canvas)
            m_canvas->load(m_canvas->loadedChain());
        if (values >= 0) {
            m_everywhere = m_everywhere || lines.wide;
            parse(feedback.data(), std::size_t(values));
            return;
        }
        if (feedback.size() >= (std::size_t(1) << 24)) {
            m_everywhere = true;
            return;
        }
        feedback.resize(feedback.size() * 4);
    }
}

VS_NodeShape Learner::learn(const std::function<void()>& paint, std::vector<float>& feedback) {
    paintInFeedback(paint, feedback);
    // A painter may cull faces (a sphere's back), and faces turn their back or front by how
    // they lie in the node's frame, not in a view. Drawn again mirrored, the faces culled
    // before are the ones kept.
    if (m_box[0] <= m_box[3] && !m_everywhere) {
        m_mirrored = true;
        paintInFeedback(paint, feedback);
    }
    std::sort(m_reads.attributes.begin(), m_reads.attributes.end());
    m_reads.attributes.erase(std::unique(m_reads.attributes.begin(), m_reads.attributes.end()),
                             m_reads.attributes.end());
    return shape();
}

void Learner::parse(const float* f, std::size_t n) {
    for (std::size_t k = 0; k < n && !m_everywhere;) {
        const GLenum token = GLenum(GLint(f[k++]));
        if (token == GL_PASS_THROUGH_TOKEN && k < n) {
            const float mark = f[k++];
            m_modelSpace = mark == kModelFollows ? true : mark == kWindowFollows ? false : m_modelSpace;
            m_hostLines = mark == kHostLinesBegin ? true : mark == kHostLinesEnd ? false : m_hostLines;
            m_parsing += mark == kPainterFollows ? 1 : 0;
        } else if (token == GL_POLYGON_TOKEN && k < n) {
            const std::size_t corners = std::size_t(GLint(f[k++]));
            m_everywhere = k + 3 * corners > n;
            for (std::size_t c = 0; c < corners && !m_everywhere; ++c, k += 3)
                vertex(f + k);
        } else if ((token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) && m_hostLines && k + 6 <= n) {
            vertex(f + k);
            vertex(f + k + 3);
            k += 6;
        } else {
            // Points, bitmaps and pixel rectangles have a size feedback does not give, and a
            // line the painter draws itself may be of any width.
            m_everywhere = true;
        }
    }
}

void Learner::vertex(const float* v) {
    const double edge = kHalf * (1.0 - kClipShare);
    const double x = v[0], y = v[1], z = v[2];
    if (!(std::abs(x) < edge && std::abs(y) < edge)) {
        m_everywhere = true;
        return;
    }
    const double scale = kReach / kHalf;
    const double sx = m_mirrored ? -scale : scale;
    if (!m_modelSpace) {
        const double wx = x * sx, wy = y * scale;
        m_drawn.add(wx, wy);
        Painter& p = painter(m_parsing);
        p.drawn = true;
        if (!p.anchors.empty())
            p.offsets.add(wx - p.anchors[0].window[0], wy - p.anchors[0].window[1]);
        for (const VS_NodeShape::Anchor& a : p.anchors)
            p.reach = std::max(p.reach, std::hypot(wx - a.window[0], wy - a.window[1]));
        return;
    }
    if (!(z > kClipShare && z < 1.0 - kClipShare)) {
        m_everywhere = true;
        return;
    }
    const double p[3] = {x * sx, y * scale, kDepthReach * (2.0 * z - 1.0)};
    for (int i = 0; i < 3; ++i)
        m_box[i] = std::min(m_box[i], p[i]), m_box[3 + i] = std::max(m_box[3 + i], p[i]);
    const VS_Projected w = project(m_toWindow, m_view, p[0], p[1], p[2]);
    if (w.w > 0.0)
        m_drawn.add(w.x, w.y);
    else
        m_behindEye = true;
}

// Whether a painter's drawing in pixels cannot be followed from its anchors: too many to
// keep, or a pair that lay on one pixel, which gives no measure of how far they part.
bool Learner::boundByAnchors(const Painter& p) const {
    if (p.tooManyAnchors)
        return true;
    for (std::size_t i = 0; i < p.anchors.size(); ++i)
        for (std::size_t j = i + 1; j < p.anchors.size(); ++j)
            if (std::hypot(p.anchors[i].window[0] - p.anchors[j].window[0],
                           p.anchors[i].window[1] - p.anchors[j].window[1]) < 1e-3)
                return true;
    return false;
}

VS_NodeShape Learner::shape() const {
    VS_NodeShape s;
    bool bound = m_viewBound, pixels = false;
    std::size_t parts = 0;
    for (const Painter& p : m_painters) {
        if (!p.drawn)
            continue;
        pixels = true;
        ++parts;
        // Drawing in pixels that follows no point of the scene is fixed to the screen.
        if (p.anchors.empty()) {
            s.kind = VS_NodeShape::Kind::Everywhere;
            return s;
        }
        bound = bound || boundByAnchors(p);
    }
    bound = bound || parts > VS_NodeShape::kMaxParts;
    if (m_everywhere || (bound && m_behindEye)) {
        // Where this view shows it cannot be told either.
        s.kind = VS_NodeShape::Kind::Everywhere;
        return s;
    }
    if (bound) {
        s.kind = VS_NodeShape::Kind::ViewBound;
        if (!m_drawn.empty())
            s.rect = pixelsAround(m_drawn, 0.0);
        return s;
    }
    if (!pixels && m_box[0] > m_box[3]) {
        s.kind = VS_NodeShape::Kind::Nothing;
        return s;
    }
    return localShape();
}

VS_NodeShape::Part Learner::part(const Painter& p) const {
    VS_NodeShape::Part part;
    part.pixels = std::nextafter(float(p.reach), HUGE_VALF);
    part.offsets[0] = std::nextafter(float(p.offsets.x0), -HUGE_VALF);
    part.offsets[1] = std::nextafter(float(p.offsets.y0), -HUGE_VALF);
    part.offsets[2] = std::nextafter(float(p.offsets.x1), HUGE_VALF);
    part.offsets[3] = std::nextafter(float(p.offsets.y1), HUGE_VALF);
    part.anchorCount = std::uint8_t(p.anchors.size());
    std::copy(p.anchors.begin(), p.anchors.end(), part.anchors);
    return part;
}

VS_NodeShape Learner::localShape() const {
    VS_NodeShape s;
    s.kind = VS_NodeShape::Kind::Local;
    double box[6];
    std::copy(m_box, m_box + 6, box);
    for (const Painter& p : m_painters)
        for (const VS_NodeShape::Anchor& a : p.drawn ? p.anchors : std::vector<VS_NodeShape::Anchor>())
            for (int i = 0; i < 3; ++i)
                box[i] = std::min(box[i], double(a.node[i])), box[3 + i] = std::max(box[3 + i], double(a.node[i]));
    // Room for what this drawing left to chance: a circle of other segments in another view
    // (its chord strays no more than a quarter of a pixel here from this one's, short of
    // the most segments a circle gets), and the rounding of feedback's floats.
    double unitPixels = 0.0;
    const double c[3] = {0.5 * (box[0] + box[3]), 0.5 * (box[1] + box[4]), 0.5 * (box[2] + box[5])};
    const VS_Projected o = project(m_toWindow, m_view, c[0], c[1], c[2]);
    for (int axis = 0; axis < 3; ++axis) {
        const VS_Projected e = project(m_toWindow, m_view, c[0] + (axis == 0), c[1] + (axis == 1), c[2] + (axis == 2));
        if (o.w > 0.0 && e.w > 0.0)
            unitPixels = std::max(unitPixels, std::hypot(e.x - o.x, e.y - o.y));
    }
    const double extent = std::max({box[3] - box[0], box[4] - box[1], box[5] - box[2]});
    const double magnitude = std::max({std::abs(box[0]), std::abs(box[1]), std::abs(box[3]), std::abs(box[4])});
    const double room = 0.002 * extent + (unitPixels > 0.0 ? 0.25 / unitPixels : 0.0) + 1e-6 * magnitude;
    for (int i = 0; i < 3; ++i) {
        const double depth = i == 2 ? 4e-7 * kDepthReach : 0.0;
        s.box[i] = float(box[i] - room - depth);
        s.box[3 + i] = float(box[3 + i] + room + depth);
        // A float rounds to the nearest: one step more each way keeps the box around.
        s.box[i] = std::nextafter(s.box[i], -HUGE_VALF);
        s.box[3 + i] = std::nextafter(s.box[3 + i], HUGE_VALF);
    }
    // Anchors matter only to drawing in pixels, whose reach grows as they part.
    for (const Painter& p : m_painters)
        if (p.drawn)
            s.parts[s.partCount++] = part(p);
    return s;
}

}  // namespace

VS_ViewTransform::VS_ViewTransform(const Math::CameraTransformChain& camera, int canvasHeight)
    : projectionView(camera.projectionMatrix() * camera.viewMatrix()) {
    const std::array<int, 4> v = VS_Canvas::glViewport(camera.viewport(), canvasHeight);
    vx = v[0], vy = v[1], vw = v[2], vh = v[3];
}

namespace {

// Where a painter's drawing in pixels lies in a view whose matrix carries the node's frame to
// clip space, added to `b`.
void addPart(const VS_NodeShape::Part& part, const Math::Matrix4x4& m, const VS_ViewTransform& view,
             const Bounds2& box, Bounds2& b) {
    // How far the anchors parted since, and whether they moved as one.
    VS_Projected landed[VS_NodeShape::kMaxAnchors];
    for (int i = 0; i < part.anchorCount; ++i)
        landed[i] = project(m, view, part.anchors[i].node[0], part.anchors[i].node[1], part.anchors[i].node[2]);
    const VS_NodeShape::Anchor* a = part.anchors;
    double grown = 1.0, slip = 0.0;
    for (int i = 0; i < part.anchorCount; ++i)
        for (int j = i + 1; j < part.anchorCount; ++j) {
            const double dx = landed[j].x - landed[i].x, dy = landed[j].y - landed[i].y;
            const double wx = a[j].window[0] - a[i].window[0], wy = a[j].window[1] - a[i].window[1];
            grown = std::max(grown, std::hypot(dx, dy) / std::hypot(wx, wy));
            slip = std::max(slip, std::hypot(dx - wx, dy - wy));
        }
    if (slip > 1e-3) {
        // Within its reach of the anchors, which lie in the box.
        const double reach = double(part.pixels) * grown;
        b.add(box.x0 - reach, box.y0 - reach);
        b.add(box.x1 + reach, box.y1 + reach);
        return;
    }
    b.add(landed[0].x + part.offsets[0] - slip, landed[0].y + part.offsets[1] - slip);
    b.add(landed[0].x + part.offsets[2] + slip, landed[0].y + part.offsets[3] + slip);
}

}  // namespace

bool VS_ShapeRect(const VS_NodeShape& shape, const Math::Matrix4x4& world, const VS_ViewTransform& view,
                  VS_WindowRect& rect) {
    const Math::Matrix4x4 m = view.projectionView * world;
    Bounds2 box;
    for (int corner = 0; corner < 8; ++corner) {
        const VS_Projected p = project(m, view, shape.box[corner & 1 ? 3 : 0], shape.box[corner & 2 ? 4 : 1],
                                       shape.box[corner & 4 ? 5 : 2]);
        if (!(p.w > 0.0) || !std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
        box.add(p.x, p.y);
    }
    Bounds2 b = box;
    for (int i = 0; i < shape.partCount; ++i)
        addPart(shape.parts[i], m, view, box, b);
    rect = pixelsAround(b, 0.0);
    return true;
}

void VS_NextPainter() {
    if (t_learning)
        t_learning->nextPainter();
}

VS_NodeShape VS_LearnShape(const Math::CameraTransformChain& camera, int canvasHeight, const std::function<void()>& paint,
                           std::vector<float>& feedback, VS_LearnReads& reads) {
    Learner learner(camera, canvasHeight, reads);
    return learner.learn(paint, feedback);
}
