#include "apps/rigkit-view/inspector.h"

#include "apps/core/attribute_edit.h"
#include "apps/core/scene_query.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <type_traits>
#include <variant>

namespace viewer {

bool parseNumber(const QString& text, double& value, QString& why) {
    const std::string t = text.trimmed().toStdString();
    const char* end = t.data() + t.size();
    const auto [stop, error] = std::from_chars(t.data(), end, value);
    if (t.empty() || stop != end || error == std::errc::invalid_argument) {
        why = QStringLiteral("\"%1\" is not a number").arg(text.trimmed());
        return false;
    }
    // Too small to tell from zero is zero, as a scene file reads it.
    const std::size_t exponent = t.find_first_of("eE");
    if (error == std::errc::result_out_of_range && exponent != std::string::npos && t[exponent + 1] == '-')
        value = 0.0;
    else if (error == std::errc::result_out_of_range || !std::isfinite(value)) {
        why = QStringLiteral("%1 cannot be kept: a scene file holds only finite numbers up to about 1.8e308")
                  .arg(text.trimmed());
        return false;
    }
    return true;
}

namespace {

using runner::Json;

QString numberText(double v) {
    // The shortest text that reads back as the same double; a value no file can hold
    // (nan, inf) is shown as what it is rather than as an editor's limit.
    if (std::isnan(v))
        return QStringLiteral("nan");
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    return QString::fromLatin1(text, static_cast<int>(end - text));
}

// Return and the loss of focus that follows (a click elsewhere, the inspector showing the
// edit) both finish an edit: only text typed since the last one is an edit.
bool takeEdit(QLineEdit* line) {
    if (!line->isModified())
        return false;
    line->setModified(false);
    return true;
}

// A field whose selected nodes differ shows nothing rather than one node's value; left
// empty, it keeps each node's own.
const QString kMixed = QStringLiteral("mixed");

void showMixed(QLineEdit* line) {
    line->clear();
    line->setPlaceholderText(kMixed);
    line->setToolTip(QStringLiteral("The selected nodes differ here: what is typed is set on all of them"));
}

QString shownNumber(const QLineEdit* line) {
    return line->placeholderText() == kMixed ? QString() : numberText(line->property("number").toDouble());
}

QLineEdit* numberField(double value, bool mixed, QWidget* parent) {
    auto* line = new QLineEdit(numberText(value), parent);
    line->setProperty("number", value);
    if (mixed)
        showMixed(line);
    return line;
}

// A check box that shows "some on, some off" until it is clicked.
QCheckBox* checkBox(bool on, bool mixed, QWidget* parent) {
    auto* box = new QCheckBox(parent);
    if (mixed) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
        QObject::connect(box, &QCheckBox::toggled, box, [box] { box->setTristate(false); });
    } else {
        box->setChecked(on);
    }
    return box;
}

// Several numbers side by side; `commit` gets them all when one is changed (none for a
// mixed field left empty), and says whether the edit was made. A refused edit puts the
// values back.
QWidget* numbersEditor(const std::vector<double>& values, const std::vector<bool>& mixed, QWidget* parent,
                       Inspector* inspector, std::function<bool(const Numbers&)> commit) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    std::vector<QLineEdit*> fields;
    for (std::size_t i = 0; i < values.size(); ++i) {
        fields.push_back(numberField(values[i], i < mixed.size() && mixed[i], row));
        layout->addWidget(fields.back());
    }
    for (QLineEdit* field : fields)
        QObject::connect(field, &QLineEdit::editingFinished, row, [fields, commit, inspector, field] {
            if (!takeEdit(field))
                return;
            Numbers out;
            QString why;
            for (QLineEdit* f : fields) {
                out.emplace_back();
                if (f->text().isEmpty() && f->placeholderText() == kMixed)
                    continue;
                out.back() = 0.0;
                if (!parseNumber(f->text(), *out.back(), why))
                    break;
            }
            const bool typed = std::any_of(out.begin(), out.end(), [](const auto& v) { return v.has_value(); });
            const bool made = why.isEmpty() && typed && commit(out);
            if (!why.isEmpty())
                inspector->refuse(why);
            if (!made)
                for (QLineEdit* f : fields)
                    f->setText(shownNumber(f));
        });
    return row;
}

Json propertyJson(const MO_PropertyValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, QString>)
                return v.toStdString();
            else
                return v;
        },
        value);
}

// Whether the nodes' values (one per node) are not all alike: the field shows "mixed".
bool differs(const std::vector<Json>& values) {
    return std::any_of(values.begin(), values.end(), [&](const Json& v) { return v != values.front(); });
}

// Which components of `values` (one per node, each a number or a list) differ among them.
std::vector<bool> differing(const std::vector<Json>& values) {
    const std::size_t n = values.front().is_array() ? values.front().size() : 1;
    std::vector<bool> out(n, false);
    for (const Json& v : values)
        for (std::size_t i = 0; i < n; ++i)
            out[i] = out[i] || (v.is_array() ? v[i] != values.front()[i] : v != values.front());
    return out;
}

bool isColourKey(const QString& key) {
    return key.contains(QLatin1String("color"), Qt::CaseInsensitive) ||
           key.contains(QLatin1String("colour"), Qt::CaseInsensitive);
}

QColor colourOf(const std::vector<double>& v) {
    const auto channel = [](double c) { return static_cast<int>(std::lround(std::clamp(c, 0.0, 255.0))); };
    return QColor(channel(v[0]), channel(v[1]), channel(v[2]), channel(v[3]));
}

void paintSwatch(QPushButton* button, const QColor& colour) {
    button->setText(colour.name(QColor::HexArgb));
    button->setStyleSheet(QStringLiteral("background-color: %1; color: %2")
                              .arg(colour.name(), colour.lightness() > 128 ? "black" : "white"));
}

using runner::scalarsOf;

std::string frameText(double frame) {
    return runner::show(runner::number(frame));
}

// Where the attribute's keys stand around `frame`: one at it, and the nearest before and
// after it.
QString keysNear(AT_Attr* attribute, double frame) {
    const Json keys = runner::readKeys(attribute);
    if (keys.empty())
        return QStringLiteral("not animated");
    bool here = false;
    const Json* before = nullptr;
    const Json* after = nullptr;
    for (const Json& key : keys) {
        const double f = key[0].get<double>();
        if (f == frame)
            here = true;
        else if (f < frame)
            before = &key;
        else if (!after)
            after = &key;
    }
    QStringList parts;
    parts << (here ? QStringLiteral("keyed here") : QStringLiteral("not keyed here"));
    parts << QStringLiteral("previous key: %1")
                 .arg(before ? QString::fromStdString(frameText((*before)[0].get<double>()) + " = " +
                                                      runner::show((*before)[1]))
                             : QStringLiteral("none"));
    parts << QStringLiteral("next key: %1")
                 .arg(after ? QString::fromStdString(frameText((*after)[0].get<double>()) + " = " +
                                                     runner::show((*after)[1]))
                            : QStringLiteral("none"));
    return parts.join(QStringLiteral("; "));
}

}  // namespace

Inspector::Inspector(runner::Session& session, QWidget* parent) : QWidget(parent), m_session(session) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tree = new QTreeWidget(this);
    m_tree->setColumnCount(3);
    m_tree->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value"), QStringLiteral("Keys")});
    m_tree->setSelectionMode(QAbstractItemView::NoSelection);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_tree);
    showSelection();
}

void Inspector::showSelection() {
    m_nodes.clear();
    for (const SLB_Selection::Item& item : m_session.selection().items())
        if (std::find(m_nodes.begin(), m_nodes.end(), item.node) == m_nodes.end())
            m_nodes.push_back(item.node);
    m_node = m_nodes.empty() ? nullptr : m_nodes.front();
    // The old editors go with their rows, but only later: the one being left (its focus
    // lost as it goes) must not finish an edit of a node no longer shown.
    for (QLineEdit* line : m_tree->findChildren<QLineEdit*>())
        line->blockSignals(true);
    m_tree->clear();
    if (!m_node) {
        m_tree->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("(nothing selected)")}));
        return;
    }
    QStringList names;
    for (const MO_Node* n : m_nodes)
        names << n->name();
    auto* title = new QTreeWidgetItem(m_tree, {names.join(QStringLiteral(", "))});
    if (m_nodes.size() > 1)
        title->setText(1, QStringLiteral("%1 nodes: what they have in common, edited together").arg(m_nodes.size()));
    QFont bold = title->font(0);
    bold.setBold(true);
    title->setFont(0, bold);
    auto* attributes = new QTreeWidgetItem(m_tree, {QStringLiteral("Attributes")});
    if (m_session.animationMode == CX_AnimationModeRange) {
        const QString range = m_session.range.isInfinite()
                                  ? QStringLiteral("every frame")
                                  : QStringLiteral("frames %1 to %2")
                                        .arg(numberText(m_session.range.first()), numberText(m_session.range.last()));
        attributes->setText(1, QStringLiteral("Frame range: an edit moves %1 by the change made here").arg(range));
    }
    for (const auto& attribute : m_node->attributes())
        if (sameOnEvery(attribute.get()).size() == m_nodes.size())
            addAttributeRow(attributes, attribute.get());
    auto* properties = new QTreeWidgetItem(m_tree, {QStringLiteral("Properties")});
    for (const auto& [key, value] : m_node->properties().values())
        if (everyHasProperty(key, value))
            addPropertyRow(properties, key, value);
    m_tree->expandAll();
}

void Inspector::addAttributeRow(QTreeWidgetItem* parent, AT_Attr* attribute) {
    auto* item = new QTreeWidgetItem(parent, {attribute->name()});
    item->setToolTip(0, attribute->typeName());
    item->setText(2, keysNear(attribute, m_session.frame()));
    QWidget* editor = nullptr;
    const double frame = m_session.frame();
    std::vector<Json> each;
    for (AT_Attr* same : sameOnEvery(attribute))
        each.push_back(valueOf(same));
    const bool mixed = differs(each);
    if (auto* b = dynamic_cast<AT_BoolAttr*>(attribute)) {
        auto* box = checkBox(b->value(frame), mixed, m_tree);
        connect(box, &QCheckBox::toggled, this, [this, attribute](bool on) { editAttribute(attribute, on); });
        editor = box;
    } else if (auto* s = dynamic_cast<AT_StringAttr*>(attribute)) {
        auto* line = new QLineEdit(s->value(frame), m_tree);
        if (mixed)
            showMixed(line);
        connect(line, &QLineEdit::editingFinished, this, [this, attribute, line] {
            if (takeEdit(line))
                editAttribute(attribute, line->text().toStdString());
        });
        editor = line;
    } else if (!scalarsOf(attribute).empty()) {
        const Json& value = each.front();
        std::vector<double> values;
        if (value.is_array())
            for (const Json& v : value)
                values.push_back(v.get<double>());
        else
            values.push_back(value.get<double>());
        editor = numbersEditor(values, differing(each), m_tree, this,
                               [this, attribute](const Numbers& v) { return editNumbers(attribute, v); });
    }
    if (editor)
        m_tree->setItemWidget(item, 1, editor);
}

void Inspector::addPropertyRow(QTreeWidgetItem* parent, const QString& key, const MO_PropertyValue& value) {
    auto* item = new QTreeWidgetItem(parent, {key});
    QWidget* editor = nullptr;
    std::vector<Json> each;
    for (const MO_Node* n : m_nodes)
        each.push_back(propertyJson(n->properties().values().at(key)));
    const bool mixed = differs(each);
    // A property is set whole on every node: a field left mixed cannot be kept per node.
    const auto whole = [this, key](const Numbers& v, auto&& edit) {
        if (std::any_of(v.begin(), v.end(), [](const auto& n) { return !n.has_value(); })) {
            refuse(QStringLiteral("The selected nodes differ in %1: type every number of it").arg(key));
            return false;
        }
        return edit();
    };
    if (const auto* d = std::get_if<double>(&value)) {
        editor = numbersEditor({*d}, {mixed}, m_tree, this, [this, key, whole](const Numbers& v) {
            return whole(v, [&] { return editProperty(key, *v[0]); });
        });
    } else if (const auto* b = std::get_if<bool>(&value)) {
        auto* box = checkBox(*b, mixed, m_tree);
        connect(box, &QCheckBox::toggled, this, [this, key](bool on) { editProperty(key, on); });
        editor = box;
    } else if (const auto* s = std::get_if<QString>(&value)) {
        auto* line = new QLineEdit(*s, m_tree);
        if (mixed)
            showMixed(line);
        connect(line, &QLineEdit::editingFinished, this, [this, key, line] {
            if (takeEdit(line))
                editProperty(key, line->text());
        });
        editor = line;
    } else {
        const auto& list = std::get<std::vector<double>>(value);
        if (list.size() == 4 && isColourKey(key)) {
            auto* button = new QPushButton(m_tree);
            if (mixed)
                button->setText(kMixed);
            else
                paintSwatch(button, colourOf(list));
            connect(button, &QPushButton::clicked, this, [this, key, list] {
                const QColor chosen = QColorDialog::getColor(colourOf(list), this, QStringLiteral("Colour of ") + key,
                                                             QColorDialog::ShowAlphaChannel);
                if (chosen.isValid())
                    editProperty(key, std::vector<double>{double(chosen.red()), double(chosen.green()),
                                                          double(chosen.blue()), double(chosen.alpha())});
            });
            editor = button;
        } else if (list.size() == 2) {
            editor = numbersEditor(list, differing(each), m_tree, this, [this, key, whole](const Numbers& v) {
                return whole(v, [&] { return editProperty(key, std::vector<double>{*v[0], *v[1]}); });
            });
        } else {
            // Any other list is edited as text, numbers separated by commas.
            QStringList parts;
            for (double v : list)
                parts << QString::number(v, 'g', 17);
            auto* line = new QLineEdit(parts.join(QStringLiteral(", ")), m_tree);
            if (mixed)
                showMixed(line);
            const QString shown = line->text();
            connect(line, &QLineEdit::editingFinished, this, [this, key, line, shown] {
                if (!takeEdit(line))
                    return;
                std::vector<double> numbers;
                QString why;
                for (const QString& part : line->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                    numbers.push_back(0.0);
                    if (!parseNumber(part, numbers.back(), why)) {
                        refuse(why);
                        line->setText(shown);
                        return;
                    }
                }
                if (!editProperty(key, numbers))
                    line->setText(shown);
            });
            editor = line;
        }
    }
    m_tree->setItemWidget(item, 1, editor);
}

Json Inspector::valueOf(AT_Attr* attribute) const {
    return runner::read(runner::Target{runner::Target::Kind::Value, attribute->node(), attribute}, m_session.frame());
}

std::vector<AT_Attr*> Inspector::sameOnEvery(AT_Attr* attribute) const {
    std::vector<AT_Attr*> out;
    for (MO_Node* n : m_nodes) {
        AT_Attr* same = n->attribute(attribute->name());
        if (same && same->typeName() == attribute->typeName())
            out.push_back(same);
    }
    return out;
}

bool Inspector::everyHasProperty(const QString& key, const MO_PropertyValue& value) const {
    return std::all_of(m_nodes.begin(), m_nodes.end(), [&](const MO_Node* n) {
        const auto& values = n->properties().values();
        const auto it = values.find(key);
        return it != values.end() && it->second.index() == value.index();
    });
}

// One command over every selected node that has the attribute, so that one undo takes
// the edit back from all of them.
bool Inspector::editNumbers(AT_Attr* attribute, const Numbers& numbers) {
    // An editor left from a node that is no longer shown edits nothing.
    if (!m_node || attribute->node() != m_node)
        return false;
    std::vector<Json> values;
    for (AT_Attr* target : sameOnEvery(attribute)) {
        // Each node keeps its own number where the field was left mixed.
        Json value = valueOf(target);
        for (std::size_t i = 0; i < numbers.size(); ++i)
            if (numbers[i])
                (value.is_array() ? value[i] : value) = *numbers[i];
        values.push_back(value);
    }
    return editEach(attribute, values);
}

bool Inspector::editAttribute(AT_Attr* attribute, const Json& value) {
    return editEach(attribute, std::vector<Json>(sameOnEvery(attribute).size(), value));
}

bool Inspector::editEach(AT_Attr* attribute, const std::vector<Json>& values) {
    // An editor left from a node that is no longer shown edits nothing.
    if (!m_node || attribute->node() != m_node)
        return false;
    std::vector<runner::AttributeEdit> edits;
    Json step = Json::object();
    const std::vector<AT_Attr*> targets = sameOnEvery(attribute);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        edits.push_back({targets[i], values[i]});
        step[targets[i]->node()->name().toStdString() + "." + targets[i]->name().toStdString()] = values[i];
    }
    std::string why;
    const runner::EditOutcome outcome = runner::editAttributes(m_session, edits, why);
    if (outcome == runner::EditOutcome::Refused)
        refuse(QString::fromStdString(why));
    if (outcome != runner::EditOutcome::Recorded)
        return false;
    emit edited();
    emit performed(Json{{"edit", step}});
    return true;
}

QLineEdit* Inspector::field(const QString& group, const QString& name, int index) const {
    for (int top = 0; top < m_tree->topLevelItemCount(); ++top) {
        QTreeWidgetItem* section = m_tree->topLevelItem(top);
        if (section->text(0) != group)
            continue;
        for (int row = 0; row < section->childCount(); ++row) {
            if (section->child(row)->text(0) != name)
                continue;
            QWidget* editor = m_tree->itemWidget(section->child(row), 1);
            if (auto* line = qobject_cast<QLineEdit*>(editor))
                return index == 0 ? line : nullptr;
            const auto lines = editor ? editor->findChildren<QLineEdit*>() : QList<QLineEdit*>();
            return index < lines.size() ? lines[index] : nullptr;
        }
    }
    return nullptr;
}

void Inspector::refuse(const QString& why) {
    emit refused(why);
}

bool Inspector::type(const QString& group, const QString& name, int index, const QString& text, QString& shows) {
    QPointer<QLineEdit> line = field(group, name, index);
    if (!line)
        return false;
    line->selectAll();
    line->insert(text);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(line, &enter);
    // The user then looks elsewhere, and the editor loses the focus.
    if (line) {
        QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
        QApplication::sendEvent(line, &out);
    }
    QLineEdit* shown = field(group, name, index);
    shows = shown ? shown->text() : QString();
    return true;
}

// As the runner's step, through the window, so that it is recorded and undone as one edit
// of every selected node.
bool Inspector::editProperty(const QString& key, const MO_PropertyValue& value) {
    if (!m_node || !m_perform)
        return false;
    Json names = Json::array();
    for (MO_Node* node : m_nodes)
        names.push_back(node->name().toStdString());
    return m_perform({{"setProperty", names.size() == 1 ? names[0] : names},
                      {"key", key.toStdString()},
                      {"value", propertyJson(value)}});
}

}  // namespace viewer
