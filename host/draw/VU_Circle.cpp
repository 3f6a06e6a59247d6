#include "host/draw/VU_Circle.h"

#include "host/draw/VS_Canvas.h"
#include "host/draw/draw_util.h"
#include "host/math/Math.h"

#include <algorithm>
#include <cmath>

namespace {

struct Plane {
    Math::Point3d centre;
    Math::Vector3d u, v;
};

bool planeOf(const VS_Vector3D& centre, const VS_Vector3D& normal, Plane& plane) {
    const Math::Vector3d n = Math::Vector3d(normal.x, normal.y, normal.z).normalized();
    if (n.length() == 0.0)
        return false;
    const Math::Vector3d ref = std::abs(n.y) < 0.999 ? Math::Vector3d(0, 1, 0) : Math::Vector3d(0, 0, 1);
    plane.u = ref.cross(n).normalized();
    plane.v = n.cross(plane.u);
    plane.centre = Math::Point3d(centre.x, centre.y, centre.z);
    return true;
}

VS_Vector3D at(const Plane& p, double radius, double angle) {
    const glm::dvec3 q =
        glm::dvec3(p.centre) + radius * (std::cos(angle) * glm::dvec3(p.u) + std::sin(angle) * glm::dvec3(p.v));
    return VS_Vector3D(float(q.x), float(q.y), float(q.z));
}

// Rings are thin bands with facets on both edges, and a ring's facets fall differently as it
// turns: an eighth of a pixel keeps a turned ring on the pixels of an upright one.
constexpr double kRingChordError = 0.125;

// The segments for a circle of `radius` about the plane's centre: as many as a circle of
// its largest radius on screen needs to look round, up to the 4 × 2^n that n allows.
// Small rings, the common case in a viewport full of controls, so draw a few dozen
// vertices rather than hundreds.
int segments(const VS_Canvas& canvas, const Plane& p, double radius, int n) {
    const int most = 4 << std::clamp(n, 0, 10);
    const Math::CameraTransformChain& chain = canvas.loadedChain();
    Math::Point3d centre;
    if (!chain.transform(Math::SourceModelFrame, Math::DestinationScreenFrame, p.centre, centre))
        return most;
    double pixels = 0.0;
    const Math::Vector3d axes[] = {p.u, p.v, Math::Vector3d(-p.u), Math::Vector3d(-p.v)};
    for (const Math::Vector3d& axis : axes) {
        Math::Point3d rim;
        const Math::Point3d at = glm::dvec3(p.centre) + radius * glm::dvec3(axis);
        if (!chain.transform(Math::SourceModelFrame, Math::DestinationScreenFrame, at, rim))
            return most;
        pixels = std::max(pixels, std::hypot(rim.x - centre.x, rim.y - centre.y));
    }
    return std::min(most, vs_detail::circleSegments(pixels, kRingChordError));
}

// A band between two radii over [from, from + span], as one strip.
void band(const Plane& p, double radius, float width, double from, double span, int count, const VS_RGBA& colour) {
    const double inner = std::max(0.0, radius - 0.5 * width), outer = radius + 0.5 * width;
    if (!(outer > inner) || !std::isfinite(outer))
        return;
    std::vector<VS_Vector3D> v;
    v.reserve(2 * (count + 1));
    for (int i = 0; i <= count; ++i) {
        const double a = from + span * i / count;
        v.push_back(at(p, outer, a));
        v.push_back(at(p, inner, a));
    }
    vs_detail::drawVertices(GL_TRIANGLE_STRIP, v, colour);
}

}  // namespace

void VU_Circle::Draw(VS_Canvas& canvas, const VS_Vector3D& centre, const VS_Vector3D& normal, double radius, int n,
                     float width, const VS_RGBA& colour) {
    Plane p;
    if (planeOf(centre, normal, p))
        band(p, radius, width, 0.0, 2.0 * M_PI, segments(canvas, p, radius + 0.5 * width, n), colour);
}

void VU_Circle::DrawArc(VS_Canvas& canvas, const VS_Vector3D& centre, const VS_Vector3D& normal, double radius, int n,
                        float width, const VS_RGBA& colour, double angle) {
    Plane p;
    if (planeOf(centre, normal, p))
        band(p, radius, width, angle - 0.5 * kArcSpan, kArcSpan, segments(canvas, p, radius + 0.5 * width, n),
             colour);
}

void VU_Circle::LineDraw(VS_Canvas& canvas, const VS_Vector3D& centre, const VS_Vector3D& normal, double radius,
                         int n, const VS_RGBA& colour) {
    Plane p;
    if (!planeOf(centre, normal, p) || !std::isfinite(radius))
        return;
    const int count = segments(canvas, p, radius, n);
    std::vector<VS_Vector3D> v;
    v.reserve(count);
    for (int i = 0; i < count; ++i)
        v.push_back(at(p, radius, 2.0 * M_PI * i / count));
    vs_detail::drawVertices(GL_LINE_LOOP, v, colour);
}
