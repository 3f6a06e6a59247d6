// How much a painter's paint costs over the drawing it issues. Each painter is timed
// through the factory-made object, as the host calls it, and against the same drawing
// issued directly: the arrows' and the debugger's GL calls on vertex arrays built once
// (the axis turn done by glRotated), the others' host primitives (painter shapes, rings,
// the sphere, a label's kept art) called without the painter around them.
//
// PAINT_BENCH_CHECK=1 also compares each painter's first draw with its bare drawing's,
// pixel for pixel, prints the outcome per painter and exits 1 on any difference.
//
// Both sides only submit work; llvmpipe rasterises on its own threads. A glFinish every
// kDrainEvery draws keeps the command queue bounded, on both sides alike. The table at the
// end gives the medians of wall time and of the calling thread's CPU time, and their
// ratios.
//
// Run: build/default/bin/paint_bench [--benchmark_repetitions=N] [benchmark flags]
// (9 repetitions, aggregates only, unless given). The program restarts itself once with
// glibc's malloc trimming and mmap thresholds fixed, which otherwise make llvmpipe's
// timings swing from run to run.

#include "bench/bench_support.h"
#include "bench/callgrind_marks.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/MO_OGLContext.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/draw/VS_Vector3D.h"
#include "host/draw/VU_Circle.h"
#include "host/base/UT_DPI.h"
#include "host/base/UT_String.h"
#include "host/draw/VU_Painter.h"
#include "host/draw/VU_Sphere.h"
#include "host/draw/gl.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "host/text/CelAlgo.h"
#include "host/text/FM_FontManager.h"
#include "host/text/GR_VectorArt.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// A small view keeps rasterisation, which llvmpipe does on its own threads, from
// drowning the submission cost that the painters add to.
constexpr int kSize = 64;
constexpr double kPixelsPerUnit = 16.0;
constexpr int kDrainEvery = 256;
// Every painter the plug-in registers is timed; one without a bare drawing below has
// nothing to be compared with, which run_bench.py reports as a missing row.
const std::vector<std::string>& paintedTypes() {
    static const std::vector<std::string> types = [] {
        std::vector<std::string> out;
        for (const QString& name : MO_OGLPainterFactorySingleton().names())
            out.push_back(name.toStdString());
        return out;
    }();
    return types;
}

// The drawing set-up the host would have for one view: a context, an orthographic
// camera, a scene with default units.
struct View {
    VS_OffscreenContext gl{kSize, kSize};
    SC_SceneCommon scene;
    VS_Canvas canvas{kSize, kSize};
    CC_CameraChainTransformCanvasBinder binder{canvas};
    MO_OGLContext context{MO_OGLContext::NormalRender, scene, binder, MO_FrameKey(1)};

    View() {
        binder.setTransformChain(Math::CameraTransformChain::orthographic(kSize, kSize, {0, 0}, kPixelsPerUnit));
        VS_SceneRenderer::beginPass(MO_OGLContext::NormalRender, VS_RGBA(40, 40, 40, 255));
    }
};

View& view() {
    static View v;
    return v;
}

// The attributes that the painters which show a value read: a slider halfway along its
// default range, a button and a checkbox switched on, two positions for a point and a line.
struct Attributes {
    MO_Node* node;
    AT_DoubleAttr* value;
    AT_BoolAttr* on;
    AT_Position2dAttr* start;
    AT_Position2dAttr* end;

    explicit Attributes(SC_SceneCommon& scene)
        : node(scene.addNode(std::make_unique<MO_Module>(&scene, QStringLiteral("bench")))),
          value(node->addAttribute(std::make_unique<AT_DoubleAttr>(node, QStringLiteral("value"), 50.0))),
          on(node->addAttribute(std::make_unique<AT_BoolAttr>(node, QStringLiteral("on"), true))),
          start(node->addAttribute(
              std::make_unique<AT_Position2dAttr>(node, QStringLiteral("start"), Math::Point2d(-1.0, -0.5)))),
          end(node->addAttribute(
              std::make_unique<AT_Position2dAttr>(node, QStringLiteral("end"), Math::Point2d(1.0, 0.5)))) {}
};

std::vector<AT_Attr*> attributesFor(const std::string& type) {
    static Attributes a(view().scene);
    if (type == "SLIDER")
        return {a.value};
    if (type == "BUTTON" || type == "CHECKBOX")
        return {a.on};
    if (type == "POINT_2D")
        return {a.end};
    if (type == "LINE_2D")
        return {a.start, a.end};
    return {};
}

void drain(std::int64_t& count) {
    if (++count % kDrainEvery == 0)
        glFinish();
}

// Runs `body` once per iteration, after a few untimed runs that let llvmpipe compile its
// shaders for the state the body draws in. Under callgrind (collection off at start) the
// iterations' instructions, up to the end of their drawing, land in a dump named `name`.
// With PAINT_BENCH_CHECK set, the first draw of each benchmark, on a cleared view, is kept
// by name: a painter and its bare drawing must leave the same pixels.
std::map<std::string, VS_Image>& firstDraws() {
    static std::map<std::string, VS_Image> images;
    return images;
}

template <class Body>
void loop(benchmark::State& state, const std::string& name, Body&& body) {
    if (std::getenv("PAINT_BENCH_CHECK") && !firstDraws().count(name)) {
        VS_SceneRenderer::beginPass(MO_OGLContext::NormalRender, VS_RGBA(40, 40, 40, 255));
        body();
        glFinish();
        firstDraws()[name] = VS_ReadPixels(kSize, kSize);
    }
    for (int i = 0; i < 3; ++i)
        body();
    glFinish();
    CALLGRIND_TOGGLE_COLLECT;
    for (auto _ : state)
        body();
    glFinish();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(name.c_str());
}

// What each painter is given: its defaults, but for the slider frame, which is drawn with
// its drop shadow so that all three of its capsules count.
MO_PropertyBag propertiesFor(const std::string& type) {
    MO_PropertyBag properties;
    if (type == "SLIDER_FRAME") {
        properties.set(QStringLiteral("drop_shadow"), true);
        properties.set(QStringLiteral("radius"), 0.1);
    }
    // The knob with its shadow: three discs.
    if (type == "SLIDER")
        properties.set(QStringLiteral("drop_shadow"), true);
    // The box draws nothing unless asked to: its frame and a grid of three lines each way.
    if (type == "BOX_2D") {
        properties.set(QStringLiteral("show_limits"), true);
        properties.set(QStringLiteral("show_grid_lines"), true);
        properties.set(QStringLiteral("xmin"), -1.0);
        properties.set(QStringLiteral("ymin"), -1.0);
        properties.set(QStringLiteral("xmax"), 1.0);
        properties.set(QStringLiteral("ymax"), 1.0);
        properties.set(QStringLiteral("xValues"), std::vector<double>{-0.5, 0.0, 0.5});
        properties.set(QStringLiteral("yValues"), std::vector<double>{-0.5, 0.0, 0.5});
    }
    return properties;
}

void paintThroughPainter(benchmark::State& state, const char* type) {
    View& v = view();
    const MO_PropertyBag properties = propertiesFor(type);
    const MO_ComponentData data{properties, attributesFor(type)};
    std::unique_ptr<MO_OGLPainter> painter(MO_OGLPainterFactorySingleton().create(type, data));
    if (!painter) {
        state.SkipWithError("the plug-in registers no such painter");
        return;
    }
    const PaintState paintState;
    std::int64_t count = 0;
    loop(state, std::string("paint/") + type, [&] {
        painter->paint(v.context, paintState);
        drain(count);
    });
}

// The arrow mesh of length 1 and radius 0.15, as the painter builds it.
struct ArrowArrays {
    std::vector<VS_Vector3D> shaft, head;
    ArrowArrays() {
        const float r = 0.15f, w = r / 5.0f, h = 0.8f, apex = 1.0f + r;
        shaft = {{w, 0, 0}, {w, h, 0}, {-w, h, 0}, {-w, h, 0}, {-w, 0, 0}, {w, 0, 0}};
        const VS_Vector3D a(0, apex, 0), b1(r, h, r), b2(r, h, -r), b3(-r, h, -r), b4(-r, h, r);
        head = {a, b1, b2, a, b2, b3, a, b3, b4, a, b4, b1, b1, b2, b4, b3, b4, b2};
    }
};

void bareArrow(benchmark::State& state, const char* name, double angle, double ax, double ay, double az,
               VS_RGBA colour) {
    view();
    const ArrowArrays arrays;
    std::int64_t count = 0;
    loop(state, name, [&] {
        if (angle != 0.0)
            glRotated(angle, ax, ay, az);
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_LINE_BIT);
        glLineWidth(6.0f);
        glColor3ub(colour.GetRed(), colour.GetGreen(), colour.GetBlue());
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, arrays.head.data());
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(arrays.head.size()));
        glVertexPointer(3, GL_FLOAT, 0, arrays.shaft.data());
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(arrays.shaft.size()));
        glDisableClientState(GL_VERTEX_ARRAY);
        glPopAttrib();
        if (angle != 0.0)
            glRotated(-angle, ax, ay, az);
        drain(count);
    });
}

void bareDebugger(benchmark::State& state) {
    view();
    const float h = 1.0f;
    const VS_Vector3D mpp(-h, h, h), ppp(h, h, h), pmp(h, -h, h), mmp(-h, -h, h);
    const VS_Vector3D ppm(h, h, -h), pmm(h, -h, -h), mmm(-h, -h, -h), mpm(-h, h, -h);
    const std::vector<VS_Vector3D> cube = {mpp, ppp, pmp, mpp, pmp, mmp, pmp, ppp, ppm, pmp, ppm, pmm,
                                           ppm, ppp, mpp, ppm, mpp, mpm, mmm, mmp, pmp, mmm, pmp, pmm,
                                           mmm, mpm, mpp, mmm, mpp, mmp, mmm, pmm, ppm, mmm, ppm, mpm};
    const GLubyte colours[3][3] = {{255, 0, 0}, {0, 0, 255}, {120, 120, 120}};
    std::int64_t count = 0;
    loop(state, "bare/DRAG_DEBUGGER", [&] {
        for (const auto& c : colours) {
            glPushAttrib(GL_COLOR_BUFFER_BIT | GL_LINE_BIT);
            glLineWidth(6.0f);
            glColor3ub(c[0], c[1], c[2]);
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(3, GL_FLOAT, 0, cube.data());
            glDrawArrays(GL_TRIANGLES, 0, 36);
            glPopAttrib();
        }
        drain(count);
    });
    glDisableClientState(GL_VERTEX_ARRAY);
    glFinish();
}

// A ring of the default radius (1) and width (0.03) in scene units, about `axis`, in the
// translucent default colour of that axis.
void bareRing(benchmark::State& state, const char* name, float ax, float ay, float az) {
    View& v = view();
    const double unit = v.scene.metrics().xUnitScale();
    const VS_RGBA colour(ax != 0 ? 255 : 0, ay != 0 ? 255 : 0, az != 0 ? 255 : 0, 120);
    std::int64_t count = 0;
    loop(state, name, [&] {
        VU_Circle::Draw(v.canvas, VS_Vector3D(0, 0, 0), VS_Vector3D(ax, ay, az), 1.0 * unit, 5, float(0.03 * unit),
                        colour);
        drain(count);
    });
}

// The default slider frame (in the scene, vertical, 3 units from the origin) of radius
// 0.1 with its shadow: three capsules.
void bareSliderFrame(benchmark::State& state) {
    View& v = view();
    const VS_RGBA shadow(0, 0, 0, 100), face(200, 200, 200, 255);
    std::int64_t count = 0;
    loop(state, "bare/SLIDER_FRAME", [&] {
        VU_Painter painter(v.binder);
        const double r = 0.1 * v.scene.metrics().xUnitScale();
        const Math::Point3d a = v.scene.metrics().toOGL(Math::Point3d(0, 0, 0));
        const Math::Point3d b = v.scene.metrics().toOGL(Math::Point3d(0, 3, 0));
        const Math::Point2d p0(a.x, a.y), p1(b.x, b.y);
        const double w = 0.4 * r, shift = 0.15 * r;
        painter.setLineStrokeColor(shadow);
        painter.drawCapsule(Math::Point2d(p0.x + shift, p0.y - shift), Math::Point2d(p1.x + shift, p1.y - shift), w);
        painter.setLineStrokeColor(VU_Painter::darkGrayColor);
        painter.drawCapsule(p0, p1, w);
        painter.setLineStrokeColor(face);
        painter.drawCapsule(p0, p1, 0.65 * w);
        drain(count);
    });
}

// A square of the default width (1) from the origin, in the plane without axis `normal`
// (0 x, 1 y, 2 z), in that plane's default colour; the stroke is the fill.
void barePlane(benchmark::State& state, const char* name, int normal) {
    View& v = view();
    const VS_RGBA colours[3] = {VU_Painter::greenColor, VU_Painter::blueColor, VU_Painter::redColor};
    const VS_RGBA colour = colours[normal];
    const auto corner = [normal](double u, double w) {
        return normal == 2 ? Math::Point3d(u, w, 0) : normal == 1 ? Math::Point3d(u, 0, w) : Math::Point3d(0, u, w);
    };
    std::int64_t count = 0;
    loop(state, name, [&] {
        const double a = 0.0, b = v.scene.metrics().xUnitScale();
        VU_Painter painter(v.binder);
        painter.setPointFillColor(colour);
        painter.setPointStrokeColor(colour);
        painter.drawQuad(corner(a, a), corner(a, b), corner(b, b), corner(b, a));
        drain(count);
    });
}

// The default sphere: its translucent body of radius 1, then the three axis circles as
// thin lines and as bands 0.03 wide.
void bareSphere(benchmark::State& state) {
    View& v = view();
    VU_Sphere sphere(0.0f, 16, 16);
    const VS_Vector3D centre(0, 0, 0);
    const VS_Vector3D axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const VS_RGBA colours[3] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    std::int64_t count = 0;
    loop(state, "bare/SPHERE", [&] {
        const double unit = v.scene.metrics().xUnitScale();
        const double radius = 1.0 * unit;
        sphere.setRadius(float(radius));
        sphere.draw(VS_RGBA(255, 0, 0, 120));
        const float width = float(0.03 * unit);
        for (int i = 0; i < 3; ++i)
            VU_Circle::LineDraw(v.canvas, centre, axes[i], radius, 5, colours[i]);
        for (int i = 0; i < 3; ++i)
            VU_Circle::Draw(v.canvas, centre, axes[i], radius, 5, width, colours[i]);
        drain(count);
    });
}

// The default knob (in the scene, radius 0.35) halfway along its vertical track of 3
// units, with its shadow: three discs.
void bareSlider(benchmark::State& state) {
    View& v = view();
    const VS_RGBA shadow(0, 0, 0, 100);
    std::int64_t count = 0;
    loop(state, "bare/SLIDER", [&] {
        VU_Painter painter(v.binder);
        const double r = 0.35 * v.scene.metrics().xUnitScale();
        const Math::Point3d q = v.scene.metrics().toOGL(Math::Point3d(0, 0.5 * 3.0, 0));
        const Math::Point2d c(q.x, q.y);
        painter.setLineStrokeColor(shadow);
        painter.drawFilledDisc(Math::Point2d(c.x + 0.15 * r, c.y - 0.15 * r), 0.0, r);
        painter.setLineStrokeColor(VU_Painter::darkGrayColor);
        painter.drawFilledDisc(c, 0.0, r);
        painter.setLineStrokeColor(VU_Painter::whiteColor);
        painter.drawFilledDisc(c, 0.0, 0.8 * r);
        drain(count);
    });
}

// The default button, pressed, in the scene at the origin with size 1: its shadow, its
// face moved off it, and the rim.
void bareButton(benchmark::State& state) {
    View& v = view();
    const VS_RGBA rim(255, 0, 0, 255), fill(0, 255, 0, 128), pressed(200, 0, 0, 255);
    std::int64_t count = 0;
    loop(state, "bare/BUTTON", [&] {
        VU_Painter painter(v.binder);
        const Math::Point3d a = v.scene.metrics().toOGL(Math::Point3d(0, 0, 0));
        const Math::Point2d c(a.x, a.y);
        const double r = v.scene.metrics().toOGL(Math::Vector3d(0.0, 1.0, 0.0)).length();
        painter.setLineStrokeColor(pressed);
        painter.drawFilledDisc(c, 0.98 * r, 0.0);
        painter.setLineStrokeColor(fill);
        painter.drawFilledDisc(Math::Point2d(c.x + 0.1 * r, c.y), 0.9 * r, 0.0);
        painter.setLineStrokeColor(rim);
        painter.drawFilledDisc(c, r, 0.9 * r);
        drain(count);
    });
}

// The default checkbox, ticked: four edges, the face, and the two bars of the cross.
void bareCheckbox(benchmark::State& state) {
    View& v = view();
    const VS_RGBA rim(255, 0, 0, 255), fill(0, 255, 0, 128);
    std::int64_t count = 0;
    loop(state, "bare/CHECKBOX", [&] {
        VU_Painter painter(v.binder);
        const Math::Point3d a = v.scene.metrics().toOGL(Math::Point3d(0, 0, 0));
        const Math::Point2d c(a.x, a.y);
        const double r = v.scene.metrics().toOGL(Math::Vector3d(0.0, 1.0, 0.0)).length();
        const auto box = [&painter](const Math::Point2d& centre, double dx, double dy) {
            Math::Box2d b(centre);
            b.Enlarge(dx, dy);
            painter.drawBox(b);
        };
        painter.setLineStrokeColor(rim);
        box(Math::Point2d(c.x, c.y - 0.95 * r), r, 0.05 * r);
        box(Math::Point2d(c.x, c.y + 0.95 * r), r, 0.05 * r);
        box(Math::Point2d(c.x - 0.95 * r, c.y), 0.05 * r, r);
        box(Math::Point2d(c.x + 0.95 * r, c.y), 0.05 * r, r);
        painter.setLineStrokeColor(fill);
        box(c, 0.9 * r, 0.9 * r);
        painter.setPointFillColor(rim);
        painter.setPointStrokeColor(rim);
        const double reach = 2.0 * r / 3.0;
        const double spread = (0.1 * r * 0.5) / reach;
        const auto at = [&c, reach](double angle) {
            return Math::Point2d(c.x + reach * std::cos(angle), c.y + reach * std::sin(angle));
        };
        for (int i = 0; i < 2; ++i) {
            const double a0 = (2 * i + 1) * 0.125 * 6.28;
            const double a1 = (2 * i + 5) * 0.125 * 6.28;
            painter.drawQuad(at(a0 + spread), at(a0 - spread), at(a1 + spread), at(a1 - spread));
        }
        drain(count);
    });
}

// The default point (a red circle 0.01 screen units across) and its inner circle, placed
// in window pixels where the position projects.
void barePoint(benchmark::State& state) {
    View& v = view();
    const VS_RGBA red(255, 0, 0, 255);
    std::int64_t count = 0;
    loop(state, "bare/POINT_2D", [&] {
        Math::Point2d centre;
        v.binder.transformChain().transform(Math::SourceModelFrame, Math::DestinationScreenFrame,
                                            v.scene.metrics().toOGL(Math::Point2d(1.0, 0.5)), centre);
        const double half = UT_DPI::s_dpiScale * 0.01f * 350.0;
        VU_Painter painter(v.binder);
        painter.setPointReferential(VU_Painter::ScreenFrame);
        for (const double d : {half, 0.7 * double(float(half))}) {
            painter.setLineStrokeColor(red);
            painter.setPointFillColor(red);
            painter.setPointStrokeColor(red);
            painter.drawFilledDisc(centre, float(d), 0.0);
        }
        drain(count);
    });
}

// The default line between two positions: red, 0.01 thick in screen units.
void bareLine(benchmark::State& state) {
    View& v = view();
    std::int64_t count = 0;
    loop(state, "bare/LINE_2D", [&] {
        const Math::Point3d q1 = v.scene.metrics().toOGL(Math::Point3d(-1.0, -0.5, 0.0));
        const Math::Point3d q2 = v.scene.metrics().toOGL(Math::Point3d(1.0, 0.5, 0.0));
        VU_Painter painter(v.binder);
        painter.setLineThickness(0.01f, VU_Painter::ScreenFrame);
        painter.setLineStrokeColor(VS_RGBA(255, 0, 0, 255));
        painter.drawLine(Math::Point2d(q1.x, q1.y), Math::Point2d(q2.x, q2.y));
        drain(count);
    });
}

// The limits box from (-1, -1) to (1, 1) with three grid lines each way, 2 pixels thick.
void bareBox(benchmark::State& state) {
    View& v = view();
    const double values[] = {-0.5, 0.0, 0.5};
    std::int64_t count = 0;
    loop(state, "bare/BOX_2D", [&] {
        const SC_SceneMetrics& metrics = v.scene.metrics();
        const auto at = [&](double x, double y) {
            const Math::Point3d p = metrics.toOGL(Math::Point3d(x, y, double(-0.0001f)));
            return Math::Point2d(p.x, p.y);
        };
        const Math::Point2d a = at(-1, -1), b = at(1, 1), c1(b.x, a.y), c2(a.x, b.y);
        VU_Painter painter(v.binder);
        painter.setLineThickness(UT_DPI::s_dpiScale * 2.0, VU_Painter::ScreenFrame);
        painter.setLineStrokeColor(VS_RGBA(0, 0, 0, 255));
        painter.drawLine(a, c1);
        painter.drawLine(c1, b);
        painter.drawLine(b, c2);
        painter.drawLine(c2, a);
        for (const double y : values)
            painter.drawLine(at(-1, y), at(1, y));
        for (const double x : values)
            painter.drawLine(at(x, -1), at(x, 1));
        drain(count);
    });
}

void addLabelColor(GR_PaletteInfo& palette, const char* name, int id, const VS_RGBA& c) {
    CM_Color color(UT_A2W(name), CM_Color::Solid, id);
    color.addMarker(CM_GradientData(0.0, CM_Rgba(c.r, c.g, c.b, c.a)));
    palette.addLocalColor(color);
}

// The default label's art ("text", 10 points, white on translucent black), written once:
// a painter keeps it between paints.
std::unique_ptr<GR_CompositeVectorDrawingObj> labelArt(double aspect) {
    auto art = std::make_unique<GR_CompositeVectorDrawingObj>();
    GR_PaletteInfo& palette = art->GetPaletteInfo();
    GR_ColorDict dict;
    addLabelColor(palette, "TextColor", 1000, VS_RGBA(255, 255, 255, 255));
    addLabelColor(palette, "TextBgColor", 1001, VS_RGBA(0, 0, 0, 128));
    dict.attachPalette(&palette);
    GR_DrawingAccess access(dict);
    GR_TextAccess textAccess(access.colorDict());
    access.SetCurrentDrawing(art->GetLineArt());
    textAccess.SetCurrentDrawing(art->GetLineArt());
    access.BeginOperations(GR_DrawingAccess::OddFill);
    CelAlgo::TextProperties properties;
    FM_FontManager& fonts = FM_FontManager::instance();
    std::uint32_t fontId = 0;
    if (fonts.getFontId(UT_String(QStringLiteral("Arial")), fontId) != FM_NoError)
        fontId = fonts.getDefaultFontId();
    properties.fontId = fontId;
    properties.size = 10;
    properties.maxLength = -1;
    properties.originX = properties.originY = 0.0;
    properties.slant = properties.rotationDegrees = 0.0;
    properties.background = true;
    properties.underline = properties.strikeout = 0;
    properties.text = QStringLiteral("text");
    properties.boxText = properties.text;
    CelAlgo::writeText(access, textAccess, properties, 1000, 1001, 0, 0, 0, 0.25, aspect);
    access.EndOperations(true);
    art->Merge();
    access.SetCurrentDrawing(nullptr);
    textAccess.SetCurrentDrawing(nullptr);
    return art;
}

// The kept art drawn at the origin's window point, a fifth of a pixel per art unit, left
// aligned, through its own binder over a window-pixel projection.
void bareLabel(benchmark::State& state) {
    View& v = view();
    const std::unique_ptr<GR_CompositeVectorDrawingObj> art = labelArt(1.0);
    std::int64_t count = 0;
    loop(state, "bare/LABEL", [&] {
        const Math::CameraTransformChain& chain = v.binder.transformChain();
        const Math::Box2d viewport = chain.viewport();
        Math::Point3d screen(0, 0, 0);
        chain.transform(Math::SourceModelFrame, Math::DestinationScreenFrame,
                        v.scene.metrics().toOGL(Math::Point3d(0, 0, double(-0.0001f))), screen);
        const double width = std::abs(viewport.max.x - viewport.min.x);
        const double height = std::abs(viewport.max.y - viewport.min.y);
        std::unique_ptr<CC_CameraChainTransformCanvasBinder> binder =
            CC_CameraChainTransformCanvasBinder::create(&v.canvas);
        binder->setViewport(viewport);
        const CC_CameraChainTransformCanvasBinder::Scope restore(*binder);
        CGraphicOps ops(CGraphicOps::DefaultRenderer(), binder.get());
        ops.SetVisualCanvas(&v.canvas);
        Math::Matrix4x4 projection;
        projection.orthogonalProject(0, width, 0, height, -1, 1);
        binder->setProjectionMatrix(projection);
        binder->setViewMatrix(Math::Matrix4x4());
        const GR_ArtSelector previous = ops.GetArtSelector();
        ops.SetArtSelector(GR_ArtSelector());
        const GR_BBox box = art->GetWorldBBox();
        const double s = 0.2;
        const double h = box.empty ? 0.0 : box.top - box.bottom;
        Math::Matrix4x4 model;
        model.scale(s, s, 1);
        model.translate(screen.x / s - box.left, (height - screen.y) / s + h - box.top, 0);
        binder->setModelMatrix(model);
        art->Draw(ops);
        ops.SetArtSelector(previous);
        drain(count);
    });
}

// Keeps the medians of every benchmark, by name, while printing as usual.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& run : reports)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medians[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        ConsoleReporter::ReportRuns(reports);
    }

    // Wall time includes waiting for the rasteriser at each drain; the calling thread's
    // CPU time is what the painter itself costs.
    void printRatios() const {
        std::printf("\nmedians, ns per draw   %12s %12s %7s   %12s %12s %7s\n", "paint wall", "bare wall", "ratio",
                    "paint CPU", "bare CPU", "ratio");
        for (const std::string& type : paintedTypes()) {
            const auto paint = m_medians.find("paint/" + type);
            const auto bare = m_medians.find("bare/" + type);
            if (paint == m_medians.end() || bare == m_medians.end())
                continue;
            const Times& p = paint->second;
            const Times& b = bare->second;
            std::printf("%-22s %12.1f %12.1f %7.2f   %12.1f %12.1f %7.2f\n", type.c_str(), p.wall, b.wall, p.wall / b.wall,
                        p.cpu, b.cpu, p.cpu / b.cpu);
        }
    }

private:
    struct Times {
        double wall = 0.0;
        double cpu = 0.0;
    };
    std::map<std::string, Times> m_medians;
};

}  // namespace

int main(int argc, char** argv) {
    bench::restartWithTunables(argv, "paint_bench");

    if (!bench::loadPlugin(RIGKIT_PLUGIN_PATH, "paint_bench"))
        return 1;

    // Iterations are counted against wall time, so that a run lasts as long as it says.
    // PAINT_BENCH_ITERATIONS=n runs every benchmark exactly n times instead: for counting
    // instructions under callgrind, where one dump per benchmark must stand for n draws.
    const char* fixed = std::getenv("PAINT_BENCH_ITERATIONS");
    const auto add = [fixed](benchmark::internal::Benchmark* b) {
        b->UseRealTime();
        if (fixed)
            b->Iterations(std::atoll(fixed));
    };
    for (const std::string& type : paintedTypes())
        add(benchmark::RegisterBenchmark(("paint/" + type).c_str(), paintThroughPainter, type.c_str()));
    add(benchmark::RegisterBenchmark("bare/ARROW_X", bareArrow, "bare/ARROW_X", -90.0, 0.0, 0.0, 1.0,
                                     VU_Painter::redColor));
    add(benchmark::RegisterBenchmark("bare/ARROW_Y", bareArrow, "bare/ARROW_Y", 0.0, 0.0, 0.0, 1.0,
                                     VU_Painter::greenColor));
    add(benchmark::RegisterBenchmark("bare/ARROW_Z", bareArrow, "bare/ARROW_Z", 90.0, 1.0, 0.0, 0.0,
                                     VU_Painter::blueColor));
    add(benchmark::RegisterBenchmark("bare/DRAG_DEBUGGER", bareDebugger));
    add(benchmark::RegisterBenchmark("bare/CIRCLE_X", bareRing, "bare/CIRCLE_X", 1.0f, 0.0f, 0.0f));
    add(benchmark::RegisterBenchmark("bare/CIRCLE_Y", bareRing, "bare/CIRCLE_Y", 0.0f, 1.0f, 0.0f));
    add(benchmark::RegisterBenchmark("bare/CIRCLE_Z", bareRing, "bare/CIRCLE_Z", 0.0f, 0.0f, 1.0f));
    add(benchmark::RegisterBenchmark("bare/SLIDER_FRAME", bareSliderFrame));
    add(benchmark::RegisterBenchmark("bare/PLANE_XY", barePlane, "bare/PLANE_XY", 2));
    add(benchmark::RegisterBenchmark("bare/PLANE_XZ", barePlane, "bare/PLANE_XZ", 1));
    add(benchmark::RegisterBenchmark("bare/PLANE_YZ", barePlane, "bare/PLANE_YZ", 0));
    add(benchmark::RegisterBenchmark("bare/SPHERE", bareSphere));
    add(benchmark::RegisterBenchmark("bare/SLIDER", bareSlider));
    add(benchmark::RegisterBenchmark("bare/BUTTON", bareButton));
    add(benchmark::RegisterBenchmark("bare/CHECKBOX", bareCheckbox));
    add(benchmark::RegisterBenchmark("bare/POINT_2D", barePoint));
    add(benchmark::RegisterBenchmark("bare/LINE_2D", bareLine));
    add(benchmark::RegisterBenchmark("bare/BOX_2D", bareBox));
    add(benchmark::RegisterBenchmark("bare/LABEL", bareLabel));

    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9", aggregates = "--benchmark_report_aggregates_only=true";
    if (!bench::hasFlag(argc, argv, "--benchmark_repetitions"))
        args.push_back(repetitions.data());
    if (!bench::hasFlag(argc, argv, "--benchmark_report_aggregates_only"))
        args.push_back(aggregates.data());
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    int differing = 0;
    for (const std::string& type : paintedTypes()) {
        const auto paint = firstDraws().find("paint/" + type);
        const auto bare = firstDraws().find("bare/" + type);
        if (paint == firstDraws().end() || bare == firstDraws().end())
            continue;
        std::size_t pixels = 0, drawn = 0;
        for (std::size_t i = 0; i < paint->second.rgba.size(); i += 4) {
            pixels += std::memcmp(&paint->second.rgba[i], &bare->second.rgba[i], 4) != 0;
            drawn += paint->second.rgba[i] != 40 || paint->second.rgba[i + 1] != 40 || paint->second.rgba[i + 2] != 40;
        }
        differing += pixels != 0;
        std::printf("same pixels %-14s %s (%zu pixels drawn, %zu differ)\n", type.c_str(), pixels ? "NO " : "yes", drawn,
                    pixels);
    }
    benchmark::Shutdown();
    return differing ? 1 : 0;
}
