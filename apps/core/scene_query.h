#pragma once

// What paths name, and how their values are read and written. Steps name "node.attr",
// "node.attr.x" (a component), "node.matrix" (the world matrix) and "node.keys.attr" (the
// attribute's keys); a component's "attributes" name "attr" or "attr.x" of its own node.
// Both go through attributeComponent(), so they take the same names and say the same
// when one is wrong. Failures throw RunError without a `where`; the caller adds it.

#include "apps/core/json_util.h"
#include "apps/core/vocabulary.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

class AT_Attr;
class MO_Node;
class SC_SceneCommon;

namespace runner {

// "attr" -> {"attr", none}; "attr.x" -> {"attr", "x"}: the first dot parts them.
std::pair<std::string, std::optional<std::string>> splitAttributePath(const std::string& text);

// Which part of node `nodeName`'s attribute `attribute` a path names: -1 for the whole
// attribute (no `component`), else the component's index. `kind` is the kind of the
// node's attribute of that name, null when it has none; `shown` is how messages name the
// attribute ("tx" in a component's list, "node.tx" in a step).
int attributeComponent(const std::string& nodeName, const std::string& attribute, const AttributeKindInfo* kind,
                       const std::optional<std::string>& component, const std::string& shown);

// The kind of a host attribute; null for a class no scene file makes.
const AttributeKindInfo* kindOf(const AT_Attr& attribute);

struct Target {
    enum class Kind { Value, Matrix, Keys };
    Kind kind = Kind::Value;
    MO_Node* node = nullptr;
    AT_Attr* attribute = nullptr;  // null for the matrix
};

Target resolve(const SC_SceneCommon& scene, const std::string& path);

// Attribute values as the scene file writes them: a number, a boolean, a string, or a
// list of numbers for compound attributes. The matrix is 16 numbers, row by row.
Json read(const Target& target, double frame);

// Every attribute of `node` that a scene file can name, by name, with its value at
// `frame`: what a recording checks and what tells whether a press changed a node.
std::vector<std::pair<std::string, Json>> readAttributes(MO_Node* node, double frame);

// [[frame, value], ...] in frame order; an attribute that is not animated has none. A
// compound attribute lists every frame at which one of its components has a key, with
// the whole value there.
Json readKeys(AT_Attr* attribute);

// Writes at `frame` as a user's edit does: into the curve when the attribute is animated,
// else into its local value. Returns false when the attribute refuses the value (an
// expression does).
bool write(const Target& target, double frame, const Json& value);

// The host's message log, as "scope: message" lines.
Json messages();

}  // namespace runner
