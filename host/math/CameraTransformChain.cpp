#include "host/math/CameraTransformChain.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace Math {

namespace {

bool invertible(const Matrix4x4& m) {
    const double det = glm::determinant(m.glm());
    return det != 0.0 && std::isfinite(det);
}

bool finite(const glm::dvec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

}  // namespace

ChainObserver* ChainObserver::s_current = nullptr;
ChainObserver::~ChainObserver() = default;

CameraTransformChain CameraTransformChain::orthographic(int width, int height, const Point2d& center,
                                                        double pixelsPerUnit) {
    CameraTransformChain chain;
    chain.m_viewport = Box2d(Point2d(0, 0), Point2d(width, height));
    chain.m_target = Point3d(center.x, center.y, 0.0);
    const glm::dvec3 eye(center.x, center.y, kOrthoEyeDistance);
    chain.m_view = Matrix4x4(glm::lookAt(eye, glm::dvec3(center.x, center.y, 0.0), glm::dvec3(0, 1, 0)));
    const double hw = 0.5 * width / pixelsPerUnit;
    const double hh = 0.5 * height / pixelsPerUnit;
    chain.m_projection = Matrix4x4(glm::ortho(-hw, hw, -hh, hh, 0.0, 2.0 * kOrthoEyeDistance));
    return chain;
}

CameraTransformChain CameraTransformChain::perspective(int width, int height, const Point3d& eye, const Point3d& target,
                                                       const Vector3d& up, double fovyDegrees) {
    CameraTransformChain chain;
    chain.m_viewport = Box2d(Point2d(0, 0), Point2d(width, height));
    chain.m_target = target;
    chain.m_view = Matrix4x4(glm::lookAt(static_cast<const glm::dvec3&>(eye), static_cast<const glm::dvec3&>(target),
                                         static_cast<const glm::dvec3&>(up)));
    // Depth precision does not matter to the controls, which draw without a depth test;
    // a wide range keeps everything near the target visible.
    const double distance = glm::length(target - eye);
    chain.m_projection = Matrix4x4(
        glm::perspective(glm::radians(fovyDegrees), double(width) / double(height), distance * 1e-3, distance * 1e3));
    return chain;
}

Matrix4x4 CameraTransformChain::windowMatrix() const {
    const double x0 = m_viewport.min.x, y0 = m_viewport.min.y;
    const double sx = 0.5 * (m_viewport.max.x - x0), sy = 0.5 * (m_viewport.max.y - y0);
    Matrix4x4 w;
    w(0, 0) = sx;
    w(0, 3) = x0 + sx;
    w(1, 1) = -sy;
    w(1, 3) = y0 + sy;
    w(2, 2) = 0.5;
    w(2, 3) = 0.5;
    return w;
}

Matrix4x4 CameraTransformChain::screenProjectionMatrix() const {
    const double x0 = m_viewport.min.x, y0 = m_viewport.min.y;
    const double sx = 0.5 * (m_viewport.max.x - x0), sy = 0.5 * (m_viewport.max.y - y0);
    Matrix4x4 p;
    if (sx == 0.0 || sy == 0.0)
        return p;
    p(0, 0) = 1.0 / sx;
    p(0, 3) = -(x0 + sx) / sx;
    p(1, 1) = -1.0 / sy;
    p(1, 3) = (y0 + sy) / sy;
    return p;
}

bool CameraTransformChain::toWorld(int frame, Matrix4x4& out) const {
    switch (frame) {
        case 1: {
            const Matrix4x4 m = windowMatrix() * m_projection * m_view;
            if (!invertible(m))
                return false;
            out = m.inverse();
            return true;
        }
        case 5:
            out = Matrix4x4();
            return true;
        case 6:
            out = m_model;
            return true;
        default:
            return false;
    }
}

bool CameraTransformChain::fromWorld(int frame, Matrix4x4& out) const {
    switch (frame) {
        case 1:
            out = windowMatrix() * m_projection * m_view;
            return true;
        case 5:
            out = Matrix4x4();
            return true;
        case 6:
            if (!invertible(m_model))
                return false;
            out = m_model.inverse();
            return true;
        default:
            return false;
    }
}

bool CameraTransformChain::compound(int from, int to, Matrix4x4& out) const {
    if (from == to && (from == 1 || from == 5 || from == 6)) {
        out = Matrix4x4();
        return true;
    }
    Matrix4x4 a, b;
    if (from == 6 && to == 1) {
        if (!m_modelToScreenKnown) {
            if (!toWorld(from, a) || !fromWorld(to, b))
                return false;
            m_modelToScreen = b * a;
            m_modelToScreenKnown = true;
        }
        out = m_modelToScreen;
        return true;
    }
    if (!toWorld(from, a) || !fromWorld(to, b))
        return false;
    out = b * a;
    return true;
}

bool CameraTransformChain::compoundMatrix(SourceReferenceFrame_e from, DestinationReferenceFrame_e to,
                                          Matrix4x4& out) const {
    if (ChainObserver::s_current && (from == SourceScreenFrame || to == DestinationScreenFrame))
        ChainObserver::s_current->readsWindow();
    return compound(from, to, out);
}

bool CameraTransformChain::transform(SourceReferenceFrame_e from, DestinationReferenceFrame_e to, const Point3d& in,
                                     Point3d& out) const {
    const bool toScreen = to == DestinationScreenFrame && from != SourceScreenFrame;
    const bool ok = transformPoint(from, to, in, out);
    if (ChainObserver* observer = ChainObserver::s_current) {
        if (toScreen)
            observer->projected(*this, from, in, out, ok);
        else if (from == SourceScreenFrame && to != DestinationScreenFrame)
            observer->readsWindow();
    }
    return ok;
}

bool CameraTransformChain::transformPoint(SourceReferenceFrame_e from, DestinationReferenceFrame_e to,
                                          const Point3d& in, Point3d& out) const {
    Matrix4x4 m;
    if (!compound(from, to, m))
        return false;
    const Point4d h = m * Point4d(in, 1.0);
    // A point in the eye's plane or behind it would land mirrored on the screen.
    const bool toScreen = to == DestinationScreenFrame && from != SourceScreenFrame;
    if (toScreen ? !(h.w > 0.0) : h.w == 0.0)
        return false;
    const glm::dvec3 p = glm::dvec3(h) / h.w;
    if (!finite(p))
        return false;
    out = Point3d(p);
    return true;
}

bool CameraTransformChain::lineOfSight(int to, const Point2d& window, Point3d& a, Point3d& b) const {
    Matrix4x4 m;
    if (!compound(1, to, m))
        return false;
    const Point4d ha = m * Point4d(window.x, window.y, 0.0, 1.0);
    const Point4d hb = m * Point4d(window.x, window.y, 1.0, 1.0);
    if (ha.w == 0.0 || hb.w == 0.0)
        return false;
    a = Point3d(glm::dvec3(ha) / ha.w);
    b = Point3d(glm::dvec3(hb) / hb.w);
    return finite(a) && finite(b);
}

bool CameraTransformChain::transform(SourceReferenceFrame_e from, DestinationReferenceFrame_e to, const Point2d& in,
                                     Point2d& out) const {
    if (from != SourceScreenFrame) {
        Point3d p;
        if (!transform(from, to, Point3d(in.x, in.y, 0.0), p))
            return false;
        out = Point2d(p.x, p.y);
        return true;
    }
    if (to == DestinationScreenFrame) {
        out = in;
        return true;
    }
    if (ChainObserver::s_current)
        ChainObserver::s_current->readsWindow();
    Point3d a, b;
    if (!lineOfSight(to, in, a, b))
        return false;
    // A line of sight (nearly) along the plane meets it nowhere, or anywhere.
    const double dz = b.z - a.z;
    if (std::abs(dz) <= 1e-12 * glm::length(b - a))
        return false;
    const double t = -a.z / dz;
    const Point2d p(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y));
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return false;
    out = p;
    return true;
}

bool CameraTransformChain::transform(SourceReferenceFrame_e from, DestinationReferenceFrame_e to, const Segment2d& in,
                                     Segment2d& out) const {
    Segment2d s;
    if (!transform(from, to, in.a, s.a) || !transform(from, to, in.b, s.b))
        return false;
    out = s;
    return true;
}

bool CameraTransformChain::pointerPosition(const Point2d& window, Point3d& world) const {
    if (ChainObserver::s_current)
        ChainObserver::s_current->readsWindow();
    Point3d a, b;
    if (!lineOfSight(5, window, a, b) || !invertible(m_view))
        return false;
    // The camera looks down its own -Z.
    const Vector3d n = m_view.inverse().transformVector(Vector3d(0, 0, -1)).normalized();
    const glm::dvec3 d = b - a;
    const double den = glm::dot(d, static_cast<const glm::dvec3&>(n));
    if (std::abs(den) <= 1e-12 * glm::length(d))
        return false;
    const double t = glm::dot(m_target - a, static_cast<const glm::dvec3&>(n)) / den;
    const glm::dvec3 p = glm::dvec3(a) + t * d;
    if (!finite(p))
        return false;
    world = Point3d(p);
    return true;
}

PlaneProjection::PlaneProjection(const Matrix4x4& planeToScreen, bool homogeneous)
    : m_matrix(planeToScreen), m_homogeneous(homogeneous) {}

bool PlaneProjection::getProjection(double x, double y, Point2d& out) const {
    const Matrix4x4& m = m_matrix;
    const double w = m_homogeneous ? m(3, 0) * x + m(3, 1) * y + m(3, 3) : 1.0;
    if (w == 0.0)
        return false;
    const Point2d p((m(0, 0) * x + m(0, 1) * y + m(0, 3)) / w, (m(1, 0) * x + m(1, 1) * y + m(1, 3)) / w);
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return false;
    out = p;
    return true;
}

bool PlaneProjection::getInverseProjection(double x, double y, Point2d& out) const {
    // Solve m * (u, v, 0, 1) ~ (x, y) for (u, v): two equations, linear once the divide by
    // w is multiplied out.
    const Matrix4x4& m = m_matrix;
    const double w0 = m_homogeneous ? m(3, 0) : 0.0;
    const double w1 = m_homogeneous ? m(3, 1) : 0.0;
    const double w3 = m_homogeneous ? m(3, 3) : 1.0;
    const double a = m(0, 0) - x * w0, b = m(0, 1) - x * w1, e = x * w3 - m(0, 3);
    const double c = m(1, 0) - y * w0, d = m(1, 1) - y * w1, f = y * w3 - m(1, 3);
    const double det = a * d - b * c;
    // Relative to the terms' size: a plane seen edge-on leaves only rounding noise in det.
    const double largest = std::max({std::abs(a), std::abs(b), std::abs(c), std::abs(d)});
    const double scale = largest * largest;
    if (!(std::abs(det) > 1e-12 * scale))
        return false;
    const Point2d p((e * d - b * f) / det, (a * f - e * c) / det);
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return false;
    // Multiplying out the divide also admits plane points in the eye's plane or behind
    // it, which solve the equations without being seen at (x, y): a plane that holds the
    // eye is seen edge-on, and its only solution is the eye itself.
    if (m_homogeneous) {
        const double w = w0 * p.x + w1 * p.y + w3;
        if (!(w > 1e-12 * (std::abs(w0 * p.x) + std::abs(w1 * p.y) + std::abs(w3))))
            return false;
    }
    out = p;
    return true;
}

}  // namespace Math
