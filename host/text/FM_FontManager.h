#pragma once

// Fonts by family name. Families are looked up through fontconfig and opened with
// FreeType once; each one found gets a small id that text properties carry.
//
// fontconfig never says no: asked for a family the machine lacks, it answers with the
// closest font it has. A family counts as held only when the font it answers with names
// that family itself (letter case aside), so "Arial" on a machine with only DejaVu fails
// rather than quietly becoming DejaVu Sans.

#include "host/base/UT_String.h"
#include "host/host_api.h"

#include <cstdint>
#include <memory>

enum FM_Error {
    FM_NoError = 0,
    // No font of that family on this machine.
    FM_FontNotFound = 1,
    // The family is there but FreeType cannot open its file.
    FM_FontUnreadable = 2,
};

// The FreeType face behind an id; only the host's text writer looks inside
// (host/text/FM_FontFace.h).
struct FM_FontFace;

class HOST_API FM_FontManager {
public:
    static FM_FontManager& instance();

    FM_FontManager(const FM_FontManager&) = delete;
    FM_FontManager& operator=(const FM_FontManager&) = delete;

    // On success `id` is the family's id (never 0); on failure it is left as it was.
    FM_Error getFontId(const UT_String& name, std::uint32_t& id);
    // DejaVu Sans; when even that is missing, whatever fontconfig calls sans-serif.
    // 0 only on a machine without any font.
    std::uint32_t getDefaultFontId();

    // The family an id stands for; empty for an id that was never given out.
    UT_String familyName(std::uint32_t id) const;
    // Null for an id that was never given out.
    FM_FontFace* face(std::uint32_t id) const;

private:
    FM_FontManager();
    ~FM_FontManager();

    struct Impl;
    std::unique_ptr<Impl> m;
};
