#pragma once

// One offscreen GL context per test process, made current at the size a test asks for.

#include "host/draw/VS_OffscreenContext.h"

namespace rigkit_test {

inline VS_OffscreenContext& gl(int width, int height) {
    static VS_OffscreenContext context(width, height);
    context.resize(width, height);
    return context;
}

}  // namespace rigkit_test
