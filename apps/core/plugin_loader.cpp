#include "apps/core/plugin_loader.h"

#include "host/scene/factories.h"

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

template <class Factory>
void listFactory(std::ostream& out, const char* family, const Factory& factory) {
    const auto names = factory.names();
    out << family << " (" << names.size() << "):\n";
    for (const QString& name : names)
        out << "  " << name.toStdString() << "\n";
}

}  // namespace

std::string componentCounts() {
    const std::pair<const char*, std::size_t> families[] = {
        {"drag manipulators", SLB_SelectableDragManipulatorFactorySingleton().names().size()},
        {"local transformations", MO_LocalTransformationFactorySingleton().names().size()},
        {"OpenGL painters", MO_OGLPainterFactorySingleton().names().size()},
        {"pick adaptors", SLB_PickAdaptorFactorySingleton().names().size()}};
    std::size_t total = 0;
    std::string parts;
    for (const auto& f : families) {
        total += f.second;
        parts += (parts.empty() ? "" : ", ") + std::string(f.first) + " " + std::to_string(f.second);
    }
    return std::to_string(total) + " components (" + parts + ")";
}

void listTypes(std::ostream& out) {
    listFactory(out, "drag manipulators", SLB_SelectableDragManipulatorFactorySingleton());
    listFactory(out, "local transformations", MO_LocalTransformationFactorySingleton());
    listFactory(out, "OpenGL painters", MO_OGLPainterFactorySingleton());
    listFactory(out, "pick adaptors", SLB_PickAdaptorFactorySingleton());
}

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
