// What a frame and a pick cost as a scene grows past what the view shows, counted in
// instructions under callgrind (run by bench/run_bench.py), and what loading a large scene
// file costs in time and memory per control.
//
//   scale_bench count   frames and picks, bracketed for callgrind (names below)
//   scale_bench motion 1k|10k|100k [camera|play]   the view and the scene in motion,
//                       bracketed for callgrind
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
//
// In motion, at 1,000 controls (culling on and off), and at 10,000 (a 100 × 100 grid of
// the same cells) and 100,000 with the view showing about 1,000 of them, 20 steps each
// drawn once:
// - pan: the orthographic camera moves by (1.37, 0.71) pixels a step;
// - orbit: a perspective camera ten units from the origin, its eye 15 degrees off the
//   grid's normal, goes round it by 18 degrees a step (the view about as wide as the
//   orthographic one at the grid);
// - play: frames 2 to 21 of the grid with every control keyed (bench::keyMove);
// - drag: 20 moves of an arrow's translation near the view's centre, each with the frame
//   that shows it (pointer to picture);
// - hover: 40 picks under the pointer, each right after the camera moved by a pixel, with
//   no frame drawn between.
// Each is compared with the still frame of the controls the view shows, alone.

#include "apps/core/plugin_loader.h"
#include "apps/core/scene_loader.h"
#include "bench/bench_support.h"
#include "bench/callgrind_marks.h"
#include "bench/viewport_scene.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/gl.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/MO_Node.h"
#include "host/scene/components.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>
#include <sys/resource.h>
#include <sys/wait.h>

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
    COUNT_BEGIN;
    for (int i = 0; i < kFrames; ++i) {
        VS_SceneRenderer::drawScene(*v.scene.common, v.view);
        glFinish();
    }
    COUNT_END(name);
    std::printf("%s drawn=%zu frames=%d\n", name, VS_SceneRenderer::lastPass(*v.scene.common).painted, kFrames);
}

void countClicks(Viewed& v, const char* name) {
    int hits = 0;
    COUNT_BEGIN;
    for (int i = 0; i < kClicks; ++i) {
        const auto [x, y] = v.targets[std::size_t(i * 7) % v.targets.size()];
        const VS_PickHit hit = VS_SceneRenderer::pickAt(*v.scene.common, v.view, x, y);
        if (hit) {
            ++hits;
            hit.node->pickAdaptor()->scanHits(hit.handleId, true, Qt::NoModifier);
        }
    }
    COUNT_END(name);
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

constexpr int kSteps = 20;

VS_View panned(const VS_View& still, int step) {
    VS_View view = still;
    view.camera = Math::CameraTransformChain::orthographic(bench::kViewSize, bench::kViewSize,
                                                          {0.0137 * step, 0.0071 * step}, 100);
    return view;
}

VS_View orbited(const VS_View& still, int step) {
    constexpr double kDistance = 10.0, kTilt = 15.0 * M_PI / 180.0;
    const double around = 18.0 * step * M_PI / 180.0;
    const Math::Point3d eye(kDistance * std::sin(kTilt) * std::cos(around),
                            kDistance * std::sin(kTilt) * std::sin(around), kDistance * std::cos(kTilt));
    // As wide at the grid as the orthographic view: 5.12 units over 512 pixels.
    const double fovy = 2.0 * std::atan(2.56 / kDistance) * 180.0 / M_PI;
    VS_View view = still;
    view.camera = Math::CameraTransformChain::perspective(bench::kViewSize, bench::kViewSize, eye, {0, 0, 0},
                                                         {0, 1, 0}, fovy);
    return view;
}

VS_View played(const VS_View& still, int step) {
    VS_View view = still;
    view.frameKey = MO_FrameKey(1 + step);
    return view;
}

// Draws `steps` views, each once, counted as `name`.
void countPath(Viewed& v, const std::string& name, const std::function<VS_View(const VS_View&, int)>& at) {
    warm(v);
    COUNT_BEGIN;
    for (int i = 1; i <= kSteps; ++i) {
        VS_SceneRenderer::drawScene(*v.scene.common, at(v.view, i));
        glFinish();
    }
    COUNT_END(name.c_str());
    std::printf("%s drawn=%zu frames=%d\n", name.c_str(), VS_SceneRenderer::lastPass(*v.scene.common).painted, kSteps);
}

// The arrow nearest the view's centre, pressed on its shaft and moved a pixel a step.
void countDrag(Viewed& v, const std::string& name) {
    warm(v);
    MO_Node* arrow = nullptr;
    double nearest = HUGE_VAL;
    for (const auto& node : v.scene.common->nodes()) {
        const Math::Matrix4x4 m = node->worldMatrix(v.view.frameKey);
        const double d = std::hypot(m(0, 3), m(1, 3));
        // Arrows are every fifth control, from the first (bench/viewport_scene.h).
        if (node->name().mid(1).toInt() % 5 == 0 && d < nearest)
            arrow = node.get(), nearest = d;
    }
    const Math::Matrix4x4 m = arrow->worldMatrix(v.view.frameKey);
    const Math::Point2d at(256 + 100 * m(0, 3), 256 - 100 * m(1, 3) - 6);
    SLB_DragContext context(v.scene.common.get());
    context.setCamera(v.view.camera);
    context.setFrames(1, 1);
    context.setAnimationMode(CX_AnimationModeCurrentFrame);
    VS_Canvas canvas(bench::kViewSize, bench::kViewSize);
    CC_CameraChainTransformCanvasBinder binder(canvas);
    binder.setTransformChain(v.view.camera);
    context.setOglMatrixManager(&binder);
    CO_UndoHistory history;
    SLB_DragSession session(context, history);
    if (!session.press(arrow, at)) {
        std::fprintf(stderr, "scale_bench: cannot press %s\n", arrow->name().toUtf8().constData());
        return;
    }
    COUNT_BEGIN;
    for (int i = 1; i <= kSteps; ++i) {
        session.move(Math::Point2d(at.x, at.y - i));
        VS_SceneRenderer::drawScene(*v.scene.common, v.view);
        glFinish();
    }
    COUNT_END(name.c_str());
    session.cancel();
    std::printf("%s drawn=%zu moves=%d\n", name.c_str(), VS_SceneRenderer::lastPass(*v.scene.common).painted, kSteps);
}

void countHover(Viewed& v, const std::string& name) {
    warm(v);
    COUNT_BEGIN;
    for (int i = 0; i < kClicks; ++i) {
        const auto [x, y] = v.targets[std::size_t(i * 7) % v.targets.size()];
        VS_View view = v.view;
        view.camera = Math::CameraTransformChain::orthographic(bench::kViewSize, bench::kViewSize,
                                                              {0.01 * (i + 1), 0.0}, 100);
        VS_SceneRenderer::pickAt(*v.scene.common, view, x, y);
    }
    COUNT_END(name.c_str());
    std::printf("%s clicks=%d\n", name.c_str(), kClicks);
}

// A grid of `count` controls on `columns` × `rows` cells; the 1k grid fills the view.
struct Grid {
    int columns, rows, count;
    std::string size;
    bool small() const { return size == "1k"; }
};

// Camera paths, a drag and hovers over the grid (the 1k one culled and not), and the
// same paths over the controls in view alone.
void cameraMotion(const Grid& g) {
    {
        Viewed still = load(bench::grid(g.columns, g.rows, g.count));
        if (g.small())
            countFrames(still, "frame/1k");
        for (const bool culling : {true, false}) {
            if (!culling && !g.small())
                break;
            still.view.culling = culling;
            const std::string suffix = !g.small() ? "" : culling ? "/on" : "/off";
            countPath(still, "pan/" + g.size + suffix, panned);
            countPath(still, "orbit/" + g.size + suffix, orbited);
        }
        still.view.culling = true;
        countDrag(still, "drag/" + g.size);
        countHover(still, "hover/" + g.size);
    }
    if (!g.small()) {
        Viewed alone = load(window(bench::grid(g.columns, g.rows, g.count), g.columns, g.rows));
        countFrames(alone, ("frame/window" + g.size).c_str());
        countPath(alone, "pan/window" + g.size, panned);
        countPath(alone, "orbit/window" + g.size, orbited);
    }
}

// Playback of the grid with every control keyed (the 1k one culled and not), and of the
// keyed controls in view alone.
void playback(const Grid& g) {
    {
        Viewed keyed = load(bench::grid(g.columns, g.rows, g.count, 0.16, true));
        for (const bool culling : {true, false}) {
            if (!culling && !g.small())
                break;
            keyed.view.culling = culling;
            countPath(keyed, "play/" + g.size + (!g.small() ? "" : culling ? "/on" : "/off"), played);
        }
    }
    if (!g.small()) {
        Viewed alone = load(window(bench::grid(g.columns, g.rows, g.count, 0.16, true), g.columns, g.rows));
        countFrames(alone, ("frame/keyedwindow" + g.size).c_str());
        countPath(alone, "play/keyedwindow" + g.size, played);
    }
}

// `size` is 1k, 10k or 100k: each is loaded and played alone, so that the largest need
// not share the memory; `part`, when given, is "camera" or "play".
int motion(const std::string& size, const std::string& part) {
    VS_OffscreenContext gl(bench::kViewSize, bench::kViewSize);
    const Grid g = size == "1k" ? Grid{32, 32, 1000, size} : size == "10k" ? Grid{100, 100, 10000, size}
                                                                             : Grid{400, 250, 100000, size};
    if (part != "play")
        cameraMotion(g);
    if (part != "camera")
        playback(g);
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
//
// Each load runs in a process of its own, forked with the plug-in loaded, as each run of
// rigkit-run is a process of its own: a load in a process that loaded before would find
// its heap's pages already touched, and a larger file after a smaller one would pay for
// fresh pages the smaller did not, which is no property of the loader.
double cpuSecondsToLoad(const std::string& file, std::size_t controls) {
    int channel[2];
    if (pipe(channel) != 0) {
        std::perror("scale_bench: pipe");
        std::exit(1);
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const double start = cpuSeconds();
        runner::Scene scene = runner::loadSceneFile(file);
        double seconds = cpuSeconds() - start;
        if (scene.common->nodes().size() != controls) {
            std::fprintf(stderr, "scale_bench: %s loaded %zu controls, not %zu\n", file.c_str(),
                         scene.common->nodes().size(), controls);
            seconds = -1;
        }
        // Where the time went, for the reader of the figure: page faults are most of the
        // system time, and on some virtual machines a first touch of a page is dear.
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::fprintf(stderr, "%s: %.3f s user, %.3f s system, %ld page faults (whole child)\n",
                     std::filesystem::path(file).filename().c_str(),
                     double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) * 1e-6,
                     double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) * 1e-6, usage.ru_minflt);
        const bool sent = write(channel[1], &seconds, sizeof seconds) == ssize_t(sizeof seconds);
        // The scene is not freed: the process ends here, and freeing is no part of a load.
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    double seconds = -1;
    const bool got = child > 0 && read(channel[0], &seconds, sizeof seconds) == ssize_t(sizeof seconds);
    close(channel[0]);
    int status = 0;
    if (child > 0)
        waitpid(child, &status, 0);
    if (!got || seconds < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "scale_bench: loading %s in a child process failed\n", file.c_str());
        std::exit(1);
    }
    return seconds;
}

std::string tempFile(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("rigkit-scale-bench-" + std::to_string(getpid()) + "-" + name + ".json"))
        .string();
}

// The documents are made and written by a child of their own: made here, they would leave
// this process's heap full of pages that each forked load shares and copies when it first
// writes there (a fault a page, which a load in a process of its own does not pay).
void writeFiles(const std::string& tenFile, const std::string& hundredFile) {
    const pid_t writer = fork();
    if (writer == 0) {
        std::ofstream(tenFile) << bench::grid(100, 100, 10000, 0.0512).dump(2) << "\n";
        std::ofstream(hundredFile) << bench::grid(400, 250, 100000).dump(2) << "\n";
        _exit(0);
    }
    int status = 0;
    if (writer < 0 || waitpid(writer, &status, 0) != writer || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "scale_bench: writing the files to load failed\n");
        std::exit(1);
    }
}

int loadTimes() {
    // Medians of five loads each, the two sizes interleaved so that whatever else the
    // machine does falls on both alike.
    const std::string tenFile = tempFile("10k"), hundredFile = tempFile("100k");
    writeFiles(tenFile, hundredFile);
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
    const runner::Json hundred = bench::grid(400, 250, 100000);
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
    if (argc > 2 && std::strcmp(argv[1], "motion") == 0)
        return motion(argv[2], argc > 3 ? argv[3] : "");
    std::fprintf(stderr, "usage: scale_bench count|motion 1k|10k|100k [camera|play]|load\n");
    return 2;
}
