#pragma once

#include "host/host_api.h"

#include <cstddef>
#include <cstdint>

// Counts the changes to anything a control's drawing can read from the scene: attribute
// values, keys and surrogates, properties, components, parents and ports (the selection
// keeps a count of its own, SLB_Selection::version). A viewport that kept what it learnt
// about the last drawing can trust it while the count stands still. Every mutator of that
// data counts, including the accessors that hand out something to modify, so a change
// cannot slip past the count by going around a setter.
//
// Most changes also say what changed, in a journal of the last kJournal: the attribute or
// the node (and the node it belongs to, so that a reader can tell it from another scene's
// without touching it). A viewport then asks again only about what the entries since it
// last looked name; a change that names nothing, or a journal that wrapped since, sends it
// to ask about everything.
struct HOST_API UT_EditCount {
    struct Entry {
        // An AT_Attr, or the node itself; null for a change no drawing can see.
        const void* subject;
        const void* node;
    };
    static constexpr std::size_t kJournal = 4096;

    static std::uint64_t s_count;
    // The count at the last change that named nothing.
    static std::uint64_t s_unnamed;
    // Entry n is at s_journal[n % kJournal] while n > s_count - kJournal.
    static Entry s_journal[kJournal];

    static void note() { s_unnamed = ++s_count; }
    static void note(const void* subject, const void* node) { s_journal[++s_count % kJournal] = {subject, node}; }
};
