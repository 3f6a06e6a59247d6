// One of the drag manipulators over a node whose attributes carry curves of every kind,
// driven by fuzzed gestures: presses, moves and releases anywhere, with modifiers,
// manipulation modes, both animation modes and any range; now and then without a macro
// or without a selection. Every recorded edit is then undone and redone.

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_support.h"
#include "host/base/MSG_Scope.h"
#include "host/commands/CO_Command.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/factories.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

// The attribute a manipulator is meant to be bound to: the first of the node's kinds that
// its factory accepts, so that every registered manipulator gets dragged without a list
// of them here.
std::vector<AT_Attr*> fitting(const QString& type, const fuzz::Attributes& a, const MO_PropertyAccessor& properties) {
    const SLB_SelectableDragManipulatorFactory& factory = SLB_SelectableDragManipulatorFactorySingleton();
    for (AT_Attr* attribute :
         {static_cast<AT_Attr*>(a.scalar), static_cast<AT_Attr*>(a.boolean), static_cast<AT_Attr*>(a.position2d),
          static_cast<AT_Attr*>(a.position3d), static_cast<AT_Attr*>(a.rotation3d), static_cast<AT_Attr*>(a.scale3d),
          static_cast<AT_Attr*>(a.string)})
        if (std::unique_ptr<SLB_SelectableDragManipulator>(factory.create(type, {properties, {attribute}})))
            return {attribute};
    return {};
}

Math::CameraTransformChain camera(fuzz::Input& in) {
    static const double kPixelsPerUnit[] = {100.0, 1.0, 37.5, 1e-3, 1e6};
    if (in.byte() % 4 != 0)
        return Math::CameraTransformChain::orthographic(kWidth, kHeight, {in.moderate(1e3), in.moderate(1e3)},
                                                        in.pick(kPixelsPerUnit));
    static const Math::Point3d kEyes[] = {{0, 0, 10}, {3, 4, 5}, {0, 10, 0.001}, {-7, 0, 0}, {0, 0, -3}};
    return Math::CameraTransformChain::perspective(kWidth, kHeight, in.pick(kEyes), {0, 0, 0}, {0, 1, 0},
                                                   in.between(1, 179));
}

// The local transformations that make the node's matrix, so that drags start from a
// moved, turned or scaled frame.
void transform(fuzz::Input& in, MO_Node* node, const fuzz::Attributes& a) {
    const std::pair<const char*, AT_Attr*> kinds[] = {
        {"TRANSLATION_XYZ", a.position3d}, {"ROTATION_3D", a.rotation3d}, {"SCALE_3D", a.scale3d},
        {"TRANSLATION_X", a.scalar},       {"ROTATION_Z", a.scalar},      {"TRANSLATION_XY", a.position2d},
    };
    for (int i = in.between(0, 3); i > 0; --i) {
        const auto& [type, attr] = in.pick(kinds);
        if (MO_LocalTransformation* t =
                MO_LocalTransformationFactorySingleton().create(type, MO_ComponentData{node->properties(), {attr}}))
            node->addLocalTransformation(std::unique_ptr<MO_LocalTransformation>(t));
    }
}

Math::Point2d windowPoint(fuzz::Input& in) {
    if (in.byte() % 4 == 0)
        return {in.moderate(1e7), in.moderate(1e7)};
    return {in.between(-50, kWidth + 50) + in.between(0, 3) * 0.25, in.between(-50, kHeight + 50) + 0.5};
}

Math::Point3d pointerPoint(fuzz::Input& in) {
    return {in.moderate(1e4), in.moderate(1e4), in.byte() % 4 == 0 ? in.moderate(10) : 0.0};
}

void setUp(fuzz::Input& in, SLB_DragContext& drag, const Math::CameraTransformChain& view) {
    drag.setCamera(view);
    const double frame = in.frame(1e4);
    drag.setFrames(frame, in.flag() ? frame : frame + in.between(0, 3) * 0.25);
    if (in.flag()) {
        drag.setAnimationMode(CX_AnimationModeRange);
        if (in.byte() % 4 == 0)
            drag.setFrameRange(MO_FrameRange::infinite());
        else
            drag.setFrameRange(MO_FrameRange(in.frame(1e4), in.frame(1e4)));
    } else {
        drag.setAnimationMode(CX_AnimationModeCurrentFrame);
    }
    drag.setButtonState(Qt::KeyboardModifiers(in.between(0, 7) << 25));
    drag.setManipMode(in.flag() ? in.between(-1, 3) : in.between(INT32_MIN, INT32_MAX));
}

// Press, moves and release through the host's session, which records the edit.
void sessionGesture(fuzz::Input& in, SLB_DragContext& drag, CO_UndoHistory& history, MO_Node* node) {
    SLB_DragSession session(drag, history);
    const bool inPointer = in.flag();
    if (!(inPointer ? session.pressAt(node, pointerPoint(in)) : session.press(node, windowPoint(in))))
        return;
    for (int i = in.between(0, 8); i > 0; --i) {
        if (inPointer)
            session.moveTo(pointerPoint(in));
        else
            session.move(windowPoint(in));
    }
    if (in.byte() % 8 == 0)
        session.cancel();
    else
        session.release();
}

// The manipulator called directly, as a host that records nothing calls it: no macro, and
// perhaps nothing selected.
void bareGesture(fuzz::Input& in, SLB_DragContext& drag, MO_Node* node) {
    SLB_SelectedInterface* selected = in.flag() ? node->selInterface() : nullptr;
    SLB_SelectableDragManipulator* m = node->manipulator();
    const Math::Point3d start = pointerPoint(in);
    m->dragStarted(drag, selected, start.x, start.y, start.z);
    for (int i = in.between(0, 6); i > 0; --i) {
        const Math::Point3d p = pointerPoint(in);
        m->drag(drag, selected, p.x, p.y, p.z);
    }
    m->dragFinished(drag, selected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::loadPluginOnce();
    fuzz::Input in(data, size);
    MSG_Log::instance().clear();

    SC_SceneCommon scene;
    static const double kUnitScales[] = {1.0, 2.0, 0.01, 1e6};
    scene.metrics().setUnitScales(in.pick(kUnitScales), in.pick(kUnitScales), in.pick(kUnitScales));

    auto* source = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "source")));
    const fuzz::Attributes sourceAttributes = fuzz::addAttributes(in, source, scene, true);
    transform(in, source, sourceAttributes);

    auto* node = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "node")));
    if (in.flag())
        node->setParent(source);
    for (int i = in.between(0, 2); i > 0; --i)
        node->addInPort(in.flag() ? source : nullptr);
    fuzz::fillProperties(in, node->propertiesForSetup(), 6);
    const fuzz::Attributes attributes = fuzz::addAttributes(in, node, scene, true);
    transform(in, node, attributes);

    const std::vector<QString> names = SLB_SelectableDragManipulatorFactorySingleton().names();
    if (names.empty())
        return 0;
    const QString& chosen = names[static_cast<std::size_t>(in.between(0, static_cast<int>(names.size()) - 1))];
    const std::vector<AT_Attr*> bound =
        fuzz::bindAttributes(in, fitting(chosen, attributes, node->properties()), attributes);
    SLB_SelectableDragManipulator* m =
        SLB_SelectableDragManipulatorFactorySingleton().create(chosen, MO_ComponentData{node->properties(), bound});
    if (!m)
        return 0;
    node->setManipulator(std::unique_ptr<SLB_SelectableDragManipulator>(m));

    const Math::CameraTransformChain view = camera(in);
    CO_UndoHistory history;
    for (int gesture = in.between(1, 4); gesture > 0 && !in.exhausted(); --gesture) {
        if (in.flag())
            scene.selection().select(node, in.between(0, 2), in.flag());
        else
            scene.selection().clear();
        SLB_DragContext drag(&scene);
        setUp(in, drag, view);
        if (in.byte() % 4 == 0)
            bareGesture(in, drag, node);
        else
            sessionGesture(in, drag, history, node);
        const int back = in.between(0, 3);
        history.undo(back);
        history.redo(in.between(0, back));
    }
    // The whole history both ways.
    while (history.undo() == 1) {
    }
    while (history.redo() == 1) {
    }
    return 0;
}
