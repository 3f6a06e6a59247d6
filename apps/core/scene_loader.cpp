#include "apps/rigkit-run/scene_loader.h"

#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/factories.h"

#include <cmath>
#include <limits>
#include <set>

namespace runner {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

int requireInteger(const Json& v, const std::string& path, int low, int high) {
    const double d = requireNumber(v, path);
    if (d != std::floor(d) || d < low || d > high)
        throw RunError(path, "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                                 ", found " + show(v));
    return static_cast<int>(d);
}

double requirePositive(const Json& v, const std::string& path) {
    const double d = requireNumber(v, path);
    if (d <= 0.0)
        throw RunError(path, "expected a number above 0, found " + show(v));
    return d;
}

// ---- attributes ----------------------------------------------------------------------

enum class Kind { Double, Bool, String, Compound };

struct AttributeType {
    const char* name;
    Kind kind;
    std::size_t components;  // compound kinds only
};

const AttributeType kAttributeTypes[] = {
    {"double", Kind::Double, 1},       {"bool", Kind::Bool, 0},           {"string", Kind::String, 0},
    {"position2d", Kind::Compound, 2}, {"position3d", Kind::Compound, 3}, {"rotation3d", Kind::Compound, 3},
    {"scale3d", Kind::Compound, 3},
};

const char* const kCurveKinds[] = {"bezier", "ease", "velobased", "fnc2d", "expr"};

std::string attributeTypeList() {
    std::string out;
    for (const auto& t : kAttributeTypes)
        out += (out.empty() ? "" : ", ") + std::string(t.name);
    return out;
}

std::string curveList() {
    std::string out;
    for (const char* c : kCurveKinds)
        out += (out.empty() ? "" : ", ") + std::string(c);
    return out;
}

using Keys = std::vector<std::pair<double, Json>>;

// Reads [[frame, value], ...]; `readValue` checks each value's shape. Two keys at one frame
// are refused: the second would silently replace the first.
template <class ReadValue>
Keys readKeys(const Json& keys, const std::string& path, ReadValue readValue) {
    requireArray(keys, path);
    Keys out;
    std::set<double> frames;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string at = element(path, i);
        if (!keys[i].is_array() || keys[i].size() != 2)
            throw RunError(at, "expected a key [frame, value], found " + describe(keys[i]));
        const double frame = requireNumber(keys[i][0], element(at, 0));
        readValue(keys[i][1], element(at, 1));
        if (!frames.insert(frame).second)
            throw RunError(at, "a second key at frame " + show(keys[i][0]));
        out.emplace_back(frame, keys[i][1]);
    }
    return out;
}

void checkNumber(const Json& v, const std::string& path) {
    requireNumber(v, path);
}

void checkBool(const Json& v, const std::string& path) {
    requireBool(v, path);
}

void checkString(const Json& v, const std::string& path) {
    requireString(v, path);
}

std::unique_ptr<LXTimedValue> makeCurve(const std::string& kind, const std::vector<std::pair<double, double>>& keys) {
    if (kind == "expr")
        return std::make_unique<LXExprTimedValue>(keys);
    std::unique_ptr<LXTimedValue> tv;
    if (kind == "bezier")
        tv = std::make_unique<LXBezierTimedValue>();
    else if (kind == "ease")
        tv = std::make_unique<LXEaseTimedValue>();
    else if (kind == "velobased")
        tv = std::make_unique<LXVeloBasedTimedValue>();
    else
        tv = std::make_unique<LXFnc2DTimedValue>();
    for (const auto& [frame, value] : keys) {
        LXCtrlPt p;
        p.frame = frame;
        p.value = value;
        tv->controlPoints().insert(p);
    }
    return tv;
}

// The scene owns the curve; the attribute's socket points at it.
void animate(AT_DoubleAttr* attr, const std::string& kind, const std::vector<std::pair<double, double>>& keys,
             SC_SceneCommon& scene) {
    std::unique_ptr<LXTimedValue> tv = makeCurve(kind, keys);
    attr->socket()->link(tv.get());
    scene.addTimedValue(std::move(tv));
}

void addAttribute(MO_Node* node, const std::string& name, const Json& desc, const std::string& path,
                  SC_SceneCommon& scene) {
    // Dots separate the parts of the paths that steps use, and "matrix" and "keys" are
    // words of those paths.
    if (name.empty() || name.find('.') != std::string::npos || name == "matrix" || name == "keys")
        throw RunError(path, "an attribute name must be non-empty, without dots, and neither \"matrix\" nor \"keys\"");
    requireObject(desc, path);
    checkKeys(desc, path, {"type", "value", "curve", "keys", "animatable"});
    if (!desc.contains("type"))
        throw RunError(path, "missing \"type\" (one of: " + attributeTypeList() + ")");
    const std::string typeName = requireString(desc["type"], member(path, "type"));
    const AttributeType* type = nullptr;
    for (const auto& t : kAttributeTypes)
        if (typeName == t.name)
            type = &t;
    if (!type)
        throw RunError(path,
                       "unknown attribute type " + quote(typeName) + " (expected one of: " + attributeTypeList() + ")");

    const bool animatable =
        desc.contains("animatable") ? requireBool(desc["animatable"], member(path, "animatable")) : true;
    std::string curve;
    if (desc.contains("curve")) {
        const std::string at = member(path, "curve");
        if (type->kind == Kind::Bool || type->kind == Kind::String)
            throw RunError(
                at, std::string("a ") + type->name + " attribute holds its value from key to key and takes no curve");
        curve = requireString(desc["curve"], at);
        bool known = false;
        for (const char* c : kCurveKinds)
            known = known || curve == c;
        if (!known)
            throw RunError(at, "unknown curve " + quote(curve) + " (expected one of: " + curveList() + ")");
        if (!animatable)
            throw RunError(at, "an attribute that is not animatable takes no curve");
        if (!desc.contains("keys"))
            throw RunError(path, "a curve needs its \"keys\"");
    }
    const bool hasKeys = desc.contains("keys");
    const std::string keysPath = member(path, "keys");
    if (hasKeys && !animatable)
        throw RunError(keysPath, "an attribute that is not animatable takes no keys");
    if (hasKeys && curve.empty() && (type->kind == Kind::Double || type->kind == Kind::Compound))
        throw RunError(path, "keys need a \"curve\" (one of: " + curveList() + ")");

    const std::string valuePath = member(path, "value");
    const Json* value = desc.contains("value") ? &desc["value"] : nullptr;
    const QString qname = qs(name);

    switch (type->kind) {
        case Kind::Double: {
            const double local = value ? requireNumber(*value, valuePath) : 0.0;
            auto* attr = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, qname, local, animatable));
            if (hasKeys) {
                std::vector<std::pair<double, double>> keys;
                for (const auto& [frame, v] : readKeys(desc["keys"], keysPath, checkNumber))
                    keys.emplace_back(frame, v.get<double>());
                animate(attr, curve, keys, scene);
            }
            break;
        }
        case Kind::Compound: {
            const std::size_t n = type->components;
            std::vector<double> local(n, typeName == "scale3d" ? 1.0 : 0.0);
            if (value)
                local = requireNumbers(*value, n, valuePath);
            AT_ComplexAttr* attr = nullptr;
            if (typeName == "position2d")
                attr = node->addAttribute(
                    std::make_unique<AT_Position2dAttr>(node, qname, Math::Point2d(local[0], local[1]), animatable));
            else if (typeName == "position3d")
                attr = node->addAttribute(std::make_unique<AT_Position3dAttr>(
                    node, qname, Math::Point3d(local[0], local[1], local[2]), animatable));
            else if (typeName == "rotation3d")
                attr = node->addAttribute(std::make_unique<AT_Rotation3dAttr>(
                    node, qname, Math::Angle3d(local[0], local[1], local[2]), animatable));
            else
                attr = node->addAttribute(std::make_unique<AT_Scale3dAttr>(
                    node, qname, Math::Vector3d(local[0], local[1], local[2]), animatable));
            if (hasKeys) {
                // Each component animates on its own: one curve of the same kind per component.
                const Keys keys = readKeys(desc["keys"], keysPath,
                                           [n](const Json& j, const std::string& p) { requireNumbers(j, n, p); });
                for (std::size_t c = 0; c < n; ++c) {
                    std::vector<std::pair<double, double>> split;
                    for (const auto& [frame, v] : keys)
                        split.emplace_back(frame, v[c].get<double>());
                    animate(attr->component(c), curve, split, scene);
                }
            }
            break;
        }
        case Kind::Bool: {
            auto* attr =
                node->addAttribute(std::make_unique<AT_BoolAttr>(node, qname, value && requireBool(*value, valuePath)));
            if (hasKeys)
                for (const auto& [frame, v] : readKeys(desc["keys"], keysPath, checkBool))
                    attr->stepped().addKey(frame, v.get<bool>());
            break;
        }
        case Kind::String: {
            const std::string local = value ? requireString(*value, valuePath) : std::string();
            auto* attr = node->addAttribute(std::make_unique<AT_StringAttr>(node, qname, qs(local)));
            if (hasKeys)
                for (const auto& [frame, v] : readKeys(desc["keys"], keysPath, checkString))
                    attr->stepped().addKey(frame, qs(v.get<std::string>()));
            break;
        }
    }
}

// ---- components ----------------------------------------------------------------------

// "attr" or "attr.x" (a component of a compound attribute) of this node.
AT_Attr* boundAttribute(const MO_Node* node, const Json& ref, const std::string& path) {
    const std::string text = requireString(ref, path);
    const auto dot = text.find('.');
    const std::string name = text.substr(0, dot);
    AT_Attr* attr = node->attribute(qs(name));
    if (!attr)
        throw RunError(path, "node " + quote(node->name().toStdString()) + " has no attribute " + quote(name));
    if (dot == std::string::npos)
        return attr;
    const std::string component = text.substr(dot + 1);
    const auto* compound = dynamic_cast<const AT_ComplexAttr*>(attr);
    if (!compound)
        throw RunError(path, "attribute " + quote(name) + " has no components");
    AT_DoubleAttr* c = compound->component(qs(component));
    if (!c)
        throw RunError(path, "attribute " + quote(name) + " has no component " + quote(component));
    return c;
}

std::vector<AT_Attr*> boundAttributes(const MO_Node* node, const Json& desc, const std::string& path) {
    std::vector<AT_Attr*> out;
    if (!desc.contains("attributes"))
        return out;
    const std::string at = member(path, "attributes");
    const Json& list = requireArray(desc["attributes"], at);
    for (std::size_t i = 0; i < list.size(); ++i)
        out.push_back(boundAttribute(node, list[i], element(at, i)));
    return out;
}

template <class Factory>
std::unique_ptr<typename Factory::Product> build(const Factory& factory, const char* family, const Json& desc,
                                                 const std::string& path, const typename Factory::Data& data) {
    const std::string type = requireString(desc["type"], member(path, "type"));
    if (!factory.find(qs(type)))
        throw RunError(path, std::string("unknown ") + family + " type " + quote(type));
    std::unique_ptr<typename Factory::Product> made(factory.create(qs(type), data));
    if (!made) {
        const std::string bound = desc.contains("attributes") ? show(desc["attributes"]) : "[]";
        throw RunError(path, std::string(family) + " " + quote(type) + " cannot be built from attributes " + bound);
    }
    return made;
}

void requireComponentShape(const Json& desc, const std::string& path, bool picker) {
    requireObject(desc, path);
    if (picker)
        checkKeys(desc, path, {"type", "attributes", "subSelectionIndex"});
    else
        checkKeys(desc, path, {"type", "attributes"});
    if (!desc.contains("type"))
        throw RunError(path, "missing \"type\"");
}

// ---- nodes ---------------------------------------------------------------------------

void addNode(const Json& desc, const std::string& path, SC_SceneCommon& scene) {
    requireObject(desc, path);
    checkKeys(desc, path,
              {"name", "parent", "attributes", "properties", "transformations", "painters", "manipulator", "picker",
               "ports"});
    if (!desc.contains("name"))
        throw RunError(path, "missing \"name\"");
    const std::string name = requireString(desc["name"], member(path, "name"));
    // Dots separate a node's name from the rest of a path in steps.
    if (name.empty() || name.find('.') != std::string::npos)
        throw RunError(member(path, "name"), "a node name must be non-empty and without dots");
    if (scene.findNode(qs(name)))
        throw RunError(member(path, "name"), "a second node named " + quote(name));

    MO_Node* parent = nullptr;
    if (desc.contains("parent") && !desc["parent"].is_null()) {
        const std::string p = requireString(desc["parent"], member(path, "parent"));
        parent = scene.findNode(qs(p));
        if (!parent)
            throw RunError(member(path, "parent"),
                           "unknown parent " + quote(p) + " (a parent must come before its children)");
    }

    // Every node is a module, so that pick adaptors have one to select.
    auto* module = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, qs(name))));
    module->setParent(parent);

    // Input ports, in order: each names the node whose transformation it brings in (which,
    // like a parent, must come before), or null for a port left unconnected.
    if (desc.contains("ports")) {
        const std::string at = member(path, "ports");
        const Json& list = requireArray(desc["ports"], at);
        for (std::size_t i = 0; i < list.size(); ++i) {
            MO_Node* source = nullptr;
            if (!list[i].is_null()) {
                const std::string s = requireString(list[i], element(at, i));
                source = scene.findNode(qs(s));
                if (!source)
                    throw RunError(element(at, i),
                                   "unknown node " + quote(s) + " (a port's node must come before the node)");
            }
            module->addInPort(source);
        }
    }

    if (desc.contains("attributes")) {
        const std::string at = member(path, "attributes");
        for (const auto& item : requireObject(desc["attributes"], at).items())
            addAttribute(module, item.key(), item.value(), member(at, item.key()), scene);
    }
    // Before the components: their constructors read the properties.
    if (desc.contains("properties")) {
        const std::string at = member(path, "properties");
        for (const auto& item : requireObject(desc["properties"], at).items())
            module->propertiesForSetup().set(qs(item.key()), propertyValue(item.value(), member(at, item.key())));
    }
    const MO_PropertyAccessor& properties = module->properties();

    if (desc.contains("transformations")) {
        const std::string at = member(path, "transformations");
        const Json& list = requireArray(desc["transformations"], at);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string p = element(at, i);
            requireComponentShape(list[i], p, false);
            const MO_LocalTransformationFactory::Data data{properties, boundAttributes(module, list[i], p)};
            module->addLocalTransformation(
                build(MO_LocalTransformationFactorySingleton(), "local transformation", list[i], p, data));
        }
    }
    if (desc.contains("painters")) {
        const std::string at = member(path, "painters");
        const Json& list = requireArray(desc["painters"], at);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string p = element(at, i);
            requireComponentShape(list[i], p, false);
            const MO_OGLPainterFactory::Data data{properties, boundAttributes(module, list[i], p)};
            module->addPainter(build(MO_OGLPainterFactorySingleton(), "OpenGL painter", list[i], p, data));
        }
    }
    if (desc.contains("manipulator") && !desc["manipulator"].is_null()) {
        const std::string p = member(path, "manipulator");
        requireComponentShape(desc["manipulator"], p, false);
        const SLB_SelectableDragManipulatorFactory::Data data{properties,
                                                              boundAttributes(module, desc["manipulator"], p)};
        module->setManipulator(
            build(SLB_SelectableDragManipulatorFactorySingleton(), "drag manipulator", desc["manipulator"], p, data));
    }
    if (desc.contains("picker") && !desc["picker"].is_null()) {
        const std::string p = member(path, "picker");
        const Json& picker = desc["picker"];
        requireComponentShape(picker, p, true);
        SLB_PickAdaptorFactory::Data data{properties, boundAttributes(module, picker, p), module, 0};
        if (picker.contains("subSelectionIndex"))
            data.subSelectionIndex =
                requireInteger(picker["subSelectionIndex"], member(p, "subSelectionIndex"),
                               std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
        module->setPickAdaptor(build(SLB_PickAdaptorFactorySingleton(), "pick adaptor", picker, p, data));
    }
}

// ---- view settings -------------------------------------------------------------------

Camera readCamera(const Json& desc, const std::string& path) {
    requireObject(desc, path);
    Camera cam;
    const std::string type = desc.contains("type") ? requireString(desc["type"], member(path, "type")) : "ortho";
    if (type == "ortho") {
        checkKeys(desc, path, {"type", "center", "pixelsPerUnit"});
        if (desc.contains("center")) {
            const auto c = requireNumbers(desc["center"], 2, member(path, "center"));
            cam.center = Math::Point2d(c[0], c[1]);
        }
        if (desc.contains("pixelsPerUnit"))
            cam.pixelsPerUnit = requirePositive(desc["pixelsPerUnit"], member(path, "pixelsPerUnit"));
        return cam;
    }
    if (type != "perspective")
        throw RunError(member(path, "type"), "unknown camera type " + quote(type) + " (expected ortho or perspective)");
    cam.kind = Camera::Kind::Perspective;
    checkKeys(desc, path, {"type", "eye", "target", "up", "fovy"});
    const auto point = [&](const char* key, const Math::Point3d& def) {
        if (!desc.contains(key))
            return def;
        const auto v = requireNumbers(desc[key], 3, member(path, key));
        return Math::Point3d(v[0], v[1], v[2]);
    };
    cam.eye = point("eye", cam.eye);
    cam.target = point("target", cam.target);
    const Math::Point3d up = point("up", Math::Point3d(cam.up.x, cam.up.y, cam.up.z));
    cam.up = Math::Vector3d(up.x, up.y, up.z);
    if (desc.contains("fovy")) {
        cam.fovy = requireNumber(desc["fovy"], member(path, "fovy"));
        if (cam.fovy <= 0.0 || cam.fovy >= 180.0)
            throw RunError(member(path, "fovy"),
                           "expected an angle between 0 and 180 degrees, found " + show(desc["fovy"]));
    }
    const Math::Vector3d view(cam.target.x - cam.eye.x, cam.target.y - cam.eye.y, cam.target.z - cam.eye.z);
    if (view.length() == 0.0)
        throw RunError(path, "the eye and the target are the same point");
    if (view.cross(cam.up).length() == 0.0)
        throw RunError(member(path, "up"), "the up direction must be non-zero and not along the line of sight");
    return cam;
}

}  // namespace

// ---- properties ----------------------------------------------------------------------

MO_PropertyValue propertyValue(const Json& v, const std::string& path) {
    if (v.is_boolean())
        return v.get<bool>();
    if (v.is_number())
        return requireNumber(v, path);
    if (v.is_string())
        return qs(v.get<std::string>());
    if (v.is_array()) {
        std::vector<double> list;
        for (std::size_t i = 0; i < v.size(); ++i)
            list.push_back(requireNumber(v[i], element(path, i)));
        return list;
    }
    throw RunError(path, "expected a number, a boolean, a string or a list of numbers, found " + describe(v));
}


Camera loadCamera(const Json& desc, const std::string& path) {
    return readCamera(desc, path);
}

Scene loadScene(const Json& document) {
    requireObject(document, "top level");
    // "$schema" lets editors validate the file; it names the schema, nothing for the run.
    checkKeys(document, "",
              {"$schema", "viewport", "camera", "metrics", "dpiScale", "background", "samples", "nodes", "script"});
    if (document.contains("$schema"))
        requireString(document["$schema"], "$schema");
    Scene scene;

    if (document.contains("viewport")) {
        const Json& v = document["viewport"];
        if (!v.is_array() || v.size() != 2)
            throw RunError("viewport", "expected [width, height], found " + describe(v));
        scene.width = requireInteger(v[0], "viewport[0]", 1, 16384);
        scene.height = requireInteger(v[1], "viewport[1]", 1, 16384);
        // Each side may be long, but a view is drawn twice and read back whole: beyond this
        // many pixels the memory a render takes is more than any viewport needs.
        constexpr long long kMaxPixels = 8192LL * 8192LL;
        if (static_cast<long long>(scene.width) * scene.height > kMaxPixels)
            throw RunError("viewport", "a view of " + std::to_string(scene.width) + " x " +
                                           std::to_string(scene.height) + " pixels is too large (at most " +
                                           std::to_string(kMaxPixels) + " pixels, such as 8192 x 8192)");
    }
    if (document.contains("camera"))
        scene.camera = readCamera(document["camera"], "camera");
    if (document.contains("metrics")) {
        const Json& m = requireObject(document["metrics"], "metrics");
        checkKeys(m, "metrics", {"unitScale"});
        if (m.contains("unitScale")) {
            const auto s = requireNumbers(m["unitScale"], 3, "metrics.unitScale");
            for (std::size_t i = 0; i < 3; ++i)
                if (s[i] <= 0.0)
                    throw RunError(element("metrics.unitScale", i), "a unit scale must be above 0");
            scene.common->metrics().setUnitScales(s[0], s[1], s[2]);
        }
    }
    if (document.contains("dpiScale"))
        scene.dpiScale = requirePositive(document["dpiScale"], "dpiScale");
    // Whether GL offers that many is known only once drawing starts; the first picture
    // says so if not.
    if (document.contains("samples"))
        scene.samples = requireInteger(document["samples"], "samples", 0, 64);
    if (document.contains("background")) {
        const Json& b = document["background"];
        if (!b.is_array() || b.size() != 4)
            throw RunError("background", "expected a colour [red, green, blue, alpha], found " + describe(b));
        int c[4];
        for (std::size_t i = 0; i < 4; ++i)
            c[i] = requireInteger(b[i], element("background", i), 0, 255);
        scene.background = VS_RGBA(c[0], c[1], c[2], c[3]);
    }
    if (document.contains("nodes")) {
        const Json& nodes = requireArray(document["nodes"], "nodes");
        scene.common->reserveNodes(nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i)
            addNode(nodes[i], element("nodes", i), *scene.common);
    }
    if (document.contains("script"))
        scene.script = requireArray(document["script"], "script");
    return scene;
}

Math::CameraTransformChain cameraChain(const Camera& c, int width, int height) {
    if (c.kind == Camera::Kind::Perspective)
        return Math::CameraTransformChain::perspective(width, height, c.eye, c.target, c.up, c.fovy);
    return Math::CameraTransformChain::orthographic(width, height, c.center, c.pixelsPerUnit);
}

}  // namespace runner
