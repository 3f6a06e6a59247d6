#pragma once

// The viewer's window: the viewport, a timeline (frame slider, play/stop), the animation
// mode (the current frame, or a frame range), the undo history as a list, the inspector and
// the host's messages in the status bar. It shows and changes the session of the document
// controller, which keeps the scene file (reload, save, recovery); the window gives it
// its dialogs, its status bar and the banner that says why a file could not be loaded.

#include "apps/rigkit-view/document_controller.h"

#include "apps/core/script.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <sstream>

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QDoubleSpinBox;
class QListWidget;
class QPushButton;
class QSlider;
class QTimer;

namespace viewer {

class Inspector;
class KeyTrack;
class Outliner;
class Viewport;

class ViewerWindow : public QMainWindow, public DocumentController::Window {
    Q_OBJECT
public:
    explicit ViewerWindow(DocumentController& document, QWidget* parent = nullptr);

    Viewport* viewport() const { return m_viewport; }
    Inspector* inspector() const { return m_inspector; }
    Outliner* outliner() const { return m_outliner; }
    KeyTrack* keyTrack() const { return m_keyTrack; }
    DocumentController& document() const { return m_document; }

    // Shows what the session holds now (after a script step changed it behind our back).
    void refresh();

    void undo();
    void redo();

    // Carries out one user action as the runner's step of the same name (so that a
    // recording of it replays in rigkit-run), shows what it changed and tells the step
    // observer. A step that fails says why in the status bar and is not reported to the
    // observer; the return value says whether it played.
    bool perform(const runner::Json& step);
    // Called with every step `perform` played (the recorder listens here); one at a time.
    void setStepObserver(std::function<void(const runner::Json&)> observer) { m_stepObserver = std::move(observer); }
    // Tells the observer of a step that was carried out elsewhere (a drag in the viewport,
    // an inspector edit).
    void tellObserver(const runner::Json& step);
    // Makes the viewport's zoom and pan the session's camera as a "camera" step, when they
    // differ: so the step is recorded, and a replay draws and clicks through that view.
    void takeView();

    // Sizes the window so that the viewport shows the scene's viewport at its size, as far
    // as the screen has room; the window then opens where the window manager puts it.
    void openAtSceneSize();
    // Closes without asking about unsaved edits (a script's run ends).
    void closeWithoutAsking();
    // The title as the window manager shows it: the file's name, starred with unsaved edits.
    QString shownTitle() const;

    // DocumentController::Window
    QWidget* dialogParent() override { return this; }
    void showStatus(const QString& message) override;
    void showLoadError(const QString& message) override;
    void showFile(const QString& file) override;
    bool isDragging() const override;
    void replaceScene(runner::Scene scene, bool keepView) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTimeline();
    QDockWidget* buildHistory();
    QDockWidget* buildInspector();
    void buildOutliner();
    void buildActions();
    void setFrame(double frame);
    void setAnimationMode();
    void togglePlay();
    void tick();
    void showHistory();
    void showNewMessages();

    DocumentController& m_document;
    runner::Session& m_session;
    Viewport* m_viewport = nullptr;
    QSlider* m_frameSlider = nullptr;
    QDoubleSpinBox* m_frameBox = nullptr;
    QPushButton* m_play = nullptr;
    QTimer* m_timer = nullptr;
    QComboBox* m_mode = nullptr;
    QDoubleSpinBox* m_first = nullptr;
    QDoubleSpinBox* m_last = nullptr;
    QAction* m_autoKey = nullptr;
    QListWidget* m_history = nullptr;
    Inspector* m_inspector = nullptr;
    Outliner* m_outliner = nullptr;
    KeyTrack* m_keyTrack = nullptr;
    QLabel* m_error = nullptr;
    std::size_t m_messagesShown = 0;
    bool m_refreshing = false;
    // What `perform` plays its steps with; made on first use, since the table refers to
    // the window.
    std::unique_ptr<runner::StepTable> m_steps;
    std::ostringstream m_stepOutput;
    std::unique_ptr<runner::ScriptContext> m_stepContext;
    std::function<void(const runner::Json&)> m_stepObserver;
};

}  // namespace viewer
