// JSON to a checked document. Every message names the place in the file it is about, and
// a file is read in the order it is written, so that the first fault found is the first
// one in the file. The reads are written once for any JSON that offers a Json's calls: a
// Json, and the flat DOM of a large file (json_dom.h), which must read the same.

#include "apps/core/document.h"
#include "apps/core/document_dom.h"
#include "apps/core/scene_query.h"

#include <cmath>
#include <limits>
#include <set>
#include <string_view>
#include <vector>

namespace runner {

namespace {

// A place in the file, spelt out ("nodes[3].attributes.tx") only for a message: a large
// file has millions of places and a read fails at most once. It points at its parent and
// key, so it lives no longer than the call that made it.
class Where {
public:
    explicit Where(const std::string& root) : m_root(&root) {}
    // The key is a literal or lives in the JSON being read.
    Where(const Where& parent, std::string_view key) : m_parent(&parent), m_key(key), m_named(true) {}
    Where(const Where& parent, std::size_t index) : m_parent(&parent), m_index(index) {}

    std::string str() const {
        if (!m_parent)
            return *m_root;
        if (m_named)
            return member(m_parent->str(), std::string(m_key));
        return element(m_parent->str(), m_index);
    }

private:
    const std::string* m_root = nullptr;
    const Where* m_parent = nullptr;
    std::string_view m_key;
    bool m_named = false;
    std::size_t m_index = 0;
};

// What only one kind of JSON has: a Json's values can be kept as a document's source, and
// its strings are std::strings.
std::string_view textOf(const Json& v) {
    return v.get_ref<const std::string&>();
}

std::string_view textOf(const DomValue& v) {
    return v.text();
}

const Json* sourceOf(const Json& v) {
    return &v;
}

const Json* sourceOf(const DomValue&) {
    return nullptr;
}

// An object's member named `key`, or nothing: a node's file is read key by key, and one
// walk over an object's keys per key costs half of asking whether it is there and then
// taking it. Both give what tests as a pointer and reads through `*` and `->`.
const Json* memberOf(const Json& object, std::string_view key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::optional<DomValue> memberOf(const DomValue& object, std::string_view key) {
    return object.find(key);
}

// The typed reads of json_util.h, which they leave the messages to.
template <class J>
const J& asObject(const J& v, const Where& w) {
    return v.is_object() ? v : requireObject(v, w.str());
}

template <class J>
const J& asList(const J& v, const Where& w) {
    return v.is_array() ? v : requireArray(v, w.str());
}

template <class J>
double asNumber(const J& v, const Where& w) {
    if (v.is_number()) {
        const double d = v.template get<double>();
        if (std::isfinite(d))
            return d;
    }
    return requireNumber(v, w.str());
}

template <class J>
std::string asString(const J& v, const Where& w) {
    return v.is_string() ? v.template get<std::string>() : requireString(v, w.str());
}

template <class J>
bool asBool(const J& v, const Where& w) {
    return v.is_boolean() ? v.template get<bool>() : requireBool(v, w.str());
}

// A short list, read by index.
template <class J>
std::vector<double> asNumbers(const J& v, std::size_t n, const Where& w) {
    if (!v.is_array() || v.size() != n)
        return requireNumbers(v, n, w.str());
    std::vector<double> out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(asNumber(v[i], Where(w, i)));
    return out;
}

template <class J>
void onlyKeys(const J& object, const Where& w, std::initializer_list<const char*> allowed) {
    for (const auto& item : object.items()) {
        bool known = false;
        for (const char* a : allowed)
            known = known || item.key() == a;
        if (!known)
            checkKeys(object, w.str(), allowed);
    }
}

template <class J>
int asInteger(const J& v, const Where& w, int low, int high) {
    const double d = asNumber(v, w);
    if (d != std::floor(d) || d < low || d > high)
        throw RunError(w.str(), "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                                    ", found " + show(v));
    return static_cast<int>(d);
}

template <class J>
double asPositive(const J& v, const Where& w) {
    const double d = asNumber(v, w);
    if (d <= 0.0)
        throw RunError(w.str(), "expected a number above 0, found " + show(v));
    return d;
}

template <class J>
Value propertyValue(const J& v, const Where& w) {
    if (v.is_boolean())
        return v.template get<bool>();
    if (v.is_number())
        return asNumber(v, w);
    if (v.is_string())
        return v.template get<std::string>();
    if (v.is_array()) {
        std::vector<double> list;
        list.reserve(v.size());
        std::size_t i = 0;
        for (const auto& item : v)
            list.push_back(asNumber(item, Where(w, i++)));
        return list;
    }
    throw RunError(w.str(), "expected a number, a boolean, a string or a list of numbers, found " + describe(v));
}

// ---- attributes ----------------------------------------------------------------------

// A value of the kind's shape, or the kind's unset value for none.
template <class J>
Value attributeValue(const AttributeKindInfo& kind, const J* v, const Where& w) {
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
template <class J>
std::vector<Key> attributeKeys(const AttributeKindInfo& kind, const J& list, const Where& w) {
    asList(list, w);
    std::vector<Key> out;
    out.reserve(list.size());
    std::set<double> frames;
    std::size_t i = 0;
    for (const auto& item : list) {
        const Where at(w, i++);
        if (!item.is_array() || item.size() != 2)
            throw RunError(at.str(), "expected a key [frame, value], found " + describe(item));
        Key& key = out.emplace_back();
        const J& frame = item[std::size_t{0}];
        const J& value = item[1];
        key.frame = asNumber(frame, Where(at, std::size_t{0}));
        key.value = attributeValue(kind, &value, Where(at, 1));
        if (!frames.insert(key.frame).second)
            throw RunError(at.str(), "a second key at frame " + show(frame));
    }
    return out;
}

template <class J>
const AttributeKindInfo& attributeKindOf(const J& desc, const Where& w) {
    const auto type = memberOf(desc, "type");
    if (!type)
        throw RunError(w.str(), "missing \"type\" (one of: " + attributeKindList() + ")");
    const std::string name = asString(*type, Where(w, "type"));
    const AttributeKindInfo* kind = attributeKindNamed(name);
    if (!kind)
        throw RunError(w.str(),
                       "unknown attribute type " + quote(name) + " (expected one of: " + attributeKindList() + ")");
    return *kind;
}

template <class J>
std::optional<CurveKind> curveOf(const AttributeKindInfo& kind, const J& desc, bool animatable, bool hasKeys,
                                  const Where& w) {
    const auto given = memberOf(desc, "curve");
    if (!given)
        return std::nullopt;
    const Where at(w, "curve");
    if (kind.numbers == 0)
        throw RunError(at.str(),
                       std::string("a ") + kind.name + " attribute holds its value from key to key and takes no curve");
    const std::string name = asString(*given, at);
    const CurveKindInfo* curve = curveKindNamed(name);
    if (!curve)
        throw RunError(at.str(), "unknown curve " + quote(name) + " (expected one of: " + curveKindList() + ")");
    if (!animatable)
        throw RunError(at.str(), "an attribute that is not animatable takes no curve");
    if (!hasKeys)
        throw RunError(w.str(), "a curve needs its \"keys\"");
    return curve->kind;
}

template <class J>
Attribute readAttribute(std::string_view name, const J& desc, const Where& w) {
    // Dots separate the parts of the paths that steps use, and "matrix" and "keys" are
    // words of those paths.
    if (name.empty() || name.find('.') != std::string_view::npos || name == kMatrixWord || name == kKeysWord)
        throw RunError(w.str(), "an attribute name must be non-empty, without dots, and neither \"matrix\" nor \"keys\"");
    asObject(desc, w);
    onlyKeys(desc, w, kAttributeKeys);
    const AttributeKindInfo& kind = attributeKindOf(desc, w);
    Attribute a;
    a.name = std::string(name);
    a.kind = kind.kind;
    const auto animatable = memberOf(desc, "animatable");
    a.animatable = animatable ? asBool(*animatable, Where(w, "animatable")) : true;
    const auto keys = memberOf(desc, "keys");
    a.curve = curveOf(kind, desc, a.animatable, bool(keys), w);
    const Where keysAt(w, "keys");
    if (keys && !a.animatable)
        throw RunError(keysAt.str(), "an attribute that is not animatable takes no keys");
    if (keys && !a.curve && kind.numbers > 0)
        throw RunError(w.str(), "keys need a \"curve\" (one of: " + curveKindList() + ")");
    const auto value = memberOf(desc, "value");
    a.value = attributeValue<J>(kind, value ? &*value : nullptr, Where(w, "value"));
    if (keys)
        a.keys = attributeKeys(kind, *keys, keysAt);
    return a;
}

// ---- components ----------------------------------------------------------------------

template <class J>
Binding readBinding(const Node& node, const J& ref, const Where& w) {
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

template <class J>
Component readComponent(const Node& node, const J& desc, const Where& w, bool picker) {
    asObject(desc, w);
    onlyKeys(desc, w, picker ? kPickerKeys : kComponentKeys);
    const auto type = memberOf(desc, "type");
    if (!type)
        throw RunError(w.str(), "missing \"type\"");
    Component c;
    if (const auto given = memberOf(desc, "attributes")) {
        const Where at(w, "attributes");
        const J& list = *given;
        asList(list, at);
        c.attributes.reserve(list.size());
        std::size_t i = 0;
        for (const auto& item : list)
            c.attributes.push_back(readBinding(node, item, Where(at, i++)));
    }
    if (picker) {
        if (const auto index = memberOf(desc, "subSelectionIndex"))
            c.subSelectionIndex = asInteger(*index, Where(w, "subSelectionIndex"),
                                            std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max());
    }
    c.type = asString(*type, Where(w, "type"));
    return c;
}

// Into `out`, in place of what it held.
template <class J>
void readComponentList(const Node& node, const J& desc, const char* key, const Where& w, std::vector<Component>& out) {
    out.clear();
    const auto given = memberOf(desc, key);
    if (!given)
        return;
    const Where at(w, key);
    const J& list = *given;
    asList(list, at);
    out.reserve(list.size());
    std::size_t i = 0;
    for (const auto& item : list)
        out.push_back(readComponent(node, item, Where(at, i++), false));
}

template <class J>
std::optional<Component> readOptionalComponent(const Node& node, const J& desc, const char* key, const Where& w,
                                               bool picker) {
    const auto given = memberOf(desc, key);
    if (!given || given->is_null())
        return std::nullopt;
    return readComponent(node, *given, Where(w, key), picker);
}

// ---- nodes ---------------------------------------------------------------------------

// The names of the nodes read so far, as the file holds them: parents and ports name
// nodes that come before. One flat table, open addressed and at most half full: a file
// may name a hundred thousand nodes, which a set of linked entries allocated one by one
// and reached through a pointer each.
class Names {
public:
    void reserve(std::size_t count) {
        std::size_t slots = 16;
        while (slots < 2 * count)
            slots *= 2;
        if (slots > m_slots.size())
            rehash(slots);
    }
    bool contains(std::string_view name) const {
        if (m_slots.empty())
            return false;
        for (std::size_t i = first(name);; i = next(i)) {
            if (!m_slots[i].data())
                return false;
            if (m_slots[i] == name)
                return true;
        }
    }
    // A name not held yet, never empty.
    void insert(std::string_view name) {
        reserve(m_count + 1);
        std::size_t i = first(name);
        while (m_slots[i].data())
            i = next(i);
        m_slots[i] = name;
        ++m_count;
    }

private:
    std::size_t first(std::string_view name) const {
        return std::hash<std::string_view>()(name) & (m_slots.size() - 1);
    }
    std::size_t next(std::size_t i) const { return (i + 1) & (m_slots.size() - 1); }
    void rehash(std::size_t slots) {
        std::vector<std::string_view> old(slots);
        old.swap(m_slots);
        m_count = 0;
        for (const std::string_view name : old)
            if (name.data())
                insert(name);
    }

    // A slot without data is free.
    std::vector<std::string_view> m_slots;
    std::size_t m_count = 0;
};

// The name as the file holds it, which the names read so far point into.
template <class J>
std::string_view readNodeName(const J& desc, const Where& w, const Names& names) {
    const auto given = memberOf(desc, "name");
    if (!given)
        throw RunError(w.str(), "missing \"name\"");
    const Where at(w, "name");
    if (!given->is_string())
        requireString(*given, at.str());  // which says what it found instead
    const std::string_view name = textOf(*given);
    // Dots separate a node's name from the rest of a path in steps.
    if (name.empty() || name.find('.') != std::string_view::npos)
        throw RunError(at.str(), "a node name must be non-empty and without dots");
    if (names.contains(name))
        throw RunError(at.str(), "a second node named " + quote(std::string(name)));
    return name;
}

template <class J>
std::optional<std::string> readParent(const J& desc, const Where& w, const Names& names) {
    const auto given = memberOf(desc, "parent");
    if (!given || given->is_null())
        return std::nullopt;
    const Where at(w, "parent");
    std::string parent = asString(*given, at);
    if (!names.contains(parent))
        throw RunError(at.str(), "unknown parent " + quote(parent) + " (a parent must come before its children)");
    return parent;
}

// Each names the node whose transformation it brings in (which, like a parent, must come
// before; the node itself may be named), or is null, left unconnected.
template <class J>
std::vector<std::optional<std::string>> readPorts(const J& desc, const Where& w, const Names& names) {
    std::vector<std::optional<std::string>> out;
    const auto given = memberOf(desc, "ports");
    if (!given)
        return out;
    const Where at(w, "ports");
    const J& list = *given;
    asList(list, at);
    std::size_t i = 0;
    for (const auto& item : list) {
        const Where port(at, i++);
        if (item.is_null()) {
            out.emplace_back();
            continue;
        }
        std::string s = asString(item, port);
        if (!names.contains(s))
            throw RunError(port.str(), "unknown node " + quote(s) + " (a port's node must come before the node)");
        out.emplace_back(std::move(s));
    }
    return out;
}

template <class J>
void readAttributesAndProperties(const J& desc, const Where& w, Node& node, bool keepSource) {
    node.attributes.clear();
    node.properties.clear();
    if (const auto given = memberOf(desc, "attributes")) {
        const Where at(w, "attributes");
        const J& attributes = *given;
        asObject(attributes, at);
        node.attributes.reserve(attributes.size());
        for (const auto& item : attributes.items()) {
            node.attributes.push_back(readAttribute(item.key(), item.value(), Where(at, item.key())));
            node.attributes.back().source = keepSource ? sourceOf(item.value()) : nullptr;
        }
    }
    if (const auto given = memberOf(desc, "properties")) {
        const Where at(w, "properties");
        const J& properties = *given;
        asObject(properties, at);
        node.properties.reserve(properties.size());
        for (const auto& item : properties.items())
            node.properties.emplace_back(std::string(item.key()), propertyValue(item.value(), Where(at, item.key())));
    }
}

// Into `node`, in place of the node read before, whose lists keep their room: a file's
// nodes are read one after another into one Node.
template <class J>
void readNode(const J& desc, const Where& w, Names& names, bool keepSource, Node& node) {
    asObject(desc, w);
    onlyKeys(desc, w, kNodeKeys);
    node.source = keepSource ? sourceOf(desc) : nullptr;
    const std::string_view name = readNodeName(desc, w, names);
    node.name = name;
    node.parent = readParent(desc, w, names);
    names.insert(name);
    node.ports = readPorts(desc, w, names);
    readAttributesAndProperties(desc, w, node, keepSource);
    readComponentList(node, desc, "transformations", w, node.transformations);
    readComponentList(node, desc, "painters", w, node.painters);
    node.manipulator = readOptionalComponent(node, desc, "manipulator", w, false);
    node.picker = readOptionalComponent(node, desc, "picker", w, true);
}

// ---- view settings -------------------------------------------------------------------

template <class J>
Camera readPerspective(const J& desc, const Where& w) {
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

template <class J>
void readViewport(const J& v, Document& doc) {
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

template <class J>
std::optional<std::array<double, 3>> readMetrics(const J& m) {
    requireObject(m, "metrics");
    checkKeys(m, "metrics", kMetricsKeys);
    if (!m.contains("unitScale"))
        return std::nullopt;
    const auto s = requireNumbers(m["unitScale"], 3, "metrics.unitScale");
    for (std::size_t i = 0; i < 3; ++i)
        if (s[i] <= 0.0)
            throw RunError(element("metrics.unitScale", i), "a unit scale must be above 0");
    return std::array<double, 3>{s[0], s[1], s[2]};
}

template <class J>
VS_RGBA readBackground(const J& b) {
    if (!b.is_array() || b.size() != 4)
        throw RunError("background", "expected a colour [red, green, blue, alpha], found " + describe(b));
    const std::string root = "background";
    const Where at(root);
    int c[4];
    for (std::size_t i = 0; i < 4; ++i)
        c[i] = asInteger(b[i], Where(at, i), 0, 255);
    return VS_RGBA(c[0], c[1], c[2], c[3]);
}

template <class J>
Camera readCameraOf(const J& desc, const std::string& path);

template <class J>
void readViewSettings(const J& json, Document& doc) {
    if (json.contains("$schema"))
        doc.schema = requireString(json["$schema"], "$schema");
    if (json.contains("viewport"))
        readViewport(json["viewport"], doc);
    if (json.contains("camera"))
        doc.camera = readCameraOf(json["camera"], "camera");
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

template <class J>
Camera readCameraOf(const J& desc, const std::string& path) {
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

template <class J>
Document readSettingsOf(const J& json) {
    requireObject(json, "top level");
    checkKeys(json, "", kDocumentKeys);
    Document doc;
    readViewSettings(json, doc);
    return doc;
}

template <class J>
void readNodesOf(const J& json, const TakeNode& take, bool keepSource) {
    if (!json.contains("nodes"))
        return;
    const J& nodes = json["nodes"];
    requireArray(nodes, "nodes");
    Names names;
    names.reserve(nodes.size());
    const std::string root = "nodes";
    const Where at(root);
    Node node;
    std::size_t i = 0;
    for (const auto& desc : nodes) {
        // A taker that moves the node leaves it empty, to be filled again.
        readNode(desc, Where(at, i), names, keepSource, node);
        take(std::move(node), i);
        ++i;
    }
}

template <class J>
Document readWhole(const J& json, bool keepSource) {
    Document doc = readSettingsOf(json);
    if (json.contains("nodes") && json["nodes"].is_array())
        doc.nodes.reserve(json["nodes"].size());
    readNodesOf(json, [&doc](Node&& node, std::size_t) { doc.nodes.push_back(std::move(node)); }, keepSource);
    doc.script = readScript(json);
    return doc;
}

}  // namespace

Camera readCamera(const Json& desc, const std::string& path) {
    return readCameraOf(desc, path);
}

Value readPropertyValue(const Json& v, const std::string& path) {
    return propertyValue(v, Where(path));
}

Document readSettings(const Json& json) {
    return readSettingsOf(json);
}

Document readSettings(const DomValue& json) {
    return readSettingsOf(json);
}

void readNodes(const Json& json, const TakeNode& take, bool keepSource) {
    readNodesOf(json, take, keepSource);
}

void readNodes(const DomValue& json, const TakeNode& take) {
    readNodesOf(json, take, false);
}

Json readScript(const Json& json) {
    return json.contains("script") ? requireArray(json["script"], "script") : Json::array();
}

Json readScript(const DomValue& json) {
    return json.contains("script") ? toJson(requireArray(json["script"], "script")) : Json::array();
}

Document readDocument(const Json& json) {
    return readWhole(json, false);
}

Document readDocument(std::shared_ptr<const Json> json) {
    Document doc = readWhole(*json, true);
    doc.source = std::move(json);
    return doc;
}

Document readDocument(const DomValue& json) {
    return readWhole(json, false);
}

Document readDocumentKeepingText(std::string text) {
    Document doc = readDocument(std::make_shared<const Json>(parseDocument(text)));
    doc.sourceText = std::make_shared<const std::string>(std::move(text));
    return doc;
}

std::optional<Document> readDocumentQuickly(const std::string& text) {
    simdjson::dom::parser parser;
    const std::optional<DomValue> root = parseQuickly(parser, text);
    if (!root)
        return std::nullopt;
    return readDocument(*root);
}

Document readDocumentText(const std::string& text) {
    try {
        if (std::optional<Document> document = readDocumentQuickly(text))
            return std::move(*document);
    } catch (const std::exception&) {
        // Read again below, the careful way, so that the message is the one it gives.
    }
    return readDocument(parseDocument(text));
}

}  // namespace runner
