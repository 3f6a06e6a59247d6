#include "apps/rigkit-run/plugin_loader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// An empty tree laid out as an install: bin/ and the plug-in's folder (lib/<multiarch>/rigkit/).
struct PluginPath : ::testing::Test {
    void SetUp() override {
        root = fs::temp_directory_path() / ("rigkit-plugin-path-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(bin());
        fs::create_directories(installed().parent_path());
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path bin() const { return root / "bin"; }
    fs::path installed() const { return (bin() / RIGKIT_PLUGIN_DIR_FROM_BIN / "librigkit.so").lexically_normal(); }
    static void touch(const fs::path& p) { std::ofstream(p) << "x"; }
    // The same file, however the path is spelled.
    static bool same(const std::string& got, const fs::path& want) {
        return fs::exists(got) && fs::equivalent(got, want);
    }

    fs::path root;
};

}  // namespace

TEST_F(PluginPath, TheBuildTreesPluginBesideTheProgramComesFirst) {
    touch(bin() / "librigkit.so");
    touch(installed());
    EXPECT_EQ(runner::pluginPathNear(bin().string()), (bin() / "librigkit.so").string());
}

TEST_F(PluginPath, AnInstalledProgramFindsThePluginInItsFolder) {
    touch(installed());
    EXPECT_TRUE(same(runner::pluginPathNear(bin().string()), installed()));
    // A folder of the plug-in's name beside the program is not the plug-in.
    fs::create_directory(bin() / "librigkit.so");
    EXPECT_TRUE(same(runner::pluginPathNear(bin().string()), installed()));
}

TEST_F(PluginPath, WithNoPluginAnywhereTheInstalledPlaceIsNamed) {
    const std::string path = runner::pluginPathNear(bin().string());
    touch(installed());
    EXPECT_TRUE(same(path, installed())) << path;
}
