#pragma once

// Where a node can be over the whole animation, so that playback need not place the nodes
// that stay out of every view (see VS_NodeBounds.h). Internal to the scene renderer; not
// part of the host's interface.

#include "host/draw/VS_BoundsTree.h"
#include "host/math/Math.h"
#include "host/scene/AT_Attr.h"

#include <vector>

class MO_Node;

// Hears which attributes are read while it lives.
class VS_Reading : public AT_ReadObserver {
public:
    explicit VS_Reading(std::vector<const AT_Attr*>& reads);
    ~VS_Reading() override;
    void read(const AT_Attr& attribute) override { m_reads.push_back(&attribute); }

private:
    std::vector<const AT_Attr*>& m_reads;
    AT_ReadObserver* m_previous;
};

// Whether what an attribute reports changes from frame to frame.
bool VS_Animated(const AT_Attr& attribute);

// Every matrix each of whose entries lies between those of `lo` and `hi`.
struct VS_MatrixRange {
    Math::Matrix4x4 lo, hi;

    static VS_MatrixRange point(const Math::Matrix4x4& m) { return {m, m}; }
    // Entry by entry, the largest magnitude in the range.
    Math::Matrix4x4 magnitude() const;
};

// Holds every product of a matrix of `a` and one of `b`.
VS_MatrixRange operator*(const VS_MatrixRange& a, const VS_MatrixRange& b);

// What the node's local transformations can make of its matrix at any frame, learnt at
// `frame`. A transformation's part of the matrix is a function of the values it reads;
// where each entry is affine in each animated value, as translations and scales are, the
// entries at the corners of the values' ranges bound it. The node's transformations are
// probed at those corners and at the centre, and the centre must be where the corners put
// it: otherwise (a rotation that turns visibly, a value without a known range, more than
// three animated values) there is no range and the node is placed at every frame.
bool VS_LocalRange(const MO_Node& node, double frame, VS_MatrixRange& range);

// The world box of a box in a node's frame (low corner, then high), under a matrix or under
// any matrix of a range. Not finite: everywhere.
VS_BoundsTree::Box VS_WorldBox(const float* box, const Math::Matrix4x4& m);
VS_BoundsTree::Box VS_WorldBox(const float* box, const VS_MatrixRange& range);
