#pragma once

// The words of a scene file, each list stated once. Reading a file checks it against these
// lists and names them in its messages, writing a file writes them, --describe builds
// attributes of every kind, and the schema's test compares docs/scene.schema.json with
// them.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace runner {

enum class AttributeKind { Double, Bool, String, Position2d, Position3d, Rotation3d, Scale3d };

struct AttributeKindInfo {
    AttributeKind kind;
    // As files write it; also the host's type string of the attribute class.
    const char* name;
    // The numbers a value holds: 1 for a double, one per component for a compound kind, 0
    // for booleans and strings, which hold from key to key and take no curve.
    std::size_t numbers;
    bool compound;
    // Each number's value when the file gives none.
    double unset;
};

inline constexpr AttributeKindInfo kAttributeKinds[] = {
    {AttributeKind::Double, "double", 1, false, 0.0},
    {AttributeKind::Bool, "bool", 0, false, 0.0},
    {AttributeKind::String, "string", 0, false, 0.0},
    {AttributeKind::Position2d, "position2d", 2, true, 0.0},
    {AttributeKind::Position3d, "position3d", 3, true, 0.0},
    {AttributeKind::Rotation3d, "rotation3d", 3, true, 0.0},
    {AttributeKind::Scale3d, "scale3d", 3, true, 1.0},
};

// A compound attribute's components, in order: the first `numbers` of these.
inline constexpr const char* kComponentNames[] = {"x", "y", "z"};

enum class CurveKind { Bezier, Ease, VeloBased, Fnc2d, Expr };

struct CurveKindInfo {
    CurveKind kind;
    const char* name;
};

inline constexpr CurveKindInfo kCurveKinds[] = {
    {CurveKind::Bezier, "bezier"},       {CurveKind::Ease, "ease"}, {CurveKind::VeloBased, "velobased"},
    {CurveKind::Fnc2d, "fnc2d"},         {CurveKind::Expr, "expr"},
};

inline constexpr const char* kCameraTypes[] = {"ortho", "perspective"};

// The keys each object of a scene file takes. "$schema" names the schema for editors and
// means nothing to a run.
inline constexpr std::initializer_list<const char*> kDocumentKeys = {
    "$schema", "viewport", "camera", "metrics", "dpiScale", "background", "samples", "nodes", "script"};
inline constexpr std::initializer_list<const char*> kOrthoCameraKeys = {"type", "center", "pixelsPerUnit"};
inline constexpr std::initializer_list<const char*> kPerspectiveCameraKeys = {"type", "eye", "target", "up", "fovy"};
inline constexpr std::initializer_list<const char*> kMetricsKeys = {"unitScale"};
inline constexpr std::initializer_list<const char*> kNodeKeys = {
    "name", "parent", "attributes", "properties", "transformations", "painters", "manipulator", "picker", "ports"};
inline constexpr std::initializer_list<const char*> kAttributeKeys = {"type", "value", "curve", "keys", "animatable"};
inline constexpr std::initializer_list<const char*> kComponentKeys = {"type", "attributes"};
inline constexpr std::initializer_list<const char*> kPickerKeys = {"type", "attributes", "subSelectionIndex"};

// Words of the paths that steps use ("node.matrix", "node.keys.attr"), which no attribute
// may be named.
inline constexpr const char* kMatrixWord = "matrix";
inline constexpr const char* kKeysWord = "keys";

// The keys of the steps whose argument is an object of its own.
inline constexpr std::initializer_list<const char*> kDragKeys = {"from",      "to",        "steps", "modifiers",
                                                                 "node",      "manipMode", "in",
                                                                 "path"};
inline constexpr std::initializer_list<const char*> kExpectPixelKeys = {"at", "rgba", "tolerance"};
inline constexpr std::initializer_list<const char*> kExpectPickKeys = {"at", "node", "selectionType"};
inline constexpr std::initializer_list<const char*> kPropertiesStepKeys = {"node", "set", "remove"};

// Null for a name no kind has.
const AttributeKindInfo* attributeKindNamed(std::string_view name);
const AttributeKindInfo& attributeKind(AttributeKind kind);
const CurveKindInfo* curveKindNamed(std::string_view name);
const CurveKindInfo& curveKind(CurveKind kind);

// "a, b, c": the names of a list, for messages.
std::string attributeKindList();
std::string curveKindList();

}  // namespace runner
