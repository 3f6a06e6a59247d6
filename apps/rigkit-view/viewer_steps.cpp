#include "apps/rigkit-view/viewer_steps.h"

#include "apps/core/scene_loader.h"

#include "apps/rigkit-view/inspector.h"
#include "apps/rigkit-view/outliner.h"
#include "apps/rigkit-view/viewer_window.h"
#include "apps/rigkit-view/viewport.h"
#include "host/scene/MO_Node.h"

#include <QApplication>
#include <QStatusBar>
#include <QMouseEvent>

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <filesystem>

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
    window.viewport()->setClickPicksOnly(true);
    sendMouse(window.viewport(), QEvent::MouseButtonPress, point, Qt::LeftButton, modifiers);
    sendMouse(window.viewport(), QEvent::MouseButtonRelease, point, Qt::NoButton, modifiers);
    window.viewport()->setClickPicksOnly(false);
}

// An edit made through the inspector's editors, on the node it shows:
// {"inspect": {"attribute": "tx", "value": 1}} or {"inspect": {"property": "color", "value": [...]}};
// or typed into an editor as a user does, {"inspect": {"attribute": "tx", "type": "2.5e2",
// "index": 0, "shows": "250"}}, where "shows" is what the editor must show afterwards.
void playInspect(ViewerWindow& window, const runner::Json& argument) {
    if (!argument.is_object() || argument.contains("attribute") == argument.contains("property") ||
        argument.contains("value") == argument.contains("type"))
        throw runner::RunError("", "an \"inspect\" step takes {\"attribute\" or \"property\": name, \"value\": v "
                                   "or \"type\": text}");
    Inspector* inspector = window.inspector();
    MO_Node* node = inspector->node();
    if (!node)
        throw runner::RunError("", "the inspector shows no node (select one first)");
    const bool isAttribute = argument.contains("attribute");
    const std::string name = runner::requireString(argument[isAttribute ? "attribute" : "property"], "inspect");
    if (argument.contains("type")) {
        const int index = static_cast<int>(runner::requireNumber(argument.value("index", runner::Json(0)), "index"));
        QString shows;
        if (!inspector->type(isAttribute ? QStringLiteral("Attributes") : QStringLiteral("Properties"),
                             QString::fromStdString(name), index,
                             QString::fromStdString(runner::requireString(argument["type"], "type")), shows))
            throw runner::RunError("", "the inspector has no text editor " + std::to_string(index) + " for " + name);
        const std::string expected = argument.value("shows", shows.toStdString());
        if (shows.toStdString() != expected)
            throw runner::RunError("", "the editor of " + name + " shows " + runner::quote(shows.toStdString()) +
                                           ", expected " + runner::quote(expected));
        return;
    }
    const runner::Json& value = argument["value"];
    if (isAttribute) {
        AT_Attr* attribute = node->attribute(QString::fromStdString(name));
        if (!attribute)
            throw runner::RunError("",
                                   "node " + node->name().toStdString() + " has no attribute " + runner::quote(name));
        inspector->editAttribute(attribute, value);
    } else {
        inspector->editProperty(QString::fromStdString(name), runner::propertyValue(value, "inspect.value"));
    }
}

// {"within": seconds, "steps": [...]}: plays the steps again, letting the window take its
// events in between, until they all pass; for what arrives from outside (a file saved).
void playWithin(runner::ScriptContext& c, const runner::Json& a, const runner::Json& s) {
    const double seconds = runner::requireNumber(a, "within");
    const runner::Json steps = s.value("steps", runner::Json());
    runner::requireArray(steps, "steps");
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        try {
            runner::playScript(steps, *c.steps, c);
            return;
        } catch (const runner::RunError& e) {
            if (clock.elapsed() > seconds * 1000.0)
                throw runner::RunError("", "not within " + runner::show(a) + " s: " + e.what());
        }
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
}

void expectLoadError(ViewerWindow& window, const runner::Json& a) {
    const std::string expected = runner::requireString(a, "expectLoadError");
    const std::string shown = window.document().loadError().toStdString();
    if (expected.empty() ? !shown.empty() : shown.find(expected) == std::string::npos)
        throw runner::RunError("", "the window shows the load error " + runner::quote(shown) + ", expected " +
                                       (expected.empty() ? std::string("none") : "one holding " + runner::quote(expected)));
}

// A file a step names: a relative name goes below --out, as pictures do.
std::string outPath(const runner::ScriptContext& c, const std::string& name) {
    if (name.empty())
        throw runner::RunError("", "the step needs a file name");
    std::filesystem::path file(name);
    if (file.is_relative() && !c.outDir.empty())
        file = std::filesystem::path(c.outDir) / file;
    return file.string();
}

// File > Save As, with the file named.
void saveAs(ViewerWindow& window, const runner::ScriptContext& c, const runner::Json& a) {
    const std::string file = outPath(c, runner::requireString(a, "saveAs"));
    if (!window.document().saveTo(QString::fromStdString(file)))
        throw runner::RunError("", "the scene could not be saved as " + runner::quote(file));
}

// What the status bar says now, for answers the window gives there (a reload it did not
// make, a save).
void expectStatus(ViewerWindow& window, const runner::Json& a) {
    const std::string expected = runner::requireString(a, "expectStatus");
    const std::string shown = window.statusBar()->currentMessage().toStdString();
    if (shown.find(expected) == std::string::npos)
        throw runner::RunError("", "the status bar says " + runner::quote(shown) + ", expected " +
                                       runner::quote(expected));
}

// {"expectCursor": "PointingHandCursor"}: the viewport's cursor, which follows the
// pointer's hover; with "within", waits for a pointer moved from outside.
void expectCursor(ViewerWindow& window, const runner::Json& a) {
    const std::string expected = runner::requireString(a, "expectCursor");
    const std::string shown = window.viewport()->cursorName().toStdString();
    if (shown != expected)
        throw runner::RunError("", "the cursor is " + runner::quote(shown) + ", expected " + runner::quote(expected));
}

// The steps that act on the window as a user does, in place of the runner's.
void overrideSteps(runner::StepTable& table, ViewerWindow& window) {
    table.override("drag", [&window](runner::ScriptContext& c, const runner::Json& a, const runner::Json&) {
        playDrag(window, c, a);
    });
    table.override("click", [&window](runner::ScriptContext&, const runner::Json& a, const runner::Json& s) {
        playClick(window, a, s);
    });
    table.override("camera", [&window, camera = table.find("camera")->play](
                                 runner::ScriptContext& c, const runner::Json& a, const runner::Json& s) {
        camera(c, a, s);
        window.viewport()->resetCamera();
    });
}

}  // namespace

runner::StepTable viewerSteps(ViewerWindow& window) {
    runner::StepTable table = runner::defaultSteps();
    overrideSteps(table, window);
    using runner::Json;
    using runner::ScriptContext;
    table.add("inspect", [&window](ScriptContext&, const Json& a, const Json&) { playInspect(window, a); });
    table.add("save", [&window](ScriptContext&, const Json&, const Json&) {
        if (!window.document().save())
            throw runner::RunError("", "the scene could not be saved");
    });
    table.add("saveAs", [&window](ScriptContext& c, const Json& a, const Json&) { saveAs(window, c, a); });
    table.add("expectLoadError", [&window](ScriptContext&, const Json& a, const Json&) { expectLoadError(window, a); });
    table.add("expectStatus", [&window](ScriptContext&, const Json& a, const Json&) { expectStatus(window, a); });
    table.add("expectCursor", [&window](ScriptContext&, const Json& a, const Json&) { expectCursor(window, a); });
    // {"expectRecovery": true}: the recovery file holds the unsaved edits as they are now.
    table.add("expectRecovery", [&window](ScriptContext&, const Json& a, const Json&) {
        if (!runner::requireBool(a, "expectRecovery"))
            throw runner::RunError("", "\"expectRecovery\" takes true");
        if (!window.document().recoveryIsCurrent())
            throw runner::RunError("", "the recovery file does not hold the unsaved edits yet");
    });
    // View > Frame All, as the F key asks for it.
    table.add("frameAll", [&window](ScriptContext&, const Json& a, const Json&) {
        if (!a.is_boolean() || !a.get<bool>())
            throw runner::RunError("", "\"frameAll\" takes true, not " + runner::describe(a));
        window.viewport()->frameAll();
    });
    // File > Open with the file named (a relative name below --out, as for "saveAs").
    table.add("open", [&window](ScriptContext& c, const Json& a, const Json&) {
        if (!window.document().openFile(QString::fromStdString(outPath(c, runner::requireString(a, "open")))))
            throw runner::RunError("", "the file " + runner::show(a) + " could not be opened");
    });
    // {"expectTitle": "scene.json* - rigkit-view"}: the window's title as shown.
    table.add("expectTitle", [&window](ScriptContext&, const Json& a, const Json&) {
        const std::string expected = runner::requireString(a, "expectTitle");
        const std::string shown = window.shownTitle().toStdString();
        if (shown != expected)
            throw runner::RunError("", "the title is " + runner::quote(shown) + ", expected " + runner::quote(expected));
    });
    table.add("within", playWithin, {"steps"});
    addOutlinerSteps(table, window);
    return table;
}

}  // namespace viewer
