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

void Session::replaceScene(Scene fresh) {
    std::vector<QString> selected;
    for (const SLB_Selection::Item& item : selection().items())
        selected.push_back(item.node->name());
    history.clear();
    m_scene = std::move(fresh);
    SC_SceneCommon& scene = *m_scene.common;
    scene.setCurrentFrame(m_frame);
    for (const QString& name : selected)
        if (MO_Node* node = scene.findNode(name))
            scene.selection().select(node, 0, true);
}

}  // namespace runner
