// Edits as a user makes them in the inspector: each is one undoable command, so that a
// recorded session's "undo" undoes what the user undid.

#include "apps/core/attribute_edit.h"
#include "apps/core/scene_query.h"
#include "apps/core/script.h"
#include "host/commands/attribute_edit_commands.h"
#include "host/commands/node_edit_commands.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"

namespace runner {

namespace {

std::string shownName(AT_Attr* attribute) {
    return attribute->node()->name().toStdString() + "." + attribute->name().toStdString();
}

std::unique_ptr<Attr::AttrWritesCmd> planNumbers(Session& session, AT_Attr* attribute, const Json& value) {
    const std::vector<AT_DoubleAttr*> scalars = scalarsOf(attribute);
    const std::vector<double> wanted = value.is_array() ? requireNumbers(value, scalars.size(), "value")
                                                        : std::vector<double>{requireNumber(value, "value")};
    if (wanted.size() != scalars.size())
        throw RunError("", "attribute " + attribute->name().toStdString() + " takes " +
                               std::to_string(scalars.size()) + " numbers");
    bool animatable = true;
    for (AT_DoubleAttr* c : scalars)
        animatable = animatable && c->socket();
    if (!animatable) {
        auto writes = std::make_unique<Attr::AttrWritesCmd>();
        for (std::size_t i = 0; i < scalars.size(); ++i)
            writes->addLocal(scalars[i], wanted[i]);
        return writes;
    }
    return planModeWrites(session, scalars, wanted);
}

// {"edit": {"node.attr": value, ...}}: one undoable edit of every entry, as the inspector
// makes it over the selected nodes.
void playEdit(ScriptContext& context, const Json& argument, const Json&) {
    if (!argument.is_object() || argument.empty())
        throw RunError("", "an \"edit\" step takes an object of \"node.attr\": value entries, not " +
                               describe(argument));
    std::vector<AttributeEdit> edits;
    for (const auto& item : argument.items()) {
        const Target target = resolve(context.session.common(), item.key());
        if (target.kind != Target::Kind::Value)
            throw RunError("", "\"edit\" takes attributes (\"node.attr\"), not " + quote(item.key()));
        edits.push_back({target.attribute, item.value()});
    }
    std::string why;
    if (editAttributes(context.session, edits, why) == EditOutcome::Refused)
        throw RunError("", why);
}

}  // namespace

std::vector<AT_DoubleAttr*> scalarsOf(AT_Attr* attribute) {
    if (auto* d = dynamic_cast<AT_DoubleAttr*>(attribute))
        return {d};
    std::vector<AT_DoubleAttr*> out;
    if (auto* c = dynamic_cast<AT_ComplexAttr*>(attribute))
        for (std::size_t i = 0; i < c->componentCount(); ++i)
            out.push_back(c->component(i));
    return out;
}

namespace {

// The command that makes one edit; null when it changes nothing. Throws RunError for a
// value of the wrong shape; an edit that would not be finite sets `why`.
std::unique_ptr<CO_Command> editCommand(Session& session, AT_Attr* attribute, const Json& value, std::string& why) {
    const double frame = session.frame();
    if (auto* b = dynamic_cast<AT_BoolAttr*>(attribute)) {
        if (!value.is_boolean())
            throw RunError("", "attribute " + attribute->name().toStdString() + " takes true or false");
        return std::make_unique<MO_NodeCmds::SetBoolValueCmd>(b, frame, value.get<bool>());
    }
    if (auto* s = dynamic_cast<AT_StringAttr*>(attribute)) {
        if (!value.is_string())
            throw RunError("", "attribute " + attribute->name().toStdString() + " takes a string");
        return std::make_unique<MO_NodeCmds::SetStringValueCmd>(s, frame,
                                                                QString::fromStdString(value.get<std::string>()));
    }
    std::unique_ptr<Attr::AttrWritesCmd> writes = planNumbers(session, attribute, value);
    if (writes->isEmpty())
        return nullptr;
    if (!writes->writesOnlyFinite()) {
        why = shownName(attribute) + " was not changed: the edit would make a value or key that is not a finite " +
              "number, which a scene file cannot hold";
        return nullptr;
    }
    return writes;
}

std::string editName(const std::vector<AttributeEdit>& edits) {
    if (edits.size() == 1)
        return "Set " + shownName(edits.front().attribute);
    for (const AttributeEdit& edit : edits)
        if (edit.attribute->name() != edits.front().attribute->name())
            return "Set " + std::to_string(edits.size()) + " attributes";
    return "Set " + edits.front().attribute->name().toStdString() + " on " + std::to_string(edits.size()) + " nodes";
}

}  // namespace

std::unique_ptr<Attr::AttrWritesCmd> planModeWrites(const Session& session, const std::vector<AT_DoubleAttr*>& scalars,
                                                    const std::vector<double>& wanted) {
    const double frame = session.frame();
    if (session.animationMode != CX_AnimationModeRange)
        return Attr::planValuesAt(scalars, frame, wanted, false);
    // As a drag over a range records it: every value of the range moves by the change made
    // at the current frame.
    std::vector<double> offsets;
    for (std::size_t i = 0; i < scalars.size(); ++i)
        offsets.push_back(wanted[i] - scalars[i]->valueAt(frame));
    return Attr::planRangeChange(scalars, session.range, [offsets](std::vector<double> v) {
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] += offsets[i];
        return v;
    });
}

EditOutcome editAttributes(Session& session, const std::vector<AttributeEdit>& edits, std::string& why) {
    std::vector<std::unique_ptr<CO_Command>> commands;
    for (const AttributeEdit& edit : edits) {
        std::unique_ptr<CO_Command> command = editCommand(session, edit.attribute, edit.value, why);
        if (!why.empty())
            return EditOutcome::Refused;
        if (command)
            commands.push_back(std::move(command));
    }
    if (commands.empty())
        return EditOutcome::Unchanged;
    std::unique_ptr<CO_Command> command;
    if (commands.size() == 1) {
        command = std::move(commands.front());
    } else {
        // Undone and redone as one, and refused whole if one of them is refused.
        auto all = std::make_unique<CO_OrCommand>(true);
        for (auto& each : commands)
            all->add(each.release());
        command = std::move(all);
    }
    if (!session.history.perform(QString::fromStdString(editName(edits)), std::move(command)))
        return EditOutcome::Unchanged;
    for (const AttributeEdit& edit : edits) {
        MO_Node* node = edit.attribute->node();
        if (edit.attribute->meta().isNodeDirtyOnChange()) {
            node->setDirty();
            node->sceneCommon()->changeManager().emitNodeChanged(node);
        }
    }
    return EditOutcome::Recorded;
}

void addEditSteps(StepTable& table) {
    table.add("edit", playEdit);
}

}  // namespace runner
