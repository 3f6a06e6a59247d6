#pragma once

#include "host/math/CameraTransformChain.h"

#include <memory>

namespace rigkit {

// The camera chain a drag works in, filled at its press. A chain is six matrices, and most
// controls of a large scene are never dragged: it is made at the first press, and kept for
// the next so that no move of any drag allocates.
class DragChain {
public:
    DragChain() = default;
    DragChain(const DragChain& other) { *this = other; }
    DragChain& operator=(const DragChain& other) {
        if (!other.m_chain)
            m_chain.reset();
        else if (this != &other)
            **this = *other.m_chain;
        return *this;
    }

    Math::CameraTransformChain& operator*() {
        if (!m_chain)
            m_chain = std::make_unique<Math::CameraTransformChain>();
        return *m_chain;
    }
    Math::CameraTransformChain* operator->() { return &**this; }
    // Before any press, a chain as made.
    const Math::CameraTransformChain& operator*() const {
        static const Math::CameraTransformChain none;
        return m_chain ? *m_chain : none;
    }

private:
    std::unique_ptr<Math::CameraTransformChain> m_chain;
};

}  // namespace rigkit
