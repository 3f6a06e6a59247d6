#pragma once

// Builds a host scene from a scene file: nodes with their attributes, curves, properties
// and the components the plug-in's factories make for them, plus the view settings that
// drawing steps use.

#include "apps/rigkit-run/json_util.h"
#include "host/base/VS_RGBA.h"
#include "host/math/CameraTransformChain.h"
#include "host/math/Math.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/SC_SceneCommon.h"

#include <memory>

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

struct Scene {
    // Held by pointer: the host's nodes keep its address.
    std::unique_ptr<SC_SceneCommon> common = std::make_unique<SC_SceneCommon>();
    int width = 400;
    int height = 400;
    Camera camera;
    VS_RGBA background{40, 40, 40, 255};
    double dpiScale = 1.0;
    // Samples per pixel of the ordinary pictures: 0 draws single-sampled, exactly; more
    // smooths edges. The picking pass is never multisampled.
    int samples = 0;
    Json script = Json::array();
};

// The camera chain of a view of the given size in pixels.
Math::CameraTransformChain cameraChain(const Camera& camera, int width, int height);

// Throws RunError whose `where` is the path of the offending part of the file.
Scene loadScene(const Json& document);

// A property's value as a node's "properties" map writes it: a number, a boolean, a
// string or a list of numbers. Throws RunError naming `path`.
MO_PropertyValue propertyValue(const Json& v, const std::string& path);

// A camera as the scene file's "camera" describes it; for the step that moves the camera.
Camera loadCamera(const Json& desc, const std::string& path);

}  // namespace runner
