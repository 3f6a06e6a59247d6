#pragma once

#include "host/host_api.h"

// A vertex as OpenGL takes it from a client array: three floats, x, y, z, without gaps, so
// that an array of them can be handed to glVertexPointer as it is.
struct HOST_API VS_Vector3D {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr VS_Vector3D() = default;
    constexpr VS_Vector3D(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    bool operator==(const VS_Vector3D& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const VS_Vector3D& o) const { return !(*this == o); }
};

static_assert(sizeof(VS_Vector3D) == 3 * sizeof(float), "vertices must pack without padding");
