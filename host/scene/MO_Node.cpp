#include "host/scene/MO_Node.h"

#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Port.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/components.h"

#include <algorithm>

MO_LocalTransformation::~MO_LocalTransformation() = default;
MO_OGLPainter::~MO_OGLPainter() = default;
SLB_SelectableDragManipulator::~SLB_SelectableDragManipulator() = default;
SLB_SelectablePickAdaptor::~SLB_SelectablePickAdaptor() = default;
SLB_ModulePickAdaptor::~SLB_ModulePickAdaptor() = default;
SLB_AttributePickAdaptor::~SLB_AttributePickAdaptor() = default;

SLB_AttributePickAdaptor::SLB_AttributePickAdaptor(MO_Module* module, AT_Attr* attribute)
    : m_module(module), m_attribute(attribute) {
    static std::uint32_t next = 0;
    // Ids wrap only after four billion adaptors; 0 stays free for the background.
    if (++next == 0)
        ++next;
    m_handleId = next;
}

MO_Node::MO_Node(SC_SceneCommon* scene, QString name)
    : m_scene(scene),
      m_name(std::move(name)),
      m_properties(this),
      m_selInterface(std::make_unique<SLB_NodeInterface>(this, scene ? &scene->selection() : nullptr)) {}

MO_Node::~MO_Node() = default;

void MO_Node::setSelectable(bool selectable) {
    touch();
    if (!selectable)
        m_selInterface.reset();
    else if (!m_selInterface)
        m_selInterface = std::make_unique<SLB_NodeInterface>(this, m_scene ? &m_scene->selection() : nullptr);
}

const SC_SceneMetrics& MO_Node::sceneMetrics() const {
    return m_scene->metrics();
}

void MO_Node::notifyListeners() {
    touch();
    for (MO_PropertyChangeListener* l : m_listeners)
        l->update(m_properties);
}

void MO_Node::setProperty(const QString& key, MO_PropertyValue value) {
    m_properties.set(key, std::move(value));
    notifyListeners();
}

bool MO_Node::removeProperty(const QString& key) {
    if (!m_properties.remove(key))
        return false;
    notifyListeners();
    return true;
}

void MO_Node::changeProperties(const std::vector<std::pair<QString, MO_PropertyValue>>& set,
                               const std::vector<QString>& remove) {
    for (const auto& entry : set)
        m_properties.set(entry.first, entry.second);
    for (const QString& key : remove)
        m_properties.remove(key);
    notifyListeners();
}

void MO_Node::addPropertyListener(MO_PropertyChangeListener* listener) {
    if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void MO_Node::replaceListener(const void* old, MO_PropertyChangeListener* listener) {
    if (old) {
        const auto it = std::find_if(m_listeners.begin(), m_listeners.end(), [old](MO_PropertyChangeListener* l) {
            return dynamic_cast<const void*>(l) == old;
        });
        if (it != m_listeners.end())
            m_listeners.erase(it);
    }
    addPropertyListener(listener);
}

AT_Attr* MO_Node::attribute(const QString& name) const {
    for (const auto& a : m_attributes)
        if (a->name() == name)
            return a.get();
    return nullptr;
}

void MO_Node::addLocalTransformation(std::unique_ptr<MO_LocalTransformation> t) {
    touch();
    replaceListener(nullptr, dynamic_cast<MO_PropertyChangeListener*>(t.get()));
    m_transforms.push_back(std::move(t));
}

void MO_Node::addPainter(std::unique_ptr<MO_OGLPainter> p) {
    touch();
    replaceListener(nullptr, dynamic_cast<MO_PropertyChangeListener*>(p.get()));
    m_painters.push_back(std::move(p));
}

void MO_Node::setManipulator(std::unique_ptr<SLB_SelectableDragManipulator> m) {
    touch();
    replaceListener(dynamic_cast<const void*>(m_manipulator.get()), dynamic_cast<MO_PropertyChangeListener*>(m.get()));
    m_manipulator = std::move(m);
}

void MO_Node::setPickAdaptor(std::unique_ptr<SLB_ModulePickAdaptor> p) {
    touch();
    replaceListener(dynamic_cast<const void*>(m_pickAdaptor.get()), dynamic_cast<MO_PropertyChangeListener*>(p.get()));
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

const Math::Matrix4x4& MO_Node::alignmentMatrix() const {
    static const Math::Matrix4x4 none;
    return m_alignment ? *m_alignment : none;
}

void MO_Node::setAlignmentMatrix(const Math::Matrix4x4& m) {
    touch();
    m_alignment = std::make_unique<Math::Matrix4x4>(m);
}

MO_Module::~MO_Module() = default;

MO_Port* MO_Node::inPort(int index) const {
    if (index < 0 || index >= inPortCount())
        return nullptr;
    return m_inPorts[static_cast<std::size_t>(index)].get();
}

MO_Port* MO_Node::addInPort(MO_Node* source) {
    touch();
    m_inPorts.push_back(std::make_unique<MO_Port>(source));
    return m_inPorts.back().get();
}

const MO_PortTransform* MO_Module::computeTransformationParent(const MO_BaseContext& context, int port) const {
    MO_Port* p = inPort(port);
    return p ? p->computeTransform(context) : nullptr;
}
