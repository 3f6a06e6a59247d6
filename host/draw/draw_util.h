#pragma once

// Helpers shared by the host's drawing classes; not part of the host's interface.

#include "host/base/VS_RGBA.h"
#include "host/draw/VS_Vector3D.h"
#include "host/draw/gl.h"

#include <cstddef>
#include <vector>

namespace vs_detail {

// Draws count vertices of `size` floats each (2 or 3) in one flat colour, from client
// arrays, and leaves GL's client arrays, vertex and colour pointers, current colour and line
// width as it found them. The colour goes in as a colour array, not as GL's current
// colour: on llvmpipe a change of current colour between draws (like a change of line
// width) makes the next draw copy the rasteriser's whole fragment state, about 33 KB,
// which cost more than a small draw itself. For the same reason the line width is only
// set for lines, and no attribute stack is pushed.
void drawFlat(GLenum mode, GLint size, const float* vertices, std::size_t count, const VS_RGBA& colour,
              float lineWidth = 1.0f);

// While a node's bound is learnt from GL's feedback, which gives where lines go but not
// how wide they are, drawFlat marks its lines with pass-through values before and after,
// and notes a line wider than one pixel.
struct HostLines {
    float begin, end;
    bool wide;

    static HostLines* current();
    class Scope {
    public:
        explicit Scope(HostLines& lines);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        HostLines* m_previous;
    };
};

// drawFlat of the vertices. Each primitive draws in one call, so translucent colours never
// cover a pixel twice.
void drawVertices(GLenum mode, const std::vector<VS_Vector3D>& vertices, const VS_RGBA& colour, float lineWidth = 1.0f);

// How many segments make a circle of this radius in pixels look round: no chord strays
// further than chordError pixels from the arc.
int circleSegments(double pixelRadius, double chordError = 0.25);

}  // namespace vs_detail
