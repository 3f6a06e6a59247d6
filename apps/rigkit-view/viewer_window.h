#pragma once

// The viewer's window: the viewport, a timeline (frame slider, play/stop), the animation
// mode (the current frame, or a frame range), the undo history as a list, the inspector and
// the host's messages in the status bar. The script context is the model: its frame,
// animation mode, range and history are what the window shows and changes.
//
// The window also keeps the scene file: it reloads it when it changes on disk, saves the
// scene back into it, and keeps a recovery file of unsaved edits beside it.

#include "apps/rigkit-run/script.h"

#include <QMainWindow>

class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QDoubleSpinBox;
class QListWidget;
class QPushButton;
class QSlider;
class QTimer;

namespace viewer {

class Inspector;
class Viewport;

// How the window's questions are answered: by the user, or always yes or always no (for
// scripts and tests, which no dialog may stop).
enum class Answer { Ask, Yes, No };

class ViewerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ViewerWindow(runner::ScriptContext& context, QWidget* parent = nullptr);

    Viewport* viewport() const { return m_viewport; }

    // Shows what the context holds now (after a script step changed it behind our back).
    void refresh();

    void undo();
    void redo();

    Inspector* inspector() const { return m_inspector; }
    // Sizes the window so that the viewport shows the scene's viewport at its size, as far
    // as the screen has room; the window then opens where the window manager puts it.
    void openAtSceneSize();
    void setAnswer(Answer answer) { m_answer = answer; }
    // Whether unsaved edits are kept in a recovery file (not for a script's run that ends
    // by itself: nothing a user did is at stake).
    void setRecoveryWrites(bool on) { m_recoveryWrites = on; }

    // The scene file the window shows, the document it was loaded from, and whether the
    // window should offer a recovery file of unsaved edits found beside it. Starts
    // watching the file.
    void openScene(const std::string& file, const runner::Json& document);
    // Loads the scene file again, keeping the view, the frame, the animation mode and the
    // selection (by node name); the undo history starts again. A file that cannot be
    // loaded leaves the scene as it was and shows why. With unsaved edits, asks first.
    void reload();
    bool save();
    bool saveAs();
    // Save As without the dialog: the scene goes to `file`, which the window then shows.
    bool saveTo(const QString& file) { return writeScene(file); }
    // Whether the scene differs from the file as last loaded or saved.
    bool hasUnsavedEdits() const;
    // Closes without asking about unsaved edits (a script's run ends).
    void closeWithoutAsking();
    QString recoveryFile() const;
    // The message shown over the viewport when the file could not be loaded; empty when
    // none is.
    QString loadError() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setFrame(double frame);
    void setAnimationMode();
    void togglePlay();
    void tick();
    void showNewMessages();
    bool ask(const QString& question);
    void fileMayHaveChanged();
    void watch();
    void showLoadError(const QString& message);
    bool writeScene(const QString& file);
    void scheduleRecovery();
    void writeRecovery();
    void removeRecovery();
    void offerRecovery();
    runner::Json currentDocument() const;

    runner::ScriptContext& m_context;
    Viewport* m_viewport = nullptr;
    QSlider* m_frameSlider = nullptr;
    QDoubleSpinBox* m_frameBox = nullptr;
    QPushButton* m_play = nullptr;
    QTimer* m_timer = nullptr;
    QComboBox* m_mode = nullptr;
    QDoubleSpinBox* m_first = nullptr;
    QDoubleSpinBox* m_last = nullptr;
    QListWidget* m_history = nullptr;
    Inspector* m_inspector = nullptr;
    QLabel* m_error = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_reloadTimer = nullptr;
    QTimer* m_recoveryTimer = nullptr;
    std::size_t m_messagesShown = 0;
    bool m_refreshing = false;
    bool m_closing = false;
    bool m_recoveryWrites = true;
    Answer m_answer = Answer::Ask;
    QString m_file;
    // The document the scene was loaded from: what the scene does not model is saved from it.
    runner::Json m_document;
    // The scene as the file holds it (as last loaded or saved), to tell unsaved edits.
    runner::Json m_saved;
    // The file's bytes as last read or written: a change notice that leaves them the same
    // (the window's own save, a touch) reloads nothing.
    QByteArray m_fileText;
};

}  // namespace viewer
