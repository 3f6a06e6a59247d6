// What a label costs when its art is kept against when it is written anew: the same
// default label ("text", 10 points) painted through the factory-made painter, either
// redrawn from its cached art, or with its art dropped before each paint (as a property
// change does), so that every paint writes the glyph outlines again.
//
// A glFinish every kDrainEvery paints keeps the GL queue bounded on both sides alike.
//
// Run: build/bench/bin/label_bench [benchmark flags] (9 repetitions, aggregates only,
// unless given). Like paint_bench it restarts itself once with glibc's malloc trimming
// fixed, and prints the medians and their ratio at the end.

#include "bench/bench_support.h"
#include "bench/callgrind_marks.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/MO_OGLContext.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
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

constexpr int kSize = 128;
constexpr int kDrainEvery = 64;

struct View {
    VS_OffscreenContext gl{kSize, kSize};
    SC_SceneCommon scene;
    VS_Canvas canvas{kSize, kSize};
    CC_CameraChainTransformCanvasBinder binder{canvas};
    MO_OGLContext context{MO_OGLContext::NormalRender, scene, binder, MO_FrameKey(1)};

    View() {
        binder.setTransformChain(Math::CameraTransformChain::orthographic(kSize, kSize, {0, 0}, 100));
        VS_SceneRenderer::beginPass(MO_OGLContext::NormalRender, VS_RGBA(40, 40, 40, 255));
    }
};

View& view() {
    static View v;
    return v;
}

void paintLabel(benchmark::State& state, bool rebuild) {
    View& v = view();
    MO_PropertyBag properties;
    const MO_ComponentData data{properties, {}};
    std::unique_ptr<MO_OGLPainter> painter(MO_OGLPainterFactorySingleton().create("LABEL", data));
    auto* listener = dynamic_cast<MO_PropertyChangeListener*>(painter.get());
    if (!painter || !listener) {
        state.SkipWithError("the plug-in registers no label painter");
        return;
    }
    const MO_PropertyBag unchanged;
    const PaintState paintState;
    // The cached side starts with its art built; both let llvmpipe compile its shaders.
    for (int i = 0; i < 3; ++i)
        painter->paint(v.context, paintState);
    glFinish();
    std::int64_t count = 0;
    // Under callgrind (collection off at start) the loop's instructions, up to the end of
    // its drawing, land in a dump named after the benchmark.
    CALLGRIND_TOGGLE_COLLECT;
    for (auto _ : state) {
        if (rebuild)
            listener->update(unchanged);
        painter->paint(v.context, paintState);
        if (++count % kDrainEvery == 0)
            glFinish();
    }
    glFinish();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(rebuild ? "label/rebuild" : "label/cached");
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& run : reports)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medians[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        ConsoleReporter::ReportRuns(reports);
    }
    void printRatio() const {
        const auto cached = m_medians.find("label/cached"), rebuilt = m_medians.find("label/rebuild");
        if (cached == m_medians.end() || rebuilt == m_medians.end())
            return;
        std::printf("\nmedians, ns per paint   %12s %12s %12s\n", "wall", "CPU", "CPU ratio");
        std::printf("%-23s %12.1f %12.1f %12.2f\n", "cached redraw", cached->second.wall, cached->second.cpu, 1.0);
        std::printf("%-23s %12.1f %12.1f %12.2f\n", "rebuild and draw", rebuilt->second.wall, rebuilt->second.cpu,
                    rebuilt->second.cpu / cached->second.cpu);
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
    bench::restartWithTunables(argv, "label_bench");
    if (!bench::loadPlugin(RIGKIT_PLUGIN_PATH, "label_bench"))
        return 1;

    // LABEL_BENCH_ITERATIONS=n runs each side exactly n times, for counting instructions
    // under callgrind.
    const char* fixed = std::getenv("LABEL_BENCH_ITERATIONS");
    for (const auto& [name, rebuild] : {std::pair{"label/cached", false}, std::pair{"label/rebuild", true}}) {
        auto* b = benchmark::RegisterBenchmark(name, paintLabel, rebuild)->UseRealTime();
        if (fixed)
            b->Iterations(std::atoll(fixed));
    }

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
    reporter.printRatio();
    benchmark::Shutdown();
    return 0;
}
