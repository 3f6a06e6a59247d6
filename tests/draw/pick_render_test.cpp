#include "host/draw/VS_PickCode.h"
#include "host/draw/VU_Painter.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <set>
#include <stdexcept>

#include <unistd.h>

using namespace draw_test;

TEST(PickCode, EveryCodeRoundTripsAndNoOtherColourDecodes) {
    // Of all 2^24 colours, only the opaque picking colours decode, each to its own code
    // whatever its alpha: as many as there are codes, so every code comes back.
    std::uint32_t decoded = 0;
    for (std::uint32_t rgb = 0; rgb < (1u << 24); ++rgb) {
        const VS_RGBA c(std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb));
        const std::uint32_t code = VS_PickCode(c);
        if (code == 0)
            continue;
        ++decoded;
        ASSERT_LE(code, kMaxPickCode);
        ASSERT_EQ(VS_PickColor(code), c);
        ASSERT_EQ(VS_PickCode(VS_RGBA(c.r, c.g, c.b, 0)), code);
    }
    EXPECT_EQ(decoded, kMaxPickCode);
    EXPECT_EQ(VS_PickColor(0), VS_RGBA(0, 0, 0, 255));
    // Colours a painter is likely to draw in on its own, and the background.
    for (const VS_RGBA& own : {VS_RGBA(255, 255, 255), VS_RGBA(128, 0, 0), VS_RGBA(255, 0, 0), VS_RGBA(0, 255, 0),
                               VS_RGBA(0, 0, 255), VS_RGBA(128, 128, 128), VS_RGBA(255, 200, 0), VS_RGBA(0, 0, 0)})
        EXPECT_EQ(VS_PickCode(own), 0u);
    // The first codes stand far apart from the black background and from each other: the
    // check only touches the low bits.
    for (std::uint32_t code : {1u, 2u, 4u}) {
        const VS_RGBA c = VS_PickColor(code);
        EXPECT_EQ(c.r & 0xF8, code == 1 ? 128 : 0);
        EXPECT_EQ(c.g & 0xF8, code == 2 ? 128 : 0);
        EXPECT_EQ(c.b & 0xF8, code == 4 ? 128 : 0);
    }
}

namespace {

// A scene drawn through the renderer: nodes moved by the plug-in's translations, with
// arrows and pickers from its factories. Drawing at the world matrix in the selection colour
// is pinned by the render_arrows and drag_point2d_parent scenes, and that picking colours
// survive the picking pass exactly by every painter's picking test.
struct RenderedScene : ::testing::Test {
    void SetUp() override { rigkit_test::loadPlugin(); }

    MO_Module* addArrowNode(const char* name, double tx, bool pickable) {
        auto* node = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, name)));
        AT_DoubleAttr* attr = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "tx", tx));
        const MO_ComponentData data{node->properties(), {attr}};
        node->addLocalTransformation(std::unique_ptr<MO_LocalTransformation>(
            MO_LocalTransformationFactorySingleton().create("TRANSLATION_X", data)));
        node->addPainter(std::unique_ptr<MO_OGLPainter>(MO_OGLPainterFactorySingleton().create("ARROW_Y", data)));
        if (pickable) {
            const SLB_PickAdaptorData pickData{node->properties(), {attr}, node, 0};
            node->setPickAdaptor(
                std::unique_ptr<SLB_ModulePickAdaptor>(SLB_PickAdaptorFactorySingleton().create("MONO", pickData)));
        }
        return node;
    }

    VS_View view() const { return orthoView(VS_RGBA(10, 20, 30, 255)); }

    SC_SceneCommon scene;
};

}  // namespace

TEST_F(RenderedScene, PickingFindsTheNodeAndHandleUnderAPixelInTheWholePassOrItsBox) {
    MO_Node* a = addArrowNode("a", -1.0, true);
    MO_Node* b = addArrowNode("b", 1.0, true);
    addArrowNode("unpickable", 0.0, false);
    VS_OffscreenContext& context = gl(Rig::kSize, Rig::kSize);

    const VS_PickImage pick = VS_SceneRenderer::renderPick(context, scene, view());
    ASSERT_EQ(pick.handles.size(), 2u);
    const VS_PickHit hitA = pick.hitAt(100, 160), hitB = pick.hitAt(300, 110);
    EXPECT_EQ(hitA.node, a);
    EXPECT_EQ(hitA.handleId, a->pickAdaptor()->handleId(0));
    EXPECT_EQ(hitB.node, b);
    EXPECT_EQ(hitB.handleId, b->pickAdaptor()->handleId(0));
    // Neither the node without picker nor the background answers. That the scissored pass
    // under the pointer, inside the view or off it, names what the whole pass shows there is
    // the culling identity's, over every scene.
    EXPECT_FALSE(pick.hitAt(200, 160));
    EXPECT_EQ(pick.image.pixel(200, 160), VS_RGBA(0, 0, 0, 0));
    // Corners of the view, where the box is cut by its edges.
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{Rig::kSize - 1, Rig::kSize - 1}})
        EXPECT_FALSE(VS_SceneRenderer::pickAt(scene, view(), x, y, 3));

    // A fresh ordinary frame, then one scissored pick: outside the 5 × 5 box the frame is
    // untouched, so the picking colours never show in the view.
    VS_SceneRenderer::render(context, scene, view());
    EXPECT_TRUE(VS_SceneRenderer::pickAt(scene, view(), 100, 160, 2));
    const VS_Image after = context.readPixels();
    EXPECT_TRUE(sameRgb(after.pixel(100, 158), pick.image.pixel(100, 158)));
    EXPECT_TRUE(sameRgb(after.pixel(100, 163), VU_Painter::greenColor));
    EXPECT_TRUE(sameRgb(after.pixel(100, 130), VU_Painter::greenColor));
}

// Smooth pictures: the edges of a slanted arrow blend into the background, the inside
// keeps its colour, and the picking pass stays exact whatever the ordinary pass draws with.
TEST_F(RenderedScene, MultisampledPicturesSmoothEdgesButNeverThePickingPass) {
    MO_Node* a = addArrowNode("a", 0.0, true);
    a->addLocalTransformation(std::unique_ptr<MO_LocalTransformation>(MO_LocalTransformationFactorySingleton().create(
        "ROTATION_Z",
        MO_ComponentData{a->properties(), {a->addAttribute(std::make_unique<AT_DoubleAttr>(a, "rz", 30.0))}})));
    VS_OffscreenContext& context = gl(Rig::kSize, Rig::kSize);
    const auto colours = [](const VS_Image& image) {
        std::set<std::uint32_t> seen;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const VS_RGBA p = image.pixel(x, y);
                seen.insert(p.r << 16 | p.g << 8 | p.b);
            }
        return seen.size();
    };
    const VS_Image sharp = VS_SceneRenderer::render(context, scene, view());
    const VS_PickImage sharpPick = VS_SceneRenderer::renderPick(context, scene, view());
    context.setSamples(4);
    EXPECT_EQ(context.samples(), 4);
    const VS_Image smooth = VS_SceneRenderer::render(context, scene, view());
    const VS_PickImage smoothPick = VS_SceneRenderer::renderPick(context, scene, view());
    EXPECT_EQ(colours(sharp), 2u);
    EXPECT_GT(colours(smooth), 4u);
    EXPECT_LT(differingPixels(sharp, smooth), sharp.width * sharp.height / 50);
    EXPECT_EQ(differingPixels(sharpPick.image, smoothPick.image), 0);
    EXPECT_EQ(smoothPick.hitAt(200, 120).node, sharpPick.hitAt(200, 120).node);

    // More than the machine offers is refused and changes nothing; 0 is exact again.
    EXPECT_THROW(context.setSamples(1000), std::runtime_error);
    EXPECT_EQ(context.samples(), 4);
    context.setSamples(0);
    EXPECT_EQ(differingPixels(VS_SceneRenderer::render(context, scene, view()), sharp), 0);
}

namespace {

VS_Image readPng(const std::string& path) {
    VS_Image image;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return image;
    png.format = PNG_FORMAT_RGBA;
    image.width = int(png.width);
    image.height = int(png.height);
    image.rgba.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr))
        return VS_Image();
    return image;
}

}  // namespace

// Where files go and what a failed write leaves are the runner's image tests: here, the
// pixels with their alpha, and an image that cannot be written keeping the old file.
TEST(Png, WritesThePixelsOrLeavesTheOldFile) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("rigkit-png-" + std::to_string(::getpid()) + ".png")).string();
    VS_Image image;
    image.width = 3;
    image.height = 2;
    for (int i = 0; i < 6; ++i)
        image.rgba.insert(image.rgba.end(), {std::uint8_t(i * 40), std::uint8_t(255 - i), 7, std::uint8_t(100 + i)});

    std::string error;
    ASSERT_TRUE(VS_WritePng(image, path, &error)) << error;
    const VS_Image back = readPng(path);
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.rgba, image.rgba);

    VS_Image broken = image;
    broken.rgba.pop_back();
    EXPECT_FALSE(VS_WritePng(broken, path, &error));
    EXPECT_EQ(readPng(path).rgba, image.rgba);
    std::filesystem::remove(path);
}
