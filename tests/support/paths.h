#pragma once

// Where this build tree's plug-in and the source tree are. They are defined in one file
// the build writes, not on every test's compile line: those paths differ from clone to
// clone, and on the compile line they would keep the compiler cache from sharing any
// test object between two clones.

namespace rigkit_test {

extern const char* const kPluginPath;
extern const char* const kSourceDir;

}  // namespace rigkit_test
