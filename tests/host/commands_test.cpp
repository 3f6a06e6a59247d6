#include "host/commands/CO_Command.h"
#include "host/commands/node_edit_commands.h"
#include "host/commands/timed_value_commands.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"

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

// Notes when it is destroyed.
struct Dying : CO_Command {
    Dying(std::vector<int>& log, int id) : log(log), id(id) {}
    ~Dying() override { log.push_back(id); }
    bool execute() override { return true; }
    std::vector<int>& log;
    int id;
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
    log.clear();
    {
        CO_OrCommand owner(false);
        owner.add(new Dying(log, 1));
        owner.add(new Dying(log, 2));
    }
    // A later command may hold what an earlier one made: the macro lets go in reverse.
    EXPECT_EQ(log, (std::vector<int>{2, 1}));
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
    // A new scene starts a new history: nothing to undo or redo.
    h.undo(1);
    h.clear();
    EXPECT_EQ(h.undo(1) + h.redo(1), 0);
    EXPECT_TRUE(h.names().empty() && h.redoNames().empty());
}

// What each curve kind's commands write is pinned through the edit commands that make them
// (tests/manipulators), and that their undo gives back every field of every point by the
// random edit scripts.
TEST(TimedValueCommands, SpliceKeepsTheCurveAndUndoRemovesOnlyItsPoint) {
    LXBezierTimedValue tv;
    tv.setValue(0, 0, false, true);
    tv.setValue(10, 10, false, true);
    tv.setValue(20, 0, false, true);
    const double before = tv.evaluate(5);
    lx_timedvalue::bezier::SpliceCmd splice(&tv, 5, true, false);
    unsigned long modified = tv.modificationCount();
    EXPECT_TRUE(splice.execute());
    ASSERT_TRUE(tv.hasControlPointAt(5));
    EXPECT_EQ(tv.controlPoints().find(5)->value, before);
    EXPECT_GT(tv.modificationCount(), modified);
    modified = tv.modificationCount();
    EXPECT_TRUE(splice.unexecute());
    EXPECT_EQ(tv.keys().size(), 3u);
    EXPECT_GT(tv.modificationCount(), modified) << "an undone splice is a change too";
}

namespace {

struct CountingListener : MO_PropertyChangeListener {
    void update(const MO_PropertyAccessor& properties) override {
        ++updates;
        lastLength = properties.getDouble("length", -1.0);
    }
    int updates = 0;
    double lastLength = 0.0;
};

}  // namespace

TEST(ChangePropertiesCmd, ToldOnceEachWayAndUndoRestoresEveryKey) {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Node>(&scene, "n"));
    node->propertiesForSetup().set("length", 2.0);
    node->propertiesForSetup().set("gone", QStringLiteral("x"));
    CountingListener listener;
    node->addPropertyListener(&listener);
    const auto before = node->properties().values();

    CO_UndoHistory history;
    ASSERT_TRUE(
        history.perform("Set property n.length",
                        std::make_unique<MO_NodeCmds::ChangePropertiesCmd>(
                            node, std::vector<std::pair<QString, MO_PropertyValue>>{{"length", 3.0}, {"new", true}},
                            std::vector<QString>{"gone"})));
    EXPECT_EQ(listener.updates, 1);
    EXPECT_EQ(listener.lastLength, 3.0);
    EXPECT_FALSE(node->properties().hasProperty("gone"));
    EXPECT_TRUE(node->properties().hasProperty("new"));

    history.undo();
    EXPECT_EQ(listener.updates, 2);
    EXPECT_EQ(listener.lastLength, 2.0);
    // The added key goes, the removed one comes back, with the very values they had.
    EXPECT_EQ(node->properties().values(), before);
    history.redo();
    EXPECT_EQ(listener.updates, 3);
    EXPECT_EQ(node->properties().getDouble("length", 0.0), 3.0);

    // A change to what is already there records nothing and tells nobody.
    EXPECT_FALSE(history.perform(
        "Set property n.length",
        std::make_unique<MO_NodeCmds::ChangePropertiesCmd>(
            node, std::vector<std::pair<QString, MO_PropertyValue>>{{"length", 3.0}}, std::vector<QString>{"absent"})));
    EXPECT_EQ(listener.updates, 3);
    EXPECT_EQ(history.size(), 1u);
    // Removing a key that is there is a change on its own.
    EXPECT_TRUE(history.perform("Remove property n.new",
                                std::make_unique<MO_NodeCmds::ChangePropertiesCmd>(
                                    node, std::vector<std::pair<QString, MO_PropertyValue>>{},
                                    std::vector<QString>{"new"})));
    EXPECT_FALSE(node->properties().hasProperty("new"));
    EXPECT_EQ(listener.updates, 4);
}

TEST(SetSteppedValueCmd, KeysWhenKeyedElseLocalAndUndoesExactly) {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Node>(&scene, "n"));
    auto* on = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "on", false));
    auto* text = node->addAttribute(std::make_unique<AT_StringAttr>(node, "text", "a"));
    text->stepped().addKey(1.0, "one");
    text->stepped().addKey(10.0, "ten");

    MO_NodeCmds::SetBoolValueCmd setOn(on, 5.0, true);
    ASSERT_TRUE(setOn.execute());
    EXPECT_TRUE(on->localValue());
    EXPECT_TRUE(on->stepped().keys().empty());
    setOn.unexecute();
    EXPECT_FALSE(on->value(5.0));

    // Between two keys: a new key at the frame; undo takes it away again.
    MO_NodeCmds::SetStringValueCmd setText(text, 5.0, "five");
    ASSERT_TRUE(setText.execute());
    EXPECT_EQ(text->value(7.0), "five");
    EXPECT_EQ(text->value(10.0), "ten");
    ASSERT_TRUE(setText.unexecute());
    EXPECT_EQ(text->stepped().keys().size(), 2u);
    EXPECT_EQ(text->value(7.0), "one");
    EXPECT_EQ(text->stepped().local(), "a");
}
