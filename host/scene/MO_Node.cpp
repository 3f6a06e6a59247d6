#include "host/scene/MO_Node.h"

#include "host/scene/AT_Attr.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/components.h"

MO_LocalTransformation::~MO_LocalTransformation() = default;
MO_OGLPainter::~MO_OGLPainter() = default;
SLB_SelectableDragManipulator::~SLB_SelectableDragManipulator() = default;
SLB_SelectablePickAdaptor::~SLB_SelectablePickAdaptor() = default;
SLB_ModulePickAdaptor::~SLB_ModulePickAdaptor() = default;

MO_Node::MO_Node(SC_SceneCommon* scene, QString name) : m_scene(scene), m_name(std::move(name)) {}

MO_Node::~MO_Node() = default;

const SC_SceneMetrics& MO_Node::sceneMetrics() const {
    return m_scene->metrics();
}

void MO_Node::setProperty(const QString& key, MO_PropertyValue value) {
    m_properties.set(key, std::move(value));
    for (MO_PropertyChangeListener* l : m_listeners)
        l->update(m_properties);
}

bool MO_Node::removeProperty(const QString& key) {
    if (!m_properties.remove(key))
        return false;
    for (MO_PropertyChangeListener* l : m_listeners)
        l->update(m_properties);
    return true;
}

AT_Attr* MO_Node::attribute(const QString& name) const {
    for (const auto& a : m_attributes)
        if (a->name() == name)
            return a.get();
    return nullptr;
}

void MO_Node::addLocalTransformation(std::unique_ptr<MO_LocalTransformation> t) {
    m_transforms.push_back(std::move(t));
}

void MO_Node::addPainter(std::unique_ptr<MO_OGLPainter> p) {
    m_painters.push_back(std::move(p));
}

void MO_Node::setManipulator(std::unique_ptr<SLB_SelectableDragManipulator> m) {
    m_manipulator = std::move(m);
}

void MO_Node::setPickAdaptor(std::unique_ptr<SLB_ModulePickAdaptor> p) {
    m_pickAdaptor = std::move(p);
}

Math::Matrix4x4 MO_Node::localMatrix(const MO_FrameKey& key) const {
    Math::Matrix4x4 m;
    for (const auto& t : m_transforms)
        t->apply(key, m);
    return m;
}

Math::Matrix4x4 MO_Node::worldMatrix(const MO_FrameKey& key) const {
    Math::Matrix4x4 m = m_parent ? m_parent->worldMatrix(key) : Math::Matrix4x4();
    for (const auto& t : m_transforms)
        t->apply(key, m);
    return m;
}
