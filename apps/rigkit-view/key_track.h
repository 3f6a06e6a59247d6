#pragma once

// The timeline's keys: the selected nodes' animated attributes, a row each, with a mark at
// every key. A click selects a key (Shift or Control adds it or takes it away), a drag
// moves the selected keys by whole frames, Delete removes them and the context menu gives
// their curves another kind. Each is a runner step played through the window: one
// undoable edit, which a recording replays. In the frame-range mode the frames an edit
// would change are shaded before it is made.

#include "apps/core/json_util.h"

#include <QWidget>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace viewer {

class ViewerWindow;

class KeyTrack : public QWidget {
    Q_OBJECT
public:
    explicit KeyTrack(ViewerWindow& window, QWidget* parent = nullptr);

    // Reads the selected nodes' keys again; selected keys that are gone are let go.
    void showKeys();
    // Where the marks are drawn, for what drives the track from outside:
    // {"marks": [x, y, width, height]} in screen pixels, the frames "first" to "last" over
    // that width, one row of "row" pixels per attribute from its top.
    runner::Json geometry() const;
    // The selected keys, [["node.attr", frame], ...] in order.
    runner::Json selectedKeys() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    using Key = std::pair<std::string, double>;
    struct Row {
        std::string path;
        std::vector<double> frames;
    };

    QRect marksArea() const;
    double xOf(double frame) const;
    std::optional<Key> keyUnder(const QPoint& at) const;
    int dragFrames(const QPoint& at) const;
    void paintRuler(QPainter& painter) const;
    void paintRows(QPainter& painter) const;
    void moveSelected(int by);
    void deleteSelected();
    void setCurveKind(const std::string& kind);

    ViewerWindow& m_window;
    std::vector<Row> m_rows;
    std::set<Key> m_selected;
    // The first row shown, when there are more than fit.
    int m_top = 0;
    double m_first = 1;
    double m_last = 100;
    // Where a drag of the selected keys started, and where the pointer is now.
    std::optional<QPoint> m_press;
    QPoint m_lastMove;
    bool m_dragging = false;
};

}  // namespace viewer
