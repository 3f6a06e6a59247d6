// The describer learns everything by building components; these cases pin what it must
// find in components whose reads are known to follow a pattern: a default that follows a
// flag, a key only asked about, a default that is another key's value, a list of exactly
// two attributes; and, in a painter the test registers itself, every read in order, a key
// read twice, and re-reads made only when a key is given.

#include "apps/rigkit-run/describe.h"
#include "host/base/VS_RGBA.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

using runner::Json;

namespace {

// Reads "twice" with two defaults, "steps" as an integer, "fine" only when "steps" is
// above 3, the list "grid" and "style". Its update re-reads "twice"; "style", and "shade"
// with it, only when the node gives "style"; and "grid" only when it holds values.
class FakePainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    explicit FakePainter(const MO_PropertyAccessor& p) {
        m_first = p.getColor("twice", VS_RGBA(1, 2, 3, 4), nullptr);
        m_second = p.getColor("twice", VS_RGBA(5, 6, 7, 8), nullptr);
        if (p.getInt("steps", 3, nullptr) > 3)
            m_fine = p.getDouble("fine", 0.5, 0);
        readGrid(p);
        m_style = p.getString("style", "plain", nullptr);
    }
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data) {
        return new FakePainter(data.properties);
    }
    void paint(MO_OGLContext&, const PaintState&) override {}
    void update(const MO_PropertyAccessor& p) override {
        m_first = p.getColor("twice", m_first, nullptr);
        if (p.hasProperty("style")) {
            m_style = p.getString("style", "plain", nullptr);
            m_fine = p.getDouble("shade", m_fine, 0);
        }
        if (p.valueCount("grid") != 0)
            readGrid(p);
    }

private:
    void readGrid(const MO_PropertyAccessor& p) {
        m_grid.assign(static_cast<std::size_t>(p.valueCount("grid")), 0.0);
        for (std::size_t i = 0; i < m_grid.size(); ++i)
            m_grid[i] = p.getDouble("grid", 0.0, static_cast<int>(i));
    }

    VS_RGBA m_first, m_second;
    double m_fine = 0.0;
    std::vector<double> m_grid;
    QString m_style;
};

Json fake() {
    static const bool registered = MO_OGLPainterFactorySingleton().registerClass(
        typeid(FakePainter), "DESCRIBE_FAKE", nullptr, &FakePainter::createDynamic);
    EXPECT_TRUE(registered);
    const Json all = runner::describeComponents({"DESCRIBE_FAKE"});
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? Json::object() : all[0];
}

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

TEST(Describe, EveryReadInOrderWithItsDefaultAndCondition) {
    const Json c = fake();
    EXPECT_EQ(keys(c), (std::vector<std::string>{"twice", "steps", "grid", "style", "fine"}));
    // The first read decides the key's kind and default; every read is listed.
    EXPECT_EQ(property(c, "twice")["default"], Json::parse("[1, 2, 3, 4]"));
    EXPECT_EQ(property(c, "twice")["reads"], Json::parse(R"([{"kind": "color", "default": [1, 2, 3, 4]},
                                                               {"kind": "color", "default": [5, 6, 7, 8]}])"));
    EXPECT_EQ(property(c, "steps")["kind"], "integer");
    // A list's elements are its read, not reads of their own.
    EXPECT_EQ(property(c, "grid")["reads"], Json::parse(R"([{"kind": "list", "default": []}])"));
    EXPECT_EQ(property(c, "fine")["reads"],
              Json::parse(R"([{"kind": "number", "default": 0.5, "onlyWhen": [{"property": "steps", "when": 4}]}])"));

    // The keys update asks about, as before, and each re-read with what it waits on.
    EXPECT_EQ(c["update"], Json::parse(R"(["twice", "style", "grid"])"));
    EXPECT_EQ(c["updateReads"], Json::parse(R"([
        {"key": "twice", "kind": "color", "default": [1, 2, 3, 4]},
        {"key": "style", "kind": "string", "default": "plain", "onlyWhen": [{"property": "style", "when": "given"}]},
        {"key": "shade", "kind": "number", "default": 0, "onlyWhen": [{"property": "style", "when": "given"}]},
        {"key": "grid", "kind": "list", "default": [], "onlyWhen": [{"property": "grid", "when": "given"}]}])"));

    std::ostringstream text;
    runner::printDescription(Json::array({c}), text);
    const std::string s = text.str();
    EXPECT_NE(s.find("    twice: color, default [1, 2, 3, 4]; read again, default [5, 6, 7, 8]\n"), std::string::npos)
        << s;
    EXPECT_NE(s.find("  on a property change: re-reads twice, style (only when given), shade (only when style is "
                     "given), grid (only when given)\n"),
              std::string::npos)
        << s;
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
