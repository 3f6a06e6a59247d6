#pragma once

// One drag of a node's control, driven the way the viewport drives it: the press starts the
// node's manipulator, every move updates its preview, and the release records what it made
// as one undoable operation.

#include "host/commands/CO_Command.h"
#include "host/host_api.h"
#include "host/math/Math.h"

#include <memory>

class MO_Node;
class SLB_DragContext;

class HOST_API SLB_DragSession {
public:
    SLB_DragSession(SLB_DragContext& context, CO_UndoHistory& history);
    ~SLB_DragSession();

    // Starts dragging `node` from a window point. False when the node has no manipulator,
    // cannot be selected, or the point has no place in the scene.
    bool press(MO_Node* node, const Math::Point2d& window);
    // Moves to a window point; ignored outside a drag or where the point has no place.
    void move(const Math::Point2d& window);
    // The same with the pointer given in the pointer frame, as the host hands it over when
    // no window point stands behind it (keys that nudge a control).
    bool pressAt(MO_Node* node, const Math::Point3d& pointer);
    void moveTo(const Math::Point3d& pointer);
    // Ends the drag: the manipulator finishes into a new macro, which is executed and
    // recorded under the operation name the manipulator gave. Returns whether something
    // was recorded (a drag that made no command, or whose command refused, records
    // nothing).
    bool release();
    // Ends the drag and throws away what it made, unexecuted: the scene stays as it was.
    void cancel();

    bool isDragging() const { return m_node != nullptr; }
    // Where the session's pointer is in the pointer frame, for a window point.
    bool pointerAt(const Math::Point2d& window, Math::Point3d& pointer) const;

private:
    std::unique_ptr<CO_OrCommand> finish();

    SLB_DragContext& m_context;
    CO_UndoHistory& m_history;
    MO_Node* m_node = nullptr;
};
