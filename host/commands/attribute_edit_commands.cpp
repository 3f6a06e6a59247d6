#include "host/commands/attribute_edit_commands.h"

#include "host/base/MSG_Scope.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/SC_SceneCommon.h"

#include <algorithm>
#include <cmath>

namespace Attr {

AttrWritesCmd::AttrWritesCmd() = default;
AttrWritesCmd::~AttrWritesCmd() = default;

void AttrWritesCmd::addKey(AT_DoubleAttr* attr, double frame, double value) {
    m_writes.push_back(Write{attr, frame, value, !attr->socket()});
}

void AttrWritesCmd::addLocal(AT_DoubleAttr* attr, double value) {
    m_writes.push_back(Write{attr, 0.0, value, true});
}

LXTimedValue* AttrWritesCmd::curveFor(AT_DoubleAttr* attr) {
    if (LXTimedValue* tv = attr->timedValue())
        return tv;
    for (Made& m : m_made)
        if (m.attr == attr) {
            attr->sceneCommon()->addTimedValue(std::move(m.owned));
            attr->socket()->link(m.tv);
            return m.tv;
        }
    std::unique_ptr<LXTimedValue> tv(attr->socket()->createTimedValue(true));
    m_made.push_back(Made{attr, tv.get(), nullptr});
    attr->sceneCommon()->addTimedValue(std::move(tv));
    attr->socket()->link(m_made.back().tv);
    return m_made.back().tv;
}

bool AttrWritesCmd::apply(Write& w) {
    if (w.local) {
        w.old = w.attr->localValue();
        return w.attr->setLocalValue(w.value);
    }
    LXTimedValue* tv = curveFor(w.attr);
    const LXCtrlPts& pts = tv->controlPoints();
    const auto it = pts.find(w.frame);
    w.existed = it != pts.end();
    w.old = w.existed ? it->value : 0.0;
    if (!tv->setValue(w.frame, w.value, w.existed && it->constantSegment, true)) {
        MSG_Scope(QStringLiteral("AT_AttrCmds"), QStringLiteral("Cannot set value in expression."), 5, 0);
        return false;
    }
    tv->endModif(w.frame);
    return true;
}

void AttrWritesCmd::revert(Write& w) {
    if (w.local) {
        w.attr->setLocalValue(w.old);
        return;
    }
    LXTimedValue* tv = w.attr->timedValue();
    if (!tv)
        return;
    LXCtrlPts& pts = tv->controlPoints();
    auto it = pts.find(w.frame);
    if (it == pts.end())
        return;
    if (w.existed)
        it->value = w.old;
    else
        pts.erase(it);
    tv->endModif(w.frame);
}

bool AttrWritesCmd::execute() {
    for (std::size_t i = 0; i < m_writes.size(); ++i)
        if (!apply(m_writes[i])) {
            while (i-- > 0)
                revert(m_writes[i]);
            unlinkMadeCurves();
            return false;
        }
    tellNodes();
    return true;
}

bool AttrWritesCmd::unexecute() {
    for (std::size_t i = m_writes.size(); i-- > 0;)
        revert(m_writes[i]);
    unlinkMadeCurves();
    // Whoever follows the scene's changes must hear of an undo as of the edit itself.
    tellNodes();
    return true;
}

// Once per node, however many of its keys and components the command wrote.
void AttrWritesCmd::tellNodes() const {
    std::vector<MO_Node*> told;
    for (const Write& w : m_writes) {
        MO_Node* node = w.attr->node();
        if (!node || std::find(told.begin(), told.end(), node) != told.end())
            continue;
        told.push_back(node);
        w.attr->sceneCommon()->changeManager().emitNodeChanged(node);
    }
}

void AttrWritesCmd::unlinkMadeCurves() {
    for (Made& m : m_made)
        if (!m.owned && m.attr->socket()->linkedTimedValue() == m.tv) {
            m.attr->socket()->link(nullptr);
            m.owned = m.attr->sceneCommon()->releaseTimedValue(m.tv);
        }
}

bool AttrWritesCmd::writesOnlyFinite() const {
    return std::all_of(m_writes.begin(), m_writes.end(),
                       [](const Write& w) { return std::isfinite(w.frame) && std::isfinite(w.value); });
}

namespace {

std::vector<double> valuesAt(const std::vector<AT_DoubleAttr*>& components, double frame) {
    std::vector<double> out;
    for (AT_DoubleAttr* c : components)
        out.push_back(c->valueAt(frame));
    return out;
}

bool anyAnimated(const std::vector<AT_DoubleAttr*>& components) {
    return std::any_of(components.begin(), components.end(),
                       [](AT_DoubleAttr* c) { return c->timedValue() && !c->timedValue()->isEmpty(); });
}

bool keyedAt(const AT_DoubleAttr* c, double frame) {
    return c->timedValue() && c->timedValue()->hasControlPointAt(frame);
}

}  // namespace

std::unique_ptr<AttrWritesCmd> planRangeChange(const std::vector<AT_DoubleAttr*>& components,
                                               const MO_FrameRange& range, const ValuesChange& change) {
    auto cmd = std::make_unique<AttrWritesCmd>();
    if (!anyAnimated(components) && range.isInfinite()) {
        std::vector<double> locals;
        for (AT_DoubleAttr* c : components)
            locals.push_back(c->localValue());
        const std::vector<double> changed = change(locals);
        for (std::size_t i = 0; i < components.size(); ++i)
            cmd->addLocal(components[i], changed[i]);
        return cmd;
    }
    // Passive frames first, so that they are keyed with the values they show now.
    for (double f : range.passiveFrames())
        for (AT_DoubleAttr* c : components)
            if (!keyedAt(c, f))
                cmd->addKey(c, f, c->valueAt(f));
    std::vector<double> frames = range.edgeFrames();
    for (AT_DoubleAttr* c : components)
        if (const LXTimedValue* tv = c->timedValue())
            for (const LXCtrlPt& p : tv->controlPoints())
                if (range.isFrameEnabled(p.frame))
                    frames.push_back(p.frame);
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    for (double f : frames) {
        const std::vector<double> changed = change(valuesAt(components, f));
        for (std::size_t i = 0; i < components.size(); ++i)
            cmd->addKey(components[i], f, changed[i]);
    }
    return cmd;
}

std::unique_ptr<AttrWritesCmd> planValuesAt(const std::vector<AT_DoubleAttr*>& components, double frame,
                                            const std::vector<double>& values, bool forceKey) {
    auto cmd = std::make_unique<AttrWritesCmd>();
    for (std::size_t i = 0; i < components.size(); ++i) {
        AT_DoubleAttr* c = components[i];
        // A component that shows the value already is left alone, unless asked to key.
        if (!forceKey && c->valueAt(frame) == values[i])
            continue;
        const SC_SceneCommon* scene = c->sceneCommon();
        if (scene && !scene->autoKey() && !anyAnimated({c}))
            cmd->addLocal(c, values[i]);
        else
            cmd->addKey(c, frame, values[i]);
    }
    return cmd;
}

namespace {

std::vector<AT_DoubleAttr*> componentsOf(const AT_ComplexAttr* attr) {
    std::vector<AT_DoubleAttr*> out;
    for (std::size_t i = 0; i < attr->componentCount(); ++i)
        out.push_back(attr->component(i));
    return out;
}

ValuesChange offsetBy(std::vector<double> offsets) {
    return [offsets](std::vector<double> v) {
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] += offsets[i];
        return v;
    };
}

}  // namespace

CO_Command* Double::createSetValueCurrentFrameCmd(SC_SceneCommon*, AT_DoubleAttr* attr, double frame, double value,
                                                  bool forceKey) {
    return planValuesAt({attr}, frame, {value}, forceKey).release();
}

CO_Command* Double::createOffsetValueAllFramesCmd(AT_DoubleAttr* attr, double offset, const MO_FrameRange& range) {
    return planRangeChange({attr}, range, offsetBy({offset})).release();
}

CO_Command* Position2d::createSetValueCurrentFrameCmd(SC_SceneCommon*, AT_Position2dAttr* attr, double frame, double x,
                                                      double y, bool forceKey) {
    return planValuesAt(componentsOf(attr), frame, {x, y}, forceKey).release();
}

CO_Command* Position2d::createTranslateAllFramesCmd(AT_Position2dAttr* attr, double x, double y,
                                                    const MO_FrameRange& range) {
    return planRangeChange(componentsOf(attr), range, offsetBy({x, y})).release();
}

CO_Command* Position3d::createSetValueCurrentFrameCmd(SC_SceneCommon*, AT_Position3dAttr* attr, double frame, double x,
                                                      double y, double z, bool forceKey) {
    return planValuesAt(componentsOf(attr), frame, {x, y, z}, forceKey).release();
}

CO_Command* Position3d::createTranslateAllFramesCmd(AT_Position3dAttr* attr, double x, double y, double z,
                                                    const MO_FrameRange& range) {
    return planRangeChange(componentsOf(attr), range, offsetBy({x, y, z})).release();
}

}  // namespace Attr

namespace lx_attr {
namespace rotation3d {

SetValueCurrentFrameCmd::SetValueCurrentFrameCmd(SC_SceneCommon*, AT_Rotation3dAttr* attr, double frame,
                                                 const Math::Angle3d& angles, bool, bool, bool, bool)
    : m_writes(Attr::planValuesAt({attr->angleX(), attr->angleY(), attr->angleZ()}, frame,
                                  {angles.x, angles.y, angles.z}, false)) {}

RotateAllFramesCmd::RotateAllFramesCmd(SC_SceneCommon*, AT_Rotation3dAttr* attr, const Math::Quat& delta,
                                       const MO_FrameRange& range)
    : m_writes(Attr::planRangeChange({attr->angleX(), attr->angleY(), attr->angleZ()}, range,
                                     [delta](const std::vector<double>& v) {
                                         Math::Quat q;
                                         q.setEuler(Math::Angle3d(v[0], v[1], v[2]), true);
                                         const Math::Angle3d turned = (delta * q).euler(true);
                                         return std::vector<double>{turned.x, turned.y, turned.z};
                                     })) {}

}  // namespace rotation3d
}  // namespace lx_attr
