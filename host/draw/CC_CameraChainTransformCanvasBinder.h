#pragma once

#include "host/host_api.h"
#include "host/math/CameraTransformChain.h"

#include <memory>

class VS_Canvas;

// The model, view and projection matrices and the viewport that drawing on a canvas uses.
// Every change is loaded into GL at once, so whatever draws next (the host's drawing
// classes or a painter's own GL calls) sees it.
class HOST_API CC_CameraChainTransformCanvasBinder {
public:
    // Starts from the chain the canvas last loaded.
    explicit CC_CameraChainTransformCanvasBinder(VS_Canvas& canvas);
    static std::unique_ptr<CC_CameraChainTransformCanvasBinder> create(VS_Canvas* canvas);
    CC_CameraChainTransformCanvasBinder(const CC_CameraChainTransformCanvasBinder&) = delete;
    CC_CameraChainTransformCanvasBinder& operator=(const CC_CameraChainTransformCanvasBinder&) = delete;

    VS_Canvas* canvas() const { return m_canvas; }
    const Math::CameraTransformChain& transformChain() const { return m_chain; }
    const Math::Matrix4x4& modelMatrix() const { return m_chain.modelMatrix(); }
    const Math::Matrix4x4& viewMatrix() const { return m_chain.viewMatrix(); }
    const Math::Matrix4x4& projectionMatrix() const { return m_chain.projectionMatrix(); }
    const Math::Box2d& viewport() const { return m_chain.viewport(); }

    // The whole camera at once: matrices, viewport and target.
    void setTransformChain(const Math::CameraTransformChain& chain);
    void setModelMatrix(const Math::Matrix4x4& m);
    void setViewMatrix(const Math::Matrix4x4& m);
    void setProjectionMatrix(const Math::Matrix4x4& m);
    void setViewport(const Math::Box2d& viewport);
    // Both multiply the model matrix on the right: they act on drawing coordinates first.
    void applyMatrixToModel(const Math::Matrix4x4& m);
    void rotateDegrees(double angle, const Math::Vector3d& axis);

    // Saves the binder's matrices and viewport; puts them back, into GL too, when it ends.
    class HOST_API Scope {
    public:
        explicit Scope(CC_CameraChainTransformCanvasBinder& binder);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CC_CameraChainTransformCanvasBinder& m_binder;
        Math::CameraTransformChain m_saved;
    };

private:
    // Loads only the parts a change touched: each load makes GL revalidate what it names.
    void load(unsigned parts);

    VS_Canvas* m_canvas;
    Math::CameraTransformChain m_chain;
};
