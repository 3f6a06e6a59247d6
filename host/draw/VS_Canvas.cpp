#include "host/draw/VS_Canvas.h"

#include "host/draw/gl.h"

#include <algorithm>
#include <cmath>

void VS_Canvas::load(const Math::CameraTransformChain& chain, unsigned parts) {
    m_loaded = chain;
    if (parts & Projection) {
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(chain.projectionMatrix().data());
    }
    glMatrixMode(GL_MODELVIEW);
    if (parts & ModelView) {
        const Math::Matrix4x4 modelView = chain.viewMatrix() * chain.modelMatrix();
        glLoadMatrixd(modelView.data());
    }
    if (!(parts & Viewport))
        return;
    // Window rows count down from the top; GL's count up from the bottom.
    const Math::Box2d& v = chain.viewport();
    const long x0 = std::lround(v.min.x), x1 = std::lround(v.max.x);
    const long y0 = std::lround(v.min.y), y1 = std::lround(v.max.y);
    glViewport(GLint(x0), GLint(m_height - y1), GLsizei(std::max(0L, x1 - x0)), GLsizei(std::max(0L, y1 - y0)));
}
