#include "host/draw/VU_Painter.h"

#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VU_ReferentialScope.h"
#include "host/draw/draw_util.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

const VS_RGBA VU_Painter::redColor(255, 0, 0, 255);
const VS_RGBA VU_Painter::lightRedColor(255, 128, 128, 255);
const VS_RGBA VU_Painter::greenColor(0, 255, 0, 255);
const VS_RGBA VU_Painter::lightGreenColor(128, 255, 128, 255);
const VS_RGBA VU_Painter::blueColor(0, 0, 255, 255);
const VS_RGBA VU_Painter::lightBlueColor(128, 128, 255, 255);
const VS_RGBA VU_Painter::darkGrayColor(64, 64, 64, 255);
const VS_RGBA VU_Painter::whiteColor(255, 255, 255, 255);

namespace {

using vs_detail::drawVertices;

bool finite(const Math::Point2d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

bool finite(const Math::Point3d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

VS_Vector3D vertex(double x, double y, double z = 0.0) {
    return VS_Vector3D(float(x), float(y), float(z));
}

Math::DestinationReferenceFrame_e destination(VU_Painter::ReferenceFrame_e frame) {
    return static_cast<Math::DestinationReferenceFrame_e>(frame);
}

// A fan around the centre, which for a convex outline covers each pixel once.
std::vector<VS_Vector3D> fan(const Math::Point2d& centre, const std::vector<Math::Point2d>& outline) {
    std::vector<VS_Vector3D> v;
    v.reserve(outline.size() + 2);
    v.push_back(vertex(centre.x, centre.y));
    for (const Math::Point2d& p : outline)
        v.push_back(vertex(p.x, p.y));
    v.push_back(v[1]);
    return v;
}

}  // namespace

// How far beyond the view's edges a line reaching to infinity is cut: its square ends stay
// out of sight.
constexpr double kClipMarginPixels = 64.0;

namespace {

// A segment with an infinite end, as the line origin + t direction for t from `low` up to
// infinity.
struct Ray {
    Math::Point2d origin;
    Math::Vector2d direction{0.0, 0.0};
    double low = 0.0;
};

// Only a line along one axis of its frame has a place on the screen: one whose other
// coordinate is the same finite value at both ends. A slanted one towards infinity is a
// limit that depends on how fast each coordinate grows, so it has no ray.
bool rayOf(Math::Point2d a, Math::Point2d b, Ray& ray) {
    const bool aInfinite = std::isinf(a.x) || std::isinf(a.y);
    const bool bInfinite = std::isinf(b.x) || std::isinf(b.y);
    if (aInfinite && !bInfinite)
        std::swap(a, b);
    ray.origin = a;
    const double high = std::numeric_limits<double>::infinity();
    int spanning = 0;
    for (int k = 0; k < 2; ++k) {
        const double ak = k == 0 ? a.x : a.y, bk = k == 0 ? b.x : b.y;
        double& o = k == 0 ? ray.origin.x : ray.origin.y;
        double& d = k == 0 ? ray.direction.x : ray.direction.y;
        if (std::isfinite(ak) && std::isfinite(bk)) {
            if (ak != bk)
                return false;
        } else if (std::isinf(ak) && std::isinf(bk)) {
            // From one infinity to the other: the whole line.
            if ((ak > 0) == (bk > 0))
                return false;
            o = 0.0;
            d = bk > 0 ? 1.0 : -1.0;
            ray.low = -high;
            ++spanning;
        } else if (std::isinf(bk)) {
            d = bk > 0 ? 1.0 : -1.0;
            ++spanning;
        } else {
            return false;
        }
    }
    return spanning == 1;
}

// Narrows [from, to] to the t of the window line c0 + t c1 (homogeneous, so a line also
// through a perspective) that lie within the view widened by the margin and within the
// depth range. False when none do.
bool clipToView(const Math::Point4d& c0, const Math::Point4d& c1, const Math::Box2d& view, double& from, double& to) {
    const double x0 = std::min(view.min.x, view.max.x) - kClipMarginPixels;
    const double x1 = std::max(view.min.x, view.max.x) + kClipMarginPixels;
    const double y0 = std::min(view.min.y, view.max.y) - kClipMarginPixels;
    const double y1 = std::max(view.min.y, view.max.y) + kClipMarginPixels;
    // Each row is a bound written as alpha + beta t >= 0.
    const double bounds[][2] = {
        {c0.w, c1.w},                            // in front of the eye
        {c0.x - x0 * c0.w, c1.x - x0 * c1.w},    // right of the left edge
        {x1 * c0.w - c0.x, x1 * c1.w - c1.x},    // left of the right edge
        {c0.y - y0 * c0.w, c1.y - y0 * c1.w},    // below the top edge
        {y1 * c0.w - c0.y, y1 * c1.w - c1.y},    // above the bottom edge
        {c0.z, c1.z},                            // beyond the near plane
        {c0.w - c0.z, c1.w - c1.z},              // before the far plane
    };
    for (const auto& bound : bounds) {
        const double alpha = bound[0], beta = bound[1];
        if (beta == 0.0) {
            if (alpha < 0.0)
                return false;
        } else if (beta > 0.0) {
            from = std::max(from, -alpha / beta);
        } else {
            to = std::min(to, -alpha / beta);
        }
    }
    return std::isfinite(from) && std::isfinite(to) && from < to;
}

}  // namespace

bool VU_Painter::clipInfinite(Math::Point2d& a, Math::Point2d& b) const {
    Ray ray;
    if (!rayOf(a, b, ray))
        return false;
    Math::Matrix4x4 toScreen;
    const Math::CameraTransformChain& chain = m_binder.transformChain();
    if (!chain.compoundMatrix(static_cast<Math::SourceReferenceFrame_e>(m_pointFrame), Math::DestinationScreenFrame,
                              toScreen))
        return false;
    const Math::Point2d& origin = ray.origin;
    const Math::Vector2d& direction = ray.direction;
    const Math::Point4d c0 = toScreen * Math::Point4d(origin.x, origin.y, 0.0, 1.0);
    const Math::Point4d c1 = toScreen * Math::Point4d(direction.x, direction.y, 0.0, 0.0);
    double from = ray.low, to = std::numeric_limits<double>::infinity();
    if (!clipToView(c0, c1, chain.viewport(), from, to))
        return false;
    a = Math::Point2d(origin.x + from * direction.x, origin.y + from * direction.y);
    b = Math::Point2d(origin.x + to * direction.x, origin.y + to * direction.y);
    return true;
}

void VU_Painter::drawLine(const Math::Point2d& a, const Math::Point2d& b) {
    if (std::isnan(a.x) || std::isnan(a.y) || std::isnan(b.x) || std::isnan(b.y) || !std::isfinite(m_thickness))
        return;
    Math::Point2d pa = a, pb = b;
    if ((!finite(a) || !finite(b)) && !clipInfinite(pa, pb))
        return;
    const Math::Point2d ca = pa, cb = pb;
    ReferenceFrame_e frame = m_pointFrame;
    double half = 0.5 * m_thickness;
    if (m_thicknessFrame == ScreenFrame) {
        // The band is built where the thickness is measured: on the screen.
        if (m_pointFrame != ScreenFrame) {
            const Math::CameraTransformChain& chain = m_binder.transformChain();
            const auto from = static_cast<Math::SourceReferenceFrame_e>(m_pointFrame);
            if (!chain.transform(from, Math::DestinationScreenFrame, ca, pa) ||
                !chain.transform(from, Math::DestinationScreenFrame, cb, pb))
                return;
        }
        frame = ScreenFrame;
        half = 0.5 * std::max(m_thickness, 1.0);
    }
    if (!(half > 0.0))
        return;
    Math::Vector2d along(pb.x - pa.x, pb.y - pa.y);
    const double length = along.length();
    along = length > 0.0 ? Math::Vector2d(along.x / length * half, along.y / length * half) : Math::Vector2d(half, 0);
    const Math::Vector2d across(-along.y, along.x);
    const Math::Point3d corners[4] = {
        {pa.x - along.x - across.x, pa.y - along.y - across.y, 0.0},
        {pb.x + along.x - across.x, pb.y + along.y - across.y, 0.0},
        {pb.x + along.x + across.x, pb.y + along.y + across.y, 0.0},
        {pa.x - along.x + across.x, pa.y - along.y + across.y, 0.0},
    };
    VU_ReferentialScope scope(m_binder, destination(frame));
    std::vector<VS_Vector3D> v;
    for (const Math::Point3d& c : corners)
        v.push_back(vertex(c.x, c.y, c.z));
    drawVertices(GL_TRIANGLE_FAN, v, m_lineStroke);
}

void VU_Painter::drawBox(const Math::Box2d& box) {
    if (!finite(box.min) || !finite(box.max))
        return;
    const double x0 = std::min(box.min.x, box.max.x), x1 = std::max(box.min.x, box.max.x);
    const double y0 = std::min(box.min.y, box.max.y), y1 = std::max(box.min.y, box.max.y);
    VU_ReferentialScope scope(m_binder, destination(m_pointFrame));
    drawVertices(GL_TRIANGLE_FAN, {vertex(x0, y0), vertex(x1, y0), vertex(x1, y1), vertex(x0, y1)}, m_lineStroke);
}

void VU_Painter::fillConvex(const Math::Point3d* corners, int count) {
    std::vector<VS_Vector3D> v;
    for (int i = 0; i < count; ++i) {
        if (!finite(corners[i]))
            return;
        v.push_back(vertex(corners[i].x, corners[i].y, corners[i].z));
    }
    VU_ReferentialScope scope(m_binder, destination(m_pointFrame));
    drawVertices(GL_TRIANGLE_FAN, v, m_pointFill);
    if (m_pointStroke != m_pointFill)
        drawVertices(GL_LINE_LOOP, v, m_pointStroke);
}

void VU_Painter::drawQuad(const Math::Point2d& a, const Math::Point2d& b, const Math::Point2d& c,
                          const Math::Point2d& d) {
    const Math::Point3d corners[4] = {{a.x, a.y, 0}, {b.x, b.y, 0}, {c.x, c.y, 0}, {d.x, d.y, 0}};
    fillConvex(corners, 4);
}

void VU_Painter::drawQuad(const Math::Point3d& a, const Math::Point3d& b, const Math::Point3d& c,
                          const Math::Point3d& d) {
    const Math::Point3d corners[4] = {a, b, c, d};
    fillConvex(corners, 4);
}

void VU_Painter::drawTriangle(const Math::Point2d& a, const Math::Point2d& b, const Math::Point2d& c) {
    const Math::Point3d corners[3] = {{a.x, a.y, 0}, {b.x, b.y, 0}, {c.x, c.y, 0}};
    fillConvex(corners, 3);
}

double VU_Painter::pixelRadius(const Math::Point2d& centre, double radius) const {
    if (m_pointFrame == ScreenFrame)
        return radius;
    const Math::CameraTransformChain& chain = m_binder.transformChain();
    const auto from = static_cast<Math::SourceReferenceFrame_e>(m_pointFrame);
    Math::Point2d c, x, y;
    if (!chain.transform(from, Math::DestinationScreenFrame, centre, c) ||
        !chain.transform(from, Math::DestinationScreenFrame, Math::Point2d(centre.x + radius, centre.y), x) ||
        !chain.transform(from, Math::DestinationScreenFrame, Math::Point2d(centre.x, centre.y + radius), y))
        return 100.0;
    return std::max(glm::length(x - c), glm::length(y - c));
}

void VU_Painter::drawFilledDisc(const Math::Point2d& centre, double radius1, double radius2) {
    const double inner = std::min(std::abs(radius1), std::abs(radius2));
    const double outer = std::max(std::abs(radius1), std::abs(radius2));
    if (!finite(centre) || !std::isfinite(outer) || outer == inner)
        return;
    const int n = vs_detail::circleSegments(pixelRadius(centre, outer));
    std::vector<VS_Vector3D> v;
    GLenum mode;
    if (inner == 0.0) {
        std::vector<Math::Point2d> outline;
        outline.reserve(n);
        for (int i = 0; i < n; ++i) {
            const double a = 2.0 * M_PI * i / n;
            outline.emplace_back(centre.x + outer * std::cos(a), centre.y + outer * std::sin(a));
        }
        v = fan(centre, outline);
        mode = GL_TRIANGLE_FAN;
    } else {
        v.reserve(2 * (n + 1));
        for (int i = 0; i <= n; ++i) {
            const double a = 2.0 * M_PI * (i % n) / n;
            const double c = std::cos(a), s = std::sin(a);
            v.push_back(vertex(centre.x + outer * c, centre.y + outer * s));
            v.push_back(vertex(centre.x + inner * c, centre.y + inner * s));
        }
        mode = GL_TRIANGLE_STRIP;
    }
    VU_ReferentialScope scope(m_binder, destination(m_pointFrame));
    drawVertices(mode, v, m_lineStroke);
}

void VU_Painter::drawCapsule(const Math::Point2d& a, const Math::Point2d& b, double radius) {
    radius = std::abs(radius);
    if (!finite(a) || !finite(b) || !std::isfinite(radius) || radius == 0.0)
        return;
    const double heading = std::atan2(b.y - a.y, b.x - a.x);
    // Half the segments of a circle of the radius go round each end.
    const int half =
        std::max(8, vs_detail::circleSegments(std::max(pixelRadius(a, radius), pixelRadius(b, radius))) / 2);
    std::vector<Math::Point2d> outline;
    outline.reserve(2 * (half + 1));
    for (int end = 0; end < 2; ++end) {
        const Math::Point2d& c = end == 0 ? b : a;
        const double start = heading - 0.5 * M_PI + end * M_PI;
        for (int i = 0; i <= half; ++i) {
            const double t = start + M_PI * i / half;
            outline.emplace_back(c.x + radius * std::cos(t), c.y + radius * std::sin(t));
        }
    }
    VU_ReferentialScope scope(m_binder, destination(m_pointFrame));
    drawVertices(GL_TRIANGLE_FAN, fan(Math::Point2d(0.5 * (a.x + b.x), 0.5 * (a.y + b.y)), outline), m_lineStroke);
}
