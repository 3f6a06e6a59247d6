#pragma once

// Every component class the plug-in registers, with the attributes it is built from, and a
// node that holds one attribute of each kind so that any of them can be built, painted and
// (for manipulators) dragged the way the host does it.

#include "host/draw/VS_SceneRenderer.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <QString>

#include <memory>
#include <vector>

namespace reliability {

enum class Family { Transformation, Manipulator, Painter, Picker };

// `attributes` names the kinds the creation is handed, in order: "double", "bool",
// "string", "position2d", "position3d", "rotation3d", "scale3d".
struct Component {
    Family family;
    const char* type;
    std::vector<const char*> attributes;
};

inline const std::vector<Component>& allComponents() {
    static const std::vector<Component> all = {
        {Family::Transformation, "TRANSLATION_X", {"double"}},
        {Family::Transformation, "TRANSLATION_Y", {"double"}},
        {Family::Transformation, "TRANSLATION_Z", {"double"}},
        {Family::Transformation, "TRANSLATION_XY", {"position2d"}},
        {Family::Transformation, "TRANSLATION_XYZ", {"position3d"}},
        {Family::Transformation, "ROTATION_X", {"double"}},
        {Family::Transformation, "ROTATION_Y", {"double"}},
        {Family::Transformation, "ROTATION_Z", {"double"}},
        {Family::Transformation, "ROTATION_3D", {"rotation3d"}},
        {Family::Transformation, "SCALE_X", {"double"}},
        {Family::Transformation, "SCALE_Y", {"double"}},
        {Family::Transformation, "SCALE_Z", {"double"}},
        {Family::Transformation, "SCALE_3D", {"scale3d"}},
        {Family::Manipulator, "TRANSLATION_X", {"double"}},
        {Family::Manipulator, "TRANSLATION_Y", {"double"}},
        {Family::Manipulator, "TRANSLATION_Z", {"double"}},
        {Family::Manipulator, "ROTATION_X", {"double"}},
        {Family::Manipulator, "ROTATION_Y", {"double"}},
        {Family::Manipulator, "ROTATION_Z", {"double"}},
        {Family::Manipulator, "ROTATION_3D", {"rotation3d"}},
        {Family::Manipulator, "SLIDER", {"double"}},
        {Family::Manipulator, "BUTTON", {"bool"}},
        {Family::Manipulator, "SCRIPT", {}},
        {Family::Manipulator, "POSITION_2D", {"position2d"}},
        {Family::Manipulator, "POSITION_3D", {"position3d"}},
        {Family::Painter, "ARROW_X", {}},
        {Family::Painter, "ARROW_Y", {}},
        {Family::Painter, "ARROW_Z", {}},
        {Family::Painter, "CIRCLE_X", {}},
        {Family::Painter, "CIRCLE_Y", {}},
        {Family::Painter, "CIRCLE_Z", {}},
        {Family::Painter, "DRAG_DEBUGGER", {}},
        {Family::Painter, "PLANE_XY", {}},
        {Family::Painter, "PLANE_XZ", {}},
        {Family::Painter, "PLANE_YZ", {}},
        {Family::Painter, "SPHERE", {}},
        {Family::Painter, "LABEL", {"position2d", "string"}},
        {Family::Painter, "SLIDER", {"double"}},
        {Family::Painter, "SLIDER_FRAME", {}},
        {Family::Painter, "BUTTON", {"bool"}},
        {Family::Painter, "CHECKBOX", {"bool"}},
        {Family::Painter, "POINT_2D", {"position2d"}},
        {Family::Painter, "LINE_2D", {"position2d", "position2d"}},
        {Family::Painter, "BOX_2D", {}},
        {Family::Picker, "MONO", {"double"}},
        {Family::Picker, "MULTI", {"position3d"}},
    };
    return all;
}

inline QString describe(const Component& c) {
    static const char* const families[] = {"local transformation", "drag manipulator", "painter", "pick adaptor"};
    return QString("%1 %2").arg(families[int(c.family)], c.type);
}

// A node with one attribute of every kind (two 2D positions, for lines), all finite.
struct Rig {
    SC_SceneCommon scene;
    MO_Module* node = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "n")));
    AT_DoubleAttr* d = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "d", 0.25));
    AT_BoolAttr* b = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "b", true));
    AT_StringAttr* s = node->addAttribute(std::make_unique<AT_StringAttr>(node, "s", "label"));
    AT_Position2dAttr* p2 = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "p2", Math::Point2d(0.3, 0.2)));
    AT_Position2dAttr* q2 = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "q2", Math::Point2d(-0.4, 0.1)));
    AT_Position3dAttr* p3 =
        node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "p3", Math::Point3d(0.2, -0.1, 0.3)));
    AT_Rotation3dAttr* r3 = node->addAttribute(std::make_unique<AT_Rotation3dAttr>(node, "r3"));
    AT_Scale3dAttr* s3 = node->addAttribute(std::make_unique<AT_Scale3dAttr>(node, "s3"));

    Rig() { rigkit_test::loadPlugin(); }

    std::vector<AT_Attr*> attributesFor(const Component& c) const {
        std::vector<AT_Attr*> out;
        bool firstPosition = true;
        for (const QString kind : c.attributes) {
            if (kind == "double")
                out.push_back(d);
            else if (kind == "bool")
                out.push_back(b);
            else if (kind == "string")
                out.push_back(s);
            else if (kind == "position2d")
                out.push_back(firstPosition ? p2 : q2), firstPosition = false;
            else if (kind == "position3d")
                out.push_back(p3);
            else if (kind == "rotation3d")
                out.push_back(r3);
            else if (kind == "scale3d")
                out.push_back(s3);
        }
        return out;
    }

    // Builds the component from `properties` and gives it to the node; non-painters get a
    // sphere beside them so that the node draws in both passes. False when the factory
    // refused.
    bool install(const Component& c, const MO_PropertyAccessor& properties) {
        const MO_ComponentData data{properties, attributesFor(c)};
        switch (c.family) {
            case Family::Transformation: {
                std::unique_ptr<MO_LocalTransformation> t(MO_LocalTransformationFactorySingleton().create(c.type, data));
                if (!t)
                    return false;
                node->addLocalTransformation(std::move(t));
                break;
            }
            case Family::Manipulator: {
                std::unique_ptr<SLB_SelectableDragManipulator> m(
                    SLB_SelectableDragManipulatorFactorySingleton().create(c.type, data));
                if (!m)
                    return false;
                node->setManipulator(std::move(m));
                break;
            }
            case Family::Painter: {
                std::unique_ptr<MO_OGLPainter> p(MO_OGLPainterFactorySingleton().create(c.type, data));
                if (!p)
                    return false;
                node->addPainter(std::move(p));
                return true;
            }
            case Family::Picker: {
                const SLB_PickAdaptorFactory::Data pick{properties, attributesFor(c), node, 0};
                std::unique_ptr<SLB_ModulePickAdaptor> p(SLB_PickAdaptorFactorySingleton().create(c.type, pick));
                if (!p)
                    return false;
                node->setPickAdaptor(std::move(p));
                break;
            }
        }
        const MO_ComponentData none{properties, {}};
        node->addPainter(std::unique_ptr<MO_OGLPainter>(MO_OGLPainterFactorySingleton().create("SPHERE", none)));
        if (c.family != Family::Picker) {
            const SLB_PickAdaptorFactory::Data pick{properties, {d}, node, 0};
            node->setPickAdaptor(std::unique_ptr<SLB_ModulePickAdaptor>(SLB_PickAdaptorFactorySingleton().create("MONO", pick)));
        }
        return true;
    }

    // The component installed last, as the listener the host tells of property changes.
    MO_PropertyChangeListener* listener(const Component& c) const {
        switch (c.family) {
            case Family::Transformation:
                return dynamic_cast<MO_PropertyChangeListener*>(node->localTransformations().back().get());
            case Family::Manipulator:
                return dynamic_cast<MO_PropertyChangeListener*>(node->manipulator());
            case Family::Painter:
                return dynamic_cast<MO_PropertyChangeListener*>(node->painters().back().get());
            case Family::Picker:
                return dynamic_cast<MO_PropertyChangeListener*>(node->pickAdaptor());
        }
        return nullptr;
    }

    // Both passes, without reading back: the GL commands still run through the driver.
    void paint(const VS_View& view) {
        scene.selection().clear();
        VS_SceneRenderer::drawScene(scene, view);
        scene.selection().select(node, 0, false);
        VS_SceneRenderer::drawScene(scene, view);
        VS_SceneRenderer::drawPickPass(scene, view);
    }
};

}  // namespace reliability
