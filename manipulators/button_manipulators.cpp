#include "manipulators/button_manipulators.h"

#include "host/interaction/SLB_ManipContext.h"
#include "registry/component.h"

RIGKIT_TYPE_STRING(ButtonDragManipulator, "BUTTON")
RIGKIT_TYPE_STRING(ScriptDragManipulator, "SCRIPT")

ButtonDragManipulator::ButtonDragManipulator(const MO_PropertyAccessor& properties, AT_BoolAttr* attribute)
    : m_attribute(attribute), m_toggle(properties.getBool(QStringLiteral("toggle"), false, nullptr)) {}

ButtonDragManipulator::~ButtonDragManipulator() = default;

SLB_SelectableDragManipulator* ButtonDragManipulator::createDynamic(
    const SLB_SelectableDragManipulatorFactory::Data& data) {
    return rigkit::createWithFirstAttribute<ButtonDragManipulator, AT_BoolAttr>(data);
}

void ButtonDragManipulator::dragStarted(SLB_DragContext& context, SLB_SelectedInterface*, double, double, double) {
    if (!m_attribute)
        return;
    // Each press reads the value afresh: something else may have changed it since.
    const bool value = m_attribute->value(context.frame());
    m_attribute->setValue(context.frame(), !value, false, false);
}

void ButtonDragManipulator::drag(SLB_DragContext&, SLB_SelectedInterface*, double, double, double) {}

void ButtonDragManipulator::dragFinished(SLB_DragContext&, SLB_SelectedInterface*) {
    if (!m_toggle && m_attribute)
        m_attribute->setLocalValue(false);
}

ScriptDragManipulator::ScriptDragManipulator(const MO_PropertyAccessor&) {}
ScriptDragManipulator::ScriptDragManipulator(const ScriptDragManipulator& other) = default;
ScriptDragManipulator& ScriptDragManipulator::operator=(const ScriptDragManipulator& other) = default;
ScriptDragManipulator::~ScriptDragManipulator() = default;

SLB_SelectableDragManipulator* ScriptDragManipulator::createDynamic(
    const SLB_SelectableDragManipulatorFactory::Data& data) {
    return new ScriptDragManipulator(data.properties);
}

void ScriptDragManipulator::drag(SLB_DragContext&, SLB_SelectedInterface*, double, double, double) {}
void ScriptDragManipulator::dragStarted(SLB_DragContext&, SLB_SelectedInterface*, double, double, double) {}
void ScriptDragManipulator::dragFinished(SLB_DragContext&, SLB_SelectedInterface*) {}
