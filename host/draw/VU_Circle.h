#pragma once

#include "host/base/VS_RGBA.h"
#include "host/draw/VS_Vector3D.h"
#include "host/host_api.h"

class VS_Canvas;

// Circles about an axis, drawn flat with the matrices in force on the canvas (in its
// drawing frame, or in pixels inside a VU_ReferentialScope of the screen frame). The circle
// lies in the plane through `centre` perpendicular to `normal`. The integer `n` is a level
// of detail: the whole circle is made of 4 × 2^n segments (128 for 5). Angles in that
// plane are measured from the direction u to v, where u is the normalised Y × normal
// (Z × normal when the normal runs along Y) and v = normal × u; for the normal +Z they are
// +X and +Y. A zero normal draws nothing.
class HOST_API VU_Circle {
public:
    // A band of the given width centred on the radius (from radius − width/2, at least 0,
    // to radius + width/2).
    static void Draw(VS_Canvas& canvas, const VS_Vector3D& centre, const VS_Vector3D& normal, double radius, int n,
                     float width, const VS_RGBA& colour);
    // An eighth of the band, centred on `angle` (radians), with the same number of
    // segments as the whole circle.
    static void DrawArc(VS_Canvas& canvas, const VS_Vector3D& centre, const VS_Vector3D& normal, double radius, int n,
                        float width, const VS_RGBA& colour, double angle);
    // The circle as a line one pixel wide.
    static void LineDraw(VS_Canvas& canvas, const VS_Vector3D& centre, const VS_Vector3D& normal, double radius, int n,
                         const VS_RGBA& colour);

    static constexpr double kArcSpan = 0.25 * 3.14159265358979323846;
};
