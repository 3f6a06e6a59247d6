#include "host/draw/VU_Sphere.h"

#include "host/draw/draw_util.h"

#include <algorithm>
#include <cmath>

VU_Sphere::VU_Sphere(float radius, int slices, int stacks) : m_radius(radius) {
    slices = std::max(3, slices);
    stacks = std::max(2, stacks);
    const auto point = [&](int slice, int stack) {
        const double theta = 2.0 * M_PI * slice / slices;  // around Z
        const double phi = M_PI * stack / stacks;          // from +Z down to -Z
        return VS_Vector3D(float(std::sin(phi) * std::cos(theta)), float(std::sin(phi) * std::sin(theta)),
                           float(std::cos(phi)));
    };
    m_unit.reserve(size_t(6) * slices * stacks);
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            const VS_Vector3D a = point(j, i), b = point(j, i + 1), c = point(j + 1, i + 1), d = point(j + 1, i);
            m_unit.insert(m_unit.end(), {a, b, c, a, c, d});
        }
    }
}

void VU_Sphere::draw(const VS_RGBA& colour) const {
    if (!(m_radius > 0.0f) || !std::isfinite(m_radius))
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_TRANSFORM_BIT);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glScalef(m_radius, m_radius, m_radius);
    vs_detail::drawVertices(GL_TRIANGLES, m_unit, colour);
    glPopMatrix();
    glPopAttrib();
}
