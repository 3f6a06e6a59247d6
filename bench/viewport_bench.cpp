// A viewport full of controls: what one frame costs, and what a click's pick costs against
// that frame, on the headless (llvmpipe) context the runner draws with.
//
// - viewport/frame: the ordinary pass over 1,000 mixed controls (arrows, rings, points,
//   sliders with their frames, labels) at 512 × 512, until the rasteriser is done
//   (glFinish): CPU submission and drawing both count. Labels are drawn from their kept
//   art, as in every frame after their first.
// - viewport/click: the pick for a click on a control: the picking pass scissored to the
//   pixels around the pointer, the read-back of the pixel under it, and scanHits of the
//   adaptor hit. Its floor is viewport/frame.
//
// The scene is built by the runner's scene loader from a document made here, so the
// controls come from the plug-in's factories exactly as in a scene file.
//
// Run: build/bench/bin/viewport_bench [benchmark flags] (9 repetitions, aggregates only,
// unless given).

#include "apps/rigkit-run/plugin_loader.h"
#include "apps/rigkit-run/scene_loader.h"
#include "bench/bench_support.h"
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

constexpr int kSize = 512;
constexpr int kControls = 1000;
constexpr int kColumns = 32;
// 100 pixels a unit: the grid's cells are 16 pixels.
constexpr double kCell = 0.16;

runner::Json position2d(double x, double y) {
    return {{"type", "position2d"}, {"value", {x, y}}, {"animatable", false}};
}

runner::Json painter(const char* type, runner::Json attributes = runner::Json::array()) {
    return {{"type", type}, {"attributes", attributes}};
}

runner::Json picker(const char* attribute) {
    return {{"type", "MONO"}, {"attributes", {attribute}}};
}

// Control i of the grid, its kind by i modulo 5.
runner::Json control(int i) {
    const double x = (i % kColumns - kColumns / 2 + 0.5) * kCell;
    const double y = (i / kColumns - kColumns / 2 + 0.5) * kCell;
    runner::Json node = {{"name", "c" + std::to_string(i)}};
    const auto placed = [&](runner::Json& n) {
        n["attributes"]["at"] = position2d(x, y);
        n["transformations"] = runner::Json::array();
        n["transformations"].push_back({{"type", "TRANSLATION_XY"}, {"attributes", {"at"}}});
    };
    switch (i % 5) {
        case 0:  // an arrow that moves its node along Y
            placed(node);
            node["attributes"]["ty"] = {{"type", "double"}, {"value", 0.0}};
            node["transformations"].push_back({{"type", "TRANSLATION_Y"}, {"attributes", {"ty"}}});
            node["painters"] = {painter("ARROW_Y")};
            node["manipulator"] = {{"type", "TRANSLATION_Y"}, {"attributes", {"ty"}}};
            node["picker"] = picker("ty");
            node["properties"] = {{"length", 0.1}, {"radius", 0.03}};
            break;
        case 1:  // a ring that turns its node about Z
            placed(node);
            node["attributes"]["angle"] = {{"type", "double"}, {"value", 0.0}};
            node["transformations"].push_back({{"type", "ROTATION_Z"}, {"attributes", {"angle"}}});
            node["painters"] = {painter("CIRCLE_Z")};
            node["manipulator"] = {{"type", "ROTATION_Z"}, {"attributes", {"angle"}}};
            node["picker"] = picker("angle");
            node["properties"] = {{"radius", 0.06}, {"width", 0.015}};
            break;
        case 2:  // a point
            node["attributes"]["pos"] = position2d(x, y);
            node["painters"] = {painter("POINT_2D", {"pos"})};
            node["manipulator"] = {{"type", "POSITION_2D"}, {"attributes", {"pos"}}};
            node["picker"] = picker("pos");
            node["properties"] = {{"size", 0.006}};
            break;
        case 3:  // a horizontal slider with its frame
            node["attributes"]["v"] = {{"type", "double"}, {"value", 40.0}};
            node["painters"] = {painter("SLIDER_FRAME"), painter("SLIDER", {"v"})};
            node["manipulator"] = {{"type", "SLIDER"}, {"attributes", {"v"}}};
            node["picker"] = picker("v");
            node["properties"] = {{"horizontal", true}, {"position", {x - 0.06, y}}, {"length", 0.12},
                                  {"radius", 0.02}};
            break;
        default:  // a label
            node["attributes"]["at"] = position2d(x - 0.06, y);
            node["attributes"]["msg"] = {{"type", "string"}, {"value", "L" + std::to_string(i)}};
            node["painters"] = {painter("LABEL", {"at", "msg"})};
            node["picker"] = picker("at");
            node["properties"] = {{"label_size", 6}};
            break;
    }
    return node;
}

struct Viewport {
    runner::Scene scene;
    VS_View view;
    VS_OffscreenContext gl{kSize, kSize};
    // Window pixels at the centres of arrows' shafts, rings' rims and points, for clicks.
    std::vector<std::pair<int, int>> targets;

    Viewport() {
        runner::Json document = {{"viewport", {kSize, kSize}},
                                 {"camera", {{"type", "ortho"}, {"center", {0, 0}}, {"pixelsPerUnit", 100}}},
                                 {"nodes", runner::Json::array()}};
        for (int i = 0; i < kControls; ++i)
            document["nodes"].push_back(control(i));
        scene = runner::loadScene(document);
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
