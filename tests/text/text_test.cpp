#include "host/draw/VS_Canvas.h"
#include "host/text/CelAlgo.h"
#include "host/text/FM_FontManager.h"
#include "host/text/GR_VectorArt.h"

#include <gtest/gtest.h>

namespace {

UT_String family(const char* name) {
    return UT_String(QString::fromUtf8(name));
}

TEST(FontManager, HoldsOnlyTheFamiliesTheMachineHas) {
    FM_FontManager& fonts = FM_FontManager::instance();
    std::uint32_t id = 77;
    // fontconfig would answer with DejaVu Sans for the first two.
    for (const char* missing : {"Arial", "No Such Font 12345", ""})
        EXPECT_EQ(fonts.getFontId(family(missing), id), FM_FontNotFound) << missing;
    EXPECT_EQ(id, 77u);

    std::uint32_t sans = 0, again = 0, serif = 0;
    ASSERT_EQ(fonts.getFontId(family("DejaVu Sans"), sans), FM_NoError);
    ASSERT_EQ(fonts.getFontId(family("dejavu sans"), again), FM_NoError);
    ASSERT_EQ(fonts.getFontId(family("DejaVu Serif"), serif), FM_NoError);
    EXPECT_NE(sans, 0u);
    EXPECT_EQ(again, sans);
    EXPECT_NE(serif, sans);
    EXPECT_EQ(fonts.getDefaultFontId(), sans);
    EXPECT_EQ(fonts.familyName(sans).toQString(), "DejaVu Sans");
    EXPECT_EQ(fonts.face(0), nullptr);
    EXPECT_EQ(fonts.face(1000), nullptr);
}

// How many of a batch's triangles hold the point: 1 inside a filled shape, 0 outside.
int cover(const GR_TriangleBatch& batch, double x, double y) {
    int n = 0;
    for (std::size_t i = 0; i + 6 <= batch.xy.size(); i += 6) {
        const float* t = &batch.xy[i];
        auto side = [&](int a, int b) {
            return (t[2 * b] - t[2 * a]) * (y - t[2 * a + 1]) - (t[2 * b + 1] - t[2 * a + 1]) * (x - t[2 * a]);
        };
        const double s0 = side(0, 1), s1 = side(1, 2), s2 = side(2, 0);
        n += (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
    }
    return n;
}

struct Writer : ::testing::Test {
    static constexpr int kInk = 1000, kPaper = 1001;

    Writer() : access(dict), text(dict) {
        CM_Color ink(UT_A2W("Ink"), CM_Color::Solid, kInk);
        ink.addMarker(CM_GradientData(0.0, CM_Rgba(255, 255, 255, 255)));
        CM_Color paper(UT_A2W("Paper"), CM_Color::Solid, kPaper);
        paper.addMarker(CM_GradientData(0.0, CM_Rgba(0, 0, 0, 128)));
        art.GetPaletteInfo().addLocalColor(ink);
        art.GetPaletteInfo().addLocalColor(paper);
        dict.attachPalette(&art.GetPaletteInfo());
        access.SetCurrentDrawing(art.GetLineArt());
        text.SetCurrentDrawing(art.GetLineArt());
        properties.fontId = FM_FontManager::instance().getDefaultFontId();
        properties.size = 30;
    }

    bool write(const char* s) {
        properties.text = s;
        access.BeginOperations(GR_DrawingAccess::OddFill);
        const bool ok = CelAlgo::writeText(access, text, properties, kInk, kPaper, 0, 0, 0, 0.0, 1.0);
        access.EndOperations(true);
        art.Merge();
        return ok;
    }
    // Writes into art of its own and gives its extent.
    GR_BBox box(const char* s, double margin, int tracking = 0) {
        GR_CompositeVectorDrawingObj own;
        GR_DrawingAccess ownAccess(dict);
        ownAccess.SetCurrentDrawing(own.GetLineArt());
        ownAccess.BeginOperations(GR_DrawingAccess::OddFill);
        properties.text = s;
        EXPECT_TRUE(CelAlgo::writeText(ownAccess, text, properties, kInk, kPaper, tracking, 0, 0, margin, 1.0));
        ownAccess.EndOperations(true);
        return own.GetWorldBBox();
    }
    const GR_TriangleBatch* batch(int colour) const {
        for (const GR_TriangleBatch& b : art.lineArt().batches())
            if (b.colorId == colour)
                return &b;
        return nullptr;
    }

    GR_CompositeVectorDrawingObj art;
    GR_ColorDict dict;
    GR_DrawingAccess access;
    GR_TextAccess text;
    CelAlgo::TextProperties properties;
};

TEST_F(Writer, GlyphsAreFilledWithTheirHolesLeftOpen) {
    ASSERT_TRUE(write("O"));
    const GR_TriangleBatch* glyph = batch(kInk);
    ASSERT_NE(glyph, nullptr);
    GR_BBox ink;
    for (std::size_t i = 0; i + 1 < glyph->xy.size(); i += 2)
        ink.extend(glyph->xy[i], glyph->xy[i + 1]);
    // 30 points at 480 dpi: an em of 200 art units; a capital O about 146 high.
    EXPECT_NEAR(ink.height(), 0.73 * 200, 8);
    EXPECT_NEAR(ink.bottom, 0, 4);
    // The counter is empty, the ring is filled once, and nothing lies outside.
    EXPECT_EQ(cover(*glyph, ink.centerX(), ink.centerY()), 0);
    EXPECT_EQ(cover(*glyph, ink.left + 5, ink.centerY()), 1);
    EXPECT_EQ(cover(*glyph, ink.left - 5, ink.centerY()), 0);
    // The background is drawn first, under the glyph.
    ASSERT_EQ(art.lineArt().batches().size(), 2u);
    EXPECT_EQ(art.lineArt().batches().front().colorId, kPaper);
    ASSERT_EQ(art.lineArt().textRuns().size(), 1u);
    EXPECT_EQ(art.lineArt().textRuns().front().text, "O");
}

TEST_F(Writer, TheBackgroundSpansTheFontsLineWithItsMarginWhateverTheLetters) {
    const GR_BBox low = box("ace", 0.0), tall = box("Agj", 0.0);
    EXPECT_DOUBLE_EQ(tall.top, low.top);
    EXPECT_DOUBLE_EQ(tall.bottom, low.bottom);
    EXPECT_LT(low.bottom, -20);
    EXPECT_GT(low.top, 150);
    EXPECT_DOUBLE_EQ(low.left, 0.0);

    // A quarter of the 200-unit em on each side.
    const GR_BBox padded = box("ace", 0.25);
    EXPECT_NEAR(padded.left, low.left - 50, 1e-3);
    EXPECT_NEAR(padded.right, low.right + 50, 1e-3);
    EXPECT_NEAR(padded.bottom, low.bottom - 50, 1e-3);
    EXPECT_NEAR(padded.top, low.top + 50, 1e-3);
}

TEST_F(Writer, WritesNothingWhenTheAccessIsClosedOrAColourOrFontIsUnknown) {
    properties.text = "x";
    EXPECT_FALSE(CelAlgo::writeText(access, text, properties, kInk, kPaper, 0, 0, 0, 0.25, 1.0));
    access.BeginOperations(GR_DrawingAccess::OddFill);
    EXPECT_FALSE(CelAlgo::writeText(access, text, properties, 5, kPaper, 0, 0, 0, 0.25, 1.0));
    EXPECT_FALSE(CelAlgo::writeText(access, text, properties, kInk, 5, 0, 0, 0, 0.25, 1.0));
    properties.fontId = 999;
    EXPECT_FALSE(CelAlgo::writeText(access, text, properties, kInk, kPaper, 0, 0, 0, 0.25, 1.0));
    access.EndOperations(true);
    EXPECT_TRUE(art.lineArt().isEmpty());
    EXPECT_TRUE(art.GetWorldBBox().empty);
}

TEST_F(Writer, OperationsEndedWithoutCommitLeaveTheDrawingAsItWas) {
    properties.text = "x";
    access.BeginOperations(GR_DrawingAccess::OddFill);
    EXPECT_FALSE(access.BeginOperations(GR_DrawingAccess::OddFill));
    ASSERT_TRUE(CelAlgo::writeText(access, text, properties, kInk, kPaper, 0, 0, 0, 0.25, 1.0));
    access.EndOperations(false);
    EXPECT_TRUE(art.lineArt().isEmpty());
    EXPECT_FALSE(access.addTriangles(kInk, {0, 0, 1, 0, 0, 1}));
}

TEST_F(Writer, TrackingAndMaxLengthChangeTheWidth) {
    const double plain = box("abc", 0.0).width();
    properties.maxLength = 1;
    EXPECT_LT(box("abc", 0.0).width(), plain / 2);
    properties.maxLength = -1;
    EXPECT_NEAR(box("abc", 0.0, 10).width(), plain + 30, 1e-3);
}

// Records what a draw puts on the screen.
struct Recorder : GR_Renderer {
    std::vector<std::pair<std::size_t, CM_Rgba>> calls;
    void drawTriangles(const float*, std::size_t n, const CM_Rgba& rgba) override { calls.emplace_back(n, rgba); }
};

TEST_F(Writer, MergedArtDrawsOneCallPerColourOfTheSelectedLayers) {
    ASSERT_TRUE(access.BeginOperations(GR_DrawingAccess::OddFill));
    EXPECT_TRUE(access.addTriangles(kInk, {0, 0, 1, 0, 0, 1}));
    EXPECT_TRUE(access.addTriangles(kInk, {2, 2, 3, 2, 2, 3}));
    EXPECT_FALSE(access.addTriangles(5, {0, 0, 1, 0, 0, 1}));
    EXPECT_FALSE(access.addTriangles(kInk, {0, 0, 1, 0}));
    access.EndOperations(true);
    EXPECT_EQ(art.lineArt().batches().size(), 2u);
    art.Merge();
    ASSERT_EQ(art.lineArt().batches().size(), 1u);
    const GR_BBox extent = art.GetWorldBBox();
    EXPECT_FALSE(extent.empty);
    EXPECT_EQ(extent.right, 3.0);
    EXPECT_EQ(extent.top, 3.0);

    Recorder recorder;
    // Without a binder the draw loads no matrices: nothing here needs GL.
    VS_Canvas canvas(10, 10);
    CGraphicOps ops(&recorder, nullptr);
    art.Draw(ops);
    EXPECT_TRUE(recorder.calls.empty());  // no canvas, no drawing
    ops.SetVisualCanvas(&canvas);
    art.Draw(ops);
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].first, 6u);
    EXPECT_EQ(recorder.calls[0].second, CM_Rgba(255, 255, 255, 255));
    ops.SetArtSelector(GR_ArtSelector(GR_ArtSelector::ColorArt));
    art.Draw(ops);
    EXPECT_EQ(recorder.calls.size(), 1u);
}

}  // namespace
