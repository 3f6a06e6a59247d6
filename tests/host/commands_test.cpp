#include "host/base/SmPtr.h"
#include "host/commands/CO_Command.h"
#include "host/commands/timed_value_commands.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"

#include <gtest/gtest.h>

namespace {

// Appends its id to a shared log; refuses when asked to.
struct Logged : CO_Command {
    Logged(std::vector<int>& log, int id, bool ok = true) : log(log), id(id), ok(ok) {}
    bool execute() override {
        log.push_back(id);
        return ok;
    }
    bool unexecute() override {
        log.push_back(-id);
        return true;
    }
    std::vector<int>& log;
    int id;
    bool ok;
};

struct Counted {
    explicit Counted(int& alive) : alive(alive) { ++alive; }
    virtual ~Counted() { --alive; }
    int& alive;
};

}  // namespace

TEST(OrCommand, RunsInOrderAndUndoesInReverse) {
    std::vector<int> log;
    CO_OrCommand macro(true);
    macro.add(new Logged(log, 1));
    macro.add(new Logged(log, 2));
    macro.add(nullptr);  // ignored
    EXPECT_EQ(macro.size(), 2u);
    EXPECT_TRUE(macro.execute());
    EXPECT_TRUE(macro.unexecute());
    EXPECT_EQ(log, (std::vector<int>{1, 2, -2, -1}));
}

TEST(OrCommand, AtomicMacroRollsBackWhileOrMacroGoesOn) {
    std::vector<int> log;
    CO_OrCommand atomic(true);
    atomic.add(new Logged(log, 1));
    atomic.add(new Logged(log, 2, false));
    atomic.add(new Logged(log, 3));
    EXPECT_FALSE(atomic.execute());
    EXPECT_EQ(log, (std::vector<int>{1, 2, -1}));

    log.clear();
    CO_OrCommand loose(false);
    loose.add(new Logged(log, 1, false));
    loose.add(new Logged(log, 2));
    EXPECT_TRUE(loose.execute());
    EXPECT_EQ(log, (std::vector<int>{1, 2}));
    CO_OrCommand none(false);
    none.add(new Logged(log, 9, false));
    EXPECT_FALSE(none.execute());
    EXPECT_TRUE(CO_OrCommand(false).execute());
}

TEST(UndoHistory, RecordsOnlyWhatChangedAndDropsTheRedoBranch) {
    std::vector<int> log;
    CO_UndoHistory h;
    EXPECT_TRUE(h.perform("a", std::make_unique<Logged>(log, 1)));
    EXPECT_FALSE(h.perform("refused", std::make_unique<Logged>(log, 2, false)));
    EXPECT_TRUE(h.perform("b", std::make_unique<Logged>(log, 3)));
    EXPECT_EQ(h.names(), (std::vector<QString>{"a", "b"}));
    EXPECT_EQ(h.undo(5), 2);
    EXPECT_EQ(h.redoNames(), (std::vector<QString>{"a", "b"}));
    EXPECT_EQ(h.redo(1), 1);
    EXPECT_EQ(h.names(), std::vector<QString>{"a"});
    EXPECT_TRUE(h.perform("c", std::make_unique<Logged>(log, 4)));
    EXPECT_TRUE(h.redoNames().empty());
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3, -3, -1, 1, 4}));
}

TEST(SmPtr, CountsAsTheHostDoes) {
    int alive = 0;
    SmPtr<Counted> a(new Counted(alive));
    EXPECT_EQ(a.block()->strong, 1);
    EXPECT_EQ(a.block()->weak, 1);
    {
        SmPtr<Counted> b(a);
        SmPtr<Counted> c;
        c = b;
        c = a;  // already shared: nothing moves
        EXPECT_EQ(a.block()->strong, 3);
        EXPECT_EQ(a.block()->weak, 3);
    }
    EXPECT_EQ(a.block()->strong, 1);
    SmPtr<Counted> moved;
    moved = std::move(a);
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(moved.block()->strong, 1);
    SmPtr<Counted> other(new Counted(alive));
    EXPECT_EQ(alive, 2);
    other = moved;  // the old object goes
    EXPECT_EQ(alive, 1);
    other.reset();
    moved.reset();
    EXPECT_EQ(alive, 0);
}

TEST(Surrogate, AttributesReportItUntilReset) {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    auto* tx = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "tx", 1.0));
    auto* s = new AT_ScalarSimpleAttrSurrogate(tx, 1.0, 3);
    tx->setSurrogate(SmPtr<AT_AttrSurrogate>(s));
    s->setValue(7.5);
    EXPECT_EQ(tx->valueAt(100), 7.5);
    EXPECT_EQ(tx->localValue(), 1.0);  // the scene is untouched
    tx->resetSurrogate();
    EXPECT_EQ(tx->valueAt(100), 1.0);

    auto* pos = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "pos"));
    pos->setSurrogate(SmPtr<AT_AttrSurrogate>(new AT_Position2dAttrSurrogate(pos, {4, 5})));
    Math::Point2d p;
    pos->getValue(1, p);
    EXPECT_EQ(p, Math::Point2d(4, 5));
    // A surrogate of the wrong kind is not shown.
    pos->setSurrogate(SmPtr<AT_AttrSurrogate>(new AT_ScalarSimpleAttrSurrogate(tx, 9, 1)));
    pos->getValue(1, p);
    EXPECT_EQ(p, Math::Point2d(0, 0));
}

TEST(TimedValueCommands, LinkingANewCurveUndoesWithoutLeaking) {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    auto* tx = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "tx", 2.0));
    LXTimedValue* tv = tx->socket()->createTimedValue(true);
    CO_OrCommand link(false);
    link.add(new SC_SceneCmds::AddTimedValueCmd(&scene, tv, -1, -1));
    link.add(new lx_tv_socket::LinkCmd(tx->socket(), tv));
    EXPECT_TRUE(link.execute());
    EXPECT_TRUE(scene.holdsTimedValue(tv));
    EXPECT_EQ(tx->timedValue(), tv);
    EXPECT_TRUE(link.unexecute());
    EXPECT_FALSE(scene.holdsTimedValue(tv));
    EXPECT_EQ(tx->timedValue(), nullptr);
    EXPECT_TRUE(link.execute());  // redo: the same curve comes back
    EXPECT_EQ(tx->timedValue(), tv);
    // Never executed: the command still owns the curve (the sanitizer build checks this).
    SC_SceneCmds::AddTimedValueCmd unused(&scene, new LXEaseTimedValue(), -1, -1);
}

TEST(TimedValueCommands, SpliceKeepsTheCurveAndUndoRemovesOnlyItsPoint) {
    LXBezierTimedValue tv;
    tv.setValue(0, 0, false, true);
    tv.setValue(10, 10, false, true);
    tv.setValue(20, 0, false, true);
    const double before = tv.evaluate(5);
    lx_timedvalue::bezier::SpliceCmd splice(&tv, 5, true, false);
    EXPECT_TRUE(splice.execute());
    EXPECT_TRUE(tv.hasControlPointAt(5));
    EXPECT_EQ(tv.controlPoints().find(5)->value, before);
    EXPECT_TRUE(splice.unexecute());
    EXPECT_EQ(tv.keys().size(), 3u);

    lx_timedvalue::bezier::SpliceCmd onKey(&tv, 10, true, false);
    onKey.execute();
    onKey.unexecute();
    EXPECT_TRUE(tv.hasControlPointAt(10));  // the point was there before: it stays

    LXVeloBasedTimedValue velo;
    velo.setValue(1, 3, false, true);
    lx_timedvalue::velobased::SetValueCmd set(&velo, 1, 8);
    lx_timedvalue::velobased::SetValueCmd add(&velo, 4, 6);
    set.execute();
    add.execute();
    EXPECT_EQ(velo.keys(), (std::vector<std::pair<double, double>>{{1, 8}, {4, 6}}));
    add.unexecute();
    set.unexecute();
    EXPECT_EQ(velo.keys(), (std::vector<std::pair<double, double>>{{1, 3}}));
    EXPECT_GE(velo.modificationCount(), 4u);

    LXFnc2DTimedValue graph;
    CO_OrCommand macro(true);
    graph.addSetValueCmds(&macro, 2, 5);
    EXPECT_TRUE(macro.execute());
    EXPECT_EQ(graph.evaluate(2), 5.0);
    macro.unexecute();
    EXPECT_TRUE(graph.isEmpty());
}

TEST(Selection, SubSelectReplacesOrExtendsInOrder) {
    SC_SceneCommon scene;
    MO_Node* a = scene.addNode(std::make_unique<MO_Module>(&scene, "a"));
    MO_Node* b = scene.addNode(std::make_unique<MO_Module>(&scene, "b"));
    a->selInterface()->subSelect(1, false);
    b->selInterface()->subSelect(0, true);
    a->selInterface()->subSelect(2, true);
    ASSERT_EQ(scene.selection().items().size(), 2u);
    EXPECT_EQ(scene.selection().items()[0].node, a);
    EXPECT_EQ(scene.selection().items()[0].subIndex, 2);
    b->selInterface()->subSelect(3, false);
    EXPECT_FALSE(scene.selection().isSelected(a));
    EXPECT_TRUE(scene.selection().isSelected(b));
    b->setSelectable(false);
    EXPECT_EQ(b->selInterface(), nullptr);
}
