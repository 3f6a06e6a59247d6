#pragma once

// Commands the host makes for animation edits: adding a curve to the scene, linking it to
// an attribute, splicing a control point into a curve and setting a control point's value.

#include "host/commands/CO_Command.h"
#include "host/host_api.h"
#include "host/scene/LXTimedValue.h"

#include <memory>

class SC_SceneCommon;
class LXTimedValue;
class LXTvSocket;
class LXBezierTimedValue;
class LXEaseTimedValue;
class LXVeloBasedTimedValue;

namespace SC_SceneCmds {

// Hands a new curve to the scene. The command owns the curve whenever the scene does not
// (before execution and after undo), so nothing leaks whichever way the history goes.
class HOST_API AddTimedValueCmd : public CO_Command {
public:
    // The two indices place the curve among the scene's; -1 appends.
    AddTimedValueCmd(SC_SceneCommon* scene, LXTimedValue* tv, int index = -1, int subIndex = -1);
    ~AddTimedValueCmd() override;
    bool execute() override;
    bool unexecute() override;

private:
    SC_SceneCommon* m_scene;
    LXTimedValue* m_tv;
    std::unique_ptr<LXTimedValue> m_owned;
};

}  // namespace SC_SceneCmds

namespace lx_tv_socket {

class HOST_API LinkCmd : public CO_Command {
public:
    LinkCmd(LXTvSocket* socket, LXTimedValue* tv) : m_socket(socket), m_tv(tv) {}
    bool execute() override;
    bool unexecute() override;

private:
    LXTvSocket* m_socket;
    LXTimedValue* m_tv;
    LXTimedValue* m_previous = nullptr;
};

}  // namespace lx_tv_socket

namespace lx_timedvalue {

// Inserts a control point at a frame without changing the curve's value there, so that a
// following edit has a point to change. Does nothing where a point already is.
class HOST_API SpliceCmdBase : public CO_Command {
public:
    bool execute() override;
    bool unexecute() override;

protected:
    SpliceCmdBase(LXTimedValue* tv, double frame, bool constantSegment)
        : m_tv(tv), m_frame(frame), m_constantSegment(constantSegment) {}

private:
    LXTimedValue* m_tv;
    double m_frame;
    bool m_constantSegment;
    bool m_inserted = false;
};

// Puts a value at a frame's control point (adding the point if needed); undo restores.
class HOST_API ControlPointValueCmd : public CO_Command {
public:
    ControlPointValueCmd(LXTimedValue* tv, double frame, double value) : m_tv(tv), m_frame(frame), m_value(value) {}
    bool execute() override;
    bool unexecute() override;

private:
    LXTimedValue* m_tv;
    double m_frame;
    double m_value;
    LXCtrlPt m_old;
    bool m_inserted = false;
};

namespace bezier {
class HOST_API SpliceCmd : public SpliceCmdBase {
public:
    // `keepShape`: the curve keeps its value at the frame (the only splice this host does).
    SpliceCmd(LXBezierTimedValue* tv, double frame, bool keepShape, bool constantSegment);
};
}  // namespace bezier

namespace ease {
class HOST_API SpliceCmd : public SpliceCmdBase {
public:
    SpliceCmd(LXEaseTimedValue* tv, double frame, bool constantSegment);
};
}  // namespace ease

namespace velobased {
class HOST_API SpliceCmd : public SpliceCmdBase {
public:
    SpliceCmd(LXVeloBasedTimedValue* tv, double frame);
};

class HOST_API SetValueCmd : public ControlPointValueCmd {
public:
    SetValueCmd(LXVeloBasedTimedValue* tv, double frame, double value);
};
}  // namespace velobased

}  // namespace lx_timedvalue
