#include "apps/rigkit-view/key_track.h"

#include "apps/core/scene_query.h"
#include "apps/core/vocabulary.h"
#include "apps/rigkit-view/viewer_window.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {

// The timeline shows at least these frames, as its slider does; a key or the current frame
// outside them widens it.
constexpr double kFirstFrame = 1;
constexpr double kLastFrame = 100;
constexpr int kLabelWidth = 110;
constexpr int kRulerHeight = 16;
constexpr int kRowHeight = 16;
constexpr int kRowsShown = 4;
constexpr int kMarkRadius = 5;

}  // namespace

KeyTrack::KeyTrack(ViewerWindow& window, QWidget* parent) : QWidget(parent), m_window(window) {
    setObjectName(QStringLiteral("keyTrack"));
    // Delete reaches the track once it was clicked.
    setFocusPolicy(Qt::ClickFocus);
    setFixedHeight(kRulerHeight + kRowsShown * kRowHeight + 2);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize KeyTrack::sizeHint() const {
    return {600, height()};
}

void KeyTrack::showKeys() {
    runner::Session& session = m_window.document().session();
    m_rows.clear();
    m_first = std::min(kFirstFrame, std::floor(session.frame()));
    m_last = std::max(kLastFrame, std::ceil(session.frame()));
    std::set<Key> still;
    // In the order the nodes were selected, each node's attributes in its own order.
    for (const SLB_Selection::Item& item : session.selection().items()) {
        for (const auto& attribute : item.node->attributes()) {
            const runner::Json keys = runner::readKeys(attribute.get());
            if (keys.empty())
                continue;
            Row row{item.node->name().toStdString() + "." + attribute->name().toStdString(), {}};
            for (const runner::Json& key : keys) {
                const double frame = key[0].get<double>();
                row.frames.push_back(frame);
                m_first = std::min(m_first, std::floor(frame));
                m_last = std::max(m_last, std::ceil(frame));
                if (m_selected.count({row.path, frame}))
                    still.insert({row.path, frame});
            }
            m_rows.push_back(std::move(row));
        }
    }
    m_selected = std::move(still);
    m_top = std::clamp(m_top, 0, std::max(0, static_cast<int>(m_rows.size()) - kRowsShown));
    update();
}

QRect KeyTrack::marksArea() const {
    return {kLabelWidth, kRulerHeight, std::max(1, width() - kLabelWidth - kMarkRadius * 2),
            kRowsShown * kRowHeight};
}

double KeyTrack::xOf(double frame) const {
    const QRect area = marksArea();
    return area.left() + (frame - m_first) / (m_last - m_first) * area.width();
}

runner::Json KeyTrack::geometry() const {
    const QRect area = marksArea();
    const QPoint at = mapToGlobal(area.topLeft());
    return {{"marks", {at.x(), at.y(), area.width(), area.height()}},
            {"first", m_first},
            {"last", m_last},
            {"row", kRowHeight}};
}

runner::Json KeyTrack::selectedKeys() const {
    runner::Json out = runner::Json::array();
    for (const auto& [path, frame] : m_selected)
        out.push_back({path, runner::number(frame)});
    return out;
}

std::optional<KeyTrack::Key> KeyTrack::keyUnder(const QPoint& at) const {
    const int row = (at.y() - kRulerHeight) / kRowHeight + m_top;
    if (at.y() < kRulerHeight || row >= static_cast<int>(m_rows.size()) || row - m_top >= kRowsShown)
        return std::nullopt;
    // The nearest mark within reach, so that keys a frame apart can still be told apart.
    std::optional<Key> best;
    double distance = kMarkRadius + 1;
    for (double frame : m_rows[row].frames) {
        const double d = std::abs(xOf(frame) - at.x());
        if (d <= distance) {
            distance = d;
            best = Key{m_rows[row].path, frame};
        }
    }
    return best;
}

// Whole frames from where the press was, once the pointer went far enough to be a drag.
int KeyTrack::dragFrames(const QPoint& at) const {
    if (!m_press || !m_dragging)
        return 0;
    const double perFrame = marksArea().width() / (m_last - m_first);
    return static_cast<int>(std::lround((at.x() - m_press->x()) / perFrame));
}

void KeyTrack::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const std::optional<Key> key = keyUnder(event->pos());
    const bool adding = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    if (!key) {
        if (!adding)
            m_selected.clear();
    } else if (adding) {
        if (!m_selected.erase(*key))
            m_selected.insert(*key);
    } else if (!m_selected.count(*key)) {
        m_selected = {*key};
    }
    // Only a press on a selected key starts a drag of the selected keys.
    if (key && m_selected.count(*key))
        m_press = event->pos();
    m_dragging = false;
    update();
}

void KeyTrack::mouseMoveEvent(QMouseEvent* event) {
    if (!m_press)
        return;
    if ((event->pos() - *m_press).manhattanLength() >= QApplication::startDragDistance())
        m_dragging = true;
    m_lastMove = event->pos();
    update();
}

void KeyTrack::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_press)
        return;
    const int by = dragFrames(event->pos());
    m_press.reset();
    m_dragging = false;
    if (by != 0)
        moveSelected(by);
    update();
}

void KeyTrack::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && !m_selected.empty())
        deleteSelected();
    else
        QWidget::keyPressEvent(event);
}

void KeyTrack::contextMenuEvent(QContextMenuEvent* event) {
    if (const std::optional<Key> key = keyUnder(event->pos()); key && !m_selected.count(*key))
        m_selected = {*key};
    update();
    if (m_selected.empty())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("curveKinds"));
    menu.addSection(QStringLiteral("Curve kind"));
    // Each kind keyed by a letter of its own, so that the keyboard can choose.
    QString used;
    for (const runner::CurveKindInfo& kind : runner::kCurveKinds) {
        QString label = QString::fromLatin1(kind.name);
        for (int i = 0; i < label.size(); ++i)
            if (!used.contains(label[i])) {
                used += label[i];
                label.insert(i, QLatin1Char('&'));
                break;
            }
        menu.addAction(label, this, [this, name = std::string(kind.name)] { setCurveKind(name); });
    }
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Delete keys"), this, [this] { deleteSelected(); });
    menu.exec(event->globalPos());
}

void KeyTrack::wheelEvent(QWheelEvent* event) {
    m_top += event->angleDelta().y() < 0 ? 1 : -1;
    showKeys();
}

// The moved keys stay selected where they went (the window shows the edit before this
// returns, and lets go of keys that are no longer where they were).
void KeyTrack::moveSelected(int by) {
    std::set<Key> moved;
    for (const auto& [path, frame] : m_selected)
        moved.insert({path, frame + by});
    std::set<Key> before = m_selected;
    m_selected = m_window.perform({{"moveKey", selectedKeys()}, {"by", by}}) ? std::move(moved) : std::move(before);
    showKeys();
}

void KeyTrack::deleteSelected() {
    if (m_window.perform({{"deleteKey", selectedKeys()}}))
        m_selected.clear();
    showKeys();
}

void KeyTrack::setCurveKind(const std::string& kind) {
    std::set<std::string> paths;
    runner::Json curves = runner::Json::array();
    for (const auto& key : m_selected)
        if (paths.insert(key.first).second)
            curves.push_back(key.first);
    m_window.perform({{"curve", curves}, {"kind", kind}});
}

// ---- drawing ------------------------------------------------------------------------

void KeyTrack::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const runner::Session& session = m_window.document().session();
    // What a frame-range edit will change, before it is made.
    if (session.animationMode == CX_AnimationModeRange) {
        const QRect area = marksArea();
        const double left = session.range.isInfinite() ? 0 : std::max(0.0, xOf(session.range.first()));
        const double right =
            session.range.isInfinite() ? width() : std::min<double>(width(), xOf(session.range.last()));
        painter.fillRect(QRectF(left, 0, std::max(1.0, right - left), area.bottom()), QColor(255, 170, 0, 70));
    }
    paintRuler(painter);
    paintRows(painter);
    const double now = xOf(session.frame());
    painter.setPen(QPen(QColor(220, 40, 40), 1));
    painter.drawLine(QPointF(now, 0), QPointF(now, height()));
}

void KeyTrack::paintRuler(QPainter& painter) const {
    painter.setPen(palette().color(QPalette::Text));
    // A labelled tick every 1, 2, 5, 10, 20, 50, ... frames, at least 40 pixels apart.
    const double perFrame = marksArea().width() / (m_last - m_first);
    double step = 1;
    for (int i = 0; step * perFrame < 40; ++i)
        step *= (i % 3 == 1) ? 2.5 : 2;
    for (double f = std::ceil(m_first / step) * step; f <= m_last; f += step) {
        const double x = xOf(f);
        painter.drawLine(QPointF(x, kRulerHeight - 4), QPointF(x, kRulerHeight));
        painter.drawText(QPointF(x + 2, kRulerHeight - 4), QString::number(f));
    }
    painter.drawLine(0, kRulerHeight, width(), kRulerHeight);
}

void KeyTrack::paintRows(QPainter& painter) const {
    if (m_rows.empty()) {
        painter.drawText(QRect(4, kRulerHeight, width() - 8, kRowHeight), Qt::AlignVCenter,
                         m_window.document().session().selection().items().empty()
                             ? QStringLiteral("Select nodes to see their keys")
                             : QStringLiteral("The selected nodes have no keys"));
        return;
    }
    const int by = dragFrames(m_lastMove);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = m_top; i < static_cast<int>(m_rows.size()) && i - m_top < kRowsShown; ++i) {
        const Row& row = m_rows[i];
        const double y = kRulerHeight + (i - m_top + 0.5) * kRowHeight;
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(4, static_cast<int>(y - kRowHeight / 2), kLabelWidth - 8, kRowHeight),
                         Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(row.path));
        for (double frame : row.frames) {
            const bool selected = m_selected.count({row.path, frame}) > 0;
            const double x = xOf(selected ? frame + by : frame);
            const QPointF diamond[] = {{x, y - kMarkRadius}, {x + kMarkRadius, y}, {x, y + kMarkRadius},
                                       {x - kMarkRadius, y}};
            painter.setPen(QPen(Qt::black, 1));
            painter.setBrush(selected ? QColor(255, 200, 0) : QColor(150, 150, 150));
            painter.drawPolygon(diamond, 4);
        }
    }
}

}  // namespace viewer
