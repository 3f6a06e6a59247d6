#pragma once

// What the drawing tests share: one offscreen GL context per test program, a rig that
// paints on it with an orthographic camera of a known scale, and measurements of the
// pixels drawn.

#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/MO_OGLContext.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/VS_Image.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <algorithm>
#include <climits>
#include <memory>

namespace draw_test {

inline VS_OffscreenContext& gl(int width, int height) {
    static VS_OffscreenContext context(width, height);
    context.resize(width, height);
    return context;
}

inline bool sameRgb(const VS_RGBA& a, const VS_RGBA& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The pixels of one colour (alpha ignored): how many, and the rows and columns they span.
struct Extent {
    int count = 0;
    int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
    int width() const { return count ? maxX - minX + 1 : 0; }
    int height() const { return count ? maxY - minY + 1 : 0; }
};

inline Extent extentOf(const VS_Image& image, const VS_RGBA& colour, int onlyRow = -1, int onlyColumn = -1) {
    Extent e;
    for (int y = 0; y < image.height; ++y) {
        if (onlyRow >= 0 && y != onlyRow)
            continue;
        for (int x = 0; x < image.width; ++x) {
            if ((onlyColumn >= 0 && x != onlyColumn) || !sameRgb(image.pixel(x, y), colour))
                continue;
            ++e.count;
            e.minX = std::min(e.minX, x), e.maxX = std::max(e.maxX, x);
            e.minY = std::min(e.minY, y), e.maxY = std::max(e.maxY, y);
        }
    }
    return e;
}

inline int differingPixels(const VS_Image& a, const VS_Image& b) {
    int n = 0;
    for (size_t i = 0; i < a.rgba.size() && i < b.rgba.size(); i += 4)
        n += !std::equal(&a.rgba[i], &a.rgba[i] + 4, &b.rgba[i]);
    return n;
}

// A canvas of size × size pixels under an orthographic camera looking at `center`, with
// the pass's GL state set and cleared before each paint.
struct Rig {
    static constexpr int kSize = 400;

    explicit Rig(double pixelsPerUnit = 100.0, Math::Point2d center = {0, 0}) {
        gl(kSize, kSize);
        binder.setTransformChain(Math::CameraTransformChain::orthographic(kSize, kSize, center, pixelsPerUnit));
    }

    // Another rig may have loaded its own matrices since: this one's go back into GL.
    void begin(MO_OGLContext::RenderMode mode = MO_OGLContext::NormalRender) {
        binder.setTransformChain(binder.transformChain());
        VS_SceneRenderer::beginPass(mode, background);
    }
    VS_Image read() const { return VS_ReadPixels(kSize, kSize); }

    VS_Image paint(MO_OGLPainter& painter, PaintState state = {},
                   MO_OGLContext::RenderMode mode = MO_OGLContext::NormalRender) {
        begin(mode);
        MO_OGLContext context(mode, scene, binder, MO_FrameKey(1));
        painter.paint(context, state);
        return read();
    }

    SC_SceneCommon scene;
    VS_Canvas canvas{kSize, kSize};
    CC_CameraChainTransformCanvasBinder binder{canvas};
    VS_RGBA background{40, 40, 40, 255};
};

inline std::unique_ptr<MO_OGLPainter> makePainter(const char* type, const MO_PropertyAccessor& properties) {
    rigkit_test::loadPlugin();
    const MO_ComponentData data{properties, {}};
    return std::unique_ptr<MO_OGLPainter>(MO_OGLPainterFactorySingleton().create(type, data));
}

}  // namespace draw_test
