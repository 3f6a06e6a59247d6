#pragma once

#include "host/base/VS_RGBA.h"
#include "host/draw/VS_Vector3D.h"
#include "host/host_api.h"

#include <vector>

// A solid sphere about the drawing frame's origin, poles on Z. Its tessellation is built
// once; a change of radius only rescales it at the next draw.
class HOST_API VU_Sphere {
public:
    VU_Sphere(float radius, int slices, int stacks);

    void setRadius(float radius) { m_radius = radius; }
    float radius() const { return m_radius; }
    // Flat, in the colour; only the faces turned to the viewer, so that a translucent
    // sphere covers each pixel of its outline once.
    void draw(const VS_RGBA& colour) const;

private:
    float m_radius;
    // Triangles of the unit sphere, counter-clockwise seen from outside.
    std::vector<VS_Vector3D> m_unit;
};
