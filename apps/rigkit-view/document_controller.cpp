#include "apps/rigkit-view/document_controller.h"

#include "apps/core/scene_writer.h"
#include "apps/rigkit-view/recent_files.h"
#include "host/scene/SC_SceneCommon.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <sys/stat.h>

#include <iostream>

namespace viewer {

namespace {

// Editors that save by writing a new file and renaming it touch the directory several
// times; the reload waits for them to settle.
constexpr int kReloadDelayMs = 100;
// Unsaved edits reach the recovery file at most this often.
constexpr int kRecoveryIntervalMs = 1000;

std::string failure(const QString& file, const std::exception& e) {
    return file.toStdString() + ": " + runner::oneLine(e.what());
}

// Why `text` would not load as a scene file, read as the runner reads one; empty when it
// loads.
std::string loadFailure(const std::string& text) {
    try {
        runner::buildScene(runner::readDocument(std::make_shared<const runner::Json>(runner::parseDocument(text))));
        return {};
    } catch (const std::exception& e) {
        return runner::oneLine(e.what());
    }
}

}  // namespace

DocumentController::DocumentController(Answer answer, bool recoveryWrites, QObject* parent)
    : QObject(parent), m_answer(answer), m_recoveryWrites(recoveryWrites) {
    m_session.setDocument(&m_document);
    m_watcher = new QFileSystemWatcher(this);
    m_reloadTimer = new QTimer(this);
    m_reloadTimer->setSingleShot(true);
    m_reloadTimer->setInterval(kReloadDelayMs);
    connect(m_reloadTimer, &QTimer::timeout, this, &DocumentController::fileMayHaveChanged);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_reloadTimer, QOverload<>::of(&QTimer::start));
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_reloadTimer, QOverload<>::of(&QTimer::start));
    m_recoveryTimer = new QTimer(this);
    m_recoveryTimer->setSingleShot(true);
    m_recoveryTimer->setInterval(kRecoveryIntervalMs);
    connect(m_recoveryTimer, &QTimer::timeout, this, &DocumentController::writeRecovery);
}

// The history's commands point into the scene: they go first.
DocumentController::~DocumentController() {
    m_session.history.clear();
}

runner::Scene DocumentController::load(const QString& file, runner::Document& document) const {
    document = runner::readDocumentKeepingText(runner::readFileText(file.toStdString()));
    return runner::buildScene(document);
}

bool DocumentController::read(const std::string& file, std::string& why) {
    m_file = QString::fromStdString(file);
    rememberFileText();
    try {
        runner::Document document;
        m_scene = load(m_file, document);
        m_document = document;
        m_saved = runner::captureDocument(document, *m_scene.common);
        m_shown = true;
        recent_files::add(m_file);
        return true;
    } catch (const std::exception& e) {
        why = failure(m_file, e);
        m_readError = QString::fromStdString(why);
        return false;
    }
}

void DocumentController::open(Window& window) {
    m_window = &window;
    m_window->showFile(m_file);
    if (!m_readError.isEmpty())
        showLoadError(m_readError);
    watch();
    offerRecovery();
}

void DocumentController::rememberFileText() {
    QFile in(m_file);
    if (in.open(QIODevice::ReadOnly))
        m_fileText = in.readAll();
}

void DocumentController::watch() {
    // The file itself for editors that write in place; its directory for those that write
    // a new file and rename it over the old one, which ends the watch on the old file.
    const QFileInfo info(m_file);
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    if (info.exists())
        m_watcher->addPath(info.absoluteFilePath());
    m_watcher->addPath(info.absolutePath());
}

void DocumentController::fileMayHaveChanged() {
    QFile in(m_file);
    // Between an editor's removal and its rename the file is briefly missing: the rename
    // brings another notice.
    if (!in.open(QIODevice::ReadOnly))
        return;
    const QByteArray text = in.readAll();
    watch();
    if (text == m_fileText)
        return;
    m_fileText = text;
    reload();
}

void DocumentController::showLoadError(const QString& message) {
    m_loadError = message + (m_shown ? QStringLiteral("\n(still showing the last scene that loaded)")
                                     : QStringLiteral("\n(nothing is shown until the file loads)"));
    m_window->showLoadError(m_loadError);
    m_window->showStatus(message);
    std::cerr << message.toStdString() << std::endl;
}

void DocumentController::clearLoadError() {
    m_loadError.clear();
    m_window->showLoadError(QString());
}

bool DocumentController::ask(const QString& question) {
    if (m_answer != Answer::Ask)
        return m_answer == Answer::Yes;
    QWidget* parent = m_window->dialogParent();
    return QMessageBox::question(parent, parent->windowTitle(), question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool DocumentController::hasUnsavedEdits() const {
    return !m_file.isEmpty() && runner::captureDocument(m_document, *m_scene.common) != m_saved;
}

void DocumentController::reload() {
    runner::Document document;
    runner::Scene fresh;
    try {
        fresh = load(m_file, document);
    } catch (const std::exception& e) {
        showLoadError(QString::fromStdString(failure(m_file, e)));
        return;
    }
    if (hasUnsavedEdits() && !ask(QStringLiteral("%1 changed on disk. Load it and lose your unsaved edits?")
                                      .arg(QFileInfo(m_file).fileName()))) {
        m_window->showStatus(QStringLiteral("Kept your unsaved edits; the file on disk was not loaded"));
        return;
    }
    m_document = document;
    m_saved = runner::captureDocument(document, *fresh.common);
    clearLoadError();
    removeRecovery();
    m_window->replaceScene(std::move(fresh), m_shown);
    m_shown = true;
    m_window->showStatus(
        QStringLiteral("Reloaded %1; the undo history starts again").arg(QFileInfo(m_file).fileName()));
}

bool DocumentController::openFile(const QString& file) {
    runner::Document document;
    runner::Scene fresh;
    try {
        fresh = load(file, document);
    } catch (const std::exception& e) {
        const QString message = QString::fromStdString(failure(file, e));
        m_window->showStatus(QStringLiteral("Cannot open %1").arg(message));
        std::cerr << message.toStdString() << std::endl;
        return false;
    }
    if (hasUnsavedEdits() &&
        !ask(QStringLiteral("Open %1 and lose your unsaved edits?").arg(QFileInfo(file).fileName()))) {
        m_window->showStatus(QStringLiteral("Kept your unsaved edits; %1 was not opened").arg(file));
        return false;
    }
    // The edits given up here are not offered back the next time this file opens.
    removeRecovery();
    m_file = file;
    rememberFileText();
    m_document = document;
    m_saved = runner::captureDocument(document, *fresh.common);
    m_readError.clear();
    clearLoadError();
    m_window->replaceScene(std::move(fresh), false);
    m_shown = true;
    m_window->showFile(m_file);
    recent_files::add(m_file);
    watch();
    offerRecovery();
    m_window->showStatus(QStringLiteral("Opened %1").arg(m_file));
    return true;
}

bool DocumentController::openDialog() {
    const QString file = QFileDialog::getOpenFileName(m_window->dialogParent(), QStringLiteral("Open a scene"),
                                                      QFileInfo(m_file).absolutePath(),
                                                      QStringLiteral("Scene files (*.json)"));
    return !file.isEmpty() && openFile(file);
}

bool DocumentController::writeScene(const QString& file) {
    runner::Document document = runner::captureDocument(m_document, *m_scene.common);
    runner::Json written = runner::writeDocument(document);
    const std::string text = runner::documentText(document, written);
    // Other names of the file keep what they hold: see writeFileAtomically.
    struct stat before {};
    const bool linked = ::stat(QFile::encodeName(file).constData(), &before) == 0 && before.st_nlink > 1;
    std::string why = loadFailure(text);
    if (!why.empty())
        why = "the scene would be written as a file that does not load (" + why + ")";
    if (!why.empty() || !runner::writeFileAtomically(file.toStdString(), text, why)) {
        const QString message =
            QStringLiteral("Cannot save %1: %2; the file is as it was").arg(file, QString::fromStdString(why));
        m_window->showStatus(message);
        std::cerr << message.toStdString() << std::endl;
        if (m_answer == Answer::Ask)
            QMessageBox::warning(m_window->dialogParent(), m_window->dialogParent()->windowTitle(), message);
        return false;
    }
    removeRecovery();
    m_file = file;
    runner::keepWritten(document, std::move(written), text);
    m_document = document;
    m_saved = document;
    m_fileText = QByteArray::fromStdString(text);
    // What is on disk now loads: a message about an earlier broken version is stale.
    clearLoadError();
    m_window->showFile(m_file);
    recent_files::add(m_file);
    watch();
    m_window->showStatus(linked ? QStringLiteral("Saved %1; its other hard links keep the previous text").arg(file)
                                : QStringLiteral("Saved %1").arg(file));
    return true;
}

bool DocumentController::save() {
    if (m_file.isEmpty())
        return saveAs();
    return writeScene(m_file);
}

bool DocumentController::saveAs() {
    const QString file = QFileDialog::getSaveFileName(m_window->dialogParent(), QStringLiteral("Save the scene as"),
                                                      m_file, QStringLiteral("Scene files (*.json)"));
    if (file.isEmpty())
        return false;
    return writeScene(file);
}

bool DocumentController::saveTo(const QString& file) {
    return writeScene(file);
}

QString DocumentController::recoveryFile() const {
    return m_file.isEmpty() ? QString() : m_file + QStringLiteral(".recovery");
}

void DocumentController::scheduleRecovery() {
    if (m_recoveryWrites && !m_file.isEmpty() && !m_recoveryTimer->isActive())
        m_recoveryTimer->start();
}

std::string DocumentController::currentText() const {
    const runner::Document document = runner::captureDocument(m_document, *m_scene.common);
    return runner::documentText(document, runner::writeDocument(document));
}

bool DocumentController::recoveryIsCurrent() const {
    QFile in(recoveryFile());
    return in.open(QIODevice::ReadOnly) && in.readAll() == QByteArray::fromStdString(currentText());
}

void DocumentController::writeRecovery() {
    if (m_window->isDragging()) {
        m_recoveryTimer->start();
        return;
    }
    if (!hasUnsavedEdits()) {
        removeRecovery();
        return;
    }
    const std::string text = currentText();
    std::string why;
    if (!runner::writeFileAtomically(recoveryFile().toStdString(), text, why)) {
        const QString message = QStringLiteral("Cannot write the recovery file %1: %2; save to keep your edits")
                                    .arg(recoveryFile(), QString::fromStdString(why));
        m_window->showStatus(message);
        std::cerr << message.toStdString() << std::endl;
    }
}

void DocumentController::removeRecovery() {
    m_recoveryTimer->stop();
    if (!m_file.isEmpty())
        QFile::remove(recoveryFile());
}

void DocumentController::offerRecovery() {
    QFile recovery(recoveryFile());
    if (!recovery.open(QIODevice::ReadOnly))
        return;
    // Offered whenever it holds something else than the file, however old: a checkout or a
    // copy can make the file newer than edits nobody saved.
    const bool same = recovery.readAll() == m_fileText;
    recovery.close();
    if (same ||
        !ask(QStringLiteral("Unsaved edits of %1 were kept when the viewer last stopped. Restore them?")
                 .arg(QFileInfo(m_file).fileName()))) {
        QFile::remove(recoveryFile());
        return;
    }
    runner::Document document;
    runner::Scene restored;
    try {
        restored = load(recoveryFile(), document);
    } catch (const std::exception& e) {
        showLoadError(QString::fromStdString(failure(recoveryFile(), e)));
        return;
    }
    // What the file says stays what a save is measured against.
    m_document = document;
    m_window->replaceScene(std::move(restored), m_shown);
    m_shown = true;
    m_window->showStatus(QStringLiteral("Restored unsaved edits from %1").arg(recoveryFile()));
}

bool DocumentController::mayClose() {
    if (!m_closing && hasUnsavedEdits()) {
        bool saveFirst = m_answer == Answer::Yes;
        if (m_answer == Answer::Ask) {
            QWidget* parent = m_window->dialogParent();
            const auto choice = QMessageBox::question(
                parent, parent->windowTitle(), QStringLiteral("Save your edits to %1 before closing?").arg(m_file),
                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
            if (choice == QMessageBox::Cancel)
                return false;
            saveFirst = choice == QMessageBox::Save;
        }
        if (saveFirst && !save())
            return false;
    }
    // A clean close: what was unsaved was saved or given up.
    if (m_recoveryWrites)
        removeRecovery();
    return true;
}

}  // namespace viewer
