#pragma once

// Inside the font manager: what an id opens. Not part of the host's interface.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <QString>

struct FM_FontFace {
    QString family;
    FT_Face face = nullptr;
};
