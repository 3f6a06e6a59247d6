#pragma once

// What the user has selected, and the interfaces through which components select.

#include "host/base/UT_SharedPtr.h"
#include "host/host_api.h"

#include <vector>

class MO_Node;
class MO_Module;

// The scene's selection: nodes in the order they were selected, each with the index of
// its selected part.
class HOST_API SLB_Selection {
public:
    struct Item {
        MO_Node* node;
        int subIndex;
    };
    // Replaces the selection, or adds to it when `extend` (a node already selected keeps
    // its place and takes the new part).
    void select(MO_Node* node, int subIndex, bool extend);
    void clear();
    bool isSelected(const MO_Node* node) const;
    const std::vector<Item>& items() const { return m_items; }
    // Counts the changes, so that a viewport can tell the selection moved. A click selects
    // at every pick; kept apart from UT_EditCount, it makes the viewport look again only
    // at the nodes selected before or after.
    unsigned long version() const { return m_version; }

private:
    std::vector<Item> m_items;
    unsigned long m_version = 0;
};

// The object a manipulation works on.
class HOST_API SLB_SelectedInterface {
public:
    explicit SLB_SelectedInterface(MO_Node* node) : m_node(node) {}
    virtual ~SLB_SelectedInterface();
    virtual MO_Node* selectable() const { return m_node; }
    // Told before an edit adds or removes control points, so that views of the curve can
    // drop what they show of the old ones.
    virtual void controlPointsWillChange() { ++m_controlPointChanges; }
    int controlPointChanges() const { return m_controlPointChanges; }

private:
    MO_Node* m_node;
    int m_controlPointChanges = 0;
};

// A node's own selection interface: selects parts of the node in the scene's selection.
class HOST_API SLB_NodeInterface : public SLB_SelectedInterface {
public:
    SLB_NodeInterface(MO_Node* node, SLB_Selection* selection) : SLB_SelectedInterface(node), m_selection(selection) {}
    virtual void subSelect(int index, bool extend);

private:
    SLB_Selection* m_selection;
};

// What a pick adaptor hands back about a hit.
class HOST_API SLB_SelectableDescriptor : public UT_ShareBaseSafe {
public:
    ~SLB_SelectableDescriptor() override;
};

class HOST_API SLB_SelectableObjectDescriptor : public SLB_SelectableDescriptor {
public:
    ~SLB_SelectableObjectDescriptor() override;
    // Handle kinds, as named by pick adaptors.
    enum eSelectionType {
        NoHandle = 0,
        PivotMoveHandle,
        RotateHandle,
        ScaleXHandle,
        ScaleYHandle,
        ScaleBothHandle,
        VertSkewHandle,
        HorizSkewHandle,
        PointingHandle,
        MiscControlPointHandle,
    };
};

class HOST_API SLB_ModuleDescriptor : public SLB_SelectableObjectDescriptor {
public:
    // `selectionType` may be -1: no known handle kind.
    SLB_ModuleDescriptor(MO_Module* module, int selectionType, bool forceDragStart)
        : m_module(module), m_selectionType(selectionType), m_forceDragStart(forceDragStart) {}
    ~SLB_ModuleDescriptor() override;
    MO_Module* module() const { return m_module; }
    int selectionType() const { return m_selectionType; }
    bool forceDragStart() const { return m_forceDragStart; }

private:
    MO_Module* m_module;
    int m_selectionType;
    bool m_forceDragStart;
};
