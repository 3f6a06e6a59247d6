#pragma once

// Helpers shared by the host's drawing classes; not part of the host's interface.

#include "host/draw/VS_RGBA.h"
#include "host/draw/VS_Vector3D.h"
#include "host/draw/gl.h"

#include <vector>

namespace vs_detail {

// Draws the vertices with a client array in one flat colour and leaves GL's current
// colour, line width and client arrays as it found them. Each primitive draws in one
// call, so translucent colours never cover a pixel twice.
void drawVertices(GLenum mode, const std::vector<VS_Vector3D>& vertices, const VS_RGBA& colour, float lineWidth = 1.0f);

// How many segments make a circle of this radius in pixels look round: the chord never
// strays more than a quarter of a pixel from the arc.
int circleSegments(double pixelRadius);

}  // namespace vs_detail
