#include "manipulators/rotation_manipulators.h"

#include "host/commands/attribute_edit_commands.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"
#include "manipulators/drag_cycle.h"
#include "registry/component.h"

#include <algorithm>
#include <cmath>

RIGKIT_TYPE_STRING(RotationXDragManipulator, "ROTATION_X")
RIGKIT_TYPE_STRING(RotationYDragManipulator, "ROTATION_Y")
RIGKIT_TYPE_STRING(RotationZDragManipulator, "ROTATION_Z")
RIGKIT_TYPE_STRING(RotationDragManipulator, "ROTATION_3D")

namespace {

constexpr double kPi = 3.141592653589793;

const QString& operationName() {
    static const QString name = QStringLiteral("Set rotation value");
    return name;
}

// The pointer in the node's frame, then through the post matrix. A pointer the chain
// cannot carry stays at the origin.
Math::Point4d locate(const SLB_DragContext& context, const Math::CameraTransformChain& chain, double x, double y,
                     double z) {
    Math::Point3d p(0, 0, 0);
    chain.transform(Math::SourcePointerFrame, Math::DestinationModelFrame, Math::Point3d(x, y, z), p);
    return context.postMatrix() * Math::Point4d(p);
}

// The signed angle (degrees) swept from `last` to `now` about the origin; the sign follows
// the cross product's component on `axis`.
double sweptDegrees(const Math::Point4d& last, const Math::Point4d& now, int axis) {
    const Math::Vector3d a = Math::Vector3d(last.x, last.y, last.z).normalized();
    const Math::Vector3d b = Math::Vector3d(now.x, now.y, now.z).normalized();
    const Math::Vector3d d = a - b;
    // Rounding can push the cosine of two nearly opposite directions past -1.
    const double cosine = std::clamp((d.dot(d) - 2.0) * -0.5, -1.0, 1.0);
    double theta = std::acos(cosine);
    if (a.cross(b)[axis] < 0.0)
        theta = -theta;
    return theta * 180.0 / kPi;
}

// The nearest hit of the line through p1 and p2 with the sphere (k, r); a line that misses
// gives the sphere point nearest p2.
Math::Point4d lineSphereIntersection(const Math::Point4d& p1, const Math::Point4d& p2, const Math::Point4d& k,
                                     double r) {
    const Math::Vector3d d(p2.x - p1.x, p2.y - p1.y, p2.z - p1.z);
    const Math::Vector3d p(p1.x - k.x, p1.y - k.y, p1.z - k.z);
    const double a = d.dot(d);
    const double b = 2.0 * p.dot(d);
    const double c = p.dot(p) - r * r;
    const double disc = b * b - 4.0 * a * c;
    const auto at = [&](double t) { return Math::Point4d(p1.x + t * d.x, p1.y + t * d.y, p1.z + t * d.z, 1.0); };
    if (std::isnan(disc))
        return Math::Point4d();
    if (disc < 0.0) {
        // The line from p2 towards the centre always meets the sphere; stop before a
        // degenerate p2 at the centre recurses again.
        if (p2.x == k.x && p2.y == k.y && p2.z == k.z)
            return Math::Point4d();
        return lineSphereIntersection(p2, k, k, r);
    }
    if (disc == 0.0)
        return at(-b / (2.0 * a));
    const double s = std::sqrt(disc);
    const Math::Point4d q1 = at((-b - s) / (2.0 * a));
    const Math::Point4d q2 = at((s - b) / (2.0 * a));
    const auto dist2 = [&](const Math::Point4d& q) {
        return (q.x - p1.x) * (q.x - p1.x) + (q.y - p1.y) * (q.y - p1.y) + (q.z - p1.z) * (q.z - p1.z);
    };
    return dist2(q2) > dist2(q1) ? q1 : q2;
}

Math::Point4d eyeOf(const Math::CameraTransformChain& chain) {
    return chain.viewMatrix().inverse() * Math::Point4d(0, 0, 0, 1);
}

Math::Point4d sphereCentre(const Math::CameraTransformChain& chain) {
    Math::Point3d c(0, 0, 0);
    chain.transform(Math::SourceModelFrame, Math::DestinationPointerFrame, Math::Point3d(0, 0, 0), c);
    return Math::Point4d(c);
}

Math::Point4d toModel(const Math::CameraTransformChain& chain, const Math::Point4d& p) {
    Math::Point3d m(0, 0, 0);
    chain.transform(Math::SourcePointerFrame, Math::DestinationModelFrame, p.toPoint3d(), m);
    return Math::Point4d(m);
}

Math::Quat quatOf(const Math::Angle3d& a) {
    Math::Quat q;
    q.setEuler(a, true);
    return q;
}

}  // namespace

#define RIGKIT_ROTATION_AXIS_MANIPULATOR(Class, Axis)                                                                  \
    Class::Class(const MO_PropertyAccessor&, AT_DoubleAttr* attribute)                                                 \
        : m_attribute(attribute), m_angle(0.0), m_surrogate(nullptr), m_last() {}                                      \
    Class::Class(const Class& other) = default;                                                                        \
    Class& Class::operator=(const Class& other) = default;                                                             \
    Class::~Class() = default;                                                                                         \
    SLB_SelectableDragManipulator* Class::createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data) {      \
        return rigkit::createWithFirstAttribute<Class, AT_DoubleAttr>(data);                                           \
    }                                                                                                                  \
    void Class::dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) { \
        if (rigkit::startScalarDrag(context, selected, m_attribute, m_surrogate, m_handle, m_chain, m_angle))          \
            m_last = locate(context, m_chain, x, y, z);                                                                \
    }                                                                                                                  \
    void Class::drag(SLB_DragContext& context, SLB_SelectedInterface*, double x, double y, double z) {                 \
        const Math::Point4d p = locate(context, m_chain, x, y, z);                                                     \
        m_angle += sweptDegrees(m_last, p, Axis);                                                                      \
        if (m_surrogate)                                                                                               \
            m_surrogate->setValue(m_angle);                                                                            \
        m_last = p;                                                                                                    \
    }                                                                                                                  \
    void Class::dragFinished(SLB_DragContext& context, SLB_SelectedInterface*) {                                       \
        rigkit::finishScalarDrag(context, m_attribute, m_surrogate, m_handle, operationName());                        \
    }

RIGKIT_ROTATION_AXIS_MANIPULATOR(RotationXDragManipulator, 0)
RIGKIT_ROTATION_AXIS_MANIPULATOR(RotationYDragManipulator, 1)
RIGKIT_ROTATION_AXIS_MANIPULATOR(RotationZDragManipulator, 2)

RotationDragManipulator::RotationDragManipulator(const MO_PropertyAccessor& properties, AT_Rotation3dAttr* attribute)
    : m_attribute(attribute),
      m_current(0, 0, 0),
      m_radius(properties.getDouble(QStringLiteral("radius"), 1.0, 0)),
      m_rollEnabled(properties.getBool(QStringLiteral("enable_roll"), true, nullptr)),
      m_rotationSurrogate(nullptr),
      m_angleSurrogates{nullptr, nullptr, nullptr} {}

RotationDragManipulator::RotationDragManipulator(const RotationDragManipulator& other) = default;
RotationDragManipulator& RotationDragManipulator::operator=(const RotationDragManipulator& other) = default;
RotationDragManipulator::~RotationDragManipulator() = default;

SLB_SelectableDragManipulator* RotationDragManipulator::createDynamic(
    const SLB_SelectableDragManipulatorFactory::Data& data) {
    return rigkit::createWithFirstAttribute<RotationDragManipulator, AT_Rotation3dAttr>(data);
}

void RotationDragManipulator::dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y,
                                          double z) {
    if (!selected)
        return;
    m_attribute->getValue(context.frame(), m_current, nullptr, nullptr);
    const int f = rigkit::surrogateFrame(context);
    auto* rotation = new AT_Rotation3dAttrSurrogate(m_attribute, m_current, f);
    m_start = quatOf(m_current);
    rigkit::attachSurrogate(m_attribute, rotation, m_rotationSurrogate, m_rotationHandle);
    const double components[3] = {m_current.x, m_current.y, m_current.z};
    for (int i = 0; i < 3; ++i) {
        AT_DoubleAttr* sub = m_attribute->component(i);
        rigkit::attachSurrogate(sub, new AT_ScalarSimpleAttrSurrogate(sub, components[i], f), m_angleSurrogates[i],
                                m_angleHandles[i]);
    }
    Math::CameraTransformChain chain;
    context.cameraTransformChain(chain, selected->selectable(), true);
    m_centre = context.postMatrix() * Math::Point4d();
    const Math::Point4d pointer(x, y, z, 1.0);
    m_last = m_rollEnabled ? lineSphereIntersection(eyeOf(chain), pointer, sphereCentre(chain),
                                                    m_radius * context.sceneCommon()->metrics().xUnitScale())
                           : pointer;
}

void RotationDragManipulator::drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y,
                                   double z) {
    if (!selected)
        return;
    Math::CameraTransformChain chain;
    context.cameraTransformChain(chain, selected->selectable(), true);
    const Math::Angle3d angle =
        m_rollEnabled ? freeRotate(context, chain, x, y, z) : yawPitchRotate(context, chain, x, y, z);
    if (m_rotationSurrogate)
        m_rotationSurrogate->setValue(angle);
    const double components[3] = {angle.x, angle.y, angle.z};
    for (int i = 0; i < 3; ++i)
        if (m_angleSurrogates[i])
            m_angleSurrogates[i]->setValue(components[i]);
    m_current = angle;
}

Math::Angle3d RotationDragManipulator::freeRotate(SLB_DragContext& context, const Math::CameraTransformChain& chain,
                                                  double x, double y, double z) const {
    const double r = m_radius * context.sceneCommon()->metrics().xUnitScale();
    const Math::Point4d s = lineSphereIntersection(eyeOf(chain), Math::Point4d(x, y, z, 1.0), sphereCentre(chain), r);
    const Math::Point4d sw = context.postMatrix() * toModel(chain, s);
    const Math::Point4d lw = context.postMatrix() * toModel(chain, m_last);
    const Math::Point3d c = m_centre.toPoint3d();
    Math::Vector3d n(sw.toPoint3d() - c);
    Math::Vector3d o(lw.toPoint3d() - c);
    n.normalize();
    o.normalize();
    const Math::Angle3d increment = Math::Quat(o, n).euler(true);
    m_last = s;
    return m_current + increment;
}

Math::Angle3d RotationDragManipulator::yawPitchRotate(SLB_DragContext&, const Math::CameraTransformChain& chain,
                                                      double x, double y, double z) const {
    const Math::Point4d d =
        chain.viewMatrix().transpose() * Math::Point4d(x - m_last.x, y - m_last.y, z - m_last.z, 1.0);
    Math::Quat pitch, yaw;
    pitch.setRotAxis(-2.5 * d.y, Math::Vector3d(1, 0, 0));
    yaw.setRotAxis(5.0 * d.x, Math::Vector3d(0, 1, 0));
    return (yaw * m_start * pitch).euler(true);
}

void RotationDragManipulator::dragFinished(SLB_DragContext& context, SLB_SelectedInterface*) {
    CO_OrCommand* macro = context.macro();
    if (!macro)
        return;
    context.setCurrentOperationName(operationName());
    Math::Angle3d final;
    m_attribute->getValue(context.currentFrame(), final, nullptr, nullptr);
    rigkit::detachSurrogate(m_attribute, m_rotationSurrogate, m_rotationHandle);
    for (int i = 0; i < 3; ++i)
        rigkit::detachSurrogate(m_attribute->component(i), m_angleSurrogates[i], m_angleHandles[i]);
    CO_Command* command;
    if (context.animationMode() == CX_AnimationModeCurrentFrame) {
        command = new lx_attr::rotation3d::SetValueCurrentFrameCmd(context.sceneCommon(), m_attribute, context.frame(),
                                                                   final, false, false, false, false);
    } else {
        Math::Angle3d old;
        m_attribute->getValue(context.frame(), old, nullptr, nullptr);
        const Math::Quat delta = quatOf(final) * quatOf(old).inverse();
        command = new lx_attr::rotation3d::RotateAllFramesCmd(context.sceneCommon(), m_attribute, delta,
                                                              context.frameRange());
    }
    macro->add(command);
}
