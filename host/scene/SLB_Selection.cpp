#include "host/scene/SLB_Selection.h"

#include <algorithm>

UT_ShareBaseSafe::~UT_ShareBaseSafe() = default;
SLB_SelectedInterface::~SLB_SelectedInterface() = default;
SLB_SelectableDescriptor::~SLB_SelectableDescriptor() = default;
SLB_SelectableObjectDescriptor::~SLB_SelectableObjectDescriptor() = default;
SLB_ModuleDescriptor::~SLB_ModuleDescriptor() = default;

void SLB_Selection::select(MO_Node* node, int subIndex, bool extend) {
    ++m_version;
    if (!extend) {
        m_items.assign(1, Item{node, subIndex});
        return;
    }
    auto it = std::find_if(m_items.begin(), m_items.end(), [node](const Item& i) { return i.node == node; });
    if (it != m_items.end())
        it->subIndex = subIndex;
    else
        m_items.push_back(Item{node, subIndex});
}

void SLB_Selection::clear() {
    ++m_version;
    m_items.clear();
}

bool SLB_Selection::isSelected(const MO_Node* node) const {
    return std::any_of(m_items.begin(), m_items.end(), [node](const Item& i) { return i.node == node; });
}

void SLB_NodeInterface::subSelect(int index, bool extend) {
    if (m_selection)
        m_selection->select(selectable(), index, extend);
}
