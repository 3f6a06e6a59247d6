#include "host/text/FM_FontManager.h"

#include "host/text/FM_FontFace.h"

#include <fontconfig/fontconfig.h>

#include <map>
#include <vector>

namespace {

const char* const kDefaultFamily = "DejaVu Sans";

// The font file fontconfig answers `family` with, and whether that font carries the family
// itself among its names rather than standing in for it.
struct Match {
    std::string file;
    int index = 0;
    QString family;
    bool exact = false;
};

bool matchFamily(const QString& family, Match& out) {
    FcPattern* pattern = FcPatternCreate();
    const QByteArray utf8 = family.toUtf8();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8.constData()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!font)
        return false;
    bool found = false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch && file) {
        found = true;
        out.file = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(font, FC_INDEX, 0, &out.index) != FcResultMatch)
            out.index = 0;
        // A font lists every family it belongs to ("DejaVu Sans", "DejaVu Sans Condensed").
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
            const QString candidate = QString::fromUtf8(reinterpret_cast<const char*>(name));
            if (i == 0)
                out.family = candidate;
            if (candidate.compare(family, Qt::CaseInsensitive) == 0) {
                out.family = candidate;
                out.exact = true;
            }
        }
    }
    FcPatternDestroy(font);
    return found;
}

}  // namespace

struct FM_FontManager::Impl {
    FT_Library library = nullptr;
    // Index id - 1.
    std::vector<std::unique_ptr<FM_FontFace>> faces;
    // Lower-cased requested name to its id, or to 0 when the family is not held; so each
    // name asks fontconfig once.
    std::map<QString, std::uint32_t> byName;
    std::uint32_t defaultId = 0;
    bool defaultLooked = false;

    FM_Error open(const Match& match, std::uint32_t& id) {
        // Two names may lead to the same family.
        for (std::size_t i = 0; i < faces.size(); ++i)
            if (faces[i]->family == match.family) {
                id = std::uint32_t(i + 1);
                return FM_NoError;
            }
        if (!library)
            return FM_FontUnreadable;
        FT_Face face = nullptr;
        if (FT_New_Face(library, match.file.c_str(), match.index, &face) != 0)
            return FM_FontUnreadable;
        auto entry = std::make_unique<FM_FontFace>();
        entry->family = match.family;
        entry->face = face;
        faces.push_back(std::move(entry));
        id = std::uint32_t(faces.size());
        return FM_NoError;
    }
};

FM_FontManager::FM_FontManager() : m(std::make_unique<Impl>()) {
    FcInit();
    if (FT_Init_FreeType(&m->library) != 0)
        m->library = nullptr;
}

FM_FontManager::~FM_FontManager() {
    for (auto& f : m->faces)
        FT_Done_Face(f->face);
    if (m->library)
        FT_Done_FreeType(m->library);
    // fontconfig's configuration and caches live until it is told to let them go.
    FcFini();
}

FM_FontManager& FM_FontManager::instance() {
    static FM_FontManager manager;
    return manager;
}

FM_Error FM_FontManager::getFontId(const UT_String& name, std::uint32_t& id) {
    const QString family = name.toQString().trimmed();
    const QString key = family.toLower();
    const auto known = m->byName.find(key);
    if (known != m->byName.end()) {
        if (known->second == 0)
            return FM_FontNotFound;
        id = known->second;
        return FM_NoError;
    }
    Match match;
    if (family.isEmpty() || !matchFamily(family, match) || !match.exact) {
        m->byName[key] = 0;
        return FM_FontNotFound;
    }
    std::uint32_t opened = 0;
    const FM_Error error = m->open(match, opened);
    // An unreadable file may be replaced later; only answers about the family are kept.
    if (error != FM_NoError)
        return error;
    m->byName[key] = opened;
    id = opened;
    return FM_NoError;
}

std::uint32_t FM_FontManager::getDefaultFontId() {
    if (m->defaultLooked)
        return m->defaultId;
    m->defaultLooked = true;
    std::uint32_t id = 0;
    if (getFontId(UT_String(QString::fromLatin1(kDefaultFamily)), id) == FM_NoError) {
        m->defaultId = id;
        return id;
    }
    Match match;
    if (matchFamily(QStringLiteral("sans-serif"), match) && m->open(match, id) == FM_NoError)
        m->defaultId = id;
    return m->defaultId;
}

UT_String FM_FontManager::familyName(std::uint32_t id) const {
    const FM_FontFace* f = face(id);
    return f ? UT_String(f->family) : UT_String();
}

FM_FontFace* FM_FontManager::face(std::uint32_t id) const {
    if (id == 0 || id > m->faces.size())
        return nullptr;
    return m->faces[id - 1].get();
}
