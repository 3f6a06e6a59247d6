#include "host/base/MSG_Scope.h"
#include "host/base/SmPtr.h"
#include "host/commands/attribute_edit_commands.h"
#include "host/commands/timed_value_commands.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_Port.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/components.h"

#include <gtest/gtest.h>

namespace {

using Keys = std::vector<std::pair<double, double>>;

struct SceneFixture : ::testing::Test {
    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));

    template <class TV = LXBezierTimedValue>
    LXTimedValue* key(AT_DoubleAttr* a, const Keys& keys) {
        auto tv = std::make_unique<TV>();
        LXTimedValue* raw = tv.get();
        for (const auto& [f, v] : keys)
            tv->setValue(f, v, false, true);
        a->socket()->link(raw);
        scene.addTimedValue(std::move(tv));
        return raw;
    }
    static Keys keys(const AT_DoubleAttr* a) { return a->timedValue() ? a->timedValue()->keys() : Keys{}; }
    template <class A, class... Args>
    A* add(const char* name, Args... args) {
        return node->addAttribute(std::make_unique<A>(node, name, args...));
    }
};

// Moves along X by a fixed amount or by an attribute's value: lets the tests see the order
// of composition and the frame a matrix is taken at.
class Shift : public MO_LocalTransformation {
public:
    explicit Shift(double d, bool scale = false) : m_d(d), m_scale(scale) {}
    explicit Shift(const AT_DoubleAttr* x) : m_x(x) {}
    void apply(const MO_FrameKey& key, Math::Matrix4x4& m) const override {
        m_scale ? m.scale(by(key), 1, 1) : m.translate(by(key), 0, 0);
    }
    void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& m) const override {
        m_scale ? m.scale(1 / by(key), 1, 1) : m.translate(-by(key), 0, 0);
    }

private:
    double by(const MO_FrameKey& key) const { return m_x ? m_x->valueAt(key.frame()) : m_d; }
    const AT_DoubleAttr* m_x = nullptr;
    double m_d = 0;
    bool m_scale = false;
};

// Counts the property changes it is told of.
struct Listening : MO_OGLPainter, SLB_SelectableDragManipulator, MO_PropertyChangeListener {
    explicit Listening(int* heard) : heard(heard) {}
    void paint(MO_OGLContext&, const PaintState&) override {}
    void drag(SLB_DragContext&, SLB_SelectedInterface*, double, double, double) override {}
    void dragStarted(SLB_DragContext&, SLB_SelectedInterface*, double, double, double) override {}
    void dragFinished(SLB_DragContext&, SLB_SelectedInterface*) override {}
    void update(const MO_PropertyAccessor&) override { ++*heard; }
    int* heard;
};

}  // namespace

TEST_F(SceneFixture, ComponentsThatListenHearEachChangeOnce) {
    int painter = 0, first = 0, second = 0;
    node->addPainter(std::make_unique<Listening>(&painter));
    auto manipulator = std::make_unique<Listening>(&first);
    // Added by hand as well, as a host that wires listeners itself would: still told once.
    node->addPropertyListener(manipulator.get());
    node->setManipulator(std::move(manipulator));
    node->setProperty("a", 1.0);
    EXPECT_EQ(painter, 1);
    EXPECT_EQ(first, 1);
    // A replaced manipulator is gone and no longer told; several edits are one change.
    node->setManipulator(std::make_unique<Listening>(&second));
    node->changeProperties({{"b", true}, {"c", QString("x")}}, {"a"});
    EXPECT_EQ(painter, 2);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_FALSE(node->properties().hasProperty("a"));
    EXPECT_TRUE(node->properties().getBool("b", false));
}

// Writing still, fixed and keyed attributes and keys of every type is played by
// tests/scenes/set_values.json; these are the cases no scene can set up.
TEST_F(SceneFixture, AnEmptyCurveDefinesNothingUntilWritten) {
    auto* a = add<AT_DoubleAttr>("tx", 4.0);
    LXTimedValue* tv = key(a, {});
    EXPECT_EQ(a->valueAt(10), 4.0);
    EXPECT_TRUE(a->setValue(10, 6.0, false, false));
    EXPECT_TRUE(tv->hasControlPointAt(10));
    EXPECT_EQ(a->valueAt(-3), 6.0);
    EXPECT_EQ(a->localValue(), 4.0);
}

TEST_F(SceneFixture, CompoundAttributesAnimatePerComponent) {
    auto* pos = add<AT_Position2dAttr>("pos", Math::Point2d(1, 2));
    key<LXFnc2DTimedValue>(pos->y(), {{0, 0}, {10, 10}});
    Math::Point2d p;
    EXPECT_TRUE(pos->getValue(5, p));
    EXPECT_EQ(p, Math::Point2d(1, 5));
    EXPECT_TRUE(pos->getLocalValue(p));
    EXPECT_EQ(p.y, 2.0);
    EXPECT_FALSE(pos->setValues(0, {1.0}, false, false));  // wrong arity

    double x = 0, y = 0, z = 0;
    add<AT_Scale3dAttr>("s")->getValue(1, x, y, z);
    EXPECT_EQ(x + y + z, 3.0);  // scales start at 1
}

TEST_F(SceneFixture, BooleansAndStringsHoldFromKeyToKey) {
    auto* on = add<AT_BoolAttr>("on", true);
    on->stepped().addKey(10, false);
    on->stepped().addKey(20, true);
    EXPECT_FALSE(on->value(1));  // before the first key: that key's value
    EXPECT_FALSE(on->value(19.9));
    EXPECT_TRUE(on->value(20));
    auto* keyed = add<AT_BoolAttr>("keyed", false);
    keyed->setValue(8, true, false, true);  // the last flag keys an attribute that had no key
    ASSERT_EQ(keyed->stepped().keys().size(), 1u);
    EXPECT_FALSE(keyed->localValue());
    // A keyed switch set by its one flag shows it at the scene's current frame (a button
    // let go), and only there: the keys around it still hold elsewhere.
    scene.setCurrentFrame(15);
    on->setLocalValue(true);
    EXPECT_TRUE(on->value(15));
    EXPECT_FALSE(on->value(12));
    EXPECT_TRUE(on->localValue());
    auto* text = add<AT_StringAttr>("text", "a");
    text->stepped().addKey(3, "b");
    EXPECT_EQ(text->value(1), "b");
}

TEST_F(SceneFixture, WorldMatrixIsParentTimesLocalTransformationsInOrder) {
    MO_Node* child = scene.addNode(std::make_unique<MO_Module>(&scene, "child"));
    child->setParent(node);
    node->addLocalTransformation(std::make_unique<Shift>(1));
    child->addLocalTransformation(std::make_unique<Shift>(2));
    child->addLocalTransformation(std::make_unique<Shift>(3, true));  // acts on points first
    const MO_FrameKey at(1);
    EXPECT_EQ(child->worldMatrix(at).transformPoint({1, 0, 0}).x, 1 + 2 + 3.0);
    EXPECT_EQ(child->localMatrix(at).transformPoint({0, 0, 0}).x, 2.0);
}

// Drags through ports, aligned sources and disabled connections: the PositionDrag tests in
// tests/manipulators. Here: the frame the source is taken at, and what a port still names.
TEST_F(SceneFixture, PortsCarryTheSourcesWorldMatrixAtTheContextsFrame) {
    node->addLocalTransformation(std::make_unique<Shift>(add<AT_DoubleAttr>("x", 10.0)));
    MO_Node* source = scene.addNode(std::make_unique<MO_Module>(&scene, "source"));
    source->setParent(node);
    auto* x = source->addAttribute(std::make_unique<AT_DoubleAttr>(source, "x", 0.0));
    key(x, {{1, 1}, {3, 3}});
    source->addLocalTransformation(std::make_unique<Shift>(x));
    auto* module = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "m")));
    const MO_BaseContext frame2(MO_FrameKey(2));
    module->addInPort(nullptr);
    MO_Port* port = module->addInPort(source);
    for (const int unconnected : {0, -1, 2})
        EXPECT_EQ(module->computeTransformationParent(frame2, unconnected), nullptr) << unconnected;
    const MO_PortTransform* t = module->computeTransformationParent(frame2, 1);
    ASSERT_NE(t, nullptr);
    // The parent's 10 and the source's value at frame 2.
    EXPECT_NEAR(t->transformation().matrix(true)(0, 3), 12.0, 1e-12);
    EXPECT_EQ(t->transformation().matrix(true), t->transformation().matrix(false));
    port->setEnabled(false);
    EXPECT_EQ(module->computeTransformationParent(frame2, 1), nullptr);
    EXPECT_EQ(port->srcNode(), nullptr);
    EXPECT_EQ(port->realDisabledSrcNode(), source);
}

// A surrogate showing a drag's preview and going at its end is every drag test's; one of
// another kind than its attribute shows nothing.
TEST_F(SceneFixture, SurrogatesShowOnlyOnTheirKind) {
    auto* tx = add<AT_DoubleAttr>("tx", 1.0);
    auto* pos = add<AT_Position2dAttr>("pos");
    Math::Point2d p;
    pos->setSurrogate(SmPtr<AT_AttrSurrogate>(new AT_Position2dAttrSurrogate(pos, {4, 5})));
    pos->getValue(1, p);
    EXPECT_EQ(p, Math::Point2d(4, 5));
    pos->setSurrogate(SmPtr<AT_AttrSurrogate>(new AT_ScalarSimpleAttrSurrogate(tx, 9, 1)));
    pos->getValue(1, p);
    EXPECT_EQ(p, Math::Point2d(0, 0));
}

// Adding and linking a new curve, undone and redone, is how the plug-in keys a still
// attribute: tests/manipulators/commands_test.cpp.
TEST_F(SceneFixture, ANewCurveIsOwnedByItsCommandUntilAdded) {
    auto* tx = add<AT_DoubleAttr>("tx");
    LXTimedValue* tv = tx->socket()->createTimedValue(true);
    EXPECT_EQ(tx->timedValue(), nullptr);  // creating does not link
    EXPECT_NE(dynamic_cast<LXBezierTimedValue*>(tv), nullptr);
    EXPECT_TRUE(tv->isEmpty());
    // Never executed: the command still owns the curve (the sanitizer build checks this).
    SC_SceneCmds::AddTimedValueCmd unused(&scene, tv, -1, -1);

    // Undone, the command takes the curve back from the scene, and says whether there was
    // one to take.
    SC_SceneCmds::AddTimedValueCmd add(&scene, tx->socket()->createTimedValue(true), -1, -1);
    ASSERT_TRUE(add.execute());
    EXPECT_FALSE(add.execute()) << "already in the scene";
    EXPECT_TRUE(add.unexecute());
    EXPECT_FALSE(add.unexecute()) << "nothing left to take back";
}

TEST_F(SceneFixture, SubSelectReplacesOrExtendsInOrder) {
    MO_Node* b = scene.addNode(std::make_unique<MO_Module>(&scene, "b"));
    node->selInterface()->subSelect(1, false);
    b->selInterface()->subSelect(0, true);
    node->selInterface()->subSelect(2, true);
    ASSERT_EQ(scene.selection().items().size(), 2u);
    EXPECT_EQ(scene.selection().items()[0].node, node);
    EXPECT_EQ(scene.selection().items()[0].subIndex, 2);
    b->selInterface()->subSelect(3, false);
    EXPECT_FALSE(scene.selection().isSelected(node));
    EXPECT_TRUE(scene.selection().isSelected(b));
    b->setSelectable(false);
    EXPECT_EQ(b->selInterface(), nullptr);
}

TEST(FrameRange, EdgeAndPassiveFrames) {
    const MO_FrameRange r(5, 10);
    EXPECT_TRUE(r.isFrameEnabled(5));
    EXPECT_TRUE(r.isFrameEnabled(10));
    EXPECT_FALSE(r.isFrameEnabled(10.5));
    EXPECT_EQ(r.passiveFrames(), (std::vector<double>{4, 11}));
    EXPECT_EQ(MO_FrameRange(7, 7).edgeFrames(), std::vector<double>{7});
    EXPECT_EQ(MO_FrameRange(9, 3).first(), 3.0);

    const MO_FrameRange all = MO_FrameRange::infinite();
    EXPECT_TRUE(all.isFrameEnabled(-1e9));
    EXPECT_TRUE(all.edgeFrames().empty());
    EXPECT_TRUE(all.passiveFrames().empty());
}

TEST(SceneCommon, TimedValuesCanBeGivenBackAndChangesAreEmitted) {
    SC_SceneCommon scene;
    auto tv = std::make_unique<LXEaseTimedValue>();
    LXTimedValue* raw = tv.get();
    scene.addTimedValue(std::move(tv));
    EXPECT_EQ(scene.releaseTimedValue(raw).get(), raw);
    EXPECT_FALSE(scene.holdsTimedValue(raw));
    EXPECT_EQ(scene.releaseTimedValue(raw), nullptr);

    MO_Node* seen = nullptr;
    scene.changeManager().addListener([&](MO_Node* n) { seen = n; });
    MO_Node* n = scene.addNode(std::make_unique<MO_Node>(&scene, "n"));
    scene.changeManager().emitNodeChanged(n);
    EXPECT_EQ(seen, n);
}

// Edits through the host's attribute commands. Rotations go through them in the ROTATION_3D
// drags of tests/manipulators; tests/reliability compares every undo bit for bit.

// That undo unlinks the curve it made and redo links the same one again is held by the
// random edit scripts, which compare the curves each attribute links and the scene holds.
TEST_F(SceneFixture, CurrentFrameKeysAStillAttribute) {
    auto* a = add<AT_DoubleAttr>("a", 1.0);
    std::unique_ptr<CO_Command> cmd(Attr::Double::createSetValueCurrentFrameCmd(&scene, a, 5, 3.0, false));
    ASSERT_TRUE(cmd->execute());
    EXPECT_EQ(keys(a), (Keys{{5, 3}}));

    // The value it shows already: nothing to write.
    std::unique_ptr<CO_Command> same(Attr::Double::createSetValueCurrentFrameCmd(&scene, a, 5, 3.0, false));
    EXPECT_TRUE(static_cast<Attr::AttrWritesCmd*>(same.get())->isEmpty());
}

// Caches and views learn of edits from two places: the curve's modification count and the
// scene's change manager. Both must move on an edit and on its undo, or a view keeps
// showing what was undone.
TEST_F(SceneFixture, EditsAndTheirUndoTellTheCurveAndTheScene) {
    auto* a = add<AT_DoubleAttr>("a");
    LXTimedValue* tv = key(a, {{1, 0}, {9, 8}});
    std::vector<MO_Node*> told;
    scene.changeManager().addListener([&](MO_Node* n) { told.push_back(n); });
    const auto expectTold = [&](const char* what) {
        EXPECT_EQ(told, std::vector<MO_Node*>{node}) << what;
        told.clear();
    };
    for (const double frame : {9.0, 4.0}) {  // on a key, then between keys
        unsigned long seen = tv->modificationCount();
        std::unique_ptr<CO_Command> cmd(Attr::Double::createSetValueCurrentFrameCmd(&scene, a, frame, 5.0, false));
        ASSERT_TRUE(cmd->execute());
        EXPECT_GT(tv->modificationCount(), seen) << frame;
        expectTold("edit");
        seen = tv->modificationCount();
        cmd->unexecute();
        EXPECT_GT(tv->modificationCount(), seen) << frame;
        expectTold("undo");
    }
    const unsigned long seen = tv->modificationCount();
    std::unique_ptr<CO_Command> offset(Attr::Double::createOffsetValueAllFramesCmd(a, 1.0, MO_FrameRange()));
    ASSERT_TRUE(offset->execute());
    EXPECT_GE(tv->modificationCount(), seen + 2) << "one per key moved";
    expectTold("offset");
}

// Over a range, keys inside move and the passive frames keep their values: the slider's range
// drag, which makes this command.
TEST_F(SceneFixture, OffsetOverAllFramesMovesEveryKey) {
    auto* a = add<AT_DoubleAttr>("a");
    key(a, {{1, 0}, {5, 10}, {9, 20}, {15, 0}});
    std::unique_ptr<CO_Command> all(Attr::Double::createOffsetValueAllFramesCmd(a, -1.0, MO_FrameRange::infinite()));
    all->execute();
    EXPECT_EQ(keys(a), (Keys{{1, -1}, {5, 9}, {9, 19}, {15, -1}}));
}

TEST_F(SceneFixture, PositionsTranslateLocallyOverAllFramesWhenStill) {
    auto* p = add<AT_Position2dAttr>("p", Math::Point2d(1, 2));
    std::unique_ptr<CO_Command> cmd(Attr::Position2d::createTranslateAllFramesCmd(p, 0.5, -1, MO_FrameRange()));
    cmd->execute();
    EXPECT_EQ(p->localValues(), (std::vector<double>{1.5, 1}));
    EXPECT_EQ(p->x()->timedValue(), nullptr);
    cmd->unexecute();
    EXPECT_EQ(p->localValues(), (std::vector<double>{1, 2}));

    auto* p3 = add<AT_Position3dAttr>("p3");
    std::unique_ptr<CO_Command> set(Attr::Position3d::createSetValueCurrentFrameCmd(&scene, p3, 2, 0, 4, 5, false));
    set->execute();
    EXPECT_EQ(p3->x()->timedValue(), nullptr);  // x already shows 0
    EXPECT_EQ(keys(p3->z()), (Keys{{2, 5}}));
}

TEST_F(SceneFixture, ExpressionsRefuseAndNothingChanges) {
    MSG_Log::instance().clear();
    auto* a = add<AT_DoubleAttr>("a");
    auto* b = add<AT_DoubleAttr>("b");
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
