// What one pointer move costs each drag manipulator, against the bare maths of that move.
//
// For every manipulator: a press, then kMoves calls of drag(); and, in the same binary, the
// same maths of one move written inline with everything the press fixes worked out once
// (the plane projection, the post matrix, the grab offset, the track length). Each loop is
// bracketed by callgrind client requests, so that under
//
//   valgrind --tool=callgrind --collect-atstart=no build/bench/bin/drag_bench
//
// every loop's instruction count lands in its own dump, described "drag/<TYPE>" or
// "bare/<TYPE>". Outside valgrind the requests do nothing.
//
// The program also counts heap allocations (malloc, calloc, realloc, and operator new,
// which goes through malloc) during the moves and prints one line per manipulator:
//
//   <TYPE> moves=<n> allocations=<n>

#include "bench/callgrind_marks.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/factories.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

// Every allocation of the process goes through these; glibc keeps its own under the
// __libc_ names.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}

namespace {
std::atomic<unsigned long> g_allocations{0};
}

extern "C" {
void* malloc(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}
void free(void* p) {
    __libc_free(p);
}
}

namespace {

constexpr int kMoves = 1000;

// A node with one attribute of type A, a drag context with an orthographic camera and a
// post matrix that is not the identity, so that no step of the maths is trivially skipped.
template <class A>
struct Fixture {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    A* attr;
    SLB_DragContext context{&scene};
    MO_PropertyBag properties;

    template <class... Args>
    explicit Fixture(Args&&... args)
        : attr(node->addAttribute(std::make_unique<A>(node, "a", std::forward<Args>(args)...))) {
        context.setCamera(Math::CameraTransformChain::orthographic(400, 400, {0, 0}, 100));
        Math::Matrix4x4 post;
        post.rotateDegrees(10.0, Math::Vector3d(0, 0, 1));
        context.setPostMatrix(post);
    }
};

// The pointer of move i: a slow diagonal sweep in pointer (world) coordinates.
inline double px(int i) {
    return 0.3 + 1e-3 * i;
}
inline double py(int i) {
    return 0.5 - 5e-4 * i;
}

// Runs the loop under collection and dumps its count under `name`; returns allocations.
template <class Body>
unsigned long measure(const char* name, Body&& body) {
    const unsigned long before = g_allocations.load();
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < kMoves; ++i)
        body(i);
    CALLGRIND_TOGGLE_COLLECT;
    const unsigned long allocations = g_allocations.load() - before;
    CALLGRIND_DUMP_STATS_AT(name);
    return allocations;
}

// The manipulator is made by the factory from its type string, as the host makes it.
template <class F>
void dragCase(const char* type, F& f) {
    const MO_ComponentData data{f.properties, {f.attr}};
    std::unique_ptr<SLB_SelectableDragManipulator> made(
        SLB_SelectableDragManipulatorFactorySingleton().create(QString::fromLatin1(type), data));
    if (!made) {
        std::fprintf(stderr, "drag_bench: the plug-in makes no %s\n", type);
        std::exit(1);
    }
    SLB_SelectableDragManipulator& m = *made;
    m.dragStarted(f.context, f.node->selInterface(), px(-1), py(-1), 0);
    const std::string name = std::string("drag/") + type;
    const unsigned long allocations =
        measure(name.c_str(), [&](int i) { m.drag(f.context, f.node->selInterface(), px(i), py(i), 0); });
    std::printf("%s moves=%d allocations=%lu\n", type, kMoves, allocations);
    m.dragFinished(f.context, f.node->selInterface());
}

template <class F>
void bareCase(const char* type, F&& body) {
    const std::string name = std::string("bare/") + type;
    measure(name.c_str(), body);
}

// What the press fixes for a move onto the node's plane: the chain, and the plane's
// projection.
struct Plane {
    Math::CameraTransformChain chain;
    Math::PlaneProjection projection{Math::Matrix4x4(), true};
    template <class F>
    Plane(F& f, const Math::Matrix4x4* turn = nullptr) {
        f.context.cameraTransformChain(chain, f.node, true);
        if (turn)
            chain.applyMatrixToModel(*turn);
        Math::Matrix4x4 toScreen;
        chain.compoundMatrix(Math::SourceModelFrame, Math::DestinationScreenFrame, toScreen);
        projection = Math::PlaneProjection(toScreen, true);
    }
    bool project(double x, double y, Math::Point2d& q) const {
        Math::Point3d s;
        return chain.transform(Math::SourcePointerFrame, Math::DestinationScreenFrame, Math::Point3d(x, y, 0), s) &&
               projection.getInverseProjection(s.x, s.y, q);
    }
};

volatile double g_sink;

void translations() {
    {
        Fixture<AT_DoubleAttr> f;
        dragCase("TRANSLATION_X", f);
        const Plane plane(f);
        const Math::Matrix4x4 post = f.context.postMatrix();
        const double offset = 0.25;
        bareCase("TRANSLATION_X", [&](int i) {
            Math::Point2d q;
            if (plane.project(px(i), py(i), q)) {
                const Math::Point4d p = post * Math::Point4d(q.x, q.y, 0, 1);
                g_sink = f.scene.metrics().fromOGL(Math::Point3d(p.x + offset, p.y, 0)).x;
            }
        });
    }
    {
        Fixture<AT_DoubleAttr> f;
        dragCase("TRANSLATION_Y", f);
        const Plane plane(f);
        const Math::Matrix4x4 post = f.context.postMatrix();
        const double offset = 0.25;
        bareCase("TRANSLATION_Y", [&](int i) {
            Math::Point2d q;
            if (plane.project(px(i), py(i), q)) {
                const Math::Point4d p = post * Math::Point4d(q.x, q.y, 0, 1);
                g_sink = f.scene.metrics().fromOGL(Math::Point3d(p.x, p.y + offset, 0)).y;
            }
        });
    }
    {
        Fixture<AT_DoubleAttr> f;
        dragCase("TRANSLATION_Z", f);
        Math::Matrix4x4 turn;
        turn.rotateDegrees(90.0, Math::Vector3d(0, 1, 0));
        const Plane plane(f, &turn);
        const Math::Matrix4x4 post = f.context.postMatrix() * turn;
        const double offset = 0.25;
        bareCase("TRANSLATION_Z", [&](int i) {
            Math::Point2d q;
            if (plane.project(px(i), py(i), q)) {
                const Math::Point4d p = post * Math::Point4d(q.x, q.y, 0, 1);
                g_sink = (p.z + offset) * f.scene.metrics().zDrawingFactor();
            }
        });
    }
}

void rotationAxis(const char* type, int axis) {
    Fixture<AT_DoubleAttr> f;
    dragCase(type, f);
    Math::CameraTransformChain chain;
    f.context.cameraTransformChain(chain, f.node, true);
    const Math::Matrix4x4 post = f.context.postMatrix();
    Math::Point4d last(1, 0, 0, 1);
    double angle = 0.0;
    bareCase(type, [&](int i) {
        Math::Point3d m(0, 0, 0);
        chain.transform(Math::SourcePointerFrame, Math::DestinationModelFrame, Math::Point3d(px(i), py(i), 0), m);
        const Math::Point4d p = post * Math::Point4d(m);
        const Math::Vector3d a = Math::Vector3d(last.x, last.y, last.z).normalized();
        const Math::Vector3d b = Math::Vector3d(p.x, p.y, p.z).normalized();
        const Math::Vector3d d = a - b;
        double theta = std::acos(std::clamp((d.dot(d) - 2.0) * -0.5, -1.0, 1.0));
        if (a.cross(b)[axis] < 0.0)
            theta = -theta;
        angle += theta * 180.0 / 3.141592653589793;
        last = p;
    });
    g_sink = angle;
}

// The nearer hit of the line from p1 through p2 with the sphere (k, r); the pointer in
// this sweep always meets the sphere.
Math::Point4d hit(const Math::Point4d& p1, const Math::Point4d& p2, const Math::Point4d& k, double r) {
    const Math::Vector3d d(p2.x - p1.x, p2.y - p1.y, p2.z - p1.z);
    const Math::Vector3d p(p1.x - k.x, p1.y - k.y, p1.z - k.z);
    const double a = d.dot(d), b = 2.0 * p.dot(d), c = p.dot(p) - r * r;
    const double disc = b * b - 4.0 * a * c;
    const double t = disc < 0.0 ? -b / (2.0 * a) : (-b - std::sqrt(disc)) / (2.0 * a);
    return Math::Point4d(p1.x + t * d.x, p1.y + t * d.y, p1.z + t * d.z, 1.0);
}

void rotations() {
    rotationAxis("ROTATION_X", 0);
    rotationAxis("ROTATION_Y", 1);
    rotationAxis("ROTATION_Z", 2);

    Fixture<AT_Rotation3dAttr> f;
    dragCase("ROTATION_3D", f);
    Math::CameraTransformChain chain;
    f.context.cameraTransformChain(chain, f.node, true);
    const Math::Matrix4x4 post = f.context.postMatrix();
    const Math::Point4d eye = chain.viewMatrix().inverse() * Math::Point4d(0, 0, 0, 1);
    Math::Point3d c3(0, 0, 0);
    chain.transform(Math::SourceModelFrame, Math::DestinationPointerFrame, Math::Point3d(0, 0, 0), c3);
    const Math::Point4d centre(c3);
    const Math::Point3d c = (post * Math::Point4d()).toPoint3d();
    const double r = f.scene.metrics().xUnitScale();
    Math::Point4d last = hit(eye, Math::Point4d(px(-1), py(-1), 0, 1), centre, r);
    Math::Angle3d current(0, 0, 0);
    const auto toModel = [&](const Math::Point4d& p) {
        Math::Point3d m(0, 0, 0);
        chain.transform(Math::SourcePointerFrame, Math::DestinationModelFrame, p.toPoint3d(), m);
        return post * Math::Point4d(m);
    };
    bareCase("ROTATION_3D", [&](int i) {
        const Math::Point4d s = hit(eye, Math::Point4d(px(i), py(i), 0, 1), centre, r);
        Math::Vector3d n(toModel(s).toPoint3d() - c);
        Math::Vector3d o(toModel(last).toPoint3d() - c);
        n.normalize();
        o.normalize();
        current = current + Math::Quat(o, n).euler(true);
        last = s;
    });
    g_sink = current.x;
}

void slider() {
    Fixture<AT_DoubleAttr> f;
    dragCase("SLIDER", f);
    const Plane plane(f);
    // The default slider lies in the scene, three units long, vertical, over 0..100.
    const SC_SceneMetrics& metrics = f.scene.metrics();
    const Math::Point3d a = metrics.toOGL(Math::Point3d(0, 0, 0)), b = metrics.toOGL(Math::Point3d(0, 3, 0));
    const double length = Math::Point2d::GetDistance(Math::Point2d(a.x, a.y), Math::Point2d(b.x, b.y));
    const double start = 0.1, startRatio = 0.0, lo = 0.0, hi = 100.0;
    bareCase("SLIDER", [&](int i) {
        Math::Point2d q;
        if (plane.project(px(i), py(i), q)) {
            const double t = std::max(0.0, std::min(1.0, (q.y - start) / length + startRatio));
            g_sink = lo + (hi - lo) * t;
        }
    });
}

void positions() {
    {
        Fixture<AT_Position2dAttr> f;
        dragCase("POSITION_2D", f);
        const Plane plane(f);
        const Math::Matrix4x4 post = f.context.postMatrix();
        const double offset[2] = {0.25, -0.25}, lo = -1e300, hi = 1e300;
        bareCase("POSITION_2D", [&](int i) {
            Math::Point2d q;
            if (plane.project(px(i), py(i), q)) {
                const Math::Point4d p = post * Math::Point4d(q.x, q.y, 0, 0);
                const Math::Point3d s = f.scene.metrics().fromOGL(Math::Point3d(offset[0] + p.x, offset[1] + p.y, 0));
                g_sink = std::clamp(s.x, lo, hi) + std::clamp(s.y, lo, hi);
            }
        });
    }
    {
        Fixture<AT_Position3dAttr> f;
        dragCase("POSITION_3D", f);
        const Plane plane(f);
        const Math::Matrix4x4 post = f.context.postMatrix();
        const double offset[2] = {0.25, -0.25}, depth = 0.5;
        bareCase("POSITION_3D", [&](int i) {
            Math::Point2d q;
            if (plane.project(px(i), py(i), q)) {
                const Math::Point4d p = post * Math::Point4d(q.x, q.y, 0, 1);
                Math::Point3d s = f.scene.metrics().fromOGL(Math::Point3d(offset[0] + p.x, offset[1] + p.y, 0));
                s.z = depth;
                g_sink = s.x + s.y + s.z;
            }
        });
    }
}

// The button and the script do nothing on a move: their bare maths is an empty loop.
void buttons() {
    {
        Fixture<AT_BoolAttr> f;
        dragCase("BUTTON", f);
        bareCase("BUTTON", [](int) {});
    }
    {
        Fixture<AT_DoubleAttr> f;
        dragCase("SCRIPT", f);
        bareCase("SCRIPT", [](int) {});
    }
}

}  // namespace

int main() {
    // A counter that missed allocations would report every manipulator clean.
    const unsigned long before = g_allocations.load();
    auto* probe = new std::vector<int>(64);
    g_sink = double(probe->size());
    delete probe;
    if (g_allocations.load() == before) {
        std::fprintf(stderr, "drag_bench: the allocation counter sees no allocation\n");
        return 1;
    }
    const char* pluginPath = std::getenv("RIGKIT_PLUGIN") ? std::getenv("RIGKIT_PLUGIN") : RIGKIT_PLUGIN_PATH;
    if (!dlopen(pluginPath, RTLD_NOW | RTLD_LOCAL)) {
        std::fprintf(stderr, "drag_bench: cannot load the plug-in: %s\n", dlerror());
        return 1;
    }
    translations();
    rotations();
    slider();
    positions();
    buttons();
    return 0;
}
