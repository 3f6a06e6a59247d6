#pragma once

// What the drawing tests share: one offscreen GL context per test program, a rig that
// paints on it with an orthographic camera of a known scale, and measurements of the
// pixels drawn.

#include "host/base/UT_DPI.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/MO_OGLContext.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/VS_Image.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/draw/gl.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "tests/support/gl_context.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace draw_test {

using rigkit_test::gl;

inline bool sameRgb(const VS_RGBA& a, const VS_RGBA& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The pixels of one colour (alpha ignored): how many, and the rows and columns they span.
struct Extent {
    int count = 0;
    int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
    int width() const { return count ? maxX - minX + 1 : 0; }
    int height() const { return count ? maxY - minY + 1 : 0; }
    // The centre in window coordinates, pixel i covering [i, i + 1).
    Math::Point2d centre() const { return {(minX + maxX + 1) * 0.5, (minY + maxY + 1) * 0.5}; }
};

// `unlike`: the pixels of any other colour instead.
inline Extent extentOf(const VS_Image& image, const VS_RGBA& colour, int onlyRow = -1, int onlyColumn = -1,
                       bool unlike = false) {
    Extent e;
    for (int y = 0; y < image.height; ++y) {
        if (onlyRow >= 0 && y != onlyRow)
            continue;
        for (int x = 0; x < image.width; ++x) {
            if ((onlyColumn >= 0 && x != onlyColumn) || sameRgb(image.pixel(x, y), colour) == unlike)
                continue;
            ++e.count;
            e.minX = std::min(e.minX, x), e.maxX = std::max(e.maxX, x);
            e.minY = std::min(e.minY, y), e.maxY = std::max(e.maxY, y);
        }
    }
    return e;
}

inline void expectBox(const Extent& e, int minX, int maxX, int minY, int maxY, int tolerance = 0) {
    EXPECT_NEAR(e.minX, minX, tolerance);
    EXPECT_NEAR(e.maxX, maxX, tolerance);
    EXPECT_NEAR(e.minY, minY, tolerance);
    EXPECT_NEAR(e.maxY, maxY, tolerance);
}

// Within half a pixel, as a shape drawn about a point is when its edges are right.
inline void expectCentredAt(const Extent& e, double x, double y) {
    EXPECT_NEAR(e.centre().x, x, 0.5);
    EXPECT_NEAR(e.centre().y, y, 0.5);
}

inline void expectNearRgb(const VS_RGBA& got, const VS_RGBA& want, int tolerance = 1) {
    EXPECT_LE(std::abs(got.r - want.r), tolerance) << int(got.r) << " " << int(want.r);
    EXPECT_LE(std::abs(got.g - want.g), tolerance) << int(got.g) << " " << int(want.g);
    EXPECT_LE(std::abs(got.b - want.b), tolerance) << int(got.b) << " " << int(want.b);
}

// Nothing but `colour` on the pass's background (the corner pixel).
inline bool onlyColour(const VS_Image& image, const VS_RGBA& colour) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (!sameRgb(image.pixel(x, y), colour) && !sameRgb(image.pixel(x, y), image.pixel(0, 0)))
                return false;
    return true;
}

inline Math::Matrix4x4 turned(double degrees, Math::Vector3d axis) {
    Math::Matrix4x4 m;
    m.rotateDegrees(degrees, axis);
    return m;
}

inline GLvoid* glPointer(GLenum what) {
    GLvoid* v = nullptr;
    glGetPointerv(what, &v);
    return v;
}

// ---- GL state, read back as named groups of numbers --------------------------------------

// Each query is read with glGetDoublev into room for a matrix filled with NaN, which keeps
// the values GL writes; the array pointers are read with glGetPointerv.
inline const std::vector<std::pair<std::string, std::vector<GLenum>>> kGlState = {
    // clang-format off
    {"capabilities",
     {GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING, GL_TEXTURE_2D, GL_SCISSOR_TEST, GL_ALPHA_TEST,
      GL_STENCIL_TEST, GL_LINE_SMOOTH, GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_MULTISAMPLE, GL_COLOR_LOGIC_OP,
      GL_DITHER, GL_LINE_STIPPLE, GL_POLYGON_STIPPLE, GL_POLYGON_OFFSET_FILL, GL_NORMALIZE, GL_COLOR_MATERIAL, GL_FOG}},
    // clang-format on
    {"blend function",
     {GL_BLEND_SRC_RGB, GL_BLEND_DST_RGB, GL_BLEND_SRC_ALPHA, GL_BLEND_DST_ALPHA, GL_BLEND_EQUATION_RGB,
      GL_BLEND_EQUATION_ALPHA}},
    {"current colour", {GL_CURRENT_COLOR}},
    {"current texture coordinates", {GL_CURRENT_TEXTURE_COORDS}},
    {"line width and point size", {GL_LINE_WIDTH, GL_POINT_SIZE}},
    {"polygons", {GL_POLYGON_MODE, GL_CULL_FACE_MODE, GL_FRONT_FACE, GL_SHADE_MODEL}},
    {"depth and masks", {GL_DEPTH_FUNC, GL_DEPTH_WRITEMASK, GL_COLOR_WRITEMASK, GL_COLOR_CLEAR_VALUE}},
    {"viewport and scissor box", {GL_VIEWPORT, GL_SCISSOR_BOX}},
    {"matrix mode and stacks",
     {GL_MATRIX_MODE, GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH, GL_TEXTURE_STACK_DEPTH,
      GL_ATTRIB_STACK_DEPTH, GL_CLIENT_ATTRIB_STACK_DEPTH}},
    {"modelview matrix", {GL_MODELVIEW_MATRIX}},
    {"projection matrix", {GL_PROJECTION_MATRIX}},
    {"texture matrix", {GL_TEXTURE_MATRIX}},
    {"client arrays", {GL_COLOR_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY}},
    {"vertex array", {GL_VERTEX_ARRAY}},
    {"vertex array pointer",
     {GL_VERTEX_ARRAY_SIZE, GL_VERTEX_ARRAY_TYPE, GL_VERTEX_ARRAY_STRIDE, GL_VERTEX_ARRAY_BUFFER_BINDING,
      GL_VERTEX_ARRAY_POINTER}},
    {"colour array pointer",
     {GL_COLOR_ARRAY_SIZE, GL_COLOR_ARRAY_TYPE, GL_COLOR_ARRAY_STRIDE, GL_COLOR_ARRAY_BUFFER_BINDING,
      GL_COLOR_ARRAY_POINTER}},
    {"bindings",
     {GL_ARRAY_BUFFER_BINDING, GL_TEXTURE_BINDING_2D, GL_CURRENT_PROGRAM, GL_DRAW_FRAMEBUFFER_BINDING,
      GL_UNPACK_ALIGNMENT, GL_PACK_ALIGNMENT}},
    {"render mode", {GL_RENDER_MODE}},
};

using GlState = std::vector<std::vector<double>>;

inline GlState readGlState() {
    GlState state;
    for (const auto& [name, queries] : kGlState) {
        std::vector<double>& values = state.emplace_back();
        for (GLenum what : queries) {
            std::array<GLdouble, 16> v;
            v.fill(std::nan(""));
            if (what == GL_VERTEX_ARRAY_POINTER || what == GL_COLOR_ARRAY_POINTER)
                v[0] = double(reinterpret_cast<std::uintptr_t>(glPointer(what)));
            else
                glGetDoublev(what, v.data());
            values.insert(values.end(), v.begin(),
                          std::find_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }));
        }
    }
    // Last, so that it also tells of the reads.
    state.push_back({double(glGetError())});
    return state;
}

// GL keeps matrices in single precision, and a turn undone is back only up to rounding.
inline bool same(const std::string& name, const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size())
        return false;
    const bool matrix = name.find("matrix") != std::string::npos;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (matrix ? std::abs(a[i] - b[i]) > 1e-5 * std::max(1.0, std::abs(a[i])) : a[i] != b[i])
            return false;
    return true;
}

inline std::string print(const std::vector<double>& values) {
    std::string out;
    for (double v : values)
        out += (out.empty() ? "" : " ") + std::to_string(v);
    return out;
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
    // Zoomed by `pixelsPerUnit` with the scene's units scaled per axis.
    Rig(double pixelsPerUnit, double unitX, double unitY, double unitZ) : Rig(pixelsPerUnit) {
        scene.metrics().setUnitScales(unitX, unitY, unitZ);
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

inline VS_View orthoView(const VS_RGBA& background) {
    VS_View v;
    v.camera = Math::CameraTransformChain::orthographic(Rig::kSize, Rig::kSize, {0, 0}, 100);
    v.background = background;
    return v;
}

// Several properties at once; colours and points go in as their lists of numbers.
using PropertyList = std::initializer_list<std::pair<QString, MO_PropertyValue>>;
inline void setAll(MO_PropertyBag& bag, PropertyList values) {
    for (const auto& [key, value] : values)
        bag.set(key, value);
}
inline std::vector<double> rgba(const VS_RGBA& c) {
    return {double(c.r), double(c.g), double(c.b), double(c.a)};
}

const VS_RGBA kPick(1, 2, 3, 255);

// Painters built from `properties`, painted on the rig as selected or not, or picked in kPick.
struct PainterTest : ::testing::Test {
    // Tests that change the screen's scale need not put it back.
    void TearDown() override { UT_DPI::s_dpiScale = 1.0f; }

    std::unique_ptr<MO_OGLPainter> make(const char* type, std::vector<AT_Attr*> attributes = {}) {
        rigkit_test::loadPlugin();
        std::unique_ptr<MO_OGLPainter> painter(
            MO_OGLPainterFactorySingleton().create(type, MO_ComponentData{properties, std::move(attributes)}));
        EXPECT_TRUE(painter) << type;
        return painter;
    }
    static PaintState state(std::int32_t selection) {
        PaintState s;
        s.selection = selection;
        s.pickColor = kPick;
        return s;
    }
    VS_Image pick(MO_OGLPainter& painter, std::int32_t selection = 1) {
        return rig.paint(painter, state(selection), MO_OGLContext::PickingRender);
    }
    static void update(MO_OGLPainter& painter, const MO_PropertyAccessor& changed) {
        dynamic_cast<MO_PropertyChangeListener&>(painter).update(changed);
    }
    void set(PropertyList values) { setAll(properties, values); }

    Rig rig;
    MO_PropertyBag properties;
};

}  // namespace draw_test
