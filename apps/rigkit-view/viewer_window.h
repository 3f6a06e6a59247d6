#pragma once

// The viewer's window: the viewport, a timeline (frame slider, play/stop), the animation
// mode (the current frame, or a frame range), the undo history as a list and the host's
// messages in the status bar. The script context is the model: its frame, animation mode,
// range and history are what the window shows and changes.

#include "apps/rigkit-run/script.h"

#include <QMainWindow>

class QComboBox;
class QDoubleSpinBox;
class QListWidget;
class QPushButton;
class QSlider;
class QTimer;

namespace viewer {

class Viewport;

class ViewerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ViewerWindow(runner::ScriptContext& context, QWidget* parent = nullptr);

    Viewport* viewport() const { return m_viewport; }

    // Shows what the context holds now (after a script step changed it behind our back).
    void refresh();

    void undo();
    void redo();

private:
    void setFrame(double frame);
    void setAnimationMode();
    void togglePlay();
    void tick();
    void showNewMessages();

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
    std::size_t m_messagesShown = 0;
    bool m_refreshing = false;
};

}  // namespace viewer
