#pragma once

#include "host/base/UT_EditCount.h"
#include "host/host_api.h"
#include "host/math/Math.h"
#include "host/scene/SLB_Selection.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class MO_Node;
class LXTimedValue;

// Scene units become drawing (OpenGL) units by one factor per axis.
class HOST_API SC_SceneMetrics {
public:
    double unitScale(int axis) const { return m_scale[axis]; }
    double xUnitScale() const { return m_scale[0]; }
    double yUnitScale() const { return m_scale[1]; }
    double zUnitScale() const { return m_scale[2]; }
    // Drawing-unit depth to scene units.
    double zDrawingFactor() const { return 1.0 / m_scale[2]; }
    void setUnitScales(double x, double y, double z) {
        UT_EditCount::note();
        m_scale[0] = x, m_scale[1] = y, m_scale[2] = z;
    }

    Math::Point3d toOGL(const Math::Point3d& p) const { return {p.x * m_scale[0], p.y * m_scale[1], p.z * m_scale[2]}; }
    Math::Point3d fromOGL(const Math::Point3d& p) const {
        return {p.x / m_scale[0], p.y / m_scale[1], p.z / m_scale[2]};
    }
    Math::Vector3d toOGL(const Math::Vector3d& v) const {
        return {v.x * m_scale[0], v.y * m_scale[1], v.z * m_scale[2]};
    }
    Math::Vector3d fromOGL(const Math::Vector3d& v) const {
        return {v.x / m_scale[0], v.y / m_scale[1], v.z / m_scale[2]};
    }
    Math::Point2d toOGL(const Math::Point2d& p) const { return {p.x * m_scale[0], p.y * m_scale[1]}; }
    Math::Point2d fromOGL(const Math::Point2d& p) const { return {p.x / m_scale[0], p.y / m_scale[1]}; }
    Math::Vector2d toOGL(const Math::Vector2d& v) const { return {v.x * m_scale[0], v.y * m_scale[1]}; }
    Math::Vector2d fromOGL(const Math::Vector2d& v) const { return {v.x / m_scale[0], v.y / m_scale[1]}; }

private:
    double m_scale[3] = {1.0, 1.0, 1.0};
};

// Tells whoever listens (the viewport, the runner) that a node changed.
class HOST_API LXSceneChangeManager {
public:
    using Listener = std::function<void(MO_Node*)>;
    void emitNodeChanged(MO_Node* node);
    void addListener(Listener l) { m_listeners.push_back(std::move(l)); }
    unsigned long emittedCount() const { return m_emitted; }

private:
    std::vector<Listener> m_listeners;
    unsigned long m_emitted = 0;
};

// What a viewport keeps about a scene between two drawings of it (where each node drew);
// the scene owns it, so it never outlives the nodes it speaks of.
class HOST_API SC_ViewMemory {
public:
    virtual ~SC_ViewMemory();
};

// The scene: owns its nodes and the timed values that animate their attributes.
class HOST_API SC_SceneCommon {
public:
    SC_SceneCommon();
    ~SC_SceneCommon();
    SC_SceneCommon(const SC_SceneCommon&) = delete;
    SC_SceneCommon& operator=(const SC_SceneCommon&) = delete;

    SC_SceneMetrics& metrics() { return m_metrics; }
    const SC_SceneMetrics& metrics() const { return m_metrics; }
    LXSceneChangeManager& changeManager() { return m_changes; }
    SLB_Selection& selection() { return m_selection; }
    const SLB_Selection& selection() const { return m_selection; }

    // The frame the user is on (the time slider): what edits that name no frame of their
    // own apply to.
    double currentFrame() const { return m_currentFrame; }
    void setCurrentFrame(double frame) { m_currentFrame = frame; }
    // Whether an edit at a frame keys it (the user's auto-key switch). Off, an attribute
    // without keys takes the value as its local value and stays without a curve; one with
    // keys is still keyed at the frame, the only way its value can show.
    bool autoKey() const { return m_autoKey; }
    void setAutoKey(bool on) { m_autoKey = on; }

    // Nodes are kept in the order they were added; a parent must be added before its
    // children.
    MO_Node* addNode(std::unique_ptr<MO_Node> node);
    // Room for this many nodes in all, for a caller that knows how many it will add.
    void reserveNodes(std::size_t count);
    // The first node added under the name.
    MO_Node* findNode(const QString& name) const;
    // The node's place in nodes(), or -1 for a node of another scene.
    std::ptrdiff_t indexOf(const MO_Node* node) const;
    const std::vector<std::unique_ptr<MO_Node>>& nodes() const { return m_nodes; }

    SC_ViewMemory* viewMemory() const { return m_viewMemory.get(); }
    void setViewMemory(std::unique_ptr<SC_ViewMemory> memory) { m_viewMemory = std::move(memory); }

    void addTimedValue(std::unique_ptr<LXTimedValue> tv);
    // Gives a timed value back to the caller (to undo its addition); null if not held.
    std::unique_ptr<LXTimedValue> releaseTimedValue(LXTimedValue* tv);
    bool holdsTimedValue(const LXTimedValue* tv) const;
    std::size_t timedValueCount() const { return m_timedValues.size(); }

private:
    SC_SceneMetrics m_metrics;
    LXSceneChangeManager m_changes;
    SLB_Selection m_selection;
    double m_currentFrame = 1.0;
    bool m_autoKey = true;
    // Timed values outlive the nodes whose attributes link them.
    std::vector<std::unique_ptr<LXTimedValue>> m_timedValues;
    std::vector<std::unique_ptr<MO_Node>> m_nodes;
    // Scenes of a crowd hold a hundred thousand nodes, and loading one looks every parent
    // up by name: both lookups must not walk the list.
    QHash<QString, MO_Node*> m_byName;
    QHash<const MO_Node*, std::ptrdiff_t> m_index;
    std::unique_ptr<SC_ViewMemory> m_viewMemory;
};
