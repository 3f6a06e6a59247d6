#pragma once

// A scene being worked on: the frame shown and edited, how an edit is keyed (at that
// frame, or over a frame range), the undo history of the edits and the selection. The
// runner's scripts and the viewer's window act on the scene through it alike.

#include "apps/core/scene_loader.h"
#include "host/commands/CO_Command.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/MO_Frame.h"

#include <functional>
#include <memory>

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

    // The document the scene was built from, which steps that change what the scene is
    // made of change with it (so that a save writes them). Its owner gives it, or says how
    // to read it when first asked (the runner reads it only for a script that needs it).
    // Throws RunError when there is neither.
    Document& document();
    void setDocument(Document* document) { m_document = document; }
    void setDocumentReader(std::function<Document()> read) { m_readDocument = std::move(read); }

    // Puts `nodes` in place of the scene's nodes and gives the old ones back, keeping the
    // frame and selecting the nodes of the same names: a change of what the scene is made
    // of swaps whole node sets, so that the commands of the history before it keep
    // pointing at live nodes, which its undo swaps back.
    std::unique_ptr<SC_SceneCommon> swapNodes(std::unique_ptr<SC_SceneCommon> nodes);
    // Counts replaceScene and swapNodes, for views that keep pointers to nodes.
    unsigned long sceneChanges() const { return m_sceneChanges; }

    // Whether an edit at a frame keys it (SC_SceneCommon::autoKey); it stays as it is when
    // the scene is replaced.
    bool autoKey() const { return m_autoKey; }
    void setAutoKey(bool on);

private:
    Scene& m_scene;
    double m_frame = 1.0;
    Document* m_document = nullptr;
    std::unique_ptr<Document> m_ownDocument;
    std::function<Document()> m_readDocument;
    unsigned long m_sceneChanges = 0;
    bool m_autoKey = true;
};

}  // namespace runner
