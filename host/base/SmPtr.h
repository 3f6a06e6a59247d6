#pragma once

// The host's shared handle. One pointer to a control block holding a weak count, a strong
// count and the object. Counts are plain integers: handles live on the interaction thread.

#include "host/host_api.h"

#include <cstdint>
#include <utility>

template <class T>
class HOST_API SmPtr {
public:
    struct Block {
        std::int32_t weak = 0;
        std::int32_t strong = 0;
        T* object = nullptr;
    };

    SmPtr() = default;
    explicit SmPtr(T* object) : m_block(new Block) {
        m_block->object = object;
        acquire(m_block);
    }
    SmPtr(const SmPtr& o) : m_block(o.m_block) { acquire(m_block); }
    SmPtr(SmPtr&& o) noexcept : m_block(std::exchange(o.m_block, nullptr)) {}
    ~SmPtr() { release(m_block); }

    SmPtr& operator=(const SmPtr& o) {
        if (m_block == o.m_block)
            return *this;
        Block* old = m_block;
        m_block = o.m_block;
        acquire(m_block);
        release(old);
        return *this;
    }
    SmPtr& operator=(SmPtr&& o) noexcept {
        if (this != &o) {
            release(m_block);
            m_block = std::exchange(o.m_block, nullptr);
        }
        return *this;
    }

    void reset() {
        release(m_block);
        m_block = nullptr;
    }

    T* get() const { return m_block ? m_block->object : nullptr; }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    explicit operator bool() const { return get() != nullptr; }
    const Block* block() const { return m_block; }

private:
    static void acquire(Block* b) {
        if (b) {
            ++b->weak;
            ++b->strong;
        }
    }
    static void release(Block* b) {
        if (!b)
            return;
        if (--b->strong == 0) {
            delete b->object;
            b->object = nullptr;
        }
        if (--b->weak == 0)
            delete b;
    }

    Block* m_block = nullptr;
};
