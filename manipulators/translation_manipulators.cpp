#include "manipulators/translation_manipulators.h"

#include "host/scene/SC_SceneCommon.h"
#include "manipulators/drag_cycle.h"
#include "registry/component.h"

RIGKIT_TYPE_STRING(TranslationXDragManipulator, "TRANSLATION_X")
RIGKIT_TYPE_STRING(TranslationYDragManipulator, "TRANSLATION_Y")
RIGKIT_TYPE_STRING(TranslationZDragManipulator, "TRANSLATION_Z")

namespace {

const QString& operationName() {
    static const QString name = QStringLiteral("Set translation value");
    return name;
}

// The quarter turn about Y that stands the Z manipulator's plane up; made once, as every
// move needs it.
const Math::Matrix4x4& quarterTurnAboutY() {
    static const Math::Matrix4x4 r = Math::Matrix4x4().rotateDegrees(90.0, Math::Vector3d(0, 1, 0));
    return r;
}

// The pointer on the manipulator's plane, the z = 0 plane of the chain's model frame,
// carried by `post` (the context's post matrix, possibly times the Z turn); false when the
// projection fails.
bool pointOnPlane(const Math::CameraTransformChain& chain, const Math::Matrix4x4& post, double x, double y, double z,
                  Math::Point4d& p) {
    Math::Point2d q;
    if (!rigkit::pointerOnModelPlane(chain, x, y, z, q))
        return false;
    p = post * Math::Point4d(q.x, q.y, 0.0, 1.0);
    return true;
}

const SC_SceneMetrics& metricsOf(SLB_DragContext& context) {
    return context.sceneCommon()->metrics();
}

// X (axis 0) and Y (axis 1) share everything but the axis they read off the plane.
template <int Axis>
void planarStart(SLB_DragContext& context, const Math::CameraTransformChain& chain, double startValue, double x,
                 double y, double z, double offset[2]) {
    Math::Point4d p;
    if (!pointOnPlane(chain, context.postMatrix(), x, y, z, p))
        return;
    offset[0] = -p.x;
    offset[1] = -p.y;
    offset[Axis] += startValue * metricsOf(context).unitScale(Axis);
}

template <int Axis>
void planarDrag(SLB_DragContext& context, const Math::CameraTransformChain& chain, const double offset[2],
                AT_ScalarSimpleAttrSurrogate* surrogate, double x, double y, double z) {
    Math::Point4d p;
    if (!pointOnPlane(chain, context.postMatrix(), x, y, z, p))
        return;
    const Math::Point3d s = metricsOf(context).fromOGL(Math::Point3d(p.x + offset[0], p.y + offset[1], 0.0));
    if (surrogate)
        surrogate->setValue(Axis == 0 ? s.x : s.y);
}

}  // namespace

#define RIGKIT_TRANSLATION_MANIPULATOR_BASICS(Class)                                                              \
    Class::Class(const MO_PropertyAccessor&, AT_DoubleAttr* attribute)                                            \
        : m_attribute(attribute), m_surrogate(nullptr), m_offset{} {}                                             \
    Class::Class(const Class& other) = default;                                                                   \
    Class& Class::operator=(const Class& other) = default;                                                        \
    Class::~Class() = default;                                                                                    \
    SLB_SelectableDragManipulator* Class::createDynamic(const SLB_SelectableDragManipulatorFactory::Data& data) { \
        return rigkit::createWithFirstAttribute<Class, AT_DoubleAttr>(data);                                      \
    }                                                                                                             \
    void Class::dragFinished(SLB_DragContext& context, SLB_SelectedInterface*) {                                  \
        rigkit::finishScalarDrag(context, m_attribute, m_surrogate, m_handle, operationName());                   \
    }

RIGKIT_TRANSLATION_MANIPULATOR_BASICS(TranslationXDragManipulator)
RIGKIT_TRANSLATION_MANIPULATOR_BASICS(TranslationYDragManipulator)
RIGKIT_TRANSLATION_MANIPULATOR_BASICS(TranslationZDragManipulator)

// X and Y differ only by the axis they read off the node's plane.
#define RIGKIT_PLANAR_TRANSLATION_DRAG(Class, Axis)                                                                    \
    void Class::dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) { \
        double start;                                                                                                  \
        if (!rigkit::startScalarDrag(context, selected, m_attribute, m_surrogate, m_handle, m_chain, start))           \
            return;                                                                                                    \
        planarStart<Axis>(context, m_chain, start, x, y, z, m_offset);                                                 \
    }                                                                                                                  \
    void Class::drag(SLB_DragContext& context, SLB_SelectedInterface*, double x, double y, double z) {                 \
        planarDrag<Axis>(context, m_chain, m_offset, m_surrogate, x, y, z);                                            \
    }

RIGKIT_PLANAR_TRANSLATION_DRAG(TranslationXDragManipulator, 0)
RIGKIT_PLANAR_TRANSLATION_DRAG(TranslationYDragManipulator, 1)

void TranslationZDragManipulator::dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x,
                                              double y, double z) {
    double start;
    if (!rigkit::startScalarDrag(context, selected, m_attribute, m_surrogate, m_handle, m_chain, start))
        return;
    const Math::Matrix4x4& r = quarterTurnAboutY();
    m_chain.applyMatrixToModel(r);
    Math::Point4d p;
    if (!pointOnPlane(m_chain, context.postMatrix() * r, x, y, z, p))
        return;
    m_offset[0] = -p.x;
    m_offset[1] = -p.y;
    m_offset[2] = start * metricsOf(context).zUnitScale() - p.z;
}

void TranslationZDragManipulator::drag(SLB_DragContext& context, SLB_SelectedInterface*, double x, double y, double z) {
    Math::Point4d p;
    if (!pointOnPlane(m_chain, context.postMatrix() * quarterTurnAboutY(), x, y, z, p))
        return;
    const double value = (p.z + m_offset[2]) * metricsOf(context).zDrawingFactor();
    if (m_surrogate)
        m_surrogate->setValue(value);
}
