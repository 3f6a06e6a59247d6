#pragma once

// The scene file the window shows. The controller reads it into a document and builds the
// scene (which it owns, with the session that edits it), watches the file and loads it
// again when it changes on disk, saves the scene back into it and keeps a recovery file of
// unsaved edits beside it. Every question it asks goes through its answer policy, so that
// scripts and tests are never stopped by a dialog.

#include "apps/core/document.h"
#include "apps/core/scene_loader.h"
#include "apps/core/session.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <string>

class QFileSystemWatcher;
class QTimer;
class QWidget;

namespace viewer {

// How questions are answered: by the user, or always yes or always no.
enum class Answer { Ask, Yes, No };

class DocumentController : public QObject {
    Q_OBJECT
public:
    // What the controller needs of the window that shows the scene.
    class Window {
    public:
        virtual ~Window() = default;
        // The parent of dialogs.
        virtual QWidget* dialogParent() = 0;
        virtual void showStatus(const QString& message) = 0;
        // Over the viewport; an empty message hides it.
        virtual void showLoadError(const QString& message) = 0;
        // The file the scene is loaded from and saved to.
        virtual void showFile(const QString& file) = 0;
        // A drag's preview is not an edit yet.
        virtual bool isDragging() const = 0;
        // Ends any drag and puts `scene` in place of the session's, keeping the user's view
        // unless `keepView` is false (nothing was shown before).
        virtual void replaceScene(runner::Scene scene, bool keepView) = 0;
    };

    // `recoveryWrites`: whether unsaved edits are kept in a recovery file (not for a
    // script's run that ends by itself: nothing a user did is at stake).
    DocumentController(Answer answer, bool recoveryWrites, QObject* parent = nullptr);
    ~DocumentController() override;

    runner::Session& session() { return m_session; }
    const runner::Scene& scene() const { return m_scene; }

    // Reads and builds the scene of `file`. False when it cannot be loaded: `why` says so
    // ("file: where: what"), and the scene stays empty until the file loads.
    bool read(const std::string& file, std::string& why);
    // Shows the scene in `window`: the load error if any, then watching the file and
    // offering a recovery file of unsaved edits found beside it.
    void open(Window& window);

    // Loads the file again, keeping the view, the frame, the animation mode and the
    // selection (by node name); the undo history starts again. A file that cannot be
    // loaded leaves the scene as it was and shows why. With unsaved edits, asks first.
    void reload();
    // Shows another file in place of this one, as the first was shown (its recovery file
    // offered). With unsaved edits, asks first; a file that cannot be loaded leaves the
    // scene as it was and says why.
    bool openFile(const QString& file);
    // File > Open: the file chosen in a dialog.
    bool openDialog();
    bool save();
    bool saveAs();
    // Save As without the dialog: the scene goes to `file`, which the window then shows.
    bool saveTo(const QString& file);
    // Whether the scene differs from the file as last loaded or saved.
    bool hasUnsavedEdits() const;
    // The message shown over the viewport when the file could not be loaded; empty when
    // none is.
    QString loadError() const { return m_loadError; }
    QString recoveryFile() const;

    // The scene as a save would write it now.
    std::string currentText() const;
    // Whether the recovery file holds the scene as it is now.
    bool recoveryIsCurrent() const;
    // After every edit: unsaved edits reach the recovery file within a second.
    void scheduleRecovery();
    // Whether the window may close now: with unsaved edits it asks whether to save them
    // first (yes, no, or stay open), unless it closes without asking.
    bool mayClose();
    void closeWithoutAsking() { m_closing = true; }

private:
    bool ask(const QString& question);
    void showLoadError(const QString& message);
    void clearLoadError();
    void fileMayHaveChanged();
    void watch();
    void writeRecovery();
    void removeRecovery();
    void offerRecovery();
    // Reads and builds a file: throws runner::RunError.
    runner::Scene load(const QString& file, runner::Document& document) const;
    bool writeScene(const QString& file);
    // Rereads the file's bytes, to tell its own save or a touch from a change.
    void rememberFileText();

    Answer m_answer;
    bool m_recoveryWrites;
    bool m_closing = false;
    Window* m_window = nullptr;
    runner::Scene m_scene;
    runner::Session m_session{m_scene};
    QString m_file;
    // The document the scene was built from: what the scene does not model is saved from it.
    runner::Document m_document;
    // The scene as the file holds it (as last loaded or saved), to tell unsaved edits.
    runner::Document m_saved;
    // Whether a scene from the file is shown (not when it could not be loaded at first).
    bool m_shown = false;
    // Why the file could not be loaded when first read, until the window shows it.
    QString m_readError;
    QString m_loadError;
    // The file's bytes as last read or written: a change notice that leaves them the same
    // (the window's own save, a touch) reloads nothing.
    QByteArray m_fileText;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_reloadTimer = nullptr;
    QTimer* m_recoveryTimer = nullptr;
};

}  // namespace viewer
