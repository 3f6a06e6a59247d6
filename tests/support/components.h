#pragma once

// Every component class the plug-in registers, with the attributes it is built from, and a
// node that holds one attribute of each kind so that any of them can be built, painted and
// (for manipulators) dragged the way the host does it.

#include "host/draw/VS_SceneRenderer.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "tests/support/gl_context.h"
#include "tests/support/plugin.h"

#include <QString>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace rigkit_test {

enum class Family { Transformation, Manipulator, Painter, Picker };

// `attributes` names the rig's attributes the creation is handed, in order; empty for a
// component that no list of them builds (the tests that install it then fail, naming it).
struct Component {
    Family family;
    std::string type;
    std::vector<const char*> attributes;
};

namespace detail {

// The lists of the rig's attributes tried, in order, on a registered type: the first one
// its factory accepts is the one it is built from.
inline const std::vector<std::vector<const char*>>& attributeTrials() {
    static const std::vector<std::vector<const char*>> trials = {
        {}, {"d"}, {"b"}, {"s"}, {"p2"}, {"p3"}, {"r3"}, {"s3"}, {"p2", "q2"},
    };
    return trials;
}

// Components that need no attribute but draw from the ones they are given get these, so
// that their attributes are exercised too.
inline std::vector<const char*> richerAttributes(Family family, const std::string& type) {
    if (family == Family::Painter && type == "LABEL")
        return {"p2", "s"};
    return {};
}

}  // namespace detail

// Every component the plug-in registers, in every factory, read from the factories
// themselves: a new class is covered by every test that goes over this list without being
// named here.
inline const std::vector<Component>& allComponents();

// Test lists show the type string rather than the parameter's bytes, which hold addresses
// and so would name the tests differently on every run.
inline void PrintTo(const Component& component, std::ostream* out) {
    *out << component.type;
}

inline std::string describe(const Component& c, char separator = ' ') {
    static const char* const families[] = {"Transformation", "Manipulator", "Painter", "Picker"};
    return families[int(c.family)] + std::string(1, separator) + c.type;
}

constexpr int kSize = 64;

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
        const bool made = create(c.family, c.type, properties, attributes);
        if (!made || c.family == Family::Painter)
            return made;
        node->addPainter(
            std::unique_ptr<MO_OGLPainter>(MO_OGLPainterFactorySingleton().create("SPHERE", {properties, {}})));
        if (c.family != Family::Picker)
            node->setPickAdaptor(std::unique_ptr<SLB_ModulePickAdaptor>(
                SLB_PickAdaptorFactorySingleton().create("MONO", {properties, {d}, node, 0})));
        return true;
    }

    // Made by its family's factory, as the host makes it, and given to the node. A picker is
    // handed the node's module unless `withModule` is false. False when the factory refused.
    bool create(Family family, const std::string& type, const MO_PropertyAccessor& properties,
                std::vector<AT_Attr*> attributes, bool withModule = true) {
        const QString name = QString::fromStdString(type);
        const MO_ComponentData data{properties, attributes};
        switch (family) {
            case Family::Transformation:
                return give(MO_LocalTransformationFactorySingleton().create(name, data), &MO_Node::addLocalTransformation);
            case Family::Manipulator:
                return give(SLB_SelectableDragManipulatorFactorySingleton().create(name, data), &MO_Node::setManipulator);
            case Family::Painter:
                return give(MO_OGLPainterFactorySingleton().create(name, data), &MO_Node::addPainter);
            case Family::Picker:
                return give(SLB_PickAdaptorFactorySingleton().create(
                                       name, {properties, std::move(attributes), withModule ? node : nullptr, 0}),
                                   &MO_Node::setPickAdaptor);
        }
        return false;
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

inline std::vector<QString> registeredNames(Family family) {
    switch (family) {
        case Family::Transformation:
            return MO_LocalTransformationFactorySingleton().names();
        case Family::Manipulator:
            return SLB_SelectableDragManipulatorFactorySingleton().names();
        case Family::Painter:
            return MO_OGLPainterFactorySingleton().names();
        case Family::Picker:
            break;
    }
    return SLB_PickAdaptorFactorySingleton().names();
}

inline const std::vector<Component>& allComponents() {
    static const std::vector<Component> all = [] {
        std::vector<Component> out;
        rigkit_test::loadPlugin();
        for (Family family : {Family::Transformation, Family::Manipulator, Family::Painter, Family::Picker})
            for (const QString& name : registeredNames(family)) {
                Component c{family, name.toStdString(), {}};
                const std::vector<const char*> richer = detail::richerAttributes(family, c.type);
                std::vector<std::vector<const char*>> trials = detail::attributeTrials();
                if (!richer.empty())
                    trials.insert(trials.begin(), richer);
                for (const std::vector<const char*>& attributes : trials) {
                    c.attributes = attributes;
                    Rig probe;
                    if (probe.install(c, probe.node->properties()))
                        break;
                    c.attributes.clear();
                }
                out.push_back(c);
            }
        return out;
    }();
    return all;
}

}  // namespace rigkit_test
