// JSON to a checked document. Every message names the place in the file it is about, and
// a file is read in the order it is written, so that the first fault found is the first
// one in the file.

#include "apps/core/document.h"
#include "apps/core/scene_query.h"

#include <cmath>
#include <limits>
#include <set>
#include <string_view>
#include <unordered_set>

namespace runner {

namespace {

// A place in the file, spelt out ("nodes[3].attributes.tx") only for a message: a large
// file has millions of places and a read fails at most once. It points at its parent and
// key, so it lives no longer than the call that made it.
class Where {
public:
    explicit Where(const std::string& root) : m_root(&root) {}
    Where(const Where& parent, const char* key) : m_parent(&parent), m_key(key) {}
    Where(const Where& parent, const std::string& key) : m_parent(&parent), m_name(&key) {}
    Where(const Where& parent, std::size_t index) : m_parent(&parent), m_index(index) {}

    std::string str() const {
        if (!m_parent)
            return *m_root;
        if (m_key)
            return member(m_parent->str(), m_key);
        if (m_name)
            return member(m_parent->str(), *m_name);
        return element(m_parent->str(), m_index);
    }

private:
    const std::string* m_root = nullptr;
    const Where* m_parent = nullptr;
    const char* m_key = nullptr;
    const std::string* m_name = nullptr;
    std::size_t m_index = 0;
};

// The typed reads of json_util.h, which they leave the messages to.
const Json& asObject(const Json& v, const Where& w) {
    return v.is_object() ? v : requireObject(v, w.str());
}

const Json& asList(const Json& v, const Where& w) {
    return v.is_array() ? v : requireArray(v, w.str());
}

double asNumber(const Json& v, const Where& w) {
    if (v.is_number()) {
        const double d = v.get<double>();
        if (std::isfinite(d))
            return d;
    }
    return requireNumber(v, w.str());
}

std::string asString(const Json& v, const Where& w) {
    return v.is_string() ? v.get<std::string>() : requireString(v, w.str());
}

bool asBool(const Json& v, const Where& w) {
    return v.is_boolean() ? v.get<bool>() : requireBool(v, w.str());
}

std::vector<double> asNumbers(const Json& v, std::size_t n, const Where& w) {
    if (!v.is_array() || v.size() != n)
        return requireNumbers(v, n, w.str());
    std::vector<double> out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(asNumber(v[i], Where(w, i)));
    return out;
}

void onlyKeys(const Json& object, const Where& w, std::initializer_list<const char*> allowed) {
    for (const auto& item : object.items()) {
        bool known = false;
        for (const char* a : allowed)
            known = known || item.key() == a;
        if (!known)
            checkKeys(object, w.str(), allowed);
    }
}

int asInteger(const Json& v, const Where& w, int low, int high) {
    const double d = asNumber(v, w);
    if (d != std::floor(d) || d < low || d > high)
        throw RunError(w.str(), "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                                    ", found " + show(v));
    return static_cast<int>(d);
}

double asPositive(const Json& v, const Where& w) {
    const double d = asNumber(v, w);
    if (d <= 0.0)
        throw RunError(w.str(), "expected a number above 0, found " + show(v));
    return d;
}

Value propertyValue(const Json& v, const Where& w) {
    if (v.is_boolean())
        return v.get<bool>();
    if (v.is_number())
        return asNumber(v, w);
    if (v.is_string())
        return v.get<std::string>();
    if (v.is_array()) {
        std::vector<double> list;
        for (std::size_t i = 0; i < v.size(); ++i)
            list.push_back(asNumber(v[i], Where(w, i)));
        return list;
    }
    throw RunError(w.str(), "expected a number, a boolean, a string or a list of numbers, found " + describe(v));
}

// ---- attributes ----------------------------------------------------------------------

// A value of the kind's shape, or the kind's unset value for none.
Value attributeValue(const AttributeKindInfo& kind, const Json* v, const Where& w) {
    switch (kind.kind) {
        case AttributeKind::Double:
            return v ? asNumber(*v, w) : 0.0;
        case AttributeKind::Bool:
            return v && asBool(*v, w);
        case AttributeKind::String:
            return v ? asString(*v, w) : std::string();
        default:
            return v ? asNumbers(*v, kind.numbers, w) : std::vector<double>(kind.numbers, kind.unset);
    }
}

// [[frame, value], ...]. Two keys at one frame are refused: the second would silently
// replace the first.
std::vector<Key> attributeKeys(const AttributeKindInfo& kind, const Json& list, const Where& w) {
    asList(list, w);
    std::vector<Key> out;
    out.reserve(list.size());
    std::set<double> frames;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Where at(w, i);
        if (!list[i].is_array() || list[i].size() != 2)
            throw RunError(at.str(), "expected a key [frame, value], found " + describe(list[i]));
        Key& key = out.emplace_back();
        key.frame = asNumber(list[i][0], Where(at, std::size_t{0}));
        key.value = attributeValue(kind, &list[i][1], Where(at, 1));
        if (!frames.insert(key.frame).second)
            throw RunError(at.str(), "a second key at frame " + show(list[i][0]));
    }
    return out;
}

const AttributeKindInfo& attributeKindOf(const Json& desc, const Where& w) {
    if (!desc.contains("type"))
        throw RunError(w.str(), "missing \"type\" (one of: " + attributeKindList() + ")");
    const std::string name = asString(desc["type"], Where(w, "type"));
    const AttributeKindInfo* kind = attributeKindNamed(name);
    if (!kind)
        throw RunError(w.str(),
                       "unknown attribute type " + quote(name) + " (expected one of: " + attributeKindList() + ")");
    return *kind;
}

std::optional<CurveKind> curveOf(const AttributeKindInfo& kind, const Json& desc, bool animatable, const Where& w) {
    if (!desc.contains("curve"))
        return std::nullopt;
    const Where at(w, "curve");
    if (kind.numbers == 0)
        throw RunError(at.str(),
                       std::string("a ") + kind.name + " attribute holds its value from key to key and takes no curve");
    const std::string name = asString(desc["curve"], at);
    const CurveKindInfo* curve = curveKindNamed(name);
    if (!curve)
        throw RunError(at.str(), "unknown curve " + quote(name) + " (expected one of: " + curveKindList() + ")");
    if (!animatable)
        throw RunError(at.str(), "an attribute that is not animatable takes no curve");
    if (!desc.contains("keys"))
        throw RunError(w.str(), "a curve needs its \"keys\"");
    return curve->kind;
}

Attribute readAttribute(const std::string& name, const Json& desc, const Where& w) {
    // Dots separate the parts of the paths that steps use, and "matrix" and "keys" are
    // words of those paths.
    if (name.empty() || name.find('.') != std::string::npos || name == kMatrixWord || name == kKeysWord)
        throw RunError(w.str(), "an attribute name must be non-empty, without dots, and neither \"matrix\" nor \"keys\"");
    asObject(desc, w);
    onlyKeys(desc, w, kAttributeKeys);
    const AttributeKindInfo& kind = attributeKindOf(desc, w);
    Attribute a;
    a.name = name;
    a.kind = kind.kind;
    a.animatable = desc.contains("animatable") ? asBool(desc["animatable"], Where(w, "animatable")) : true;
    a.curve = curveOf(kind, desc, a.animatable, w);
    const bool hasKeys = desc.contains("keys");
    const Where keysAt(w, "keys");
    if (hasKeys && !a.animatable)
        throw RunError(keysAt.str(), "an attribute that is not animatable takes no keys");
    if (hasKeys && !a.curve && kind.numbers > 0)
        throw RunError(w.str(), "keys need a \"curve\" (one of: " + curveKindList() + ")");
    a.value = attributeValue(kind, desc.contains("value") ? &desc["value"] : nullptr, Where(w, "value"));
    if (hasKeys)
        a.keys = attributeKeys(kind, desc["keys"], keysAt);
    return a;
}

// ---- components ----------------------------------------------------------------------

Binding readBinding(const Node& node, const Json& ref, const Where& w) {
    Binding b;
    b.path = asString(ref, w);
    const auto [name, component] = splitAttributePath(b.path);
    const AttributeKindInfo* kind = nullptr;
    for (std::size_t i = 0; i < node.attributes.size() && !kind; ++i)
        if (node.attributes[i].name == name) {
            b.attribute = i;
            kind = &attributeKind(node.attributes[i].kind);
        }
    try {
        b.component = attributeComponent(node.name, name, kind, component, name);
    } catch (const RunError& e) {
        throw RunError(w.str(), e.what());
    }
    return b;
}

Component readComponent(const Node& node, const Json& desc, const Where& w, bool picker) {
    asObject(desc, w);
    onlyKeys(desc, w, picker ? kPickerKeys : kComponentKeys);
    if (!desc.contains("type"))
        throw RunError(w.str(), "missing \"type\"");
    Component c;
    if (desc.contains("attributes")) {
        const Where at(w, "attributes");
        const Json& list = asList(desc["attributes"], at);
        c.attributes.reserve(list.size());
        for (std::size_t i = 0; i < list.size(); ++i)
            c.attributes.push_back(readBinding(node, list[i], Where(at, i)));
    }
    if (picker && desc.contains("subSelectionIndex"))
        c.subSelectionIndex = asInteger(desc["subSelectionIndex"], Where(w, "subSelectionIndex"),
                                      std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    c.type = asString(desc["type"], Where(w, "type"));
    return c;
}

std::vector<Component> readComponentList(const Node& node, const Json& desc, const char* key, const Where& w) {
    std::vector<Component> out;
    if (!desc.contains(key))
        return out;
    const Where at(w, key);
    const Json& list = asList(desc[key], at);
    out.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        out.push_back(readComponent(node, list[i], Where(at, i), false));
    return out;
}

std::optional<Component> readOptionalComponent(const Node& node, const Json& desc, const char* key, const Where& w,
                                               bool picker) {
    if (!desc.contains(key) || desc[key].is_null())
        return std::nullopt;
    return readComponent(node, desc[key], Where(w, key), picker);
}

// ---- nodes ---------------------------------------------------------------------------

// The names of the nodes read so far, as the file holds them: parents and ports name
// nodes that come before.
using Names = std::unordered_set<std::string_view>;

std::string readNodeName(const Json& desc, const Where& w, const Names& names) {
    if (!desc.contains("name"))
        throw RunError(w.str(), "missing \"name\"");
    const Where at(w, "name");
    const std::string name = asString(desc["name"], at);
    // Dots separate a node's name from the rest of a path in steps.
    if (name.empty() || name.find('.') != std::string::npos)
        throw RunError(at.str(), "a node name must be non-empty and without dots");
    if (names.count(name))
        throw RunError(at.str(), "a second node named " + quote(name));
    return name;
}

std::optional<std::string> readParent(const Json& desc, const Where& w, const Names& names) {
    if (!desc.contains("parent") || desc["parent"].is_null())
        return std::nullopt;
    const Where at(w, "parent");
    std::string parent = asString(desc["parent"], at);
    if (!names.count(parent))
        throw RunError(at.str(), "unknown parent " + quote(parent) + " (a parent must come before its children)");
    return parent;
}

// Each names the node whose transformation it brings in (which, like a parent, must come
// before; the node itself may be named), or is null, left unconnected.
std::vector<std::optional<std::string>> readPorts(const Json& desc, const Where& w, const Names& names) {
    std::vector<std::optional<std::string>> out;
    if (!desc.contains("ports"))
        return out;
    const Where at(w, "ports");
    const Json& list = asList(desc["ports"], at);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].is_null()) {
            out.emplace_back();
            continue;
        }
        const Where port(at, i);
        std::string s = asString(list[i], port);
        if (!names.count(s))
            throw RunError(port.str(), "unknown node " + quote(s) + " (a port's node must come before the node)");
        out.emplace_back(std::move(s));
    }
    return out;
}

void readAttributesAndProperties(const Json& desc, const Where& w, Node& node, bool keepSource) {
    if (desc.contains("attributes")) {
        const Where at(w, "attributes");
        const Json& attributes = asObject(desc["attributes"], at);
        node.attributes.reserve(attributes.size());
        for (const auto& item : attributes.items()) {
            node.attributes.push_back(readAttribute(item.key(), item.value(), Where(at, item.key())));
            node.attributes.back().source = keepSource ? &item.value() : nullptr;
        }
    }
    if (desc.contains("properties")) {
        const Where at(w, "properties");
        const Json& properties = asObject(desc["properties"], at);
        node.properties.reserve(properties.size());
        for (const auto& item : properties.items())
            node.properties.emplace_back(item.key(), propertyValue(item.value(), Where(at, item.key())));
    }
}

Node readNode(const Json& desc, const Where& w, Names& names, bool keepSource) {
    asObject(desc, w);
    onlyKeys(desc, w, kNodeKeys);
    Node node;
    node.source = keepSource ? &desc : nullptr;
    node.name = readNodeName(desc, w, names);
    node.parent = readParent(desc, w, names);
    names.insert(desc["name"].get_ref<const std::string&>());
    node.ports = readPorts(desc, w, names);
    readAttributesAndProperties(desc, w, node, keepSource);
    node.transformations = readComponentList(node, desc, "transformations", w);
    node.painters = readComponentList(node, desc, "painters", w);
    node.manipulator = readOptionalComponent(node, desc, "manipulator", w, false);
    node.picker = readOptionalComponent(node, desc, "picker", w, true);
    return node;
}

// ---- view settings -------------------------------------------------------------------

Camera readPerspective(const Json& desc, const Where& w) {
    Camera cam;
    cam.kind = Camera::Kind::Perspective;
    onlyKeys(desc, w, kPerspectiveCameraKeys);
    const auto point = [&](const char* key, const Math::Point3d& def) {
        if (!desc.contains(key))
            return def;
        const auto v = asNumbers(desc[key], 3, Where(w, key));
        return Math::Point3d(v[0], v[1], v[2]);
    };
    cam.eye = point("eye", cam.eye);
    cam.target = point("target", cam.target);
    const Math::Point3d up = point("up", Math::Point3d(cam.up.x, cam.up.y, cam.up.z));
    cam.up = Math::Vector3d(up.x, up.y, up.z);
    if (desc.contains("fovy")) {
        const Where at(w, "fovy");
        cam.fovy = asNumber(desc["fovy"], at);
        if (cam.fovy <= 0.0 || cam.fovy >= 180.0)
            throw RunError(at.str(), "expected an angle between 0 and 180 degrees, found " + show(desc["fovy"]));
    }
    const Math::Vector3d view(cam.target.x - cam.eye.x, cam.target.y - cam.eye.y, cam.target.z - cam.eye.z);
    if (view.length() == 0.0)
        throw RunError(w.str(), "the eye and the target are the same point");
    if (view.cross(cam.up).length() == 0.0)
        throw RunError(Where(w, "up").str(), "the up direction must be non-zero and not along the line of sight");
    return cam;
}

void readViewport(const Json& v, Document& doc) {
    if (!v.is_array() || v.size() != 2)
        throw RunError("viewport", "expected [width, height], found " + describe(v));
    doc.width = asInteger(v[0], Where(std::string("viewport[0]")), 1, 16384);
    doc.height = asInteger(v[1], Where(std::string("viewport[1]")), 1, 16384);
    // Each side may be long, but a view is drawn twice and read back whole: beyond this
    // many pixels the memory a render takes is more than any viewport needs.
    constexpr long long kMaxPixels = 8192LL * 8192LL;
    if (static_cast<long long>(doc.width) * doc.height > kMaxPixels)
        throw RunError("viewport", "a view of " + std::to_string(doc.width) + " x " + std::to_string(doc.height) +
                                       " pixels is too large (at most " + std::to_string(kMaxPixels) +
                                       " pixels, such as 8192 x 8192)");
}

std::optional<std::array<double, 3>> readMetrics(const Json& desc) {
    const Json& m = requireObject(desc, "metrics");
    checkKeys(m, "metrics", kMetricsKeys);
    if (!m.contains("unitScale"))
        return std::nullopt;
    const auto s = requireNumbers(m["unitScale"], 3, "metrics.unitScale");
    for (std::size_t i = 0; i < 3; ++i)
        if (s[i] <= 0.0)
            throw RunError(element("metrics.unitScale", i), "a unit scale must be above 0");
    return std::array<double, 3>{s[0], s[1], s[2]};
}

VS_RGBA readBackground(const Json& b) {
    if (!b.is_array() || b.size() != 4)
        throw RunError("background", "expected a colour [red, green, blue, alpha], found " + describe(b));
    const std::string root = "background";
    const Where at(root);
    int c[4];
    for (std::size_t i = 0; i < 4; ++i)
        c[i] = asInteger(b[i], Where(at, i), 0, 255);
    return VS_RGBA(c[0], c[1], c[2], c[3]);
}

void readViewSettings(const Json& json, Document& doc) {
    if (json.contains("$schema"))
        doc.schema = requireString(json["$schema"], "$schema");
    if (json.contains("viewport"))
        readViewport(json["viewport"], doc);
    if (json.contains("camera"))
        doc.camera = readCamera(json["camera"], "camera");
    if (json.contains("metrics"))
        doc.unitScale = readMetrics(json["metrics"]);
    if (json.contains("dpiScale"))
        doc.dpiScale = asPositive(json["dpiScale"], Where(std::string("dpiScale")));
    // Whether GL offers that many is known only once drawing starts; the first picture
    // says so if not.
    if (json.contains("samples"))
        doc.samples = asInteger(json["samples"], Where(std::string("samples")), 0, 64);
    if (json.contains("background"))
        doc.background = readBackground(json["background"]);
}

}  // namespace

Camera readCamera(const Json& desc, const std::string& path) {
    const Where w(path);
    asObject(desc, w);
    const std::string type = desc.contains("type") ? asString(desc["type"], Where(w, "type")) : kCameraTypes[0];
    if (type == kCameraTypes[1])
        return readPerspective(desc, w);
    if (type != kCameraTypes[0])
        throw RunError(member(path, "type"), "unknown camera type " + quote(type) + " (expected ortho or perspective)");
    onlyKeys(desc, w, kOrthoCameraKeys);
    Camera cam;
    if (desc.contains("center")) {
        const auto c = asNumbers(desc["center"], 2, Where(w, "center"));
        cam.center = Math::Point2d(c[0], c[1]);
    }
    if (desc.contains("pixelsPerUnit"))
        cam.pixelsPerUnit = asPositive(desc["pixelsPerUnit"], Where(w, "pixelsPerUnit"));
    return cam;
}

Value readPropertyValue(const Json& v, const std::string& path) {
    return propertyValue(v, Where(path));
}

Document readSettings(const Json& json) {
    requireObject(json, "top level");
    checkKeys(json, "", kDocumentKeys);
    Document doc;
    readViewSettings(json, doc);
    return doc;
}

void readNodes(const Json& json, const TakeNode& take, bool keepSource) {
    if (!json.contains("nodes"))
        return;
    const Json& nodes = requireArray(json["nodes"], "nodes");
    Names names;
    names.reserve(nodes.size());
    const std::string root = "nodes";
    const Where at(root);
    for (std::size_t i = 0; i < nodes.size(); ++i)
        take(readNode(nodes[i], Where(at, i), names, keepSource), i);
}

Json readScript(const Json& json) {
    return json.contains("script") ? requireArray(json["script"], "script") : Json::array();
}

namespace {

Document readWhole(const Json& json, bool keepSource) {
    Document doc = readSettings(json);
    if (json.contains("nodes") && json["nodes"].is_array())
        doc.nodes.reserve(json["nodes"].size());
    readNodes(json, [&doc](Node&& node, std::size_t) { doc.nodes.push_back(std::move(node)); }, keepSource);
    doc.script = readScript(json);
    return doc;
}

}  // namespace

Document readDocument(const Json& json) {
    return readWhole(json, false);
}

Document readDocument(std::shared_ptr<const Json> json) {
    Document doc = readWhole(*json, true);
    doc.source = std::move(json);
    return doc;
}

}  // namespace runner
