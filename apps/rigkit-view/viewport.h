#pragma once

// The viewport: draws the scene with the plug-in's painters in the window's OpenGL context
// and turns the mouse into what the host's viewport does with it. A click picks through
// the picking pass and asks the node's pick adaptor; a left drag drives the picked node's
// manipulator with its preview at every move and records its command on release; Escape
// cancels a drag; the wheel zooms and the middle button pans.

#include "apps/core/script.h"
#include "apps/core/session.h"
#include "host/draw/VS_SceneRenderer.h"

#include <QOpenGLWidget>

#include <memory>
#include <optional>
#include <vector>

class CC_CameraChainTransformCanvasBinder;
class SLB_DragContext;
class VS_ArtCache;
class SLB_DragSession;
class VS_Canvas;
class QOpenGLFramebufferObject;

namespace viewer {

class Viewport : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit Viewport(runner::Session& session, QWidget* parent = nullptr);
    ~Viewport() override;

    QSize sizeHint() const override;

    // The view as drawn now: the widget's size in device pixels, the current camera and frame.
    VS_View view() const;
    // Draws the ordinary or picking pass into the widget's framebuffer and reads it back.
    VS_PickImage grab(bool pick);

    // Looks through the scene's camera again, dropping the user's zoom and pan.
    void resetCamera();
    // Moves the camera so that every node's origin is in view, with a margin.
    void frameAll();
    // The "camera" step that looks as the view does now, or null when the session's
    // camera already does (a zoom or pan not yet carried out as a step).
    runner::Json viewStep() const;
    // Puts another scene in place of the session's (its GL resources go with the widget's
    // context current); the camera, zoom and pan stay.
    void replaceScene(runner::Scene scene);

    // The name of the cursor the pointer shows over the viewport ("PointingHandCursor").
    QString cursorName() const;
    // What the last hover found: a pick of the pixel under the pointer, without selecting,
    // asked to the pick adaptor of the node there. Public for measuring.
    QString hoverAt(const Math::Point2d& at, Qt::KeyboardModifiers modifiers);

    bool isDragging() const;
    // Ends a drag in progress and throws its edit away: the scene stays as it was.
    void cancelDrag();

    // Plays a drag given in the pointer frame, as keys nudging a control do: no mouse
    // events, the manipulator gets the coordinates exactly. False when it cannot start.
    bool playPointerDrag(const runner::DragGesture& gesture);

    // For drags that a script plays: leave the selection alone, drag `node` (when not
    // null) whatever is under the pointer, and give its manipulator this manipulation
    // mode. Cleared by passing false.
    void setScriptedDrag(bool scripted, MO_Node* node, std::optional<int> manipMode);
    // A script's "click" picks, as it does in rigkit-run, and presses no manipulator: a
    // pressed button is a "drag" step, in a script as in a recording.
    void setClickPicksOnly(bool picksOnly) { m_clickPicksOnly = picksOnly; }

signals:
    // After every change the window shows elsewhere: an edit recorded or cancelled, a
    // selection changed.
    void changed();
    // A user's click or drag, as the runner's step that replays it: a click at the point of
    // the scene's own view that shows what the pointer was over, a drag in the pointer
    // frame through every point the pointer moved to.
    void performed(const runner::Json& step);
    // The pointer moved over a control (its node and handle kind), or off every control
    // (an empty text).
    void hovered(const QString& what);
    // A zoom or pan ended, F framed the scene, or the left button is about to act in a
    // view the session's camera does not show: viewStep() makes that view the session's.
    void viewMoved();

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // An orthographic view fitted to what the controls draw, not only to their origins.
    void fitDrawnExtent();
    Math::Point2d windowPoint(const QPointF& position) const;
    Math::CameraTransformChain camera() const;
    VS_PickHit pickAt(const Math::Point2d& at);
    // Binds a single-sampled framebuffer of the widget's size for the picking pass, so that
    // it never draws into (nor reads from) the multisampled picture; false when GL refuses.
    bool bindPickBuffer();
    // Binds a buffer with the scene's samples the size of the pick buffer; false when the
    // scene asks for none or GL cannot make one.
    bool bindSmoothBuffer();
    void hoverLater();
    // Sets up the drag context and session for a drag of `node`; the caller presses.
    void prepareDrag(Qt::KeyboardModifiers modifiers, std::optional<int> manipMode);
    void startDrag(MO_Node* node, const Math::Point2d& at, Qt::KeyboardModifiers modifiers);
    void endDrag(bool record);
    // Where the scene's camera, at the scene's size, shows what the view shows at `at`.
    Math::Point2d scenePoint(const Math::Point2d& at) const;
    runner::Json dragStep() const;

    runner::Session& m_session;
    // Starts as the scene's camera; zoom and pan change it.
    runner::Camera m_camera;
    // The view's canvas and binder during a drag: manipulators that work in a parent
    // transformation start from its chain.
    std::unique_ptr<VS_Canvas> m_canvas;
    std::unique_ptr<CC_CameraChainTransformCanvasBinder> m_binder;
    std::unique_ptr<SLB_DragContext> m_dragContext;
    std::unique_ptr<SLB_DragSession> m_dragSession;
    Math::Point2d m_pressedAt;
    bool m_moved = false;
    // The user's drag in the pointer frame: the press, then every move.
    std::vector<Math::Point3d> m_dragPath;
    Qt::KeyboardModifiers m_dragModifiers;
    MO_Node* m_dragNode = nullptr;
    // The pressed node's values at the press, to tell whether a click that never moved
    // changed them (a button does) and must be replayed as a press.
    std::vector<std::pair<std::string, runner::Json>> m_valuesAtPress;
    bool m_scripted = false;
    bool m_clickPicksOnly = false;
    MO_Node* m_scriptNode = nullptr;
    std::optional<int> m_scriptManipMode;
    bool m_panning = false;
    Math::Point2d m_panFrom;
    // Pictures of the labels, kept in the widget's context and dropped with it.
    std::unique_ptr<VS_ArtCache> m_artCache;
    std::unique_ptr<QOpenGLFramebufferObject> m_pickBuffer;
    // Where scripted pictures are drawn at the scene's samples, before they are resolved
    // into the pick buffer.
    std::unique_ptr<QOpenGLFramebufferObject> m_smoothBuffer;
    // Hover picks wait for the events queued before them, so a burst of moves costs one.
    bool m_hoverPending = false;
    Math::Point2d m_hoverAt;
    Qt::KeyboardModifiers m_hoverModifiers;
    QString m_hovered;
};

}  // namespace viewer
