// A file read through the flat DOM must give what the careful reader gives: the same
// document, number for number down to the bit, or the same message. Checked on every scene
// of the repository, every refused scene, and random documents, some of them broken.

#include "apps/core/document.h"
#include "apps/core/json_dom.h"
#include "apps/core/json_util.h"
#include "tests/support/scenes.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <variant>

namespace {

using runner::Document;

// Every number the document holds, as bits: == takes -0.0 for 0.0.
void numbers(const runner::Value& v, std::vector<std::uint64_t>& out) {
    const auto bits = [&](double d) {
        std::uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        out.push_back(b);
    };
    if (const auto* d = std::get_if<double>(&v))
        bits(*d);
    if (const auto* list = std::get_if<std::vector<double>>(&v))
        for (const double d : *list)
            bits(d);
}

std::vector<std::uint64_t> numbers(const Document& d) {
    std::vector<std::uint64_t> out;
    const auto c = d.camera;
    for (const double n : {c.center.x, c.center.y, c.pixelsPerUnit, c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y,
                           c.target.z, c.up.x, c.up.y, c.up.z, c.fovy, d.dpiScale})
        numbers(n, out);
    if (d.unitScale)
        numbers(std::vector<double>(d.unitScale->begin(), d.unitScale->end()), out);
    for (const runner::Node& node : d.nodes) {
        for (const runner::Attribute& a : node.attributes) {
            numbers(a.value, out);
            for (const runner::Key& k : a.keys) {
                numbers(k.frame, out);
                numbers(k.value, out);
            }
        }
        for (const auto& property : node.properties)
            numbers(property.second, out);
    }
    return out;
}

void expectSame(const Document& quick, const Document& careful, const std::string& what) {
    EXPECT_TRUE(quick == careful) << what;
    EXPECT_EQ(numbers(quick), numbers(careful)) << what;
    // The script is played later, as JSON: written out, 2 and 2.0 and -0.0 stay apart.
    EXPECT_EQ(quick.script.dump(), careful.script.dump()) << what;
}

// A document, or the message that refused it.
using Outcome = std::variant<Document, std::string>;

template <class Read>
Outcome outcome(Read read) {
    try {
        return read();
    } catch (const runner::RunError& e) {
        return std::string(e.what());
    }
}

void expectSameOutcome(const Outcome& a, const Outcome& b, const std::string& what) {
    ASSERT_EQ(a.index(), b.index()) << what << "\n"
                                    << (a.index() ? std::get<1>(a) : std::get<1>(b));
    if (a.index() == 0)
        expectSame(std::get<0>(a), std::get<0>(b), what);
    else
        EXPECT_EQ(std::get<1>(a), std::get<1>(b)) << what;
}

// The careful read, and the quick one when the text parses there (it must then agree), and
// the read with its fall-back (which always must). Whether the quick read gave a document.
bool expectAlike(const std::string& text, const std::string& what, bool mustParse) {
    const Outcome careful = outcome([&] { return runner::readDocument(runner::parseDocument(text)); });
    std::optional<Document> parsed;
    const Outcome quick = outcome([&] {
        parsed = runner::readDocumentQuickly(text);
        return parsed ? *parsed : Document();
    });
    if (mustParse) {
        EXPECT_TRUE(parsed || quick.index() == 1) << what << " did not parse quickly";
    }
    if (parsed || quick.index() == 1)
        expectSameOutcome(quick, careful, what);
    expectSameOutcome(outcome([&] { return runner::readDocumentText(text); }), careful, what);
    return parsed && quick.index() == 0;
}

TEST(QuickRead, EveryRepositorySceneReadsTheSame) {
    for (const std::string dir : {"examples", "tests/scenes", "tests/scenes/bad"})
        for (const std::string& file : rigkit_test::repositoryScenes({dir}))
            expectAlike(runner::readFileText(file), file, dir != "tests/scenes/bad");
}

// Loading a file through the quick read is how rigkit-run loads every scene under
// tests/scenes/, the refused ones held to their messages word for word.

// ---- random documents ----------------------------------------------------------------------

class Writer {
public:
    explicit Writer(unsigned seed) : m_random(seed) {}

    std::string document() {
        std::string nodes;
        const int count = pick(0, 6);
        for (int i = 0; i < count; ++i)
            nodes += (i ? "," : "") + node(i);
        std::vector<std::string> members = {
            "\"viewport\": [" + (chance(98) ? pick({"64", "64.0", "1e2"}) : pick({"0", "20000"})) + ", " +
                (chance(98) ? "48" : pick({"48.5", "-0"})) + "]",
            "\"camera\": {\"type\": \"ortho\", \"center\": [" + number() + ", " + number() +
                "], \"pixelsPerUnit\": " + (chance(90) ? pick({"20", "1e-3"}) : pick({"-1", "\"x\""})) + "}",
            "\"dpiScale\": " + (chance(95) ? pick({"1", "2.5"}) : "0"),
            "\"background\": [" + (chance(98) ? pick({"0", "255", "-0"}) : "0.5") + ", 1, 2, 3]",
            "\"metrics\": {\"unitScale\": [" + (chance(90) ? pick({"1", "2.5", "1e-3"}) : number()) + ", 1, 1]}",
            "\"nodes\": [" + nodes + "]",
            "\"script\": [" + anyValue(pick(0, 3)) + "]",
        };
        return object(members);
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    std::string pick(std::initializer_list<const char*> choices) {
        return *(choices.begin() + pick(0, static_cast<int>(choices.size()) - 1));
    }
    std::string pick(std::initializer_list<std::string> choices) {
        return *(choices.begin() + pick(0, static_cast<int>(choices.size()) - 1));
    }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    // The spellings a parser may read differently: signs of zero, integers and doubles,
    // the ends of the doubles and of 64-bit integers, exponents. Now and then one that only
    // one parser takes, or neither, so that most documents still read.
    std::string number() {
        if (chance(1))
            return pick({"1e400", "18446744073709551616", "-9223372036854775809", "123456789012345678901234567890",
                         "01", "1.", "+1"});
        return pick({"0", "-0", "0.0", "-0.0", "-0e0", "1", "2.0", "-7", "0.1", "1e-400", "-1e-400", "5e-324",
                     "1.7976931348623157e308", "18446744073709551615", "9223372036854775807",
                     "-9223372036854775808", "3.141592653589793238462643383279", "1E+2", "2.5e-3"});
    }

    std::string text() {
        if (chance(1))
            return pick({"\"\\ud800\"", "\"\\udc00x\"", "\"\xff\""});
        return pick({"\"a\"", "\"b\"", "\"\"", "\"\\u00e9\\n\"", "\"\\ud83d\\ude00\"", "\"a\\u0000b\"",
                     "\"tab\\t\\\"q\\\"\"", "\"\xc3\xa9\""});
    }

    std::string anyValue(int depth) {
        switch (depth > 0 ? pick(0, 7) : pick(0, 4)) {
            case 0:
                return number();
            case 1:
                return text();
            case 2:
                return pick({"true", "false", "null"});
            case 3: {
                if (chance(80))
                    return number();
                const std::size_t deep = static_cast<std::size_t>(pick(60, 66));
                return std::string(deep, '[') + "1" + std::string(deep, ']');
            }
            case 4:
                return number();
            case 5: {
                std::string list;
                for (int i = pick(0, 3); i > 0; --i)
                    list += std::string(list.empty() ? "" : ",") + anyValue(depth - 1);
                return "[" + list + "]";
            }
            default: {
                std::vector<std::string> members;
                for (int i = pick(0, 3); i > 0; --i)
                    members.push_back(text() + ": " + anyValue(depth - 1));
                return object(members);
            }
        }
    }

    std::string attribute() {
        const std::string kind = pick({"double", "bool", "string", "position2d", "position3d", "rotation3d", "scale3d"});
        std::vector<std::string> members = {"\"type\": \"" + kind + "\""};
        const std::string value = kind == "bool"     ? (chance(95) ? pick({"true", "false"}) : "1")
                                  : kind == "string" ? text()
                                  : kind == "double" ? number()
                                  : kind == "position2d"
                                      ? "[" + number() + ", " + number() + "]"
                                      : "[" + number() + ", " + number() + ", " + number() + "]";
        if (chance(80))
            members.push_back("\"value\": " + value);
        const bool numeric = kind != "bool" && kind != "string";
        const bool curve = numeric && chance(40);
        if (curve)
            members.push_back("\"curve\": \"" + std::string(chance(95) ? pick({"bezier", "ease", "expr"}) : "nope") + "\"");
        if (curve || ((!numeric || chance(5)) && chance(60))) {
            std::string keys;
            for (int i = pick(0, 4); i > 0; --i)
                keys += std::string(keys.empty() ? "" : ", ") + "[" + number() + ", " + value + "]";
            members.push_back("\"keys\": [" + keys + "]");
        }
        if (chance(3))
            members.push_back("\"animatable\": false");
        return object(members);
    }

    std::string node(int index) {
        std::vector<std::string> attributes;
        std::vector<std::string> names;
        for (int i = pick(0, 4); i > 0; --i) {
            names.push_back("a" + std::to_string(i));
            attributes.push_back("\"" + names.back() + "\": " + attribute());
        }
        std::vector<std::string> properties;
        for (int i = pick(0, 3); i > 0; --i)
            properties.push_back("\"p" + std::to_string(i) + "\": " +
                                 (chance(30)  ? "[" + number() + ", " + number() + "]"
                                  : chance(2) ? anyValue(0)
                                              : pick({number(), text(), std::string(pick({"true", "false"}))})));
        const std::string bound = names.empty() ? "" : "\"" + names.front() + "\"";
        std::vector<std::string> members = {
            "\"name\": \"n" + std::to_string(index) + "\"",
            "\"attributes\": " + object(attributes),
            "\"properties\": " + object(properties),
            "\"painters\": [{\"type\": \"ARROW_Y\", \"attributes\": [" + bound + "]}]",
            "\"picker\": {\"type\": \"MONO\", \"attributes\": [" + bound + "], \"subSelectionIndex\": " + (chance(90) ? pick({"0", "1", "-0", "2.0", "-3"}) : number()) + "}",
        };
        if (index > 0 && chance(40))
            members.push_back("\"parent\": \"n" + std::to_string(pick(0, index - 1)) + "\"");
        if (chance(20))
            members.push_back("\"ports\": [null, \"n" + std::to_string(pick(0, index)) + "\"]");
        return object(members);
    }

    // Members in a random order, now and then one of them twice.
    std::string object(std::vector<std::string> members) {
        std::shuffle(members.begin(), members.end(), m_random);
        if (!members.empty() && chance(1))
            members.push_back(members[static_cast<std::size_t>(pick(0, static_cast<int>(members.size()) - 1))]);
        std::string out = "{";
        for (std::size_t i = 0; i < members.size(); ++i)
            out += (i ? ", " : "") + members[i];
        return out + "}";
    }

    std::mt19937 m_random;
};

TEST(QuickRead, RandomDocumentsReadTheSame) {
    std::mt19937 damage(7);
    int read = 0;
    for (unsigned seed = 1; seed <= 400; ++seed) {
        std::string text = Writer(seed).document();
        // Some are cut short or have a byte changed.
        if (seed % 9 == 0)
            text.resize(damage() % text.size());
        if (seed % 11 == 0)
            text[damage() % text.size()] = "{}[],:\"0-e "[damage() % 11];
        read += expectAlike(text, "seed " + std::to_string(seed) + ": " + text, false);
    }
    // Enough of them read to a document for the comparison to mean something.
    EXPECT_GT(read, 60);
}

// Containers nest up to the careful parser's limit and no deeper, whichever way is read.
TEST(QuickRead, NestingStopsAtTheSameDepth) {
    for (const std::size_t depth : {runner::kMaxNesting - 1, runner::kMaxNesting, runner::kMaxNesting + 1}) {
        const std::string script = std::string(depth - 1, '[') + std::string(depth - 1, ']');
        expectAlike("{\"script\": " + script + "}", "depth " + std::to_string(depth), false);
    }
}

// A file is read into memory of its own with the parser's padding after it: the text
// reads as the same text held in a string, whichever side of a page boundary it ends on,
// and what is no regular file with text reads as nothing.
TEST(QuickRead, FilesReadAsTheirText) {
    namespace fs = std::filesystem;
    const fs::path file = fs::temp_directory_path() / ("rigkit-quick-read-" + std::to_string(::getpid()) + ".json");
    const auto reads = [&](const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
        simdjson::dom::parser fromFile, fromText;
        const std::optional<runner::DomValue> a = runner::parseFileQuickly(fromFile, file.string());
        const std::optional<runner::DomValue> b = runner::parseQuickly(fromText, text);
        EXPECT_EQ(a.has_value(), b.has_value()) << text.size() << " bytes";
        return a && b && runner::toJson(*a) == runner::toJson(*b);
    };
    // A number last, whose end the parser finds in the padding.
    for (const std::size_t size : {std::size_t{4000}, std::size_t{4032}, std::size_t{4095}, std::size_t{4096},
                                   std::size_t{4097}, std::size_t{8192}})
        EXPECT_TRUE(reads(std::string(size - 5, ' ') + "12345")) << size;
    EXPECT_TRUE(reads("{\"nodes\": [], \"script\": [[1, \"" + std::string(5000, 'x') + "\"]]}"));
    EXPECT_FALSE(reads("{\"nodes\": [}"));
    EXPECT_FALSE(reads(""));
    fs::remove(file);
    simdjson::dom::parser parser;
    EXPECT_FALSE(runner::parseFileQuickly(parser, file.string()));
    EXPECT_FALSE(runner::parseFileQuickly(parser, fs::temp_directory_path().string()));
}

}  // namespace
