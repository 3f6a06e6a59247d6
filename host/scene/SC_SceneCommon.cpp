#include "host/scene/SC_SceneCommon.h"

#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"

#include <algorithm>
#include <climits>

void LXSceneChangeManager::emitNodeChanged(MO_Node* node) {
    ++m_emitted;
    for (const Listener& l : m_listeners)
        l(node);
}

SC_ViewMemory::~SC_ViewMemory() = default;

SC_SceneCommon::SC_SceneCommon() = default;

SC_SceneCommon::~SC_SceneCommon() {
    // Children go before their parents, components before the attributes they point to.
    while (!m_nodes.empty())
        m_nodes.pop_back();
}

MO_Node* SC_SceneCommon::addNode(std::unique_ptr<MO_Node> node) {
    UT_EditCount::note();
    MO_Node* added = node.get();
    m_nodes.push_back(std::move(node));
    // A node's name never changes, so the index stays true; the first of a name wins, as a
    // walk in order would find it. One look-up: a slot made here is null.
    MO_Node*& named = m_byName[added->name()];
    if (!named)
        named = added;
    m_index.insert(added, std::ptrdiff_t(m_nodes.size()) - 1);
    return added;
}

void SC_SceneCommon::reserveNodes(std::size_t count) {
    m_nodes.reserve(count);
    m_byName.reserve(int(std::min<std::size_t>(count, INT_MAX)));
    m_index.reserve(int(std::min<std::size_t>(count, INT_MAX)));
}

MO_Node* SC_SceneCommon::findNode(const QString& name) const {
    return m_byName.value(name, nullptr);
}

std::ptrdiff_t SC_SceneCommon::indexOf(const MO_Node* node) const {
    return m_index.value(node, -1);
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
