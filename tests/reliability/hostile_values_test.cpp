// Hostile numbers in everything a component reads: its properties, its attributes and the
// camera it is drawn and dragged under. Whatever comes in, nothing may crash, and finite
// attributes dragged under a degenerate camera must stay finite.

#include "host/commands/CO_Command.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/SLB_DragSession.h"
#include "host/scene/SLB_ManipContext.h"
#include "tests/reliability/components.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace reliability {
// Test lists show the type string rather than the parameter's bytes, which hold addresses
// and so would name the tests differently on every run.
void PrintTo(const Component& component, std::ostream* out) {
    *out << component.type;
}
}  // namespace reliability

namespace {

using reliability::Component;
using reliability::Family;
using reliability::Rig;

constexpr int kSize = 64;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

VS_OffscreenContext& gl() {
    static VS_OffscreenContext context(kSize, kSize);
    context.makeCurrent();
    return context;
}

// The keys a component reads, whatever their type, learnt by watching it read.
class RecordingAccessor : public MO_PropertyAccessor {
public:
    explicit RecordingAccessor(const MO_PropertyBag& bag) : m_bag(bag) {}
    Math::Point2d getPoint(const QString& k, const Math::Point2d& def, bool* found) const override {
        return m_keys.insert(k), m_bag.getPoint(k, def, found);
    }
    VS_RGBA getColor(const QString& k, const VS_RGBA& def, bool* found) const override {
        return m_keys.insert(k), m_bag.getColor(k, def, found);
    }
    QString getString(const QString& k, const QString& def, bool* found) const override {
        return m_keys.insert(k), m_bag.getString(k, def, found);
    }
    double getDouble(const QString& k, double def, int index) const override {
        return m_keys.insert(k), m_bag.getDouble(k, def, index);
    }
    bool getBool(const QString& k, bool def, bool* found) const override {
        return m_keys.insert(k), m_bag.getBool(k, def, found);
    }
    int getInt(const QString& k, int def, bool* found) const override {
        return m_keys.insert(k), m_bag.getInt(k, def, found);
    }
    bool hasProperty(const QString& k) const override { return m_keys.insert(k), m_bag.hasProperty(k); }
    int valueCount(const QString& k) const override { return m_keys.insert(k), m_bag.valueCount(k); }
    const std::set<QString>& keys() const { return m_keys; }

private:
    const MO_PropertyBag& m_bag;
    mutable std::set<QString> m_keys;
};

std::set<QString> keysRead(const Component& c) {
    Rig rig;
    MO_PropertyBag empty;
    RecordingAccessor recorder(empty);
    EXPECT_TRUE(rig.install(c, recorder));
    // The companion components read through the same accessor; their keys are harmless
    // extras. What matters is that update's keys are there too.
    if (MO_PropertyChangeListener* l = rig.listener(c))
        l->update(recorder);
    return recorder.keys();
}

struct Hostile {
    const char* name;
    MO_PropertyValue value;
};

std::vector<Hostile> hostileValues() {
    std::vector<double> huge(100000);
    for (std::size_t i = 0; i < huge.size(); ++i)
        huge[i] = i % 3 == 0 ? kNaN : i % 3 == 1 ? 1e308 : -kInf;
    return {
        {"NaN", kNaN},
        {"+inf", kInf},
        {"-inf", -kInf},
        {"1e308", 1e308},
        {"-1e308", -1e308},
        {"-0", -0.0},
        {"empty list", std::vector<double>{}},
        {"huge list", huge},
        {"NaN pair", std::vector<double>{kNaN, kInf}},
        {"colour of infinities", std::vector<double>{kInf, -kInf, kNaN, 1e308}},
    };
}

VS_View orthoView(double pixelsPerUnit = 20) {
    VS_View view;
    view.camera = Math::CameraTransformChain::orthographic(kSize, kSize, {0, 0}, pixelsPerUnit);
    view.frameKey = MO_FrameKey(5);
    return view;
}

VS_View perspectiveView(Math::Point3d eye, Math::Point3d target, Math::Vector3d up) {
    VS_View view;
    view.camera = Math::CameraTransformChain::perspective(kSize, kSize, eye, target, up, 45);
    view.frameKey = MO_FrameKey(5);
    return view;
}

struct Camera {
    const char* name;
    VS_View view;
};

// Cameras that a host can be handed by a careless scene: no extent, no direction, looking
// along its own up, and one that sees the XY plane edge-on.
std::vector<Camera> degenerateCameras() {
    return {
        {"no pixels per unit", orthoView(0)},
        {"eye on the target", perspectiveView({1, 2, 3}, {1, 2, 3}, {0, 1, 0})},
        {"looking along up", perspectiveView({0, 0, 5}, {0, 0, 0}, {0, 0, 1})},
        {"XY plane edge-on", perspectiveView({5, 0, 0}, {0, 0, 0}, {0, 0, 1})},
        {"ordinary", orthoView()},
    };
}

// Press, wander (including onto the model origin and far out), release; both through window
// points and through pointer points, which reach the manipulator even when the camera
// cannot map a window point.
void wander(SLB_DragSession& session, MO_Node* node) {
    const Math::Point2d windows[] = {{32, 32}, {40, 20}, {32, 32}, {-5000, 9000}, {63, 0}};
    if (session.press(node, windows[0])) {
        for (const Math::Point2d& w : windows)
            session.move(w);
        session.release();
    }
    const Math::Point3d pointers[] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {-1e6, 3e6, 2}, {0, 0, 0}};
    if (session.pressAt(node, pointers[1])) {
        for (const Math::Point3d& p : pointers)
            session.moveTo(p);
        session.release();
    }
}

// How many operations the drags recorded.
std::size_t drag(Rig& rig, const VS_View& view, CX_AnimationMode mode) {
    SLB_DragContext context(&rig.scene);
    context.setCamera(view.camera);
    context.setFrames(5, 5);
    context.setAnimationMode(mode);
    context.setFrameRange(MO_FrameRange(2, 8));
    CO_UndoHistory history;
    SLB_DragSession session(context, history);
    wander(session, rig.node);
    return history.names().size();
}

std::vector<AT_DoubleAttr*> scalars(const Rig& rig) {
    std::vector<AT_DoubleAttr*> out{rig.d};
    for (AT_ComplexAttr* a : std::initializer_list<AT_ComplexAttr*>{rig.p2, rig.q2, rig.p3, rig.r3, rig.s3})
        for (std::size_t i = 0; i < a->componentCount(); ++i)
            out.push_back(a->component(i));
    return out;
}

// Every scalar component of the rig, its local value, its curve's keys and its value at
// the frames around the edited range; the first non-finite one found, or empty.
std::string firstNonFinite(const Rig& rig) {
    for (AT_DoubleAttr* a : scalars(rig)) {
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
    int kind = 0;
    for (AT_DoubleAttr* a : scalars(rig)) {
        std::unique_ptr<LXTimedValue> tv;
        switch (kind++ % 4) {
            case 0: tv = std::make_unique<LXBezierTimedValue>(); break;
            case 1: tv = std::make_unique<LXEaseTimedValue>(); break;
            case 2: tv = std::make_unique<LXVeloBasedTimedValue>(); break;
            default: tv = std::make_unique<LXFnc2DTimedValue>(); break;
        }
        const double v = a->localValue();
        tv->setValue(1, v, false, true);
        tv->setValue(5, v + 0.5, false, true);
        tv->setValue(9, v - 0.25, false, true);
        a->socket()->link(tv.get());
        rig.scene.addTimedValue(std::move(tv));
    }
}

struct HostileComponent : ::testing::TestWithParam<Component> {
    void SetUp() override { gl(); }
};

std::string testName(const ::testing::TestParamInfo<Component>& info) {
    static const char* const families[] = {"Transformation", "Manipulator", "Painter", "Picker"};
    return std::string(families[int(info.param.family)]) + "_" + info.param.type;
}

}  // namespace

TEST_P(HostileComponent, EveryKeyItReadsTakesEveryHostileValueAtCreationAndUpdate) {
    const Component& c = GetParam();
    const std::set<QString> keys = keysRead(c);
    // Every component reads at least the companion sphere's radius; the sphere's own keys
    // are part of the set, so a component that reads nothing is still exercised through it.
    ASSERT_FALSE(keys.empty());
    for (const QString& key : keys) {
        for (const Hostile& h : hostileValues()) {
            SCOPED_TRACE(describe(c).toStdString() + ": \"" + key.toStdString() + "\" = " + h.name);
            MO_PropertyBag bag;
            bag.set(key, h.value);
            {
                Rig rig;
                ASSERT_TRUE(rig.install(c, bag));
                rig.paint(orthoView());
                drag(rig, orthoView(), CX_AnimationModeCurrentFrame);
            }
            {
                Rig rig;
                ASSERT_TRUE(rig.install(c, MO_PropertyBag()));
                if (MO_PropertyChangeListener* l = rig.listener(c))
                    l->update(bag);
                rig.paint(orthoView());
                drag(rig, orthoView(), CX_AnimationModeRange);
            }
        }
    }
}

TEST_P(HostileComponent, AllKeysHostileAtOnce) {
    const Component& c = GetParam();
    const std::set<QString> keys = keysRead(c);
    for (const Hostile& h : hostileValues()) {
        SCOPED_TRACE(describe(c).toStdString() + ": all = " + h.name);
        MO_PropertyBag bag;
        for (const QString& key : keys)
            bag.set(key, h.value);
        Rig rig;
        ASSERT_TRUE(rig.install(c, bag));
        rig.paint(orthoView());
        drag(rig, orthoView(), CX_AnimationModeCurrentFrame);
        drag(rig, orthoView(), CX_AnimationModeRange);
    }
}

TEST_P(HostileComponent, NonFiniteAttributesAndCurvesAreDrawnAndDraggedWithoutHarm) {
    const Component& c = GetParam();
    for (double v : {kNaN, kInf, -kInf, 1e308, -1e308, -0.0}) {
        for (bool animated : {false, true}) {
            SCOPED_TRACE(describe(c).toStdString() + QString(" with %1%2").arg(v).arg(animated ? ", keyed" : "").toStdString());
            Rig rig;
            for (AT_DoubleAttr* a : scalars(rig))
                a->setLocalValue(v);
            if (animated)
                animate(rig);
            ASSERT_TRUE(rig.install(c, MO_PropertyBag()));
            rig.paint(orthoView());
            drag(rig, orthoView(), CX_AnimationModeCurrentFrame);
            drag(rig, orthoView(), CX_AnimationModeRange);
        }
    }
}

TEST_P(HostileComponent, DegenerateCamerasAndAZeroScaleWriteNothingNonFiniteFromFiniteValues) {
    const Component& c = GetParam();
    for (const Camera& camera : degenerateCameras()) {
        for (bool squashed : {false, true}) {
            for (bool animated : {false, true}) {
                for (CX_AnimationMode mode : {CX_AnimationModeCurrentFrame, CX_AnimationModeRange}) {
                    SCOPED_TRACE(describe(c).toStdString() + ", " + camera.name + (squashed ? ", squashed" : "") +
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
                    rig.paint(camera.view);
                    const std::size_t recorded = drag(rig, camera.view, mode);
                    EXPECT_EQ(firstNonFinite(rig), "");
                    // Under a working camera every manipulator that moves a value records
                    // its drags (the button acts on press and the script only reports).
                    const bool moves = c.type != std::string("BUTTON") && c.type != std::string("SCRIPT");
                    if (c.family == Family::Manipulator && moves && !squashed && camera.name == std::string("ordinary")) {
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
    for (const Component& c : reliability::allComponents())
        if (c.family == Family::Manipulator)
            out.push_back(c);
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
        {
            for (bool animated : {false, true}) {
                for (CX_AnimationMode mode : {CX_AnimationModeCurrentFrame, CX_AnimationModeRange}) {
                    QString what;
                    for (const auto& [key, value] : bag.values())
                        what += QString(" \"%1\" = %2").arg(key).arg(std::get<double>(value));
                    SCOPED_TRACE(describe(c).toStdString() + ":" + what.toStdString() + (animated ? ", keyed" : "") +
                                 (mode == CX_AnimationModeRange ? ", range" : ""));
                    Rig rig;
                    if (animated)
                        animate(rig);
                    ASSERT_TRUE(rig.install(c, bag));
                    drag(rig, orthoView(), mode);
                    EXPECT_EQ(firstNonFinite(rig), "");
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, HostileComponent, ::testing::ValuesIn(reliability::allComponents()), testName);
INSTANTIATE_TEST_SUITE_P(All, HostileManipulator, ::testing::ValuesIn(manipulators()), testName);

// ---- behaviour fixed for values that are not numbers ------------------------------------

namespace {

struct FixedRules : ::testing::Test {
    void SetUp() override { gl(); }
    Rig rig;
    SLB_DragContext context{&rig.scene};
    CO_UndoHistory history;
    SLB_DragSession session{context, history};

    void manipulate(const char* type, std::vector<AT_Attr*> attrs) {
        const MO_ComponentData data{rig.node->properties(), std::move(attrs)};
        rig.node->setManipulator(std::unique_ptr<SLB_SelectableDragManipulator>(
            SLB_SelectableDragManipulatorFactorySingleton().create(type, data)));
        ASSERT_TRUE(rig.node->manipulator());
        context.setFrames(5, 5);
    }
};

}  // namespace

TEST_F(FixedRules, ASliderRatioThatIsNotANumberBecomesOne) {
    rig.node->propertiesForSetup().set("min", 10.0);
    rig.node->propertiesForSetup().set("max", 30.0);
    rig.d->setLocalValue(kNaN);
    manipulate("SLIDER", {rig.d});
    context.setCamera(Math::CameraTransformChain::orthographic(kSize, kSize, {0, 0}, 20));
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
    manipulate("POSITION_3D", {rig.p3});
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
