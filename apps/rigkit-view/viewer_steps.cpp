#include "apps/rigkit-view/viewer_steps.h"

#include "apps/rigkit-view/viewer_window.h"
#include "apps/rigkit-view/viewport.h"
#include "host/scene/MO_Node.h"

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>

namespace viewer {

namespace {

void sendMouse(Viewport* viewport, QEvent::Type type, const Math::Point2d& window, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers) {
    const qreal ratio = viewport->devicePixelRatioF();
    const QPointF local(window.x / ratio, window.y / ratio);
    // The viewport reads the exact local position. The global one is whole screen pixels,
    // and a scripted point far beyond any screen would not fit them: it is brought within
    // reach first.
    const QPointF onScreens(std::clamp(local.x(), -1e9, 1e9), std::clamp(local.y(), -1e9, 1e9));
    QMouseEvent event(type, local, local, viewport->mapToGlobal(onScreens.toPoint()), Qt::LeftButton, buttons,
                      modifiers);
    QApplication::sendEvent(viewport, &event);
}

void playDrag(ViewerWindow& window, runner::ScriptContext& context, const runner::Json& argument) {
    const runner::DragGesture gesture = runner::readDrag(context, argument);
    Viewport* viewport = window.viewport();
    if (gesture.inPointer) {
        if (!viewport->playPointerDrag(gesture))
            throw runner::RunError("", "cannot start dragging " + gesture.node->name().toStdString() + " at " +
                                           runner::show(argument["from"]));
        return;
    }
    viewport->setScriptedDrag(true, gesture.node, gesture.manipMode);
    sendMouse(viewport, QEvent::MouseButtonPress, gesture.from, Qt::LeftButton, gesture.modifiers);
    viewport->setScriptedDrag(false, nullptr, std::nullopt);
    if (!viewport->isDragging())
        throw runner::RunError("", "nothing to drag at " + runner::show(argument["from"]));
    for (int i = 1; i <= gesture.steps; ++i) {
        sendMouse(viewport, QEvent::MouseMove, gesture.pointAt(i), Qt::LeftButton, gesture.modifiers);
        QApplication::processEvents();
    }
    sendMouse(viewport, QEvent::MouseButtonRelease, gesture.to, Qt::NoButton, gesture.modifiers);
}

void playClick(ViewerWindow& window, const runner::Json& argument, const runner::Json& step) {
    const std::vector<double> at = runner::requireNumbers(argument, 2, "click");
    const Math::Point2d point(at[0], at[1]);
    const Qt::KeyboardModifiers modifiers = runner::readModifiers(step, "modifiers");
    sendMouse(window.viewport(), QEvent::MouseButtonPress, point, Qt::LeftButton, modifiers);
    sendMouse(window.viewport(), QEvent::MouseButtonRelease, point, Qt::NoButton, modifiers);
}

}  // namespace

runner::StepTable viewerSteps(ViewerWindow& window) {
    runner::StepTable table = runner::defaultSteps();
    table["drag"].play = [&window](runner::ScriptContext& c, const runner::Json& a, const runner::Json&) {
        playDrag(window, c, a);
    };
    table["click"].play = [&window](runner::ScriptContext&, const runner::Json& a, const runner::Json& s) {
        playClick(window, a, s);
    };
    table["camera"].play = [&window, camera = table["camera"].play](runner::ScriptContext& c, const runner::Json& a,
                                                                    const runner::Json& s) {
        camera(c, a, s);
        window.viewport()->resetCamera();
    };
    // Every step ends with the window showing its result.
    for (auto& entry : table) {
        auto play = entry.second.play;
        entry.second.play = [&window, play](runner::ScriptContext& c, const runner::Json& a, const runner::Json& s) {
            play(c, a, s);
            window.refresh();
            QApplication::processEvents();
        };
    }
    return table;
}

}  // namespace viewer
