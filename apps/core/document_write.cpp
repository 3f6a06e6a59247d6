// A document to JSON. Parts read from a kept file are written over their source, so that
// what the document does not model (keys written for editors) and the text of values
// that did not change stay as the file had them; parts without a source are written whole.

#include "apps/core/document.h"

#include <algorithm>
#include <tuple>

namespace runner {

namespace {

// Sets `key` unless the object already says the same (numbers compare by value).
void put(Json& object, const char* key, const Json& fresh) {
    if (object.contains(key) && object[key] == fresh)
        return;
    object[key] = fresh;
}

Json sortedKeys(Json keys) {
    std::stable_sort(keys.begin(), keys.end(),
                     [](const Json& a, const Json& b) { return a[0].get<double>() < b[0].get<double>(); });
    return keys;
}

// Keys compare in frame order: the loader sorts them, so a file that lists them otherwise
// says the same. Returns whether they changed.
bool putKeys(Json& desc, const Json& fresh) {
    if (desc.contains("keys") && desc["keys"].is_array() && sortedKeys(desc["keys"]) == sortedKeys(fresh))
        return false;
    desc["keys"] = fresh;
    return true;
}

Json keysJson(const std::vector<Key>& keys) {
    Json out = Json::array();
    for (const Key& k : keys)
        out.push_back(Json::array({k.frame, valueJson(k.value)}));
    return out;
}

bool isUnset(const Attribute& a) {
    const AttributeKindInfo& kind = attributeKind(a.kind);
    if (const auto* d = std::get_if<double>(&a.value))
        return *d == kind.unset;
    if (const auto* b = std::get_if<bool>(&a.value))
        return !*b;
    if (const auto* s = std::get_if<std::string>(&a.value))
        return s->empty();
    const auto& list = std::get<std::vector<double>>(a.value);
    return std::all_of(list.begin(), list.end(), [&](double v) { return v == kind.unset; });
}

void putAttribute(Json& desc, const Attribute& a) {
    const bool numbers = attributeKind(a.kind).numbers > 0;
    if (!a.keys.empty() && (a.curve || !numbers)) {
        if (a.curve)
            put(desc, "curve", curveKind(*a.curve).name);
        // Keys hold the value at every frame: a local value left beside new keys would say
        // something that shows nowhere.
        if (putKeys(desc, keysJson(a.keys)))
            desc.erase("value");
        else if (desc.contains("value"))
            put(desc, "value", valueJson(a.value));
        return;
    }
    if (desc.contains("value") || !isUnset(a))
        put(desc, "value", valueJson(a.value));
    if (!numbers || !a.curve) {
        desc.erase("curve");
        desc.erase("keys");
        return;
    }
    put(desc, "curve", curveKind(*a.curve).name);
    putKeys(desc, keysJson(a.keys));
}

Json attributeJson(const Attribute& a) {
    Json desc = {{"type", attributeKind(a.kind).name}};
    if (!a.animatable)
        desc["animatable"] = false;
    putAttribute(desc, a);
    return desc;
}

// Keys keep the file's order; keys the document added come after them, removed ones go.
void putProperties(Json& node, const std::vector<std::pair<std::string, Value>>& properties) {
    if (!node.contains("properties") && properties.empty())
        return;
    const Json written = node.value("properties", Json::object());
    Json out = Json::object();
    for (const auto& [key, value] : properties) {
        const Json fresh = valueJson(value);
        const auto it = written.find(key);
        out[key] = it != written.end() && *it == fresh ? *it : fresh;
    }
    node["properties"] = out;
}

Json componentJson(const Component& c, bool picker) {
    Json attributes = Json::array();
    for (const Binding& b : c.attributes)
        attributes.push_back(b.path);
    Json desc = {{"type", c.type}, {"attributes", attributes}};
    if (picker && c.subSelectionIndex != 0)
        desc["subSelectionIndex"] = c.subSelectionIndex;
    return desc;
}

void putComponents(Json& desc, const Node& n) {
    for (const auto& [key, list] : {std::pair{"transformations", &n.transformations}, {"painters", &n.painters}}) {
        if (list->empty())
            continue;
        Json out = Json::array();
        for (const Component& c : *list)
            out.push_back(componentJson(c, false));
        desc[key] = out;
    }
    if (n.manipulator)
        desc["manipulator"] = componentJson(*n.manipulator, false);
    if (n.picker)
        desc["picker"] = componentJson(*n.picker, true);
}

Json nodeJson(const Node& n) {
    Json desc = {{"name", n.name}};
    if (n.parent)
        desc["parent"] = *n.parent;
    if (!n.ports.empty()) {
        Json ports = Json::array();
        for (const auto& p : n.ports)
            ports.push_back(p ? Json(*p) : Json());
        desc["ports"] = ports;
    }
    if (!n.attributes.empty()) {
        Json attributes = Json::object();
        for (const Attribute& a : n.attributes)
            attributes[a.name] = attributeJson(a);
        desc["attributes"] = attributes;
    }
    putProperties(desc, n.properties);
    putComponents(desc, n);
    return desc;
}

// What an edit can change (attribute values, curves, keys and properties) written over
// the node as the file had it.
Json patchedNode(const Node& n) {
    Json desc = *n.source;
    for (const Attribute& a : n.attributes) {
        Json& attributes = desc["attributes"];
        if (a.source)
            putAttribute(attributes[a.name], a);
        else
            attributes[a.name] = attributeJson(a);
    }
    putProperties(desc, n.properties);
    return desc;
}

Json settingsJson(const Document& d) {
    Json out = Json::object();
    if (d.schema)
        out["$schema"] = *d.schema;
    out["viewport"] = {d.width, d.height};
    out["camera"] = cameraJson(d.camera);
    if (d.unitScale)
        out["metrics"] = {{"unitScale", *d.unitScale}};
    out["dpiScale"] = d.dpiScale;
    out["background"] = {d.background.r, d.background.g, d.background.b, d.background.a};
    out["samples"] = d.samples;
    return out;
}

}  // namespace

Json cameraJson(const Camera& c) {
    if (c.kind == Camera::Kind::Orthographic)
        return {{"type", kCameraTypes[0]}, {"center", {c.center.x, c.center.y}}, {"pixelsPerUnit", c.pixelsPerUnit}};
    return {{"type", kCameraTypes[1]},
            {"eye", {c.eye.x, c.eye.y, c.eye.z}},
            {"target", {c.target.x, c.target.y, c.target.z}},
            {"up", {c.up.x, c.up.y, c.up.z}},
            {"fovy", c.fovy}};
}

Json valueJson(const Value& value) {
    return std::visit([](const auto& v) { return Json(v); }, value);
}

Json writeDocument(const Document& document) {
    Json out = document.source ? *document.source : settingsJson(document);
    if (out.contains("nodes") || !document.nodes.empty()) {
        Json nodes = Json::array();
        for (const Node& n : document.nodes)
            nodes.push_back(n.source ? patchedNode(n) : nodeJson(n));
        out["nodes"] = nodes;
    }
    if (!document.source)
        out["script"] = document.script;
    return out;
}

namespace {

// The member `key` of `object`; null when either is missing.
const Json* memberOf(const Json* object, const std::string& key) {
    if (!object || !object->is_object())
        return nullptr;
    const auto it = object->find(key);
    return it == object->end() ? nullptr : &*it;
}

}  // namespace

void keepWritten(Document& document, Json written, std::string text) {
    document.source = std::make_shared<const Json>(std::move(written));
    document.sourceText = std::make_shared<const std::string>(std::move(text));
    const Json* nodes = memberOf(document.source.get(), "nodes");
    for (std::size_t i = 0; i < document.nodes.size(); ++i) {
        Node& node = document.nodes[i];
        node.source = nodes && i < nodes->size() ? &(*nodes)[i] : nullptr;
        const Json* attributes = memberOf(node.source, "attributes");
        for (Attribute& a : node.attributes)
            a.source = memberOf(attributes, a.name);
    }
}

// ---- equality --------------------------------------------------------------------------

bool operator==(const Camera& a, const Camera& b) {
    return std::tie(a.kind, a.center, a.pixelsPerUnit, a.eye, a.target, a.up, a.fovy) ==
           std::tie(b.kind, b.center, b.pixelsPerUnit, b.eye, b.target, b.up, b.fovy);
}

bool operator==(const Key& a, const Key& b) {
    return a.frame == b.frame && a.value == b.value;
}

bool operator==(const Attribute& a, const Attribute& b) {
    return std::tie(a.name, a.kind, a.animatable, a.value, a.curve, a.keys) ==
           std::tie(b.name, b.kind, b.animatable, b.value, b.curve, b.keys);
}

bool operator==(const Binding& a, const Binding& b) {
    return a.path == b.path && a.attribute == b.attribute && a.component == b.component;
}

bool operator==(const Component& a, const Component& b) {
    return std::tie(a.type, a.attributes, a.subSelectionIndex) == std::tie(b.type, b.attributes, b.subSelectionIndex);
}

bool operator==(const Node& a, const Node& b) {
    return std::tie(a.name, a.parent, a.ports, a.attributes, a.properties, a.transformations, a.painters,
                    a.manipulator, a.picker) == std::tie(b.name, b.parent, b.ports, b.attributes, b.properties,
                                                         b.transformations, b.painters, b.manipulator, b.picker);
}

bool operator==(const Document& a, const Document& b) {
    return std::tie(a.schema, a.width, a.height, a.camera, a.unitScale, a.dpiScale, a.background, a.samples,
                    a.nodes, a.script) == std::tie(b.schema, b.width, b.height, b.camera, b.unitScale, b.dpiScale,
                                                   b.background, b.samples, b.nodes, b.script);
}

}  // namespace runner
