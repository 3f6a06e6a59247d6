// Art drawn again in place comes from a kept picture of it. What is checked here is that
// the picture gives the very pixels the triangles give, over a background that shows any
// difference in blending, and that it is used only where it can.

#include "host/draw/VS_ArtCache.h"
#include "host/text/CelAlgo.h"
#include "host/text/FM_FontManager.h"
#include "host/text/GR_VectorArt.h"
#include "tests/draw/draw_support.h"

#include <array>
#include <optional>
#include <vector>

namespace {

using draw_test::gl;

constexpr int kInk = 1000, kPaper = 1001;
constexpr std::array<int, 4> kIdleScissor{3, 4, 50, 60};
const CM_Rgba kWhite(255, 255, 255, 255), kHalfBlack(0, 0, 0, 128);

// Text art as a label writes it.
std::unique_ptr<GR_CompositeVectorDrawingObj> textArt(const char* text, const CM_Rgba& ink, const CM_Rgba& paper) {
    auto art = std::make_unique<GR_CompositeVectorDrawingObj>();
    for (const auto& [id, rgba] : {std::pair{kInk, ink}, std::pair{kPaper, paper}}) {
        CM_Color colour(UT_A2W("Colour"), CM_Color::Solid, id);
        colour.addMarker(CM_GradientData(0.0, rgba));
        art->GetPaletteInfo().addLocalColor(colour);
    }
    GR_ColorDict dict;
    dict.attachPalette(&art->GetPaletteInfo());
    GR_DrawingAccess access(dict);
    GR_TextAccess texts(dict);
    access.SetCurrentDrawing(art->GetLineArt());
    texts.SetCurrentDrawing(art->GetLineArt());
    access.BeginOperations(GR_DrawingAccess::OddFill);
    CelAlgo::TextProperties properties;
    properties.fontId = FM_FontManager::instance().getDefaultFontId();
    properties.size = 10;
    properties.text = text;
    EXPECT_TRUE(CelAlgo::writeText(access, texts, properties, kInk, kPaper, 0, 0, 0, 0.25, 1.0));
    access.EndOperations(true);
    art->Merge();
    return art;
}

// Where the art lands: pixels per art unit, the pen's start in pixels, a turn in degrees.
struct Placement {
    double scale, x, y, degrees;
};

// Hands every triangle on, counting them.
struct CountingRenderer : GR_Renderer {
    std::size_t vertices = 0;
    void drawTriangles(const float* xy, std::size_t count, const CM_Rgba& rgba) override {
        vertices += count;
        CGraphicOps::DefaultRenderer()->drawTriangles(xy, count, rgba);
    }
};

struct ArtCacheTest : ::testing::Test {
    int width = 200, height = 120;
    MO_OGLContext::RenderMode mode = MO_OGLContext::NormalRender;
    GR_Renderer* renderer = CGraphicOps::DefaultRenderer();
    // The caller's own scissor box while the art is drawn, if any.
    std::optional<std::array<int, 4>> scissor;
    // GL as the art last found it.
    draw_test::GlState found;

    VS_ArtCache& cache() {
        gl(width, height);
        return *VS_ArtCache::current();
    }

    // One frame: a striped translucent background, the art drawn once, the pixels.
    VS_Image frame(const GR_CompositeVectorDrawingObj& art, const Placement& at) {
        VS_OffscreenContext& context = gl(width, height);
        paint(art, at);
        return context.readPixels();
    }

    // The same in the context and with the cache current now.
    void paint(const GR_CompositeVectorDrawingObj& art, const Placement& at) {
        VS_SceneRenderer::beginPass(mode, VS_RGBA(40, 90, 140, 200));
        glEnable(GL_SCISSOR_TEST);
        glClearColor(0.9f, 0.5f, 0.1f, 0.6f);
        for (int x = 0; x < width; x += 14) {
            glScissor(x, 0, 7, height);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        glDisable(GL_SCISSOR_TEST);
        VS_Canvas canvas(width, height);
        CC_CameraChainTransformCanvasBinder binder(canvas);
        binder.setTransformChain(Math::CameraTransformChain::orthographic(width, height, {0, 0}, 10));
        binder.setProjectionMatrix(Math::Matrix4x4().orthogonalProject(0, width, 0, height, -1, 1));
        binder.setViewMatrix(Math::Matrix4x4());
        Math::Matrix4x4 model;
        model.translate(at.x, at.y, 0).rotateDegrees(at.degrees, {0, 0, 1}).scale(at.scale, at.scale, 1);
        binder.setModelMatrix(model);
        CGraphicOps ops(renderer, &binder);
        ops.SetVisualCanvas(&canvas);
        // With the test off, a box the drawing must leave as it is.
        const std::array<int, 4> box = scissor.value_or(kIdleScissor);
        glScissor(box[0], box[1], box[2], box[3]);
        if (scissor)
            glEnable(GL_SCISSOR_TEST);
        found = draw_test::readGlState();
        art.Draw(ops);
        if (scissor)
            glDisable(GL_SCISSOR_TEST);
    }
};

TEST_F(ArtCacheTest, APictureGivesTheTrianglesPixels) {
    struct Case {
        const char* name;
        CM_Rgba ink, paper;
        Placement at;
        int width;
        bool kept;
        std::optional<std::array<int, 4>> scissor = std::nullopt;
    };
    const Case cases[] = {
        {"label colours, between pixels", kWhite, kHalfBlack, {0.2, 37.3, 50.6, 0}, 200, true},
        {"opaque paper", kWhite, CM_Rgba(20, 200, 60, 255), {0.2, 11.71, 3.4, 0}, 200, true},
        {"clear paper", CM_Rgba(200, 30, 30, 255), CM_Rgba(0, 0, 0, 0), {0.3, 70.5, 60.5, 0}, 200, true},
        {"turned and scaled", kWhite, kHalfBlack, {0.37, 60.2, 20.9, 30}, 200, true},
        {"half outside the view", kWhite, kHalfBlack, {0.25, -20.4, 110.3, 0}, 200, true},
        {"far along a wide view", kWhite, kHalfBlack, {0.2, 1960.7, 40.2, 0}, 2000, true},
        {"cut by the caller's scissor", kWhite, kHalfBlack, {0.2, 37.3, 50.6, 0}, 200, true,
         std::array<int, 4>{45, 48, 23, 9}},
        // Translucent glyphs over their background blend twice: never kept.
        {"translucent ink", CM_Rgba(255, 255, 0, 100), kHalfBlack, {0.2, 37.3, 50.6, 0}, 200, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        width = c.width;
        scissor = c.scissor;
        const auto art = textArt("Wave text", c.ink, c.paper);
        const std::size_t hits = cache().hits(), builds = cache().builds();
        const VS_Image triangles = frame(*art, c.at), made = frame(*art, c.at), drawn = frame(*art, c.at);
        EXPECT_EQ(cache().builds() - builds, c.kept ? 1u : 0u);
        EXPECT_EQ(cache().hits() - hits, c.kept ? 2u : 0u);
        EXPECT_TRUE(triangles.rgba == made.rgba);
        EXPECT_TRUE(triangles.rgba == drawn.rgba);
        // The art is there at all: some pixel differs from the bare background.
        const VS_Image bare = frame(*textArt("", CM_Rgba(0, 0, 0, 0), CM_Rgba(0, 0, 0, 0)), c.at);
        EXPECT_FALSE(bare.rgba == drawn.rgba);
    }
}

// A picture is made single-sampled, so pasted into a multisampled frame it would lose the
// smoothing the triangles get there: such frames draw the triangles every time.
TEST_F(ArtCacheTest, AMultisampledFrameDrawsTheTrianglesEveryTime) {
    VS_OffscreenContext& context = gl(width, height);
    context.setSamples(4);
    struct SingleSampledAgain {
        VS_OffscreenContext& context;
        ~SingleSampledAgain() { context.setSamples(0); }
    } restore{context};
    const auto art = textArt("Smooth", kWhite, kHalfBlack);
    const Placement at{0.37, 60.2, 20.9, 30};
    const auto smoothFrame = [&] {
        context.bindSmooth();
        paint(*art, at);
        context.resolveSmooth();
        return context.readPixels();
    };
    const std::size_t builds = cache().builds(), hits = cache().hits();
    const VS_Image first = smoothFrame();
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(smoothFrame().rgba == first.rgba) << "frame " << i + 2;
    EXPECT_EQ(cache().builds(), builds);
    EXPECT_EQ(cache().hits(), hits);
    // Smoothing shows: the frame is not the single-sampled one.
    context.setSamples(0);
    EXPECT_FALSE(frame(*art, at).rgba == first.rgba);
}

TEST_F(ArtCacheTest, MovedArtIsDrawnWhereItNowIs) {
    const auto art = textArt("moves", kWhite, kHalfBlack);
    const Placement here{0.2, 30.25, 40.5, 0}, there{0.2, 90.75, 70.125, 0};
    for (int i = 0; i < 3; ++i)
        frame(*art, here);
    const std::size_t textures = cache().textures(), hits = cache().hits();
    const VS_Image moved = frame(*art, there);
    EXPECT_EQ(cache().hits(), hits);
    EXPECT_EQ(cache().textures(), textures - 1);
    frame(*art, there);
    const VS_Image kept = frame(*art, there);
    EXPECT_EQ(cache().hits(), hits + 2);
    EXPECT_TRUE(moved.rgba == kept.rgba);
    EXPECT_TRUE(frame(*textArt("moves", kWhite, kHalfBlack), there).rgba == kept.rgba);
}

TEST_F(ArtCacheTest, OnlyTheNormalPassWithTheDefaultRendererAndACacheUsesPictures) {
    const auto art = textArt("pick", kWhite, kHalfBlack);
    const Placement at{0.2, 20.5, 20.5, 0};
    const std::size_t hits = cache().hits(), builds = cache().builds();
    mode = MO_OGLContext::PickingRender;
    for (int i = 0; i < 3; ++i)
        frame(*art, at);
    mode = MO_OGLContext::NormalRender;
    // Drawn in feedback mode (as bounds are learnt), the art reaches no framebuffer to
    // picture, and must report its own triangles every time.
    std::vector<float> feedback(std::size_t(1) << 20);
    glFeedbackBuffer(GLsizei(feedback.size()), GL_2D, feedback.data());
    glRenderMode(GL_FEEDBACK);
    for (int i = 0; i < 3; ++i)
        paint(*art, at);
    EXPECT_GT(glRenderMode(GL_RENDER), 0);
    EXPECT_EQ(cache().builds(), builds);
    CountingRenderer counting;
    renderer = &counting;
    for (int i = 0; i < 3; ++i)
        frame(*art, at);
    EXPECT_EQ(counting.vertices,
              3 * (art->lineArt().batches()[0].xy.size() + art->lineArt().batches()[1].xy.size()) / 2);
    renderer = CGraphicOps::DefaultRenderer();
    {
        const VS_ArtCache::Scope none(nullptr);
        for (int i = 0; i < 3; ++i)
            paint(*art, at);
    }
    EXPECT_EQ(cache().hits(), hits);
}

TEST_F(ArtCacheTest, APictureGoesWithItsArtAndIsDroppedWhenTheArtChanges) {
    const Placement at{0.2, 50.5, 50.5, 0};
    auto art = textArt("first", kWhite, kHalfBlack);
    for (int i = 0; i < 3; ++i)
        frame(*art, at);
    // Making it also freed those of art gone before.
    const std::size_t textures = cache().textures();
    art.reset();
    // The texture is freed when the cache next makes a picture.
    const auto other = textArt("second", kWhite, kHalfBlack);
    for (int i = 0; i < 2; ++i)
        frame(*other, at);
    EXPECT_EQ(cache().textures(), textures);

    // More art written into drawn art shows at once.
    GR_ColorDict dict;
    dict.attachPalette(&other->GetPaletteInfo());
    GR_DrawingAccess access(dict);
    access.SetCurrentDrawing(other->GetLineArt());
    access.BeginOperations(GR_DrawingAccess::OddFill);
    access.addTriangles(kInk, {0, -100, 400, -100, 0, -20});
    access.EndOperations(true);
    const std::size_t hits = cache().hits();
    const VS_Image changed = frame(*other, at);
    EXPECT_EQ(cache().hits(), hits);
    frame(*other, at);
    EXPECT_TRUE(frame(*other, at).rgba == changed.rgba);
    EXPECT_EQ(cache().hits(), hits + 2);
    // The old picture was freed when the new one was made.
    EXPECT_EQ(cache().textures(), textures);
}

TEST_F(ArtCacheTest, DrawingAPictureLeavesGLAsItFoundIt) {
    const auto art = textArt("state", kWhite, kHalfBlack);
    const Placement at{0.2, 30.5, 30.5, 0};
    gl(width, height);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexCoord4f(0.25f, 0.5f, 0.75f, 1.0f);
    for (int i = 0; i < 2; ++i)
        frame(*art, at);
    const std::size_t hits = cache().hits();
    paint(*art, at);
    ASSERT_EQ(cache().hits(), hits + 1);
    const draw_test::GlState after = draw_test::readGlState();
    for (std::size_t i = 0; i < after.size(); ++i) {
        const std::string name = i < draw_test::kGlState.size() ? draw_test::kGlState[i].first : "error";
        EXPECT_TRUE(draw_test::same(name, found[i], after[i])) << name;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &texture);
}

TEST_F(ArtCacheTest, AnAbandonedCacheMakesItsPicturesAnew) {
    const auto art = textArt("again", kWhite, kHalfBlack);
    const Placement at{0.2, 40.5, 30.5, 0};
    const VS_Image triangles = frame(*art, at);
    frame(*art, at);
    // As when its context is lost: its names may now be another context's.
    cache().abandon();
    const std::size_t hits = cache().hits(), builds = cache().builds();
    EXPECT_TRUE(frame(*art, at).rgba == triangles.rgba);
    EXPECT_EQ(cache().hits(), hits);
    EXPECT_TRUE(frame(*art, at).rgba == triangles.rgba);
    EXPECT_TRUE(frame(*art, at).rgba == triangles.rgba);
    EXPECT_EQ(cache().builds(), builds + 1);
    EXPECT_EQ(cache().hits(), hits + 2);
}

TEST_F(ArtCacheTest, ArtOutlivesTheContextItWasPicturedIn) {
    const auto art = textArt("lasting", kWhite, kHalfBlack);
    const Placement at{0.2, 10.5, 10.5, 0};
    const VS_Image first = frame(*art, at);
    {
        VS_OffscreenContext other(width, height);
        VS_Canvas canvas(width, height);
        CC_CameraChainTransformCanvasBinder binder(canvas);
        binder.setTransformChain(Math::CameraTransformChain::orthographic(width, height, {0, 0}, 10));
        CGraphicOps ops(CGraphicOps::DefaultRenderer(), &binder);
        ops.SetVisualCanvas(&canvas);
        VS_SceneRenderer::beginPass(MO_OGLContext::NormalRender, VS_RGBA(0, 0, 0, 255));
        for (int i = 0; i < 3; ++i)
            art->Draw(ops);
        EXPECT_EQ(VS_ArtCache::current()->textures(), 1u);
    }
    EXPECT_EQ(VS_ArtCache::current(), nullptr);
    for (int i = 0; i < 2; ++i)
        frame(*art, at);
    EXPECT_TRUE(frame(*art, at).rgba == first.rgba);
}

}  // namespace
