#include "host/math/Math.h"

#include <glm/gtc/matrix_transform.hpp>
#define GLM_ENABLE_EXPERIMENTAL
#include <glm/gtx/quaternion.hpp>

#include <algorithm>

#include <cmath>

namespace Math {

Vector3d& Vector3d::normalize() {
    const double len = length();
    if (len > 0.0) {
        x /= len;
        y /= len;
        z /= len;
    }
    return *this;
}

Matrix4x4& Matrix4x4::translate(double x, double y, double z) {
    m_m = glm::translate(m_m, glm::dvec3(x, y, z));
    return *this;
}

Matrix4x4& Matrix4x4::scale(double x, double y, double z) {
    m_m = glm::scale(m_m, glm::dvec3(x, y, z));
    return *this;
}

Matrix4x4& Matrix4x4::orthogonalProject(double left, double right, double bottom, double top, double nearZ,
                                        double farZ) {
    m_m = m_m * glm::ortho(left, right, bottom, top, nearZ, farZ);
    return *this;
}

Matrix4x4& Matrix4x4::rotateRadians(double angle, const Vector3d& axis) {
    // glm::rotate normalises the axis; a zero axis would give NaNs, and a turn about no
    // axis is no turn.
    if (axis.length() == 0.0)
        return *this;
    m_m = glm::rotate(m_m, angle, static_cast<const glm::dvec3&>(axis));
    return *this;
}

Matrix4x4& Matrix4x4::rotateDegrees(double angle, const Vector3d& axis) {
    return rotateRadians(glm::radians(angle), axis);
}

bool Matrix4x4::isIdentity(double tolerance) const {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            if (std::abs(m_m[c][r] - (r == c ? 1.0 : 0.0)) > tolerance)
                return false;
    return true;
}

Point3d Matrix4x4::transformPoint(const Point3d& p) const {
    const glm::dvec4 h = m_m * glm::dvec4(p, 1.0);
    if (h.w == 0.0 || h.w == 1.0)
        return Point3d(h.x, h.y, h.z);
    return Point3d(h.x / h.w, h.y / h.w, h.z / h.w);
}

Vector3d Matrix4x4::transformVector(const Vector3d& v) const {
    return Vector3d(glm::dvec3(m_m * glm::dvec4(v, 0.0)));
}

Quat::Quat(const Vector3d& from, const Vector3d& to) {
    const Vector3d a = from.normalized();
    const Vector3d b = to.normalized();
    if (a.length() == 0.0 || b.length() == 0.0) {
        m_q = glm::dquat(1.0, 0.0, 0.0, 0.0);
        return;
    }
    m_q = glm::rotation(static_cast<const glm::dvec3&>(a), static_cast<const glm::dvec3&>(b));
}

void Quat::setEuler(const Angle3d& angles, bool degrees) {
    const double k = degrees ? M_PI / 180.0 : 1.0;
    const glm::dquat qx = glm::angleAxis(angles.x * k, glm::dvec3(1, 0, 0));
    const glm::dquat qy = glm::angleAxis(angles.y * k, glm::dvec3(0, 1, 0));
    const glm::dquat qz = glm::angleAxis(angles.z * k, glm::dvec3(0, 0, 1));
    m_q = qz * qy * qx;
}

Angle3d Quat::euler(bool degrees) const {
    // Inverse of R = Rz * Ry * Rx read off the rotation matrix.
    const glm::dmat3 r = glm::mat3_cast(m_q);
    // r[col][row]
    const double r20 = r[0][2], r21 = r[1][2], r22 = r[2][2], r10 = r[0][1], r00 = r[0][0];
    const double sy = std::clamp(-r20, -1.0, 1.0);
    double x, y, z;
    y = std::asin(sy);
    if (std::abs(sy) < 1.0 - 1e-12) {
        x = std::atan2(r21, r22);
        z = std::atan2(r10, r00);
    } else {
        // Gimbal lock: only x - z (or x + z) is defined; put it all in x.
        z = 0.0;
        x = std::atan2(-r[2][1], r[1][1]);
    }
    const double k = degrees ? 180.0 / M_PI : 1.0;
    return Angle3d(x * k, y * k, z * k);
}

void Quat::setRotAxis(double angleRadians, const Vector3d& axis) {
    const Vector3d n = axis.normalized();
    if (n.length() == 0.0) {
        m_q = glm::dquat(1.0, 0.0, 0.0, 0.0);
        return;
    }
    m_q = glm::angleAxis(angleRadians, static_cast<const glm::dvec3&>(n));
}

bool Quat::rotAxis(double& angleRadians, Vector3d& axis) const {
    glm::dquat q = glm::normalize(m_q);
    if (q.w < 0.0)
        q = -q;  // same rotation; keeps the angle within [0, pi]
    const double s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    if (s == 0.0 || !std::isfinite(s)) {
        angleRadians = 0.0;
        return false;
    }
    angleRadians = 2.0 * std::atan2(s, q.w);
    axis = Vector3d(q.x / s, q.y / s, q.z / s);
    return true;
}

}  // namespace Math
