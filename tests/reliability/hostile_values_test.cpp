// Hostile numbers in everything a component reads: its properties, its attributes and the
// camera it is drawn and dragged under. Whatever comes in, nothing may crash, and finite
// attributes dragged under a degenerate camera must stay finite.

#include "apps/core/describe.h"
#include "host/commands/CO_Command.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/LXTimedValue.h"
#include "tests/support/components.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <set>

namespace {

using namespace rigkit_test;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Every key a component reads, when it is built or told of a change, as the describer
// finds it (conditional reads included).
std::set<QString> keysRead(const Component& c) {
    static const char* const families[] = {"local transformation", "drag manipulator", "OpenGL painter",
                                           "pick adaptor"};
    std::set<QString> keys;
    for (const runner::Json& described : runner::describeComponents({c.type}))
        if (described["family"] == families[int(c.family)])
            for (const char* reads : {"properties", "updateReads"})
                for (const runner::Json& read : described[reads])
                    keys.insert(QString::fromStdString(read["key"].get<std::string>()));
    EXPECT_FALSE(keys.empty() && c.family == Family::Painter) << c.type << ": no key read";
    return keys;
}

struct Hostile {
    const char* name;
    MO_PropertyValue value;
};

std::vector<Hostile> hostileValues() {
    std::vector<double> huge(100000);
    for (std::size_t i = 0; i < huge.size(); ++i)
        huge[i] = i % 3 == 0 ? kNaN : i % 3 == 1 ? 1e308 : -kInf;
    return {{"NaN", kNaN}, {"+inf", kInf}, {"-inf", -kInf}, {"1e308", 1e308}, {"-1e308", -1e308}, {"-0", -0.0},
            {"empty list", std::vector<double>{}}, {"huge list", huge}, {"NaN pair", std::vector<double>{kNaN, kInf}},
            {"colour of infinities", std::vector<double>{kInf, -kInf, kNaN, 1e308}}};
}

VS_View perspectiveView(Math::Point3d eye, Math::Point3d target, Math::Vector3d up) {
    return viewThrough(Math::CameraTransformChain::perspective(kSize, kSize, eye, target, up, 45));
}

// Press, wander (including onto the model origin and far out), release; both through window
// points and through pointer points, which reach the manipulator even when the camera
// cannot map a window point. Returns how many operations the drags recorded.
std::size_t drag(Rig& rig, CX_AnimationMode mode, const VS_View& view = orthoView()) {
    SLB_DragContext context(&rig.scene);
    context.setCamera(view.camera);
    context.setFrames(5, 5);
    context.setAnimationMode(mode);
    context.setFrameRange(MO_FrameRange(2, 8));
    CO_UndoHistory history;
    SLB_DragSession session(context, history);
    const Math::Point2d windows[] = {{32, 32}, {40, 20}, {32, 32}, {-5000, 9000}, {63, 0}};
    if (session.press(rig.node, windows[0])) {
        for (const Math::Point2d& w : windows)
            session.move(w);
        session.release();
    }
    const Math::Point3d pointers[] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {-1e6, 3e6, 2}, {0, 0, 0}};
    if (session.pressAt(rig.node, pointers[1])) {
        for (const Math::Point3d& p : pointers)
            session.moveTo(p);
        session.release();
    }
    return history.names().size();
}

// Every scalar component of the rig, its local value, its curve's keys and its value at
// the frames around the edited range; the first non-finite one found, or empty.
std::string firstNonFinite(const Rig& rig) {
    for (AT_DoubleAttr* a : rig.scalars()) {
        const QString where = a->name();
        if (!std::isfinite(a->localValue()))
            return (where + " local value").toStdString();
        for (double f = 0; f <= 10; f += 0.5)
            if (!std::isfinite(a->valueAt(f)))
                return (where + QString(" at frame %1").arg(f)).toStdString();
        if (LXTimedValue* tv = a->timedValue())
            for (const auto& [frame, value] : tv->keys())
                if (!std::isfinite(frame) || !std::isfinite(value))
                    return (where + QString(" key at %1").arg(frame)).toStdString();
    }
    return {};
}

// Animates every scalar with a curve of a different kind, keyed around frame 5.
void animate(Rig& rig) {
    using Make = std::unique_ptr<LXTimedValue> (*)();
    static const Make kinds[] = {
        [] { return std::unique_ptr<LXTimedValue>(std::make_unique<LXBezierTimedValue>()); },
        [] { return std::unique_ptr<LXTimedValue>(std::make_unique<LXEaseTimedValue>()); },
        [] { return std::unique_ptr<LXTimedValue>(std::make_unique<LXVeloBasedTimedValue>()); },
        [] { return std::unique_ptr<LXTimedValue>(std::make_unique<LXFnc2DTimedValue>()); }};
    std::size_t kind = 0;
    for (AT_DoubleAttr* a : rig.scalars()) {
        std::unique_ptr<LXTimedValue> tv = kinds[kind++ % 4]();
        const double v = a->localValue();
        tv->setValue(1, v, false, true);
        tv->setValue(5, v + 0.5, false, true);
        tv->setValue(9, v - 0.25, false, true);
        a->socket()->link(tv.get());
        rig.scene.addTimedValue(std::move(tv));
    }
}

struct HostileComponent : ::testing::TestWithParam<Component> {
    void SetUp() override { gl(kSize, kSize); }
};

std::string testName(const ::testing::TestParamInfo<Component>& info) {
    return describe(info.param, '_');
}

}  // namespace

TEST_P(HostileComponent, EveryKeyItReadsTakesEveryHostileValueAtCreationAndUpdate) {
    const Component& c = GetParam();
    const std::set<QString> keys = keysRead(c);
    for (const QString& key : keys) {
        for (const Hostile& h : hostileValues()) {
            SCOPED_TRACE(describe(c) + ": \"" + key.toStdString() + "\" = " + h.name);
            MO_PropertyBag bag;
            bag.set(key, h.value);
            // Dragged in one mode when set at creation, in the other when set through update.
            for (bool atUpdate : {false, true}) {
                Rig rig;
                ASSERT_TRUE(rig.install(c, atUpdate ? MO_PropertyBag() : bag));
                if (atUpdate && rig.listener)
                    rig.listener->update(bag);
                rig.paint(orthoView());
                drag(rig, atUpdate ? CX_AnimationModeRange : CX_AnimationModeCurrentFrame);
            }
        }
    }
}

TEST_P(HostileComponent, AllKeysHostileAtOnce) {
    const Component& c = GetParam();
    const std::set<QString> keys = keysRead(c);
    for (const Hostile& h : hostileValues()) {
        SCOPED_TRACE(describe(c) + ": all = " + h.name);
        MO_PropertyBag bag;
        for (const QString& key : keys)
            bag.set(key, h.value);
        Rig rig;
        ASSERT_TRUE(rig.install(c, bag));
        rig.paint(orthoView());
        drag(rig, CX_AnimationModeCurrentFrame);
        drag(rig, CX_AnimationModeRange);
    }
}

TEST_P(HostileComponent, NonFiniteAttributesAndCurvesAreDrawnAndDraggedWithoutHarm) {
    const Component& c = GetParam();
    for (double v : {kNaN, kInf, -kInf, 1e308, -1e308, -0.0}) {
        for (bool animated : {false, true}) {
            SCOPED_TRACE(describe(c) + QString(" with %1%2").arg(v).arg(animated ? ", keyed" : "").toStdString());
            Rig rig;
            for (AT_DoubleAttr* a : rig.scalars())
                a->setLocalValue(v);
            if (animated)
                animate(rig);
            ASSERT_TRUE(rig.install(c, MO_PropertyBag()));
            rig.paint(orthoView());
            drag(rig, CX_AnimationModeCurrentFrame);
            drag(rig, CX_AnimationModeRange);
        }
    }
}

TEST_P(HostileComponent, DegenerateCamerasAndAZeroScaleWriteNothingNonFiniteFromFiniteValues) {
    const Component& c = GetParam();
    // Cameras that a host can be handed by a careless scene: no extent, no direction, looking
    // along its own up, and one that sees the XY plane edge-on.
    const std::pair<std::string, VS_View> cameras[] = {
        {"no pixels per unit", orthoView(0)}, {"eye on the target", perspectiveView({1, 2, 3}, {1, 2, 3}, {0, 1, 0})},
        {"looking along up", perspectiveView({0, 0, 5}, {0, 0, 0}, {0, 0, 1})},
        {"XY plane edge-on", perspectiveView({5, 0, 0}, {0, 0, 0}, {0, 0, 1})}, {"ordinary", orthoView()}};
    for (const auto& [camera, view] : cameras) {
        for (bool squashed : {false, true}) {
            for (bool animated : {false, true}) {
                for (CX_AnimationMode mode : {CX_AnimationModeCurrentFrame, CX_AnimationModeRange}) {
                    SCOPED_TRACE(describe(c) + ", " + camera + (squashed ? ", squashed" : "") +
                                 (animated ? ", keyed" : "") + (mode == CX_AnimationModeRange ? ", range" : ""));
                    Rig rig;
                    if (animated)
                        animate(rig);
                    // A zero scale under the component: the node's matrix has no inverse
                    // and every direction through it has length zero.
                    if (squashed) {
                        auto* zero = rig.node->addAttribute(std::make_unique<AT_DoubleAttr>(rig.node, "zero", 0.0));
                        const MO_ComponentData data{rig.node->properties(), {zero}};
                        rig.node->addLocalTransformation(std::unique_ptr<MO_LocalTransformation>(
                            MO_LocalTransformationFactorySingleton().create("SCALE_X", data)));
                    }
                    ASSERT_TRUE(rig.install(c, MO_PropertyBag()));
                    rig.paint(view);
                    const std::size_t recorded = drag(rig, mode, view);
                    EXPECT_EQ(firstNonFinite(rig), "");
                    // Under a working camera every manipulator that moves a value records
                    // its drags (the button acts on press and the script only reports).
                    const bool moves = c.type != std::string("BUTTON") && c.type != std::string("SCRIPT");
                    if (c.family == Family::Manipulator && moves && !squashed && camera == "ordinary") {
                        EXPECT_GT(recorded, 0u);
                    }
                }
            }
        }
    }
}

// Only manipulators write into the scene.
struct HostileManipulator : HostileComponent {};

std::vector<Component> manipulators() {
    std::vector<Component> out;
    std::copy_if(allComponents().begin(), allComponents().end(), std::back_inserter(out),
                 [](const Component& c) { return c.family == Family::Manipulator; });
    return out;
}

TEST_P(HostileManipulator, FiniteExtremesInItsPropertiesWriteNothingNonFinite) {
    const Component& c = GetParam();
    const std::set<QString> keys = keysRead(c);
    std::vector<MO_PropertyBag> bags;
    for (const QString& key : keys)
        for (double v : {1e308, -1e308, 1e-308, -0.0}) {
            bags.emplace_back();
            bags.back().set(key, v);
        }
    // Limits at opposite ends of the doubles: their difference is no longer a double.
    for (double sign : {1.0, -1.0}) {
        bags.emplace_back();
        for (const QString& key : keys)
            bags.back().set(key, key.contains("min") ? -sign * 1e308 : sign * 1e308);
    }
    for (const MO_PropertyBag& bag : bags) {
        QString what;
        for (const auto& [key, value] : bag.values())
            what += QString(" \"%1\" = %2").arg(key).arg(std::get<double>(value));
        for (bool animated : {false, true}) {
            for (CX_AnimationMode mode : {CX_AnimationModeCurrentFrame, CX_AnimationModeRange}) {
                SCOPED_TRACE(describe(c) + ":" + what.toStdString() + (animated ? ", keyed" : "") +
                             (mode == CX_AnimationModeRange ? ", range" : ""));
                Rig rig;
                if (animated)
                    animate(rig);
                ASSERT_TRUE(rig.install(c, bag));
                drag(rig, mode);
                EXPECT_EQ(firstNonFinite(rig), "");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, HostileComponent, ::testing::ValuesIn(rigkit_test::allComponents()), testName);
INSTANTIATE_TEST_SUITE_P(All, HostileManipulator, ::testing::ValuesIn(manipulators()), testName);

// ---- behaviour fixed for values that are not numbers ------------------------------------

namespace {

struct FixedRules : ::testing::Test {
    void SetUp() override {
        gl(kSize, kSize);
        context.setFrames(5, 5);
    }
    Rig rig;
    SLB_DragContext context{&rig.scene};
    CO_UndoHistory history;
    SLB_DragSession session{context, history};
};

}  // namespace

TEST_F(FixedRules, ASliderRatioThatIsNotANumberBecomesOne) {
    rig.node->propertiesForSetup().set("min", 10.0);
    rig.node->propertiesForSetup().set("max", 30.0);
    rig.d->setLocalValue(kNaN);
    ASSERT_TRUE(rig.install({Family::Manipulator, "SLIDER", {"d"}}, rig.node->properties()));
    context.setCamera(orthoView().camera);
    ASSERT_TRUE(session.press(rig.node, {32, 32}));
    session.move({33, 30});
    EXPECT_EQ(rig.d->valueAt(5), 30.0);
    // A finite start on the same slider clamps as usual, to either end.
    session.cancel();
    rig.d->setLocalValue(20.0);
    ASSERT_TRUE(session.press(rig.node, {32, 32}));
    session.move({32, 64000});
    EXPECT_EQ(rig.d->valueAt(5), 10.0);
    session.move({32, -64000});
    EXPECT_EQ(rig.d->valueAt(5), 30.0);
    session.release();
}

TEST_F(FixedRules, APositionDragStartedOnAnEdgeOnPlaneSetsTheValueItHad) {
    ASSERT_TRUE(rig.install({Family::Manipulator, "POSITION_3D", {"p3"}}, rig.node->properties()));
    context.setCamera(Math::CameraTransformChain::perspective(kSize, kSize, {5, 0, 0}, {0, 0, 0}, {0, 0, 1}, 45));
    const std::vector<double> before = rig.p3->valuesAt(5);
    ASSERT_TRUE(session.pressAt(rig.node, {0, 0.1, 0.2}));
    EXPECT_EQ(rig.p3->surrogate(), nullptr);
    session.moveTo({0, 0.5, 0.7});
    EXPECT_EQ(rig.p3->valuesAt(5), before);
    EXPECT_TRUE(session.release());
    EXPECT_EQ(history.names().size(), 1u);
    EXPECT_EQ(rig.p3->valuesAt(5), before);
}
