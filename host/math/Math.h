#pragma once

// Geometry types of the host, in double precision on GLM. Points and vectors are distinct
// types so that signatures say which one they want, but both keep GLM's arithmetic: any
// GLM result converts back implicitly.

#include "host/host_api.h"

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

namespace Math {

struct HOST_API Vector2d : glm::dvec2 {
    using Base = glm::dvec2;
    Vector2d() : Base(0.0) {}
    Vector2d(double x_, double y_) : Base(x_, y_) {}
    Vector2d(const Base& b) : Base(b) {}
    double length() const { return glm::length(static_cast<const Base&>(*this)); }
};

struct HOST_API Point2d : glm::dvec2 {
    using Base = glm::dvec2;
    Point2d() : Base(0.0) {}
    Point2d(double x_, double y_) : Base(x_, y_) {}
    Point2d(const Base& b) : Base(b) {}
    // a at t = 0, b at t = 1; t outside [0, 1] extrapolates along the line.
    static Point2d Interpolate(double t, const Point2d& a, const Point2d& b) {
        return Base(a) + t * (Base(b) - Base(a));
    }
    static double GetDistance(const Point2d& a, const Point2d& b) { return glm::distance(Base(a), Base(b)); }
};

struct HOST_API Vector3d : glm::dvec3 {
    using Base = glm::dvec3;
    Vector3d() : Base(0.0) {}
    Vector3d(double x_, double y_, double z_) : Base(x_, y_, z_) {}
    Vector3d(const Base& b) : Base(b) {}
    double length() const { return glm::length(static_cast<const Base&>(*this)); }
    // A zero vector has no direction: it stays zero rather than becoming NaN, so callers
    // that normalise a degenerate input keep finite values.
    Vector3d& normalize();
    Vector3d normalized() const { return Vector3d(*this).normalize(); }
    Vector3d cross(const Vector3d& o) const { return glm::cross(static_cast<const Base&>(*this), o); }
    double dot(const Vector3d& o) const { return glm::dot(static_cast<const Base&>(*this), o); }
};

struct HOST_API Point3d : glm::dvec3 {
    using Base = glm::dvec3;
    Point3d() : Base(0.0) {}
    Point3d(double x_, double y_, double z_) : Base(x_, y_, z_) {}
    Point3d(const Base& b) : Base(b) {}
};

struct HOST_API Point4d : glm::dvec4 {
    using Base = glm::dvec4;
    Point4d() : Base(0.0) {}
    Point4d(double x_, double y_, double z_, double w_) : Base(x_, y_, z_, w_) {}
    Point4d(const Base& b) : Base(b) {}
    explicit Point4d(const Point3d& p, double w_ = 1.0) : Base(p.x, p.y, p.z, w_) {}
    // The first three components as they are (no division by w).
    Point3d toPoint3d() const { return Point3d(x, y, z); }
    // The first two, likewise: a direction (w = 0) keeps its x and y.
    Point2d toPoint2d() const { return Point2d(x, y); }
};

// Three Euler angles in degrees, one per axis.
struct HOST_API Angle3d {
    double x = 0.0, y = 0.0, z = 0.0;
    Angle3d() = default;
    Angle3d(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
    bool operator==(const Angle3d& o) const { return x == o.x && y == o.y && z == o.z; }
    Angle3d operator+(const Angle3d& o) const { return Angle3d(x + o.x, y + o.y, z + o.z); }
    Angle3d operator-(const Angle3d& o) const { return Angle3d(x - o.x, y - o.y, z - o.z); }
};

struct HOST_API Box2d {
    Point2d min, max;
    Box2d() = default;
    Box2d(const Point2d& a, const Point2d& b) : min(a), max(b) {}
    // The empty box at one point, to be widened with Enlarge.
    explicit Box2d(const Point2d& p) : min(p), max(p) {}
    // Widens the box by dx on the left and on the right, dy at the bottom and at the top.
    void Enlarge(double dx, double dy) {
        min -= Point2d::Base(dx, dy);
        max += Point2d::Base(dx, dy);
    }
    // The corners in either order: the box keeps the smaller coordinates as its minimum.
    void SetPoints(const Point2d& a, const Point2d& b) {
        min = Point2d(a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y);
        max = Point2d(a.x < b.x ? b.x : a.x, a.y < b.y ? b.y : a.y);
    }
};

struct HOST_API Segment2d {
    Point2d a, b;
    Segment2d() = default;
    Segment2d(const Point2d& a_, const Point2d& b_) : a(a_), b(b_) {}
};

// A 4x4 matrix acting on column vectors. The in-place operations multiply on the right,
// so the operation applied last is the first to act on a point.
class HOST_API Matrix4x4 {
public:
    Matrix4x4() : m_m(1.0) {}
    explicit Matrix4x4(const glm::dmat4& m) : m_m(m) {}

    static Matrix4x4 identity() { return Matrix4x4(); }

    // Element at (row, column).
    double operator()(int row, int col) const { return m_m[col][row]; }
    double& operator()(int row, int col) { return m_m[col][row]; }

    Matrix4x4& translate(double x, double y, double z);
    Matrix4x4& scale(double x, double y, double z);
    Matrix4x4& rotateRadians(double angle, const Vector3d& axis);
    Matrix4x4& rotateDegrees(double angle, const Vector3d& axis);
    // The orthographic projection of the box [left, right] × [bottom, top] × [−near, −far]
    // (glOrtho's), multiplied on the right like the operations above.
    Matrix4x4& orthogonalProject(double left, double right, double bottom, double top, double nearZ, double farZ);

    Matrix4x4 inverse() const { return Matrix4x4(glm::inverse(m_m)); }
    Matrix4x4 transpose() const { return Matrix4x4(glm::transpose(m_m)); }
    bool isIdentity(double tolerance = 0.0) const;

    Matrix4x4 operator*(const Matrix4x4& o) const { return Matrix4x4(m_m * o.m_m); }
    Matrix4x4& operator*=(const Matrix4x4& o) {
        m_m = m_m * o.m_m;
        return *this;
    }
    Point4d operator*(const Point4d& p) const { return Point4d(m_m * static_cast<const glm::dvec4&>(p)); }
    // A point carries w = 1 and is divided back by the resulting w.
    Point3d transformPoint(const Point3d& p) const;
    // A vector carries w = 0: translation does not move it.
    Vector3d transformVector(const Vector3d& v) const;

    bool operator==(const Matrix4x4& o) const { return m_m == o.m_m; }
    bool operator!=(const Matrix4x4& o) const { return !(*this == o); }

    const glm::dmat4& glm() const { return m_m; }
    // Column-major, as OpenGL expects it.
    const double* data() const { return &m_m[0][0]; }

private:
    glm::dmat4 m_m;
};

// A rotation. Euler angles are in degrees and compose as R = Rz * Ry * Rx: X turns first,
// then Y, then Z (a point is turned about X first).
class HOST_API Quat {
public:
    Quat() : m_q(1.0, 0.0, 0.0, 0.0) {}
    explicit Quat(const glm::dquat& q) : m_q(q) {}
    Quat(double w, double x, double y, double z) : m_q(w, x, y, z) {}
    // The shortest rotation that takes direction `from` onto direction `to`.
    Quat(const Vector3d& from, const Vector3d& to);

    // `degrees` true: angles in degrees (the host's unit); false: in radians.
    void setEuler(const Angle3d& angles, bool degrees);
    Angle3d euler(bool degrees) const;
    void euler(Angle3d& angles, bool degrees) const { angles = euler(degrees); }
    void setRotAxis(double angleRadians, const Vector3d& axis);
    // Angle in radians in [0, pi] and unit axis. Returns false for the identity, where the
    // axis is undefined: the angle is then 0 and the axis is left as given.
    bool rotAxis(double& angleRadians, Vector3d& axis) const;

    Quat operator*(const Quat& o) const { return Quat(m_q * o.m_q); }
    Vector3d operator*(const Vector3d& v) const { return Vector3d(m_q * static_cast<const glm::dvec3&>(v)); }
    Quat inverse() const { return Quat(glm::inverse(m_q)); }
    Matrix4x4 toMatrix() const { return Matrix4x4(glm::mat4_cast(m_q)); }

    double w() const { return m_q.w; }
    double x() const { return m_q.x; }
    double y() const { return m_q.y; }
    double z() const { return m_q.z; }
    const glm::dquat& glm() const { return m_q; }

private:
    glm::dquat m_q;
};

}  // namespace Math
