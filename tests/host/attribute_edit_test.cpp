#include "host/base/MSG_Scope.h"
#include "host/commands/attribute_edit_commands.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"

#include <gtest/gtest.h>

namespace {

using Keys = std::vector<std::pair<double, double>>;

struct HostEdits : ::testing::Test {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));

    void key(AT_DoubleAttr* a, const Keys& keys) {
        auto tv = std::make_unique<LXBezierTimedValue>();
        for (const auto& [f, v] : keys)
            tv->setValue(f, v, false, true);
        a->socket()->link(tv.get());
        scene.addTimedValue(std::move(tv));
    }
    static Keys keys(const AT_DoubleAttr* a) { return a->timedValue() ? a->timedValue()->keys() : Keys{}; }
};

}  // namespace

TEST_F(HostEdits, CurrentFrameKeysAStillAttributeAndUndoUnlinks) {
    auto* a = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "a", 1.0));
    std::unique_ptr<CO_Command> cmd(Attr::Double::createSetValueCurrentFrameCmd(&scene, a, 5, 3.0, false));
    ASSERT_TRUE(cmd->execute());
    EXPECT_EQ(keys(a), (Keys{{5, 3}}));
    LXTimedValue* made = a->timedValue();
    cmd->unexecute();
    EXPECT_EQ(a->timedValue(), nullptr);
    EXPECT_FALSE(scene.holdsTimedValue(made));
    EXPECT_EQ(a->valueAt(5), 1.0);
    cmd->execute();
    EXPECT_EQ(a->timedValue(), made);  // redo brings the same curve back

    // The value it shows already: nothing to write.
    std::unique_ptr<CO_Command> same(Attr::Double::createSetValueCurrentFrameCmd(&scene, a, 5, 3.0, false));
    EXPECT_TRUE(static_cast<Attr::AttrWritesCmd*>(same.get())->isEmpty());
}

TEST_F(HostEdits, RangeOffsetMovesKeysInsideAndKeepsPassiveFrames) {
    auto* a = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "a"));
    key(a, {{1, 0}, {5, 10}, {9, 20}, {15, 0}});
    const Keys before = keys(a);
    const double at3 = a->valueAt(3), at11 = a->valueAt(11);
    std::unique_ptr<CO_Command> cmd(Attr::Double::createOffsetValueAllFramesCmd(a, 2.0, MO_FrameRange(4, 10)));
    ASSERT_TRUE(cmd->execute());
    EXPECT_EQ(a->valueAt(5), 12.0);
    EXPECT_EQ(a->valueAt(9), 22.0);
    EXPECT_EQ(a->valueAt(3), at3);
    EXPECT_EQ(a->valueAt(11), at11);
    EXPECT_EQ(a->valueAt(1), 0.0);
    cmd->unexecute();
    EXPECT_EQ(keys(a), before);  // bit for bit

    std::unique_ptr<CO_Command> all(Attr::Double::createOffsetValueAllFramesCmd(a, -1.0, MO_FrameRange::infinite()));
    all->execute();
    EXPECT_EQ(keys(a), (Keys{{1, -1}, {5, 9}, {9, 19}, {15, -1}}));
}

TEST_F(HostEdits, PositionsTranslateLocallyOverAllFramesWhenStill) {
    auto* p = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "p", Math::Point2d(1, 2)));
    std::unique_ptr<CO_Command> cmd(Attr::Position2d::createTranslateAllFramesCmd(p, 0.5, -1, MO_FrameRange()));
    cmd->execute();
    EXPECT_EQ(p->localValues(), (std::vector<double>{1.5, 1}));
    EXPECT_EQ(p->x()->timedValue(), nullptr);
    cmd->unexecute();
    EXPECT_EQ(p->localValues(), (std::vector<double>{1, 2}));

    auto* p3 = node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "p3"));
    std::unique_ptr<CO_Command> set(Attr::Position3d::createSetValueCurrentFrameCmd(&scene, p3, 2, 0, 4, 5, false));
    set->execute();
    EXPECT_EQ(p3->x()->timedValue(), nullptr);  // x already shows 0
    EXPECT_EQ(keys(p3->z()), (Keys{{2, 5}}));
}

TEST_F(HostEdits, RotationTurnsEveryKeyedFrameByTheSameDelta) {
    auto* r = node->addAttribute(std::make_unique<AT_Rotation3dAttr>(node, "r"));
    key(r->angleZ(), {{1, 10}, {20, 40}});
    Math::Quat delta;
    delta.setEuler(Math::Angle3d(0, 0, 90), true);
    lx_attr::rotation3d::RotateAllFramesCmd cmd(&scene, r, delta, MO_FrameRange::infinite());
    cmd.execute();
    EXPECT_NEAR(r->angleZ()->valueAt(1), 100, 1e-9);
    EXPECT_NEAR(r->angleZ()->valueAt(20), 130, 1e-9);
    EXPECT_NEAR(r->angleX()->valueAt(20), 0, 1e-9);
    cmd.unexecute();
    EXPECT_EQ(keys(r->angleZ()), (Keys{{1, 10}, {20, 40}}));
    EXPECT_EQ(r->angleX()->timedValue(), nullptr);

    lx_attr::rotation3d::SetValueCurrentFrameCmd set(&scene, r, 3, Math::Angle3d(5, 0, 10), false, false, false, false);
    set.execute();
    Math::Angle3d a;
    r->getValue(3, a);
    EXPECT_EQ(a, Math::Angle3d(5, 0, 10));
}

TEST_F(HostEdits, ExpressionsRefuseAndNothingChanges) {
    MSG_Log::instance().clear();
    auto* a = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "a"));
    auto* b = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "b"));
    auto expr = std::make_unique<LXExprTimedValue>(Keys{{1, 3}});
    b->socket()->link(expr.get());
    scene.addTimedValue(std::move(expr));
    Attr::AttrWritesCmd cmd;
    cmd.addKey(a, 2, 7);  // would make a curve for a
    cmd.addKey(b, 2, 7);
    EXPECT_FALSE(cmd.execute());
    EXPECT_EQ(a->timedValue(), nullptr);
    EXPECT_EQ(b->valueAt(2), 3.0);
    EXPECT_EQ(MSG_Log::instance().entries().size(), 1u);
}
