#include "host/base/UT_EditCount.h"

std::uint64_t UT_EditCount::s_count = 1;
