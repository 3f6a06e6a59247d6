#pragma once

// Loads the plug-in once per test process, as the host does: dlopen runs its
// registrations, then PLUG_Init is called.

#include "tests/support/paths.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace rigkit_test {

inline void* loadPlugin() {
    static void* handle = [] {
        void* h = dlopen(kPluginPath, RTLD_NOW | RTLD_LOCAL);
        if (!h)
            throw std::runtime_error(std::string("cannot load the plug-in: ") + dlerror());
        auto init = reinterpret_cast<void (*)()>(dlsym(h, "PLUG_Init"));
        if (!init)
            throw std::runtime_error("the plug-in has no PLUG_Init");
        init();
        return h;
    }();
    return handle;
}

}  // namespace rigkit_test
