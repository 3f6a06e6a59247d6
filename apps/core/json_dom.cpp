#include "apps/core/json_dom.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace runner {

namespace {

using Element = simdjson::dom::element;
using Type = simdjson::dom::element_type;

// Whether the object's keys all differ. Objects in a scene file have a few keys, which
// are compared pairwise; large ones are sorted.
bool distinctKeys(simdjson::dom::object object) {
    constexpr std::size_t kPairwise = 16;
    const std::size_t n = object.size();
    if (n <= kPairwise) {
        std::size_t i = 0;
        for (auto a = object.begin(); a != object.end(); ++a, ++i) {
            auto b = object.begin();
            for (std::size_t j = 0; j < i; ++j, ++b)
                if (a.key() == b.key())
                    return false;
        }
        return true;
    }
    std::vector<std::string_view> keys;
    keys.reserve(n);
    for (const auto& member : object)
        keys.push_back(member.key);
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
}

// What parseDocument refuses beyond the grammar: a key twice in one object, and more than
// kMaxNesting containers around a container. `depth` counts those around `e`.
bool parsesAlike(Element e, std::size_t depth) {
    const Type type = e.type();
    if (type != Type::ARRAY && type != Type::OBJECT)
        return true;
    if (depth >= kMaxNesting)
        return false;
    if (type == Type::ARRAY) {
        for (const Element child : DomValue::got<simdjson::dom::array>(e.get_array()))
            if (!parsesAlike(child, depth + 1))
                return false;
        return true;
    }
    const auto object = DomValue::got<simdjson::dom::object>(e.get_object());
    if (!distinctKeys(object))
        return false;
    for (const auto& member : object)
        if (!parsesAlike(member.value, depth + 1))
            return false;
    return true;
}

std::optional<DomValue> checked(simdjson::dom::element root) {
    if (!parsesAlike(root, 0))
        return std::nullopt;
    return DomValue(root);
}

}  // namespace

std::size_t DomValue::size() const {
    if (is_array())
        return got<simdjson::dom::array>(m_e.get_array()).size();
    if (is_object())
        return got<simdjson::dom::object>(m_e.get_object()).size();
    return 0;
}

Json DomValue::numberJson() const {
    switch (m_e.type()) {
        case Type::INT64: {
            const auto i = got<std::int64_t>(m_e.get_int64());
            return i < 0 ? Json(i) : Json(static_cast<std::uint64_t>(i));
        }
        case Type::UINT64:
            return Json(got<std::uint64_t>(m_e.get_uint64()));
        default:
            return Json(got<double>(m_e.get_double()));
    }
}

std::optional<DomValue> parseQuickly(simdjson::dom::parser& parser, const simdjson::padded_string& text) {
    Element root;
    if (parser.parse(text).get(root) != simdjson::SUCCESS)
        return std::nullopt;
    return checked(root);
}

std::optional<DomValue> parseQuickly(simdjson::dom::parser& parser, const std::string& text) {
    Element root;
    if (parser.parse(text.data(), text.size(), true).get(root) != simdjson::SUCCESS)
        return std::nullopt;
    return checked(root);
}

Json toJson(const DomValue& v) {
    if (v.is_null())
        return nullptr;
    if (v.is_boolean())
        return v.get<bool>();
    if (v.is_string())
        return v.get<std::string>();
    if (v.is_array()) {
        Json out = Json::array();
        for (const DomValue& item : v)
            out.push_back(toJson(item));
        return out;
    }
    if (v.is_object()) {
        Json out = Json::object();
        for (const auto& member : v.items())
            out.emplace(std::string(member.key()), toJson(member.value()));
        return out;
    }
    return v.numberJson();
}

std::string describe(const DomValue& v) {
    return describe(toJson(v));
}

std::string show(const DomValue& v) {
    return show(toJson(v));
}

// Each read converts the value to a Json only when it fails, for the message.
void checkKeys(const DomValue& object, const std::string& path, std::initializer_list<const char*> allowed) {
    for (const auto& item : object.items())
        if (std::none_of(allowed.begin(), allowed.end(), [&](const char* a) { return item.key() == a; }))
            checkKeys(toJson(object), path, allowed);
}

const DomValue& requireObject(const DomValue& v, const std::string& path) {
    if (!v.is_object())
        requireObject(toJson(v), path);
    return v;
}

const DomValue& requireArray(const DomValue& v, const std::string& path) {
    if (!v.is_array())
        requireArray(toJson(v), path);
    return v;
}

double requireNumber(const DomValue& v, const std::string& path) {
    if (v.is_number() && std::isfinite(v.get<double>()))
        return v.get<double>();
    return requireNumber(toJson(v), path);
}

std::string requireString(const DomValue& v, const std::string& path) {
    return v.is_string() ? v.get<std::string>() : requireString(toJson(v), path);
}

bool requireBool(const DomValue& v, const std::string& path) {
    return v.is_boolean() ? v.get<bool>() : requireBool(toJson(v), path);
}

std::vector<double> requireNumbers(const DomValue& v, std::size_t n, const std::string& path) {
    if (!v.is_array() || v.size() != n)
        return requireNumbers(toJson(v), n, path);
    std::vector<double> out;
    out.reserve(n);
    for (const DomValue& item : v)
        out.push_back(requireNumber(item, element(path, out.size())));
    return out;
}

}  // namespace runner
