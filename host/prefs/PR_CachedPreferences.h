#pragma once

#include "host/host_api.h"

// Preference flags the edit commands read when they are built.
struct HOST_API PR_CachedPreferences {
    // New curves get flat tangents at their keys instead of smooth ones.
    static bool _PegDefaultBezier;
    // Keys added by range edits hold their value until the next key.
    static bool _SpConstantSegment;
};
