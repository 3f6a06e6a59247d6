#include "host/commands/node_edit_commands.h"

#include "host/scene/MO_Node.h"

namespace MO_NodeCmds {

ChangePropertiesCmd::ChangePropertiesCmd(MO_Node* node, std::vector<std::pair<QString, MO_PropertyValue>> set,
                                         std::vector<QString> remove)
    : m_node(node), m_set(std::move(set)), m_remove(std::move(remove)) {}

bool ChangePropertiesCmd::execute() {
    const MO_PropertyBag& bag = m_node->properties();
    m_before.clear();
    bool changes = false;
    for (const auto& [key, value] : m_set) {
        const MO_PropertyValue* old = bag.find(key);
        changes = changes || !old || !(*old == value);
        m_before.emplace_back(key, old ? std::optional<MO_PropertyValue>(*old) : std::nullopt);
    }
    for (const QString& key : m_remove) {
        const MO_PropertyValue* old = bag.find(key);
        changes = changes || old;
        m_before.emplace_back(key, old ? std::optional<MO_PropertyValue>(*old) : std::nullopt);
    }
    if (!changes)
        return false;
    m_node->changeProperties(m_set, m_remove);
    return true;
}

bool ChangePropertiesCmd::unexecute() {
    std::vector<std::pair<QString, MO_PropertyValue>> set;
    std::vector<QString> remove;
    for (const auto& [key, old] : m_before) {
        if (old)
            set.emplace_back(key, *old);
        else
            remove.push_back(key);
    }
    m_node->changeProperties(set, remove);
    return true;
}

}  // namespace MO_NodeCmds
