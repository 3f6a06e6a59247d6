#pragma once

// A tree of boxes in the world, one leaf per node, that finds the nodes near a view without
// a look at the others. Internal to the scene renderer; not part of the host's interface.
//
// Each leaf holds its node's box enlarged by half its size each way, so that a node that
// moves a little (playback, a drag) leaves the tree as it is; every box above holds the
// boxes below, and the tree is kept balanced as leaves come and go, as in the dynamic
// bounding volume trees of physics engines. Every box also carries the largest of two
// margins below it that a view adds on the screen (see VS_NodeBounds): pixels, and pixels
// per unit of the view's scale.

#include <cstdint>
#include <vector>

class VS_BoundsTree {
public:
    // Low corner, then high corner.
    struct Box {
        float lo[3], hi[3];
        bool contains(const Box& o) const;
    };
    struct Node {
        Box box;
        float pixels, scaled;
        int parent, child1, child2, height;
        std::uint32_t item;
        bool isLeaf() const { return child1 < 0; }
    };

    // A leaf for `item`, whose box is `box`.
    int insert(std::uint32_t item, const Box& box, float pixels, float scaled);
    void remove(int leaf);
    // The leaf's item now has this box and these margins.
    void move(int leaf, const Box& box, float pixels, float scaled);
    void clear();

    // What a query's test says of a box: nothing below it matters, something may, or all
    // of it does (every item below is taken without a look).
    enum class Verdict { None, Some, All };

    // Every item below boxes `test` does not turn down: into `all` those below a box it
    // takes whole, into `some` those whose leaf it says may matter.
    template <class Test>
    void query(const Test& test, std::vector<std::uint32_t>& all, std::vector<std::uint32_t>& some) const {
        if (m_root < 0)
            return;
        m_stack.clear();
        m_stack.push_back(m_root);
        while (!m_stack.empty()) {
            const Node& n = m_nodes[std::size_t(m_stack.back())];
            m_stack.pop_back();
            const Verdict verdict = test(n);
            if (verdict == Verdict::All)
                collect(n, all);
            else if (verdict == Verdict::Some && n.isLeaf())
                some.push_back(n.item);
            else if (verdict == Verdict::Some) {
                m_stack.push_back(n.child1);
                m_stack.push_back(n.child2);
            }
        }
    }

    // For tests: the height of the tree (0 for one leaf, -1 when empty).
    int height() const { return m_root < 0 ? -1 : m_nodes[std::size_t(m_root)].height; }

private:
    // Every item below `n`.
    void collect(const Node& n, std::vector<std::uint32_t>& items) const;
    int allocate();
    void release(int node);
    void insertLeaf(int leaf);
    // Puts `replacement` where `child` hangs under `parent` (-1: the root).
    void replaceChild(int parent, int child, int replacement);
    void removeLeaf(int leaf);
    // Box, height and margins of an inner node from its children.
    void refit(int node);
    // From `node` up to the root: refitted, and rotated where one side grew too tall.
    void refitUp(int node);
    int balance(int a);
    int rotateUp(int a, int up, bool right);

    std::vector<Node> m_nodes;
    int m_root = -1;
    int m_free = -1;
    mutable std::vector<int> m_stack;
};
