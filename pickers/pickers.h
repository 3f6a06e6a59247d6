#pragma once

// Pick adaptors that claim a hit on their handle, select the node's part and describe the
// handle. The mono picker always replaces the selection; the multi picker extends it while
// Shift is held.

#include "host/scene/components.h"
#include "host/scene/factories.h"
#include "registry/export.h"

class MO_PropertyAccessor;

class RIGKIT_EXPORT MonoPicker : public SLB_AttributePickAdaptor {
public:
    MonoPicker(const MO_PropertyAccessor& properties, MO_Module* module, AT_Attr* attribute, int subSelectionIndex);
    MonoPicker(const MonoPicker& other);
    MonoPicker& operator=(const MonoPicker& other);
    ~MonoPicker() override;

    static const QString& TypeString();
    static SLB_ModulePickAdaptor* createDynamic(const SLB_PickAdaptorFactory::Data& data);

    UT_SharedPtr<SLB_SelectableDescriptor> scanHits(std::uint32_t hitId, bool select,
                                                    Qt::KeyboardModifiers modifiers) override;

    int subSelectionIndex() const { return m_subSelectionIndex; }
    bool forceDragStart() const { return m_forceDragStart; }
    int selectionType() const { return m_selectionType; }

private:
    std::int32_t m_subSelectionIndex;
    bool m_forceDragStart;
    std::int32_t m_selectionType;
};

class RIGKIT_EXPORT MultiPicker : public SLB_AttributePickAdaptor {
public:
    MultiPicker(const MO_PropertyAccessor& properties, MO_Module* module, AT_Attr* attribute, int subSelectionIndex);
    MultiPicker(const MultiPicker& other);
    MultiPicker& operator=(const MultiPicker& other);
    ~MultiPicker() override;

    static const QString& TypeString();
    static SLB_ModulePickAdaptor* createDynamic(const SLB_PickAdaptorFactory::Data& data);

    UT_SharedPtr<SLB_SelectableDescriptor> scanHits(std::uint32_t hitId, bool select,
                                                    Qt::KeyboardModifiers modifiers) override;

    int subSelectionIndex() const { return m_subSelectionIndex; }
    bool forceDragStart() const { return m_forceDragStart; }
    int selectionType() const { return m_selectionType; }

private:
    std::int32_t m_subSelectionIndex;
    bool m_forceDragStart;
    std::int32_t m_selectionType;
};
