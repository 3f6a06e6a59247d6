#pragma once

// Callgrind's client requests, which bracket the loops the benchmarks count in
// instructions. Outside valgrind they do nothing; without valgrind's headers they are
// left out, and only the timings remain.
//
// bench/run_bench.py starts callgrind with instrumentation off, so that what comes before
// a counted loop (building and loading scenes of 100,000 controls, warming them up) runs at
// a few times native speed instead of fifty: COUNT_BEGIN turns instrumentation on and then
// collection, COUNT_END turns both off and writes the loop's count under `name`. What is
// counted is the same either way; only the time to get there changes.

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_DUMP_STATS_AT(name) ((void)(name))
#endif

#define COUNT_BEGIN                      \
    do {                                 \
        CALLGRIND_START_INSTRUMENTATION; \
        CALLGRIND_TOGGLE_COLLECT;        \
    } while (0)

#define COUNT_END(name)                 \
    do {                                \
        CALLGRIND_TOGGLE_COLLECT;       \
        CALLGRIND_DUMP_STATS_AT(name);  \
        CALLGRIND_STOP_INSTRUMENTATION; \
    } while (0)
