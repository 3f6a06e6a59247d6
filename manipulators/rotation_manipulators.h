#pragma once

// Drag manipulators that turn a node: about one axis by the angle the pointer sweeps
// around the node's origin, or freely by a three-angle rotation (on a virtual sphere, or
// by yaw and pitch).

#include "host/base/SmPtr.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/AT_Surrogate.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"
#include "registry/export.h"

class MO_PropertyAccessor;

class RIGKIT_EXPORT RotationXDragManipulator : public SLB_SelectableDragManipulator {
public:
    RotationXDragManipulator(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute);
    RotationXDragManipulator(const RotationXDragManipulator& other);
    RotationXDragManipulator& operator=(const RotationXDragManipulator& other);
    ~RotationXDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

private:
    AT_DoubleAttr* m_attribute;
    double m_angle;
    AT_ScalarSimpleAttrSurrogate* m_surrogate;
    SmPtr<AT_AttrSurrogate> m_handle;
    Math::CameraTransformChain m_chain;
    Math::Point4d m_last;
};

class RIGKIT_EXPORT RotationYDragManipulator : public SLB_SelectableDragManipulator {
public:
    RotationYDragManipulator(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute);
    RotationYDragManipulator(const RotationYDragManipulator& other);
    RotationYDragManipulator& operator=(const RotationYDragManipulator& other);
    ~RotationYDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

private:
    AT_DoubleAttr* m_attribute;
    double m_angle;
    AT_ScalarSimpleAttrSurrogate* m_surrogate;
    SmPtr<AT_AttrSurrogate> m_handle;
    Math::CameraTransformChain m_chain;
    Math::Point4d m_last;
};

class RIGKIT_EXPORT RotationZDragManipulator : public SLB_SelectableDragManipulator {
public:
    RotationZDragManipulator(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute);
    RotationZDragManipulator(const RotationZDragManipulator& other);
    RotationZDragManipulator& operator=(const RotationZDragManipulator& other);
    ~RotationZDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

private:
    AT_DoubleAttr* m_attribute;
    double m_angle;
    AT_ScalarSimpleAttrSurrogate* m_surrogate;
    SmPtr<AT_AttrSurrogate> m_handle;
    Math::CameraTransformChain m_chain;
    Math::Point4d m_last;
};

class RIGKIT_EXPORT RotationDragManipulator : public SLB_SelectableDragManipulator {
public:
    RotationDragManipulator(const MO_PropertyAccessor& properties, AT_Rotation3dAttr* attribute);
    RotationDragManipulator(const RotationDragManipulator& other);
    RotationDragManipulator& operator=(const RotationDragManipulator& other);
    ~RotationDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

protected:
    // The new value for a pointer at (x, y, z): the previous sphere point's direction
    // turned onto the new one's, added to the current angles. Moves the last point.
    Math::Angle3d freeRotate(SLB_DragContext& context, const Math::CameraTransformChain& chain, double x, double y,
                             double z) const;
    // The start rotation turned by the pointer's whole displacement: yaw about Y on the
    // left, pitch about X on the right.
    Math::Angle3d yawPitchRotate(SLB_DragContext& context, const Math::CameraTransformChain& chain, double x, double y,
                                 double z) const;

private:
    AT_Rotation3dAttr* m_attribute;
    Math::Angle3d m_current;
    double m_radius;
    bool m_rollEnabled;
    Math::Quat m_start;
    AT_Rotation3dAttrSurrogate* m_rotationSurrogate;
    SmPtr<AT_AttrSurrogate> m_rotationHandle;
    AT_ScalarSimpleAttrSurrogate* m_angleSurrogates[3];
    SmPtr<AT_AttrSurrogate> m_angleHandles[3];
    Math::Point4d m_centre;
    mutable Math::Point4d m_last;
};
