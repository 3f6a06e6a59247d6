#pragma once

// Drag manipulators that move a node along one axis by editing a scalar translation: the
// pointer is projected onto a plane of the node's frame and the value follows its
// displacement along the axis.

#include "host/base/SmPtr.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/AT_Surrogate.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"
#include "registry/export.h"

class MO_PropertyAccessor;

class RIGKIT_EXPORT TranslationXDragManipulator : public SLB_SelectableDragManipulator {
public:
    TranslationXDragManipulator(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute);
    TranslationXDragManipulator(const TranslationXDragManipulator& other);
    TranslationXDragManipulator& operator=(const TranslationXDragManipulator& other);
    ~TranslationXDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

private:
    AT_DoubleAttr* m_attribute;
    AT_ScalarSimpleAttrSurrogate* m_surrogate;
    SmPtr<AT_AttrSurrogate> m_handle;
    Math::CameraTransformChain m_chain;
    double m_offset[2];
};

class RIGKIT_EXPORT TranslationYDragManipulator : public SLB_SelectableDragManipulator {
public:
    TranslationYDragManipulator(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute);
    TranslationYDragManipulator(const TranslationYDragManipulator& other);
    TranslationYDragManipulator& operator=(const TranslationYDragManipulator& other);
    ~TranslationYDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

private:
    AT_DoubleAttr* m_attribute;
    AT_ScalarSimpleAttrSurrogate* m_surrogate;
    SmPtr<AT_AttrSurrogate> m_handle;
    Math::CameraTransformChain m_chain;
    double m_offset[2];
};

// Drags in the node's XY plane turned a quarter turn about Y: a plane that holds the
// node's Z direction.
class RIGKIT_EXPORT TranslationZDragManipulator : public SLB_SelectableDragManipulator {
public:
    TranslationZDragManipulator(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute);
    TranslationZDragManipulator(const TranslationZDragManipulator& other);
    TranslationZDragManipulator& operator=(const TranslationZDragManipulator& other);
    ~TranslationZDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

private:
    AT_DoubleAttr* m_attribute;
    AT_ScalarSimpleAttrSurrogate* m_surrogate;
    SmPtr<AT_AttrSurrogate> m_handle;
    Math::CameraTransformChain m_chain;
    double m_offset[3];
};
