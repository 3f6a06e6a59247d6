// Poses: the animatable values of some nodes at the current frame, copied and pasted onto
// the same nodes at another frame or onto other nodes, and the rest pose, the values the
// scene was opened with. A paste or a reset is one edit in the history, keyed as an edit
// of the current animation mode is keyed.

#include "apps/core/attribute_edit.h"
#include "apps/core/scene_query.h"
#include "apps/core/script.h"
#include "host/commands/attribute_edit_commands.h"
#include "host/commands/node_edit_commands.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"

#include <algorithm>

namespace runner {

namespace {

// The nodes a step names: a list of names, or true for the selected nodes.
std::vector<MO_Node*> nodesOf(ScriptContext& context, const Json& argument, const std::string& step) {
    std::vector<MO_Node*> out;
    if (argument.is_boolean() && argument.get<bool>()) {
        for (const auto& node : context.session.common().nodes())
            if (context.session.selection().isSelected(node.get()))
                out.push_back(node.get());
        return out;
    }
    if (!argument.is_array())
        throw RunError("", quote(step) + " takes a list of node names, or true for the selected nodes, not " +
                               describe(argument));
    for (std::size_t i = 0; i < argument.size(); ++i)
        out.push_back(nodeNamed(context, argument[i], element(step, i)));
    return out;
}

bool isAnimatable(AT_Attr* attribute) {
    if (auto* d = dynamic_cast<AT_DoubleAttr*>(attribute))
        return d->socket() != nullptr;
    if (auto* c = dynamic_cast<AT_ComplexAttr*>(attribute))
        return c->componentCount() > 0 && c->component(0)->socket() != nullptr;
    return dynamic_cast<AT_BoolAttr*>(attribute) || dynamic_cast<AT_StringAttr*>(attribute);
}

// The step's "attributes" option, when it limits the pose to some of them.
bool wanted(const Json& step, const std::string& name) {
    if (!step.contains("attributes"))
        return true;
    const Json& list = requireArray(step["attributes"], "attributes");
    return std::find(list.begin(), list.end(), Json(name)) != list.end();
}

// {attr: value} of a node's animatable values at `frame`.
Json poseOf(MO_Node* node, double frame, const Json& step) {
    Json values = Json::object();
    for (const auto& attribute : node->attributes())
        if (isAnimatable(attribute.get()) && wanted(step, attribute->name().toStdString()))
            values[attribute->name().toStdString()] =
                read(Target{Target::Kind::Value, node, attribute.get()}, frame);
    return values;
}

// The writes of a value into an attribute at the session's frame, keyed as the animation
// mode keys an edit; null when the value is not one the attribute holds.
std::unique_ptr<CO_Command> writeCommand(const Session& session, AT_Attr* attribute, const Json& value) {
    const double frame = session.frame();
    if (auto* b = dynamic_cast<AT_BoolAttr*>(attribute))
        return value.is_boolean() ? std::make_unique<MO_NodeCmds::SetBoolValueCmd>(b, frame, value.get<bool>())
                                  : nullptr;
    if (auto* s = dynamic_cast<AT_StringAttr*>(attribute))
        return value.is_string() ? std::make_unique<MO_NodeCmds::SetStringValueCmd>(
                                       s, frame, QString::fromStdString(value.get<std::string>()))
                                 : nullptr;
    const std::vector<AT_DoubleAttr*> scalars = scalarsOf(attribute);
    std::vector<double> values;
    for (const Json& v : value.is_array() ? value : Json::array({value}))
        if (v.is_number())
            values.push_back(v.get<double>());
    if (scalars.empty() || values.size() != scalars.size())
        return nullptr;
    return planModeWrites(session, scalars, values);
}

// Writes each node's values as one edit named `name`; values a node has no attribute for
// are left out.
void writePoses(ScriptContext& context, const std::vector<std::pair<MO_Node*, Json>>& poses, const QString& name) {
    auto macro = std::make_unique<CO_OrCommand>(true);
    std::vector<MO_Node*> touched;
    for (const auto& [node, values] : poses)
        for (const auto& item : values.items()) {
            AT_Attr* attribute = node->attribute(QString::fromStdString(item.key()));
            if (!attribute || !isAnimatable(attribute))
                continue;
            std::unique_ptr<CO_Command> command = writeCommand(context.session, attribute, item.value());
            if (!command)
                throw RunError("", node->name().toStdString() + "." + item.key() + " cannot take " +
                                       show(item.value()));
            macro->add(command.release());
            if (attribute->meta().isNodeDirtyOnChange())
                touched.push_back(node);
        }
    if (macro->isEmpty())
        return;
    if (!context.session.history.perform(name, std::move(macro)))
        throw RunError("", "the scene refused " + name.toStdString());
    for (MO_Node* node : touched) {
        node->setDirty();
        node->sceneCommon()->changeManager().emitNodeChanged(node);
    }
}

QString namesOf(const std::vector<MO_Node*>& nodes) {
    QStringList names;
    for (const MO_Node* node : nodes)
        names.append(node->name());
    return names.join(QStringLiteral(", "));
}

void playCopyPose(ScriptContext& context, const Json& argument, const Json& step) {
    Json clipboard = Json::array();
    for (MO_Node* node : nodesOf(context, argument, "copyPose"))
        clipboard.push_back({{"node", node->name().toStdString()}, {"values", poseOf(node, context.session.frame(), step)}});
    context.clipboard = std::move(clipboard);
}

// Onto the nodes copied (true), or the i-th copied node onto the i-th node named; one
// copied node goes onto every node named.
void playPastePose(ScriptContext& context, const Json& argument, const Json&) {
    const Json& copied = context.clipboard;
    if (copied.empty())
        throw RunError("", "nothing was copied (\"copyPose\" first)");
    std::vector<MO_Node*> onto;
    if (argument.is_boolean() && argument.get<bool>())
        for (const Json& entry : copied)
            onto.push_back(nodeNamed(context, entry["node"], "pastePose"));
    else
        onto = nodesOf(context, argument, "pastePose");
    if (copied.size() != 1 && copied.size() != onto.size())
        throw RunError("", std::to_string(copied.size()) + " nodes were copied, which cannot go onto " +
                               std::to_string(onto.size()));
    std::vector<std::pair<MO_Node*, Json>> poses;
    for (std::size_t i = 0; i < onto.size(); ++i)
        poses.emplace_back(onto[i], copied[copied.size() == 1 ? 0 : i]["values"]);
    writePoses(context, poses, QStringLiteral("Paste pose onto ") + namesOf(onto));
}

// The values at the current frame of the scene as it was opened.
void playRestPose(ScriptContext& context, const Json& argument, const Json& step) {
    const std::vector<MO_Node*> nodes = nodesOf(context, argument, "restPose");
    if (!context.session.scene().opened)
        throw RunError("", "the scene was not opened from a file, so it has no rest pose");
    const Scene rest = buildScene(context.session.scene().opened());
    std::vector<std::pair<MO_Node*, Json>> poses;
    for (MO_Node* node : nodes)
        if (MO_Node* was = rest.common->findNode(node->name()))
            poses.emplace_back(node, poseOf(was, context.session.frame(), step));
    writePoses(context, poses, QStringLiteral("Rest pose of ") + namesOf(nodes));
}

}  // namespace

void addPoseSteps(StepTable& table) {
    table.add("copyPose", playCopyPose, {"attributes"});
    table.add("pastePose", playPastePose);
    table.add("restPose", playRestPose, {"attributes"});
}

}  // namespace runner
