#include "apps/rigkit-view/outliner.h"

#include "apps/core/session.h"
#include "apps/rigkit-view/viewer_window.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QInputDialog>
#include <QMenu>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace viewer {

namespace {

using runner::Json;

// What an item stands for: a node (its name), or one of its components.
constexpr int kNodeRole = Qt::UserRole;
constexpr int kFamilyRole = Qt::UserRole + 1;
constexpr int kIndexRole = Qt::UserRole + 2;

// The families as steps name them, with the type strings their factories know.
struct FamilyMenu {
    const char* family;
    const char* title;
    std::vector<QString> (*types)();
};

template <class Factory>
std::vector<QString> namesOf(const Factory& factory) {
    std::vector<QString> out = factory.names();
    std::sort(out.begin(), out.end());
    return out;
}

const FamilyMenu kFamilyMenus[] = {
    {"transformation", "Transformation", [] { return namesOf(MO_LocalTransformationFactorySingleton()); }},
    {"painter", "Painter", [] { return namesOf(MO_OGLPainterFactorySingleton()); }},
    {"manipulator", "Manipulator", [] { return namesOf(SLB_SelectableDragManipulatorFactorySingleton()); }},
    {"picker", "Picker", [] { return namesOf(SLB_PickAdaptorFactorySingleton()); }},
};

QString componentText(const runner::Component& c) {
    QStringList attributes;
    for (const runner::Binding& b : c.attributes)
        attributes << QString::fromStdString(b.path);
    return QString::fromStdString(c.type) + QStringLiteral(" (") + attributes.join(QStringLiteral(", ")) +
           QLatin1Char(')');
}

void addComponentItem(QTreeWidgetItem* node, const char* family, int index, const runner::Component& c) {
    auto* item = new QTreeWidgetItem(node, {QString::fromLatin1(family), componentText(c)});
    item->setData(0, kNodeRole, node->data(0, kNodeRole));
    item->setData(0, kFamilyRole, QString::fromLatin1(family));
    item->setData(0, kIndexRole, index);
    item->setForeground(0, Qt::gray);
}

QTreeWidgetItem* nodeItem(const runner::Node& n) {
    auto* item = new QTreeWidgetItem({QString::fromStdString(n.name), QStringLiteral("node")});
    item->setData(0, kNodeRole, QString::fromStdString(n.name));
    for (std::size_t i = 0; i < n.transformations.size(); ++i)
        addComponentItem(item, "transformation", static_cast<int>(i), n.transformations[i]);
    for (std::size_t i = 0; i < n.painters.size(); ++i)
        addComponentItem(item, "painter", static_cast<int>(i), n.painters[i]);
    if (n.manipulator)
        addComponentItem(item, "manipulator", 0, *n.manipulator);
    if (n.picker)
        addComponentItem(item, "picker", 0, *n.picker);
    return item;
}

Json nameJson(const QString& name) {
    return name.toStdString();
}

}  // namespace

Outliner::Outliner(ViewerWindow& window, QWidget* parent) : QWidget(parent), m_window(window) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* tools = new QToolBar(this);
    tools->addAction(QStringLiteral("Add Node"), this, &Outliner::addNode);
    tools->addAction(QStringLiteral("Duplicate"), this, &Outliner::duplicate);
    tools->addAction(QStringLiteral("Delete"), this, &Outliner::deleteSelected);
    tools->addAction(QStringLiteral("Parent to..."), this, &Outliner::parentTo);
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("outliner"));
    m_tree->setHeaderLabels({QStringLiteral("Node"), QStringLiteral("Type")});
    m_tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    column->addWidget(tools);
    column->addWidget(m_tree, 1);
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &Outliner::selectionChanged);
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, &Outliner::showMenu);
}

void Outliner::showScene() {
    runner::Session& session = m_window.document().session();
    m_showing = true;
    if (!m_built || session.sceneChanges() != m_shownScene)
        rebuild();
    m_shownScene = session.sceneChanges();
    m_built = true;
    showSelection();
    m_showing = false;
}

void Outliner::rebuild() {
    m_tree->clear();
    runner::Session& session = m_window.document().session();
    std::vector<runner::Node> none;
    const std::vector<runner::Node>* nodes = &none;
    try {
        nodes = &session.document().nodes;
    } catch (const runner::RunError&) {
        // No file loaded yet: nothing to show.
    }
    std::map<std::string, QTreeWidgetItem*> items;
    for (const runner::Node& n : *nodes) {
        QTreeWidgetItem* item = nodeItem(n);
        const auto parent = n.parent ? items.find(*n.parent) : items.end();
        if (parent != items.end())
            parent->second->addChild(item);
        else
            m_tree->addTopLevelItem(item);
        items[n.name] = item;
    }
    m_tree->expandAll();
}

// Node items only: a component's item stands for its node when chosen, and goes
// unselected when the selection comes back from the scene.
void Outliner::showSelection() {
    const SLB_Selection& selection = m_window.document().session().selection();
    QStringList selected;
    for (const SLB_Selection::Item& item : selection.items())
        selected << item.node->name();
    if (selected == selectedNodes())
        return;
    m_tree->clearSelection();
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->data(0, kFamilyRole).isNull() && selected.contains((*it)->data(0, kNodeRole).toString()))
            (*it)->setSelected(true);
}

QStringList Outliner::selectedNodes() const {
    QStringList out;
    for (QTreeWidgetItemIterator it(m_tree, QTreeWidgetItemIterator::Selected); *it; ++it) {
        const QString name = (*it)->data(0, kNodeRole).toString();
        if (!out.contains(name))
            out << name;
    }
    return out;
}

// The nodes that stay selected keep their order (the first is the one the inspector
// shows); those added follow.
void Outliner::selectionChanged() {
    if (m_showing)
        return;
    const QStringList chosen = selectedNodes();
    QStringList names;
    for (const SLB_Selection::Item& item : m_window.document().session().selection().items())
        if (chosen.contains(item.node->name()) && !names.contains(item.node->name()))
            names << item.node->name();
    for (const QString& name : chosen)
        if (!names.contains(name))
            names << name;
    Json list = Json::array();
    for (const QString& name : names)
        list.push_back(nameJson(name));
    perform({{"select", list}});
}

QStringList Outliner::rows() const {
    QStringList out;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        int depth = 0;
        for (const QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent())
            ++depth;
        const bool component = !(*it)->data(0, kFamilyRole).isNull();
        out << QString(depth * 2, QLatin1Char(' ')) + (*it)->text(0) +
                   (component ? QLatin1Char(' ') + (*it)->text(1) : QString());
    }
    return out;
}

bool Outliner::click(const QString& node, Qt::KeyboardModifiers modifiers) {
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if (!(*it)->data(0, kFamilyRole).isNull() || (*it)->data(0, kNodeRole).toString() != node)
            continue;
        m_tree->scrollToItem(*it);
        const QPoint at = m_tree->visualItemRect(*it).center();
        QWidget* target = m_tree->viewport();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, modifiers);
            QApplication::sendEvent(target, &event);
        }
        return true;
    }
    return false;
}

bool Outliner::perform(const Json& step) {
    return m_window.perform(step);
}

void Outliner::showMenu(const QPoint& at) {
    QMenu menu(this);
    fillMenu(&menu, m_tree->itemAt(at));
    menu.exec(m_tree->viewport()->mapToGlobal(at));
}

void Outliner::fillMenu(QMenu* menu, QTreeWidgetItem* item) {
    menu->addAction(QStringLiteral("Add Node"), this, &Outliner::addNode);
    if (!item)
        return;
    const QString node = item->data(0, kNodeRole).toString();
    menu->addAction(QStringLiteral("Add Attribute..."), this, [this, node] { addAttribute(node); });
    addComponentMenu(menu, node);
    if (!item->data(0, kFamilyRole).isNull()) {
        const Json step = {{"removeComponent", nameJson(node)},
                           {"family", item->data(0, kFamilyRole).toString().toStdString()},
                           {"index", item->data(0, kIndexRole).toInt()}};
        menu->addAction(QStringLiteral("Remove ") + item->text(1), this, [this, step] { perform(step); });
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("Duplicate"), this, &Outliner::duplicate);
    menu->addAction(QStringLiteral("Delete"), this, &Outliner::deleteSelected);
    menu->addAction(QStringLiteral("Parent to..."), this, &Outliner::parentTo);
    menu->addAction(QStringLiteral("Connect..."), this, [this, node] { connectPort(node); });
}

void Outliner::addComponentMenu(QMenu* menu, const QString& node) {
    QMenu* add = menu->addMenu(QStringLiteral("Add Component"));
    for (const FamilyMenu& f : kFamilyMenus) {
        QMenu* family = add->addMenu(QString::fromLatin1(f.title));
        const QString key = QString::fromLatin1(f.family);
        for (const QString& type : f.types())
            family->addAction(type, this, [this, node, key, type] { addComponent(node, key, type); });
    }
}

void Outliner::addNode() {
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("Add Node"), QStringLiteral("Name:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok || name.isEmpty())
        return;
    Json step = {{"addNode", nameJson(name)}};
    // Under the node selected, as a rigger builds a chain.
    const QStringList selected = selectedNodes();
    if (selected.size() == 1)
        step["parent"] = nameJson(selected.front());
    perform(step);
}

void Outliner::addAttribute(const QString& node) {
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("Add Attribute"), QStringLiteral("Name:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok || name.isEmpty())
        return;
    QStringList kinds;
    for (const runner::AttributeKindInfo& k : runner::kAttributeKinds)
        kinds << QString::fromLatin1(k.name);
    const QString kind =
        QInputDialog::getItem(this, QStringLiteral("Add Attribute"), QStringLiteral("Kind:"), kinds, 0, false, &ok);
    if (ok)
        perform({{"addAttribute", nameJson(node)}, {"name", nameJson(name)}, {"type", kind.toStdString()}});
}

// The attributes to bind are asked for, offering the node's attributes as written.
void Outliner::addComponent(const QString& node, const QString& family, const QString& type) {
    QStringList offered;
    if (MO_Node* n = m_window.document().session().common().findNode(node))
        for (const auto& attribute : n->attributes())
            offered << attribute->name();
    bool ok = false;
    const QString text = QInputDialog::getText(
        this, QStringLiteral("Add ") + type,
        QStringLiteral("Attributes it reads, separated by commas (the node has: %1):").arg(offered.join(", ")),
        QLineEdit::Normal, offered.isEmpty() ? QString() : offered.front(), &ok);
    if (!ok)
        return;
    Json attributes = Json::array();
    for (const QString& a : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        attributes.push_back(a.trimmed().toStdString());
    perform({{"addComponent", nameJson(node)},
             {"family", family.toStdString()},
             {"type", type.toStdString()},
             {"attributes", attributes}});
}

void Outliner::duplicate() {
    for (const QString& node : selectedNodes())
        if (!perform({{"duplicate", nameJson(node)}}))
            return;
}

void Outliner::deleteSelected() {
    // Children before their parents, so that a selected chain goes whole.
    QStringList nodes = selectedNodes();
    std::reverse(nodes.begin(), nodes.end());
    for (const QString& node : nodes)
        if (!perform({{"delete", nameJson(node)}}))
            return;
}

void Outliner::parentTo() {
    const QStringList selected = selectedNodes();
    if (selected.isEmpty())
        return;
    QStringList choices{QStringLiteral("(none)")};
    for (const auto& n : m_window.document().session().common().nodes())
        if (!selected.contains(n->name()))
            choices << n->name();
    bool ok = false;
    const QString parent = QInputDialog::getItem(this, QStringLiteral("Parent to"), QStringLiteral("Parent:"), choices,
                                                 0, false, &ok);
    if (!ok)
        return;
    const Json to = parent == choices.front() ? Json() : nameJson(parent);
    for (const QString& node : selected)
        if (!perform({{"reparent", nameJson(node)}, {"to", to}}))
            return;
}

void Outliner::connectPort(const QString& node) {
    MO_Node* n = m_window.document().session().common().findNode(node);
    if (!n)
        return;
    bool ok = false;
    const int port = QInputDialog::getInt(this, QStringLiteral("Connect"), QStringLiteral("Input port:"),
                                          n->inPortCount(), 0, n->inPortCount(), 1, &ok);
    if (!ok)
        return;
    QStringList choices{QStringLiteral("(none)")};
    for (const auto& other : m_window.document().session().common().nodes())
        if (other.get() != n)
            choices << other->name();
    const QString source =
        QInputDialog::getItem(this, QStringLiteral("Connect"), QStringLiteral("Reads:"), choices, 0, false, &ok);
    if (ok)
        perform({{"connect", nameJson(node)}, {"port", port}, {"to", source == choices.front() ? Json() : nameJson(source)}});
}

namespace {

QStringList namesIn(const Json& list, const char* path) {
    QStringList out;
    for (std::size_t i = 0; i < runner::requireArray(list, path).size(); ++i)
        out << QString::fromStdString(runner::requireString(list[i], runner::element(path, i)));
    return out;
}

Json listJson(const QStringList& list) {
    Json out = Json::array();
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

void expectOutliner(const Outliner& outliner, const Json& argument) {
    runner::checkKeys(runner::requireObject(argument, "expectOutliner"), "expectOutliner", {"selected", "rows"});
    for (const auto& [key, shown] : {std::pair{"selected", outliner.selectedNodes()}, {"rows", outliner.rows()}}) {
        if (!argument.contains(key))
            continue;
        const QStringList expected = namesIn(argument[key], key);
        if (shown != expected)
            throw runner::RunError(key, "the outliner shows " + runner::show(listJson(shown)) + ", expected " +
                                            runner::show(listJson(expected)));
    }
}

}  // namespace

void addOutlinerSteps(runner::StepTable& table, ViewerWindow& window) {
    table.add(
        "outliner",
        [&window](runner::ScriptContext&, const Json& argument, const Json& step) {
            const QString node = QString::fromStdString(runner::requireString(argument, "outliner"));
            if (!window.outliner()->click(node, runner::readModifiers(step, "modifiers")))
                throw runner::RunError("", "the outliner shows no node " + runner::quote(node.toStdString()));
        },
        {"modifiers"});
    table.add("expectOutliner", [&window](runner::ScriptContext&, const Json& argument, const Json&) {
        expectOutliner(*window.outliner(), argument);
    });
}

}  // namespace viewer
