// docs/scene.schema.json and the runner must take the same keys and names: an editor that
// completes a key the runner refuses, or misses one it takes, misleads. Both are compared
// with the lists the runner reads files and steps by (apps/core/vocabulary.h and the step
// table), which name every key and word it takes.

#include "apps/core/json_util.h"
#include "apps/core/scene_loader.h"
#include "apps/core/script.h"
#include "apps/core/vocabulary.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <set>

using runner::Json;

namespace {

using Keys = std::set<std::string>;

const Json& schema() {
    static const Json s = runner::readDocumentFile(std::string(rigkit_test::kSourceDir) + "/docs/scene.schema.json");
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

Keys words(std::initializer_list<const char*> list) {
    return Keys(list.begin(), list.end());
}

template <class Table>
Keys namesOf(const Table& table) {
    Keys out;
    for (const auto& entry : table)
        out.insert(entry.name);
    return out;
}

TEST(SceneSchema, ObjectsTakeTheKeysTheRunnerTakes) {
    EXPECT_EQ(propertiesOf(schema()), words(runner::kDocumentKeys));
    EXPECT_EQ(propertiesOf(def("camera")["else"]), words(runner::kOrthoCameraKeys));
    EXPECT_EQ(propertiesOf(def("camera")["then"]), words(runner::kPerspectiveCameraKeys));
    EXPECT_EQ(propertiesOf(schema()["properties"]["metrics"]), words(runner::kMetricsKeys));
    EXPECT_EQ(propertiesOf(def("node")), words(runner::kNodeKeys));
    EXPECT_EQ(propertiesOf(def("attribute")), words(runner::kAttributeKeys));

    const Json& node = def("node")["properties"];
    EXPECT_EQ(propertiesOf(node["painters"]["items"]), words(runner::kComponentKeys));
    EXPECT_EQ(propertiesOf(node["transformations"]["items"]), words(runner::kComponentKeys));
    EXPECT_EQ(propertiesOf(node["manipulator"]["anyOf"][0]), words(runner::kComponentKeys));
    EXPECT_EQ(propertiesOf(node["picker"]["anyOf"][0]), words(runner::kPickerKeys));

    // "$schema" is for editors: the runner takes it and means nothing by it.
    rigkit_test::loadPlugin();
    EXPECT_NO_THROW(runner::loadScene(Json::parse(R"({"$schema": "../docs/scene.schema.json"})")));
}

TEST(SceneSchema, NamesTheRunnerKnows) {
    EXPECT_EQ(enumOf(def("attribute")["properties"]["type"]), namesOf(runner::kAttributeKinds));
    EXPECT_EQ(enumOf(def("attribute")["properties"]["curve"]), namesOf(runner::kCurveKinds));
    EXPECT_EQ(enumOf(def("camera")["properties"]["type"]),
              Keys(std::begin(runner::kCameraTypes), std::end(runner::kCameraTypes)));
    EXPECT_EQ(enumOf(def("clickStep")["properties"]["modifiers"]["items"]), namesOf(runner::kModifiers));
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
    EXPECT_EQ(argumentKeys("drag"), words(runner::kDragKeys));
    EXPECT_EQ(argumentKeys("expectPixel"), words(runner::kExpectPixelKeys));
    EXPECT_EQ(argumentKeys("expectPick"), words(runner::kExpectPickKeys));
    EXPECT_EQ(argumentKeys("properties"), words(runner::kPropertiesStepKeys));
}

}  // namespace
