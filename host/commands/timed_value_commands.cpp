#include "host/commands/timed_value_commands.h"

#include "host/scene/LXTimedValue.h"
#include "host/scene/SC_SceneCommon.h"

namespace SC_SceneCmds {

AddTimedValueCmd::AddTimedValueCmd(SC_SceneCommon* scene, LXTimedValue* tv, int, int)
    : m_scene(scene), m_tv(tv), m_owned(tv) {}

AddTimedValueCmd::~AddTimedValueCmd() = default;

bool AddTimedValueCmd::execute() {
    if (!m_owned)
        return false;  // already in the scene
    m_scene->addTimedValue(std::move(m_owned));
    return true;
}

bool AddTimedValueCmd::unexecute() {
    m_owned = m_scene->releaseTimedValue(m_tv);
    return m_owned != nullptr;
}

}  // namespace SC_SceneCmds

namespace lx_tv_socket {

bool LinkCmd::execute() {
    m_previous = m_socket->linkedTimedValue();
    m_socket->link(m_tv);
    return true;
}

bool LinkCmd::unexecute() {
    m_socket->link(m_previous);
    return true;
}

}  // namespace lx_tv_socket

namespace lx_timedvalue {

bool SpliceCmdBase::execute() {
    m_inserted = false;
    if (m_tv->hasControlPointAt(m_frame))
        return true;
    LXCtrlPt pt;
    pt.frame = m_frame;
    pt.value = m_tv->isEmpty() ? 0.0 : m_tv->evaluate(m_frame);
    pt.constantSegment = m_constantSegment;
    m_tv->controlPoints().insert(pt);
    m_inserted = true;
    m_tv->endModif(m_frame);
    return true;
}

bool SpliceCmdBase::unexecute() {
    if (!m_inserted)
        return true;
    LXCtrlPts& pts = m_tv->controlPoints();
    auto it = pts.find(m_frame);
    if (it != pts.end())
        pts.erase(it);
    m_inserted = false;
    m_tv->endModif(m_frame);
    return true;
}

bool ControlPointValueCmd::execute() {
    LXCtrlPts& pts = m_tv->controlPoints();
    auto it = pts.find(m_frame);
    m_inserted = it == pts.end();
    if (m_inserted) {
        LXCtrlPt pt;
        pt.frame = m_frame;
        pt.value = m_value;
        pts.insert(pt);
    } else {
        m_old = *it;
        it->value = m_value;
    }
    m_tv->endModif(m_frame);
    return true;
}

bool ControlPointValueCmd::unexecute() {
    LXCtrlPts& pts = m_tv->controlPoints();
    auto it = pts.find(m_frame);
    if (it == pts.end())
        return false;
    // The whole point goes back: a later edit in the same macro may have changed more of
    // it than its value.
    if (m_inserted)
        pts.erase(it);
    else
        *it = m_old;
    m_tv->endModif(m_frame);
    return true;
}

bezier::SpliceCmd::SpliceCmd(LXBezierTimedValue* tv, double frame, bool, bool constantSegment)
    : SpliceCmdBase(tv, frame, constantSegment) {}

ease::SpliceCmd::SpliceCmd(LXEaseTimedValue* tv, double frame, bool constantSegment)
    : SpliceCmdBase(tv, frame, constantSegment) {}

velobased::SpliceCmd::SpliceCmd(LXVeloBasedTimedValue* tv, double frame) : SpliceCmdBase(tv, frame, false) {}

velobased::SetValueCmd::SetValueCmd(LXVeloBasedTimedValue* tv, double frame, double value)
    : ControlPointValueCmd(tv, frame, value) {}

}  // namespace lx_timedvalue

void LXFnc2DTimedValue::addSetValueCmds(CO_OrCommand* macro, double frame, double value) {
    macro->add(new lx_timedvalue::ControlPointValueCmd(this, frame, value));
}
