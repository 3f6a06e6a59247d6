#include "manipulators/attribute_commands.h"

#include "host/base/MSG_Scope.h"
#include "host/commands/timed_value_commands.h"
#include "host/prefs/PR_CachedPreferences.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"
#include "registry/component.h"

namespace {

void reportExpressionRefusal() {
    MSG_Scope(QStringLiteral("AT_AttrCmdsImpl"), QStringLiteral("Cannot set value in expression."), 5, 0);
}

void emitChanged(AT_DoubleAttr* attribute) {
    MO_Node* node = attribute->node();
    node->sceneCommon()->changeManager().emitNodeChanged(node);
}

void dirtyIfAsked(AT_DoubleAttr* attribute) {
    if (attribute->meta().isNodeDirtyOnChange())
        attribute->node()->setDirty();
}

LXTimedValue* linkedTimedValue(const AT_DoubleAttr* attribute) {
    return attribute->socket() ? attribute->socket()->linkedTimedValue() : nullptr;
}

// The kinds whose control points the commands add and erase one by one.
bool hasSplicedPoints(const LXTimedValue* tv) {
    return dynamic_cast<const LXBezierTimedValue*>(tv) || dynamic_cast<const LXEaseTimedValue*>(tv) ||
           dynamic_cast<const LXVeloBasedTimedValue*>(tv);
}

void controlPointsWillChange(const LXTimedValue* tv) {
    if (SLB_SelectedInterface* s = tv->selInterface())
        s->controlPointsWillChange();
}

}  // namespace

namespace lx_attr {

SetValueCmd<AT_DoubleAttr>::SetValueCmd(AT_DoubleAttr* attribute, double frame, double value, bool constantSegment,
                                        bool forceKey)
    : m_attribute(attribute),
      m_frame(frame),
      m_value(value),
      m_constantSegment(constantSegment),
      m_forceKey(forceKey) {}

bool SetValueCmd<AT_DoubleAttr>::execute() {
    const double old = m_attribute->valueAt(m_frame, nullptr, nullptr);
    m_hadControlPoint = true;
    LXTimedValue* tv = linkedTimedValue(m_attribute);
    if (tv) {
        if (hasSplicedPoints(tv)) {
            std::size_t slot = 0;
            tv->findControlPoint(m_frame, &slot, m_attribute, m_hadControlPoint, nullptr);
            if (!m_hadControlPoint)
                controlPointsWillChange(tv);
        } else if (dynamic_cast<LXExprTimedValue*>(tv)) {
            reportExpressionRefusal();
            return false;
        }
    }
    if (!m_attribute->setValue(m_frame, m_value, m_constantSegment, m_forceKey))
        return false;
    dirtyIfAsked(m_attribute);
    emitChanged(m_attribute);
    if (tv)
        tv->endModif(m_frame);
    m_value = old;
    return true;
}

bool SetValueCmd<AT_DoubleAttr>::unexecute() {
    const double current = m_attribute->valueAt(m_frame, nullptr, nullptr);
    if (m_hadControlPoint) {
        if (m_attribute->setValue(m_frame, m_value, m_constantSegment, false))
            emitChanged(m_attribute);
    } else if (LXTimedValue* tv = linkedTimedValue(m_attribute)) {
        if (hasSplicedPoints(tv)) {
            LXCtrlPts& pts = tv->controlPoints();
            auto it = pts.getLowerBound(m_frame);
            if (it != pts.end() && it->frame == m_frame) {
                controlPointsWillChange(tv);
                pts.erase(it);
            }
        }
        dirtyIfAsked(m_attribute);
        tv->endModif(m_frame);
        emitChanged(m_attribute);
    }
    m_value = current;
    return true;
}

bool SetLocalValueCmd<AT_DoubleAttr>::execute() {
    const double old = m_attribute->localValue();
    if (!m_attribute->setLocalValue(m_value))
        return false;
    emitChanged(m_attribute);
    dirtyIfAsked(m_attribute);
    m_value = old;
    return true;
}

SetValueCurrentFrameCmd<AT_DoubleAttr>::SetValueCurrentFrameCmd(SC_SceneCommon*, AT_DoubleAttr* attribute, double frame,
                                                                const double& value, bool constantSegment,
                                                                bool forceKey, bool delegateToFunction,
                                                                bool keepFirstFrame)
    : CO_OrCommand(true) {
    CO_OrCommand* pre = nullptr;
    LXTimedValue* tv = nullptr;
    if (attribute->socket()) {
        tv = attribute->socket()->linkedTimedValue();
        if (!tv) {
            if (value != attribute->localValue() || forceKey) {
                pre = rigkit::createTimedValueLinkCmd(attribute, tv);
                if (pre && keepFirstFrame && frame != 1.0)
                    pre->add(
                        new SetValueCmd<AT_DoubleAttr>(attribute, 1.0, attribute->localValue(), constantSegment, true));
            }
        } else if (value != attribute->valueAt(frame, nullptr, nullptr) || forceKey) {
            pre = new CO_OrCommand(false);
            if (auto* bezier = dynamic_cast<LXBezierTimedValue*>(tv))
                pre->add(new lx_timedvalue::bezier::SpliceCmd(bezier, frame, true, constantSegment));
            else if (auto* ease = dynamic_cast<LXEaseTimedValue*>(tv))
                pre->add(new lx_timedvalue::ease::SpliceCmd(ease, frame, constantSegment));
            else if (auto* velo = dynamic_cast<LXVeloBasedTimedValue*>(tv))
                pre->add(new lx_timedvalue::velobased::SpliceCmd(velo, frame));
        }
    }
    auto* main = new SetValueCmd<AT_DoubleAttr>(attribute, frame, value, constantSegment, forceKey);
    if (attribute->socket() && delegateToFunction)
        if (auto* fnc = dynamic_cast<LXFnc2DTimedValue*>(tv))
            fnc->addSetValueCmds(this, frame, value);
    add(pre);
    add(main);
}

OffsetValueAllFramesCmd<AT_DoubleAttr>::OffsetValueAllFramesCmd(AT_DoubleAttr* attribute, const double& offset,
                                                                const MO_FrameRange& range)
    : CO_OrCommand(true) {
    LXTimedValue* tv = linkedTimedValue(attribute);
    if (!attribute->socket() || ((!tv || tv->isEmpty()) && range.isInfinite())) {
        add(new SetLocalValueCmd<AT_DoubleAttr>(attribute, attribute->localValue() + offset));
        return;
    }
    if (!tv)
        add(rigkit::createTimedValueLinkCmd(attribute, tv));
    const bool constantSegment = PR_CachedPreferences::_SpConstantSegment;
    if (tv && !range.isInfinite()) {
        // The neighbours outside the range keep their value; the range's ends move with it.
        for (double f : range.passiveFrames())
            if (!tv->hasControlPointAt(f))
                add(new SetValueCmd<AT_DoubleAttr>(attribute, f, attribute->valueAt(f, nullptr, nullptr),
                                                   constantSegment, true));
        for (double f : range.edgeFrames())
            if (!tv->hasControlPointAt(f))
                add(new SetValueCmd<AT_DoubleAttr>(attribute, f, attribute->valueAt(f, nullptr, nullptr) + offset,
                                                   constantSegment, true));
    }
    rigkit::addControlPointOffsets(this, attribute, tv, offset, range, constantSegment);
}

}  // namespace lx_attr

namespace rigkit {

CO_OrCommand* createTimedValueLinkCmd(AT_DoubleAttr* attribute, LXTimedValue*& tv) {
    tv = nullptr;
    LXTvSocket* socket = attribute->socket();
    if (!socket)
        return nullptr;
    tv = socket->linkedTimedValue();
    if (tv)
        return nullptr;
    tv = socket->createTimedValue(!PR_CachedPreferences::_PegDefaultBezier);
    auto* link = new CO_OrCommand(false);
    link->add(new SC_SceneCmds::AddTimedValueCmd(attribute->sceneCommon(), tv, -1, -1));
    link->add(new lx_tv_socket::LinkCmd(socket, tv));
    return link;
}

void addControlPointOffsets(CO_OrCommand* macro, AT_DoubleAttr* attribute, LXTimedValue* tv, double offset,
                            const MO_FrameRange& range, bool constantSegment) {
    if (!tv || offset == 0.0)
        return;
    const auto inRange = [&range](const LXCtrlPt& p) { return range.isFrameEnabled(truncateToInt(p.frame)); };
    if (dynamic_cast<LXEaseTimedValue*>(tv) || dynamic_cast<LXBezierTimedValue*>(tv)) {
        for (const LXCtrlPt& p : tv->controlPoints())
            if (inRange(p))
                macro->add(new lx_attr::SetValueCmd<AT_DoubleAttr>(attribute, p.frame, p.value + offset,
                                                                   constantSegment, false));
        emitChanged(attribute);
    } else if (auto* velo = dynamic_cast<LXVeloBasedTimedValue*>(tv)) {
        for (const LXCtrlPt& p : tv->controlPoints())
            if (inRange(p))
                macro->add(new lx_timedvalue::velobased::SetValueCmd(velo, p.frame, p.value + offset));
        emitChanged(attribute);
    } else if (dynamic_cast<LXExprTimedValue*>(tv)) {
        reportExpressionRefusal();
    }
}

}  // namespace rigkit
