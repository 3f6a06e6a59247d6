#include "apps/core/json_util.h"
#include "apps/core/scene_loader.h"
#include "apps/core/scene_query.h"
#include "apps/core/script.h"
#include "host/scene/AT_Attr.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

using runner::Json;

namespace {

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const runner::RunError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(RunnerMatching, NumbersWithinToleranceListsElementwiseOthersExactly) {
    // Actual, expected, tolerance, and why they differ: "" where they match, null where any
    // reason will do.
    const std::tuple<const char*, const char*, double, const char*> cases[] = {
        {"1.0", "1", 0.0, ""},
        {"1.25", "1", 0.25, ""},
        {"1.25", "1", 0.2499, nullptr},
        {"[1, [2, 3]]", "[1.0, [2.0, 3.0]]", 0.0, ""},
        {"true", "true", 0.0, ""},
        {"\"a\"", "\"a\"", 1.0, ""},
        {"[[1, 2], [3, 4]]", "[[1, 2], [3, 5]]", 0.5, "at [1][1]: off by 1.0, more than the tolerance 0.5"},
        {"[1, 2, 3]", "[1, 2]", 0.0, "3 values where 2 were expected"},
        // A tolerance never makes other kinds of values alike.
        {"true", "1", 1.0, "a boolean where a number was expected"},
        {"\"a\"", "\"A\"", 1.0, nullptr},
        {"[1]", "1", 1.0, nullptr},
        {"null", "null", 1.0, nullptr},
    };
    for (const auto& [actual, expected, tolerance, because] : cases) {
        std::string why;
        const bool same = runner::matches(Json::parse(actual), Json::parse(expected), tolerance, why);
        EXPECT_EQ(same, because && !*because) << actual << " vs " << expected;
        if (because && *because) {
            EXPECT_EQ(why, because);
        }
    }
    std::string why;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(runner::matches(Json(nan), Json(0.0), 1e300, why));
    EXPECT_FALSE(runner::matches(Json(nan), Json(nan), 1e300, why));
}

// Pixel i covers [i, i + 1); points no int can index are off the view, not wrapped onto it.
TEST(RunnerPixels, CoordinatesFloorToPixelsAndFarOnesLeaveTheView) {
    const std::pair<double, int> cases[] = {
        {0.0, 0},           {399.99, 399},           {-0.5, -1},
        {-7.25, -8},        {2147483647.5, INT_MAX}, {-2147483648.0, INT_MIN},
        {2147483648.0, -1}, {-2147483649.0, -1},     {1e82, -1},
        {-1e300, -1},
    };
    for (const auto& [at, pixel] : cases)
        EXPECT_EQ(runner::pixelIndex(at), pixel) << at;
}

TEST(RunnerParsing, RepeatedKeysAreRefusedWhereverTheyAre) {
    EXPECT_EQ(errorOf([] { runner::parseDocument(R"({"a": [{"x": 1}, [], {"y": {}, "x": 1, "x": 2}]})"); }),
              "a[2]: duplicate key \"x\"");
    EXPECT_EQ(errorOf([] { runner::parseDocument(R"({"k": 1, "k": 1})"); }), "top level: duplicate key \"k\"");
    // The same key in sibling or nested objects is no repetition.
    const Json ok = runner::parseDocument(R"({"x": {"x": 1}, "y": [{"x": 1}, {"x": 2}]})");
    EXPECT_EQ(ok["y"][1]["x"], 2);
    EXPECT_EQ(errorOf([] { runner::parseDocument("{\"a\": 1e999}"); }).find("number overflow"), 0u);
    // Deep enough to exhaust the stack of anything that walks it recursively.
    const std::string deep = "{\"a\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    EXPECT_EQ(errorOf([&] { runner::parseDocument(deep); }).rfind("a[0][0]", 0), 0u);
}

struct RunnerScript : ::testing::Test {
    void SetUp() override { rigkit_test::loadPlugin(); }

    runner::Scene load(const char* text) { return runner::loadScene(runner::parseDocument(text)); }

    std::string play(runner::Scene& scene, const char* script, const runner::StepTable& table) {
        std::ostringstream out;
        runner::Session session(scene);
        runner::ScriptContext context{session, out, "."};
        runner::playScript(Json::parse(script), table, context);
        return out.str();
    }
};

TEST_F(RunnerScript, NewStepsAreTableEntriesWithTheirOwnOptions) {
    runner::Scene scene = load(R"({"nodes": [{"name": "n", "attributes": {"v": {"type": "double", "value": 2}}}]})");
    runner::StepTable table = runner::defaultSteps();
    int played = 0;
    const auto times = [&](runner::ScriptContext& c, const Json& arg, const Json& step) {
        ++played;
        const runner::Target t = runner::resolve(c.session.common(), arg.get<std::string>());
        const double factor = step.contains("by") ? step["by"].get<double>() : 2.0;
        runner::write(t, c.session.frame(), runner::read(t, c.session.frame()).get<double>() * factor);
    };
    table.add("double", times, {"by"});
    EXPECT_EQ(play(scene, R"([{"double": "n.v", "by": 3}, {"print": ["n.v"]}])", table), "n.v: 6.0\n");

    // Every step is checked before the first plays: nothing ran, nothing printed.
    played = 0;
    EXPECT_EQ(errorOf([&] { play(scene, R"([{"double": "n.v"}, {"double": "n.v", "times": 2}])", table); }),
              "step 2: unknown key \"times\" in a \"double\" step");
    EXPECT_EQ(played, 0);

    // A name taken twice, or an override of a step that is not there (misspelt), is the
    // program's mistake; an override keeps the step's options.
    EXPECT_THROW(table.add("double", times), std::logic_error);
    EXPECT_THROW(table.override("dubble", times), std::logic_error);
    EXPECT_EQ(table.find("dubble"), nullptr);
    table.override("double", [&](runner::ScriptContext&, const Json&, const Json&) { played += 10; });
    play(scene, R"([{"double": "n.v", "by": 3}])", table);
    EXPECT_EQ(played, 10);
}

// A step that plays steps of its own plays them with the whole table the script plays
// with, itself included, however deep.
TEST_F(RunnerScript, NestedStepsSeeTheWholeTable) {
    runner::Scene scene = load(R"({"nodes": [{"name": "n", "attributes": {"v": {"type": "double"}}}]})");
    runner::StepTable table;
    table.add("nested", [](runner::ScriptContext& c, const Json&, const Json& step) {
        runner::playScript(step["steps"], *c.steps, c);
    }, {"steps"});
    table.add("last", [](runner::ScriptContext& c, const Json&, const Json&) { c.out << "last\n"; });
    EXPECT_EQ(play(scene, R"([{"nested": 1, "steps": [{"nested": 2, "steps": [{"last": true}]}]}, {"last": 1}])",
                   table),
              "last\nlast\n");
}

TEST_F(RunnerScript, PathsNameNodesAttributesComponentsMatricesAndKeys) {
    runner::Scene scene = load(R"({"nodes": [{"name": "n", "attributes": {
        "v": {"type": "double"}, "p": {"type": "position2d"}}}]})");
    const SC_SceneCommon& s = *scene.common;
    EXPECT_EQ(runner::resolve(s, "n.matrix").kind, runner::Target::Kind::Matrix);
    EXPECT_EQ(runner::resolve(s, "n.keys.p.y").kind, runner::Target::Kind::Keys);
    EXPECT_EQ(runner::resolve(s, "n.p.x").attribute->name(), "x");
    for (const char* bad :
         {"n", "n.", "n.keys", "n.keys.p.x.y", "n.p.x.y", "n.matrix.x", "n.w", "n.v.x", "n.p.w", "m.v"})
        EXPECT_NE(errorOf([&] { runner::resolve(s, bad); }), "no error") << bad;
}

// A component's attributes and a step's path name an attribute through one resolver: the
// same names are taken and refused, with the same words (a step names the node too).
TEST_F(RunnerScript, ComponentsAndStepsNameAttributesAlike) {
    const char* const refs[] = {"v", "p", "p.x", "p.y", "w", "v.x", "p.z", "p.", "p.x.y", ""};
    for (const char* ref : refs) {
        const std::string scene = std::string(R"({"nodes": [{"name": "n", "attributes": {
            "v": {"type": "double"}, "p": {"type": "position2d"}}, "painters": [{"type": "ARROW_X",
            "attributes": [")") + ref + R"("]}]}]})";
        std::string built = errorOf([&] { load(scene.c_str()); });
        runner::Scene plain = load(R"({"nodes": [{"name": "n", "attributes": {
            "v": {"type": "double"}, "p": {"type": "position2d"}}}]})");
        std::string queried = errorOf([&] { runner::resolve(*plain.common, std::string("n.") + ref); });
        // The painter accepts any attributes; only the names can be wrong.
        const std::string where = "nodes[0].painters[0].attributes[0]: ";
        if (built.rfind(where, 0) == 0)
            built.erase(0, where.size());
        const auto dotted = queried.find("\"n.");
        if (dotted != std::string::npos)
            queried.erase(dotted + 1, 2);
        EXPECT_EQ(built, queried) << ref;
    }
}

TEST_F(RunnerScript, CompoundKeysListEveryKeyedFrameWithTheWholeValue) {
    runner::Scene scene = load(R"({"nodes": [{"name": "n", "attributes": {
        "p": {"type": "position2d", "curve": "fnc2d", "keys": [[1, [0, 0]], [11, [10, 20]]]}}}]})");
    // Keying one component leaves the other without a key at that frame.
    ASSERT_TRUE(runner::write(runner::resolve(*scene.common, "n.p.x"), 6, Json(3.0)));
    EXPECT_EQ(runner::read(runner::resolve(*scene.common, "n.keys.p.y"), 6), Json::parse("[[1.0, 0.0], [11.0, 20.0]]"));
    EXPECT_EQ(runner::read(runner::resolve(*scene.common, "n.keys.p"), 6),
              Json::parse("[[1.0, [0.0, 0.0]], [6.0, [3.0, 10.0]], [11.0, [10.0, 20.0]]]"));
}

// Pictures land below the output directory, whole or not at all.
struct RunnerImages : RunnerScript {
    void SetUp() override {
        RunnerScript::SetUp();
        root = std::filesystem::temp_directory_path() /
               ("rigkit-images-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
    }
    void TearDown() override { std::filesystem::remove_all(root); }

    std::string run(const std::string& outDir, const std::string& script) {
        runner::Scene scene = load(R"({"viewport": [8, 6]})");
        std::ostringstream out;
        runner::Session session(scene);
        runner::ScriptContext context{session, out, outDir};
        return errorOf([&] { runner::playScript(Json::parse(script), runner::defaultSteps(), context); });
    }

    // Every file below `dir`, relative to it, sorted.
    std::vector<std::string> filesBelow(const std::filesystem::path& dir) {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
            if (!entry.is_directory())
                files.push_back(std::filesystem::relative(entry.path(), dir).string());
        std::sort(files.begin(), files.end());
        return files;
    }

    std::filesystem::path root;
};

TEST_F(RunnerImages, MissingFoldersAreMadeAndRewritesReplaceTheFileWhole) {
    const std::filesystem::path out = root / "not" / "yet";
    EXPECT_EQ(run(out.string(), R"([{"render": "a.png"}, {"render": "sub/b.png", "pick": true},
                                    {"render": "a.png"}, {"contactSheet": "sheet.png", "columns": 2}])"),
              "no error");
    EXPECT_EQ(filesBelow(root), (std::vector<std::string>{"not/yet/a.png", "not/yet/sheet.png", "not/yet/sub/b.png"}));
    std::ifstream png(out / "a.png", std::ios::binary);
    char signature[8] = {};
    png.read(signature, sizeof signature);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
}

TEST_F(RunnerImages, AFailedWriteLeavesNoTemporaryBehind) {
    std::filesystem::create_directories(root / "taken.png");
    EXPECT_EQ(run(root.string(), R"([{"render": "ok.png"}, {"contactSheet": "taken.png"}])"),
              "step 2: cannot write \"" + (root / "taken.png").string() + "\": Is a directory");
    EXPECT_EQ(filesBelow(root), std::vector<std::string>{"ok.png"});

    // A file where a parent of the output directory should be.
    EXPECT_EQ(run((root / "ok.png" / "deeper").string(), R"([{"render": "a.png"}])"),
              "step 1: cannot make the directory \"" + (root / "ok.png" / "deeper").string() + "\": Not a directory");
    EXPECT_EQ(filesBelow(root), std::vector<std::string>{"ok.png"});
}

TEST_F(RunnerImages, NamesThatLeaveTheOutputDirectoryAreRefused) {
    const std::string out = (root / "out").string(), absolute = (root / "abs.png").string();
    const std::string below = " is not below the output directory (name it relative, without \"..\")";
    const std::pair<std::string, std::string> cases[] = {
        {absolute, "step 1: " + Json(absolute).dump() + below},
        {"dir/", "step 1: \"dir/\" names a directory, not an image file"},
        {".", "step 1: \".\" names a directory, not an image file"},
        {"", "step 1: the image needs a file name"},
        {std::string("a\0b.png", 7), "step 1: a file name cannot hold control characters"},
        {"a..b.png", "no error"},  // "..." and "a..b" are ordinary names
        {"...", "no error"},
    };
    for (const auto& [name, error] : cases)
        EXPECT_EQ(run(out, "[{\"render\": " + Json(name).dump() + "}]"), error) << name;
    EXPECT_EQ(filesBelow(root), (std::vector<std::string>{"out/...", "out/a..b.png"}));
}
