#pragma once

// Ports: how one node takes another's transformation as its parent transformation. A
// node's input port is connected to a source node; while the connection is enabled the
// port carries the source's world matrix.

#include "host/base/UT_EditCount.h"
#include "host/host_api.h"
#include "host/math/Math.h"
#include "host/scene/MO_Frame.h"

#include <memory>

class MO_Node;

// What an evaluation is for, at which frame. Type 0 is an ordinary evaluation.
class HOST_API MO_BaseContext {
public:
    explicit MO_BaseContext(const MO_FrameKey& key, int type = 0) : m_key(key), m_type(type) {}
    const MO_FrameKey& frameKey() const { return m_key; }
    int type() const { return m_type; }

private:
    MO_FrameKey m_key;
    int m_type;
};

// A transformation as a matrix in drawing units.
class HOST_API MO_Transformation {
public:
    MO_Transformation() = default;
    explicit MO_Transformation(const Math::Matrix4x4& m) : m_matrix(m) {}
    // `forOgl` asks for the matrix as drawing uses it; this host keeps no other form, so
    // both answers are that one.
    Math::Matrix4x4 matrix(bool forOgl) const {
        (void)forOgl;
        return m_matrix;
    }

private:
    Math::Matrix4x4 m_matrix;
};

// The transformation a port carries at one evaluation.
class HOST_API MO_PortTransform {
public:
    explicit MO_PortTransform(const MO_Transformation& t) : m_transformation(t) {}
    const MO_Transformation& transformation() const { return m_transformation; }

private:
    MO_Transformation m_transformation;
};

class HOST_API MO_Port {
public:
    explicit MO_Port(MO_Node* source = nullptr) : m_source(source) {}

    // The connected node while the connection is enabled, else null.
    MO_Node* srcNode() const { return m_enabled ? m_source : nullptr; }
    // The connected node, enabled or not.
    MO_Node* realDisabledSrcNode() const { return m_source; }
    void connect(MO_Node* source) {
        UT_EditCount::note();
        m_source = source;
    }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) {
        UT_EditCount::note();
        m_enabled = enabled;
    }

    // Computes what the port carries at `context`'s frame: null when nothing flows through
    // it. The result is the port's and lives until the next computation.
    const MO_PortTransform* computeTransform(const MO_BaseContext& context);

private:
    MO_Node* m_source;
    bool m_enabled = true;
    std::unique_ptr<MO_PortTransform> m_transform;
};

// The turn the host gives a node's drawing to keep it aligned (for instance facing the
// camera). Nodes of this host keep the alignment they were given, the identity unless set.
class HOST_API MO_AlignmentMatrixVisitor {
public:
    static Math::Matrix4x4 alignmentMatrixForOglRender(const MO_Node* node, const MO_FrameKey& key);
};
