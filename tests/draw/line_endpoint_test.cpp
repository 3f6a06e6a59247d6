#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "painters/position_painters.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

using namespace draw_test;

// The line painter's endpoint, which its own paint does not draw, called as a host would
// call it on the painter class.
TEST(LineEndpoint, IsADiscOfTheLinesSizeInTheLinesColour) {
    const VS_RGBA ink(200, 30, 30, 255), pick(1, 2, 3, 255);
    Rig rig;
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    auto* a = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "a"));
    auto* b = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "b"));
    MO_PropertyBag properties;
    properties.setColor("color", ink);
    properties.set("size", 0.2);
    Line2dOGLPainter line(properties, a, b);
    PaintState state;
    state.pickColor = pick;
    state.selection = 1;

    rig.begin();
    MO_OGLContext context(MO_OGLContext::NormalRender, rig.scene, rig.binder, MO_FrameKey(1));
    line.drawEndpoint({1, -1}, context, state);
    Extent e = extentOf(rig.read(), ink);
    // Radius 0.2 drawing units, 20 pixels, centred on window (300, 300).
    EXPECT_NEAR(e.width(), 40, 1);
    EXPECT_NEAR(e.minX + e.maxX + 1, 600, 1);
    EXPECT_NEAR(e.minY + e.maxY + 1, 600, 1);
    EXPECT_NEAR(e.count, 3.14159 * 400, 50);

    // The scene's units place it; picking draws it in the pick colour.
    rig.scene.metrics().setUnitScales(0.5, 2, 1);
    rig.begin(MO_OGLContext::PickingRender);
    MO_OGLContext picking(MO_OGLContext::PickingRender, rig.scene, rig.binder, MO_FrameKey(1));
    line.drawEndpoint({1, -0.5}, picking, state);
    e = extentOf(rig.read(), pick);
    EXPECT_NEAR(e.minX + e.maxX + 1, 500, 1);
    EXPECT_NEAR(e.minY + e.maxY + 1, 600, 1);
    EXPECT_NEAR(e.width(), 40, 1);
}
