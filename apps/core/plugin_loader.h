#pragma once

// Loads the plug-in as the host application does: opening the library runs its
// registrations into the host's factories, then its entry PLUG_Init is called.

#include <ostream>
#include <string>

namespace runner {

// Where the running program finds the plug-in: see pluginPathNear.
std::string defaultPluginPath();

// The plug-in for a program in `programDir`: librigkit.so beside it, as in the build tree,
// else the one in the installed plug-in folder (bin/../lib/<multiarch>/rigkit). When neither is there,
// the installed one, so that the failure names where an installed program looked.
std::string pluginPathNear(const std::string& programDir);

// Returns an empty string on success, else what went wrong (the loader's own message when
// the library cannot be opened). The library stays loaded until the process ends: the
// components it makes live in the scene until then.
std::string loadPlugin(const std::string& path);

// What the plug-in registered, counted from the factories: "<total> components (drag
// manipulators <n>, ...)".
std::string componentCounts();

// Every registered type string, each factory under its own header, in the host's order.
void listTypes(std::ostream& out);

}  // namespace runner
