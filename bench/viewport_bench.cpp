// A viewport full of controls: what one frame costs, and what a click's pick costs against
// that frame, on the headless (llvmpipe) context the runner draws with.
//
// - viewport/frame: the ordinary pass over 1,000 mixed controls (arrows, rings, points,
//   sliders with their frames, labels) at 512 × 512, until the rasteriser is done
//   (glFinish): CPU submission and drawing both count. Labels are drawn from their kept
//   art, as in every frame after their first.
// - viewport/hover: what the viewer does at each pointer move: the same scissored pick,
//   and the adaptor asked for the handle kind without selecting, along a row of pixels.
// - viewport/click: the pick for a click on a control: the picking pass scissored to the
//   pixels around the pointer, the read-back of the pixel under it, and scanHits of the
//   adaptor hit. Its floor is viewport/frame.
//
// The scene is built by the runner's scene loader from a document (bench/viewport_scene.h),
// so the controls come from the plug-in's factories exactly as in a scene file. The frame's
// figure is wall-clock time and moves with the machine: bench/scale_bench counts the same
// frame in instructions, which is what the budgets hold.
//
// Run: build/bench/bin/viewport_bench [benchmark flags] (9 repetitions, aggregates only,
// unless given).

#include "apps/core/plugin_loader.h"
#include "apps/core/scene_loader.h"
#include "bench/bench_support.h"
#include "bench/viewport_scene.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/draw/gl.h"
#include "host/scene/MO_Node.h"
#include "host/scene/components.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kSize = bench::kViewSize;
constexpr int kControls = 1000;
constexpr int kColumns = 32;

struct Viewport {
    runner::Scene scene;
    VS_View view;
    VS_OffscreenContext gl{kSize, kSize};
    // Window pixels at the centres of arrows' shafts, rings' rims and points, for clicks.
    std::vector<std::pair<int, int>> targets;

    Viewport() {
        scene = runner::loadScene(bench::grid(kColumns, kColumns, kControls));
        view.camera = runner::cameraChain(scene.camera, kSize, kSize);
        view.background = scene.background;
        view.frameKey = MO_FrameKey(1);
        for (int i = 2; i < kControls; i += 5) {
            const int column = i % kColumns, row = i / kColumns;
            targets.emplace_back(int((column + 0.5) * 16), kSize - int((row + 0.5) * 16) - 1);
        }
        // The labels build their art in the first frame. VIEWPORT_BENCH_PNG=path keeps a
        // picture of it, to see what is measured.
        const VS_Image image = VS_SceneRenderer::render(gl, *scene.common, view);
        if (const char* png = std::getenv("VIEWPORT_BENCH_PNG"))
            VS_WritePng(image, png);
        // A few more, so that the rasteriser's shaders for every state are compiled before
        // anything is timed.
        for (int i = 0; i < 3; ++i) {
            VS_SceneRenderer::drawScene(*scene.common, view);
            VS_SceneRenderer::pickAt(*scene.common, view, targets.front().first, targets.front().second);
        }
        glFinish();
    }
};

Viewport& viewport() {
    static Viewport v;
    return v;
}

void Frame(benchmark::State& state) {
    Viewport& v = viewport();
    for (auto _ : state) {
        VS_SceneRenderer::drawScene(*v.scene.common, v.view);
        glFinish();
    }
}

void Click(benchmark::State& state) {
    Viewport& v = viewport();
    std::size_t next = 0, hits = 0;
    for (auto _ : state) {
        const auto [x, y] = v.targets[next++ % v.targets.size()];
        const VS_PickHit hit = VS_SceneRenderer::pickAt(*v.scene.common, v.view, x, y);
        if (hit) {
            ++hits;
            hit.node->pickAdaptor()->scanHits(hit.handleId, true, Qt::NoModifier);
        }
    }
    // Every click must land on a control, or the figure measures nothing.
    if (hits != next)
        state.SkipWithError("a click missed its control");
}

// What the viewer does at every pointer move: the pick under the pointer and the adaptor
// asked without selecting, for the cursor. The pointer sweeps a row that crosses controls
// and the gaps between them, one pixel per move.
void Hover(benchmark::State& state) {
    Viewport& v = viewport();
    const int y = v.targets.front().second;
    int x = 0;
    for (auto _ : state) {
        const VS_PickHit hit = VS_SceneRenderer::pickAt(*v.scene.common, v.view, x, y);
        if (hit)
            benchmark::DoNotOptimize(hit.node->pickAdaptor()->scanHits(hit.handleId, false, Qt::NoModifier));
        x = (x + 1) % kSize;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* env = std::getenv("RIGKIT_PLUGIN");
    const std::string error = runner::loadPlugin(env ? env : RIGKIT_PLUGIN_PATH);
    if (!error.empty()) {
        std::fprintf(stderr, "viewport_bench: %s\n", error.c_str());
        return 1;
    }
    viewport();
    benchmark::RegisterBenchmark("viewport/frame", Frame)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("viewport/click", Click)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("viewport/hover", Hover)->UseRealTime()->Unit(benchmark::kMillisecond);

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
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
