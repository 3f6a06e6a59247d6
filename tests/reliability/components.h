#pragma once

// Every component class the plug-in registers, with the attributes it is built from, and a
// node that holds one attribute of each kind so that any of them can be built, painted and
// (for manipulators) dragged the way the host does it.

#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace reliability {

enum class Family { Transformation, Manipulator, Painter, Picker };

// `attributes` names the rig's attributes the creation is handed, in order.
struct Component {
    Family family;
    const char* type;
    std::vector<const char*> attributes;
};

inline const std::vector<Component>& allComponents() {
    constexpr Family T = Family::Transformation, M = Family::Manipulator, P = Family::Painter;
    static const std::vector<Component> all = {
        {T, "TRANSLATION_X", {"d"}}, {T, "TRANSLATION_Y", {"d"}}, {T, "TRANSLATION_Z", {"d"}},
        {T, "TRANSLATION_XY", {"p2"}}, {T, "TRANSLATION_XYZ", {"p3"}}, {T, "ROTATION_X", {"d"}},
        {T, "ROTATION_Y", {"d"}}, {T, "ROTATION_Z", {"d"}}, {T, "ROTATION_3D", {"r3"}}, {T, "SCALE_X", {"d"}},
        {T, "SCALE_Y", {"d"}}, {T, "SCALE_Z", {"d"}}, {T, "SCALE_3D", {"s3"}},
        {M, "TRANSLATION_X", {"d"}}, {M, "TRANSLATION_Y", {"d"}}, {M, "TRANSLATION_Z", {"d"}}, {M, "ROTATION_X", {"d"}},
        {M, "ROTATION_Y", {"d"}}, {M, "ROTATION_Z", {"d"}}, {M, "ROTATION_3D", {"r3"}}, {M, "SLIDER", {"d"}},
        {M, "BUTTON", {"b"}}, {M, "SCRIPT", {}}, {M, "POSITION_2D", {"p2"}}, {M, "POSITION_3D", {"p3"}},
        {P, "ARROW_X", {}}, {P, "ARROW_Y", {}}, {P, "ARROW_Z", {}}, {P, "CIRCLE_X", {}}, {P, "CIRCLE_Y", {}},
        {P, "CIRCLE_Z", {}}, {P, "DRAG_DEBUGGER", {}}, {P, "PLANE_XY", {}}, {P, "PLANE_XZ", {}}, {P, "PLANE_YZ", {}},
        {P, "SPHERE", {}}, {P, "LABEL", {"p2", "s"}}, {P, "SLIDER", {"d"}}, {P, "SLIDER_FRAME", {}},
        {P, "BUTTON", {"b"}}, {P, "CHECKBOX", {"b"}}, {P, "POINT_2D", {"p2"}}, {P, "LINE_2D", {"p2", "q2"}},
        {P, "BOX_2D", {}}, {Family::Picker, "MONO", {"d"}}, {Family::Picker, "MULTI", {"p3"}},
    };
    return all;
}

inline std::string describe(const Component& c, char separator = ' ') {
    static const char* const families[] = {"Transformation", "Manipulator", "Painter", "Picker"};
    return families[int(c.family)] + std::string(1, separator) + c.type;
}

constexpr int kSize = 64;

inline VS_OffscreenContext& gl() {
    static VS_OffscreenContext context(kSize, kSize);
    context.makeCurrent();
    return context;
}

inline VS_View viewThrough(const Math::CameraTransformChain& camera, int frame = 5) {
    VS_View view;
    view.camera = camera;
    view.frameKey = MO_FrameKey(frame);
    return view;
}

inline VS_View orthoView(double pixelsPerUnit = 20, int frame = 5) {
    return viewThrough(Math::CameraTransformChain::orthographic(kSize, kSize, {0, 0}, pixelsPerUnit), frame);
}

// A node with one attribute of every kind (two 2D positions, for lines), all finite.
struct Rig {
    SC_SceneCommon scene;
    MO_Module* node = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "n")));
    AT_DoubleAttr* d = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "d", 0.25));
    AT_BoolAttr* b = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "b", true));
    AT_StringAttr* s = node->addAttribute(std::make_unique<AT_StringAttr>(node, "s", "label"));
    AT_Position2dAttr* p2 =
        node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "p2", Math::Point2d(0.3, 0.2)));
    AT_Position2dAttr* q2 =
        node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "q2", Math::Point2d(-0.4, 0.1)));
    AT_Position3dAttr* p3 =
        node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "p3", Math::Point3d(0.2, -0.1, 0.3)));
    AT_Rotation3dAttr* r3 = node->addAttribute(std::make_unique<AT_Rotation3dAttr>(node, "r3"));
    AT_Scale3dAttr* s3 = node->addAttribute(std::make_unique<AT_Scale3dAttr>(node, "s3"));
    // The component installed last, as the listener the host tells of property changes.
    MO_PropertyChangeListener* listener = nullptr;

    Rig() { rigkit_test::loadPlugin(); }

    // Every scalar on the node, alone or a component of a compound attribute.
    std::vector<AT_DoubleAttr*> scalars() const {
        std::vector<AT_DoubleAttr*> out;
        for (const auto& a : node->attributes())
            if (auto* scalar = dynamic_cast<AT_DoubleAttr*>(a.get()))
                out.push_back(scalar);
            else if (auto* compound = dynamic_cast<AT_ComplexAttr*>(a.get()))
                for (std::size_t i = 0; i < compound->componentCount(); ++i)
                    out.push_back(compound->component(i));
        return out;
    }

    // Builds the component from `properties` and gives it to the node; non-painters get a
    // sphere beside them so that the node draws in both passes. False when the factory
    // refused.
    bool install(const Component& c, const MO_PropertyAccessor& properties) {
        std::vector<AT_Attr*> attributes;
        for (const char* name : c.attributes)
            attributes.push_back(node->attribute(name));
        const MO_ComponentData data{properties, attributes};
        const auto picker = [&](const char* type, std::vector<AT_Attr*> attrs) {
            return SLB_PickAdaptorFactorySingleton().create(type, {properties, std::move(attrs), node, 0});
        };
        const bool made =
            c.family == Family::Transformation
                ? give(MO_LocalTransformationFactorySingleton().create(c.type, data), &MO_Node::addLocalTransformation)
            : c.family == Family::Manipulator
                ? give(SLB_SelectableDragManipulatorFactorySingleton().create(c.type, data), &MO_Node::setManipulator)
            : c.family == Family::Painter
                ? give(MO_OGLPainterFactorySingleton().create(c.type, data), &MO_Node::addPainter)
                : give(picker(c.type, attributes), &MO_Node::setPickAdaptor);
        if (!made || c.family == Family::Painter)
            return made;
        node->addPainter(
            std::unique_ptr<MO_OGLPainter>(MO_OGLPainterFactorySingleton().create("SPHERE", {properties, {}})));
        if (c.family != Family::Picker)
            node->setPickAdaptor(std::unique_ptr<SLB_ModulePickAdaptor>(picker("MONO", {d})));
        return true;
    }

    // Both passes, without reading back: the GL commands still run through the driver.
    void paint(const VS_View& view) {
        scene.selection().clear();
        VS_SceneRenderer::drawScene(scene, view);
        scene.selection().select(node, 0, false);
        VS_SceneRenderer::drawScene(scene, view);
        VS_SceneRenderer::drawPickPass(scene, view);
    }

private:
    template <class T>
    bool give(T* made, void (MO_Node::*add)(std::unique_ptr<T>)) {
        listener = dynamic_cast<MO_PropertyChangeListener*>(made);
        if (made)
            (node->*add)(std::unique_ptr<T>(made));
        return made != nullptr;
    }
};

}  // namespace reliability
