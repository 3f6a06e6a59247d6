// What loading the plug-in costs: dlopen, during which every component class registers
// itself with the host's factories, and its entry PLUG_Init. Loading happens once per
// process and cannot be undone (the factories keep what was registered), so one run
// measures one load; run it several times and take the median.
//
// Prints: load_us=<microseconds> registrations=<count>
//
// Run: build/bench/bin/load_bench

#include "host/scene/factories.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main() {
    const char* env = std::getenv("RIGKIT_PLUGIN");
    const char* path = env ? env : RIGKIT_PLUGIN_PATH;
    // The host's own library is linked in and already loaded, as in the application.
    const std::size_t before = SLB_SelectableDragManipulatorFactorySingleton().names().size() +
                               MO_LocalTransformationFactorySingleton().names().size() +
                               MO_OGLPainterFactorySingleton().names().size() +
                               SLB_PickAdaptorFactorySingleton().names().size();
    const auto start = std::chrono::steady_clock::now();
    void* plugin = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        std::fprintf(stderr, "load_bench: cannot load the plug-in: %s\n", dlerror());
        return 1;
    }
    if (auto init = reinterpret_cast<void (*)()>(dlsym(plugin, "PLUG_Init")))
        init();
    const auto end = std::chrono::steady_clock::now();
    const std::size_t after = SLB_SelectableDragManipulatorFactorySingleton().names().size() +
                              MO_LocalTransformationFactorySingleton().names().size() +
                              MO_OGLPainterFactorySingleton().names().size() +
                              SLB_PickAdaptorFactorySingleton().names().size();
    std::printf("load_us=%.1f registrations=%zu\n", std::chrono::duration<double, std::micro>(end - start).count(),
                after - before);
    return 0;
}
