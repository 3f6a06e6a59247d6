#pragma once

// What the benchmark programs share at start-up: glibc's allocator kept from handing
// memory back between iterations, the plug-in loaded as the host loads it, and a look at
// the command line before Google Benchmark takes it.

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

// Large thresholds keep freed blocks in the heap, so a draw that allocates and frees pays
// the same every iteration instead of an occasional trim or mmap.
constexpr const char* kTunables = "glibc.malloc.trim_threshold=268435456:glibc.malloc.mmap_threshold=268435456";

// glibc reads its tunables at start-up only: the program restarts itself once with them
// set. Returns only when they are set, or when the restart failed (it then says so).
inline void restartWithTunables(char** argv, const char* program) {
    if (std::getenv("GLIBC_TUNABLES"))
        return;
    setenv("GLIBC_TUNABLES", kTunables, 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "%s: cannot restart with GLIBC_TUNABLES set; timing without\n", program);
}

// Opens the plug-in (RIGKIT_PLUGIN, else the one built beside) and calls its PLUG_Init.
// Null, after saying why, when it cannot be opened.
inline void* loadPlugin(const char* builtPath, const char* program) {
    const char* path = std::getenv("RIGKIT_PLUGIN") ? std::getenv("RIGKIT_PLUGIN") : builtPath;
    void* plugin = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        std::fprintf(stderr, "%s: cannot load the plug-in: %s\n", program, dlerror());
        return nullptr;
    }
    if (auto init = reinterpret_cast<void (*)()>(dlsym(plugin, "PLUG_Init")))
        init();
    return plugin;
}

// Whether an argument starts with `prefix`, such as "--benchmark_repetitions".
inline bool hasFlag(int argc, char** argv, const char* prefix) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0)
            return true;
    return false;
}

}  // namespace bench
