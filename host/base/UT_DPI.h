#pragma once

#include "host/host_api.h"

// The screen's scale factor: sizes given in screen pixels are multiplied by it, so that
// controls keep their apparent size on dense screens. 1 unless a scene or the viewer sets
// it.
struct HOST_API UT_DPI {
    static float s_dpiScale;
};
