#pragma once

// Loads the plug-in as the host application does: opening the library runs its
// registrations into the host's factories, then its entry PLUG_Init is called.

#include <string>

namespace runner {

// librigkit.so in the directory of the running executable.
std::string defaultPluginPath();

// Returns an empty string on success, else what went wrong (the loader's own message when
// the library cannot be opened). The library stays loaded until the process ends: the
// components it makes live in the scene until then.
std::string loadPlugin(const std::string& path);

}  // namespace runner
