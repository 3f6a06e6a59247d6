#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

// Classes the host may reach outside the factories; everything else stays hidden.
const std::set<std::string> kExportedWhole = {
    "MonoPicker",
    "MultiPicker",
    "Position3dDragManipulator",
    "RotationDragManipulator",
    "RotationXDragManipulator",
    "RotationYDragManipulator",
    "RotationZDragManipulator",
    "ScriptDragManipulator",
    "SliderDragManipulator",
    "TranslationXDragManipulator",
    "TranslationYDragManipulator",
    "TranslationZDragManipulator",
};

std::vector<std::string> definedDynamicSymbols() {
    const std::string cmd = std::string(RIGKIT_NM) + " -D --defined-only -C " + rigkit_test::kPluginPath + " 2>&1";
    std::vector<std::string> out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char line[4096];
    while (fgets(line, sizeof line, p)) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        // "address type name"
        const auto first = s.find(' ');
        const auto second = first == std::string::npos ? first : s.find(' ', first + 1);
        if (second != std::string::npos)
            out.push_back(s.substr(second + 1));
    }
    pclose(p);
    return out;
}

// The class a demangled symbol belongs to: "vtable for X", "X::f(...)", "typeinfo for X",
// "non-virtual thunk to X::f(...)".
std::string owningClass(const std::string& symbol) {
    std::string s = symbol;
    // A class with a second base reaches its overrides through that base by thunks.
    for (const char* thunk : {"non-virtual thunk to ", "virtual thunk to "})
        if (s.rfind(thunk, 0) == 0)
            s = s.substr(std::string(thunk).size());
    for (const char* prefix : {"vtable for ", "typeinfo for ", "typeinfo name for "})
        if (s.rfind(prefix, 0) == 0)
            return s.substr(std::string(prefix).size());
    const auto scope = s.find("::");
    return scope == std::string::npos ? std::string() : s.substr(0, scope);
}

}  // namespace

TEST(Exports, EntryIsUndecoratedAndNoHiddenClassLeaks) {
    const std::vector<std::string> symbols = definedDynamicSymbols();
    ASSERT_FALSE(symbols.empty());
    bool entry = false;
    for (const std::string& s : symbols) {
        if (s == "PLUG_Init") {
            entry = true;
            continue;
        }
        // The linker's own section markers, and standard containers instantiated over host
        // types (which carry the host's visibility into unoptimised builds), are not ours.
        if (s == "__bss_start" || s == "_edata" || s == "_end" || s.rfind("std::", 0) == 0)
            continue;
        const std::string owner = owningClass(s);
        EXPECT_TRUE(kExportedWhole.count(owner)) << "unexpected export: " << s;
    }
    EXPECT_TRUE(entry);
    void* h = rigkit_test::loadPlugin();
    EXPECT_NE(dlsym(h, "PLUG_Init"), nullptr);
    EXPECT_EQ(dlsym(h, "_ZN31TranslationXLocalTransformation10TypeStringEv"), nullptr);
}
