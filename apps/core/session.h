#pragma once

// A scene being worked on: the frame shown and edited, how an edit is keyed (at that
// frame, or over a frame range), the undo history of the edits and the selection. The
// runner's scripts and the viewer's window act on the scene through it alike.

#include "apps/core/scene_loader.h"
#include "host/commands/CO_Command.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/MO_Frame.h"

class SLB_Selection;

namespace runner {

class Session {
public:
    // The scene stays its owner's; replaceScene() puts another in its place.
    explicit Session(Scene& scene) : m_scene(scene) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Scene& scene() const { return m_scene; }
    SC_SceneCommon& common() const { return *m_scene.common; }
    SLB_Selection& selection() const;

    double frame() const { return m_frame; }
    // The scene's current frame follows.
    void setFrame(double frame);

    // How a drag's or an inspector's edit is recorded.
    CX_AnimationMode animationMode = CX_AnimationModeCurrentFrame;
    MO_FrameRange range;
    CO_UndoHistory history;

    // Puts `fresh` in place of the scene at the same frame, with the nodes of the same
    // names selected. The history goes first: its commands point into the old scene.
    void replaceScene(Scene fresh);

private:
    Scene& m_scene;
    double m_frame = 1.0;
};

}  // namespace runner
