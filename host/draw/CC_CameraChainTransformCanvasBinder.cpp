#include "host/draw/CC_CameraChainTransformCanvasBinder.h"

#include "host/draw/VS_Canvas.h"

CC_CameraChainTransformCanvasBinder::CC_CameraChainTransformCanvasBinder(VS_Canvas& canvas)
    : m_canvas(&canvas), m_chain(canvas.loadedChain()) {}

std::unique_ptr<CC_CameraChainTransformCanvasBinder> CC_CameraChainTransformCanvasBinder::create(VS_Canvas* canvas) {
    if (!canvas)
        return nullptr;
    return std::make_unique<CC_CameraChainTransformCanvasBinder>(*canvas);
}

void CC_CameraChainTransformCanvasBinder::load(unsigned parts) {
    m_canvas->load(m_chain, parts);
}

void CC_CameraChainTransformCanvasBinder::setTransformChain(const Math::CameraTransformChain& chain) {
    m_chain = chain;
    load(VS_Canvas::All);
}

void CC_CameraChainTransformCanvasBinder::setModelMatrix(const Math::Matrix4x4& m) {
    m_chain.setModelMatrix(m);
    load(VS_Canvas::ModelView);
}

void CC_CameraChainTransformCanvasBinder::setViewMatrix(const Math::Matrix4x4& m) {
    m_chain.setViewMatrix(m);
    load(VS_Canvas::ModelView);
}

void CC_CameraChainTransformCanvasBinder::setProjectionMatrix(const Math::Matrix4x4& m) {
    m_chain.setProjectionMatrix(m);
    load(VS_Canvas::Projection);
}

void CC_CameraChainTransformCanvasBinder::setViewport(const Math::Box2d& viewport) {
    m_chain.setViewport(viewport);
    load(VS_Canvas::Viewport);
}

void CC_CameraChainTransformCanvasBinder::applyMatrixToModel(const Math::Matrix4x4& m) {
    m_chain.applyMatrixToModel(m);
    load(VS_Canvas::ModelView);
}

void CC_CameraChainTransformCanvasBinder::rotateDegrees(double angle, const Math::Vector3d& axis) {
    Math::Matrix4x4 r;
    r.rotateDegrees(angle, axis);
    applyMatrixToModel(r);
}

CC_CameraChainTransformCanvasBinder::Scope::Scope(CC_CameraChainTransformCanvasBinder& binder)
    : m_binder(binder), m_saved(binder.m_chain) {}

CC_CameraChainTransformCanvasBinder::Scope::~Scope() {
    m_binder.setTransformChain(m_saved);
}
