#pragma once

// The inspector: the selected node's attributes (value at the current frame, whether a key
// stands there, the keys before and after it) and its properties, each with an editor of
// its kind. Every edit is one command on the window's undo history: attributes are written
// as a drag records them in the current animation mode (a value at the current frame, or
// an offset of the frame range), properties as the runner's "setProperty" step that the
// window plays, so its listening components update and a recording holds it.

#include "apps/core/json_util.h"
#include "apps/core/session.h"
#include "host/scene/MO_PropertyAccessor.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AT_Attr;
class MO_Node;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace viewer {

// A number as typed into an editor: any a scene file can hold, in any notation it allows
// ("1e308", "2.5e2"). False, with `why`, for the rest (text, inf, nan, out of range).
bool parseNumber(const QString& text, double& value, QString& why);

// The numbers of an editor's fields; none for a field left mixed.
using Numbers = std::vector<std::optional<double>>;

class Inspector : public QWidget {
    Q_OBJECT
public:
    explicit Inspector(runner::Session& session, QWidget* parent = nullptr);

    // Shows what the selected nodes have in common (the attributes of the same name and
    // kind, the properties of the same key and kind), with their values where they agree
    // and empty "mixed" fields where they differ; or says that nothing is selected. An edit changes every selected node, as one undoable edit.
    void showSelection();
    // The first selected node.
    MO_Node* node() const { return m_node; }

    // The edits the editors make, also for scripts. Each returns whether an edit was
    // recorded (false when it changed nothing or the attribute refused it); a value of the
    // wrong shape throws runner::RunError.
    bool editAttribute(AT_Attr* attribute, const runner::Json& value);
    // Numbers typed into an attribute's fields; a field left mixed keeps each node's own.
    bool editNumbers(AT_Attr* attribute, const Numbers& numbers);
    bool editProperty(const QString& key, const MO_PropertyValue& value);

    // Types `text` into the `index`th editor of an attribute or property (`group` is
    // "Attributes" or "Properties") and presses Return, as a user does; `shows` is what the
    // editor shows then. False when there is no such editor.
    bool type(const QString& group, const QString& name, int index, const QString& text, QString& shows);

    // How a property edit is carried out: the window plays it as a step.
    void setPerform(std::function<bool(const runner::Json&)> perform) { m_perform = std::move(perform); }

    // Says why an edit was not made.
    void refuse(const QString& why);

signals:
    // After an edit went into the history.
    void edited();
    // The same edit as the runner's step that replays it.
    void performed(const runner::Json& step);
    void refused(const QString& why);

private:
    QLineEdit* field(const QString& group, const QString& name, int index) const;
    void addAttributeRow(QTreeWidgetItem* parent, AT_Attr* attribute);
    void addPropertyRow(QTreeWidgetItem* parent, const QString& key, const MO_PropertyValue& value);
    // The attribute of the same name and kind on each selected node that has one.
    std::vector<AT_Attr*> sameOnEvery(AT_Attr* attribute) const;
    bool everyHasProperty(const QString& key, const MO_PropertyValue& value) const;
    runner::Json valueOf(AT_Attr* attribute) const;
    // One edit of the attribute on every selected node, each to its own value.
    bool editEach(AT_Attr* attribute, const std::vector<runner::Json>& values);

    runner::Session& m_session;
    QTreeWidget* m_tree = nullptr;
    MO_Node* m_node = nullptr;
    std::vector<MO_Node*> m_nodes;
    std::function<bool(const runner::Json&)> m_perform;
};

}  // namespace viewer
