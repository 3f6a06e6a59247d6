#pragma once

// A large file's JSON parsed in one pass into one flat block (simdjson's DOM) and freed
// whole with its parser, instead of a Json's node per value. The document reader reads a
// DomValue through the calls it makes on a Json, so both give the same document.
//
// parseQuickly takes only text that parseDocument reads to the same values: anything it
// refuses (a fault, a key written twice in an object, nesting past kMaxNesting, an
// integer beyond 64 bits, a byte order mark) is left to parseDocument, whose messages
// say where.

#include "apps/core/json_util.h"

#include <simdjson.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace runner {

class DomValue {
public:
    DomValue() = default;
    explicit DomValue(simdjson::dom::element e) : m_e(e) {}

    bool is_null() const { return m_e.type() == Type::NULL_VALUE; }
    bool is_boolean() const { return m_e.type() == Type::BOOL; }
    bool is_number() const { return m_e.is_number(); }
    bool is_string() const { return m_e.type() == Type::STRING; }
    bool is_array() const { return m_e.type() == Type::ARRAY; }
    bool is_object() const { return m_e.type() == Type::OBJECT; }

    // A list's elements or an object's members; 0 for anything else.
    std::size_t size() const;
    // A list's element. It walks the list, so longer lists are iterated instead.
    DomValue operator[](std::size_t index) const { return DomValue(got<simdjson::dom::element>(m_e.at(index))); }
    bool contains(std::string_view key) const { return is_object() && !m_e.at_key(key).error(); }
    // A member the object has.
    DomValue operator[](std::string_view key) const { return DomValue(got<simdjson::dom::element>(m_e.at_key(key))); }
    // The member named `key`, or nothing (also for anything but an object): one walk over
    // the keys where contains() and then operator[] make two.
    std::optional<DomValue> find(std::string_view key) const {
        simdjson::dom::element member;
        if (m_e.at_key(key).get(member) != simdjson::SUCCESS)
            return std::nullopt;
        return DomValue(member);
    }

    // For a number, a boolean, a string: double, bool or std::string, as Json::get gives
    // them (an integer becomes the double nearest to it).
    template <class T>
    T get() const;
    // A number typed as parseDocument types it: integers unsigned unless negative.
    Json numberJson() const;
    // A string's text, which lives as long as the parse.
    std::string_view text() const { return got<std::string_view>(m_e.get_string()); }

    // A list's elements in order.
    class Elements {
    public:
        explicit Elements(simdjson::dom::array::iterator it) : m_it(it) {}
        DomValue operator*() const { return DomValue(*m_it); }
        Elements& operator++() {
            ++m_it;
            return *this;
        }
        bool operator!=(const Elements& other) const { return m_it != other.m_it; }

    private:
        simdjson::dom::array::iterator m_it;
    };
    Elements begin() const { return Elements(got<simdjson::dom::array>(m_e.get_array()).begin()); }
    Elements end() const { return Elements(got<simdjson::dom::array>(m_e.get_array()).end()); }

    // An object's members in the file's order, read as Json::items() reads them.
    class Member {
    public:
        explicit Member(simdjson::dom::key_value_pair pair) : m_pair(pair) {}
        std::string_view key() const { return m_pair.key; }
        DomValue value() const { return DomValue(m_pair.value); }

    private:
        simdjson::dom::key_value_pair m_pair;
    };
    class Members {
    public:
        class Iterator {
        public:
            explicit Iterator(simdjson::dom::object::iterator it) : m_it(it) {}
            Member operator*() const { return Member(*m_it); }
            Iterator& operator++() {
                ++m_it;
                return *this;
            }
            bool operator!=(const Iterator& other) const { return m_it != other.m_it; }

        private:
            simdjson::dom::object::iterator m_it;
        };
        explicit Members(simdjson::dom::object object) : m_object(object) {}
        Iterator begin() const { return Iterator(m_object.begin()); }
        Iterator end() const { return Iterator(m_object.end()); }

    private:
        simdjson::dom::object m_object;
    };
    Members items() const { return Members(got<simdjson::dom::object>(m_e.get_object())); }

    // What a read gave, which the caller knows to be there (a member it found, a list it
    // checked): a failed read gives T's empty value.
    template <class T>
    static T got(simdjson::simdjson_result<T>&& result) {
        T value{};
        if (std::move(result).get(value) != simdjson::SUCCESS)
            return T{};
        return value;
    }

private:
    using Type = simdjson::dom::element_type;
    simdjson::dom::element m_e;
};

template <>
inline double DomValue::get<double>() const {
    return got<double>(m_e.get_double());
}

template <>
inline bool DomValue::get<bool>() const {
    return got<bool>(m_e.get_bool());
}

template <>
inline std::string DomValue::get<std::string>() const {
    return std::string(text());
}

// The file's text parsed into `parser`, which holds it until its next parse; nothing when
// it is not text that parseDocument reads to the same values.
std::optional<DomValue> parseQuickly(simdjson::dom::parser& parser, const simdjson::padded_string& text);
// The same for text without simdjson's padding, which is copied first.
std::optional<DomValue> parseQuickly(simdjson::dom::parser& parser, const std::string& text);

// A file's text parsed into `parser` as parseQuickly parses it, read straight from the
// file into memory of its own that is let go once parsed; nothing when the file is not a
// regular one that reads whole, or its text is refused.
std::optional<DomValue> parseFileQuickly(simdjson::dom::parser& parser, const std::string& file);

// The value as parseDocument would have given it.
Json toJson(const DomValue& v);

// The reads and messages of json_util.h, for a DomValue: the same words for the same value.
std::string describe(const DomValue& v);
std::string show(const DomValue& v);
void checkKeys(const DomValue& object, const std::string& path, std::initializer_list<const char*> allowed);
const DomValue& requireObject(const DomValue& v, const std::string& path);
const DomValue& requireArray(const DomValue& v, const std::string& path);
double requireNumber(const DomValue& v, const std::string& path);
std::string requireString(const DomValue& v, const std::string& path);
bool requireBool(const DomValue& v, const std::string& path);
std::vector<double> requireNumbers(const DomValue& v, std::size_t n, const std::string& path);

}  // namespace runner
