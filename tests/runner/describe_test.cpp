// The describer learns everything by building components. What it finds in the plug-in's
// own is held word for word by docs/components.md, which a test compares with --describe's
// output; here a painter the test registers itself pins every read in order, a key read
// twice, and re-reads made only when a key is given.

#include "apps/core/describe.h"
#include "host/base/VS_RGBA.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

#include <gtest/gtest.h>

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

}  // namespace
