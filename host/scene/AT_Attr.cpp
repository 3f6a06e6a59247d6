#include "host/scene/AT_Attr.h"

#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"

#define HOST_ATTR_TYPE_STRING(Class, literal)                  \
    const QString& Class::TypeString() {                       \
        static const QString s = QString::fromLatin1(literal); \
        return s;                                              \
    }

HOST_ATTR_TYPE_STRING(AT_DoubleAttr, "double")
HOST_ATTR_TYPE_STRING(AT_BoolAttr, "bool")
HOST_ATTR_TYPE_STRING(AT_StringAttr, "string")
HOST_ATTR_TYPE_STRING(AT_Position2dAttr, "position2d")
HOST_ATTR_TYPE_STRING(AT_Position3dAttr, "position3d")
HOST_ATTR_TYPE_STRING(AT_Rotation3dAttr, "rotation3d")
HOST_ATTR_TYPE_STRING(AT_Scale3dAttr, "scale3d")

AT_ReadObserver* AT_ReadObserver::s_current = nullptr;
AT_ReadObserver::~AT_ReadObserver() = default;
const AT_ValueProbe* AT_ValueProbe::s_current = nullptr;
AT_ValueProbe::~AT_ValueProbe() = default;

namespace {

void noteSurrogateOf(const AT_Attr* attribute) {
    if (attribute)
        attribute->noteChanged();
    else
        UT_EditCount::note();
}

}  // namespace

void AT_NoteSurrogateChanged(const AT_DoubleAttr* attribute) {
    noteSurrogateOf(attribute);
}

void AT_NoteSurrogateChanged(const AT_Position2dAttr* attribute) {
    noteSurrogateOf(attribute);
}

void AT_NoteSurrogateChanged(const AT_Position3dAttr* attribute) {
    noteSurrogateOf(attribute);
}

void AT_NoteSurrogateChanged(const AT_Rotation3dAttr* attribute) {
    noteSurrogateOf(attribute);
}

AT_Attr::AT_Attr(MO_Node* node, QString name) : m_node(node), m_name(std::move(name)) {}
AT_Attr::~AT_Attr() = default;
AT_AttrSurrogate::~AT_AttrSurrogate() = default;
AT_ScalarSimpleAttrSurrogate::~AT_ScalarSimpleAttrSurrogate() = default;
AT_Position2dAttrSurrogate::~AT_Position2dAttrSurrogate() = default;
AT_Position3dAttrSurrogate::~AT_Position3dAttrSurrogate() = default;
AT_Rotation3dAttrSurrogate::~AT_Rotation3dAttrSurrogate() = default;

SC_SceneCommon* AT_Attr::sceneCommon() const {
    return m_node ? m_node->sceneCommon() : nullptr;
}

AT_DoubleAttr::AT_DoubleAttr(MO_Node* node, QString name, double localValue, bool animatable)
    : AT_SimpleAttr(node, std::move(name)), m_local(localValue) {
    if (animatable)
        m_socket = std::make_unique<LXTvSocket>(this);
}

AT_DoubleAttr::~AT_DoubleAttr() = default;

LXTimedValue* AT_DoubleAttr::timedValue() const {
    return m_socket ? m_socket->linkedTimedValue() : nullptr;
}

double AT_DoubleAttr::valueAt(double frame, bool*, bool*) const {
    noteRead();
    if (const auto* s = surrogateAs<AT_ScalarSimpleAttrSurrogate>())
        return s->value();
    const LXTimedValue* tv = timedValue();
    if (tv && !tv->isEmpty()) {
        double probed;
        if (AT_ValueProbe::s_current && AT_ValueProbe::s_current->value(*this, probed))
            return probed;
        return tv->evaluate(frame);
    }
    return m_local;
}

bool AT_DoubleAttr::setLocalValue(double value) {
    noteChanged();
    m_local = value;
    return true;
}

bool AT_DoubleAttr::setValue(double frame, double value, bool constantSegment, bool forceKey) {
    if (LXTimedValue* tv = timedValue())
        return tv->setValue(frame, value, constantSegment, forceKey);
    return setLocalValue(value);
}

AT_BoolAttr::AT_BoolAttr(MO_Node* node, QString name, bool localValue)
    : AT_SimpleAttr(node, std::move(name)), m_value(localValue, this) {}

bool AT_BoolAttr::setLocalValue(bool v) {
    m_value.setLocal(v);
    // A switch that a control sets (a momentary button let go) must read as set at once.
    // On a keyed boolean the local value alone is hidden by the keys, so the value is also
    // written at the scene's current frame, the frame the user sees. Doubles keep the plain
    // meaning (the value when not animated), which their edit commands undo by.
    if (!m_value.keys().empty()) {
        const SC_SceneCommon* scene = sceneCommon();
        m_value.set(scene ? scene->currentFrame() : 1.0, v);
    }
    return true;
}

bool AT_BoolAttr::setValue(double frame, bool v, bool, bool forceKey) {
    if (forceKey && m_value.keys().empty())
        m_value.addKey(frame, v);
    else
        m_value.set(frame, v);
    return true;
}

AT_StringAttr::AT_StringAttr(MO_Node* node, QString name, QString localValue)
    : AT_SimpleAttr(node, std::move(name)), m_value(std::move(localValue), this) {}

bool AT_StringAttr::setValue(double frame, const QString& v) {
    m_value.set(frame, v);
    return true;
}

AT_ComplexAttr::AT_ComplexAttr(MO_Node* node, QString name, const std::vector<QString>& componentNames,
                               const std::vector<double>& localValues, bool animatable)
    : AT_Attr(node, std::move(name)) {
    m_components.reserve(componentNames.size());
    for (std::size_t i = 0; i < componentNames.size(); ++i)
        m_components.push_back(std::make_unique<AT_DoubleAttr>(node, componentNames[i], localValues[i], animatable));
}

AT_ComplexAttr::~AT_ComplexAttr() = default;

AT_DoubleAttr* AT_ComplexAttr::component(const QString& name) const {
    for (const auto& c : m_components)
        if (c->name() == name)
            return c.get();
    return nullptr;
}

std::vector<double> AT_ComplexAttr::valuesAt(double frame) const {
    std::vector<double> out;
    for (const auto& c : m_components)
        out.push_back(c->valueAt(frame));
    return out;
}

std::vector<double> AT_ComplexAttr::localValues() const {
    std::vector<double> out;
    for (const auto& c : m_components)
        out.push_back(c->localValue());
    return out;
}

bool AT_ComplexAttr::setValues(double frame, const std::vector<double>& values, bool constantSegment, bool forceKey) {
    bool ok = values.size() == m_components.size();
    for (std::size_t i = 0; ok && i < values.size(); ++i)
        ok = m_components[i]->setValue(frame, values[i], constantSegment, forceKey);
    return ok;
}

bool AT_ComplexAttr::setLocalValues(const std::vector<double>& values) {
    bool ok = values.size() == m_components.size();
    for (std::size_t i = 0; ok && i < values.size(); ++i)
        ok = m_components[i]->setLocalValue(values[i]);
    return ok;
}

AT_Position2dAttr::AT_Position2dAttr(MO_Node* node, QString name, const Math::Point2d& local, bool animatable)
    : AT_ComplexAttr(node, std::move(name), {QStringLiteral("x"), QStringLiteral("y")}, {local.x, local.y},
                     animatable) {}

bool AT_Position2dAttr::getValue(double frame, Math::Point2d& value, bool*) const {
    noteRead();
    if (const auto* s = surrogateAs<AT_Position2dAttrSurrogate>()) {
        value = s->value();
        return true;
    }
    value = Math::Point2d(x()->valueAt(frame), y()->valueAt(frame));
    return true;
}

bool AT_Position2dAttr::getLocalValue(Math::Point2d& value) const {
    noteRead();
    value = Math::Point2d(x()->localValue(), y()->localValue());
    return true;
}

AT_Position3dAttr::AT_Position3dAttr(MO_Node* node, QString name, const Math::Point3d& local, bool animatable)
    : AT_ComplexAttr(node, std::move(name), {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")},
                     {local.x, local.y, local.z}, animatable) {}

bool AT_Position3dAttr::getValue(double frame, Math::Point3d& value, bool*, bool*) const {
    noteRead();
    if (const auto* s = surrogateAs<AT_Position3dAttrSurrogate>()) {
        value = s->value();
        return true;
    }
    value = Math::Point3d(x()->valueAt(frame), y()->valueAt(frame), z()->valueAt(frame));
    return true;
}

AT_Rotation3dAttr::AT_Rotation3dAttr(MO_Node* node, QString name, const Math::Angle3d& local, bool animatable)
    : AT_ComplexAttr(node, std::move(name), {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")},
                     {local.x, local.y, local.z}, animatable) {}

bool AT_Rotation3dAttr::getValue(double frame, Math::Angle3d& value, bool*, bool*) const {
    noteRead();
    if (const auto* s = surrogateAs<AT_Rotation3dAttrSurrogate>()) {
        value = s->value();
        return true;
    }
    value = Math::Angle3d(angleX()->valueAt(frame), angleY()->valueAt(frame), angleZ()->valueAt(frame));
    return true;
}

AT_Scale3dAttr::AT_Scale3dAttr(MO_Node* node, QString name, const Math::Vector3d& local, bool animatable)
    : AT_ComplexAttr(node, std::move(name), {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")},
                     {local.x, local.y, local.z}, animatable) {}

bool AT_Scale3dAttr::getValue(double frame, double& x, double& y, double& z, bool*, bool*, bool*, bool*, bool*,
                              bool*) const {
    noteRead();
    x = component(0)->valueAt(frame);
    y = component(1)->valueAt(frame);
    z = component(2)->valueAt(frame);
    return true;
}
