#include "manipulators/slider_manipulator.h"

#include "host/commands/attribute_edit_commands.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/SLB_Selection.h"
#include "manipulators/drag_cycle.h"
#include "registry/component.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

RIGKIT_TYPE_STRING(SliderDragManipulator, "SLIDER")

namespace {

const QString kHorizontal = QStringLiteral("horizontal");
const QString kXmin = QStringLiteral("xmin");
const QString kYmin = QStringLiteral("ymin");
const QString kSteps = QStringLiteral("steps");
const QString kPosition = QStringLiteral("position");
const QString kMin = QStringLiteral("min");
const QString kMax = QStringLiteral("max");
const QString kLength = QStringLiteral("length");

}  // namespace

SliderDragManipulator::SliderDragManipulator(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute)
    : m_attribute(attribute), m_surrogate(nullptr), m_start{0.0, 0.0}, m_startRatio(0.0) {
    m_horizontal = properties.getBool(kHorizontal, false, nullptr);
    m_xmin = properties.getDouble(kXmin, -0.05, 0);
    m_ymin = properties.getDouble(kYmin, -0.25, 0);
    m_steps = properties.getDouble(kSteps, 0.0, 0);
    const Math::Point2d position = properties.getPoint(kPosition, Math::Point2d(0, 0), nullptr);
    m_position[0] = position.x;
    m_position[1] = position.y;
    m_min = properties.getDouble(kMin, 0.0, 0);
    m_max = properties.getDouble(kMax, 100.0, 0);
    keepMaxAboveMin();
    m_placement = rigkit::chooseSliderPlacement(properties);
    m_length = properties.getDouble(kLength, rigkit::defaultSliderLength(m_placement), 0);
}

SliderDragManipulator::SliderDragManipulator(const SliderDragManipulator& other) = default;
SliderDragManipulator& SliderDragManipulator::operator=(const SliderDragManipulator& other) = default;
SliderDragManipulator::~SliderDragManipulator() = default;

SLB_SelectableDragManipulator* SliderDragManipulator::createDynamic(
    const SLB_SelectableDragManipulatorFactory::Data& data) {
    return rigkit::createWithFirstAttribute<SliderDragManipulator, AT_DoubleAttr>(data);
}

void SliderDragManipulator::keepMaxAboveMin() {
    // An empty or reversed range would make the track's ratio meaningless.
    if (m_min >= m_max)
        m_max = m_min + 1.0;
}

void SliderDragManipulator::update(const MO_PropertyAccessor& properties) {
    m_length = properties.getDouble(kLength, m_length, 0);
    m_min = properties.getDouble(kMin, m_min, 0);
    m_max = properties.getDouble(kMax, m_max, 0);
    m_horizontal = properties.getBool(kHorizontal, m_horizontal, nullptr);
    m_xmin = properties.getDouble(kXmin, m_xmin, 0);
    m_ymin = properties.getDouble(kYmin, m_ymin, 0);
    const Math::Point2d position = properties.getPoint(kPosition, Math::Point2d(m_position[0], m_position[1]), nullptr);
    m_position[0] = position.x;
    m_position[1] = position.y;
    m_steps = properties.getDouble(kSteps, m_steps, 0);
    keepMaxAboveMin();
    m_placement = rigkit::updatedSliderPlacement(properties, m_placement);
}

void SliderDragManipulator::dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y,
                                        double z) {
    if (!selected)
        return;
    context.cameraTransformChain(m_chain, selected->selectable(), true);
    // The start stays in plane coordinates: every later point is measured on the same plane.
    Math::Point2d start;
    if (!rigkit::pointerOnModelPlane(m_chain, x, y, z, start))
        return;
    m_start[0] = start.x;
    m_start[1] = start.y;
    const double value = m_attribute->valueAt(context.frame(), nullptr, nullptr);
    rigkit::attachSurrogate(
        m_attribute, new AT_ScalarSimpleAttrSurrogate(m_attribute, value, rigkit::surrogateFrame(context)),
        m_surrogate, m_handle);
    m_startRatio = (value - m_min) / (m_max - m_min);
}

double SliderDragManipulator::trackLength(SLB_DragContext& context) const {
    const double ex = m_horizontal ? m_length : 0.0;
    const double ey = m_horizontal ? 0.0 : m_length;
    switch (m_placement) {
        case SliderPlacement::Corner:
            return m_length;
        case SliderPlacement::Scene: {
            const SC_SceneMetrics& metrics = context.sceneCommon()->metrics();
            const Math::Point3d a = metrics.toOGL(Math::Point3d(m_position[0], m_position[1], 0.0));
            const Math::Point3d b = metrics.toOGL(Math::Point3d(m_position[0] + ex, m_position[1] + ey, 0.0));
            return Math::Point2d::GetDistance(Math::Point2d(a.x, a.y), Math::Point2d(b.x, b.y));
        }
        case SliderPlacement::Screen:
            break;
    }
    // On the screen a vertical track runs up the window, against its y.
    const Math::Point2d a = rigkit::sliderScreenPoint(m_chain, m_position[0], m_position[1]);
    const Math::Point2d b = rigkit::sliderScreenPoint(m_chain, m_position[0] + ex, m_position[1] - ey);
    return Math::Point2d::GetDistance(a, b);
}

void SliderDragManipulator::drag(SLB_DragContext& context, SLB_SelectedInterface*, double x, double y, double z) {
    if (!m_surrogate)
        return;
    Math::Point2d q;
    if (!rigkit::pointerOnModelPlane(m_chain, x, y, z, q))
        return;
    const double along = m_horizontal ? q.x - m_start[0] : q.y - m_start[1];
    if (m_length == 0.0)
        return;
    double t = along / trackLength(context) + m_startRatio;
    t = std::max(0.0, std::min(1.0, t));
    if (std::isnan(t))
        t = 1.0;
    if (m_steps >= 2.0)
        t = std::round((m_steps - 1.0) * t) / (m_steps - 1.0);
    // Limits at opposite ends of the doubles have no difference that is a double (it
    // overflows, and times a t of 0 gives no number at all); weighing the two ends names
    // the same point without overflowing.
    const double span = m_max - m_min;
    m_surrogate->setValue(std::isfinite(span) ? m_min + span * t : m_min * (1.0 - t) + m_max * t);
}

void SliderDragManipulator::dragFinished(SLB_DragContext& context, SLB_SelectedInterface*) {
    CO_OrCommand* macro = context.macro();
    if (!macro)
        return;
    context.setCurrentOperationName(QCoreApplication::translate("SliderDragManipulator", "Drag Slider Manipulator"));
    const double newValue = m_attribute->valueAt(context.currentFrame(), nullptr, nullptr);
    rigkit::detachSurrogate(m_attribute, m_surrogate, m_handle);
    CO_Command* command;
    if (context.animationMode() == CX_AnimationModeCurrentFrame) {
        command = Attr::Double::createSetValueCurrentFrameCmd(context.sceneCommon(), m_attribute,
                                                              context.currentFrame(), newValue, false);
    } else {
        // The host's range command moves every value of the range by the change made at
        // the frame being edited.
        const double offset = newValue - m_attribute->valueAt(context.currentFrame(), nullptr, nullptr);
        command = Attr::Double::createOffsetValueAllFramesCmd(m_attribute, offset, context.frameRange());
    }
    macro->add(command);
}
