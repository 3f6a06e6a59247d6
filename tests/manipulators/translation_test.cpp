#include "manipulators/translation_manipulators.h"
#include "tests/manipulators/drag_fixture.h"

using namespace rigkit_test;

namespace {

struct TranslationDrag : DragTest {
    AT_DoubleAttr* attr = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "t", 0.5));

    SLB_SelectableDragManipulator* manipulate(const char* type) { return DragTest::manipulate(type, attr); }
    // Press, `steps` moves along the segment, release.
    bool drag(Math::Point2d from, Math::Point2d to, int steps = 4) {
        if (!session.press(node, from))
            return false;
        for (int i = 1; i <= steps; ++i)
            session.move(from + (to - from) * (double(i) / steps));
        return session.release();
    }
};

}  // namespace

// A plain drag, its key, its name and its undo and redo are pinned by the drag_arrow scene;
// a still drag over a range by the edit commands' tests and the drag_position3d scene.

TEST_F(TranslationDrag, EachAxisIgnoresTheOtherAxis) {
    manipulate("TRANSLATION_X");
    session.press(node, {200, 200});
    session.move({200, 50});
    EXPECT_NEAR(attr->valueAt(5), 0.5, 1e-12);  // the surrogate shows the start value
    session.move({260, 50});
    EXPECT_NEAR(attr->valueAt(5), 1.1, 1e-12);
    session.cancel();
    EXPECT_EQ(attr->valueAt(5), 0.5);
    EXPECT_TRUE(history.names().empty());

    manipulate("TRANSLATION_Y");
    session.press(node, {200, 200});
    session.move({390, 150});
    EXPECT_NEAR(attr->valueAt(5), 1.0, 1e-12);
    session.release();
    EXPECT_NEAR(attr->valueAt(5), 1.0, 1e-12);
}

TEST_F(TranslationDrag, UnitScaleDividesTheDisplacement) {
    scene.metrics().setUnitScales(2, 1, 1);
    manipulate("TRANSLATION_X");
    drag({200, 200}, {400, 200});  // two drawing units
    EXPECT_NEAR(attr->valueAt(5), 1.5, 1e-9);
}

TEST_F(TranslationDrag, ZDragsInAStandingPlaneThatDoesNotTurnFurther) {
    // Looking along -X at the origin: the window's right is the world's -Z.
    context.setCamera(Math::CameraTransformChain::perspective(400, 400, {10, 0, 0}, {0, 0, 0}, {0, 1, 0}, 40));
    manipulate("TRANSLATION_Z");
    const Math::CameraTransformChain& cam = context.camera();
    Math::Point3d a, b;
    ASSERT_TRUE(cam.transform(Math::SourcePointerFrame, Math::DestinationScreenFrame, Math::Point3d(0, 0, 0), a));
    ASSERT_TRUE(cam.transform(Math::SourcePointerFrame, Math::DestinationScreenFrame, Math::Point3d(0, 0, -1), b));
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(drag({a.x, a.y}, {b.x, b.y}));
        EXPECT_NEAR(attr->valueAt(5), 0.5 - (round + 1), 1e-9) << round;
    }

    // Seen edge-on from above, the plane maps nothing: the drag is ignored.
    context.setCamera(Math::CameraTransformChain::orthographic(400, 400, {0, 0}, 100));
    session.press(node, {200, 200});
    session.move({300, 300});
    EXPECT_NEAR(attr->valueAt(5), -1.5, 1e-9);
    session.cancel();
}
