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

std::unique_ptr<Attr::AttrWritesCmd> planNumbers(Session& session, AT_Attr* attribute, const Json& value) {
    const std::vector<AT_DoubleAttr*> scalars = scalarsOf(attribute);
    const std::vector<double> wanted = value.is_array() ? requireNumbers(value, scalars.size(), "value")
                                                        : std::vector<double>{requireNumber(value, "value")};
    if (wanted.size() != scalars.size())
        throw RunError("", "attribute " + attribute->name().toStdString() + " takes " +
                               std::to_string(scalars.size()) + " numbers");
    const double frame = session.frame();
    bool animatable = true;
    for (AT_DoubleAttr* c : scalars)
        animatable = animatable && c->socket();
    if (!animatable) {
        auto writes = std::make_unique<Attr::AttrWritesCmd>();
        for (std::size_t i = 0; i < scalars.size(); ++i)
            writes->addLocal(scalars[i], wanted[i]);
        return writes;
    }
    if (session.animationMode == CX_AnimationModeRange) {
        // As a drag over a range records it: every value of the range moves by the change
        // made at the current frame.
        std::vector<double> offsets;
        for (std::size_t i = 0; i < scalars.size(); ++i)
            offsets.push_back(wanted[i] - scalars[i]->valueAt(frame));
        return Attr::planRangeChange(scalars, session.range, [offsets](std::vector<double> v) {
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] += offsets[i];
            return v;
        });
    }
    return Attr::planValuesAt(scalars, frame, wanted, false);
}

// {"edit": {"node.attr": value, ...}}: each entry one edit, in order.
void playEdit(ScriptContext& context, const Json& argument, const Json&) {
    if (!argument.is_object() || argument.empty())
        throw RunError("", "an \"edit\" step takes an object of \"node.attr\": value entries, not " +
                               describe(argument));
    for (const auto& item : argument.items()) {
        const Target target = resolve(context.session.common(), item.key());
        if (target.kind != Target::Kind::Value)
            throw RunError("", "\"edit\" takes attributes (\"node.attr\"), not " + quote(item.key()));
        std::string why;
        if (editAttribute(context.session, target.attribute, item.value(), why) == EditOutcome::Refused)
            throw RunError("", why);
    }
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

EditOutcome editAttribute(Session& session, AT_Attr* attribute, const Json& value, std::string& why) {
    const double frame = session.frame();
    MO_Node* node = attribute->node();
    const std::string shown = node->name().toStdString() + "." + attribute->name().toStdString();
    std::unique_ptr<CO_Command> command;
    if (auto* b = dynamic_cast<AT_BoolAttr*>(attribute)) {
        if (!value.is_boolean())
            throw RunError("", "attribute " + attribute->name().toStdString() + " takes true or false");
        command = std::make_unique<MO_NodeCmds::SetBoolValueCmd>(b, frame, value.get<bool>());
    } else if (auto* s = dynamic_cast<AT_StringAttr*>(attribute)) {
        if (!value.is_string())
            throw RunError("", "attribute " + attribute->name().toStdString() + " takes a string");
        command =
            std::make_unique<MO_NodeCmds::SetStringValueCmd>(s, frame, QString::fromStdString(value.get<std::string>()));
    } else {
        std::unique_ptr<Attr::AttrWritesCmd> writes = planNumbers(session, attribute, value);
        if (writes->isEmpty())
            return EditOutcome::Unchanged;
        if (!writes->writesOnlyFinite()) {
            why = shown + " was not changed: the edit would make a value or key that is not a finite number, "
                          "which a scene file cannot hold";
            return EditOutcome::Refused;
        }
        command = std::move(writes);
    }
    if (!session.history.perform(QString::fromStdString("Set " + shown), std::move(command)))
        return EditOutcome::Unchanged;
    if (attribute->meta().isNodeDirtyOnChange()) {
        node->setDirty();
        node->sceneCommon()->changeManager().emitNodeChanged(node);
    }
    return EditOutcome::Recorded;
}

void addEditSteps(StepTable& table) {
    table.add("edit", playEdit);
}

}  // namespace runner
