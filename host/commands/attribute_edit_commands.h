#pragma once

// Edits the host makes for manipulators of compound and scalar attributes: a value at the
// current frame, or a change over a frame range. Each is planned when built (which frames
// get which values) and applied when executed; undo puts back exactly what was there.

#include "host/commands/CO_Command.h"
#include "host/host_api.h"
#include "host/math/Math.h"
#include "host/scene/MO_Frame.h"

#include <functional>
#include <memory>
#include <vector>

class AT_DoubleAttr;
class AT_Position2dAttr;
class AT_Position3dAttr;
class AT_Rotation3dAttr;
class LXTimedValue;
class SC_SceneCommon;

namespace Attr {

// Writes into scalar attributes: keys at frames (a curve is made and linked for an
// attribute that can be animated and has none) and local values.
class HOST_API AttrWritesCmd : public CO_Command {
public:
    AttrWritesCmd();
    ~AttrWritesCmd() override;

    void addKey(AT_DoubleAttr* attr, double frame, double value);
    void addLocal(AT_DoubleAttr* attr, double value);
    bool isEmpty() const { return m_writes.empty(); }
    std::size_t size() const { return m_writes.size(); }
    // Whether every frame and value it would write is finite: a scene file cannot hold
    // the others, so an edit that makes one is refused before it is made.
    bool writesOnlyFinite() const;

    // Refuses, changing nothing, when an attribute's curve refuses a key (an expression).
    bool execute() override;
    bool unexecute() override;

private:
    struct Write {
        AT_DoubleAttr* attr;
        double frame;
        double value;
        bool local;
        bool existed = false;  // a key stood at the frame before execute
        double old = 0.0;
    };
    struct Made {
        AT_DoubleAttr* attr;
        LXTimedValue* tv;
        std::unique_ptr<LXTimedValue> owned;  // while the scene does not hold it
    };
    bool apply(Write& w);
    void revert(Write& w);
    LXTimedValue* curveFor(AT_DoubleAttr* attr);
    void unlinkMadeCurves();
    void tellNodes() const;

    std::vector<Write> m_writes;
    std::vector<Made> m_made;
};

// Values of several scalar components changed together at each frame.
using ValuesChange = std::function<std::vector<double>(const std::vector<double>&)>;

// Plans a change over `range`: inside it every keyed frame (of any component) and the
// range's edge frames take `change` of their values; the passive frames just outside keep
// theirs. Without any curve and over every frame, the local values change instead.
HOST_API std::unique_ptr<AttrWritesCmd> planRangeChange(const std::vector<AT_DoubleAttr*>& components,
                                                        const MO_FrameRange& range, const ValuesChange& change);

// Plans `values` at `frame`, one per component.
HOST_API std::unique_ptr<AttrWritesCmd> planValuesAt(const std::vector<AT_DoubleAttr*>& components, double frame,
                                                     const std::vector<double>& values, bool forceKey);

namespace Double {
HOST_API CO_Command* createSetValueCurrentFrameCmd(SC_SceneCommon* scene, AT_DoubleAttr* attr, double frame,
                                                   double value, bool forceKey);
// Moves every value of the range by `offset`: the change of the value at the frame being
// edited.
HOST_API CO_Command* createOffsetValueAllFramesCmd(AT_DoubleAttr* attr, double offset, const MO_FrameRange& range);
}  // namespace Double

namespace Position2d {
HOST_API CO_Command* createSetValueCurrentFrameCmd(SC_SceneCommon* scene, AT_Position2dAttr* attr, double frame,
                                                   double x, double y, bool forceKey);
// Moves every position of the range by the displacement (x, y).
HOST_API CO_Command* createTranslateAllFramesCmd(AT_Position2dAttr* attr, double x, double y,
                                                 const MO_FrameRange& range);
}  // namespace Position2d

namespace Position3d {
HOST_API CO_Command* createSetValueCurrentFrameCmd(SC_SceneCommon* scene, AT_Position3dAttr* attr, double frame,
                                                   double x, double y, double z, bool forceKey);
HOST_API CO_Command* createTranslateAllFramesCmd(AT_Position3dAttr* attr, double x, double y, double z,
                                                 const MO_FrameRange& range);
}  // namespace Position3d

}  // namespace Attr

namespace lx_attr {
namespace rotation3d {

class HOST_API SetValueCurrentFrameCmd : public CO_Command {
public:
    // The four flags are accepted for the host's signature; this host keys the frame
    // whatever they say.
    SetValueCurrentFrameCmd(SC_SceneCommon* scene, AT_Rotation3dAttr* attr, double frame, const Math::Angle3d& angles,
                            bool constantSegment, bool forceKey, bool delegateToFunction, bool keepFirstFrame);
    bool execute() override { return m_writes->execute(); }
    bool unexecute() override { return m_writes->unexecute(); }

private:
    std::unique_ptr<Attr::AttrWritesCmd> m_writes;
};

// Turns the rotation of every frame of the range by `delta` (applied after it).
class HOST_API RotateAllFramesCmd : public CO_Command {
public:
    RotateAllFramesCmd(SC_SceneCommon* scene, AT_Rotation3dAttr* attr, const Math::Quat& delta,
                       const MO_FrameRange& range);
    bool execute() override { return m_writes->execute(); }
    bool unexecute() override { return m_writes->unexecute(); }

private:
    std::unique_ptr<Attr::AttrWritesCmd> m_writes;
};

}  // namespace rotation3d
}  // namespace lx_attr
