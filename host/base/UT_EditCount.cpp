#include "host/base/UT_EditCount.h"

std::uint64_t UT_EditCount::s_count = 1;
std::uint64_t UT_EditCount::s_unnamed = 1;
UT_EditCount::Entry UT_EditCount::s_journal[UT_EditCount::kJournal] = {};
