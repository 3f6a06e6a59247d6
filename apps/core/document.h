#pragma once

// A scene file as plain values. Reading a file's JSON gives a document that has been
// checked in full, except for what only the plug-in's factories know (whether a type
// string is registered, and whether its component accepts the attributes it is given):
// building the host scene from it (scene_loader.h) finds those. Capturing a scene
// (scene_writer.h) gives a document back, which is written as JSON.

#include "apps/core/json_util.h"
#include "apps/core/vocabulary.h"
#include "host/base/VS_RGBA.h"
#include "host/math/Math.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace runner {

struct Camera {
    enum class Kind { Orthographic, Perspective };
    Kind kind = Kind::Orthographic;
    // Orthographic: looks down -Z at `center`, +Y up.
    Math::Point2d center;
    double pixelsPerUnit = 100.0;
    // Perspective.
    Math::Point3d eye{0.0, 0.0, 10.0};
    Math::Point3d target;
    Math::Vector3d up{0.0, 1.0, 0.0};
    double fovy = 45.0;
};

// A value as a file writes it: a number, a boolean, a string or a list of numbers. An
// attribute's value is of the one its kind holds (a list for compound kinds); a property
// may be any of them.
using Value = std::variant<double, bool, std::string, std::vector<double>>;

struct Key {
    double frame = 0.0;
    Value value;
};

struct Attribute {
    std::string name;
    AttributeKind kind = AttributeKind::Double;
    bool animatable = true;
    // The local value: the kind's unset value when the file gives none.
    Value value;
    // Set for a number or compound attribute that is animated (a compound one animates
    // each component on a curve of this kind); booleans and strings step from key to key.
    std::optional<CurveKind> curve;
    // In the order written; a compound attribute's keys hold every component's value.
    std::vector<Key> keys;
    // What the file said of it, when the document was read from one that is kept.
    const Json* source = nullptr;
};

// An entry of a component's "attributes": as written ("attr", "attr.x"), and what it
// names, one of its node's attributes or one component of a compound one.
struct Binding {
    std::string path;
    std::size_t attribute = 0;  // index into the node's attributes
    int component = -1;         // -1: the whole attribute
};

struct Component {
    std::string type;
    std::vector<Binding> attributes;
    // Pick adaptors only.
    int subSelectionIndex = 0;
};

struct Node {
    std::string name;
    // Parents and ports name nodes that come before this one.
    std::optional<std::string> parent;
    // Input ports in order; an empty one is unconnected.
    std::vector<std::optional<std::string>> ports;
    std::vector<Attribute> attributes;
    // In the file's order.
    std::vector<std::pair<std::string, Value>> properties;
    std::vector<Component> transformations;
    std::vector<Component> painters;
    std::optional<Component> manipulator;
    std::optional<Component> picker;
    const Json* source = nullptr;
};

struct Document {
    std::optional<std::string> schema;
    int width = 400;
    int height = 400;
    Camera camera;
    std::optional<std::array<double, 3>> unitScale;
    double dpiScale = 1.0;
    VS_RGBA background{40, 40, 40, 255};
    // Samples per pixel of the ordinary pictures: 0 draws single-sampled, exactly; more
    // smooths edges. The picking pass is never multisampled.
    int samples = 0;
    std::vector<Node> nodes;
    // Its steps are checked as they are played, against the steps of whoever plays it.
    Json script = Json::array();
    // The JSON the document was read from, when it is kept: writing keeps from it what the
    // document does not model and how unchanged values were written. The nodes' and
    // attributes' sources point into it.
    std::shared_ptr<const Json> source;
    // The text `source` was parsed from, when it is kept: a save rewrites only what changed
    // in it.
    std::shared_ptr<const std::string> sourceText;
};

// Throws RunError whose `where` is the path of the offending part of the file, such as
// "nodes[0].attributes.tx".
Document readDocument(const Json& json);
// The same, keeping `json` as the document's source.
Document readDocument(std::shared_ptr<const Json> json);

// readDocument(parseDocument(text)), keeping the JSON and the text as its source.
Document readDocumentKeepingText(std::string text);

// readDocument(parseDocument(text)): the same document (without a source) or the same
// RunError, read through the flat DOM when the text parses there.
Document readDocumentText(const std::string& text);
// That read alone: nothing when the text does not parse there. Throws RunError.
std::optional<Document> readDocumentQuickly(const std::string& text);

// readDocument in its parts and in its order, for building a scene as the nodes are read
// (loadScene), so that a large file is not held a second time as a document.
// The view settings, without the nodes and the script.
Document readSettings(const Json& json);
// Hands each node to `take` as soon as it is read, with its place in the file's list.
// `keepSource` points each node at its JSON.
using TakeNode = std::function<void(Node&& node, std::size_t index)>;
void readNodes(const Json& json, const TakeNode& take, bool keepSource = false);
Json readScript(const Json& json);

// A camera as the scene file's "camera" describes it; also for the step that moves it.
Camera readCamera(const Json& desc, const std::string& path);
// A camera as a scene file (and the "camera" step) writes it.
Json cameraJson(const Camera& camera);

// A property's value: a number, a boolean, a string or a list of numbers. Throws RunError
// naming `path`.
Value readPropertyValue(const Json& v, const std::string& path);

// The document as a file: from its source, with what the document changed written in
// (values that are the same keep their text, 2 stays 2 rather than 2.0), or whole when
// it has none.
Json writeDocument(const Document& document);

// After the document was written as `written` (writeDocument's JSON) in `text`, those
// become its source, so that the next write starts from what the file now says.
void keepWritten(Document& document, Json written, std::string text);

Json valueJson(const Value& value);

// What the document says, whatever JSON it came from.
bool operator==(const Camera& a, const Camera& b);
bool operator==(const Key& a, const Key& b);
bool operator==(const Attribute& a, const Attribute& b);
bool operator==(const Binding& a, const Binding& b);
bool operator==(const Component& a, const Component& b);
bool operator==(const Node& a, const Node& b);
bool operator==(const Document& a, const Document& b);
inline bool operator!=(const Document& a, const Document& b) {
    return !(a == b);
}

}  // namespace runner
