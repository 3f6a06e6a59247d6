#pragma once

// What every drag manipulator's cycle shares: the surrogate held during the drag, its
// start and finish, and the projection of the pointer onto the plane of the node's frame.

#include "host/base/SmPtr.h"
#include "host/math/CameraTransformChain.h"
#include "host/math/Math.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/AT_Surrogate.h"
#include "host/interaction/SLB_ManipContext.h"

#include <QString>

class SLB_SelectedInterface;

namespace rigkit {

// Reference frames of the camera transform chain, as the host numbers them.
enum Frame { ScreenFrame = 1, PointerFrame = 5, ModelFrame = 6 };

// Maps a pointer position onto the z = 0 plane of the destination frame. A value made where
// it is used: manipulators keep the chain, not a projector.
class DragPlaneProjector {
public:
    DragPlaneProjector(const Math::CameraTransformChain& chain, int source, int destination);
    // The point q of the plane under (x, y, z); false when the projector or a step fails.
    bool project(double x, double y, double z, Math::Point2d& q) const;
    bool isValid() const { return m_valid; }

private:
    int m_source;
    int m_destination;
    Math::CameraTransformChain m_chain;
    Math::PlaneProjection m_projection;
    bool m_valid;
};

// The point q of the z = 0 plane of the chain's model frame under the pointer (x, y, z),
// through a projector made from the chain; false when the plane cannot be projected (seen
// edge-on) or a step fails.
bool pointerOnModelPlane(const Math::CameraTransformChain& chain, double x, double y, double z, Math::Point2d& q);

// The frame a drag's surrogates are made for: the context's current frame as the host's
// integer, truncated toward zero and held within int's range.
int surrogateFrame(const SLB_DragContext& context);

// A drag's surrogate is held twice: by its raw pointer (null outside a drag) and by the
// shared handle that is attached to the attribute.
template <class S>
void attachSurrogate(AT_Attr* attr, S* made, S*& surrogate, SmPtr<AT_AttrSurrogate>& handle) {
    surrogate = made;
    handle = SmPtr<AT_AttrSurrogate>(made);
    attr->setSurrogate(handle);
}

template <class S>
void detachSurrogate(AT_Attr* attr, S*& surrogate, SmPtr<AT_AttrSurrogate>& handle) {
    attr->resetSurrogate();
    surrogate = nullptr;
    handle.reset();
}

// The start of a scalar drag: the value at the context's frame shown through a new
// surrogate, and the chain filled for the selected node. Returns the start value, or false
// when there is no selected interface (nothing is done then).
bool startScalarDrag(SLB_DragContext& context, SLB_SelectedInterface* selected, AT_DoubleAttr* attr,
                     AT_ScalarSimpleAttrSurrogate*& surrogate, SmPtr<AT_AttrSurrogate>& handle,
                     Math::CameraTransformChain& chain, double& startValue);

// The finish of a scalar drag: names the operation, takes the final value from the
// surrogate, detaches it and hands the macro the command that records the edit. Nothing at
// all happens without a macro.
void finishScalarDrag(SLB_DragContext& context, AT_DoubleAttr* attr, AT_ScalarSimpleAttrSurrogate*& surrogate,
                      SmPtr<AT_AttrSurrogate>& handle, const QString& operationName);

}  // namespace rigkit
