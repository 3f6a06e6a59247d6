#pragma once

// JSON as the runner reads and writes it: objects keep the order of the file, so that
// steps apply their entries and report their mismatches in the order they were written.

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace runner {

using Json = nlohmann::ordered_json;

// A problem found in a scene file or while playing it: where (a path such as
// "nodes[0].attributes.tx", or "step 3") and what.
class RunError : public std::runtime_error {
public:
    RunError(std::string where, const std::string& what)
        : std::runtime_error(where.empty() ? what : where + ": " + what), m_where(std::move(where)) {}
    const std::string& where() const { return m_where; }

private:
    std::string m_where;
};

// How deep objects and lists may nest in a scene file: printing and comparing values
// recurse, and a scene never needs more.
constexpr std::size_t kMaxNesting = 64;

// Parses a whole document. Unlike a plain parse, a key written twice in one object is an
// error instead of silently keeping the last one. Throws RunError.
Json parseDocument(const std::string& text);

// Reads a whole file. Throws RunError without a `where` when the file cannot be opened or
// read.
std::string readFileText(const std::string& file);

// Reads and parses a whole file. Throws RunError without a `where` when the file cannot be
// opened or read, or does not hold one JSON document.
Json readDocumentFile(const std::string& file);

// The text with its control characters escaped ("\n", "\u0001"), so that a message built
// from names written in a scene file stays on one line.
std::string oneLine(const std::string& text);

// "a.b", "a[2]": the path of a member or an element below `path`.
std::string member(const std::string& path, const std::string& key);
std::string element(const std::string& path, std::size_t index);

// "text", for messages that name something.
std::string quote(const std::string& text);

// A short description of a value for messages: "a string", "a list of 3 values"...
std::string describe(const Json& v);

// The value as it would be written in the scene file.
std::string show(const Json& v);

// Fails with "path: unknown key" for any key of `object` outside `allowed`.
void checkKeys(const Json& object, const std::string& path, std::initializer_list<const char*> allowed);

// Typed reads that fail with a message naming `path`.
const Json& requireObject(const Json& v, const std::string& path);
const Json& requireArray(const Json& v, const std::string& path);
double requireNumber(const Json& v, const std::string& path);
std::string requireString(const Json& v, const std::string& path);
bool requireBool(const Json& v, const std::string& path);
// A list of exactly `n` numbers.
std::vector<double> requireNumbers(const Json& v, std::size_t n, const std::string& path);

// Compares an actual value with an expected one: numbers within `tolerance`, lists
// element by element, booleans and strings exactly. On a mismatch `why` says where the
// two first differ.
bool matches(const Json& actual, const Json& expected, double tolerance, std::string& why);

// A number for output: negative zero becomes zero, so that printed matrices read cleanly.
Json number(double v);

}  // namespace runner
