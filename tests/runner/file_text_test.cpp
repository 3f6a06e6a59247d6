// A saved file is a diff-friendly file: one drag saved from the showcase changes the line
// of the node it moved and nothing else, what is new is laid out as its neighbours are,
// and new numbers take the fewest digits that read back to the same value.

#include "apps/core/json_text.h"
#include "apps/core/scene_writer.h"
#include "apps/core/script.h"
#include "apps/core/session.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>

using runner::Json;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// A node's line of the showcase as JSON, without the comma that follows it.
Json nodeOnLine(std::string line) {
    if (!line.empty() && line.back() == ',')
        line.pop_back();
    return Json::parse(line);
}

TEST(FileText, OneDragAndOneEditChangeOnlyTheirLines) {
    rigkit_test::loadPlugin();
    const std::string text = runner::readFileText(std::string(rigkit_test::kSourceDir) + "/examples/showcase.json");
    const runner::Document loaded = runner::readDocumentKeepingText(text);
    runner::Scene scene = runner::buildScene(loaded);
    runner::Session session(scene);
    std::ostringstream printed;
    runner::ScriptContext context{session, printed, ""};
    runner::playScript(Json::parse(R"([{"frame": 1}, {"drag": {"from": [120, 150], "to": [180, 150], "steps": 6}},
                                       {"set": {"sliderH.v": 0.15}}])"),
                       runner::defaultSteps(), context);
    const runner::Document edited = runner::captureDocument(loaded, *scene.common);
    const std::string saved = runner::documentText(edited, runner::writeDocument(edited));

    const std::vector<std::string> before = lines(text), after = lines(saved);
    ASSERT_EQ(before.size(), after.size()) << saved;
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i])
            changed.push_back(i);
    ASSERT_EQ(changed.size(), 2u) << saved;
    const Json arrowX = nodeOnLine(after[changed[0]]), slider = nodeOnLine(after[changed[1]]);
    ASSERT_EQ(arrowX["name"], "arrowX");
    ASSERT_EQ(slider["name"], "sliderH");
    // The drag keyed at its frame, and the value it replaced is gone; the set replaced a value.
    const double dragged = std::get<double>(edited.nodes[0].attributes[1].keys.at(0).value);
    EXPECT_EQ(arrowX["attributes"]["tx"], Json::parse(R"({"type": "double", "curve": "bezier", "keys": [[1, )" +
                                                      runner::numberText(dragged) + "]]}"));
    EXPECT_EQ(slider["attributes"]["v"], Json::parse(R"({"type": "double", "value": 0.15})"));
    EXPECT_NE(after[changed[1]].find(R"("v": {"type": "double", "value": 0.15}})"), std::string::npos)
        << after[changed[1]];
    // Apart from the edited attribute, each line says what it said.
    for (const std::size_t i : changed) {
        Json was = nodeOnLine(before[i]), is = nodeOnLine(after[i]);
        for (Json* node : {&was, &is})
            (*node)["attributes"].erase(i == changed[0] ? "tx" : "v");
        EXPECT_EQ(was, is) << after[i];
    }
}

// The fewest characters that read back as the same double, over values of every size.
TEST(FileText, NumbersAreShortestThatReadBack) {
    std::mt19937_64 random(33);
    std::vector<double> values = {0.0, -0.0, 1.0, 0.1, 0.15, 0.1 + 0.2, 1e300, 5e-324, 123456789.0, -1.86, 2.5e-7};
    for (int i = 0; i < 2000; ++i) {
        const std::uint64_t bits = random();
        double v = 0.0;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v))
            values.push_back(v);
        values.push_back(std::ldexp(static_cast<double>(random() % 100000), -static_cast<int>(random() % 20)));
    }
    for (const double v : values) {
        const std::string text = runner::numberText(v);
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
        ASSERT_EQ(Json::parse(text).get<double>(), v) << text;
        char shortest[40];
        for (int precision = 1; precision <= 17; ++precision) {
            std::snprintf(shortest, sizeof shortest, "%.*g", precision, v);
            if (std::strtod(shortest, nullptr) == v)
                break;
        }
        EXPECT_LE(text.size(), std::strlen(shortest)) << text << " where " << shortest << " reads back";
    }
    EXPECT_EQ(runner::numberText(0.15), "0.15");
    EXPECT_EQ(runner::numberText(2.0), "2");
}

// What changed is written in the layout around it; what did not keeps its text.
TEST(FileText, WritesWhatIsNewInItsNeighboursLayout) {
    struct Case {
        const char* text;
        const char* fresh;
        const char* expected;
    };
    const Case cases[] = {
        // A member added to, and one removed from, an object of one member a line.
        {"{\n  \"a\": 1.0,\n  \"b\": [1, 2]\n}\n", R"({"a": 1, "b": [1, 2], "c": {"x": 0.5}})",
         "{\n  \"a\": 1.0,\n  \"b\": [1, 2],\n  \"c\": {\"x\": 0.5}\n}\n"},
        {"{\n  \"a\": 1,\n  \"b\": 2\n}", R"({"a": 1})", "{\n  \"a\": 1\n}"},
        {"{\n  \"a\": 1,\n  \"b\": 2\n}", R"({"b": 2})", "{\n  \"b\": 2\n}"},
        // On one line: a changed number, a new member, spacing kept as written.
        {R"({"a": 1.50, "b" :2,"c": [ 1, 2 ]})", R"({"a": 1.5, "b": 2.25, "c": [1, 2, 3], "d": true})",
         R"({"a": 1.50, "b" :2.25,"c": [ 1, 2, 3 ], "d": true})"},
        {R"({"a": []})", R"({"a": [[1, 0], [24, 0.3]]})", R"({"a": [[1, 0], [24, 0.3]]})"},
        // A node added to nodes written a member a line, tabs and all.
        {"{\n\t\"nodes\": [\n\t\t{\n\t\t\t\"name\": \"a\"\n\t\t}\n\t]\n}",
         R"({"nodes": [{"name": "a"}, {"name": "b", "painters": [{"type": "LABEL"}]}]})",
         "{\n\t\"nodes\": [\n\t\t{\n\t\t\t\"name\": \"a\"\n\t\t},\n\t\t{\n\t\t\t\"name\": \"b\",\n"
         "\t\t\t\"painters\": [{\"type\": \"LABEL\"}]\n\t\t}\n\t]\n}"},
        // A value of another type is written anew.
        {"{\"a\": {\"b\": 1}}", R"({"a": "text"})", R"({"a": "text"})"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runner::rewrittenText(c.text, Json::parse(c.text), Json::parse(c.fresh)), c.expected) << c.text;
    EXPECT_THROW(runner::rewrittenText(R"({"a": 1})", Json::parse(R"({"a": 1, "b": 2})"), Json::parse("{}")),
                 runner::RunError);
}

// A new file: the nodes and the steps a line each, below a member a line.
TEST(FileText, NewFileIsWrittenCleanly) {
    const Json document = Json::parse(R"({"viewport": [200, 100], "camera": {"type": "ortho"},
        "nodes": [{"name": "a", "attributes": {"tx": {"type": "double", "value": 0.1}}}, {"name": "b"}],
        "script": [{"frame": 1}], "empty": []})");
    EXPECT_EQ(runner::documentText(document),
              "{\n  \"viewport\": [200, 100],\n  \"camera\": {\"type\": \"ortho\"},\n  \"nodes\": [\n"
              "    {\"name\": \"a\", \"attributes\": {\"tx\": {\"type\": \"double\", \"value\": 0.1}}},\n"
              "    {\"name\": \"b\"}\n  ],\n  \"script\": [\n    {\"frame\": 1}\n  ],\n  \"empty\": []\n}\n");
}

// An attribute given keys loses its value; one whose keys are all gone gets it back.
TEST(FileText, NoValueOutlivesWhatItMeant) {
    const Json file = Json::parse(R"({"nodes": [{"name": "n", "attributes": {
        "v": {"type": "double", "value": 2},
        "k": {"type": "double", "curve": "ease", "keys": [[1, 0], [5, 1]]},
        "both": {"type": "double", "value": 7, "curve": "ease", "keys": [[1, 0]]}}}]})");
    runner::Document document = runner::readDocument(std::make_shared<const Json>(file));
    std::vector<runner::Attribute>& attributes = document.nodes[0].attributes;
    attributes[0].curve = runner::CurveKind::Bezier;
    attributes[0].keys.push_back({3.0, 4.0});
    attributes[1].curve.reset();
    attributes[1].keys.clear();
    attributes[1].value = 0.5;
    const Json written = runner::writeDocument(document)["nodes"][0]["attributes"];
    EXPECT_EQ(written["v"], Json::parse(R"({"type": "double", "curve": "bezier", "keys": [[3, 4]]})"));
    EXPECT_EQ(written["k"], Json::parse(R"({"type": "double", "value": 0.5})"));
    // Left alone, an attribute keeps what its file said, whatever that was.
    EXPECT_EQ(written["both"], file["nodes"][0]["attributes"]["both"]);
}

}  // namespace
