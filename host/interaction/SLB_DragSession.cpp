#include "host/interaction/SLB_DragSession.h"

#include "host/math/CameraTransformChain.h"
#include "host/scene/MO_Node.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/components.h"

SLB_DragSession::SLB_DragSession(SLB_DragContext& context, CO_UndoHistory& history)
    : m_context(context), m_history(history) {}

SLB_DragSession::~SLB_DragSession() {
    if (isDragging())
        cancel();
}

bool SLB_DragSession::pointerAt(const Math::Point2d& window, Math::Point3d& pointer) const {
    return m_context.camera().pointerPosition(window, pointer);
}

bool SLB_DragSession::press(MO_Node* node, const Math::Point2d& window) {
    Math::Point3d p;
    return pointerAt(window, p) && pressAt(node, p);
}

bool SLB_DragSession::pressAt(MO_Node* node, const Math::Point3d& p) {
    // Only what can be selected can be dragged.
    if (!node || !node->manipulator() || !node->selInterface())
        return false;
    m_node = node;
    m_context.setCurrentOperationName(QString());
    node->manipulator()->dragStarted(m_context, node->selInterface(), p.x, p.y, p.z);
    return true;
}

void SLB_DragSession::move(const Math::Point2d& window) {
    Math::Point3d p;
    if (isDragging() && pointerAt(window, p))
        moveTo(p);
}

void SLB_DragSession::moveTo(const Math::Point3d& p) {
    if (isDragging())
        m_node->manipulator()->drag(m_context, m_node->selInterface(), p.x, p.y, p.z);
}

std::unique_ptr<CO_OrCommand> SLB_DragSession::finish() {
    auto macro = std::make_unique<CO_OrCommand>(true);
    m_context.setMacro(macro.get());
    m_node->manipulator()->dragFinished(m_context, m_node->selInterface());
    m_context.setMacro(nullptr);
    m_node = nullptr;
    return macro;
}

bool SLB_DragSession::release() {
    if (!isDragging())
        return false;
    std::unique_ptr<CO_OrCommand> macro = finish();
    if (macro->isEmpty())
        return false;
    return m_history.perform(m_context.currentOperationName(), std::move(macro));
}

void SLB_DragSession::cancel() {
    if (isDragging())
        finish();
}
