// What a drag costs per pointer move, and what recording an edit over a long curve costs.
//
// - Drag/<axis>: one drag() of a translation manipulator, against BareEvent/<axis>: the
//   same maths of one event written inline (pointer to screen, back onto the node's
//   plane, plus the grab offset). Their ratio is the manipulator's overhead per move.
// - OffsetCommand/<keys>: building, executing and undoing a range offset over a curve of
//   that many keys (1k, 10k, 100k); the times should grow linearly.
// - SetValueAtFrame: keying one frame of a 100k-key curve, with its undo.
//
// Run: build/default/bin/edit_bench (Google Benchmark flags apply).

#include "host/commands/CO_Command.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/SLB_Selection.h"
#include "manipulators/attribute_commands.h"
#include "manipulators/translation_manipulators.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct DragFixture {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    AT_DoubleAttr* attr = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "t"));
    SLB_DragContext context{&scene};
    DragFixture() { context.setCamera(Math::CameraTransformChain::orthographic(400, 400, {0, 0}, 100)); }
};

template <class Manipulator>
void Drag(benchmark::State& state) {
    DragFixture f;
    Manipulator m(f.node->properties(), f.attr);
    m.dragStarted(f.context, f.node->selInterface(), 0, 0, 0);
    double x = 0.0;
    for (auto _ : state) {
        x += 1e-3;
        m.drag(f.context, f.node->selInterface(), x, 0.5, 0);
    }
    benchmark::DoNotOptimize(f.attr->valueAt(1));
}

// One event's maths without the manipulator around it.
void BareEvent(benchmark::State& state) {
    DragFixture f;
    Math::CameraTransformChain chain;
    f.context.cameraTransformChain(chain, f.node, true);
    Math::Matrix4x4 toScreen;
    chain.compoundMatrix(Math::SourceModelFrame, Math::DestinationScreenFrame, toScreen);
    const Math::PlaneProjection projection(toScreen, true);
    const double offset = 0.25;
    double x = 0.0, value = 0.0;
    for (auto _ : state) {
        x += 1e-3;
        Math::Point3d s;
        Math::Point2d q;
        if (chain.transform(Math::SourcePointerFrame, Math::DestinationScreenFrame, Math::Point3d(x, 0.5, 0), s) &&
            projection.getInverseProjection(s.x, s.y, q)) {
            const Math::Point4d p = f.context.postMatrix() * Math::Point4d(q.x, q.y, 0, 1);
            value = f.scene.metrics().fromOGL(Math::Point3d(p.x + offset, p.y, 0)).x;
        }
        benchmark::DoNotOptimize(value);
    }
}

void fillCurve(SC_SceneCommon& scene, AT_DoubleAttr* attr, int keys) {
    auto tv = std::make_unique<LXBezierTimedValue>();
    tv->controlPoints().reserve(keys);
    for (int i = 0; i < keys; ++i) {
        LXCtrlPt p;
        p.frame = i;
        p.value = i % 7;
        tv->controlPoints().insert(p);
    }
    attr->socket()->link(tv.get());
    scene.addTimedValue(std::move(tv));
}

void OffsetCommand(benchmark::State& state) {
    DragFixture f;
    const int keys = static_cast<int>(state.range(0));
    fillCurve(f.scene, f.attr, keys);
    const MO_FrameRange range(keys / 4, 3 * keys / 4);
    for (auto _ : state) {
        rigkit::OffsetValueAllFramesCmd cmd(f.attr, 1.5, range);
        cmd.execute();
        cmd.unexecute();
    }
    state.SetComplexityN(keys);
}

void SetValueAtFrame(benchmark::State& state) {
    DragFixture f;
    fillCurve(f.scene, f.attr, 100000);
    for (auto _ : state) {
        rigkit::SetValueCurrentFrameCmd cmd(&f.scene, f.attr, 50000.5, 3.0, false, false, false, false);
        cmd.execute();
        cmd.unexecute();
    }
}

}  // namespace

BENCHMARK_TEMPLATE(Drag, TranslationXDragManipulator);
BENCHMARK_TEMPLATE(Drag, TranslationZDragManipulator);
BENCHMARK(BareEvent);
BENCHMARK(OffsetCommand)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Complexity();
BENCHMARK(SetValueAtFrame)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
