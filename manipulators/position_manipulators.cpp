#include "manipulators/position_manipulators.h"

#include "host/base/LXMaths.h"
#include "host/commands/attribute_edit_commands.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_Port.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"
#include "manipulators/drag_cycle.h"
#include "registry/component.h"

#include <QCoreApplication>

#include <cmath>

RIGKIT_TYPE_STRING(Position2dDragManipulator, "POSITION_2D")
RIGKIT_TYPE_STRING(Position3dDragManipulator, "POSITION_3D")

namespace {

// A hundredth of the largest double: far enough to leave a point free, near enough that
// arithmetic on a limit stays finite.
constexpr double kNoLimit = 1.7976931348623156e306;

// The manipulation mode in which Control steps from one listed value to the next.
constexpr int kStepMode = 6;

const QString kXMin = QStringLiteral("xmin");
const QString kYMin = QStringLiteral("ymin");
const QString kXMax = QStringLiteral("xmax");
const QString kYMax = QStringLiteral("ymax");

// `chain` with, as model matrix, the transformation that the node's port brings in
// (identity without one), aligned as its source is drawn when asked.
Math::CameraTransformChain withParentTransformation(Math::CameraTransformChain chain, const MO_FrameKey& key,
                                                    MO_Node* node, int port, bool align) {
    auto* module = dynamic_cast<MO_Module*>(node);
    const MO_PortTransform* parent =
        module ? module->computeTransformationParent(MO_BaseContext(key, 0), port) : nullptr;
    if (!parent) {
        chain.setModelMatrix(Math::Matrix4x4());
        return chain;
    }
    chain.setModelMatrix(parent->transformation().matrix(true));
    if (align) {
        MO_Port* in = module->inPort(port);
        chain.applyMatrixToModel(
            MO_AlignmentMatrixVisitor::alignmentMatrixForOglRender(in ? in->realDisabledSrcNode() : nullptr, key));
    }
    return chain;
}

// The canvas's chain in the frame of the node's parent transformation.
Math::CameraTransformChain makeParentTransformationChain(const CC_CameraChainTransformCanvasBinder& binder,
                                                         const MO_FrameKey& key, MO_Node* node, int port, bool align) {
    return withParentTransformation(binder.transformChain(), key, node, port, align);
}

// The pointer on the plane of the chain's model frame, through the post matrix. `w` is the
// fourth component given to the post matrix: 0 carries the point as a direction, which
// the post matrix's translation does not move.
bool pointOnPlane(const SLB_DragContext& context, const Math::CameraTransformChain& chain, double x, double y,
                  double z, double w, Math::Point2d& p) {
    Math::Point2d q;
    if (!rigkit::pointerOnModelPlane(chain, x, y, z, q))
        return false;
    p = (context.postMatrix() * Math::Point4d(q.x, q.y, 0.0, w)).toPoint2d();
    return true;
}

const SC_SceneMetrics& metricsOf(const SLB_DragContext& context) {
    return context.sceneCommon()->metrics();
}

// The listed value nearest `v`; the earlier of two equally near ones.
double nearest(const std::vector<double>& values, double v) {
    double best = values.front();
    double distance = std::abs(v - best);
    for (double candidate : values)
        if (std::abs(v - candidate) < distance) {
            best = candidate;
            distance = std::abs(v - candidate);
        }
    return best;
}

// The listed value nearest `from` strictly between it and `limit`, else the limit.
double nextTowards(const std::vector<double>& values, double from, double limit) {
    double target = limit;
    for (double v : values)
        if ((v > from && v < target) || (v < from && v > target))
            target = v;
    return target;
}

}  // namespace

namespace rigkit {

std::vector<double> readDoubleList(const MO_PropertyAccessor& properties, const QString& key, double def) {
    const int n = properties.valueCount(key);
    if (n <= 0)
        return {};
    // Sized once and filled in place: the list is allocated a single time.
    std::vector<double> values(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        values[static_cast<std::size_t>(i)] = properties.getDouble(key, def, i);
    return values;
}

}  // namespace rigkit

// ---- Position2dDragManipulator ------------------------------------------------------------

Position2dDragManipulator::Position2dDragManipulator(const MO_PropertyAccessor& properties,
                                                     AT_Position2dAttr* attribute)
    : m_attribute(attribute), m_surrogate(nullptr), m_offset{0.0, 0.0} {
    m_lower[1] = properties.getDouble(kYMin, -kNoLimit, 0);
    m_lower[0] = properties.getDouble(kXMin, -kNoLimit, 0);
    m_lower[2] = 0.0;
    m_upper[1] = properties.getDouble(kYMax, kNoLimit, 0);
    m_upper[0] = properties.getDouble(kXMax, kNoLimit, 0);
    m_upper[2] = 0.0;
    m_yValues = rigkit::readDoubleList(properties, QStringLiteral("yValues"), 0.0);
    m_xValues = rigkit::readDoubleList(properties, QStringLiteral("xValues"), 0.0);
    m_useParentTransformation = properties.getBool(QStringLiteral("useParentTransformation"), false, nullptr);
    m_parentTransformationPortIndex = properties.getInt(QStringLiteral("parentTransformationPortIndex"), 0, nullptr);
}

Position2dDragManipulator::~Position2dDragManipulator() = default;

SLB_SelectableDragManipulator* Position2dDragManipulator::createDynamic(
    const SLB_SelectableDragManipulatorFactory::Data& data) {
    return rigkit::createWithFirstAttribute<Position2dDragManipulator, AT_Position2dAttr>(data);
}

void Position2dDragManipulator::update(const MO_PropertyAccessor& properties) {
    m_lower[1] = properties.getDouble(kYMin, m_lower[1], 0);
    m_lower[0] = properties.getDouble(kXMin, m_lower[0], 0);
    m_upper[1] = properties.getDouble(kYMax, m_upper[1], 0);
    m_upper[0] = properties.getDouble(kXMax, m_upper[0], 0);
}

void Position2dDragManipulator::dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x,
                                            double y, double z) {
    if (!selected)
        return;
    MO_Node* node = selected->selectable();
    if (m_useParentTransformation) {
        if (const CC_CameraChainTransformCanvasBinder* binder = context.oglMatrixManager()) {
            m_chain =
                makeParentTransformationChain(*binder, context.frameKey(), node, m_parentTransformationPortIndex, true);
        } else {
            // Without a canvas the view's camera stands in for the canvas's chain.
            Math::CameraTransformChain camera;
            context.cameraTransformChain(camera, nullptr, true);
            m_chain = withParentTransformation(camera, context.frameKey(), node, m_parentTransformationPortIndex, true);
        }
    } else {
        context.cameraTransformChain(m_chain, node, true);
    }

    Math::Point2d start(0.0, 0.0);
    if (!m_attribute->getValue(context.frame(), start, nullptr))
        m_attribute->getLocalValue(start);
    rigkit::attachSurrogate(
        m_attribute, new AT_Position2dAttrSurrogate(m_attribute, start, rigkit::surrogateFrame(context)),
        m_surrogate, m_handle);

    Math::Point2d p;
    if (!pointOnPlane(context, m_chain, x, y, z, 0.0, p))
        return;
    const Math::Point3d s = metricsOf(context).toOGL(Math::Point3d(start.x, start.y, 0.0));
    m_offset[0] = s.x - p.x;
    m_offset[1] = s.y - p.y;
}

void Position2dDragManipulator::drag(SLB_DragContext& context, SLB_SelectedInterface*, double x, double y, double z) {
    Math::Point2d p;
    if (!pointOnPlane(context, m_chain, x, y, z, 0.0, p))
        return;
    const Math::Point3d s = metricsOf(context).fromOGL(Math::Point3d(m_offset[0] + p.x, m_offset[1] + p.y, 0.0));
    Math::Point2d position(s.x, s.y);
    // Snapping needs a list for each coordinate and Control alone.
    if (!m_xValues.empty() && !m_yValues.empty() && context.buttonState() == Qt::ControlModifier) {
        if (context.manipMode() == kStepMode)
            stepToNext(position, x, y);
        else
            snapToNearest(position);
    }
    const Math::Point2d value(LXMaths::clamp(position.x, m_lower[0], m_upper[0]),
                              LXMaths::clamp(position.y, m_lower[1], m_upper[1]));
    if (m_surrogate)
        m_surrogate->setValue(value);
}

void Position2dDragManipulator::snapToNearest(Math::Point2d& position) const {
    position = Math::Point2d(nearest(m_xValues, position.x), nearest(m_yValues, position.y));
}

void Position2dDragManipulator::stepToNext(Math::Point2d& position, double x, double y) const {
    if (y == 0.0)
        position.x = nextTowards(m_xValues, position.x, x < 0.0 ? m_lower[0] : m_upper[0]);
    else if (x == 0.0)
        position.y = nextTowards(m_yValues, position.y, y < 0.0 ? m_lower[1] : m_upper[1]);
}

void Position2dDragManipulator::dragFinished(SLB_DragContext& context, SLB_SelectedInterface*) {
    CO_OrCommand* macro = context.macro();
    if (!macro)
        return;
    context.setCurrentOperationName(
        QCoreApplication::translate("Position2dDragManipulator", "Drag Point2d Manipulator"));
    Math::Point2d moved(0.0, 0.0);
    m_attribute->getValue(context.currentFrame(), moved, nullptr);
    rigkit::detachSurrogate(m_attribute, m_surrogate, m_handle);
    CO_Command* command;
    if (context.animationMode() == CX_AnimationModeCurrentFrame) {
        command = Attr::Position2d::createSetValueCurrentFrameCmd(context.sceneCommon(), m_attribute,
                                                                  context.currentFrame(), moved.x, moved.y, false);
    } else {
        // The host's range command moves every frame by a displacement: the drag's, as it
        // shows at the current frame.
        Math::Point2d old(0.0, 0.0);
        m_attribute->getValue(context.currentFrame(), old, nullptr);
        command = Attr::Position2d::createTranslateAllFramesCmd(m_attribute, moved.x - old.x, moved.y - old.y,
                                                                context.frameRange());
    }
    macro->add(command);
}

// ---- Position3dDragManipulator ------------------------------------------------------------

Position3dDragManipulator::Position3dDragManipulator(const MO_PropertyAccessor&, AT_Position3dAttr* attribute)
    : m_attribute(attribute), m_surrogate(nullptr), m_offset{0.0, 0.0} {}

Position3dDragManipulator::Position3dDragManipulator(const Position3dDragManipulator& other) = default;
Position3dDragManipulator& Position3dDragManipulator::operator=(const Position3dDragManipulator& other) = default;
Position3dDragManipulator::~Position3dDragManipulator() = default;

SLB_SelectableDragManipulator* Position3dDragManipulator::createDynamic(
    const SLB_SelectableDragManipulatorFactory::Data& data) {
    return rigkit::createWithFirstAttribute<Position3dDragManipulator, AT_Position3dAttr>(data);
}

void Position3dDragManipulator::dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x,
                                            double y, double z) {
    if (!selected)
        return;
    context.cameraTransformChain(m_chain, selected->selectable(), true);
    // A pointer that cannot be placed on the plane (seen edge-on) starts no preview.
    Math::Point2d p;
    if (!pointOnPlane(context, m_chain, x, y, z, 1.0, p))
        return;
    Math::Point3d start(0.0, 0.0, 0.0);
    m_attribute->getValue(context.frame(), start, nullptr, nullptr);
    const Math::Point3d s = metricsOf(context).toOGL(start);
    m_offset[0] = s.x - p.x;
    m_offset[1] = s.y - p.y;
    rigkit::attachSurrogate(
        m_attribute, new AT_Position3dAttrSurrogate(m_attribute, start, rigkit::surrogateFrame(context)),
        m_surrogate, m_handle);
}

void Position3dDragManipulator::drag(SLB_DragContext& context, SLB_SelectedInterface*, double x, double y, double z) {
    Math::Point2d p;
    if (!pointOnPlane(context, m_chain, x, y, z, 1.0, p))
        return;
    Math::Point3d value = metricsOf(context).fromOGL(Math::Point3d(m_offset[0] + p.x, m_offset[1] + p.y, 0.0));
    if (!m_surrogate)
        return;
    // The drag moves the point within the plane: its depth stays the one it started with.
    value.z = m_surrogate->value().z;
    m_surrogate->setValue(value);
}

void Position3dDragManipulator::dragFinished(SLB_DragContext& context, SLB_SelectedInterface*) {
    CO_OrCommand* macro = context.macro();
    if (!macro)
        return;
    context.setCurrentOperationName(QStringLiteral("Set position 3D value"));
    Math::Point3d moved(0.0, 0.0, 0.0);
    m_attribute->getValue(context.currentFrame(), moved, nullptr, nullptr);
    rigkit::detachSurrogate(m_attribute, m_surrogate, m_handle);
    CO_Command* command;
    if (context.animationMode() == CX_AnimationModeCurrentFrame) {
        command = Attr::Position3d::createSetValueCurrentFrameCmd(
            context.sceneCommon(), m_attribute, context.currentFrame(), moved.x, moved.y, moved.z, false);
    } else {
        // As for the 2D position: the range moves by the displacement at the current frame.
        Math::Point3d old(0.0, 0.0, 0.0);
        m_attribute->getValue(context.currentFrame(), old, nullptr, nullptr);
        command = Attr::Position3d::createTranslateAllFramesCmd(m_attribute, moved.x - old.x, moved.y - old.y,
                                                                moved.z - old.z, context.frameRange());
    }
    macro->add(command);
}
