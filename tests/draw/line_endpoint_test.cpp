#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "painters/position_painters.h"
#include "tests/draw/draw_support.h"

#include <gtest/gtest.h>

using namespace draw_test;
using LineEndpoint = PainterTest;

// The line painter's endpoint, which its own paint does not draw, called as a host would
// call it on the painter class.
TEST_F(LineEndpoint, IsADiscOfTheLinesSizeInTheLinesColour) {
    const VS_RGBA ink(200, 30, 30, 255);
    MO_Node* node = rig.scene.addNode(std::make_unique<MO_Module>(&rig.scene, "n"));
    auto* a = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "a"));
    auto* b = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "b"));
    set({{"color", rgba(ink)}, {"size", 0.2}});
    Line2dOGLPainter line(properties, a, b);
    const auto drawn = [&](Math::Point2d at, MO_OGLContext::RenderMode mode, const VS_RGBA& colour) {
        rig.begin(mode);
        MO_OGLContext context(mode, rig.scene, rig.binder, MO_FrameKey(1));
        line.drawEndpoint(at, context, state(1));
        return extentOf(rig.read(), colour);
    };

    Extent e = drawn({1, -1}, MO_OGLContext::NormalRender, ink);
    // Radius 0.2 drawing units, 20 pixels, centred on window (300, 300).
    EXPECT_NEAR(e.width(), 40, 1);
    expectCentredAt(e, 300, 300);
    EXPECT_NEAR(e.count, 3.14159 * 400, 50);

    // The scene's units place it; picking draws it in the pick colour.
    rig.scene.metrics().setUnitScales(0.5, 2, 1);
    e = drawn({1, -0.5}, MO_OGLContext::PickingRender, kPick);
    expectCentredAt(e, 250, 300);
    EXPECT_NEAR(e.width(), 40, 1);
}
