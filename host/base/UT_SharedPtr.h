#pragma once

// Intrusive shared pointer over objects that carry their own thread-safe count.

#include "host/host_api.h"

#include <atomic>
#include <utility>

class HOST_API UT_ShareBaseSafe {
public:
    UT_ShareBaseSafe() = default;
    UT_ShareBaseSafe(const UT_ShareBaseSafe&) : m_count(0) {}
    UT_ShareBaseSafe& operator=(const UT_ShareBaseSafe&) { return *this; }
    virtual ~UT_ShareBaseSafe();

    void ref() const { m_count.fetch_add(1, std::memory_order_relaxed); }
    // True when this was the last reference.
    bool unref() const { return m_count.fetch_sub(1, std::memory_order_acq_rel) == 1; }
    int refCount() const { return m_count.load(std::memory_order_relaxed); }

private:
    mutable std::atomic<int> m_count{0};
};

template <class T>
class UT_SharedPtr {
public:
    UT_SharedPtr() = default;
    explicit UT_SharedPtr(T* p) : m_p(p) {
        if (m_p)
            m_p->ref();
    }
    template <class U>
    UT_SharedPtr(const UT_SharedPtr<U>& o) : UT_SharedPtr(o.get()) {}
    UT_SharedPtr(const UT_SharedPtr& o) : UT_SharedPtr(o.m_p) {}
    UT_SharedPtr(UT_SharedPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ~UT_SharedPtr() { reset(); }
    UT_SharedPtr& operator=(UT_SharedPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    void reset() {
        if (m_p && m_p->unref())
            delete m_p;
        m_p = nullptr;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};
