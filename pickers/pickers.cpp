#include "pickers/pickers.h"

#include "host/scene/MO_Node.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/SLB_Selection.h"
#include "registry/component.h"

RIGKIT_TYPE_STRING(MonoPicker, "MONO")
RIGKIT_TYPE_STRING(MultiPicker, "MULTI")

namespace {

// Handle kinds by name, in the order of their selection types.
const char* const kHandleNames[] = {
    "NoHandle",        "PivotMoveHandle", "RotateHandle",    "ScaleXHandle",   "ScaleYHandle",
    "ScaleBothHandle", "VertSkewHandle",  "HorizSkewHandle", "PointingHandle", "MiscControlPointHandle",
};

std::int32_t selectionTypeOf(const QString& name) {
    if (name.isEmpty())
        return -1;
    for (std::int32_t i = 0; i < std::int32_t(std::size(kHandleNames)); ++i)
        if (name == QLatin1String(kHandleNames[i]))
            return i;
    return -1;
}

template <class Picker>
SLB_ModulePickAdaptor* createPicker(const SLB_PickAdaptorFactory::Data& data) {
    if (!data.module || data.attributes.empty() || !data.attributes.front())
        return nullptr;
    return new Picker(data.properties, data.module, data.attributes.front(), data.subSelectionIndex);
}

UT_SharedPtr<SLB_SelectableDescriptor> claim(const SLB_AttributePickAdaptor& picker, std::uint32_t hitId, bool select,
                                             bool extend, int subSelectionIndex, int selectionType,
                                             bool forceDragStart) {
    if (picker.handleId(0) != hitId)
        return UT_SharedPtr<SLB_SelectableDescriptor>();
    if (select)
        if (SLB_NodeInterface* node = picker.module()->selInterface())
            node->subSelect(subSelectionIndex, extend);
    return UT_SharedPtr<SLB_SelectableDescriptor>(
        new SLB_ModuleDescriptor(picker.module(), selectionType, forceDragStart));
}

}  // namespace

#define RIGKIT_PICKER_MEMBERS(Picker)                                                                               \
    Picker::Picker(const MO_PropertyAccessor& properties, MO_Module* module, AT_Attr* attribute,                    \
                   int subSelectionIndex)                                                                           \
        : SLB_AttributePickAdaptor(module, attribute), m_subSelectionIndex(subSelectionIndex) {                     \
        m_forceDragStart = properties.getBool(QStringLiteral("force_drag_start"), false, nullptr);                  \
        m_selectionType = selectionTypeOf(                                                                          \
            properties.getString(QStringLiteral("cursorType"), QStringLiteral("MiscControlPointHandle"), nullptr)); \
        setLassoSelection(properties.getBool(QStringLiteral("lasso_selection"), true, nullptr));                    \
    }                                                                                                               \
    Picker::Picker(const Picker& other) = default;                                                                  \
    Picker& Picker::operator=(const Picker& other) = default;                                                       \
    Picker::~Picker() = default;                                                                                    \
    SLB_ModulePickAdaptor* Picker::createDynamic(const SLB_PickAdaptorFactory::Data& data) {                        \
        return createPicker<Picker>(data);                                                                          \
    }

RIGKIT_PICKER_MEMBERS(MonoPicker)
RIGKIT_PICKER_MEMBERS(MultiPicker)

UT_SharedPtr<SLB_SelectableDescriptor> MonoPicker::scanHits(std::uint32_t hitId, bool select, Qt::KeyboardModifiers) {
    return claim(*this, hitId, select, false, m_subSelectionIndex, m_selectionType, m_forceDragStart);
}

UT_SharedPtr<SLB_SelectableDescriptor> MultiPicker::scanHits(std::uint32_t hitId, bool select,
                                                             Qt::KeyboardModifiers modifiers) {
    const bool extend = modifiers.testFlag(Qt::ShiftModifier);
    return claim(*this, hitId, select, extend, m_subSelectionIndex, m_selectionType, m_forceDragStart);
}
