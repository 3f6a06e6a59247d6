#pragma once

// Builds a host scene from a document: nodes with their attributes, curves, properties
// and the components the plug-in's factories make for them, plus the view settings that
// drawing steps use.

#include "apps/core/document.h"
#include "apps/core/json_util.h"
#include "host/base/VS_RGBA.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/SC_SceneCommon.h"

#include <functional>
#include <memory>
#include <string>

class AT_Attr;
class MO_Node;

namespace runner {

struct Scene {
    // Held by pointer: the host's nodes keep its address.
    std::unique_ptr<SC_SceneCommon> common = std::make_unique<SC_SceneCommon>();
    int width = 400;
    int height = 400;
    Camera camera;
    VS_RGBA background{40, 40, 40, 255};
    double dpiScale = 1.0;
    // Samples per pixel of the ordinary pictures (see Document::samples).
    int samples = 0;
    Json script = Json::array();
    // Reads the document the scene was built from again, from the text or the file it came
    // from, when it knows one: the rest pose is the values the scene was opened with.
    std::function<Document()> opened;
};

// The camera chain of a view of the given size in pixels.
Math::CameraTransformChain cameraChain(const Camera& camera, int width, int height);

// Throws RunError whose `where` is the path of the component in the file when a factory
// knows no such type string or refuses the attributes it is given.
Scene buildScene(const Document& document);

// buildScene in its parts: a scene with the document's settings and no nodes, and one node
// built into it (`index` is its place in the file, for messages).
Scene emptyScene(const Document& document);
void buildNode(const Node& node, std::size_t index, SC_SceneCommon& scene);

// readDocument then buildScene, a node at a time: each node is built as soon as it is read.
Scene loadScene(const Json& document);

// loadScene(readDocumentFile(file)), as the runner plays a file: the same scene or the
// same RunError. The file is read through the flat DOM (json_dom.h), in about a second
// for 100,000 controls; one that does not load cleanly that way is read again through
// parseDocument, whose messages say where.
Scene loadSceneFile(const std::string& file);

// An attribute of `kind` with the kind's unset value, animatable.
std::unique_ptr<AT_Attr> makeAttribute(MO_Node* node, const QString& name, AttributeKind kind);

MO_PropertyValue propertyValue(const Value& value);
// A property's value as a node's "properties" map writes it (readPropertyValue).
MO_PropertyValue propertyValue(const Json& v, const std::string& path);

}  // namespace runner
