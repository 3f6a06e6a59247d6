#include "host/scene/SC_SceneCommon.h"

#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"

#include <algorithm>

void LXSceneChangeManager::emitNodeChanged(MO_Node* node) {
    ++m_emitted;
    for (const Listener& l : m_listeners)
        l(node);
}

SC_SceneCommon::SC_SceneCommon() = default;

SC_SceneCommon::~SC_SceneCommon() {
    // Children go before their parents, components before the attributes they point to.
    while (!m_nodes.empty())
        m_nodes.pop_back();
}

MO_Node* SC_SceneCommon::addNode(std::unique_ptr<MO_Node> node) {
    m_nodes.push_back(std::move(node));
    return m_nodes.back().get();
}

MO_Node* SC_SceneCommon::findNode(const QString& name) const {
    for (const auto& n : m_nodes)
        if (n->name() == name)
            return n.get();
    return nullptr;
}

void SC_SceneCommon::addTimedValue(std::unique_ptr<LXTimedValue> tv) {
    m_timedValues.push_back(std::move(tv));
}

std::unique_ptr<LXTimedValue> SC_SceneCommon::releaseTimedValue(LXTimedValue* tv) {
    auto it = std::find_if(m_timedValues.begin(), m_timedValues.end(), [tv](const auto& p) { return p.get() == tv; });
    if (it == m_timedValues.end())
        return nullptr;
    std::unique_ptr<LXTimedValue> out = std::move(*it);
    m_timedValues.erase(it);
    return out;
}

bool SC_SceneCommon::holdsTimedValue(const LXTimedValue* tv) const {
    return std::any_of(m_timedValues.begin(), m_timedValues.end(), [tv](const auto& p) { return p.get() == tv; });
}
