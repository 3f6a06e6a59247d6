// The showcase is the gallery of everything the plug-in offers: a component registered
// without a place in it fails here (its layout is held by its own script's clicks, drags
// and expectations, which runner.showcase plays). And the contact sheet that closes it
// scales and tiles what was rendered.

#include "apps/core/contact_sheet.h"
#include "apps/core/json_util.h"
#include "tests/support/components.h"
#include "tests/support/paths.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

runner::Json showcase() {
    return runner::readDocumentFile(std::string(rigkit_test::kSourceDir) + "/examples/showcase.json");
}

// Every "type" named anywhere in the scene, as family:type.
void collectTypes(const runner::Json& nodes, std::set<std::string>& types) {
    const auto add = [&](const char* family, const runner::Json& component) {
        if (component.is_object() && component.contains("type"))
            types.insert(std::string(family) + ":" + component["type"].get<std::string>());
    };
    for (const runner::Json& node : nodes) {
        for (const runner::Json& t : node.value("transformations", runner::Json::array()))
            add("Transformation", t);
        for (const runner::Json& p : node.value("painters", runner::Json::array()))
            add("Painter", p);
        add("Manipulator", node.value("manipulator", runner::Json()));
        add("Picker", node.value("picker", runner::Json()));
    }
}

VS_Image image(int width, int height, std::vector<std::uint8_t> rgba) {
    VS_Image i;
    i.width = width;
    i.height = height;
    i.rgba = std::move(rgba);
    return i;
}

}  // namespace

TEST(Showcase, UsesEveryRegisteredTypeString) {
    std::set<std::string> used;
    collectTypes(showcase().at("nodes"), used);
    ASSERT_FALSE(rigkit_test::allComponents().empty());
    for (const rigkit_test::Component& c : rigkit_test::allComponents())
        EXPECT_TRUE(used.count(rigkit_test::describe(c, ':'))) << c.type << " is registered but the showcase never uses it";
}

TEST(ContactSheet, ScalesEachImageByAveragingIntoItsCell) {
    // A 4 x 2 image, left half white, right half black, and a 2 x 2 red one.
    VS_Image halves = image(4, 2, {}), red = image(2, 2, {});
    for (int i = 0; i < 8; ++i)
        for (int c = 0; c < 4; ++c)
            halves.rgba.push_back(c == 3 || i % 4 < 2 ? 255 : 0);
    for (int i = 0; i < 16; ++i)
        red.rgba.push_back(i % 4 == 0 || i % 4 == 3 ? 255 : 0);

    // Two columns of 2-pixel-wide cells with a 1-pixel gutter: the halves become one row
    // of a white and a black pixel, the red square a 2 x 2 block.
    const VS_Image sheet = runner::contactSheet({halves, red, VS_Image()}, 2, 2, 1, VS_RGBA(9, 9, 9, 255));
    ASSERT_EQ(sheet.width, 2 * 2 + 3);
    ASSERT_EQ(sheet.height, 2 + 2);
    EXPECT_EQ(sheet.pixel(0, 0), VS_RGBA(9, 9, 9, 255));
    EXPECT_EQ(sheet.pixel(1, 1), VS_RGBA(255, 255, 255, 255));
    EXPECT_EQ(sheet.pixel(2, 1), VS_RGBA(0, 0, 0, 255));
    EXPECT_EQ(sheet.pixel(1, 2), VS_RGBA(9, 9, 9, 255));
    EXPECT_EQ(sheet.pixel(4, 1), VS_RGBA(255, 0, 0, 255));
    EXPECT_EQ(sheet.pixel(5, 2), VS_RGBA(255, 0, 0, 255));

    // A 3-to-1 reduction averages: one white column of three gives a third.
    const VS_Image stripe = image(3, 1, {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255});
    EXPECT_EQ(runner::contactSheet({stripe}, 1, 1, 0, VS_RGBA()).pixel(0, 0), VS_RGBA(85, 85, 85, 255));
    EXPECT_EQ(runner::contactSheet({}, 4, 100, 8, VS_RGBA()).width, 0);

    // Transparent pixels show the sheet's background; half-covered ones blend into it.
    const VS_Image clear = image(2, 1, {255, 0, 0, 0, 255, 0, 0, 128});
    const VS_Image blended = runner::contactSheet({clear}, 1, 2, 0, VS_RGBA(0, 0, 255, 255));
    EXPECT_EQ(blended.pixel(0, 0), VS_RGBA(0, 0, 255, 255));
    EXPECT_EQ(blended.pixel(1, 0), VS_RGBA(128, 0, 127, 255));
}
