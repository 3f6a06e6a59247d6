#include "host/base/MSG_Scope.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"
#include "manipulators/attribute_commands.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using Keys = std::vector<std::pair<double, double>>;

struct Commands : ::testing::Test {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    AT_DoubleAttr* attr = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "tx", 2.0));

    void SetUp() override { MSG_Log::instance().clear(); }

    template <class TV>
    TV* animate(const Keys& keys) {
        auto tv = std::make_unique<TV>();
        for (const auto& [f, v] : keys)
            tv->setValue(f, v, false, true);
        TV* raw = tv.get();
        scene.addTimedValue(std::move(tv));
        attr->socket()->link(raw);
        return raw;
    }
    Keys keys() const { return attr->timedValue() ? attr->timedValue()->keys() : Keys{}; }

    std::unique_ptr<CO_Command> atFrame(double frame, double value, bool keepFirstFrame = false) {
        return std::make_unique<rigkit::SetValueCurrentFrameCmd>(&scene, attr, frame, value, false, false, false,
                                                                 keepFirstFrame);
    }
    std::unique_ptr<CO_Command> offset(double by, const MO_FrameRange& range) {
        return std::make_unique<rigkit::OffsetValueAllFramesCmd>(attr, by, range);
    }
    std::vector<QString> messages() const {
        std::vector<QString> out;
        for (const MSG_Entry& e : MSG_Log::instance().entries())
            out.push_back(e.text());
        return out;
    }
};

}  // namespace

// Exact undo and redo over every curve kind is left to the random edit scripts of the
// reliability tests; these pin the values the commands write.
TEST_F(Commands, CurrentFrameKeysEveryCurveKind) {
    const auto run = [&](auto* tv) {
        const std::size_t before = keys().size();
        auto cmd = atFrame(5, 9.0);
        ASSERT_TRUE(cmd->execute());
        EXPECT_EQ(attr->valueAt(5), 9.0);
        EXPECT_TRUE(tv->hasControlPointAt(5));
        EXPECT_EQ(keys().size(), before + 1);
        // A key that was there is changed in place.
        ASSERT_TRUE(atFrame(10, -1.0)->execute());
        EXPECT_EQ(attr->valueAt(10), -1.0);
    };
    run(animate<LXBezierTimedValue>({{1, 0}, {10, 10}}));
    run(animate<LXEaseTimedValue>({{1, 0}, {10, 10}}));
    run(animate<LXVeloBasedTimedValue>({{1, 0}, {10, 10}}));
}

// Views of a curve are told when an edit adds keys or its undo removes them, and not when
// an edit only changes keys that are there.
TEST_F(Commands, CurveViewsAreToldBeforeKeysComeOrGo) {
    auto* tv = animate<LXBezierTimedValue>({{1, 0}, {20, 10}});
    SLB_SelectedInterface view(node);
    tv->setSelInterface(&view);
    auto cmd = offset(1.0, MO_FrameRange(5, 8));
    ASSERT_TRUE(cmd->execute());
    const int added = view.controlPointChanges();
    EXPECT_GT(added, 0);
    ASSERT_TRUE(cmd->unexecute());
    EXPECT_GT(view.controlPointChanges(), added);
    ASSERT_TRUE(cmd->execute());
    const int before = view.controlPointChanges();
    auto again = offset(1.0, MO_FrameRange(5, 8));
    ASSERT_TRUE(again->execute());
    ASSERT_TRUE(again->unexecute());
    EXPECT_EQ(view.controlPointChanges(), before);
}

// The host redraws and recomputes what it is told of: every edit and every undo tells the
// scene's change manager. An edit dirties the node when the attribute asks for it; an undo
// does only where it takes away a key the edit made, and writing an old value back into a
// key that was there does not.
TEST_F(Commands, EditsAndUndosTellTheSceneAndDirtyTheNodeWhenAsked) {
    int told = 0;
    scene.changeManager().addListener([&](MO_Node* n) {
        EXPECT_EQ(n, node);
        ++told;
    });
    const auto check = [&](CO_Command& cmd, bool asks, bool undoDirties, const char* what) {
        for (const bool undo : {false, true}) {
            told = 0;
            node->clearDirty();
            ASSERT_TRUE(undo ? cmd.unexecute() : cmd.execute()) << what;
            EXPECT_GT(told, 0) << what << (undo ? ", undone" : "");
            EXPECT_EQ(node->isDirty(), asks && (!undo || undoDirties)) << what << (undo ? ", undone" : "");
        }
    };
    for (const bool asks : {true, false}) {
        attr->meta().setNodeDirtyOnChange(asks);
        check(*offset(1.0, MO_FrameRange()), asks, true, "local value");
        check(*atFrame(4, 7.0), asks, true, "first key");
        animate<LXBezierTimedValue>({{1, 0}, {10, 10}});
        check(*atFrame(10, 3.0), asks, false, "key in place");
        check(*atFrame(5, 3.0), asks, false, "spliced key");
        attr->socket()->link(nullptr);
    }
}

TEST_F(Commands, CurrentFrameOnAStillAttributeMakesAndLinksACurve) {
    auto cmd = atFrame(4, 7.0);
    ASSERT_TRUE(cmd->execute());
    LXTimedValue* tv = attr->timedValue();
    ASSERT_NE(tv, nullptr);
    EXPECT_TRUE(scene.holdsTimedValue(tv));
    EXPECT_EQ(keys(), (Keys{{4, 7}}));
    EXPECT_EQ(attr->localValue(), 2.0);
}

TEST_F(Commands, UnchangedValueAddsNoCurveAndNoSplice) {
    auto same = atFrame(4, 2.0);
    ASSERT_TRUE(same->execute());
    EXPECT_EQ(attr->timedValue(), nullptr);
    EXPECT_EQ(static_cast<CO_OrCommand*>(same.get())->size(), 1u);  // only the value command

    animate<LXBezierTimedValue>({{1, 0}, {11, 10}});
    auto onCurve = atFrame(6, 5.0);
    EXPECT_EQ(static_cast<CO_OrCommand*>(onCurve.get())->size(), 1u);
    onCurve->execute();
    EXPECT_EQ(keys(), (Keys{{1, 0}, {11, 10}}));
}

TEST_F(Commands, KeepFirstFrameKeysTheFormerLocalValueAtFrameOne) {
    auto cmd = atFrame(8, 5.0, true);
    cmd->execute();
    EXPECT_EQ(keys(), (Keys{{1, 2}, {8, 5}}));
    cmd->unexecute();
    // Frames before the first keep it too.
    auto before = atFrame(-1, 5.0, true);
    before->execute();
    EXPECT_EQ(keys(), (Keys{{-1, 5}, {1, 2}}));
    before->unexecute();
    auto atOne = atFrame(1, 5.0, true);
    atOne->execute();
    EXPECT_EQ(keys(), (Keys{{1, 5}}));

    // An attribute with a curve already needs no new one: nothing to link, and the curve it
    // has is named.
    LXTimedValue* tv = nullptr;
    EXPECT_EQ(rigkit::createTimedValueLinkCmd(attr, tv), nullptr);
    EXPECT_EQ(tv, attr->timedValue());
}

TEST_F(Commands, StillAttributesTakeTheEditInTheirLocalValue) {
    // Without a socket there is nothing to key.
    auto* fixed = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "fixed", 1.0, false));
    rigkit::SetValueCurrentFrameCmd cmd(&scene, fixed, 3, 4.0, false, false, false, false);
    cmd.execute();
    EXPECT_EQ(fixed->localValue(), 4.0);
    cmd.unexecute();
    rigkit::OffsetValueAllFramesCmd off(fixed, 0.5, MO_FrameRange(1, 10));
    off.execute();
    EXPECT_EQ(fixed->localValue(), 1.5);

    // Over all frames, an offset needs no key either.
    offset(1.5, MO_FrameRange::infinite())->execute();
    EXPECT_EQ(attr->localValue(), 3.5);
    EXPECT_EQ(attr->timedValue(), nullptr);
}

TEST_F(Commands, ExpressionsRefuseWithAMessage) {
    auto expr = std::make_unique<LXExprTimedValue>(Keys{{1, 0}, {10, 9}});
    attr->socket()->link(expr.get());
    scene.addTimedValue(std::move(expr));
    CO_UndoHistory history;
    EXPECT_FALSE(history.perform("Set translation value", atFrame(5, 3.0)));
    EXPECT_EQ(attr->valueAt(5), 4.0);
    EXPECT_TRUE(history.names().empty());
    EXPECT_EQ(messages(), std::vector<QString>{"AT_AttrCmdsImpl: Cannot set value in expression."});
    EXPECT_EQ(MSG_Log::instance().entries().front().action, 5);

    MSG_Log::instance().clear();
    auto all = offset(1.0, MO_FrameRange::infinite());
    EXPECT_EQ(messages().size(), 1u);  // reported once, while building
    EXPECT_TRUE(static_cast<CO_OrCommand*>(all.get())->isEmpty());
}

TEST_F(Commands, OffsetOverAFiniteRangeKeysPassiveAndEdgeFrames) {
    auto cmd = offset(1.0, MO_FrameRange(5, 8));
    cmd->execute();
    EXPECT_EQ(keys(), (Keys{{4, 2}, {5, 3}, {8, 3}, {9, 2}}));
    EXPECT_EQ(attr->localValue(), 2.0);
    cmd->unexecute();

    // A drag that ends where it began still keys the range, with unchanged values.
    auto still = offset(0.0, MO_FrameRange(5, 8));
    still->execute();
    EXPECT_EQ(keys(), (Keys{{4, 2}, {5, 2}, {8, 2}, {9, 2}}));
}

// That the passive frames keep their values when the keys between them move is the
// drag_arrow scene's range drag.
TEST_F(Commands, OffsetMovesOnlyControlPointsInsideTheRange) {
    const Keys start{{1, 0}, {4, 10}, {6.7, 20}, {7.5, 30}, {12, 40}};
    const auto run = [&](auto*) {
        offset(5.0, MO_FrameRange(4, 7))->execute();
        // 7.5 truncates to 7: inside. Passive frames 3 and 8 are keyed with their values,
        // edge frame 7 (no key there) with its value plus the offset.
        const Keys after = keys();
        const std::map<double, double> value(after.begin(), after.end());
        EXPECT_EQ(value.at(1), 0.0);
        EXPECT_EQ(value.at(4), 15.0);
        EXPECT_EQ(value.at(6.7), 25.0);
        EXPECT_EQ(value.at(7.5), 35.0);
        EXPECT_EQ(value.at(12), 40.0);
        EXPECT_EQ(after.size(), 8u);  // + passive 3, 8 and edge 7
    };
    run(animate<LXBezierTimedValue>(start));
    run(animate<LXEaseTimedValue>(start));
    run(animate<LXVeloBasedTimedValue>(start));
}

TEST_F(Commands, GraphCurvesUndoByWritingValuesBack) {
    // A graph's keys are not spliced: undo puts back the value each frame had when its
    // command ran, and keeps the key.
    animate<LXFnc2DTimedValue>({{0, 0}, {20, 20}});
    auto cmd = atFrame(5, 9.0);
    cmd->execute();
    cmd->unexecute();
    EXPECT_EQ(keys(), (Keys{{0, 0}, {5, 5}, {20, 20}}));
    EXPECT_EQ(attr->valueAt(7), 7.0);
}

TEST_F(Commands, GraphDelegatedWriteKeysTheFrameAndKeepsAHold) {
    // When the graph makes its own command for the key, a key that holds its value keeps
    // the hold through the edit.
    auto* tv = animate<LXFnc2DTimedValue>({{0, 0}, {20, 20}});
    tv->controlPoints()[1].constantSegment = true;
    rigkit::SetValueCurrentFrameCmd between(&scene, attr, 5, 9.0, false, false, true, false);
    ASSERT_TRUE(between.execute());
    EXPECT_EQ(keys(), (Keys{{0, 0}, {5, 9}, {20, 20}}));
    between.unexecute();

    rigkit::SetValueCurrentFrameCmd onKey(&scene, attr, 20, -3.0, false, false, true, false);
    ASSERT_TRUE(onKey.execute());
    EXPECT_TRUE(tv->controlPoints()[1].constantSegment);
}
