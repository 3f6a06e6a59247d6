#pragma once

#include "host/host_api.h"
#include "host/math/CameraTransformChain.h"

#include <array>

// The surface drawing lands on: the framebuffer bound in the current GL context, whose size
// in pixels the canvas knows. It also remembers the camera chain last loaded into GL, so
// that a binder made on it in the middle of a draw starts from the matrices in force and
// puts them back when its scope ends.
class HOST_API VS_Canvas {
public:
    VS_Canvas(int width, int height) : m_width(width), m_height(height) {}
    VS_Canvas(const VS_Canvas&) = delete;
    VS_Canvas& operator=(const VS_Canvas&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }

    const Math::CameraTransformChain& loadedChain() const { return m_loaded; }
    enum Part : unsigned { Projection = 1, ModelView = 2, Viewport = 4, All = 7 };
    // Makes the chain's matrices GL's projection and model-view matrices and its viewport
    // GL's viewport; with fewer parts, only those, the chain being otherwise the one last
    // loaded. Leaves GL in model-view matrix mode.
    void load(const Math::CameraTransformChain& chain, unsigned parts = All);

    // The GL viewport (x, y, width, height; rows from the bottom) that a chain's viewport
    // gives on a canvas this high.
    static std::array<int, 4> glViewport(const Math::Box2d& viewport, int canvasHeight);

    // While the renderer learns where a node draws rather than drawing it
    // (host/draw/VS_NodeBounds.h), this loads every chain into GL instead, whole.
    class Loader {
    public:
        virtual ~Loader();
        virtual void load(VS_Canvas& canvas, const Math::CameraTransformChain& chain) = 0;
    };
    static Loader* s_loader;

private:
    int m_width;
    int m_height;
    Math::CameraTransformChain m_loaded;
};
