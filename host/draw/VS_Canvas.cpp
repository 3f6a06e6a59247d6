#include "host/draw/VS_Canvas.h"

#include "host/draw/gl.h"

#include <algorithm>
#include <cmath>

VS_Canvas::Loader* VS_Canvas::s_loader = nullptr;
VS_Canvas::Loader::~Loader() = default;

void VS_Canvas::load(const Math::CameraTransformChain& chain, unsigned parts) {
    m_loaded = chain;
    if (s_loader) {
        s_loader->load(*this, chain);
        return;
    }
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
    const std::array<int, 4> v = glViewport(chain.viewport(), m_height);
    ::glViewport(v[0], v[1], v[2], v[3]);
}

std::array<int, 4> VS_Canvas::glViewport(const Math::Box2d& v, int canvasHeight) {
    // Window rows count down from the top; GL's count up from the bottom.
    const long x0 = std::lround(v.min.x), x1 = std::lround(v.max.x);
    const long y0 = std::lround(v.min.y), y1 = std::lround(v.max.y);
    return {int(x0), int(canvasHeight - y1), int(std::max(0L, x1 - x0)), int(std::max(0L, y1 - y0))};
}
