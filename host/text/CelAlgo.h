#pragma once

// Text into vector art: each glyph's outline, taken from the font at the requested size,
// with its curves flattened into short segments and its inside cut into filled triangles
// (odd winding: a contour inside another is a hole), written in one colour of the
// drawing's palette over a rectangle in another.
//
// Art units: type is laid out at kArtDotsPerInch, five art units to the pixel of a 96-dpi
// screen, so art drawn at 0.2 pixels per unit shows an N-point text as such a screen
// would (a 10-point em is 13⅓ pixels). x grows to the right and y upwards; the pen starts
// at the origin on the baseline.

#include "host/host_api.h"
#include "host/text/GR_VectorArt.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace CelAlgo {

constexpr int kArtDotsPerInch = 480;
constexpr double kArtUnitsPerPoint = kArtDotsPerInch / 72.0;

// What to write. Callers fill it field by field; everything has a harmless default.
struct HOST_API TextProperties {
    // A font manager id (FM_FontManager); a text in an unknown font is not written.
    std::uint32_t fontId = 0;
    // In points; nothing is written below 1.
    std::int32_t size = 0;
    // How many characters of `text` to write; −1: all of them.
    std::int32_t maxLength = -1;
    // Where the pen starts, in art units; the background moves with it.
    double originX = 0.0;
    double originY = 0.0;
    // Shear of the glyphs, x += slant × y (0.2 is a usual oblique); the background stays
    // upright.
    double slant = 0.0;
    // Turns the whole text, background included, about the pen's start.
    double rotationDegrees = 0.0;
    // Writes the background rectangle.
    bool background = true;
    // Non-zero: a line under the text, or through it, in the glyph colour, as thick as the
    // font's underline.
    std::int16_t underline = 0;
    std::int16_t strikeout = 0;
    QString text;
    // The text the background is measured on, so that a box can keep its width while the
    // text in it changes; empty: `text` itself.
    QString boxText;
};

static_assert(sizeof(TextProperties) == 72, "TextProperties is 72 bytes");

// Writes `properties.text` into the current drawing of `access` (which must be within
// BeginOperations, with a fill type other than NoFill) and records it through
// `textAccess`. The further arguments, as this writer reads them:
// - glyphColorId: the palette colour of the glyphs (and of underline and strikeout);
// - backgroundColorId: the palette colour of the background rectangle;
// - tracking: extra space after each character, in art units (0: the font's advances);
// - baselineShift: lifts the glyphs by this many art units within the background;
// - curveSegments: straight segments per curved piece of outline; 0 chooses as many as
//   keep the segments within a tenth of an art unit of the curve;
// - margin: how far the background reaches beyond the text, as a fraction of the em, on
//   all four sides. The background spans the font's whole line (descender to ascender),
//   whatever letters the text holds, so labels on one baseline share their box height;
// - aspect: the width-to-height ratio of the view the art is made for. Art units are
//   square on every view this host draws (square pixels), so it changes nothing here and
//   may be any value.
// Returns false, writing nothing, when the access is not open for writing, a colour id is
// not in its dictionary, or the font is unknown. An empty text still gets its background
// (as wide as the margins).
HOST_API bool writeText(GR_DrawingAccess& access, GR_TextAccess& textAccess, const TextProperties& properties,
                        int glyphColorId, int backgroundColorId, int tracking, int baselineShift, int curveSegments,
                        double margin, double aspect);

// How many texts writeText has written since the host loaded: painters that cache their
// art are judged by it.
HOST_API unsigned long textsWritten();

}  // namespace CelAlgo
