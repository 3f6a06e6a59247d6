#include "apps/rigkit-view/viewer_window.h"

#include "apps/rigkit-run/scene_writer.h"
#include "apps/rigkit-view/inspector.h"
#include "apps/rigkit-view/viewport.h"
#include "host/base/MSG_Scope.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMenuBar>
#include <QMessageBox>
#include <QVBoxLayout>

#include <QAction>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace viewer {

namespace {

// The timeline shows at least this span; a frame outside it widens it.
constexpr int kFirstFrame = 1;
constexpr int kLastFrame = 100;
constexpr int kPlayIntervalMs = 1000 / 24;
// Editors that save by writing a new file and renaming it touch the directory several
// times; the reload waits for them to settle.
constexpr int kReloadDelayMs = 100;
// Unsaved edits reach the recovery file at most this often.
constexpr int kRecoveryIntervalMs = 1000;

}  // namespace

ViewerWindow::ViewerWindow(runner::ScriptContext& context, QWidget* parent) : QMainWindow(parent), m_context(context) {
    setWindowTitle(QStringLiteral("rigkit-view"));
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // A scene file that cannot be loaded says why here, over the last good scene.
    m_error = new QLabel(central);
    m_error->setObjectName(QStringLiteral("loadError"));
    m_error->setWordWrap(true);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_error->setStyleSheet(QStringLiteral("background: #7a1f1f; color: white; padding: 6px"));
    m_error->hide();
    m_viewport = new Viewport(context, central);
    column->addWidget(m_error);
    column->addWidget(m_viewport, 1);
    setCentralWidget(central);
    connect(m_viewport, &Viewport::changed, this, &ViewerWindow::refresh);
    connect(m_viewport, &Viewport::hovered, this, [this](const QString& what) {
        if (!what.isEmpty())
            statusBar()->showMessage(what);
    });

    auto* timeline = new QToolBar(QStringLiteral("Timeline"), this);
    timeline->setObjectName(QStringLiteral("timeline"));
    timeline->setMovable(false);
    m_play = new QPushButton(QStringLiteral("Play"), timeline);
    m_frameSlider = new QSlider(Qt::Horizontal, timeline);
    m_frameSlider->setRange(kFirstFrame, kLastFrame);
    m_frameBox = new QDoubleSpinBox(timeline);
    m_frameBox->setRange(-1e6, 1e6);
    m_frameBox->setDecimals(2);
    m_mode = new QComboBox(timeline);
    m_mode->addItem(QStringLiteral("Current frame"));
    m_mode->addItem(QStringLiteral("Frame range"));
    m_first = new QDoubleSpinBox(timeline);
    m_last = new QDoubleSpinBox(timeline);
    for (QDoubleSpinBox* box : {m_first, m_last}) {
        box->setRange(-1e6, 1e6);
        box->setDecimals(0);
    }
    m_first->setValue(kFirstFrame);
    m_last->setValue(kLastFrame);
    timeline->addWidget(m_play);
    timeline->addWidget(m_frameSlider);
    timeline->addWidget(new QLabel(QStringLiteral(" Frame "), timeline));
    timeline->addWidget(m_frameBox);
    timeline->addSeparator();
    timeline->addWidget(m_mode);
    timeline->addWidget(m_first);
    timeline->addWidget(m_last);
    addToolBar(Qt::BottomToolBarArea, timeline);

    m_timer = new QTimer(this);
    m_timer->setInterval(kPlayIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &ViewerWindow::tick);
    connect(m_play, &QPushButton::clicked, this, &ViewerWindow::togglePlay);
    connect(m_frameSlider, &QSlider::valueChanged, this, [this](int f) {
        if (!m_refreshing)
            setFrame(f);
    });
    connect(m_frameBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this](double f) {
        if (!m_refreshing)
            setFrame(f);
    });
    connect(m_mode, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { setAnimationMode(); });
    connect(m_first, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this] { setAnimationMode(); });
    connect(m_last, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this] { setAnimationMode(); });

    auto* dock = new QDockWidget(QStringLiteral("History"), this);
    dock->setObjectName(QStringLiteral("history"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_history = new QListWidget(dock);
    m_history->setSelectionMode(QAbstractItemView::NoSelection);
    dock->setWidget(m_history);
    addDockWidget(Qt::RightDockWidgetArea, dock);

    auto* inspectorDock = new QDockWidget(QStringLiteral("Inspector"), this);
    inspectorDock->setObjectName(QStringLiteral("inspector"));
    inspectorDock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_inspector = new Inspector(context, inspectorDock);
    inspectorDock->setWidget(m_inspector);
    addDockWidget(Qt::RightDockWidgetArea, inspectorDock);
    // Wide enough for an editor beside each name; the list of edits is short, the
    // inspector gets the height.
    inspectorDock->setMinimumWidth(360);
    resizeDocks({dock, inspectorDock}, {150, 400}, Qt::Vertical);
    connect(m_inspector, &Inspector::edited, this, &ViewerWindow::refresh);

    m_watcher = new QFileSystemWatcher(this);
    m_reloadTimer = new QTimer(this);
    m_reloadTimer->setSingleShot(true);
    m_reloadTimer->setInterval(kReloadDelayMs);
    connect(m_reloadTimer, &QTimer::timeout, this, &ViewerWindow::fileMayHaveChanged);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_reloadTimer, QOverload<>::of(&QTimer::start));
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_reloadTimer, QOverload<>::of(&QTimer::start));
    m_recoveryTimer = new QTimer(this);
    m_recoveryTimer->setSingleShot(true);
    m_recoveryTimer->setInterval(kRecoveryIntervalMs);
    connect(m_recoveryTimer, &QTimer::timeout, this, &ViewerWindow::writeRecovery);

    auto* undoAction = new QAction(QStringLiteral("Undo"), this);
    undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(undoAction, &QAction::triggered, this, &ViewerWindow::undo);
    auto* redoAction = new QAction(QStringLiteral("Redo"), this);
    redoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(redoAction, &QAction::triggered, this, &ViewerWindow::redo);
    auto* quitAction = new QAction(QStringLiteral("Quit"), this);
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quitAction, &QAction::triggered, this, &QWidget::close);
    auto* saveAction = new QAction(QStringLiteral("Save"), this);
    saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(saveAction, &QAction::triggered, this, &ViewerWindow::save);
    auto* saveAsAction = new QAction(QStringLiteral("Save As..."), this);
    saveAsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(saveAsAction, &QAction::triggered, this, &ViewerWindow::saveAs);
    auto* reloadAction = new QAction(QStringLiteral("Reload"), this);
    reloadAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(reloadAction, &QAction::triggered, this, &ViewerWindow::reload);
    auto* frameAction = new QAction(QStringLiteral("Frame All"), this);
    frameAction->setShortcut(QKeySequence(Qt::Key_F));
    connect(frameAction, &QAction::triggered, m_viewport, &Viewport::frameAll);
    auto* homeAction = new QAction(QStringLiteral("Scene Camera"), this);
    homeAction->setShortcut(QKeySequence(Qt::Key_Home));
    connect(homeAction, &QAction::triggered, m_viewport, &Viewport::resetCamera);
    for (QAction* a : {undoAction, redoAction, quitAction, saveAction, saveAsAction, reloadAction}) {
        a->setShortcutContext(Qt::ApplicationShortcut);
        addAction(a);
    }
    // F and Home are plain keys: the inspector's text boxes keep them while they have focus.
    for (QAction* a : {frameAction, homeAction}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        m_viewport->addAction(a);
    }
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addActions({saveAction, saveAsAction, reloadAction});
    file->addSeparator();
    file->addAction(quitAction);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addActions({undoAction, redoAction});
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addActions({frameAction, homeAction});

    statusBar()->showMessage(QStringLiteral("Ready"));
    refresh();
}

void ViewerWindow::refresh() {
    m_refreshing = true;
    const double frame = m_context.frame;
    const int rounded = static_cast<int>(std::lround(std::clamp(frame, -1e6, 1e6)));
    m_frameSlider->setRange(std::min(kFirstFrame, rounded), std::max(kLastFrame, rounded));
    m_frameSlider->setValue(rounded);
    m_frameBox->setValue(frame);
    const bool range = m_context.animationMode == CX_AnimationModeRange;
    m_mode->setCurrentIndex(range ? 1 : 0);
    m_first->setEnabled(range);
    m_last->setEnabled(range);
    if (range && !m_context.range.isInfinite()) {
        m_first->setValue(m_context.range.first());
        m_last->setValue(m_context.range.last());
    }

    // The history as an undo list: what can be undone, the current state marked, then
    // what can be redone, greyed.
    m_history->clear();
    m_history->addItem(QStringLiteral("<start>"));
    for (const QString& name : m_context.history.names())
        m_history->addItem(name);
    QListWidgetItem* current = m_history->item(m_history->count() - 1);
    QFont bold = current->font();
    bold.setBold(true);
    current->setFont(bold);
    for (const QString& name : m_context.history.redoNames()) {
        auto* item = new QListWidgetItem(name, m_history);
        item->setForeground(Qt::gray);
    }
    m_refreshing = false;
    m_inspector->showSelection();
    showNewMessages();
    m_viewport->update();
    scheduleRecovery();
}

void ViewerWindow::showNewMessages() {
    const auto& entries = MSG_Log::instance().entries();
    if (entries.size() < m_messagesShown)
        m_messagesShown = 0;
    if (entries.size() > m_messagesShown)
        statusBar()->showMessage(entries.back().text());
    m_messagesShown = entries.size();
}

void ViewerWindow::setFrame(double frame) {
    if (m_viewport->isDragging())
        return;
    m_context.frame = frame;
    m_context.scene.common->setCurrentFrame(frame);
    refresh();
}

void ViewerWindow::setAnimationMode() {
    if (m_refreshing)
        return;
    if (m_mode->currentIndex() == 1) {
        m_context.animationMode = CX_AnimationModeRange;
        m_context.range =
            MO_FrameRange(std::min(m_first->value(), m_last->value()), std::max(m_first->value(), m_last->value()));
    } else {
        m_context.animationMode = CX_AnimationModeCurrentFrame;
    }
    refresh();
}

void ViewerWindow::togglePlay() {
    if (m_timer->isActive()) {
        m_timer->stop();
        m_play->setText(QStringLiteral("Play"));
    } else {
        m_timer->start();
        m_play->setText(QStringLiteral("Stop"));
    }
}

void ViewerWindow::tick() {
    const int next = m_frameSlider->value() + 1;
    setFrame(next > m_frameSlider->maximum() ? m_frameSlider->minimum() : next);
}

void ViewerWindow::undo() {
    if (m_viewport->isDragging())
        return;
    m_context.history.undo(1);
    refresh();
}

void ViewerWindow::redo() {
    if (m_viewport->isDragging())
        return;
    m_context.history.redo(1);
    refresh();
}

}  // namespace viewer

namespace viewer {

// ---- the scene file ------------------------------------------------------------------

void ViewerWindow::openScene(const std::string& file, const runner::Json& document) {
    m_file = QString::fromStdString(file);
    m_document = document;
    m_saved = runner::sceneDocument(document, *m_context.scene.common);
    QFile in(m_file);
    if (in.open(QIODevice::ReadOnly))
        m_fileText = in.readAll();
    setWindowFilePath(m_file);
    watch();
    offerRecovery();
}

void ViewerWindow::watch() {
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

void ViewerWindow::fileMayHaveChanged() {
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

void ViewerWindow::showLoadError(const QString& message) {
    m_error->setText(message + QStringLiteral("\n(still showing the last scene that loaded)"));
    m_error->show();
    statusBar()->showMessage(message);
    std::cerr << message.toStdString() << std::endl;
}

QString ViewerWindow::loadError() const {
    return m_error->isVisible() || !m_error->isHidden() ? m_error->text() : QString();
}

bool ViewerWindow::ask(const QString& question) {
    if (m_answer != Answer::Ask)
        return m_answer == Answer::Yes;
    return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

runner::Json ViewerWindow::currentDocument() const {
    return runner::sceneDocument(m_document, *m_context.scene.common);
}

bool ViewerWindow::hasUnsavedEdits() const {
    return !m_file.isEmpty() && currentDocument() != m_saved;
}

void ViewerWindow::reload() {
    runner::Json document;
    runner::Scene fresh;
    const std::string file = m_file.toStdString();
    try {
        document = runner::readDocumentFile(file);
        fresh = runner::loadScene(document);
    } catch (const std::exception& e) {
        showLoadError(QString::fromStdString(file + ": " + runner::oneLine(e.what())));
        return;
    }
    if (hasUnsavedEdits() && !ask(QStringLiteral("%1 changed on disk. Load it and lose your unsaved edits?")
                                      .arg(QFileInfo(m_file).fileName()))) {
        statusBar()->showMessage(QStringLiteral("Kept your unsaved edits; the file on disk was not loaded"));
        return;
    }
    m_viewport->cancelDrag();
    std::vector<QString> selected;
    for (const SLB_Selection::Item& item : m_context.scene.common->selection().items())
        selected.push_back(item.node->name());
    // The history's commands point into the old scene: they go first.
    m_context.history.clear();
    m_viewport->replaceScene(std::move(fresh));
    SC_SceneCommon& scene = *m_context.scene.common;
    scene.setCurrentFrame(m_context.frame);
    for (const QString& name : selected)
        if (MO_Node* node = scene.findNode(name))
            scene.selection().select(node, 0, true);
    m_document = document;
    m_saved = runner::sceneDocument(document, scene);
    m_error->hide();
    m_error->clear();
    removeRecovery();
    refresh();
    statusBar()->showMessage(
        QStringLiteral("Reloaded %1; the undo history starts again").arg(QFileInfo(m_file).fileName()));
}

bool ViewerWindow::writeScene(const QString& file) {
    const runner::Json document = currentDocument();
    const std::string text = runner::documentText(document);
    std::string why;
    if (!runner::writeFileAtomically(file.toStdString(), text, why)) {
        const QString message = QStringLiteral("Cannot save %1: %2").arg(file, QString::fromStdString(why));
        statusBar()->showMessage(message);
        std::cerr << message.toStdString() << std::endl;
        if (m_answer == Answer::Ask)
            QMessageBox::warning(this, windowTitle(), message);
        return false;
    }
    removeRecovery();
    m_file = file;
    m_document = document;
    m_saved = document;
    m_fileText = QByteArray::fromStdString(text);
    setWindowFilePath(m_file);
    watch();
    statusBar()->showMessage(QStringLiteral("Saved %1").arg(file));
    return true;
}

bool ViewerWindow::save() {
    if (m_file.isEmpty())
        return saveAs();
    return writeScene(m_file);
}

bool ViewerWindow::saveAs() {
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save the scene as"), m_file,
                                                      QStringLiteral("Scene files (*.json)"));
    if (file.isEmpty())
        return false;
    return writeScene(file);
}

QString ViewerWindow::recoveryFile() const {
    return m_file.isEmpty() ? QString() : m_file + QStringLiteral(".recovery");
}

void ViewerWindow::scheduleRecovery() {
    if (m_recoveryWrites && !m_file.isEmpty() && !m_recoveryTimer->isActive())
        m_recoveryTimer->start();
}

void ViewerWindow::writeRecovery() {
    if (m_viewport->isDragging()) {
        // A drag's preview is not an edit yet.
        m_recoveryTimer->start();
        return;
    }
    if (!hasUnsavedEdits()) {
        removeRecovery();
        return;
    }
    std::string why;
    if (!runner::writeFileAtomically(recoveryFile().toStdString(), runner::documentText(currentDocument()), why))
        statusBar()->showMessage(
            QStringLiteral("Cannot write the recovery file %1: %2").arg(recoveryFile(), QString::fromStdString(why)));
}

void ViewerWindow::removeRecovery() {
    m_recoveryTimer->stop();
    if (!m_file.isEmpty())
        QFile::remove(recoveryFile());
}

void ViewerWindow::offerRecovery() {
    const QFileInfo recovery(recoveryFile());
    if (!recovery.exists())
        return;
    if (recovery.lastModified() < QFileInfo(m_file).lastModified() ||
        !ask(QStringLiteral("Unsaved edits of %1 were kept when the viewer last stopped. Restore them?")
                 .arg(QFileInfo(m_file).fileName()))) {
        QFile::remove(recoveryFile());
        return;
    }
    try {
        runner::Json document = runner::readDocumentFile(recoveryFile().toStdString());
        runner::Scene restored = runner::loadScene(document);
        m_viewport->replaceScene(std::move(restored));
        m_context.scene.common->setCurrentFrame(m_context.frame);
        m_document = document;
        refresh();
        statusBar()->showMessage(QStringLiteral("Restored unsaved edits from %1").arg(recoveryFile()));
    } catch (const std::exception& e) {
        showLoadError(recoveryFile() + QStringLiteral(": ") + QString::fromStdString(runner::oneLine(e.what())));
    }
}

void ViewerWindow::closeWithoutAsking() {
    m_closing = true;
    close();
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
    if (!m_closing && hasUnsavedEdits()) {
        bool saveFirst = m_answer == Answer::Yes;
        if (m_answer == Answer::Ask) {
            const auto choice = QMessageBox::question(
                this, windowTitle(), QStringLiteral("Save your edits to %1 before closing?").arg(m_file),
                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
            if (choice == QMessageBox::Cancel) {
                event->ignore();
                return;
            }
            saveFirst = choice == QMessageBox::Save;
        }
        if (saveFirst && !save()) {
            event->ignore();
            return;
        }
    }
    // A clean close: what was unsaved was saved or given up.
    if (m_recoveryWrites)
        removeRecovery();
    event->accept();
}

void ViewerWindow::openAtSceneSize() {
    // The layout is settled first, so that the docks and the timeline take what they need
    // and the difference is what the viewport lacks.
    ensurePolished();
    layout()->activate();
    const QSize wanted(m_context.scene.width, m_context.scene.height);
    QSize size = this->size() + (wanted - m_viewport->size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
}

}  // namespace viewer
