#pragma once

#include "host/host_api.h"

#include <cstdint>

// Counts the changes to anything a control's drawing can read from the scene: attribute
// values, keys and surrogates, properties, components, parents and ports (the selection
// keeps a count of its own, SLB_Selection::version). A
// viewport that kept what it learnt about the last drawing can trust it while the count
// stands still; once it moves, it asks each node again. Every mutator of that data
// counts, including the accessors that hand out something to modify, so a change cannot
// slip past the count by going around a setter.
struct HOST_API UT_EditCount {
    static std::uint64_t s_count;
    static void note() { ++s_count; }
};
