// Components created, used and destroyed over and over, round-robin over every registered
// class: whatever a cycle allocates must be given back, so the heap in use stays flat. The
// number of cycles comes from RIGKIT_CHURN_CYCLES (a few seconds' worth by default); the
// leak check itself is LeakSanitizer's, at exit, in the sanitizer build.

#include "host/commands/CO_Command.h"
#include "host/draw/gl.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/interaction/SLB_ManipContext.h"
#include "tests/support/components.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <malloc.h>

// The sanitizer runtime's own count, when a sanitizer runtime (address or leak) is linked in:
// its allocator replaces malloc, so the C library's figures then say nothing. Weak so that the
// plain build links without it; declared here because not every compiler ships the header.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

using namespace rigkit_test;

// Thirty lives of each registered component unless told otherwise.
long cyclesWanted() {
    const char* text = std::getenv("RIGKIT_CHURN_CYCLES");
    if (!text || !*text)
        return 30 * long(allComponents().size());
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    return (*end == '\0' && n > 0) ? n : -1;
}

// Bytes the program holds from the allocator right now (freed blocks that the sanitizer
// keeps in quarantine do not count).
std::size_t heapInUse() {
    return __sanitizer_get_current_allocated_bytes ? __sanitizer_get_current_allocated_bytes() : mallinfo2().uordblks;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// One life of one component: built with a few ordinary properties, drawn in both passes,
// dragged if it is a manipulator, picked if it is a pick adaptor, then destroyed with its
// scene.
void live(const Component& c, const VS_View& view) {
    Rig rig;
    MO_PropertyBag properties;
    properties.set("length", 1.5);
    properties.set("color", std::vector<double>{200, 100, 50, 255});
    properties.set("label", QString("churn"));
    ASSERT_TRUE(rig.install(c, properties)) << describe(c);
    rig.scene.selection().select(rig.node, 0, false);
    VS_SceneRenderer::drawScene(rig.scene, view);
    VS_SceneRenderer::drawPickPass(rig.scene, view);
    if (c.family == Family::Manipulator) {
        SLB_DragContext context(&rig.scene);
        context.setCamera(view.camera);
        CO_UndoHistory history;
        SLB_DragSession session(context, history);
        if (session.press(rig.node, {32, 32})) {
            session.move({40, 24});
            session.release();
            history.undo();
        }
    }
    if (SLB_ModulePickAdaptor* picker = rig.node->pickAdaptor())
        picker->scanHits(picker->handleId(0), true, Qt::NoModifier);
}

}  // namespace

TEST(Churn, EveryComponentCreatedPaintedAndDestroyedGivesBackWhatItTook) {
    const long cycles = cyclesWanted();
    ASSERT_GT(cycles, 0) << "RIGKIT_CHURN_CYCLES must be a positive whole number";
    gl(kSize, kSize);
    const VS_View view = orthoView(20, 3);
    const std::vector<Component>& all = allComponents();
    // Rounds before measuring fill whatever is made once (fonts, type strings, the
    // driver's buffers and compiled state).
    for (int round = 0; round < 3; ++round)
        for (const Component& c : all)
            live(c, view);
    glFinish();
    const std::size_t heapBefore = heapInUse();
    const long rssBefore = residentKiB();
    std::size_t heapHalfway = 0;
    for (long i = 0; i < cycles; ++i) {
        if (i == cycles / 2)
            heapHalfway = heapInUse();
        live(all[std::size_t(i) % all.size()], view);
        // The driver queues what it was given until a flush: finishing once a round keeps
        // its buffers to a round's worth, so that what stays is ours.
        if ((i + 1) % long(all.size()) == 0)
            glFinish();
        if ((i + 1) % 100000 == 0)
            std::printf("churn: %ld cycles, heap in use %zu bytes, resident %ld KiB\n", i + 1, heapInUse(),
                        residentKiB());
    }
    const std::size_t heapAfter = heapInUse();
    const long rssAfter = residentKiB();
    std::printf("churn: %ld cycles (%ld of each of %zu components); heap in use %zu, halfway %zu, at the end %zu "
                "bytes; resident %ld -> %ld KiB\n",
                cycles, cycles / long(all.size()), all.size(), heapBefore, heapHalfway, heapAfter, rssBefore,
                rssAfter);
    // The driver may still enlarge a buffer now and then; anything a cycle kept would add
    // up over the second half instead.
    EXPECT_LE(heapAfter, heapHalfway + 256 * 1024);
}
