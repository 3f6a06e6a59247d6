#pragma once

// Drag manipulators that move a point over the plane of the node's frame: a 2D position,
// held within limits, snapping to listed values with Control held and optionally dragged
// in the frame of the node's parent transformation; and a 3D position, which moves in
// that plane alone.

#include "host/base/SmPtr.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/AT_Surrogate.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"
#include "registry/export.h"

#include <vector>

namespace rigkit {

// The values of a list-valued property in order, each read with `def` as its default;
// empty when the node does not define the key.
std::vector<double> readDoubleList(const MO_PropertyAccessor& properties, const QString& key, double def);

}  // namespace rigkit

class Position2dDragManipulator : public SLB_SelectableDragManipulator, public MO_PropertyChangeListener {
public:
    Position2dDragManipulator(const MO_PropertyAccessor& properties, AT_Position2dAttr* attribute);
    Position2dDragManipulator(const Position2dDragManipulator&) = delete;
    Position2dDragManipulator& operator=(const Position2dDragManipulator&) = delete;
    ~Position2dDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

    // Re-reads the limits only; a limit the node no longer defines keeps its value.
    void update(const MO_PropertyAccessor& properties) override;

private:
    void snapToNearest(Math::Point2d& position) const;
    // Moves one coordinate to the next listed value, or the limit, in the direction of the
    // raw pointer's sign: x when the pointer's y is exactly 0, y when its x is.
    void stepToNext(Math::Point2d& position, double x, double y) const;

    AT_Position2dAttr* m_attribute;
    AT_Position2dAttrSurrogate* m_surrogate;
    SmPtr<AT_AttrSurrogate> m_handle;
    Math::CameraTransformChain m_chain;
    double m_offset[2];
    double m_lower[3];
    double m_upper[3];
    std::vector<double> m_yValues;
    std::vector<double> m_xValues;
    bool m_useParentTransformation;
    int m_parentTransformationPortIndex;
};

class RIGKIT_EXPORT Position3dDragManipulator : public SLB_SelectableDragManipulator {
public:
    Position3dDragManipulator(const MO_PropertyAccessor& properties, AT_Position3dAttr* attribute);
    Position3dDragManipulator(const Position3dDragManipulator& other);
    Position3dDragManipulator& operator=(const Position3dDragManipulator& other);
    ~Position3dDragManipulator() override;

    static const QString& TypeString();
    static SLB_SelectableDragManipulator* createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data);

    void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) override;
    void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) override;

private:
    AT_Position3dAttr* m_attribute;
    AT_Position3dAttrSurrogate* m_surrogate;
    SmPtr<AT_AttrSurrogate> m_handle;
    Math::CameraTransformChain m_chain;
    double m_offset[2];
};
