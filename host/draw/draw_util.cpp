#include "host/draw/draw_util.h"

#include <algorithm>
#include <cmath>

namespace vs_detail {

namespace {

bool isLines(GLenum mode) {
    return mode == GL_LINES || mode == GL_LINE_STRIP || mode == GL_LINE_LOOP;
}

// What drawFlat changes, read before and put back after.
struct ArrayState {
    GLboolean vertex, colour, normal, texture;
    GLint vertexSize, vertexType, vertexStride, vertexBuffer;
    GLint colourSize, colourType, colourStride, colourBuffer;
    GLint arrayBuffer;
    GLvoid *vertexPointer = nullptr, *colourPointer = nullptr;

    ArrayState() {
        vertex = glIsEnabled(GL_VERTEX_ARRAY);
        colour = glIsEnabled(GL_COLOR_ARRAY);
        normal = glIsEnabled(GL_NORMAL_ARRAY);
        texture = glIsEnabled(GL_TEXTURE_COORD_ARRAY);
        glGetIntegerv(GL_VERTEX_ARRAY_SIZE, &vertexSize);
        glGetIntegerv(GL_VERTEX_ARRAY_TYPE, &vertexType);
        glGetIntegerv(GL_VERTEX_ARRAY_STRIDE, &vertexStride);
        glGetIntegerv(GL_VERTEX_ARRAY_BUFFER_BINDING, &vertexBuffer);
        glGetPointerv(GL_VERTEX_ARRAY_POINTER, &vertexPointer);
        glGetIntegerv(GL_COLOR_ARRAY_SIZE, &colourSize);
        glGetIntegerv(GL_COLOR_ARRAY_TYPE, &colourType);
        glGetIntegerv(GL_COLOR_ARRAY_STRIDE, &colourStride);
        glGetIntegerv(GL_COLOR_ARRAY_BUFFER_BINDING, &colourBuffer);
        glGetPointerv(GL_COLOR_ARRAY_POINTER, &colourPointer);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    }

    void restore() const {
        // Each saved pointer belongs to the buffer that was bound when it was set.
        glBindBuffer(GL_ARRAY_BUFFER, GLuint(vertexBuffer));
        glVertexPointer(vertexSize, GLenum(vertexType), vertexStride, vertexPointer);
        glBindBuffer(GL_ARRAY_BUFFER, GLuint(colourBuffer));
        glColorPointer(colourSize, GLenum(colourType), colourStride, colourPointer);
        glBindBuffer(GL_ARRAY_BUFFER, GLuint(arrayBuffer));
        (vertex ? glEnableClientState : glDisableClientState)(GL_VERTEX_ARRAY);
        (colour ? glEnableClientState : glDisableClientState)(GL_COLOR_ARRAY);
        (normal ? glEnableClientState : glDisableClientState)(GL_NORMAL_ARRAY);
        (texture ? glEnableClientState : glDisableClientState)(GL_TEXTURE_COORD_ARRAY);
    }
};

thread_local HostLines* t_hostLines = nullptr;

}  // namespace

HostLines* HostLines::current() {
    return t_hostLines;
}

HostLines::Scope::Scope(HostLines& lines) : m_previous(t_hostLines) {
    t_hostLines = &lines;
}

HostLines::Scope::~Scope() {
    t_hostLines = m_previous;
}

void drawFlat(GLenum mode, GLint size, const float* vertices, std::size_t count, const VS_RGBA& colour,
              float lineWidth) {
    if (count == 0)
        return;
    // One colour per vertex; kept between draws so that a frame allocates nothing.
    static_assert(sizeof(VS_RGBA) == 4, "colours are drawn as packed bytes");
    thread_local std::vector<VS_RGBA> colours;
    if (colours.size() < count)
        colours.resize(count);
    std::fill_n(colours.begin(), count, colour);

    const ArrayState saved;
    GLfloat width = lineWidth;
    if (isLines(mode)) {
        glGetFloatv(GL_LINE_WIDTH, &width);
        glLineWidth(lineWidth);
    }
    // A client pointer means an offset while a buffer is bound.
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    // A normal or texture array left on by someone else would light or texture the flat colour.
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(size, GL_FLOAT, 0, vertices);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours.data());
    HostLines* marking = isLines(mode) ? t_hostLines : nullptr;
    if (marking) {
        marking->wide = marking->wide || !(lineWidth <= 1.0f);
        glPassThrough(marking->begin);
    }
    glDrawArrays(mode, 0, GLsizei(count));
    if (marking)
        glPassThrough(marking->end);
    if (isLines(mode))
        glLineWidth(width);
    saved.restore();
}

void drawVertices(GLenum mode, const std::vector<VS_Vector3D>& vertices, const VS_RGBA& colour, float lineWidth) {
    drawFlat(mode, 3, reinterpret_cast<const float*>(vertices.data()), vertices.size(), colour, lineWidth);
}

int circleSegments(double pixelRadius, double chordError) {
    constexpr int kMin = 16, kMax = 1024;
    if (!(pixelRadius > chordError))
        return kMin;
    const double step = std::acos(1.0 - chordError / pixelRadius);
    const double n = std::ceil(M_PI / step);
    return int(std::clamp(n, double(kMin), double(kMax)));
}

}  // namespace vs_detail
