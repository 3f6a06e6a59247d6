#include "host/base/SmPtr.h"
#include "host/commands/CO_Command.h"
#include "host/commands/timed_value_commands.h"
#include "host/scene/LXTimedValue.h"

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

TEST(OrCommand, AtomicMacroRollsBackWhileOrMacroGoesOn) {
    // Whether the macro is atomic, which of its commands 1, 2, ... succeed, then what the
    // macro answers and what ran.
    const std::tuple<bool, std::vector<bool>, bool, std::vector<int>> cases[] = {
        {true, {true, false, true}, false, {1, 2, -1}},
        {false, {false, true}, true, {1, 2}},
        {false, {false}, false, {1}},
        {false, {}, true, {}}};
    for (const auto& [atomic, oks, executed, expected] : cases) {
        std::vector<int> log;
        CO_OrCommand macro(atomic);
        for (std::size_t i = 0; i < oks.size(); ++i)
            macro.add(new Logged(log, int(i) + 1, oks[i]));
        EXPECT_EQ(macro.execute(), executed);
        EXPECT_EQ(log, expected);
    }
    std::vector<int> log;
    CO_OrCommand macro(true);
    macro.add(new Logged(log, 1));
    macro.add(nullptr);  // ignored
    macro.add(new Logged(log, 2));
    EXPECT_EQ(macro.size(), 2u);
    EXPECT_TRUE(macro.execute() && macro.unexecute());
    EXPECT_EQ(log, (std::vector<int>{1, 2, -2, -1}));
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
    {
        SmPtr<Counted> b(a), c;
        c = b;
        c = a;  // already shared: nothing moves
        EXPECT_EQ(a.block()->strong, 3);
        EXPECT_EQ(a.block()->weak, 3);
    }
    SmPtr<Counted> moved;
    moved = std::move(a);
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(moved.block()->strong, 1);
    EXPECT_EQ(moved.block()->weak, 1);
    SmPtr<Counted> other(new Counted(alive));
    other = moved;  // the old object goes
    EXPECT_EQ(alive, 1);
    other.reset();
    moved.reset();
    EXPECT_EQ(alive, 0);
}

TEST(TimedValueCommands, SpliceKeepsTheCurveAndUndoRemovesOnlyItsPoint) {
    LXBezierTimedValue tv;
    tv.setValue(0, 0, false, true);
    tv.setValue(10, 10, false, true);
    tv.setValue(20, 0, false, true);
    const double before = tv.evaluate(5);
    lx_timedvalue::bezier::SpliceCmd splice(&tv, 5, true, false);
    EXPECT_TRUE(splice.execute());
    ASSERT_TRUE(tv.hasControlPointAt(5));
    EXPECT_EQ(tv.controlPoints().find(5)->value, before);
    EXPECT_TRUE(splice.unexecute());
    EXPECT_EQ(tv.keys().size(), 3u);
    lx_timedvalue::bezier::SpliceCmd onKey(&tv, 10, true, false);
    onKey.execute();
    onKey.unexecute();
    EXPECT_TRUE(tv.hasControlPointAt(10));  // the point was there before: it stays

    LXVeloBasedTimedValue velo;
    velo.setValue(1, 3, false, true);
    lx_timedvalue::velobased::SetValueCmd set(&velo, 1, 8), add(&velo, 4, 6);
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
