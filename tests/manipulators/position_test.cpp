#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VS_Canvas.h"
#include "host/scene/MO_Port.h"
#include "manipulators/position_manipulators.h"
#include "tests/manipulators/drag_fixture.h"

using namespace rigkit_test;

namespace {

// A position whose value query fails while no drag shows a surrogate, as a host attribute
// may when its value cannot be evaluated at the frame.
class UnreadablePosition : public AT_Position2dAttr {
public:
    using AT_Position2dAttr::AT_Position2dAttr;
    bool getValue(double frame, Math::Point2d& value, bool* reserved = nullptr) const override {
        if (!surrogate()) {
            value = Math::Point2d(-7, -7);
            return false;
        }
        return AT_Position2dAttr::getValue(frame, value, reserved);
    }
};

// Drags are given in the pointer frame (the world), so that values are exact.
struct PositionDrag : DragTest {
    AT_Position2dAttr* pos = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "pos", Math::Point2d(1, 2)));

    using DragTest::manipulate;
    SLB_SelectableDragManipulator* manipulate() { return manipulate("POSITION_2D", pos); }
    // Press at `from`, one move to `to`; returns the value shown before the release.
    Math::Point2d dragShows(Math::Point2d from, Math::Point2d to) {
        EXPECT_TRUE(session.pressAt(node, {from.x, from.y, 0}));
        session.moveTo({to.x, to.y, 0});
        return value();
    }
    Math::Point2d drag(Math::Point2d from, Math::Point2d to) {
        const Math::Point2d shown = dragShows(from, to);
        session.release();
        return shown;
    }
    Math::Point2d value() const {
        Math::Point2d v;
        pos->getValue(5, v);
        return v;
    }
};

void expectPoint(const Math::Point2d& p, double x, double y) {
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
}

}  // namespace

// The drag_point2d scene pins the name of the edit and its undo.
TEST_F(PositionDrag, FollowsThePointerFromWhereItWasGrabbed) {
    manipulate();
    // Grabbed anywhere: the grab offset keeps the point from jumping to the pointer.
    expectPoint(drag({-1, 0}, {-4, 900}), -2, 902);
    EXPECT_EQ(pos->surrogate(), nullptr);
    expectPoint(value(), -2, 902);
    EXPECT_EQ(keysOf(pos->x()), (Keys{{5, -2}}));
    history.undo();

    scene.metrics().setUnitScales(2, 4, 1);
    expectPoint(drag({0, 0}, {2, 2}), 2, 2.5);
}

// What an update re-reads and keeps is held for every manipulator in update_test.cpp.
TEST_F(PositionDrag, LimitsClampEachAxisAndAChangeBetweenTwoStepsHoldsFromTheNext) {
    set("xmin", 0.0);
    set("xmax", 10.0);
    auto* m = dynamic_cast<MO_PropertyChangeListener*>(manipulate());
    ASSERT_NE(m, nullptr);
    node->addPropertyListener(m);
    expectPoint(drag({0, 0}, {20, -30}), 10, -28);
    expectPoint(drag({0, 0}, {-20, 1}), 0, -27);

    EXPECT_TRUE(session.pressAt(node, {0, 0, 0}));
    session.moveTo({3, 0, 0});
    expectPoint(value(), 3, -27);
    node->setProperty("xmin", 8.0);
    session.moveTo({3, 0, 0});
    expectPoint(value(), 8, -27);
    session.release();
}

// The drag_point2d scene pins that Control with Shift does not snap.
TEST_F(PositionDrag, ControlSnapsToTheNearestListedValues) {
    set("xValues", std::vector<double>{0, 5, 10});
    set("yValues", std::vector<double>{0, 5});
    manipulate();
    context.setButtonState(Qt::ControlModifier);
    // From (1, 2): positions x 6.5, 8, 7.5 (equally near 5 and 10: the earlier wins).
    expectPoint(dragShows({0, 0}, {5.5, 0}), 5, 0);
    session.moveTo({7, 3, 0});
    expectPoint(value(), 10, 5);
    session.moveTo({6.5, 100, 0});
    expectPoint(value(), 5, 5);
    session.release();
    expectPoint(value(), 5, 5);
}

TEST_F(PositionDrag, SnappingNeedsBothLists) {
    set("xValues", std::vector<double>{0, 5, 10});
    manipulate();
    context.setButtonState(Qt::ControlModifier);
    expectPoint(drag({0, 0}, {5.5, 0}), 6.5, 2);
    context.setManipMode(6);
    expectPoint(drag({0, 0}, {1, 0}), 7.5, 2);
}

TEST_F(PositionDrag, ModeSixStepsToTheNextValueOrTheLimitInThePointersDirection) {
    set("xValues", std::vector<double>{10, 0, 5, 5.5});
    set("yValues", std::vector<double>{0, 5});
    set("xmin", -2.0);
    set("xmax", 12.0);
    set("ymin", -1.0);
    set("ymax", 8.0);
    manipulate();
    context.setButtonState(Qt::ControlModifier);
    context.setManipMode(6);
    // The raw pointer's signs choose: y exactly 0 steps x, x exactly 0 steps y.
    expectPoint(drag({0, 0}, {0.5, 0}), 5, 2);    // x 1.5 steps up to 5 (not 10, listed first)
    expectPoint(drag({0, 0}, {0.5, 0}), 10, 2);   // 5.5, listed itself, up to 10
    expectPoint(drag({0, 0}, {0.5, 0}), 12, 2);   // 10.5: nothing above, the limit
    expectPoint(drag({0, 0}, {-0.5, 0}), 10, 2);  // 11.5 down to 10
    expectPoint(drag({0, 0}, {0, 0.5}), 10, 5);   // y 2.5 up to 5
    expectPoint(drag({0, 0}, {0, 0.5}), 10, 8);   // 5.5: the limit
    expectPoint(drag({0, 0}, {0, -0.5}), 10, 5);  // 7.5 down to 5
    // With both coordinates non-zero nothing steps: the dragged position stands.
    expectPoint(drag({0, 0}, {0.5, 0.5}), 10.5, 5.5);
    // Without Control the drag is an ordinary one, in mode 6 too.
    context.setButtonState(Qt::NoModifier);
    expectPoint(drag({0, 0}, {0.5, 0}), 11, 5.5);

    // Down the lists to each lower limit. A step that lands on a listed value (5.5 - 0.5)
    // goes past it: the next value lies strictly beyond.
    context.setButtonState(Qt::ControlModifier);
    for (const double x : {10.0, 5.5, 0.0, -2.0})
        expectPoint(drag({0, 0}, {-0.5, 0}), x, 5.5);
    for (const double y : {0.0, -1.0})  // 5 lies on the list: past it to 0
        expectPoint(drag({0, 0}, {0, -0.5}), -2, y);
}

TEST_F(PositionDrag, ParentTransformationOfAPort) {
    // The node's own frame is turned and moved; in its parent transformation's frame the
    // pointer's displacement is the value's.
    auto* spin = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "spin", 90.0));
    node->addLocalTransformation(std::unique_ptr<MO_LocalTransformation>(
        MO_LocalTransformationFactorySingleton().create("ROTATION_Z", MO_ComponentData{node->properties(), {spin}})));
    set("useParentTransformation", true);
    set("parentTransformationPortIndex", 1.0);
    manipulate();
    VS_Canvas canvas(400, 400);
    CC_CameraChainTransformCanvasBinder binder(canvas);
    binder.setTransformChain(context.camera());
    context.setOglMatrixManager(&binder);

    // No port 1: the canvas's chain with an identity model matrix.
    expectPoint(drag({0, 0}, {1, 0}), 2, 2);

    // Port 1 brings in a source turned a quarter turn: the drag works in its frame, aligned
    // as the source is drawn.
    MO_Node* source = scene.addNode(std::make_unique<MO_Module>(&scene, "source"));
    auto* turn = source->addAttribute(std::make_unique<AT_DoubleAttr>(source, "turn", 90.0));
    source->addLocalTransformation(std::unique_ptr<MO_LocalTransformation>(
        MO_LocalTransformationFactorySingleton().create("ROTATION_Z", MO_ComponentData{source->properties(), {turn}})));
    node->addInPort(nullptr);
    MO_Port* port = node->addInPort(source);
    expectPoint(drag({0, 0}, {1, 0}), 2, 1);
    Math::Matrix4x4 half;
    half.rotateDegrees(90.0, {0, 0, 1});
    source->setAlignmentMatrix(half);
    expectPoint(drag({0, 0}, {1, 0}), 1, 1);

    // A disabled connection brings in nothing.
    port->setEnabled(false);
    expectPoint(drag({0, 0}, {0, 1}), 1, 2);
}

TEST_F(PositionDrag, StartFallsBackOnTheLocalValue) {
    auto* odd = node->addAttribute(std::make_unique<UnreadablePosition>(node, "odd", Math::Point2d(3, 4)));
    key(scene, odd->x(), {{1, 50}, {9, 50}});
    manipulate("POSITION_2D", odd);
    ASSERT_TRUE(session.pressAt(node, {0, 0, 0}));
    session.moveTo({1, 1, 0});
    Math::Point2d shown;
    ASSERT_TRUE(odd->getValue(5, shown));
    expectPoint(shown, 4, 5);
    session.release();
}

TEST_F(PositionDrag, RangeModeMovesEveryKeyedFrameByTheDisplacement) {
    key(scene, pos->x(), {{1, 0}, {5, 1}, {20, 2}});
    key(scene, pos->y(), {{3, 10}});
    manipulate();
    context.setAnimationMode(CX_AnimationModeRange);
    context.setFrameRange(MO_FrameRange(1, 10));
    const double frames[] = {0, 1, 3, 5, 10, 11, 20};
    std::vector<double> before[2];
    for (double f : frames) {
        before[0].push_back(pos->x()->valueAt(f));
        before[1].push_back(pos->y()->valueAt(f));
    }
    drag({0, 0}, {0.5, -1});
    // Both components are keyed at every frame either keys inside the range, at the range's
    // edges and at its passive neighbours; inside, each moved by the drag's displacement.
    const auto keyedFrames = [](const AT_DoubleAttr* c) {
        std::vector<double> out;
        for (const auto& k : keysOf(c))
            out.push_back(k.first);
        return out;
    };
    EXPECT_EQ(keyedFrames(pos->x()), (std::vector<double>{0, 1, 3, 5, 10, 11, 20}));
    EXPECT_EQ(keyedFrames(pos->y()), (std::vector<double>{0, 1, 3, 5, 10, 11}));
    for (std::size_t i = 0; i < 7; ++i) {
        const double f = frames[i];
        const bool inside = f >= 1 && f <= 10;
        EXPECT_NEAR(pos->x()->valueAt(f), before[0][i] + (inside ? 0.5 : 0.0), 1e-9) << f;
        EXPECT_NEAR(pos->y()->valueAt(f), before[1][i] + (inside ? -1.0 : 0.0), 1e-9) << f;
    }
    EXPECT_NEAR(pos->x()->valueAt(5), 1.5, 1e-12);
    EXPECT_NEAR(pos->y()->valueAt(5), 9, 1e-12);
    EXPECT_EQ(pos->x()->valueAt(20), 2.0);
}

// The 2D manipulator checks its selection and macro itself, not through the shared cycle.
TEST_F(PositionDrag, WithoutSelectionOrMacroNothingIsRecorded) {
    SLB_SelectableDragManipulator* m = manipulate();
    m->dragStarted(context, nullptr, 0, 0, 0);
    m->drag(context, nullptr, 1, 0, 0);
    EXPECT_EQ(pos->surrogate(), nullptr);
    m->dragStarted(context, node->selInterface(), 0, 0, 0);
    m->drag(context, node->selInterface(), 1, 0, 0);
    m->dragFinished(context, node->selInterface());
    EXPECT_NE(pos->surrogate(), nullptr);  // no macro: the preview stays
    expectPoint(value(), 2, 2);
    EXPECT_EQ(pos->x()->localValue(), 1.0);
}

// ---- 3D ------------------------------------------------------------------------------------

namespace {

// A 3D position whose value query fails, writing nothing, while no drag shows a surrogate.
class Unreadable3d : public AT_Position3dAttr {
public:
    using AT_Position3dAttr::AT_Position3dAttr;
    bool getValue(double frame, Math::Point3d& value, bool* a = nullptr, bool* b = nullptr) const override {
        return surrogate() && AT_Position3dAttr::getValue(frame, value, a, b);
    }
};

struct Position3dDrag : PositionDrag {
    AT_Position3dAttr* p3 = node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "p3", Math::Point3d(1, 2, 3)));
    Math::Point3d value3() const {
        Math::Point3d v;
        p3->getValue(5, v);
        return v;
    }
};

void expectPoint(const Math::Point3d& p, double x, double y, double z) {
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
    EXPECT_NEAR(p.z, z, 1e-9);
}

}  // namespace

// A drag in the plane, its name and a still drag are pinned by the drag_position3d scene.

// Where the value cannot be read, the drag starts from the origin.
TEST_F(Position3dDrag, AnUnreadableStartIsTheOrigin) {
    auto* odd = node->addAttribute(std::make_unique<Unreadable3d>(node, "odd", Math::Point3d(3, 4, 5)));
    manipulate("POSITION_3D", odd);
    ASSERT_TRUE(session.pressAt(node, {0, 0, 0}));
    session.moveTo({1, 2, 0});
    Math::Point3d shown;
    ASSERT_TRUE(odd->getValue(5, shown));
    expectPoint(shown, 1, 2, 0);
    session.release();
}

// Off the drag's plane, a still component is keyed alongside by its own displacement, none
// (the x and y of a range drag are the drag_position3d scene's).
TEST_F(Position3dDrag, RangeModeKeysAStillZByItsOwnDisplacement) {
    key(scene, p3->x(), {{1, 0}, {5, 1}, {20, 2}});
    manipulate("POSITION_3D", p3);
    context.setAnimationMode(CX_AnimationModeRange);
    context.setFrameRange(MO_FrameRange::infinite());
    drag({0, 0}, {0.5, -1});
    EXPECT_EQ(keysOf(p3->z()), (Keys{{1, 3}, {5, 3}, {20, 3}}));
}

// A host may hand the drag a matrix applied after the pointer is projected on the plane:
// its linear part shapes the displacement, and its translation, which moves the plane's
// origin, must not make a point jump when it is grabbed.
TEST_F(Position3dDrag, APostMatrixShapesTheDisplacementAndItsTranslationMovesNothing) {
    Math::Matrix4x4 post;
    post.translate(5, -3, 0).scale(2, 2, 1);
    context.setPostMatrix(post);
    manipulate();
    expectPoint(drag({0, 0}, {1, 0.5}), 3, 3);
    manipulate("POSITION_3D", p3);
    drag({0, 0}, {1, 0.5});
    expectPoint(value3(), 3, 3, 3);
}
