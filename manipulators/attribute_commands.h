#pragma once

// The undoable edits of a scalar attribute that the drag manipulators record: a value at
// one frame, or an offset over a range of frames.

#include "host/commands/CO_Command.h"
#include "host/commands/attr_commands.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Frame.h"

class SC_SceneCommon;
class LXTimedValue;

namespace lx_attr {

// Writes a value at a frame. After each execute or undo it holds the value to put back
// next time.
template <>
class SetValueCmd<AT_DoubleAttr> : public CO_Command {
public:
    SetValueCmd(AT_DoubleAttr* attribute, double frame, double value, bool constantSegment, bool forceKey);
    bool execute() override;
    bool unexecute() override;

    double value() const { return m_value; }
    double frame() const { return m_frame; }

private:
    AT_DoubleAttr* m_attribute;
    double m_frame;
    double m_value;
    // Whether a control point stood at the frame before execute: undo then writes the old
    // value back instead of erasing the point execute added.
    bool m_hadControlPoint = false;
    bool m_constantSegment;
    bool m_forceKey;
};

// Swaps the attribute's local value with the one it holds; executing again undoes.
template <>
class SetLocalValueCmd<AT_DoubleAttr> : public CO_Command {
public:
    SetLocalValueCmd(AT_DoubleAttr* attribute, double value) : m_attribute(attribute), m_value(value) {}
    bool execute() override;

private:
    AT_DoubleAttr* m_attribute;
    double m_value;
};

template <>
class SetValueCurrentFrameCmd<AT_DoubleAttr> : public CO_OrCommand {
public:
    SetValueCurrentFrameCmd(SC_SceneCommon* scene, AT_DoubleAttr* attribute, double frame, const double& value,
                            bool constantSegment, bool forceKey, bool delegateToFunction, bool keepFirstFrame);
};

template <>
class OffsetValueAllFramesCmd<AT_DoubleAttr> : public CO_OrCommand {
public:
    OffsetValueAllFramesCmd(AT_DoubleAttr* attribute, const double& offset, const MO_FrameRange& range);
};

}  // namespace lx_attr

namespace rigkit {

using SetValueCmd = lx_attr::SetValueCmd<AT_DoubleAttr>;
using SetLocalValueCmd = lx_attr::SetLocalValueCmd<AT_DoubleAttr>;
using SetValueCurrentFrameCmd = lx_attr::SetValueCurrentFrameCmd<AT_DoubleAttr>;
using OffsetValueAllFramesCmd = lx_attr::OffsetValueAllFramesCmd<AT_DoubleAttr>;

// A new macro that makes a curve for an attribute that has none and links it, with `tv`
// set to the new curve; null (and `tv` the present curve, or null) otherwise.
CO_OrCommand* createTimedValueLinkCmd(AT_DoubleAttr* attribute, LXTimedValue*& tv);

// Adds to `macro` one command per control point of `tv` inside `range`, moving it by
// `offset`.
void addControlPointOffsets(CO_OrCommand* macro, AT_DoubleAttr* attribute, LXTimedValue* tv, double offset,
                            const MO_FrameRange& range, bool constantSegment);

}  // namespace rigkit
