#include "apps/rigkit-view/viewer_window.h"

#include "apps/rigkit-view/inspector.h"
#include "apps/rigkit-view/key_track.h"
#include "apps/rigkit-view/recent_files.h"
#include "apps/rigkit-view/outliner.h"
#include "apps/rigkit-view/viewer_steps.h"
#include "apps/rigkit-view/viewport.h"
#include "host/base/MSG_Scope.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {

// The timeline shows at least this span; a frame outside it widens it.
constexpr int kFirstFrame = 1;
constexpr int kLastFrame = 100;
constexpr int kPlayIntervalMs = 1000 / 24;

}  // namespace

ViewerWindow::ViewerWindow(DocumentController& document, QWidget* parent)
    : QMainWindow(parent), m_document(document), m_session(document.session()) {
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
    m_viewport = new Viewport(m_session, central);
    column->addWidget(m_error);
    column->addWidget(m_viewport, 1);
    setCentralWidget(central);
    connect(m_viewport, &Viewport::changed, this, &ViewerWindow::refresh);
    connect(m_viewport, &Viewport::performed, this, &ViewerWindow::tellObserver);
    connect(m_viewport, &Viewport::viewMoved, this, &ViewerWindow::takeView);
    connect(m_viewport, &Viewport::hovered, this, [this](const QString& what) {
        if (!what.isEmpty())
            statusBar()->showMessage(what);
    });
    buildTimeline();
    QDockWidget* history = buildHistory();
    QDockWidget* inspector = buildInspector();
    // The list of edits is short; the inspector gets the height.
    resizeDocks({history, inspector}, {150, 400}, Qt::Vertical);
    buildOutliner();
    buildActions();
    statusBar()->showMessage(QStringLiteral("Ready"));
    refresh();
}

void ViewerWindow::buildTimeline() {
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
    // The keys go on a line of their own under the slider (which keeps its width and its
    // place under the viewport): the first line added is the lowest.
    auto* keys = new QToolBar(QStringLiteral("Keys"), this);
    keys->setObjectName(QStringLiteral("keys"));
    keys->setMovable(false);
    m_keyTrack = new KeyTrack(*this, keys);
    keys->addWidget(m_keyTrack);
    addToolBar(Qt::BottomToolBarArea, keys);
    addToolBarBreak(Qt::BottomToolBarArea);
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
}

QDockWidget* ViewerWindow::buildHistory() {
    auto* dock = new QDockWidget(QStringLiteral("History"), this);
    dock->setObjectName(QStringLiteral("history"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_history = new QListWidget(dock);
    m_history->setSelectionMode(QAbstractItemView::NoSelection);
    dock->setWidget(m_history);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    return dock;
}

QDockWidget* ViewerWindow::buildInspector() {
    auto* dock = new QDockWidget(QStringLiteral("Inspector"), this);
    dock->setObjectName(QStringLiteral("inspector"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_inspector = new Inspector(m_session, dock);
    dock->setWidget(m_inspector);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    // Wide enough for an editor beside each name.
    dock->setMinimumWidth(360);
    connect(m_inspector, &Inspector::edited, this, &ViewerWindow::refresh);
    connect(m_inspector, &Inspector::refused, this, &ViewerWindow::showStatus);
    connect(m_inspector, &Inspector::performed, this, &ViewerWindow::tellObserver);
    m_inspector->setPerform([this](const runner::Json& step) { return perform(step); });
    return dock;
}

void ViewerWindow::buildOutliner() {
    auto* dock = new QDockWidget(QStringLiteral("Outliner"), this);
    dock->setObjectName(QStringLiteral("outlinerDock"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_outliner = new Outliner(*this, dock);
    dock->setWidget(m_outliner);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
}

void ViewerWindow::buildActions() {
    const auto action = [this](const char* text, const QKeySequence& keys, auto slot) {
        auto* a = new QAction(QString::fromLatin1(text), this);
        a->setShortcut(keys);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QAction* undoAction = action("Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { undo(); });
    QAction* redoAction = action("Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { redo(); });
    QAction* quitAction = action("Quit", QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    QAction* saveAction = action("Save", QKeySequence(Qt::CTRL | Qt::Key_S), [this] { m_document.save(); });
    QAction* saveAsAction =
        action("Save As...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { m_document.saveAs(); });
    QAction* reloadAction = action("Reload", QKeySequence(Qt::CTRL | Qt::Key_R), [this] { m_document.reload(); });
    QAction* openAction = action("Open...", QKeySequence(Qt::CTRL | Qt::Key_O), [this] { m_document.openDialog(); });
    QAction* frameAction = action("Frame All", QKeySequence(Qt::Key_F), [this] { m_viewport->frameAll(); });
    QAction* homeAction = action("Scene Camera", QKeySequence(Qt::Key_Home), [this] {
        try {
            perform({{"camera", runner::cameraJson(m_session.document().camera)}});
        } catch (const runner::RunError&) {
            // No document yet (a file that never loaded): the scene's camera is all there is.
            m_viewport->resetCamera();
        }
    });
    for (QAction* a : {undoAction, redoAction, quitAction, saveAction, saveAsAction, reloadAction, openAction}) {
        a->setShortcutContext(Qt::ApplicationShortcut);
        addAction(a);
    }
    // F and Home are plain keys: the inspector's text boxes keep them while they have focus.
    for (QAction* a : {frameAction, homeAction}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        m_viewport->addAction(a);
    }
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(openAction);
    QMenu* recent = file->addMenu(QStringLiteral("Open &Recent"));
    connect(recent, &QMenu::aboutToShow, this, [this, recent] {
        recent->clear();
        for (const QString& f : recent_files::list())
            recent->addAction(f, this, [this, f] { m_document.openFile(f); });
        if (recent->isEmpty())
            recent->addAction(QStringLiteral("(none)"))->setEnabled(false);
    });
    file->addActions({saveAction, saveAsAction, reloadAction});
    file->addSeparator();
    file->addAction(quitAction);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addActions({undoAction, redoAction});
    edit->addSeparator();
    // On the selected nodes, named in the step so that a recording replays it as it was.
    for (const auto& [text, step] : {std::pair{"Copy Pose", "copyPose"}, {"Paste Pose", "pastePose"},
                                     {"Reset to Rest Pose", "restPose"}})
        edit->addAction(QString::fromLatin1(text), this, [this, step = std::string(step)] {
            runner::Json names = runner::Json::array();
            for (const auto& node : m_session.common().nodes())
                if (m_session.selection().isSelected(node.get()))
                    names.push_back(node->name().toStdString());
            perform({{step, names}});
        });
    edit->addSeparator();
    // Off, an edit at a frame sets an unkeyed attribute's value instead of keying it, as
    // while a rig is being put together.
    m_autoKey = edit->addAction(QStringLiteral("Auto &Key"));
    m_autoKey->setCheckable(true);
    connect(m_autoKey, &QAction::toggled, this, [this](bool on) {
        if (!m_refreshing && on != m_session.autoKey())
            perform(runner::Json{{"autoKey", on}});
    });
    menuBar()->addMenu(QStringLiteral("&View"))->addActions({frameAction, homeAction});
}

void ViewerWindow::takeView() {
    const runner::Json step = m_viewport->viewStep();
    if (!step.is_null())
        perform(step);
}

bool ViewerWindow::perform(const runner::Json& step) {
    // A zoom made since the last step goes first, so that a replay sees what the user saw.
    if (!step.contains("camera"))
        takeView();
    if (!m_steps) {
        m_steps = std::make_unique<runner::StepTable>(viewerSteps(*this));
        m_stepContext = std::make_unique<runner::ScriptContext>(m_session, m_stepOutput, std::string("."));
    }
    try {
        runner::playScript(runner::Json::array({step}), *m_steps, *m_stepContext);
    } catch (const std::exception& e) {
        showStatus(QString::fromStdString(runner::oneLine(e.what())));
        refresh();
        return false;
    }
    refresh();
    tellObserver(step);
    return true;
}

void ViewerWindow::tellObserver(const runner::Json& step) {
    takeView();
    if (m_stepObserver)
        m_stepObserver(step);
}

void ViewerWindow::refresh() {
    m_refreshing = true;
    const double frame = m_session.frame();
    const int rounded = static_cast<int>(std::lround(std::clamp(frame, -1e6, 1e6)));
    m_frameSlider->setRange(std::min(kFirstFrame, rounded), std::max(kLastFrame, rounded));
    m_frameSlider->setValue(rounded);
    m_frameBox->setValue(frame);
    const bool range = m_session.animationMode == CX_AnimationModeRange;
    m_mode->setCurrentIndex(range ? 1 : 0);
    m_first->setEnabled(range);
    m_last->setEnabled(range);
    m_autoKey->setChecked(m_session.autoKey());
    if (range && !m_session.range.isInfinite()) {
        m_first->setValue(m_session.range.first());
        m_last->setValue(m_session.range.last());
    }
    showHistory();
    // Playing changes the frame, never the file; comparing the whole scene with the file at
    // every frame would slow a large scene's playback.
    if (!m_timer->isActive())
        setWindowModified(m_document.hasUnsavedEdits());
    m_refreshing = false;
    m_outliner->showScene();
    m_inspector->showSelection();
    m_keyTrack->showKeys();
    showNewMessages();
    m_viewport->update();
    m_document.scheduleRecovery();
}

// The history as an undo list: what can be undone, the current state marked, then what
// can be redone, greyed.
void ViewerWindow::showHistory() {
    m_history->clear();
    m_history->addItem(QStringLiteral("<start>"));
    for (const QString& name : m_session.history.names())
        m_history->addItem(name);
    QListWidgetItem* current = m_history->item(m_history->count() - 1);
    QFont bold = current->font();
    bold.setBold(true);
    current->setFont(bold);
    for (const QString& name : m_session.history.redoNames()) {
        auto* item = new QListWidgetItem(name, m_history);
        item->setForeground(Qt::gray);
    }
    // The list is rebuilt at every change; the last edit made stays in sight, not the start.
    m_history->scrollToItem(current);
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
    perform(runner::Json{{"frame", frame}});
}

void ViewerWindow::setAnimationMode() {
    if (m_refreshing)
        return;
    if (m_mode->currentIndex() == 1)
        perform(runner::Json{{"animationMode", "range"},
                             {"range", {std::min(m_first->value(), m_last->value()),
                                        std::max(m_first->value(), m_last->value())}}});
    else
        perform(runner::Json{{"animationMode", "frame"}});
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

// With nothing to undo or redo the keys do nothing, as before: no step, no message.
void ViewerWindow::undo() {
    if (!m_viewport->isDragging() && !m_session.history.names().empty())
        perform(runner::Json{{"undo", 1}});
}

void ViewerWindow::redo() {
    if (!m_viewport->isDragging() && !m_session.history.redoNames().empty())
        perform(runner::Json{{"redo", 1}});
}

// ---- what the document controller asks of the window -------------------------------

void ViewerWindow::showStatus(const QString& message) {
    statusBar()->showMessage(message);
}

void ViewerWindow::showLoadError(const QString& message) {
    m_error->setText(message);
    m_error->setVisible(!message.isEmpty());
}

bool ViewerWindow::isDragging() const {
    return m_viewport->isDragging();
}

void ViewerWindow::replaceScene(runner::Scene scene, bool keepView) {
    m_viewport->replaceScene(std::move(scene));
    // A first scene brings its own camera; after that the user's view stays.
    if (!keepView)
        m_viewport->resetCamera();
    refresh();
}

void ViewerWindow::showFile(const QString& file) {
    setWindowFilePath(file);
    setWindowTitle(QStringLiteral("%1[*] - rigkit-view").arg(QFileInfo(file).fileName()));
    setWindowModified(m_document.hasUnsavedEdits());
}

QString ViewerWindow::shownTitle() const {
    QString title = windowTitle();
    return title.replace(QStringLiteral("[*]"), isWindowModified() ? QStringLiteral("*") : QString());
}

void ViewerWindow::closeWithoutAsking() {
    m_document.closeWithoutAsking();
    close();
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
    if (m_document.mayClose())
        event->accept();
    else
        event->ignore();
}

void ViewerWindow::openAtSceneSize() {
    // The layout is settled first, so that the docks and the timeline take what they need
    // and the difference is what the viewport lacks.
    ensurePolished();
    layout()->activate();
    const QSize wanted(m_session.scene().width, m_session.scene().height);
    QSize size = this->size() + (wanted - m_viewport->size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
}

}  // namespace viewer
