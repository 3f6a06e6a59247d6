#include "host/draw/VS_BoundsTree.h"

#include <algorithm>
#include <cmath>

namespace {

using Box = VS_BoundsTree::Box;

Box merged(const Box& a, const Box& b) {
    Box m;
    for (int i = 0; i < 3; ++i) {
        m.lo[i] = std::min(a.lo[i], b.lo[i]);
        m.hi[i] = std::max(a.hi[i], b.hi[i]);
    }
    return m;
}

// What a box costs to descend into: the sum of its sides, which stays a measure for boxes
// flat in one axis or two, as controls lying in a plane are.
float cost(const Box& b) {
    return (b.hi[0] - b.lo[0]) + (b.hi[1] - b.lo[1]) + (b.hi[2] - b.lo[2]);
}

// The box a leaf keeps: half the box's largest side more each way, and as far again as it
// moved since it was last put in (`moved`, each axis), so that a node that keeps moving
// leaves its box less and less often.
Box enlarged(const Box& b, const float* moved = nullptr) {
    const float margin = 0.5f * std::max({b.hi[0] - b.lo[0], b.hi[1] - b.lo[1], b.hi[2] - b.lo[2]});
    Box e = b;
    for (int i = 0; i < 3; ++i) {
        e.lo[i] -= margin + (moved ? std::abs(moved[i]) : 0.0f);
        e.hi[i] += margin + (moved ? std::abs(moved[i]) : 0.0f);
    }
    return e;
}

}  // namespace

bool VS_BoundsTree::Box::contains(const Box& o) const {
    for (int i = 0; i < 3; ++i)
        if (!(lo[i] <= o.lo[i] && o.hi[i] <= hi[i]))
            return false;
    return true;
}

void VS_BoundsTree::collect(const Node& n, std::vector<std::uint32_t>& items) const {
    if (n.isLeaf()) {
        items.push_back(n.item);
        return;
    }
    collect(m_nodes[std::size_t(n.child1)], items);
    collect(m_nodes[std::size_t(n.child2)], items);
}

int VS_BoundsTree::allocate() {
    if (m_free < 0) {
        m_nodes.push_back(Node{});
        m_free = int(m_nodes.size()) - 1;
        m_nodes.back().parent = -1;
    }
    const int n = m_free;
    m_free = m_nodes[std::size_t(n)].parent;
    Node& node = m_nodes[std::size_t(n)];
    node = Node{};
    node.parent = node.child1 = node.child2 = -1;
    return n;
}

void VS_BoundsTree::release(int node) {
    m_nodes[std::size_t(node)].parent = m_free;
    m_nodes[std::size_t(node)].height = -1;
    m_free = node;
}

void VS_BoundsTree::clear() {
    m_nodes.clear();
    m_root = m_free = -1;
}

int VS_BoundsTree::insert(std::uint32_t item, const Box& box, float pixels, float scaled) {
    const int leaf = allocate();
    Node& n = m_nodes[std::size_t(leaf)];
    n.box = enlarged(box);
    n.pixels = pixels;
    n.scaled = scaled;
    n.item = item;
    n.height = 0;
    insertLeaf(leaf);
    return leaf;
}

void VS_BoundsTree::remove(int leaf) {
    removeLeaf(leaf);
    release(leaf);
}

void VS_BoundsTree::move(int leaf, const Box& box, float pixels, float scaled) {
    Node& n = m_nodes[std::size_t(leaf)];
    if (n.box.contains(box)) {
        if (n.pixels == pixels && n.scaled == scaled)
            return;
        n.pixels = pixels;
        n.scaled = scaled;
        refitUp(n.parent);
        return;
    }
    float shift[3];
    for (int i = 0; i < 3; ++i)
        shift[i] = 0.5f * ((box.lo[i] + box.hi[i]) - (n.box.lo[i] + n.box.hi[i]));
    removeLeaf(leaf);
    Node& moved = m_nodes[std::size_t(leaf)];
    moved.box = enlarged(box, std::isfinite(shift[0] + shift[1] + shift[2]) ? shift : nullptr);
    moved.pixels = pixels;
    moved.scaled = scaled;
    insertLeaf(leaf);
}

void VS_BoundsTree::insertLeaf(int leaf) {
    if (m_root < 0) {
        m_root = leaf;
        m_nodes[std::size_t(leaf)].parent = -1;
        return;
    }
    // The sibling that grows the tree's boxes least, descending while a child is cheaper
    // than pairing with the node itself.
    const Box box = m_nodes[std::size_t(leaf)].box;
    int index = m_root;
    while (!m_nodes[std::size_t(index)].isLeaf()) {
        const Node& n = m_nodes[std::size_t(index)];
        const float combined = cost(merged(n.box, box));
        const float here = 2.0f * combined;
        const float inherited = 2.0f * (combined - cost(n.box));
        const auto childCost = [&](int c) {
            const Node& child = m_nodes[std::size_t(c)];
            const float grown = cost(merged(box, child.box));
            return (child.isLeaf() ? grown : grown - cost(child.box)) + inherited;
        };
        const float cost1 = childCost(n.child1), cost2 = childCost(n.child2);
        if (here < cost1 && here < cost2)
            break;
        index = cost1 < cost2 ? n.child1 : n.child2;
    }
    const int sibling = index;
    const int oldParent = m_nodes[std::size_t(sibling)].parent;
    const int parent = allocate();
    Node& p = m_nodes[std::size_t(parent)];
    p.parent = oldParent;
    p.child1 = sibling;
    p.child2 = leaf;
    m_nodes[std::size_t(sibling)].parent = parent;
    m_nodes[std::size_t(leaf)].parent = parent;
    replaceChild(oldParent, sibling, parent);
    refitUp(parent);
}

void VS_BoundsTree::replaceChild(int parent, int child, int replacement) {
    if (parent < 0) {
        m_root = replacement;
        return;
    }
    Node& p = m_nodes[std::size_t(parent)];
    (p.child1 == child ? p.child1 : p.child2) = replacement;
}

void VS_BoundsTree::removeLeaf(int leaf) {
    if (leaf == m_root) {
        m_root = -1;
        return;
    }
    const int parent = m_nodes[std::size_t(leaf)].parent;
    const Node& p = m_nodes[std::size_t(parent)];
    const int grand = p.parent;
    const int sibling = p.child1 == leaf ? p.child2 : p.child1;
    m_nodes[std::size_t(sibling)].parent = grand;
    replaceChild(grand, parent, sibling);
    release(parent);
    if (grand >= 0)
        refitUp(grand);
}

void VS_BoundsTree::refit(int node) {
    Node& n = m_nodes[std::size_t(node)];
    const Node& a = m_nodes[std::size_t(n.child1)];
    const Node& b = m_nodes[std::size_t(n.child2)];
    n.box = merged(a.box, b.box);
    n.height = 1 + std::max(a.height, b.height);
    n.pixels = std::max(a.pixels, b.pixels);
    n.scaled = std::max(a.scaled, b.scaled);
}

void VS_BoundsTree::refitUp(int node) {
    while (node >= 0) {
        node = balance(node);
        refit(node);
        node = m_nodes[std::size_t(node)].parent;
    }
}

int VS_BoundsTree::balance(int a) {
    const Node& n = m_nodes[std::size_t(a)];
    if (n.isLeaf() || n.height < 2)
        return a;
    const int difference = m_nodes[std::size_t(n.child2)].height - m_nodes[std::size_t(n.child1)].height;
    if (difference > 1)
        return rotateUp(a, n.child2, true);
    if (difference < -1)
        return rotateUp(a, n.child1, false);
    return a;
}

// Lifts child `up` of `a` (its second child when `right`) into a's place: `up` keeps its
// taller child, and gives a its shorter one in place of itself.
int VS_BoundsTree::rotateUp(int a, int up, bool right) {
    Node& na = m_nodes[std::size_t(a)];
    Node& nu = m_nodes[std::size_t(up)];
    const int taller = m_nodes[std::size_t(nu.child1)].height > m_nodes[std::size_t(nu.child2)].height ? nu.child1
                                                                                                      : nu.child2;
    const int shorter = taller == nu.child1 ? nu.child2 : nu.child1;
    nu.child1 = a;
    nu.child2 = taller;
    nu.parent = na.parent;
    na.parent = up;
    (right ? na.child2 : na.child1) = shorter;
    m_nodes[std::size_t(shorter)].parent = a;
    if (nu.parent < 0) {
        m_root = up;
    } else {
        Node& p = m_nodes[std::size_t(nu.parent)];
        (p.child1 == a ? p.child1 : p.child2) = up;
    }
    refit(a);
    refit(up);
    return up;
}
