#include "manipulators/drag_cycle.h"

#include "host/scene/MO_Node.h"
#include "host/scene/SLB_Selection.h"
#include "manipulators/attribute_commands.h"
#include "registry/component.h"

namespace rigkit {

DragPlaneProjector::DragPlaneProjector(const Math::CameraTransformChain& chain, int source, int destination)
    : m_source(source),
      m_destination(destination),
      m_chain(chain),
      m_projection(Math::Matrix4x4(), true),
      m_valid(false) {
    // Asked of the chain given rather than of the copy, so that a chain kept for a whole
    // drag works the plane's matrix out once, not at every move.
    Math::Matrix4x4 toScreen;
    m_valid = chain.compoundMatrix(static_cast<Math::SourceReferenceFrame_e>(m_destination),
                                   Math::DestinationScreenFrame, toScreen);
    if (m_valid)
        m_projection = Math::PlaneProjection(toScreen, true);
}

bool DragPlaneProjector::project(double x, double y, double z, Math::Point2d& q) const {
    if (!m_valid)
        return false;
    Math::Point3d s;
    if (!m_chain.transform(static_cast<Math::SourceReferenceFrame_e>(m_source), Math::DestinationScreenFrame,
                           Math::Point3d(x, y, z), s))
        return false;
    return m_projection.getInverseProjection(s.x, s.y, q);
}

bool pointerOnModelPlane(const Math::CameraTransformChain& chain, double x, double y, double z, Math::Point2d& q) {
    return DragPlaneProjector(chain, PointerFrame, ModelFrame).project(x, y, z, q);
}

int surrogateFrame(const SLB_DragContext& context) {
    return truncateToInt(context.currentFrame());
}

bool startScalarDrag(SLB_DragContext& context, SLB_SelectedInterface* selected, AT_DoubleAttr* attr,
                     AT_ScalarSimpleAttrSurrogate*& surrogate, SmPtr<AT_AttrSurrogate>& handle,
                     Math::CameraTransformChain& chain, double& startValue) {
    if (!selected)
        return false;
    startValue = attr->valueAt(context.frame(), nullptr, nullptr);
    attachSurrogate(attr, new AT_ScalarSimpleAttrSurrogate(attr, startValue, surrogateFrame(context)),
                    surrogate, handle);
    context.cameraTransformChain(chain, selected->selectable(), true);
    return true;
}

void finishScalarDrag(SLB_DragContext& context, AT_DoubleAttr* attr, AT_ScalarSimpleAttrSurrogate*& surrogate,
                      SmPtr<AT_AttrSurrogate>& handle, const QString& operationName) {
    CO_OrCommand* macro = context.macro();
    if (!macro)
        return;
    context.setCurrentOperationName(operationName);
    const double newValue = attr->valueAt(context.currentFrame(), nullptr, nullptr);
    detachSurrogate(attr, surrogate, handle);
    CO_Command* command;
    if (context.animationMode() == CX_AnimationModeCurrentFrame) {
        command = new SetValueCurrentFrameCmd(context.sceneCommon(), attr, context.currentFrame(), newValue, false,
                                              false, false, false);
    } else {
        const double offset = newValue - attr->valueAt(context.currentFrame(), nullptr, nullptr);
        command = new OffsetValueAllFramesCmd(attr, offset, context.frameRange());
    }
    macro->add(command);
}

}  // namespace rigkit
