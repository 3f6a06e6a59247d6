#include "host/draw/draw_util.h"

#include <algorithm>
#include <cmath>

namespace vs_detail {

void drawVertices(GLenum mode, const std::vector<VS_Vector3D>& vertices, const VS_RGBA& colour, float lineWidth) {
    if (vertices.empty())
        return;
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glLineWidth(lineWidth);
    glColor4ub(colour.r, colour.g, colour.b, colour.a);
    // A colour or texture array left on by someone else would override the flat colour.
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    glDrawArrays(mode, 0, GLsizei(vertices.size()));
    glPopClientAttrib();
    glPopAttrib();
}

int circleSegments(double pixelRadius) {
    constexpr int kMin = 16, kMax = 1024;
    if (!(pixelRadius > 0.25))
        return kMin;
    const double step = std::acos(1.0 - 0.25 / pixelRadius);
    const double n = std::ceil(M_PI / step);
    return int(std::clamp(n, double(kMin), double(kMax)));
}

}  // namespace vs_detail
