#include "host/draw/VS_NodeBounds.h"

#include "host/base/UT_DPI.h"
#include "host/base/UT_EditCount.h"
#include "host/draw/VS_ArtCache.h"
#include "host/draw/draw_util.h"
#include "host/draw/gl.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_Port.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

// 0 is no signature: a node that has none never keeps a bound.
constexpr std::uint64_t kNone = 0;

int g_enabled = -1;

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h * 0xff51afd7ed558ccdull;
}

std::uint64_t bitsOf(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

// What a scalar's drawing can see: its value at the frame and which curve it follows.
bool mixDouble(std::uint64_t& h, const AT_DoubleAttr& a, double frame) {
    if (a.surrogate())
        return false;
    h = mix(h, bitsOf(a.valueAt(frame)));
    const LXTimedValue* tv = a.timedValue();
    h = mix(h, std::uint64_t(reinterpret_cast<std::uintptr_t>(tv)));
    if (tv)
        h = mix(h, tv->controlPoints().size());
    return true;
}

bool mixAttribute(std::uint64_t& h, const AT_Attr& a, double frame) {
    // A surrogate stands for a value during a drag: the node is learnt anew every time.
    if (a.surrogate())
        return false;
    const QString* type = &a.typeName();
    if (type == &AT_DoubleAttr::TypeString())
        return mixDouble(h, static_cast<const AT_DoubleAttr&>(a), frame);
    if (type == &AT_BoolAttr::TypeString()) {
        const auto& b = static_cast<const AT_BoolAttr&>(a);
        h = mix(h, b.value(frame) ? 3 : 5);
        return true;
    }
    if (type == &AT_StringAttr::TypeString()) {
        h = mix(h, qHash(static_cast<const AT_StringAttr&>(a).value(frame)));
        return true;
    }
    if (type == &AT_Position2dAttr::TypeString() || type == &AT_Position3dAttr::TypeString() ||
        type == &AT_Rotation3dAttr::TypeString() || type == &AT_Scale3dAttr::TypeString()) {
        const auto& c = static_cast<const AT_ComplexAttr&>(a);
        for (std::size_t k = 0; k < c.componentCount(); ++k)
            if (!mixDouble(h, *c.component(k), frame))
                return false;
        return true;
    }
    // A kind this host does not know may read anything.
    return false;
}

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

bool VS_NodeBounds::enabled() {
    if (g_enabled < 0) {
        const char* env = std::getenv("RIGKIT_CULL");
        const bool off = env && (std::strcmp(env, "0") == 0 || std::strcmp(env, "off") == 0 ||
                                 std::strcmp(env, "false") == 0 || std::strcmp(env, "no") == 0);
        g_enabled = off ? 0 : 1;
    }
    return g_enabled == 1;
}

void VS_NodeBounds::setEnabled(bool enabled) {
    g_enabled = enabled ? 1 : 0;
}

VS_NodeBounds::Pass& VS_NodeBounds::begin(SC_SceneCommon& scene, MO_OGLContext::RenderMode mode,
                                          const Math::CameraTransformChain& camera, int width, int height,
                                          double frame) {
    m_scene = &scene;
    Pass& pass = m_passes[mode == MO_OGLContext::PickingRender ? 1 : 0];
    std::array<double, 45> view;
    auto out = view.begin();
    out = std::copy_n(camera.projectionMatrix().data(), 16, out);
    out = std::copy_n(camera.viewMatrix().data(), 16, out);
    const Math::Box2d& viewport = camera.viewport();
    const SC_SceneMetrics& metrics = scene.metrics();
    for (double v : {viewport.min.x, viewport.min.y, viewport.max.x, viewport.max.y, camera.target().x,
                     camera.target().y, camera.target().z, double(width), double(height), double(UT_DPI::s_dpiScale),
                     metrics.xUnitScale(), metrics.yUnitScale(), metrics.zUnitScale()})
        *out++ = v;

    const std::size_t count = scene.nodes().size();
    const std::uint64_t edits = UT_EditCount::s_count;
    // Compared bit for bit: a NaN in the camera forgets the bounds every time, which is safe.
    const bool fresh = !pass.started || std::memcmp(view.data(), pass.view.data(), sizeof view) != 0;
    if (fresh) {
        pass.records.assign(count, Record());
        pass.view = view;
        pass.started = true;
    } else {
        pass.records.resize(count);
        if (pass.edits != edits || !(pass.frame == frame)) {
            ensureSignatures(frame);
            for (std::size_t i = 0; i < count; ++i) {
                Record& r = pass.records[i];
                if (r.known != Known::Not && (r.signature == kNone || r.signature != m_signatures[i]))
                    r = Record();
            }
        }
    }
    const SLB_Selection& selection = scene.selection();
    if (pass.selectionVersion != selection.version() || fresh) {
        std::vector<const MO_Node*> now;
        now.reserve(selection.items().size());
        for (const SLB_Selection::Item& item : selection.items())
            now.push_back(item.node);
        std::sort(now.begin(), now.end());
        if (!fresh) {
            std::vector<const MO_Node*> changed;
            std::set_symmetric_difference(now.begin(), now.end(), pass.selected.begin(), pass.selected.end(),
                                          std::back_inserter(changed));
            for (const MO_Node* node : changed) {
                const std::ptrdiff_t i = scene.indexOf(node);
                if (i >= 0 && std::size_t(i) < count)
                    pass.records[std::size_t(i)] = Record();
            }
        }
        pass.selected = std::move(now);
        pass.selectionVersion = selection.version();
    }
    pass.edits = edits;
    pass.frame = frame;
    return pass;
}

void VS_NodeBounds::ensureSignatures(double frame) {
    const auto& nodes = m_scene->nodes();
    if (m_signatures.size() == nodes.size() && m_signatureEdits == UT_EditCount::s_count && m_signatureFrame == frame)
        return;
    m_signatureEdits = UT_EditCount::s_count;
    m_signatureFrame = frame;
    m_signatures.assign(nodes.size(), kNone);
    // A node reads its parent and the nodes its ports bring in, which come before it: its
    // signature sums theirs. One that comes after (or from another scene) leaves the node
    // without a signature.
    const auto mixNode = [&](std::uint64_t& h, const MO_Node* other, std::size_t i) {
        if (!other)
            return true;
        const std::ptrdiff_t j = m_scene->indexOf(other);
        if (j < 0 || std::size_t(j) >= i || m_signatures[std::size_t(j)] == kNone)
            return false;
        h = mix(h, m_signatures[std::size_t(j)]);
        return true;
    };
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const MO_Node& node = *nodes[i];
        std::uint64_t h = mix(node.version(), node.properties().version());
        bool ok = mixNode(h, node.parent(), i);
        for (int k = 0; ok && k < node.inPortCount(); ++k) {
            const MO_Port* port = node.inPort(k);
            h = mix(h, port->isEnabled() ? 7 : 11);
            ok = mixNode(h, port->realDisabledSrcNode(), i);
        }
        for (const auto& a : node.attributes()) {
            if (!ok)
                break;
            ok = mixAttribute(h, *a, frame);
        }
        m_signatures[i] = ok ? (h | 1) : kNone;
    }
}

namespace {

// Marks that the host's own lines draw between, so that their width (which feedback does
// not give) is known to be the one pixel the host draws them with.
constexpr float kHostLinesBegin = 7340.5f;
constexpr float kHostLinesEnd = 7341.5f;

}  // namespace

void VS_NodeBounds::learn(Pass& pass, std::size_t i, const MO_Node& node, const std::function<void()>& paint) {
    ensureSignatures(pass.frame);
    Record r;
    r.signature = m_signatures[i];
    r.paints = !node.painters().empty();
    r.picks = node.pickAdaptor() != nullptr;
    r.known = Known::Box;
    ++m_learnt;
    if (!r.paints) {
        pass.records[i] = r;
        return;
    }
    if (m_feedback.empty())
        m_feedback.resize(std::size_t(1) << 16);
    GLint values = -1;
    vs_detail::HostLines lines{kHostLinesBegin, kHostLinesEnd, false};
    for (;;) {
        glFeedbackBuffer(GLsizei(m_feedback.size()), GL_2D, m_feedback.data());
        glRenderMode(GL_FEEDBACK);
        {
            // Pictures of art are made from what is drawn: none may be taken while nothing is.
            VS_ArtCache::Scope noPictures(nullptr);
            vs_detail::HostLines::Scope marking(lines);
            paint();
        }
        values = glRenderMode(GL_RENDER);
        if (values >= 0 || m_feedback.size() >= (std::size_t(1) << 24))
            break;
        m_feedback.resize(m_feedback.size() * 4);
    }
    bool everywhere = values < 0 || lines.wide;
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    const float* f = m_feedback.data();
    const std::size_t n = values < 0 ? 0 : std::size_t(values);
    bool inHostLines = false;
    const auto vertex = [&](std::size_t at) {
        const double x = f[at], y = f[at + 1];
        if (!std::isfinite(x) || !std::isfinite(y)) {
            everywhere = true;
            return;
        }
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
    };
    for (std::size_t k = 0; k < n && !everywhere;) {
        const GLenum token = GLenum(GLint(f[k++]));
        switch (token) {
            case GL_POLYGON_TOKEN: {
                const std::size_t corners = std::size_t(GLint(f[k++]));
                if (k + 2 * corners > n) {
                    everywhere = true;
                    break;
                }
                for (std::size_t c = 0; c < corners; ++c, k += 2)
                    vertex(k);
                break;
            }
            case GL_LINE_TOKEN:
            case GL_LINE_RESET_TOKEN:
                // A line the node's painter draws itself may be of any width.
                everywhere = everywhere || !inHostLines || k + 4 > n;
                if (!everywhere) {
                    vertex(k);
                    vertex(k + 2);
                }
                k += 4;
                break;
            case GL_PASS_THROUGH_TOKEN:
                if (f[k] == kHostLinesBegin)
                    inHostLines = true;
                else if (f[k] == kHostLinesEnd)
                    inHostLines = false;
                ++k;
                break;
            default:
                // Points, bitmaps and pixel rectangles have a size feedback does not give.
                everywhere = true;
                break;
        }
    }
    if (everywhere) {
        r.known = Known::Everywhere;
    } else if (x0 <= x1) {
        // A pixel is drawn when its centre is covered (a one-pixel line reaches half a pixel
        // each side): a pixel more each way is beyond any rounding.
        const auto clampInt = [](double v) { return int(std::clamp(v, -1e9, 1e9)); };
        r.box = Rect{clampInt(std::floor(x0) - 1), clampInt(std::floor(y0) - 1), clampInt(std::ceil(x1) + 2),
                     clampInt(std::ceil(y1) + 2)};
    }
    pass.records[i] = r;
}
