#include "apps/core/session.h"

#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"

#include <vector>

namespace runner {

SLB_Selection& Session::selection() const {
    return m_scene.common->selection();
}

void Session::setFrame(double frame) {
    m_frame = frame;
    m_scene.common->setCurrentFrame(frame);
}

namespace {

std::vector<QString> selectedNames(const SLB_Selection& selection) {
    std::vector<QString> out;
    for (const SLB_Selection::Item& item : selection.items())
        out.push_back(item.node->name());
    return out;
}

void selectNamed(SC_SceneCommon& scene, const std::vector<QString>& names) {
    scene.selection().clear();
    for (const QString& name : names)
        if (MO_Node* node = scene.findNode(name))
            scene.selection().select(node, 0, true);
}

}  // namespace

void Session::setAutoKey(bool on) {
    m_autoKey = on;
    m_scene.common->setAutoKey(on);
}

void Session::replaceScene(Scene fresh) {
    const std::vector<QString> selected = selectedNames(selection());
    history.clear();
    m_scene = std::move(fresh);
    m_scene.common->setCurrentFrame(m_frame);
    m_scene.common->setAutoKey(m_autoKey);
    selectNamed(*m_scene.common, selected);
    ++m_sceneChanges;
}

std::unique_ptr<SC_SceneCommon> Session::swapNodes(std::unique_ptr<SC_SceneCommon> nodes) {
    const std::vector<QString> selected = selectedNames(selection());
    std::swap(m_scene.common, nodes);
    m_scene.common->setCurrentFrame(m_frame);
    m_scene.common->setAutoKey(m_autoKey);
    selectNamed(*m_scene.common, selected);
    ++m_sceneChanges;
    return nodes;
}

Document& Session::document() {
    if (m_document)
        return *m_document;
    if (!m_readDocument)
        throw RunError("", "this scene was not loaded from a document that can be changed");
    m_ownDocument = std::make_unique<Document>(m_readDocument());
    m_document = m_ownDocument.get();
    return *m_document;
}

}  // namespace runner
