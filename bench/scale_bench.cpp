// What a frame and a pick cost as a scene grows past what the view shows, counted in
// instructions under callgrind (run by bench/run_bench.py), and what loading a large scene
// file costs in time and memory per control.
//
//   scale_bench count   frames and picks, bracketed for callgrind (names below)
//   scale_bench load    CPU time to load files of 10,000 and 100,000 controls, and memory
//                       per control
//
// The scenes, at 512 × 512 and 100 pixels a unit (bench/viewport_scene.h):
// - 1k: 1,000 controls filling the view (the viewport benchmark's scene);
// - 100k: 100,000 controls on a grid of 400 × 250 cells of the same size, about the
//   origin, so that the view shows its central 32 × 32 cells;
// - window: those central 1,024 controls alone;
// - 10k: 10,000 controls on a 100 × 100 grid squeezed into the view, all on screen.
// Each frame is drawn until the rasteriser is done (glFinish). A click is the picking pass
// scissored to the pointer, the read-back and the adaptor's scanHits, on a point control.
// Before anything is counted each scene is drawn and picked twice, so that bounds are
// learnt and shaders compiled: the counts are of a frame of an unchanged scene.

#include "apps/core/plugin_loader.h"
#include "apps/core/scene_loader.h"
#include "bench/bench_support.h"
#include "bench/callgrind_marks.h"
#include "bench/viewport_scene.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/draw/gl.h"
#include "host/scene/MO_Node.h"
#include "host/scene/components.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kFrames = 3;
constexpr int kClicks = 40;

struct Viewed {
    runner::Scene scene;
    VS_View view;
    // Window pixels on point controls, for clicks.
    std::vector<std::pair<int, int>> targets;
};

Viewed load(const runner::Json& document) {
    Viewed v;
    v.scene = runner::loadScene(document);
    v.view.camera = runner::cameraChain(v.scene.camera, bench::kViewSize, bench::kViewSize);
    v.view.background = v.scene.background;
    v.view.frameKey = MO_FrameKey(1);
    for (const auto& node : document["nodes"]) {
        if (!node["attributes"].contains("pos"))
            continue;
        const auto& p = node["attributes"]["pos"]["value"];
        const double x = p[0].get<double>() * 100 + 256, y = 256 - p[1].get<double>() * 100;
        if (x > 4 && x < 508 && y > 4 && y < 508)
            v.targets.emplace_back(int(x), int(y));
    }
    return v;
}

// The 400 × 250 grid's cells that a 512-pixel view about the origin shows.
runner::Json window(const runner::Json& big, int columns, int rows) {
    runner::Json w = big;
    w["nodes"] = runner::Json::array();
    const int c0 = columns / 2 - 16, r0 = rows / 2 - 16;
    for (std::size_t i = 0; i < big["nodes"].size(); ++i) {
        const int column = int(i) % columns, row = int(i) / columns;
        if (column >= c0 && column < c0 + 32 && row >= r0 && row < r0 + 32)
            w["nodes"].push_back(big["nodes"][i]);
    }
    return w;
}

void warm(Viewed& v) {
    for (int i = 0; i < 2; ++i) {
        VS_SceneRenderer::drawScene(*v.scene.common, v.view);
        glFinish();
        VS_SceneRenderer::pickAt(*v.scene.common, v.view, v.targets.front().first, v.targets.front().second);
    }
}

void countFrames(Viewed& v, const char* name) {
    warm(v);
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < kFrames; ++i) {
        VS_SceneRenderer::drawScene(*v.scene.common, v.view);
        glFinish();
    }
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(name);
    std::printf("%s drawn=%zu frames=%d\n", name, VS_SceneRenderer::lastPassNodes(), kFrames);
}

void countClicks(Viewed& v, const char* name) {
    int hits = 0;
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < kClicks; ++i) {
        const auto [x, y] = v.targets[std::size_t(i * 7) % v.targets.size()];
        const VS_PickHit hit = VS_SceneRenderer::pickAt(*v.scene.common, v.view, x, y);
        if (hit) {
            ++hits;
            hit.node->pickAdaptor()->scanHits(hit.handleId, true, Qt::NoModifier);
        }
    }
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(name);
    std::printf("%s clicks=%d hits=%d\n", name, kClicks, hits);
}

int count() {
    VS_OffscreenContext gl(bench::kViewSize, bench::kViewSize);
    {
        Viewed small = load(bench::grid(32, 32, 1000));
        countFrames(small, "frame/1k");
        countClicks(small, "click/1k");
    }
    {
        Viewed dense = load(bench::grid(100, 100, 10000, 0.0512));
        countFrames(dense, "frame/10k");
    }
    const runner::Json bigDocument = bench::grid(400, 250, 100000);
    {
        Viewed alone = load(window(bigDocument, 400, 250));
        countFrames(alone, "frame/window");
    }
    Viewed big = load(bigDocument);
    countFrames(big, "frame/100k");
    countClicks(big, "click/100k");
    return 0;
}

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// CPU time (user and system, every thread) from the file on disk to a drawable scene, as
// rigkit-run loads it. Time spent waiting for a core does not count, so the figure does
// not move with the load on the machine as wall-clock time does.
double cpuSecondsToLoad(const std::string& file, std::size_t controls) {
    const double start = cpuSeconds();
    runner::Scene scene = runner::loadSceneFile(file);
    const double end = cpuSeconds();
    if (scene.common->nodes().size() != controls) {
        std::fprintf(stderr, "scale_bench: %s loaded %zu controls, not %zu\n", file.c_str(),
                     scene.common->nodes().size(), controls);
        std::exit(1);
    }
    return end - start;
}

std::string writeFile(const runner::Json& document, const std::string& name) {
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("rigkit-scale-bench-" + std::to_string(getpid()) + "-" + name + ".json"))
                                 .string();
    std::ofstream(file) << document.dump(2) << "\n";
    return file;
}

int loadTimes() {
    // Medians of five loads each, the two sizes interleaved so that whatever else the
    // machine does falls on both alike.
    const runner::Json ten = bench::grid(100, 100, 10000, 0.0512), hundred = bench::grid(400, 250, 100000);
    const std::string tenFile = writeFile(ten, "10k"), hundredFile = writeFile(hundred, "100k");
    std::vector<double> small, big;
    for (int i = 0; i < 5; ++i) {
        small.push_back(cpuSecondsToLoad(tenFile, 10000));
        big.push_back(cpuSecondsToLoad(hundredFile, 100000));
    }
    std::filesystem::remove(tenFile);
    std::filesystem::remove(hundredFile);
    std::sort(small.begin(), small.end());
    std::sort(big.begin(), big.end());
    std::printf("load10k_cpu_s=%.6f load100k_cpu_s=%.6f\n", small[2], big[2]);

    // Memory: the context and the plug-in's first drawing are made before the baseline, and
    // the document is kept alive throughout, so that only the scene and its drawing count.
    VS_OffscreenContext gl(bench::kViewSize, bench::kViewSize);
    {
        Viewed warmup = load(bench::grid(32, 32, 1000));
        warm(warmup);
    }
    const long before = residentBytes();
    Viewed viewed = load(hundred);
    VS_SceneRenderer::drawScene(*viewed.scene.common, viewed.view);
    glFinish();
    const long after = residentBytes();
    std::printf("rss_per_control_bytes=%.0f controls=%zu\n", double(after - before) / 100000.0,
                viewed.scene.common->nodes().size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool load = argc > 1 && std::strcmp(argv[1], "load") == 0;
    // As the other timed benchmarks: freed memory stays in the heap between loads.
    if (load)
        bench::restartWithTunables(argv, "scale_bench");
    const char* env = std::getenv("RIGKIT_PLUGIN");
    const std::string error = runner::loadPlugin(env ? env : RIGKIT_PLUGIN_PATH);
    if (!error.empty()) {
        std::fprintf(stderr, "scale_bench: %s\n", error.c_str());
        return 1;
    }
    if (load)
        return loadTimes();
    if (argc > 1 && std::strcmp(argv[1], "count") == 0)
        return count();
    std::fprintf(stderr, "usage: scale_bench count|load\n");
    return 2;
}
