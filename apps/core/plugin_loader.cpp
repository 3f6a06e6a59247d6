#include "apps/rigkit-run/plugin_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace runner {

namespace {

bool isFile(const std::string& path) {
    struct stat s {};
    return stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

}  // namespace

std::string pluginPathNear(const std::string& programDir) {
    const std::string beside = programDir + "/librigkit.so";
    if (isFile(beside))
        return beside;
    return programDir + "/" RIGKIT_PLUGIN_DIR_FROM_BIN "/librigkit.so";
}

std::string defaultPluginPath() {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    std::string exe = n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
    const auto slash = exe.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
    return pluginPathNear(dir);
}

std::string loadPlugin(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        return std::string("cannot load the plug-in: ") + (error ? error : path);
    }
    dlerror();
    auto* init = reinterpret_cast<void (*)()>(dlsym(handle, "PLUG_Init"));
    if (!init) {
        // Left open: its static registrations may already sit in the host's factories.
        const char* error = dlerror();
        return path + " is not a plug-in: it has no PLUG_Init entry" + (error ? std::string(" (") + error + ")" : "");
    }
    init();
    return {};
}

}  // namespace runner
