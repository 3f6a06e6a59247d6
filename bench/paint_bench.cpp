// How much a painter's paint costs over the drawing it issues. Each painter is timed
// through the factory-made object, as the host calls it, and against the same GL calls
// issued directly on vertex arrays built once, with the axis turn done by glRotated.
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
#include "host/draw/VU_Painter.h"
#include "host/draw/gl.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

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
// The painters timed against their bare drawing.
constexpr const char* kTypes[] = {"ARROW_X",  "ARROW_Y",  "ARROW_Z",      "DRAG_DEBUGGER",
                                  "CIRCLE_X", "CIRCLE_Y", "CIRCLE_Z",     "SLIDER_FRAME"};

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

void drain(std::int64_t& count) {
    if (++count % kDrainEvery == 0)
        glFinish();
}

// Runs `body` once per iteration, after a few untimed runs that let llvmpipe compile its
// shaders for the state the body draws in. Under callgrind (collection off at start) the
// iterations' instructions, up to the end of their drawing, land in a dump named `name`.
template <class Body>
void loop(benchmark::State& state, const std::string& name, Body&& body) {
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
    return properties;
}

void paintThroughPainter(benchmark::State& state, const char* type) {
    View& v = view();
    const MO_PropertyBag properties = propertiesFor(type);
    const MO_ComponentData data{properties, {}};
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

void bareArrow(benchmark::State& state, const char* name, double angle, double ax, double ay, double az) {
    view();
    const ArrowArrays arrays;
    std::int64_t count = 0;
    loop(state, name, [&] {
        if (angle != 0.0)
            glRotated(angle, ax, ay, az);
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_LINE_BIT);
        glLineWidth(6.0f);
        glColor3ub(255, 0, 0);
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
        for (const char* type : kTypes) {
            const auto paint = m_medians.find(std::string("paint/") + type);
            const auto bare = m_medians.find(std::string("bare/") + type);
            if (paint == m_medians.end() || bare == m_medians.end())
                continue;
            const Times& p = paint->second;
            const Times& b = bare->second;
            std::printf("%-22s %12.1f %12.1f %7.2f   %12.1f %12.1f %7.2f\n", type, p.wall, b.wall, p.wall / b.wall,
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
    for (const char* type : kTypes)
        add(benchmark::RegisterBenchmark((std::string("paint/") + type).c_str(), paintThroughPainter, type));
    add(benchmark::RegisterBenchmark("bare/ARROW_X", bareArrow, "bare/ARROW_X", -90.0, 0.0, 0.0, 1.0));
    add(benchmark::RegisterBenchmark("bare/ARROW_Y", bareArrow, "bare/ARROW_Y", 0.0, 0.0, 0.0, 1.0));
    add(benchmark::RegisterBenchmark("bare/ARROW_Z", bareArrow, "bare/ARROW_Z", 90.0, 1.0, 0.0, 0.0));
    add(benchmark::RegisterBenchmark("bare/DRAG_DEBUGGER", bareDebugger));
    add(benchmark::RegisterBenchmark("bare/CIRCLE_X", bareRing, "bare/CIRCLE_X", 1.0f, 0.0f, 0.0f));
    add(benchmark::RegisterBenchmark("bare/CIRCLE_Y", bareRing, "bare/CIRCLE_Y", 0.0f, 1.0f, 0.0f));
    add(benchmark::RegisterBenchmark("bare/CIRCLE_Z", bareRing, "bare/CIRCLE_Z", 0.0f, 0.0f, 1.0f));
    add(benchmark::RegisterBenchmark("bare/SLIDER_FRAME", bareSliderFrame));

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
    benchmark::Shutdown();
    return 0;
}
