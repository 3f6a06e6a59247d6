#pragma once

// The scene files the repository holds, for the tests that go over every one of them.

#include "tests/support/paths.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace rigkit_test {

// Every .json file directly in each of `dirs` (relative to the repository's root), sorted.
inline std::vector<std::string> repositoryScenes(const std::vector<std::string>& dirs = {"examples", "tests/scenes"}) {
    std::vector<std::string> out;
    for (const std::string& dir : dirs)
        for (const auto& entry : std::filesystem::directory_iterator(std::string(kSourceDir) + "/" + dir))
            if (entry.path().extension() == ".json")
                out.push_back(entry.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace rigkit_test
