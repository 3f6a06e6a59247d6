// Every registered component built from fuzzed properties and attributes (fitting, wrong
// and missing), drawn in the ordinary and the picking pass, changed through a second set
// of properties, drawn again and destroyed.

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_support.h"
#include "host/base/MSG_Scope.h"
#include "host/base/UT_DPI.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/factories.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

constexpr int kSize = 32;

VS_OffscreenContext& gl() {
    static VS_OffscreenContext context(kSize, kSize);
    return context;
}

// The attributes a type is meant to be bound to, told from its type string; a guess is
// enough, since the fuzzer also binds wrong ones.
std::vector<AT_Attr*> fittingFor(const QString& type, const fuzz::Attributes& a) {
    if (type.contains("ROTATION_3D"))
        return {a.rotation3d};
    if (type.contains("SCALE_3D"))
        return {a.scale3d};
    if (type.contains("XYZ") || type.contains("POSITION_3D"))
        return {a.position3d};
    if (type.contains("LINE_2D"))
        return {a.position2d, a.position2d2};
    if (type.contains("XY") || type.contains("_2D"))
        return {a.position2d};
    if (type.contains("BUTTON") || type.contains("CHECKBOX"))
        return {a.boolean};
    return {a.scalar};
}

Math::CameraTransformChain camera(fuzz::Input& in) {
    static const double kPixelsPerUnit[] = {16.0, 100.0, 1.0, 1e-3, 1e6};
    if (in.byte() % 4 != 0)
        return Math::CameraTransformChain::orthographic(kSize, kSize, {in.moderate(1e3), in.moderate(1e3)},
                                                        in.pick(kPixelsPerUnit));
    static const Math::Point3d kEyes[] = {{0, 0, 10}, {3, 4, 5}, {0, 10, 0.001}, {-7, 0, 0}};
    return Math::CameraTransformChain::perspective(kSize, kSize, in.pick(kEyes), {0, 0, 0}, {0, 1, 0},
                                                   in.between(1, 179));
}

// Both passes; the pick pass's hit at a fuzzed pixel is handed to the node's adaptor as a
// click would hand it.
void drawBoth(fuzz::Input& in, SC_SceneCommon& scene, const VS_View& view) {
    VS_SceneRenderer::render(gl(), scene, view);
    const VS_PickImage pick = VS_SceneRenderer::renderPick(gl(), scene, view);
    const VS_PickHit hit = pick.hitAt(in.between(0, kSize - 1), in.between(0, kSize - 1));
    if (hit && hit.node->pickAdaptor())
        hit.node->pickAdaptor()->scanHits(hit.handleId, in.flag(), Qt::KeyboardModifiers(in.between(0, 7) << 25));
}

template <class Factory>
typename Factory::Product* create(fuzz::Input& in, const Factory& factory, const fuzz::Attributes& a,
                                  const MO_PropertyAccessor& properties, MO_Module* module) {
    const std::vector<QString> names = factory.names();
    if (names.empty())
        return nullptr;
    const QString& type = names[static_cast<std::size_t>(in.between(0, static_cast<int>(names.size()) - 1))];
    const std::vector<AT_Attr*> bound = fuzz::bindAttributes(in, fittingFor(type, a), a);
    if constexpr (std::is_same_v<typename Factory::Data, SLB_PickAdaptorData>) {
        SLB_PickAdaptorData data{properties, bound, module, 0};
        data.subSelectionIndex = in.flag() ? in.between(-3, 3) : in.between(INT32_MIN, INT32_MAX);
        return factory.create(type, data);
    } else {
        return factory.create(type, MO_ComponentData{properties, bound});
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::loadPluginOnce();
    fuzz::Input in(data, size);
    MSG_Log::instance().clear();
    static const float kDpi[] = {1.0f, 2.0f, 0.5f};
    UT_DPI::s_dpiScale = in.pick(kDpi);

    SC_SceneCommon scene;
    static const double kUnitScales[] = {1.0, 2.0, 0.01, 1e6};
    scene.metrics().setUnitScales(in.pick(kUnitScales), in.pick(kUnitScales), in.pick(kUnitScales));

    // A node upstream, which a port can bring in as the parent transformation.
    auto* source = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "source")));
    const fuzz::Attributes sourceAttributes = fuzz::addAttributes(in, source, scene, true);
    source->addLocalTransformation(
        std::unique_ptr<MO_LocalTransformation>(MO_LocalTransformationFactorySingleton().create(
            "TRANSLATION_XYZ", MO_ComponentData{source->properties(), {sourceAttributes.position3d}})));

    auto* node = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "node")));
    if (in.flag())
        node->setParent(source);
    for (int i = in.between(0, 2); i > 0; --i)
        node->addInPort(in.flag() ? source : nullptr);
    fuzz::fillProperties(in, node->propertiesForSetup(), 12);
    const fuzz::Attributes attributes = fuzz::addAttributes(in, node, scene, false);
    const MO_PropertyAccessor& properties = node->properties();

    // The component under test, and whatever the node needs beside it to be drawn in both
    // passes.
    MO_PropertyChangeListener* listener = nullptr;
    switch (in.between(0, 3)) {
        case 0: {
            MO_OGLPainter* p = create(in, MO_OGLPainterFactorySingleton(), attributes, properties, node);
            if (!p)
                return 0;
            node->addPainter(std::unique_ptr<MO_OGLPainter>(p));
            listener = dynamic_cast<MO_PropertyChangeListener*>(p);
            break;
        }
        case 1: {
            MO_LocalTransformation* t =
                create(in, MO_LocalTransformationFactorySingleton(), attributes, properties, node);
            if (!t)
                return 0;
            node->addLocalTransformation(std::unique_ptr<MO_LocalTransformation>(t));
            listener = dynamic_cast<MO_PropertyChangeListener*>(t);
            break;
        }
        case 2: {
            SLB_SelectableDragManipulator* m =
                create(in, SLB_SelectableDragManipulatorFactorySingleton(), attributes, properties, node);
            if (!m)
                return 0;
            node->setManipulator(std::unique_ptr<SLB_SelectableDragManipulator>(m));
            listener = dynamic_cast<MO_PropertyChangeListener*>(m);
            break;
        }
        default: {
            SLB_ModulePickAdaptor* p = create(in, SLB_PickAdaptorFactorySingleton(), attributes, properties, node);
            if (!p)
                return 0;
            node->setPickAdaptor(std::unique_ptr<SLB_ModulePickAdaptor>(p));
            listener = dynamic_cast<MO_PropertyChangeListener*>(p);
            break;
        }
    }
    if (node->painters().empty())
        node->addPainter(std::unique_ptr<MO_OGLPainter>(
            MO_OGLPainterFactorySingleton().create("SPHERE", MO_ComponentData{properties, {}})));
    if (!node->pickAdaptor())
        node->setPickAdaptor(std::unique_ptr<SLB_ModulePickAdaptor>(SLB_PickAdaptorFactorySingleton().create(
            "MONO", SLB_PickAdaptorData{properties, {attributes.scalar}, node, 0})));
    if (in.flag())
        scene.selection().select(node, in.between(-1, 3), false);

    VS_View view;
    view.camera = camera(in);
    view.frameKey = MO_FrameKey(in.frame(1e6));
    drawBoth(in, scene, view);

    // The second set of properties, told to the component one change at a time, as the
    // host tells it.
    if (listener)
        node->addPropertyListener(listener);
    for (int i = in.between(0, 8); i > 0; --i) {
        if (in.byte() % 4 == 0)
            node->removeProperty(fuzz::propertyKey(in));
        else {
            const QString key = fuzz::propertyKey(in);
            node->setProperty(key, fuzz::propertyValue(in));
        }
    }
    view.frameKey = MO_FrameKey(in.frame(1e6));
    drawBoth(in, scene, view);
    // Drawn again in place, art that was kept comes from its picture.
    VS_SceneRenderer::render(gl(), scene, view);
    return 0;
}
