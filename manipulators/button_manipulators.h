#pragma once

// Drag manipulators that do not edit through the drag cycle: a button that flips a boolean
// as it is pressed, and a manipulator for controls whose drags are handled elsewhere.

#include "host/scene/AT_Attr.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"
#include "registry/export.h"

// A toggle button flips its value at each press; a momentary button flips it at the press
// and lets it fall back to false at the release. The attribute is written directly: a
// click is not an edit to undo.
class ButtonDragManipulator : public SLB_SelectableDragManipulator {
public:
    ButtonDragManipulator(const MO_PropertyAccessor& properties, AT_BoolAttr* attribute);
    ~ButtonDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

private:
    AT_BoolAttr* m_attribute;
    bool m_toggle;
};

// Accepts every drag and does nothing with it.
class RIGKIT_EXPORT ScriptDragManipulator : public SLB_SelectableDragManipulator {
public:
    explicit ScriptDragManipulator(const MO_PropertyAccessor& properties);
    ScriptDragManipulator(const ScriptDragManipulator& other);
    ScriptDragManipulator& operator=(const ScriptDragManipulator& other);
    ~ScriptDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;
};
