// The steps that change what the scene is made of: nodes, their attributes and
// components, parents and ports.
//
// Each one edits the scene file's JSON as a save would write it now, reads that back as a
// document (so that everything a file can get wrong is checked as when a file is opened)
// and builds the scene's nodes from it. The old nodes are not touched: the command swaps
// the new set in and its undo swaps the old one back, so the commands recorded before it
// keep pointing at the nodes they edited, and the document goes back to exactly what it
// was. Since undo walks back in order, the old nodes are as the command left them.

#include "apps/core/describe.h"
#include "apps/core/scene_writer.h"
#include "apps/core/script.h"
#include "host/commands/CO_Command.h"
#include "host/scene/SC_SceneCommon.h"

#include <algorithm>
#include <functional>
#include <map>

namespace runner {

namespace {

// The families a step names, as a node's JSON keys them and as --describe names them.
struct Family {
    const char* key;
    const char* described;
    // A node has a list of them, rather than at most one.
    bool list;
};
constexpr Family kFamilies[] = {{"transformation", "local transformation", true},
                                {"painter", "OpenGL painter", true},
                                {"manipulator", "drag manipulator", false},
                                {"picker", "pick adaptor", false}};

const Family& familyOf(const Json& step) {
    if (!step.contains("family"))
        throw RunError("family", "missing: one of transformation, painter, manipulator, picker");
    const std::string name = requireString(step["family"], "family");
    for (const Family& f : kFamilies)
        if (name == f.key)
            return f;
    throw RunError("family", "unknown family " + quote(name) + " (transformation, painter, manipulator, picker)");
}

// The JSON key of the family in a node: "painters", "manipulator".
std::string keyOf(const Family& f) {
    return f.list ? std::string(f.key) + "s" : std::string(f.key);
}

class StructureCommand : public CO_Command {
public:
    StructureCommand(Session& session, Document document, std::unique_ptr<SC_SceneCommon> nodes)
        : m_session(session), m_document(std::move(document)), m_nodes(std::move(nodes)) {}
    bool execute() override {
        std::swap(m_session.document(), m_document);
        m_nodes = m_session.swapNodes(std::move(m_nodes));
        return true;
    }
    bool unexecute() override { return execute(); }

private:
    Session& m_session;
    Document m_document;
    std::unique_ptr<SC_SceneCommon> m_nodes;
};

std::size_t nodeIndex(const Json& nodes, const std::string& name) {
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i].value("name", "") == name)
            return i;
    return nodes.size();
}

Json& fileNode(Json& file, const Json& name, const std::string& path) {
    const std::string n = requireString(name, path);
    Json& nodes = file["nodes"];
    const std::size_t i = nodeIndex(nodes, n);
    if (i == nodes.size())
        throw RunError(path, "there is no node " + quote(n));
    return nodes[i];
}

std::vector<std::string> dependencies(const Json& node) {
    std::vector<std::string> out;
    if (node.contains("parent") && node["parent"].is_string())
        out.push_back(node["parent"]);
    for (const Json& port : node.value("ports", Json::array()))
        if (port.is_string())
            out.push_back(port);
    return out;
}

// A file names parents and ports before the nodes that use them: the nodes keep their
// order except where one must move after what it now depends on.
void orderNodes(Json& nodes) {
    std::map<std::string, std::size_t> byName;
    for (std::size_t i = 0; i < nodes.size(); ++i)
        byName.emplace(nodes[i].value("name", ""), i);
    std::vector<int> state(nodes.size(), 0);  // 0 unseen, 1 on the path, 2 placed
    Json ordered = Json::array();
    std::function<void(std::size_t)> place = [&](std::size_t i) {
        if (state[i] == 2)
            return;
        if (state[i] == 1)
            throw RunError("", "node " + quote(nodes[i].value("name", "")) + " would be its own ancestor or input");
        state[i] = 1;
        for (const std::string& d : dependencies(nodes[i]))
            if (const auto it = byName.find(d); it != byName.end())
                place(it->second);
        state[i] = 2;
        ordered.push_back(nodes[i]);
    };
    for (std::size_t i = 0; i < nodes.size(); ++i)
        place(i);
    nodes = std::move(ordered);
}

void requireFreeName(const Json& file, const std::string& name) {
    if (name.empty())
        throw RunError("", "a node needs a name");
    if (nodeIndex(file["nodes"], name) != file["nodes"].size())
        throw RunError("", "the name " + quote(name) + " is taken");
}

// The step's "attributes" as a component writes them.
Json attributesOf(const Json& step) {
    if (!step.contains("attributes"))
        return Json::array();
    const Json& list = requireArray(step["attributes"], "attributes");
    for (std::size_t i = 0; i < list.size(); ++i)
        requireString(list[i], element("attributes", i));
    return list;
}

// What --describe says of a type of a family; null when no factory of it knows the type.
Json described(const Family& family, const std::string& type) {
    for (Json& c : describeComponents({type}))
        if (c["family"] == family.described)
            return c;
    return nullptr;
}

bool isPropertyValue(const Json& v) {
    if (v.is_number() || v.is_boolean() || v.is_string())
        return true;
    return v.is_array() && !v.empty() && std::all_of(v.begin(), v.end(), [](const Json& e) { return e.is_number(); });
}

// Every property the component reads that the node lacks, at the default it reads with,
// so that it is there to be edited; not those whose mere presence changes what it does,
// those read only under a condition, nor those that follow another's value.
void offerProperties(Json& node, const Json& description, const Json& given) {
    Json& properties = node["properties"];
    if (properties.is_null())
        properties = Json::object();
    for (const auto& item : given.items())
        properties[item.key()] = item.value();
    for (const Json& p : description["properties"]) {
        const std::string key = p["key"];
        if (properties.contains(key) || p.value("presence", false) || p.contains("onlyWhen") || p.contains("dependsOn") ||
            !isPropertyValue(p["default"]))
            continue;
        properties[key] = p["default"];
    }
    if (properties.empty())
        node.erase("properties");
}

// The component of the step's family and "index" in `node`, or null.
Json* componentOf(Json& node, const Family& family, const Json& step) {
    const std::string key = keyOf(family);
    if (!node.contains(key))
        return nullptr;
    Json& c = node[key];
    if (!family.list)
        return &c;
    const double index = step.contains("index") ? requireNumber(step["index"], "index") : 0.0;
    if (index < 0 || index != static_cast<std::size_t>(index) || index >= c.size())
        return nullptr;
    return &c[static_cast<std::size_t>(index)];
}

std::string noComponent(const Json& node, const Family& family) {
    return "node " + quote(node.value("name", "")) + " has no such " + family.key;
}

// Checks and builds the edited file, then records the swap as one command named `name`.
// `edit` changes the file's JSON or throws RunError to refuse.
void playStructureEdit(ScriptContext& context, const std::string& name, const std::function<void(Json&)>& edit) {
    Session& session = context.session;
    Json file = writeDocument(captureDocument(session.document(), session.common()));
    if (!file.contains("nodes"))
        file["nodes"] = Json::array();
    edit(file);
    orderNodes(file["nodes"]);
    Document edited = readDocument(std::make_shared<const Json>(std::move(file)));
    Scene built = buildScene(edited);
    session.history.perform(QString::fromStdString(name),
                            std::make_unique<StructureCommand>(session, std::move(edited), std::move(built.common)));
}

// ---- the steps ----------------------------------------------------------------------

void playAddNode(ScriptContext& context, const Json& argument, const Json& step) {
    const std::string name = requireString(argument, "addNode");
    playStructureEdit(context, "Add Node " + name, [&](Json& file) {
        requireFreeName(file, name);
        Json node = {{"name", name}};
        if (step.contains("parent") && !step["parent"].is_null())
            node["parent"] = fileNode(file, step["parent"], "parent")["name"];
        file["nodes"].push_back(std::move(node));
    });
}

void playAddAttribute(ScriptContext& context, const Json& argument, const Json& step) {
    const std::string attribute = requireString(step.value("name", Json()), "name");
    playStructureEdit(context, "Add Attribute " + attribute, [&](Json& file) {
        Json& node = fileNode(file, argument, "addAttribute");
        Json& attributes = node["attributes"];
        if (attributes.is_null())
            attributes = Json::object();
        if (attributes.contains(attribute))
            throw RunError("name", "node " + quote(node["name"].get<std::string>()) + " already has an attribute " + quote(attribute));
        Json desc = {{"type", step.value("type", Json("double"))}};
        for (const char* key : {"value", "animatable"})
            if (step.contains(key))
                desc[key] = step[key];
        attributes[attribute] = std::move(desc);
    });
}

void playAddComponent(ScriptContext& context, const Json& argument, const Json& step) {
    const Family& family = familyOf(step);
    const std::string type = requireString(step.value("type", Json()), "type");
    const Json description = described(family, type);
    if (description.is_null())
        throw RunError("type", std::string("no ") + family.described + " is registered as " + quote(type) +
                                   " (rigkit-run --list names them)");
    const Json given =
        step.contains("withProperties") ? requireObject(step["withProperties"], "withProperties") : Json::object();
    try {
        playStructureEdit(context, "Add " + type + " " + family.key, [&](Json& file) {
            Json& node = fileNode(file, argument, "addComponent");
            const Json component = {{"type", type}, {"attributes", attributesOf(step)}};
            if (!family.list && node.contains(keyOf(family)))
                throw RunError("", "node " + quote(node["name"].get<std::string>()) + " already has a " + family.key);
            if (family.list)
                node[keyOf(family)].push_back(component);
            else
                node[keyOf(family)] = component;
            offerProperties(node, description, given);
        });
    } catch (const RunError& e) {
        throw RunError("", std::string(e.what()) + " (" + type + " takes " +
                               description["attributes"]["summary"].get<std::string>() + ")");
    }
}

void playRemoveComponent(ScriptContext& context, const Json& argument, const Json& step) {
    const Family& family = familyOf(step);
    playStructureEdit(context, std::string("Remove ") + family.key, [&](Json& file) {
        Json& node = fileNode(file, argument, "removeComponent");
        Json* component = componentOf(node, family, step);
        if (!component)
            throw RunError("", noComponent(node, family));
        Json& list = node[keyOf(family)];
        if (!family.list || list.size() == 1)
            node.erase(keyOf(family));
        else
            list.erase(list.begin() + (component - &list[0]));
    });
}

void playBind(ScriptContext& context, const Json& argument, const Json& step) {
    const Family& family = familyOf(step);
    playStructureEdit(context, std::string("Bind ") + family.key, [&](Json& file) {
        Json& node = fileNode(file, argument, "bind");
        Json* component = componentOf(node, family, step);
        if (!component)
            throw RunError("", noComponent(node, family));
        (*component)["attributes"] = attributesOf(step);
    });
}

void playReparent(ScriptContext& context, const Json& argument, const Json& step) {
    if (!step.contains("to"))
        throw RunError("to", "missing: the new parent's name, or null for none");
    playStructureEdit(context, "Reparent", [&](Json& file) {
        Json& node = fileNode(file, argument, "reparent");
        if (step["to"].is_null())
            node.erase("parent");
        else
            node["parent"] = fileNode(file, step["to"], "to")["name"];
    });
}

void playConnect(ScriptContext& context, const Json& argument, const Json& step) {
    const double port = requireNumber(step.value("port", Json()), "port");
    playStructureEdit(context, "Connect", [&](Json& file) {
        Json& node = fileNode(file, argument, "connect");
        Json& ports = node["ports"];
        if (ports.is_null())
            ports = Json::array();
        if (port < 0 || port != static_cast<std::size_t>(port) || port > ports.size())
            throw RunError("port", "node " + quote(node["name"].get<std::string>()) + " has ports 0 to " +
                                       std::to_string(ports.size()) + " (the last a new one)");
        const Json source = step.value("to", Json());
        const Json to = source.is_null() ? Json() : fileNode(file, source, "to")["name"];
        const auto i = static_cast<std::size_t>(port);
        if (i == ports.size())
            ports.push_back(to);
        else
            ports[i] = to;
    });
}

void playDuplicate(ScriptContext& context, const Json& argument, const Json& step) {
    const std::string original = requireString(argument, "duplicate");
    playStructureEdit(context, "Duplicate " + original, [&](Json& file) {
        Json& nodes = file["nodes"];
        const std::size_t at = nodeIndex(nodes, fileNode(file, argument, "duplicate")["name"]);
        std::string name = step.contains("name") ? requireString(step["name"], "name") : std::string();
        for (int n = 1; name.empty() || (!step.contains("name") && nodeIndex(nodes, name) != nodes.size()); ++n)
            name = original + std::to_string(n);
        requireFreeName(file, name);
        Json copy = nodes[at];
        copy["name"] = name;
        nodes.insert(nodes.begin() + static_cast<std::ptrdiff_t>(at + 1), std::move(copy));
    });
}

void playDelete(ScriptContext& context, const Json& argument, const Json&) {
    const std::string name = requireString(argument, "delete");
    playStructureEdit(context, "Delete " + name, [&](Json& file) {
        Json& nodes = file["nodes"];
        const std::size_t at = nodeIndex(nodes, fileNode(file, argument, "delete")["name"]);
        std::vector<std::string> users;
        for (const Json& n : nodes)
            for (const std::string& d : dependencies(n))
                if (d == name)
                    users.push_back(quote(n["name"].get<std::string>()));
        if (!users.empty()) {
            std::string list;
            for (const std::string& u : users)
                list += (list.empty() ? "" : ", ") + u;
            throw RunError("", "node " + quote(name) + " is the parent or an input of " + list +
                                   ": re-parent or disconnect them first");
        }
        nodes.erase(nodes.begin() + static_cast<std::ptrdiff_t>(at));
    });
}

// {"setProperty": "node" or ["node", ...], "key": k, "value": v}: the inspector's property
// edit. Built from the file as the other steps are, so that what is drawn is what the
// saved file draws (a component need not read every property again when one changes).
// Only a key the node has is set: a misspelt one would add a property nothing reads.
void playSetProperty(ScriptContext& context, const Json& argument, const Json& step) {
    const Json names = argument.is_array() ? argument : Json::array({argument});
    if (names.empty())
        throw RunError("", "a \"setProperty\" step names a node or a list of nodes");
    const std::string key = requireString(step.value("key", Json()), "key");
    if (!step.contains("value"))
        throw RunError("value", "missing: the property's value");
    if (!isPropertyValue(step["value"]))
        throw RunError("value", "a property is a number, a boolean, a string or a list of numbers, not " +
                                    describe(step["value"]));
    const std::string name = names.size() == 1 ? "Set property " + requireString(names[0], "setProperty") + "." + key
                                               : "Set property " + key + " on " + std::to_string(names.size()) + " nodes";
    playStructureEdit(context, name, [&](Json& file) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            Json& node = fileNode(file, names[i], argument.is_array() ? element("setProperty", i) : "setProperty");
            if (!node.contains("properties") || !node["properties"].contains(key))
                throw RunError("key", "node " + quote(node["name"].get<std::string>()) + " has no property " +
                                          quote(key) + " (addComponent adds those its component reads)");
            node["properties"][key] = step["value"];
        }
    });
}

// ---- keys ---------------------------------------------------------------------------
// Keys are edited in the file too: a key set, moved or deleted, or a curve of another
// kind, is what a file with those keys builds.

// The attribute a key step names, "node.attr", in the file.
Json& keyedAttribute(Json& file, const Json& argument, const std::string& path) {
    const std::string name = requireString(argument, path);
    for (Json& node : file["nodes"]) {
        const std::string n = node.value("name", "");
        if (name.size() <= n.size() + 1 || name.compare(0, n.size() + 1, n + ".") != 0)
            continue;
        const std::string attribute = name.substr(n.size() + 1);
        if (node.contains("attributes") && node["attributes"].contains(attribute))
            return node["attributes"][attribute];
    }
    throw RunError(path, "there is no attribute " + quote(name) + " (\"node.attr\")");
}

bool isNumeric(const Json& attribute) {
    const std::string type = attribute.value("type", "double");
    return type != "bool" && type != "string";
}

// The key at `frame`, or the end of the list.
Json::iterator keyAt(Json& keys, double frame) {
    return std::find_if(keys.begin(), keys.end(),
                        [frame](const Json& k) { return k.is_array() && !k.empty() && k[0] == frame; });
}

Json& keysOf(Json& attribute, const std::string& name, double frame) {
    Json& keys = attribute["keys"];
    if (keys.is_null() || keyAt(keys, frame) == keys.end())
        throw RunError("at", quote(name) + " has no key at frame " + show(number(frame)));
    return keys;
}

// No keys left: the attribute is not animated, and keeps its value.
void dropEmptyKeys(Json& attribute) {
    if (!attribute["keys"].empty())
        return;
    attribute.erase("keys");
    attribute.erase("curve");
}

void playSetKey(ScriptContext& context, const Json& argument, const Json& step) {
    const std::string name = requireString(argument, "setKey");
    const double frame = requireNumber(step.value("at", Json(context.session.frame())), "at");
    if (!step.contains("value"))
        throw RunError("value", "missing: the key's value");
    playStructureEdit(context, "Set key " + name, [&](Json& file) {
        Json& attribute = keyedAttribute(file, argument, "setKey");
        if (isNumeric(attribute) && !attribute.contains("curve"))
            attribute["curve"] = curveKind(CurveKind::Bezier).name;
        Json& keys = attribute["keys"];
        if (keys.is_null())
            keys = Json::array();
        const auto at = keyAt(keys, frame);
        if (at != keys.end())
            (*at)[1] = step["value"];
        else
            keys.push_back(Json::array({frame, step["value"]}));
    });
}

// The keys a key step names: "node.attr" with its "at" (the current frame when `atDefault`
// is set), or a list of ["node.attr", frame] pairs, as the timeline's selection of keys.
std::vector<std::pair<Json, double>> namedKeys(ScriptContext& context, const Json& argument, const Json& step,
                                               const std::string& path, bool atDefault) {
    if (!argument.is_array()) {
        const Json at = step.contains("at") || !atDefault ? step.value("at", Json()) : Json(context.session.frame());
        return {{argument, requireNumber(at, "at")}};
    }
    if (argument.empty())
        throw RunError(path, "names no key");
    std::vector<std::pair<Json, double>> out;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        const std::string where = element(path, i);
        const Json& pair = requireArray(argument[i], where);
        if (pair.size() != 2)
            throw RunError(where, "a key is [\"node.attr\", frame]");
        requireString(pair[0], element(where, 0));
        out.emplace_back(pair[0], requireNumber(pair[1], element(where, 1)));
    }
    return out;
}

std::string keysName(const char* verb, const std::vector<std::pair<Json, double>>& keys) {
    if (keys.size() == 1)
        return std::string(verb) + " key " + keys.front().first.get<std::string>();
    return std::string(verb) + " " + std::to_string(keys.size()) + " keys";
}

void playDeleteKey(ScriptContext& context, const Json& argument, const Json& step) {
    const auto keys = namedKeys(context, argument, step, "deleteKey", true);
    playStructureEdit(context, keysName("Delete", keys), [&](Json& file) {
        for (const auto& [name, frame] : keys) {
            Json& attribute = keyedAttribute(file, name, "deleteKey");
            Json& list = keysOf(attribute, name.get<std::string>(), frame);
            list.erase(keyAt(list, frame));
        }
        for (const auto& key : keys)
            dropEmptyKeys(keyedAttribute(file, key.first, "deleteKey"));
    });
}

// Keys moved together by the same number of frames pass over each other; one that lands
// on a key that stays is refused.
void playMoveKey(ScriptContext& context, const Json& argument, const Json& step) {
    const auto keys = namedKeys(context, argument, step, "moveKey", false);
    const bool list = argument.is_array();
    const double by = list ? requireNumber(step.value("by", Json()), "by")
                           : requireNumber(step.value("to", Json()), "to") - keys.front().second;
    playStructureEdit(context, keysName("Move", keys), [&](Json& file) {
        std::vector<std::pair<Json*, double>> moving;
        for (const auto& [name, frame] : keys) {
            Json& all = keysOf(keyedAttribute(file, name, "moveKey"), name.get<std::string>(), frame);
            moving.emplace_back(&*keyAt(all, frame), frame + by);
        }
        for (const auto& [name, frame] : keys) {
            Json& all = keyedAttribute(file, name, "moveKey")["keys"];
            const auto there = keyAt(all, frame + by);
            const auto moves = [&](const auto& m) { return there != all.end() && m.first == &*there; };
            if (there != all.end() && !std::any_of(moving.begin(), moving.end(), moves))
                throw RunError(list ? "by" : "to", quote(name.get<std::string>()) + " has a key at frame " +
                                                       show(number(frame + by)) + " already");
        }
        for (auto& [key, to] : moving)
            (*key)[0] = to;
    });
}

void playCurve(ScriptContext& context, const Json& argument, const Json& step) {
    const Json names = argument.is_array() ? argument : Json::array({argument});
    const std::string kind = requireString(step.value("kind", Json()), "kind");
    for (std::size_t i = 0; i < names.size(); ++i)
        requireString(names[i], argument.is_array() ? element("curve", i) : "curve");
    const std::string shown = names.size() == 1 ? names[0].get<std::string>() : std::to_string(names.size()) + " curves";
    playStructureEdit(context, "Curve " + shown + " " + kind, [&](Json& file) {
        for (const Json& name : names) {
            Json& attribute = keyedAttribute(file, name, "curve");
            if (!attribute.contains("curve"))
                throw RunError("", quote(name.get<std::string>()) + " is not animated on a curve");
            attribute["curve"] = kind;
        }
    });
}

void playAutoKey(ScriptContext& context, const Json& argument, const Json&) {
    context.session.setAutoKey(requireBool(argument, "autoKey"));
}

}  // namespace

void addAuthoringSteps(StepTable& table) {
    table.add("addNode", playAddNode, {"parent"});
    table.add("addAttribute", playAddAttribute, {"name", "type", "value", "animatable"});
    table.add("addComponent", playAddComponent, {"family", "type", "attributes", "withProperties"});
    table.add("removeComponent", playRemoveComponent, {"family", "index"});
    table.add("bind", playBind, {"family", "index", "attributes"});
    table.add("reparent", playReparent, {"to"});
    table.add("connect", playConnect, {"port", "to"});
    table.add("duplicate", playDuplicate, {"name"});
    table.add("delete", playDelete);
    table.add("setProperty", playSetProperty, {"key", "value"});
    table.add("autoKey", playAutoKey);
    table.add("setKey", playSetKey, {"at", "value"});
    table.add("deleteKey", playDeleteKey, {"at"});
    table.add("moveKey", playMoveKey, {"at", "to", "by"});
    table.add("curve", playCurve, {"kind"});
}

}  // namespace runner
