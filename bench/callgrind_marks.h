#pragma once

// Callgrind's client requests, which bracket the loops the benchmarks count in
// instructions. Outside valgrind they do nothing; without valgrind's headers they are
// left out, and only the timings remain.

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_DUMP_STATS_AT(name) ((void)(name))
#endif
