// The describer learns everything by building components; these cases pin what it must
// find in components whose reads are known to follow a pattern: a default that follows a
// flag, a key only asked about, a default that is another key's value, a list of exactly
// two attributes.

#include "apps/core/describe.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

using runner::Json;

namespace {

Json only(const std::string& type, const std::string& family) {
    rigkit_test::loadPlugin();
    for (const Json& c : runner::describeComponents({type}))
        if (c["family"] == family)
            return c;
    ADD_FAILURE() << type << " is not described as a " << family;
    return Json::object();
}

const Json& property(const Json& component, const std::string& key) {
    for (const Json& p : component["properties"])
        if (p["key"] == key)
            return p;
    static const Json none;
    ADD_FAILURE() << component["type"] << " does not read " << key;
    return none;
}

std::vector<std::string> keys(const Json& component) {
    std::vector<std::string> out;
    for (const Json& p : component["properties"])
        out.push_back(p["key"]);
    return out;
}

TEST(Describe, EveryRegisteredTypeOncePerFactoryAndSharedNamesInEach) {
    rigkit_test::loadPlugin();
    const Json all = runner::describeComponents({});
    std::set<std::pair<std::string, std::string>> seen;
    for (const Json& c : all)
        EXPECT_TRUE(seen.insert({c["family"].get<std::string>(), c["type"].get<std::string>()}).second) << c["type"];
    // One description per registration, in every factory.
    const std::size_t registered = SLB_SelectableDragManipulatorFactorySingleton().names().size() +
                                   MO_LocalTransformationFactorySingleton().names().size() +
                                   MO_OGLPainterFactorySingleton().names().size() +
                                   SLB_PickAdaptorFactorySingleton().names().size();
    EXPECT_EQ(all.size(), registered);
    // "BUTTON" names a manipulator and a painter: naming it describes both.
    const Json button = runner::describeComponents({"BUTTON"});
    ASSERT_EQ(button.size(), 2u);
    EXPECT_EQ(button[0]["class"], "ButtonDragManipulator");
    EXPECT_EQ(button[1]["class"], "ButtonOGLPainter");
    EXPECT_EQ(runner::unknownTypes({"LABEL", "NO_SUCH", "label"}), (std::vector<std::string>{"NO_SUCH", "label"}));
}

TEST(Describe, AttributesAcceptedFromTheFactoriesOwnAnswers) {
    const Json line = only("LINE_2D", "OpenGL painter")["attributes"];
    EXPECT_FALSE(line["none"].get<bool>());
    EXPECT_TRUE(line["one"].empty());
    EXPECT_EQ(line["two"], Json::parse(R"([["position2d", "position2d"]])"));
    EXPECT_TRUE(line["three"].empty());

    const Json slider = only("SLIDER", "drag manipulator")["attributes"];
    EXPECT_EQ(slider["one"], Json::parse(R"(["double"])"));
    EXPECT_EQ(slider["two"].size(), 7u);  // a double first, anything after it
    EXPECT_EQ(slider["summary"], "a first attribute of kind double; later ones are ignored; an empty list is refused");

    // Pick adaptors are handed the node's module, as the host does, so only the attribute
    // decides: any kind, but one there must be.
    const Json mono = only("MONO", "pick adaptor")["attributes"];
    EXPECT_FALSE(mono["none"].get<bool>());
    EXPECT_EQ(mono["one"].size(), 7u);

    const Json script = only("SCRIPT", "drag manipulator");
    EXPECT_EQ(script["attributes"]["summary"], "any attributes, or none");
    EXPECT_TRUE(script["properties"].empty());
    EXPECT_TRUE(script["update"].is_null());
}

TEST(Describe, KeysInReadOrderWithKindsDefaultsAndWhatUpdateReads) {
    const Json position = only("POSITION_2D", "drag manipulator");
    EXPECT_EQ(keys(position), (std::vector<std::string>{"ymin", "xmin", "ymax", "xmax", "yValues", "xValues",
                                                        "useParentTransformation", "parentTransformationPortIndex"}));
    EXPECT_EQ(property(position, "ymin")["default"], -1.7976931348623156e306);
    EXPECT_EQ(property(position, "xValues")["kind"], "list");
    EXPECT_EQ(property(position, "xValues")["default"], Json::array());
    EXPECT_EQ(property(position, "parentTransformationPortIndex")["kind"], "integer");
    EXPECT_EQ(position["update"], Json::parse(R"(["ymin", "xmin", "ymax", "xmax"])"));

    const Json arrow = only("ARROW_Y", "OpenGL painter");
    EXPECT_EQ(property(arrow, "color")["default"], Json::parse("[0, 255, 0, 255]"));
    EXPECT_EQ(property(arrow, "length")["kind"], "number");
    EXPECT_FALSE(property(arrow, "length").contains("dependsOn"));
}

TEST(Describe, DefaultsThatFollowAnotherProperty) {
    // A flag: the ring's sizes follow screen_space; its picking width does not.
    const Json ring = only("CIRCLE_Z", "OpenGL painter");
    EXPECT_EQ(property(ring, "width")["default"], 0.03);
    EXPECT_EQ(property(ring, "width")["dependsOn"],
              Json::parse(R"([{"property": "screen_space", "when": true, "default": 0.01}])"));
    EXPECT_EQ(property(ring, "radius")["dependsOn"][0]["default"], 0.04);
    EXPECT_FALSE(property(ring, "picking_width").contains("dependsOn"));

    // Whether a key is given: a slider placed by "xmin" sits in the corner, shorter.
    const Json slider = only("SLIDER", "drag manipulator");
    EXPECT_TRUE(property(slider, "xmin")["presence"].get<bool>());
    EXPECT_EQ(property(slider, "length")["default"], 3.0);
    EXPECT_EQ(property(slider, "length")["dependsOn"],
              Json::parse(R"([{"property": "xmin", "when": "given", "default": 0.15},
                              {"property": "screen_space", "when": true, "default": 0.1}])"));

    // Another key's value, even through single precision.
    const Json point = only("POINT_2D", "OpenGL painter");
    EXPECT_EQ(property(point, "inner_color")["dependsOn"], Json::parse(R"([{"property": "color", "sameAs": true}])"));
    EXPECT_EQ(property(point, "picking_size")["dependsOn"], Json::parse(R"([{"property": "size", "sameAs": true}])"));
    EXPECT_FALSE(property(point, "selection_color").contains("dependsOn"));
}

TEST(Describe, TextNamesEachFact) {
    std::ostringstream text;
    rigkit_test::loadPlugin();
    runner::printDescription(runner::describeComponents({"CIRCLE_X"}), text);
    const std::string s = text.str();
    EXPECT_NE(s.find("CIRCLE_X (OpenGL painter)\n  class: CircleXOGLPainter\n"), std::string::npos) << s;
    EXPECT_NE(s.find("    width: number, default 0.03; 0.01 when screen_space is true\n"), std::string::npos) << s;
    EXPECT_NE(s.find("    color: color, default [255, 0, 0, 120]\n"), std::string::npos) << s;
    EXPECT_NE(s.find("  on a property change: re-reads color, selection_color, screen_space, picking_width, width, "
                     "radius\n"),
              std::string::npos)
        << s;
}

}  // namespace
