// Random edit scripts against the undo history: every drag manipulator, over curves of every
// kind, in both animation modes, interleaved with undos and redos. Whatever the history
// walks back to must be the scene it recorded there, bit for bit.
//
// RIGKIT_UNDO_SCRIPTS sets how many scripts run; RIGKIT_UNDO_SEED the first seed (script i
// uses seed + i). A failing script prints its seed and its steps; rerun it alone with
// RIGKIT_UNDO_SEED=<seed> RIGKIT_UNDO_SCRIPTS=1.

#include "host/base/MSG_Scope.h"
#include "host/commands/CO_Command.h"
#include "host/commands/attribute_edit_commands.h"
#include "host/math/CameraTransformChain.h"
#include "host/prefs/PR_CachedPreferences.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/factories.h"
#include "manipulators/attribute_commands.h"
#include "tests/support/components.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

// A scene written out as words and numbers. The numbers compare bit for bit; they become
// text only to show how two states differ.
struct Piece {
    const char* word;  // null for a number
    double number;
    bool operator==(const Piece& o) const {
        return std::memcmp(&number, &o.number, sizeof number) == 0 &&
               (word == o.word || (word && o.word && std::strcmp(word, o.word) == 0));
    }
};
struct Pieces : std::vector<Piece> {
    Pieces& operator<<(const char* word) { return push_back({word, 0.0}), *this; }
    Pieces& operator<<(double number) { return push_back({nullptr, number}), *this; }
};

std::string text(const Pieces& pieces) {
    std::ostringstream out;
    out.precision(17);
    for (const Piece& p : pieces)
        p.word ? out << p.word : out << p.number;
    return out.str();
}

unsigned long envNumber(const char* name, unsigned long fallback) {
    const char* s = std::getenv(name);
    return s && *s ? std::strtoul(s, nullptr, 10) : fallback;
}

class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_gen(seed) {}
    double real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(m_gen); }
    int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_gen); }
    bool chance(double p) { return real(0.0, 1.0) < p; }
    // A value, now and then a round one: edits that land exactly on a key's value or on
    // zero take other paths than arbitrary doubles.
    double value() {
        const int r = integer(0, 9);
        return r == 0 ? 0.0 : r == 1 ? -0.0 : r < 4 ? integer(-20, 20) : real(-50.0, 50.0);
    }
    // Mostly whole frames, as a timeline gives them; sometimes between two.
    double frame() { return chance(0.85) ? integer(-2, 24) : integer(-4, 48) * 0.5 + 0.25; }

private:
    std::mt19937_64 m_gen;
};

// The scene at one depth of the history: a line for the curves the scene holds (linked or
// not: undo must give back the ones it made), then one per scalar attribute.
using SceneState = std::vector<Pieces>;

// ---- A random scene ------------------------------------------------------------------------

enum class CurveKind { Still, NoSocket, Empty, Bezier, FlatBezier, Ease, Velocity, Graph, Expression };
const char* const kKindNames[] = {"still", "no socket", "empty", "bezier", "flat bezier",
                                  "ease",  "velocity",  "graph", "expression"};

// Every registered drag manipulator and the kind of attribute it edits, told by the
// attribute it is built from.
enum class Edited { Double, Rotation3d, Position2d, Position3d, Bool, Nothing };
struct ManipulatorKind {
    std::string type;
    Edited attribute;
};

const std::vector<ManipulatorKind>& manipulatorKinds() {
    static const std::vector<ManipulatorKind> kinds = [] {
        const std::map<std::string, Edited> byAttribute = {{"d", Edited::Double},      {"r3", Edited::Rotation3d},
                                                           {"p2", Edited::Position2d}, {"p3", Edited::Position3d},
                                                           {"b", Edited::Bool}};
        std::vector<ManipulatorKind> out;
        for (const rigkit_test::Component& c : rigkit_test::allComponents()) {
            if (c.family != rigkit_test::Family::Manipulator)
                continue;
            // A manipulator built from no attribute edits nothing; one built from a kind the
            // scripts cannot key fails at its node, naming it.
            const auto kind = c.attributes.empty() ? byAttribute.end() : byAttribute.find(c.attributes.front());
            if (!c.attributes.empty() && kind == byAttribute.end())
                ADD_FAILURE() << c.type << " edits an attribute of a kind these scripts do not build";
            out.push_back({c.type, kind == byAttribute.end() ? Edited::Nothing : kind->second});
        }
        return out;
    }();
    return kinds;
}

// The edit commands built directly; the last two only for positions.
const char* const kDirectEdits[] = {"scalar value at a frame",      "scalar offset",
                                    "host scalar value at a frame", "host scalar offset",
                                    "host position 2D at a frame",  "host position 3D at a frame"};

struct Totals {
    unsigned long changedScripts = 0, recorded = 0, undos = 0, redos = 0;
    unsigned long recordedCurrentFrame = 0, recordedRange = 0;
    std::map<std::string, unsigned long> recordedBy;      // manipulator type → recorded edits
    std::map<std::string, unsigned long> recordedDirect;  // command → recorded direct edits
    std::map<std::string, unsigned long> curvesEdited;    // curve kind → recorded edits on it
};

class Script {
public:
    Script(std::uint64_t seed, Totals& totals) : m_seed(seed), m_rng(seed), m_totals(totals) {}

    // Runs the script; returns an empty string or what went wrong, with the steps taken.
    std::string run() {
        build();
        const SceneState start = snapshot();
        m_states = {start};
        const int steps = m_rng.integer(4, 16);
        for (int i = 0; i < steps && m_failure.empty(); ++i)
            step();
        if (!m_failure.empty())
            return report();

        // Walk back to the start and forward to the end in single jumps.
        m_history.redo(INT_MAX);
        expectAtDepth("redo to the end");
        const SceneState end = snapshot();
        m_history.undo(INT_MAX);
        expectEqual(start, "undo everything");
        m_history.redo(INT_MAX);
        expectEqual(end, "redo everything");
        if (!m_failure.empty())
            return report();
        if (end != start)
            ++m_totals.changedScripts;
        return {};
    }

private:
    struct Node {
        MO_Node* node;
        const ManipulatorKind* kind;
        AT_Attr* attribute;
        std::vector<AT_DoubleAttr*> scalars;  // the edited attribute's scalar parts
        std::vector<CurveKind> curves;
    };

    void build() {
        MSG_Log::instance().clear();
        // What the commands read from the preferences when they are built.
        PR_CachedPreferences::_PegDefaultBezier = m_rng.chance(0.5);
        PR_CachedPreferences::_SpConstantSegment = m_rng.chance(0.3);
        if (m_rng.chance(0.7))
            m_context.setCamera(Math::CameraTransformChain::orthographic(400, 400, {0, 0}, m_rng.real(40, 160)));
        else
            m_context.setCamera(Math::CameraTransformChain::perspective(
                400, 400, Math::Point3d(m_rng.real(-4, 4), m_rng.real(-4, 4), m_rng.real(4, 12)), {0, 0, 0}, {0, 1, 0},
                45.0));
        if (m_rng.chance(0.3))
            m_scene.metrics().setUnitScales(m_rng.real(0.25, 4), m_rng.real(0.25, 4), m_rng.real(0.25, 4));
        for (const ManipulatorKind& kind : manipulatorKinds())
            addNode(kind);
        randomiseContext();
    }

    void addNode(const ManipulatorKind& kind) {
        MO_Node* node = m_scene.addNode(std::make_unique<MO_Module>(&m_scene, QString::fromStdString(kind.type)));
        const bool animatable = m_rng.chance(0.9);
        Node n{node, &kind, nullptr, {}, {}};
        const auto add = [&](auto made) { n.attribute = node->addAttribute(std::move(made)); };
        if (kind.attribute == Edited::Double)
            add(std::make_unique<AT_DoubleAttr>(node, "value", m_rng.value(), animatable));
        else if (kind.attribute == Edited::Rotation3d)
            add(std::make_unique<AT_Rotation3dAttr>(
                node, "rotation", Math::Angle3d(m_rng.value(), m_rng.value(), m_rng.value()), animatable));
        else if (kind.attribute == Edited::Position2d)
            add(std::make_unique<AT_Position2dAttr>(node, "position", Math::Point2d(m_rng.value(), m_rng.value()),
                                                    animatable));
        else if (kind.attribute == Edited::Position3d)
            add(std::make_unique<AT_Position3dAttr>(
                node, "position", Math::Point3d(m_rng.value(), m_rng.value(), m_rng.value()), animatable));
        else if (kind.attribute == Edited::Bool)
            // The button writes its attribute directly, outside the history: it is not part
            // of what undo restores, so it is left out of the snapshots.
            add(std::make_unique<AT_BoolAttr>(node, "pressed", m_rng.chance(0.5)));
        if (auto* scalar = dynamic_cast<AT_DoubleAttr*>(n.attribute))
            n.scalars = {scalar};
        else if (auto* compound = dynamic_cast<AT_ComplexAttr*>(n.attribute))
            for (std::size_t i = 0; i < compound->componentCount(); ++i)
                n.scalars.push_back(compound->component(i));
        // The axis manipulators' own scalar commands undo a write on a graph by writing the
        // old value back: the key the write added stays, holding that value. Their history is
        // exact on every other kind, so graphs are left to the commands that take such keys
        // away.
        const bool graphAllowed = kind.attribute != Edited::Double || kind.type == "SLIDER";
        for (AT_DoubleAttr* s : n.scalars)
            n.curves.push_back(animate(s, graphAllowed));
        setProperties(node->propertiesForSetup(), kind);
        const MO_ComponentData data{node->properties(),
                                    n.attribute ? std::vector<AT_Attr*>{n.attribute} : std::vector<AT_Attr*>{}};
        node->setManipulator(std::unique_ptr<SLB_SelectableDragManipulator>(
            SLB_SelectableDragManipulatorFactorySingleton().create(QString::fromStdString(kind.type), data)));
        if (!node->manipulator())
            fail(std::string("no manipulator was made for ") + kind.type);
        m_nodes.push_back(std::move(n));
    }

    CurveKind animate(AT_DoubleAttr* a, bool graphAllowed) {
        if (!a->socket())
            return CurveKind::NoSocket;
        // Expressions refuse every edit: rarer, so that most scripts get somewhere.
        static const CurveKind kinds[] = {CurveKind::Still,    CurveKind::Still, CurveKind::Empty,
                                          CurveKind::Bezier,   CurveKind::FlatBezier, CurveKind::Ease,
                                          CurveKind::Velocity, CurveKind::Graph,      CurveKind::Graph,
                                          CurveKind::Bezier,   CurveKind::Expression};
        CurveKind kind = kinds[m_rng.integer(0, sizeof kinds / sizeof kinds[0] - 1)];
        if (kind == CurveKind::Graph && !graphAllowed)
            kind = CurveKind::Bezier;
        std::unique_ptr<LXTimedValue> tv;
        switch (kind) {
            case CurveKind::Empty:
            case CurveKind::Bezier: tv = std::make_unique<LXBezierTimedValue>(false); break;
            case CurveKind::FlatBezier: tv = std::make_unique<LXBezierTimedValue>(true); break;
            case CurveKind::Ease: tv = std::make_unique<LXEaseTimedValue>(); break;
            case CurveKind::Velocity: tv = std::make_unique<LXVeloBasedTimedValue>(); break;
            case CurveKind::Graph: tv = std::make_unique<LXFnc2DTimedValue>(); break;
            case CurveKind::Expression: {
                std::vector<std::pair<double, double>> samples;
                for (int i = m_rng.integer(1, 5); i > 0; --i)
                    samples.emplace_back(m_rng.frame(), m_rng.value());
                tv = std::make_unique<LXExprTimedValue>(samples);
                break;
            }
            default: return kind;
        }
        if (kind != CurveKind::Empty && kind != CurveKind::Expression)
            for (int i = m_rng.integer(1, 6); i > 0; --i) {
                LXCtrlPt p;
                p.frame = m_rng.frame();
                p.value = m_rng.value();
                p.constantSegment = m_rng.chance(0.25);
                // Every kind carries ease shares (only the velocity curve reads them), so an
                // edit that rebuilds a point instead of changing it shows.
                p.easeOut = m_rng.chance(0.5) ? m_rng.real(0, 1) : 0.0;
                p.easeIn = m_rng.chance(0.5) ? m_rng.real(0, 1) : 0.0;
                tv->controlPoints().insert(p);
            }
        a->socket()->link(tv.get());
        m_scene.addTimedValue(std::move(tv));
        return kind;
    }

    void setProperties(MO_PropertyBag& bag, const ManipulatorKind& kind) {
        const std::string type = kind.type;
        if (type == "POSITION_2D") {
            if (m_rng.chance(0.3)) {
                bag.set("xmin", m_rng.real(-40, 0));
                bag.set("xmax", m_rng.real(0, 40));
            }
            if (m_rng.chance(0.3))
                bag.set("ymax", m_rng.real(-5, 40));
            if (m_rng.chance(0.5))
                for (const char* key : {"xValues", "yValues"}) {
                    std::vector<double> values(std::size_t(m_rng.integer(1, 5)));
                    for (double& v : values)
                        v = m_rng.value();
                    bag.set(key, values);
                }
        } else if (type == "SLIDER") {
            bag.set("min", m_rng.real(-50, 0));
            bag.set("max", m_rng.real(1, 50));
            bag.set("horizontal", m_rng.chance(0.5));
            if (m_rng.chance(0.3))
                bag.set("steps", double(m_rng.integer(0, 6)));
        } else if (type == "ROTATION_3D") {
            bag.set("enable_roll", m_rng.chance(0.6));
            bag.set("radius", m_rng.real(0.2, 2.0));
        } else if (type == "BUTTON") {
            bag.set("toggle", m_rng.chance(0.5));
        }
    }

    void randomiseContext() {
        const double current = m_rng.frame();
        // The scene is evaluated at the current frame unless the host evaluates between
        // frames; the 3D rotation keys the evaluated one.
        m_context.setFrames(current, m_rng.chance(0.8) ? current : current + 0.5);
        const int mode = m_rng.integer(0, 1);
        m_context.setAnimationMode(static_cast<CX_AnimationMode>(mode));
        m_context.setFrameRange(m_rng.chance(0.25) ? MO_FrameRange::infinite()
                                                   : MO_FrameRange(m_rng.frame(), m_rng.frame()));
        static const Qt::KeyboardModifiers modifiers[] = {Qt::NoModifier, Qt::ControlModifier, Qt::ShiftModifier,
                                                          Qt::ControlModifier | Qt::ShiftModifier};
        m_context.setButtonState(modifiers[m_rng.integer(0, 3)]);
        m_context.setManipMode(m_rng.chance(0.4) ? 6 : m_rng.integer(0, 7));
        std::ostringstream out;
        out << "context: frames " << m_context.currentFrame() << '/' << m_context.frame() << ", mode " << mode
            << ", range ";
        if (m_context.frameRange().isInfinite())
            out << "all";
        else
            out << m_context.frameRange().first() << ".." << m_context.frameRange().last();
        out << ", keys 0x" << std::hex << int(m_context.buttonState()) << std::dec << ", manip mode "
            << m_context.manipMode();
        m_log.push_back(out.str());
    }

    Math::Point3d pointer() {
        // Mostly where the camera looks; now and then far off, or exactly where it was.
        if (m_rng.chance(0.1))
            return m_last;
        const double reach = m_rng.chance(0.9) ? 3.0 : 60.0;
        m_last = Math::Point3d(m_rng.real(-reach, reach), m_rng.real(-reach, reach), 0.0);
        return m_last;
    }

    void step() {
        // Redo mostly right after undo, before a new edit drops what could be redone.
        if (!m_history.redoNames().empty() && m_rng.chance(0.35)) {
            walk(false);
            return;
        }
        const int what = m_rng.integer(0, 99);
        if (what < 45)
            drag();
        else if (what < 57)
            directEdit();
        else if (what < 88)
            walk(what < 72);
        else
            randomiseContext();
    }

    void drag() {
        if (m_rng.chance(0.4))
            randomiseContext();
        Node& n = m_nodes[static_cast<std::size_t>(m_rng.integer(0, int(m_nodes.size()) - 1))];
        std::ostringstream out;
        out.precision(17);
        const Math::Point3d from = pointer();
        out << "drag " << n.kind->type << " from (" << from.x << ", " << from.y << ")";
        if (!m_session.pressAt(n.node, from)) {
            fail(out.str() + ": the press was refused");
            return;
        }
        for (int i = m_rng.integer(0, 4); i > 0; --i) {
            const Math::Point3d to = pointer();
            out << " to (" << to.x << ", " << to.y << ")";
            m_session.moveTo(to);
        }
        const std::size_t depth = m_history.size();
        const bool cancelled = m_rng.chance(0.1);
        if (cancelled)
            m_session.cancel();
        const bool recorded = !cancelled && m_session.release();
        if (after(out.str() + (cancelled ? ", cancelled" : ""), recorded, depth, n.curves)) {
            ++m_totals.recordedBy[n.kind->type];
            ++(m_context.animationMode() == CX_AnimationModeCurrentFrame ? m_totals.recordedCurrentFrame
                                                                         : m_totals.recordedRange);
            for (const Node& other : m_nodes)
                for (const AT_DoubleAttr* a : other.scalars)
                    if (a->surrogate())
                        fail("a surrogate stayed attached after the release");
        }
    }

    // Logs an edit and takes the scene it left; a cancelled, empty or refused edit leaves the
    // scene as it was. Returns `recorded`.
    bool after(const std::string& edit, bool recorded, std::size_t depth, const std::vector<CurveKind>& curves) {
        m_log.push_back(edit + (recorded ? ", recorded" : ", nothing recorded"));
        if (!recorded) {
            expectAtDepth("after an edit that recorded nothing");
            return false;
        }
        for (CurveKind k : curves)
            ++m_totals.curvesEdited[kKindNames[int(k)]];
        if (m_history.size() != depth + 1)
            fail("a recorded edit did not add exactly one history entry");
        ++m_totals.recorded;
        m_states.resize(depth + 1);  // the redo branch is gone
        m_states.push_back(snapshot());
        return true;
    }

    // The scalar commands with the flags no manipulator passes, and the host's commands
    // with a forced key: the same history, reached the way other callers reach it.
    void directEdit() {
        int which = m_rng.integer(0, 4);
        std::vector<Node*> editable;
        for (Node& n : m_nodes)
            if (which < 4 ? !n.scalars.empty() : n.scalars.size() >= 2 && n.kind->attribute != Edited::Rotation3d)
                editable.push_back(&n);
        Node& n = *editable[static_cast<std::size_t>(m_rng.integer(0, int(editable.size()) - 1))];
        const auto c = static_cast<std::size_t>(m_rng.integer(0, int(n.scalars.size()) - 1));
        AT_DoubleAttr* a = n.scalars[c];
        const double frame = m_rng.chance(0.5) ? m_context.currentFrame() : m_rng.frame();
        const double value = m_rng.chance(0.2) ? a->valueAt(frame) : m_rng.value();
        const double offset = m_rng.chance(0.2) ? 0.0 : m_rng.value();
        const bool constantSegment = m_rng.chance(0.3), forceKey = m_rng.chance(0.4);
        const bool delegate = m_rng.chance(0.5), keepFirstFrame = m_rng.chance(0.3);
        // Graphs are kept from the axis manipulators' own scalar commands (see animate) unless
        // the graph makes the command for the key itself: the host's commands instead.
        if (n.curves[c] == CurveKind::Graph && (which == 1 || (which == 0 && !delegate)))
            which += 2;
        if (which == 4 && dynamic_cast<AT_Position3dAttr*>(n.attribute))
            which = 5;
        std::ostringstream out;
        out.precision(17);
        out << kDirectEdits[which];
        std::unique_ptr<CO_Command> cmd;
        if (which == 0) {
            out << ' ' << frame << " = " << value << " hold " << constantSegment << " force " << forceKey
                << " delegate " << delegate << " keep first " << keepFirstFrame;
            cmd = std::make_unique<rigkit::SetValueCurrentFrameCmd>(&m_scene, a, frame, value, constantSegment,
                                                                    forceKey, delegate, keepFirstFrame);
        } else if (which == 1) {
            out << " by " << offset;
            cmd = std::make_unique<rigkit::OffsetValueAllFramesCmd>(a, offset, m_context.frameRange());
        } else if (which == 2) {
            out << ' ' << frame << " = " << value << " force " << forceKey;
            cmd.reset(Attr::Double::createSetValueCurrentFrameCmd(&m_scene, a, frame, value, forceKey));
        } else if (which == 3) {
            out << " by " << offset;
            cmd.reset(Attr::Double::createOffsetValueAllFramesCmd(a, offset, m_context.frameRange()));
        } else {
            out << ' ' << frame << " force " << forceKey;
            if (auto* p2 = dynamic_cast<AT_Position2dAttr*>(n.attribute))
                cmd.reset(
                    Attr::Position2d::createSetValueCurrentFrameCmd(&m_scene, p2, frame, value, offset, forceKey));
            else
                cmd.reset(Attr::Position3d::createSetValueCurrentFrameCmd(
                    &m_scene, dynamic_cast<AT_Position3dAttr*>(n.attribute), frame, value, offset, value, forceKey));
        }
        const std::size_t depth = m_history.size();
        const bool recorded = m_history.perform(kDirectEdits[which], std::move(cmd));
        out << " on " << n.kind->type << '.' << c;
        if (after(out.str(), recorded, depth, {n.curves[c]}))
            ++m_totals.recordedDirect[kDirectEdits[which]];
    }

    void walk(bool back) {
        const int asked = m_rng.integer(1, 3);
        const int walked = back ? m_history.undo(asked) : m_history.redo(asked);
        (back ? m_totals.undos : m_totals.redos) += static_cast<unsigned long>(walked);
        const std::string what = back ? "undo" : "redo";
        m_log.push_back(what + ' ' + std::to_string(asked) + " (walked " + std::to_string(walked) + ")");
        expectAtDepth(("after " + what).c_str());
    }

    SceneState snapshot() const {
        SceneState out(1);
        out[0] << "the scene holds " << double(m_scene.timedValueCount()) << " curves";
        for (const Node& n : m_nodes)
            for (std::size_t c = 0; c < n.scalars.size(); ++c) {
                const AT_DoubleAttr* a = n.scalars[c];
                Pieces& s = out.emplace_back();
                s << n.kind->type.c_str() << "." << double(c) << " (" << kKindNames[int(n.curves[c])] << "): local "
                  << a->localValue() << (a->socket() ? "" : " (no socket)") << (a->surrogate() ? " surrogate" : "");
                if (const LXTimedValue* tv = a->timedValue()) {
                    const auto* bezier = dynamic_cast<const LXBezierTimedValue*>(tv);
                    // Which curve is linked matters too; addresses fit in a double's 53 bits.
                    s << " curve " << double(reinterpret_cast<std::uintptr_t>(tv)) << " " << typeid(*tv).name()
                      << (m_scene.holdsTimedValue(tv) ? "" : " NOT IN SCENE")
                      << (bezier && bezier->hasFlatTangents() ? " flat" : "") << " [";
                    for (const LXCtrlPt& p : tv->controlPoints())
                        s << " (" << p.frame << ", " << p.value << (p.constantSegment ? ", hold" : "") << ", ease "
                          << p.easeOut << "/" << p.easeIn << ")";
                    // An expression's curve is its samples.
                    if (dynamic_cast<const LXExprTimedValue*>(tv))
                        for (const auto& [f, v] : tv->keys())
                            s << " <" << f << ", " << v << ">";
                    s << " ]";
                }
            }
        return out;
    }

    void expectAtDepth(const char* when) {
        const std::size_t depth = m_history.size();
        if (depth >= m_states.size())
            fail(std::string(when) + ": the history is deeper than the edits recorded");
        else
            expectEqual(m_states[depth], std::string(when) + " (depth " + std::to_string(depth) + ")");
    }

    void expectEqual(const SceneState& expected, const std::string& when) {
        if (!m_failure.empty())
            return;
        const SceneState now = snapshot();
        if (now == expected)
            return;
        std::ostringstream out;
        out << when << ": the scene differs from the one recorded there";
        for (std::size_t i = 0; i < now.size(); ++i)
            if (now[i] != expected[i])
                out << "\n  expected " << text(expected[i]) << "\n  found    " << text(now[i]);
        fail(out.str());
    }

    void fail(const std::string& what) {
        if (m_failure.empty())
            m_failure = what;
    }

    std::string report() const {
        std::ostringstream out;
        out << "script with seed " << m_seed << " failed: " << m_failure << "\nsteps:";
        for (const std::string& s : m_log)
            out << "\n  " << s;
        return out.str();
    }

    std::uint64_t m_seed;
    Rng m_rng;
    Totals& m_totals;
    SC_SceneCommon m_scene;
    SLB_DragContext m_context{&m_scene};
    CO_UndoHistory m_history;
    SLB_DragSession m_session{m_context, m_history};
    std::vector<Node> m_nodes;
    std::vector<SceneState> m_states;  // the scene at each depth of the history
    std::vector<std::string> m_log;
    Math::Point3d m_last{0.0, 0.0, 0.0};
    std::string m_failure;
};

}  // namespace

TEST(UndoProperties, RandomEditScriptsUndoAndRedoToBitIdenticalScenes) {
    rigkit_test::loadPlugin();
    const bool pegDefaultBezier = PR_CachedPreferences::_PegDefaultBezier;
    const bool constantSegment = PR_CachedPreferences::_SpConstantSegment;
    const unsigned long scripts = envNumber("RIGKIT_UNDO_SCRIPTS", 800);
    const unsigned long firstSeed = envNumber("RIGKIT_UNDO_SEED", 20261206);
    Totals totals;
    std::string failure;
    for (unsigned long i = 0; i < scripts && failure.empty(); ++i)
        failure = Script(firstSeed + i, totals).run();
    PR_CachedPreferences::_PegDefaultBezier = pegDefaultBezier;
    PR_CachedPreferences::_SpConstantSegment = constantSegment;
    ASSERT_TRUE(failure.empty()) << failure;
    std::ostringstream summary;
    summary << scripts << " scripts, " << totals.recorded << " recorded edits (" << totals.recordedCurrentFrame
            << " at the current frame, " << totals.recordedRange << " over a range), " << totals.undos << " undos, "
            << totals.redos << " redos, " << totals.changedScripts << " scripts changed the scene";
    const auto list = [&](const char* title, const std::map<std::string, unsigned long>& counts, const char* quote) {
        summary << "\n  " << title << ':';
        for (const auto& [name, n] : counts)
            summary << ' ' << quote << name << quote << '=' << n;
    };
    list("by manipulator", totals.recordedBy, "");
    list("direct", totals.recordedDirect, "\"");
    list("by curve kind edited", totals.curvesEdited, "");
    std::cout << summary.str() << std::endl;

    // A property that holds because nothing happened proves nothing: the edits must have
    // run, through every manipulator that records, in both modes, on every kind of curve.
    EXPECT_GT(totals.recorded, 0u);
    EXPECT_GT(totals.undos, 0u);
    EXPECT_GT(totals.redos, 0u);
    EXPECT_GE(totals.changedScripts * 2, scripts) << "fewer than half of the scripts changed the scene";
    if (scripts >= 100) {
        for (const ManipulatorKind& m : manipulatorKinds())
            if (m.attribute != Edited::Bool && m.attribute != Edited::Nothing) {
                EXPECT_GT(totals.recordedBy[m.type], 0u) << m.type << " never recorded an edit";
            }
        EXPECT_GT(totals.recordedCurrentFrame, 0u);
        EXPECT_GT(totals.recordedRange, 0u);
        for (const char* edit : kDirectEdits) {
            EXPECT_GT(totals.recordedDirect[edit], 0u) << "no \"" << edit << "\" was recorded";
        }
        // An expression refuses every edit, so only a compound attribute with an expression
        // in a component that the edit leaves alone records anything: not asked for.
        for (const char* kind : kKindNames)
            if (std::string(kind) != "expression") {
                EXPECT_GT(totals.curvesEdited[kind], 0u) << "no edit recorded on a " << kind << " attribute";
            }
    }
}
