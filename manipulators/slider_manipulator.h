#pragma once

// A drag manipulator that edits a scalar through an on-screen slider: a straight track,
// horizontal or vertical, whose ends stand for "min" and "max". The value follows the
// pointer's displacement along the track from where the drag started, clamped to the ends
// and, with "steps", quantised.

#include "host/base/SmPtr.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/AT_Surrogate.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"
#include "manipulators/slider_placement.h"
#include "registry/export.h"

class RIGKIT_EXPORT SliderDragManipulator : public SLB_SelectableDragManipulator, public MO_PropertyChangeListener {
public:
    SliderDragManipulator(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute);
    SliderDragManipulator(const SliderDragManipulator& other);
    SliderDragManipulator& operator=(const SliderDragManipulator& other);
    ~SliderDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

    void update(const MO_PropertyAccessor& properties) override;

    SliderPlacement placement() const { return m_placement; }
    double length() const { return m_length; }
    double min() const { return m_min; }
    double max() const { return m_max; }

private:
    // The track's length in the plane's units, where the pointer is measured.
    double trackLength(SLB_DragContext& context) const;
    void keepMaxAboveMin();

    AT_DoubleAttr* m_attribute;
    AT_ScalarSimpleAttrSurrogate* m_surrogate;
    SmPtr<AT_AttrSurrogate> m_handle;
    Math::CameraTransformChain m_chain;
    bool m_horizontal;
    double m_xmin, m_ymin;
    double m_steps;
    double m_start[2];
    double m_position[2];
    SliderPlacement m_placement;
    double m_startRatio;
    double m_length;
    double m_min, m_max;
};
