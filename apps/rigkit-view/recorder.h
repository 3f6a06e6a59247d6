#pragma once

// Records a session in the window as a runner scene, so that it replays in rigkit-run: the
// document as it was when recording started, then every step the user took (clicks,
// drags, frame and mode changes, inspector edits, undo and redo, and whatever else the
// window carries out as a step), each edit followed by an "expect" step of the values it
// changed. A script that plays while recording is recorded too.

#include "apps/core/script.h"

#include <QObject>

#include <map>
#include <string>

class QAction;

namespace viewer {

class ViewerWindow;

class Recorder : public QObject {
    Q_OBJECT
public:
    // Listens to the window's steps and adds File > Record to its menu.
    explicit Recorder(ViewerWindow& window);

    bool isRecording() const { return m_recording; }
    // Forgets what was recorded and starts again from the scene as it is now.
    void start();
    // Writes what was recorded so far to `file`; false, with `why`, when it cannot.
    bool write(const std::string& file, std::string& why) const;
    void stop();

    // `table` with each of its steps recorded as it plays (a script's steps). The runner's
    // own steps are recorded as written and what they do in the window is not recorded
    // again; the viewer's steps are recorded by what they do (an "inspect" as its edit).
    runner::StepTable recording(runner::StepTable table);

    // The values a recording checks: every attribute at the current frame, and the
    // selection, by path.
    static std::map<std::string, runner::Json> values(runner::Session& session);

private:
    void record(const runner::Json& step);
    void toggle();

    ViewerWindow& m_window;
    QAction* m_action = nullptr;
    bool m_recording = false;
    // Inside a runner step that a script plays: what the window does for it is that step.
    int m_playing = 0;
    runner::Json m_document;
    runner::Json m_steps;
    std::map<std::string, runner::Json> m_values;
};

}  // namespace viewer
