#pragma once

// The outliner: every node of the scene as a tree by parent, each with its components and
// their types. Selecting nodes here selects them in the viewport and the other way round,
// several at once with Ctrl or Shift. Its context menu and tool bar change what the scene
// is made of (add a node, an attribute or a component, remove a component, duplicate,
// delete, parent, connect), each through the window's `perform`, so that every change is
// a runner step: undoable, saved and recorded like any other.

#include "apps/core/json_util.h"
#include "apps/core/script.h"

#include <QStringList>
#include <QWidget>

class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace viewer {

class ViewerWindow;

class Outliner : public QWidget {
    Q_OBJECT
public:
    explicit Outliner(ViewerWindow& window, QWidget* parent = nullptr);

    // Shows the scene's nodes (built again only when the nodes were replaced) and the
    // session's selection.
    void showScene();
    // The nodes selected here, in the tree's order.
    QStringList selectedNodes() const;
    QTreeWidget* tree() const { return m_tree; }
    // Every row as shown, indented two spaces a level: a node's name, or a component's
    // family and type with the attributes it reads.
    QStringList rows() const;
    // Clicks the node's row with the mouse, holding `modifiers`; false when it has none.
    bool click(const QString& node, Qt::KeyboardModifiers modifiers);

private:
    void rebuild();
    void showSelection();
    void selectionChanged();
    void showMenu(const QPoint& at);
    void fillMenu(QMenu* menu, QTreeWidgetItem* item);
    void addComponentMenu(QMenu* menu, const QString& node);
    // Plays one step built from the user's answers; false when it was refused.
    bool perform(const runner::Json& step);

    void addNode();
    void addAttribute(const QString& node);
    void addComponent(const QString& node, const QString& family, const QString& type);
    void duplicate();
    void deleteSelected();
    void parentTo();
    void connectPort(const QString& node);

    ViewerWindow& m_window;
    QTreeWidget* m_tree = nullptr;
    unsigned long m_shownScene = 0;
    bool m_built = false;
    bool m_showing = false;
};

// {"outliner": "node", "modifiers": [...]}: clicks the node's row as a user does;
// {"expectOutliner": {"selected": [names], "rows": [rows]}}: what the outliner shows.
void addOutlinerSteps(runner::StepTable& table, ViewerWindow& window);

}  // namespace viewer
