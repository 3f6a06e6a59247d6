#include "apps/rigkit-view/viewer_window.h"

#include "apps/rigkit-view/viewport.h"
#include "host/base/MSG_Scope.h"
#include "host/scene/SC_SceneCommon.h"

#include <QAction>
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

namespace viewer {

namespace {

// The timeline shows at least this span; a frame outside it widens it.
constexpr int kFirstFrame = 1;
constexpr int kLastFrame = 100;
constexpr int kPlayIntervalMs = 1000 / 24;

}  // namespace

ViewerWindow::ViewerWindow(runner::ScriptContext& context, QWidget* parent)
    : QMainWindow(parent), m_context(context) {
    setWindowTitle(QStringLiteral("rigkit-view"));
    m_viewport = new Viewport(context, this);
    setCentralWidget(m_viewport);
    connect(m_viewport, &Viewport::changed, this, &ViewerWindow::refresh);

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

    auto* undoAction = new QAction(QStringLiteral("Undo"), this);
    undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(undoAction, &QAction::triggered, this, &ViewerWindow::undo);
    auto* redoAction = new QAction(QStringLiteral("Redo"), this);
    redoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(redoAction, &QAction::triggered, this, &ViewerWindow::redo);
    auto* quitAction = new QAction(QStringLiteral("Quit"), this);
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quitAction, &QAction::triggered, this, &QWidget::close);
    for (QAction* a : {undoAction, redoAction, quitAction}) {
        a->setShortcutContext(Qt::ApplicationShortcut);
        addAction(a);
    }

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
    showNewMessages();
    m_viewport->update();
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
        m_context.range = MO_FrameRange(std::min(m_first->value(), m_last->value()),
                                        std::max(m_first->value(), m_last->value()));
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
