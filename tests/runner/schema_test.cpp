// docs/scene.schema.json and the runner's own checks must take the same keys and names: an
// editor that completes a key the runner refuses, or misses one it takes, misleads. The
// runner's lists are read from its messages, which name every key it expects.

#include "apps/rigkit-run/json_util.h"
#include "apps/rigkit-run/scene_loader.h"
#include "apps/rigkit-run/script.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

using runner::Json;

namespace {

using Keys = std::set<std::string>;

const Json& schema() {
    static const Json s = [] {
        std::ifstream in(RIGKIT_SOURCE_DIR "/docs/scene.schema.json");
        std::stringstream text;
        text << in.rdbuf();
        return Json::parse(text.str());
    }();
    return s;
}

const Json& def(const std::string& name) {
    return schema()["$defs"][name];
}

Keys propertiesOf(const Json& object) {
    Keys out;
    for (const auto& item : object["properties"].items())
        out.insert(item.key());
    return out;
}

Keys enumOf(const Json& e) {
    Keys out;
    for (const Json& v : e["enum"])
        out.insert(v.get<std::string>());
    return out;
}

// The names a runner message lists after "expected one of: " (or `intro`), up to ")".
Keys listedIn(const std::string& message, const std::string& intro = "expected one of: ") {
    const auto at = message.find(intro);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no list in: " << message;
        return {};
    }
    const auto end = message.find(')', at);
    std::stringstream list(message.substr(at + intro.size(), end - at - intro.size()));
    Keys out;
    for (std::string name; std::getline(list, name, ',');)
        out.insert(name.substr(name.find_first_not_of(' ')));
    return out;
}

std::string loadError(const std::string& scene) {
    rigkit_test::loadPlugin();
    try {
        runner::loadScene(Json::parse(scene));
    } catch (const runner::RunError& e) {
        return e.what();
    }
    return "no error";
}

std::string stepError(const std::string& step) {
    rigkit_test::loadPlugin();
    runner::Scene scene = runner::loadScene(Json::parse(R"({"nodes": [{"name": "n"}]})"));
    std::ostringstream out;
    runner::ScriptContext context{scene, out, "."};
    try {
        runner::playScript(Json::array({Json::parse(step)}), runner::defaultSteps(), context);
    } catch (const runner::RunError& e) {
        return e.what();
    }
    return "no error";
}

TEST(SceneSchema, ObjectsTakeTheKeysTheRunnerTakes) {
    const Keys document = listedIn(loadError(R"({"zz": 1})"));
    EXPECT_EQ(propertiesOf(schema()), document);
    EXPECT_EQ(loadError(R"({"$schema": "../docs/scene.schema.json"})"), "no error");

    EXPECT_EQ(propertiesOf(def("camera")["else"]), listedIn(loadError(R"({"camera": {"zz": 1}})")));
    EXPECT_EQ(propertiesOf(def("camera")["then"]),
              listedIn(loadError(R"({"camera": {"type": "perspective", "zz": 1}})")));
    EXPECT_EQ(propertiesOf(schema()["properties"]["metrics"]), listedIn(loadError(R"({"metrics": {"zz": 1}})")));
    EXPECT_EQ(propertiesOf(def("node")), listedIn(loadError(R"({"nodes": [{"name": "n", "zz": 1}]})")));
    EXPECT_EQ(propertiesOf(def("attribute")),
              listedIn(loadError(R"({"nodes": [{"name": "n", "attributes": {"a": {"type": "double", "zz": 1}}}]})")));

    const Json& node = def("node")["properties"];
    const Keys component = listedIn(loadError(R"({"nodes": [{"name": "n", "painters": [{"zz": 1}]}]})"));
    EXPECT_EQ(propertiesOf(node["painters"]["items"]), component);
    EXPECT_EQ(propertiesOf(node["transformations"]["items"]), component);
    EXPECT_EQ(propertiesOf(node["manipulator"]["anyOf"][0]), component);
    EXPECT_EQ(propertiesOf(node["picker"]["anyOf"][0]),
              listedIn(loadError(R"({"nodes": [{"name": "n", "picker": {"zz": 1}}]})")));
}

TEST(SceneSchema, NamesTheRunnerKnows) {
    EXPECT_EQ(enumOf(def("attribute")["properties"]["type"]),
              listedIn(loadError(R"({"nodes": [{"name": "n", "attributes": {"a": {"type": "zz"}}}]})")));
    EXPECT_EQ(
        enumOf(def("attribute")["properties"]["curve"]),
        listedIn(loadError(
            R"({"nodes": [{"name": "n", "attributes": {"a": {"type": "double", "curve": "zz", "keys": []}}}]})")));
    EXPECT_EQ(enumOf(def("clickStep")["properties"]["modifiers"]["items"]),
              listedIn(stepError(R"({"click": [0, 0], "modifiers": ["zz"]})"), "known: "));
    EXPECT_EQ(def("dragStep")["properties"]["drag"]["properties"]["modifiers"],
              def("clickStep")["properties"]["modifiers"]);
}

TEST(SceneSchema, StepsTakeTheOptionsTheRunnerTakes) {
    const runner::StepTable table = runner::defaultSteps();
    Keys runnerSteps, schemaSteps;
    for (const auto& entry : table)
        runnerSteps.insert(entry.first);
    for (const Json& s : def("step")["anyOf"])
        schemaSteps.insert(s["required"][0].get<std::string>());
    EXPECT_EQ(schemaSteps, runnerSteps);

    for (const auto& [name, handler] : table) {
        const Json& step = def(name + "Step");
        ASSERT_TRUE(step.is_object()) << name;
        Keys options = propertiesOf(step);
        options.erase(name);
        EXPECT_EQ(options, Keys(handler.options.begin(), handler.options.end())) << name;
    }

    // The steps whose argument is an object of their own.
    const auto argumentKeys = [](const std::string& step) {
        return propertiesOf(def(step + "Step")["properties"][step]);
    };
    EXPECT_EQ(argumentKeys("drag"), listedIn(stepError(R"({"drag": {"zz": 1}})")));
    EXPECT_EQ(argumentKeys("expectPixel"), listedIn(stepError(R"({"expectPixel": {"zz": 1}})")));
    EXPECT_EQ(argumentKeys("expectPick"),
              listedIn(stepError(R"({"expectPick": {"at": [0, 0], "node": null, "zz": 1}})")));
}

}  // namespace
