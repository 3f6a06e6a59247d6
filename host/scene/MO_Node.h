#pragma once

#include "host/host_api.h"
#include "host/math/Math.h"
#include "host/scene/MO_Frame.h"
#include "host/scene/MO_PropertyAccessor.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class AT_Attr;
class SC_SceneCommon;
class SC_SceneMetrics;
class MO_LocalTransformation;
class MO_OGLPainter;
class MO_Port;
class MO_PortTransform;
class MO_BaseContext;
class SLB_SelectableDragManipulator;
class SLB_ModulePickAdaptor;
class SLB_NodeInterface;

// A scene node. It owns its attributes, its properties and the components built for it;
// its matrix is its parent's matrix times its local transformations, applied in order.
class HOST_API MO_Node {
public:
    MO_Node(SC_SceneCommon* scene, QString name);
    virtual ~MO_Node();
    MO_Node(const MO_Node&) = delete;
    MO_Node& operator=(const MO_Node&) = delete;

    const QString& name() const { return m_name; }
    SC_SceneCommon* sceneCommon() const { return m_scene; }
    const SC_SceneMetrics& sceneMetrics() const;

    MO_Node* parent() const { return m_parent; }
    void setParent(MO_Node* parent) {
        touch();
        m_parent = parent;
    }

    const MO_PropertyBag& properties() const { return m_properties; }
    // Changes a property and tells every listening component.
    void setProperty(const QString& key, MO_PropertyValue value);
    bool removeProperty(const QString& key);
    // Sets and removes several properties as one change: the listeners are told once, after
    // all of it, as when a user edits a node's properties together.
    void changeProperties(const std::vector<std::pair<QString, MO_PropertyValue>>& set,
                          const std::vector<QString>& remove);
    MO_PropertyBag& propertiesForSetup() { return m_properties; }
    // Counts the changes to what the node is made of and how it is placed (parent, ports,
    // alignment, attributes, components) and the property updates its components were
    // told of: with the property bag's version and its attributes' values, what a viewport
    // needs to tell whether the node's drawing may have changed.
    std::uint64_t version() const { return m_version; }
    // Components that listen are told of property changes; those the node is given
    // (painters, manipulator, pick adaptor, transformations) are added on their own. A
    // listener added twice is told once.
    void addPropertyListener(MO_PropertyChangeListener* listener);

    template <class A>
    A* addAttribute(std::unique_ptr<A> attr) {
        A* raw = attr.get();
        touch();
        m_attributes.push_back(std::move(attr));
        return raw;
    }
    AT_Attr* attribute(const QString& name) const;
    const std::vector<std::unique_ptr<AT_Attr>>& attributes() const { return m_attributes; }

    void addLocalTransformation(std::unique_ptr<MO_LocalTransformation> t);
    const std::vector<std::unique_ptr<MO_LocalTransformation>>& localTransformations() const { return m_transforms; }
    void addPainter(std::unique_ptr<MO_OGLPainter> p);
    const std::vector<std::unique_ptr<MO_OGLPainter>>& painters() const { return m_painters; }
    void setManipulator(std::unique_ptr<SLB_SelectableDragManipulator> m);
    SLB_SelectableDragManipulator* manipulator() const { return m_manipulator.get(); }
    void setPickAdaptor(std::unique_ptr<SLB_ModulePickAdaptor> p);
    SLB_ModulePickAdaptor* pickAdaptor() const { return m_pickAdaptor.get(); }

    // The node's own transformations at a frame, without its parent's.
    Math::Matrix4x4 localMatrix(const MO_FrameKey& key) const;
    Math::Matrix4x4 worldMatrix(const MO_FrameKey& key) const;

    // How the node is selected; null for a node that cannot be.
    SLB_NodeInterface* selInterface() const { return m_selInterface.get(); }
    void setSelectable(bool selectable);

    // Input ports, by index; null for an index the node does not have.
    MO_Port* inPort(int index) const;
    int inPortCount() const { return static_cast<int>(m_inPorts.size()); }
    MO_Port* addInPort(MO_Node* source);
    // The alignment the host gives the node's drawing (see MO_AlignmentMatrixVisitor).
    const Math::Matrix4x4& alignmentMatrix() const;
    void setAlignmentMatrix(const Math::Matrix4x4& m);

    void setDirty() { m_dirty = true; }
    bool isDirty() const { return m_dirty; }
    void clearDirty() { m_dirty = false; }

private:
    void touch() {
        ++m_version;
        UT_EditCount::note(this, this);
    }
    void notifyListeners();
    // Keeps the listeners in step with the components: the one replaced stops listening,
    // the new one starts if it listens.
    void replaceListener(const void* old, MO_PropertyChangeListener* listener);

    SC_SceneCommon* m_scene;
    QString m_name;
    MO_Node* m_parent = nullptr;
    MO_PropertyBag m_properties;
    std::vector<MO_PropertyChangeListener*> m_listeners;
    bool m_dirty = false;
    std::uint64_t m_version = 0;
    std::unique_ptr<SLB_NodeInterface> m_selInterface;
    std::vector<std::unique_ptr<MO_Port>> m_inPorts;
    // Held apart: few nodes have one, and a scene may hold a hundred thousand nodes.
    std::unique_ptr<Math::Matrix4x4> m_alignment;
    // Declared before the components so they are destroyed after them: components point
    // into them.
    std::vector<std::unique_ptr<AT_Attr>> m_attributes;
    std::vector<std::unique_ptr<MO_LocalTransformation>> m_transforms;
    std::vector<std::unique_ptr<MO_OGLPainter>> m_painters;
    std::unique_ptr<SLB_SelectableDragManipulator> m_manipulator;
    std::unique_ptr<SLB_ModulePickAdaptor> m_pickAdaptor;
};

// A node with ports.
class HOST_API MO_Module : public MO_Node {
public:
    using MO_Node::MO_Node;
    ~MO_Module() override;
    // The transformation that input port `port` brings in as the node's parent
    // transformation at the context's frame; null when the port does not exist, is not
    // connected or its connection is disabled. The port owns the result until it is asked
    // again.
    const MO_PortTransform* computeTransformationParent(const MO_BaseContext& context, int port) const;
};
