#include "host/text/CelAlgo.h"

#include "host/text/FM_FontFace.h"
#include "host/text/FM_FontManager.h"

#include <GL/glu.h>
#include <QVector>
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

namespace CelAlgo {

namespace {

unsigned long g_written = 0;

// Without a fixed count, curves are cut until no chord strays further than this from its
// curve, in art units.
constexpr double kFlatness = 0.1;
constexpr int kMaxSegments = 64;

struct Vec {
    double x, y;
};

using Contour = std::vector<Vec>;

// FreeType's outline walk, turning curves into segments.
struct Flattener {
    std::vector<Contour> contours;
    Vec pen{0, 0};
    Vec offset{0, 0};
    int fixedSegments = 0;

    Vec at(const FT_Vector* v) const { return {v->x / 64.0 + offset.x, v->y / 64.0 + offset.y}; }

    int segments(double bend, double factor) const {
        if (fixedSegments > 0)
            return fixedSegments;
        const int n = int(std::ceil(std::sqrt(bend * factor / kFlatness)));
        return std::clamp(n, 1, kMaxSegments);
    }

    static int moveTo(const FT_Vector* to, void* user) {
        auto* f = static_cast<Flattener*>(user);
        f->pen = f->at(to);
        f->contours.push_back({f->pen});
        return 0;
    }
    static int lineTo(const FT_Vector* to, void* user) {
        auto* f = static_cast<Flattener*>(user);
        f->pen = f->at(to);
        f->contours.back().push_back(f->pen);
        return 0;
    }
    static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
        auto* f = static_cast<Flattener*>(user);
        const Vec p0 = f->pen, p1 = f->at(control), p2 = f->at(to);
        // A quadratic strays at most |p0 − 2p1 + p2| / 4 from its chord, quartered with
        // every halving of the step.
        const double bend = std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y);
        const int n = f->segments(bend, 0.25);
        for (int i = 1; i <= n; ++i) {
            const double t = double(i) / n, u = 1 - t;
            f->contours.back().push_back(
                {u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x, u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
        }
        f->pen = p2;
        return 0;
    }
    static int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
        auto* f = static_cast<Flattener*>(user);
        const Vec p0 = f->pen, p1 = f->at(c1), p2 = f->at(c2), p3 = f->at(to);
        const double bend = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                     std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
        const int n = f->segments(bend, 0.75);
        for (int i = 1; i <= n; ++i) {
            const double t = double(i) / n, u = 1 - t;
            const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
            f->contours.back().push_back(
                {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
        }
        f->pen = p3;
        return 0;
    }
};

// GLU's tessellator, asked for plain triangles only (an edge-flag callback stops it from
// making fans and strips).
class Tessellator {
public:
    explicit Tessellator(GLenum windingRule) : m_tess(gluNewTess()) {
        if (!m_tess)
            return;
        gluTessProperty(m_tess, GLU_TESS_WINDING_RULE, windingRule);
        gluTessNormal(m_tess, 0, 0, 1);
        gluTessCallback(m_tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(&begin));
        gluTessCallback(m_tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(&vertex));
        gluTessCallback(m_tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(&edgeFlag));
        gluTessCallback(m_tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(&combine));
        gluTessCallback(m_tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(&error));
    }
    ~Tessellator() {
        if (m_tess)
            gluDeleteTess(m_tess);
    }
    Tessellator(const Tessellator&) = delete;
    Tessellator& operator=(const Tessellator&) = delete;

    // The triangles filling the contours, two floats per vertex. Empty when the tessellator
    // fails.
    std::vector<float> fill(const std::vector<Contour>& contours) {
        m_out.clear();
        m_failed = false;
        if (!m_tess)
            return {};
        // GLU keeps pointers to the coordinates until the polygon ends, and so must the
        // vertices that the combine callback makes.
        std::deque<std::array<GLdouble, 3>> points;
        gluTessBeginPolygon(m_tess, this);
        for (const Contour& c : contours) {
            if (c.size() < 3)
                continue;
            gluTessBeginContour(m_tess);
            for (const Vec& v : c) {
                points.push_back({v.x, v.y, 0.0});
                gluTessVertex(m_tess, points.back().data(), points.back().data());
            }
            gluTessEndContour(m_tess);
        }
        m_combined = &points;
        gluTessEndPolygon(m_tess);
        m_combined = nullptr;
        if (m_failed || m_out.size() % 6 != 0)
            return {};
        return std::move(m_out);
    }

private:
    static void GLAPIENTRY begin(GLenum, void*) {}
    static void GLAPIENTRY edgeFlag(GLboolean, void*) {}
    static void GLAPIENTRY vertex(void* data, void* self) {
        auto* t = static_cast<Tessellator*>(self);
        const auto* v = static_cast<const GLdouble*>(data);
        t->m_out.push_back(float(v[0]));
        t->m_out.push_back(float(v[1]));
    }
    static void GLAPIENTRY combine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* self) {
        auto* t = static_cast<Tessellator*>(self);
        t->m_combined->push_back({coords[0], coords[1], coords[2]});
        *out = t->m_combined->back().data();
    }
    static void GLAPIENTRY error(GLenum, void* self) { static_cast<Tessellator*>(self)->m_failed = true; }

    GLUtesselator* m_tess;
    std::vector<float> m_out;
    std::deque<std::array<GLdouble, 3>>* m_combined = nullptr;
    bool m_failed = false;
};

// Places art points: the glyphs' slant, then the turn about the pen's start, then the start.
struct Placement {
    double originX, originY, cosA, sinA;
    void apply(std::vector<float>& xy, double slant) const {
        for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
            const double x = xy[i] + slant * xy[i + 1], y = xy[i + 1];
            xy[i] = float(originX + cosA * x - sinA * y);
            xy[i + 1] = float(originY + sinA * x + cosA * y);
        }
    }
};

std::vector<float> rectangle(double x0, double y0, double x1, double y1) {
    const float a = float(x0), b = float(y0), c = float(x1), d = float(y1);
    return {a, b, c, b, c, d, a, b, c, d, a, d};
}

// The pen's shift between two glyphs that the font kerns, in art units (0 for none).
double kerning(FT_Face face, FT_UInt previous, FT_UInt glyph) {
    FT_Vector kern;
    if (previous && glyph && FT_HAS_KERNING(face) &&
        FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNFITTED, &kern) == 0)
        return kern.x / 64.0;
    return 0.0;
}

// The pen's travel over `text`, in art units.
double advanceOf(FT_Face face, const std::u32string& text, int tracking) {
    double pen = 0;
    FT_UInt previous = 0;
    for (char32_t ch : text) {
        const FT_UInt glyph = FT_Get_Char_Index(face, FT_ULong(ch));
        pen += kerning(face, previous, glyph);
        if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0)
            pen += face->glyph->advance.x / 64.0;
        pen += tracking;
        previous = glyph;
    }
    return pen;
}

std::u32string ucs4(const QString& s, int maxLength) {
    const QVector<uint> points = s.toUcs4();
    std::u32string out(points.begin(), points.end());
    if (maxLength >= 0 && std::size_t(maxLength) < out.size())
        out.resize(std::size_t(maxLength));
    return out;
}

// The art written so far: each piece placed as the text is, and the box it covers.
struct ArtWriter {
    GR_DrawingAccess& access;
    Placement place;
    GR_BBox written;

    void add(int colour, std::vector<float> xy, double slant) {
        place.apply(xy, slant);
        for (std::size_t i = 0; i + 1 < xy.size(); i += 2)
            written.extend(xy[i], xy[i + 1]);
        access.addTriangles(colour, std::move(xy));
    }
};

// The font's face set to the text's size, whose pixels are art units; null when the font
// is unknown or refuses the size.
FT_Face sizedFace(const TextProperties& properties) {
    FM_FontFace* font = FM_FontManager::instance().face(properties.fontId);
    if (!font || properties.size < 1)
        return nullptr;
    const FT_UInt resolution = FT_UInt(kArtDotsPerInch);
    if (FT_Set_Char_Size(font->face, 0, FT_F26Dot6(properties.size) * 64, resolution, resolution) != 0)
        return nullptr;
    return font->face;
}

// Each glyph's outline, filled, along the pen's path.
void addGlyphs(ArtWriter& art, FT_Face face, const std::u32string& text, int glyphColorId, int tracking,
               int baselineShift, int curveSegments, double slant) {
    const GLenum winding =
        art.access.fillType() == GR_DrawingAccess::NonZeroFill ? GLU_TESS_WINDING_NONZERO : GLU_TESS_WINDING_ODD;
    Tessellator tessellator(winding);
    FT_Outline_Funcs walk{};
    walk.move_to = &Flattener::moveTo;
    walk.line_to = &Flattener::lineTo;
    walk.conic_to = &Flattener::conicTo;
    walk.cubic_to = &Flattener::cubicTo;
    double pen = 0;
    FT_UInt previous = 0;
    for (char32_t ch : text) {
        const FT_UInt glyph = FT_Get_Char_Index(face, FT_ULong(ch));
        pen += kerning(face, previous, glyph);
        previous = glyph;
        if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
            continue;
        const FT_GlyphSlot slot = face->glyph;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            Flattener flat;
            flat.offset = {pen, double(baselineShift)};
            flat.fixedSegments = curveSegments;
            if (FT_Outline_Decompose(&slot->outline, &walk, &flat) == 0)
                art.add(glyphColorId, tessellator.fill(flat.contours), slant);
        }
        pen += slot->advance.x / 64.0 + tracking;
    }
}

// The underline and the strikeout, as long as the text and as thick as the font's underline.
void addRules(ArtWriter& art, FT_Face face, const TextProperties& properties, int glyphColorId, double width,
              int baselineShift) {
    const double thickness = std::max(1.0, FT_MulFix(face->underline_thickness, face->size->metrics.y_scale) / 64.0);
    if (properties.underline) {
        const double y = FT_MulFix(face->underline_position, face->size->metrics.y_scale) / 64.0 + baselineShift;
        art.add(glyphColorId, rectangle(0, y - thickness / 2, width, y + thickness / 2), 0.0);
    }
    if (properties.strikeout) {
        // Through the middle of the lower-case letters.
        const double ascender = face->size->metrics.ascender / 64.0;
        const double y = 0.25 * ascender + baselineShift;
        art.add(glyphColorId, rectangle(0, y - thickness / 2, width, y + thickness / 2), 0.0);
    }
}

}  // namespace

bool writeText(GR_DrawingAccess& access, GR_TextAccess& textAccess, const TextProperties& properties, int glyphColorId,
               int backgroundColorId, int tracking, int baselineShift, int curveSegments, double margin,
               double /*aspect*/) {
    const GR_ColorDict& dict = access.colorDict();
    if (!access.inOperations() || access.fillType() == GR_DrawingAccess::NoFill || !dict.find(glyphColorId) ||
        (properties.background && !dict.find(backgroundColorId)))
        return false;
    const FT_Face face = sizedFace(properties);
    if (!face)
        return false;
    ++g_written;

    const std::u32string text = ucs4(properties.text, properties.maxLength);
    const double width = advanceOf(face, text, tracking);
    const double radians = properties.rotationDegrees * M_PI / 180.0;
    ArtWriter art{access, {properties.originX, properties.originY, std::cos(radians), std::sin(radians)}, {}};
    if (properties.background) {
        const double em = properties.size * kArtUnitsPerPoint;
        const double pad = margin * em;
        const double ascender = face->size->metrics.ascender / 64.0;
        const double descender = face->size->metrics.descender / 64.0;
        const double boxWidth =
            properties.boxText.isEmpty() ? width : advanceOf(face, ucs4(properties.boxText, -1), tracking);
        art.add(backgroundColorId, rectangle(-pad, descender - pad, boxWidth + pad, ascender + pad), 0.0);
    }
    addGlyphs(art, face, text, glyphColorId, tracking, baselineShift, curveSegments, properties.slant);
    addRules(art, face, properties, glyphColorId, width, baselineShift);

    GR_TextRun run;
    run.text = properties.text;
    run.fontId = properties.fontId;
    run.size = properties.size;
    run.box = art.written;
    textAccess.addTextRun(std::move(run));
    return true;
}

unsigned long textsWritten() {
    return g_written;
}

}  // namespace CelAlgo
