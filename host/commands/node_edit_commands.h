#pragma once

// Edits a user makes to a node outside of a drag, from an inspector: its properties, and
// the value of a boolean or text attribute. Each undoes exactly, so that they can go on
// the same history as the manipulators' commands.

#include "host/commands/CO_Command.h"
#include "host/host_api.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_PropertyAccessor.h"

#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

class MO_Node;

namespace MO_NodeCmds {

// Sets and removes properties through MO_Node::changeProperties, so the node's listeners
// are told once per execute and once per undo, as for any user's change.
class HOST_API ChangePropertiesCmd : public CO_Command {
public:
    ChangePropertiesCmd(MO_Node* node, std::vector<std::pair<QString, MO_PropertyValue>> set,
                        std::vector<QString> remove);
    // Refuses a change that changes nothing (every key set to what it holds, every key
    // removed already absent): it would only add an empty step to the history.
    bool execute() override;
    bool unexecute() override;

private:
    MO_Node* m_node;
    std::vector<std::pair<QString, MO_PropertyValue>> m_set;
    std::vector<QString> m_remove;
    // What each key touched held before: a value, or nothing.
    std::vector<std::pair<QString, std::optional<MO_PropertyValue>>> m_before;
};

// Writes a boolean or text attribute's value at a frame as the attribute writes it (a key
// when keyed, else its local value); undo puts back its keys and local value as they were.
template <class Attr, class T>
class SetSteppedValueCmd : public CO_Command {
public:
    SetSteppedValueCmd(Attr* attr, double frame, T value)
        : m_attr(attr), m_frame(frame), m_value(std::move(value)), m_before(attr->stepped()) {}
    bool execute() override {
        m_before = m_attr->stepped();
        return m_attr->setValue(m_frame, m_value);
    }
    bool unexecute() override {
        m_attr->stepped() = m_before;
        return true;
    }

private:
    Attr* m_attr;
    double m_frame;
    T m_value;
    std::remove_reference_t<decltype(std::declval<Attr&>().stepped())> m_before;
};

using SetBoolValueCmd = SetSteppedValueCmd<AT_BoolAttr, bool>;
using SetStringValueCmd = SetSteppedValueCmd<AT_StringAttr, QString>;

}  // namespace MO_NodeCmds
