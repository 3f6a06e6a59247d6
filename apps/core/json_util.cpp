#include "apps/core/json_util.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace runner {

namespace {

// nlohmann prefixes its messages with "[json.exception.parse_error.101] parse error at ";
// what follows ("line 3, column 5: syntax error ...") already reads as "where: what".
std::string plainParserMessage(const std::string& message) {
    std::string s = message;
    const auto bracket = s.find("] ");
    if (s.rfind("[json.exception.", 0) == 0 && bracket != std::string::npos)
        s = s.substr(bracket + 2);
    const std::string prefix = "parse error at ";
    if (s.rfind(prefix, 0) == 0)
        s = s.substr(prefix.size());
    return s;
}

// Tracks where the parser is, to name the object in which a key repeats.
class DuplicateKeyCheck {
public:
    bool operator()(int, Json::parse_event_t event, Json&) {
        using E = Json::parse_event_t;
        switch (event) {
            case E::object_start:
            case E::array_start: {
                std::string path = childPath();
                if (m_stack.size() >= kMaxNesting)
                    throw RunError(path, "nested more than " + std::to_string(kMaxNesting) + " levels deep");
                m_stack.push_back({event == E::array_start, 0, {}, {}, std::move(path)});
                break;
            }
            case E::object_end:
            case E::array_end:
                m_stack.pop_back();
                break;
            case E::key:
                break;
            case E::value:
                childPath();
                break;
        }
        return true;
    }

    // Called with the key itself: the callback's `parsed` is the key as a JSON string.
    void key(const std::string& k) {
        Container& top = m_stack.back();
        if (!top.keys.insert(k).second)
            throw RunError(top.path.empty() ? std::string("top level") : top.path, "duplicate key \"" + k + "\"");
        top.key = k;
    }

private:
    struct Container {
        bool array;
        std::size_t next;
        std::string key;
        std::set<std::string> keys;
        std::string path;
    };

    // The path of the value that starts now, counting it when it is a list element.
    std::string childPath() {
        if (m_stack.empty())
            return {};
        Container& top = m_stack.back();
        return top.array ? element(top.path, top.next++) : member(top.path, top.key);
    }

    std::vector<Container> m_stack;
};

}  // namespace

Json parseDocument(const std::string& text) {
    DuplicateKeyCheck check;
    try {
        return Json::parse(text, [&check](int depth, Json::parse_event_t event, Json& parsed) {
            if (event == Json::parse_event_t::key)
                check.key(parsed.get<std::string>());
            return check(depth, event, parsed);
        });
    } catch (const Json::exception& e) {
        throw RunError("", plainParserMessage(e.what()));
    }
}

std::string readFileText(const std::string& file) {
    std::error_code ec;
    // Opening a directory succeeds and reading it fails, which would read as an empty file.
    if (std::filesystem::is_directory(file, ec))
        throw RunError("", "cannot open the file: it is a directory");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw RunError("", std::string("cannot open the file: ") + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw RunError("", std::string("cannot read the file: ") + std::strerror(errno));
    return text.str();
}

Json readDocumentFile(const std::string& file) {
    return parseDocument(readFileText(file));
}

std::string oneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string member(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

std::string element(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

std::string quote(const std::string& text) {
    return "\"" + text + "\"";
}

std::string describe(const Json& v) {
    switch (v.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::boolean:
            return "a boolean";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            return "a number";
        case Json::value_t::string:
            return "a string";
        case Json::value_t::array:
            return "a list of " + std::to_string(v.size()) + (v.size() == 1 ? " value" : " values");
        case Json::value_t::object:
            return "an object";
        default:
            return "an unreadable value";
    }
}

std::string show(const Json& v) {
    return v.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void checkKeys(const Json& object, const std::string& path, std::initializer_list<const char*> allowed) {
    for (const auto& item : object.items()) {
        bool known = false;
        for (const char* a : allowed)
            known = known || item.key() == a;
        if (known)
            continue;
        std::string list;
        for (const char* a : allowed)
            list += (list.empty() ? "" : ", ") + std::string(a);
        throw RunError(member(path, item.key()), "unknown key (expected one of: " + list + ")");
    }
}

const Json& requireObject(const Json& v, const std::string& path) {
    if (!v.is_object())
        throw RunError(path, "expected an object, found " + describe(v));
    return v;
}

const Json& requireArray(const Json& v, const std::string& path) {
    if (!v.is_array())
        throw RunError(path, "expected a list, found " + describe(v));
    return v;
}

double requireNumber(const Json& v, const std::string& path) {
    if (!v.is_number())
        throw RunError(path, "expected a number, found " + describe(v));
    const double d = v.get<double>();
    if (!std::isfinite(d))
        throw RunError(path, "expected a finite number");
    return d;
}

std::string requireString(const Json& v, const std::string& path) {
    if (!v.is_string())
        throw RunError(path, "expected a string, found " + describe(v));
    return v.get<std::string>();
}

bool requireBool(const Json& v, const std::string& path) {
    if (!v.is_boolean())
        throw RunError(path, "expected true or false, found " + describe(v));
    return v.get<bool>();
}

std::vector<double> requireNumbers(const Json& v, std::size_t n, const std::string& path) {
    if (!v.is_array() || v.size() != n)
        throw RunError(path, "expected a list of " + std::to_string(n) + " numbers, found " + describe(v));
    std::vector<double> out;
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(requireNumber(v[i], element(path, i)));
    return out;
}

bool matches(const Json& actual, const Json& expected, double tolerance, std::string& why) {
    if (expected.is_number()) {
        if (!actual.is_number()) {
            why = describe(actual) + " where a number was expected";
            return false;
        }
        const double diff = std::fabs(actual.get<double>() - expected.get<double>());
        // Written so that NaN never matches.
        if (diff <= tolerance)
            return true;
        why = "off by " + show(Json(diff)) + ", more than the tolerance " + show(Json(tolerance));
        return false;
    }
    if (expected.is_boolean() || expected.is_string()) {
        if (actual.type() != expected.type()) {
            why = describe(actual) + " where " + describe(expected) + " was expected";
            return false;
        }
        if (actual == expected)
            return true;
        why = "not equal";
        return false;
    }
    if (expected.is_array()) {
        if (!actual.is_array()) {
            why = describe(actual) + " where a list was expected";
            return false;
        }
        if (actual.size() != expected.size()) {
            why = std::to_string(actual.size()) + " values where " + std::to_string(expected.size()) + " were expected";
            return false;
        }
        for (std::size_t i = 0; i < expected.size(); ++i) {
            std::string inner;
            if (!matches(actual[i], expected[i], tolerance, inner)) {
                why = "at [" + std::to_string(i) + "]" + (inner.rfind("at [", 0) == 0 ? inner.substr(3) : ": " + inner);
                return false;
            }
        }
        return true;
    }
    why = "cannot compare with " + describe(expected);
    return false;
}

Json number(double v) {
    return Json(v == 0.0 ? 0.0 : v);
}

}  // namespace runner
