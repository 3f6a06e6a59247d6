#pragma once

// What the paths of script steps name, and how their values are read and written:
// "node.attr", "node.attr.x" (a component), "node.matrix" (the world matrix) and
// "node.keys.attr" (the attribute's keys). Failures throw RunError without a `where`;
// the script adds the step.

#include "apps/rigkit-run/json_util.h"

#include <string>

class AT_Attr;
class MO_Node;
class SC_SceneCommon;

namespace runner {

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
