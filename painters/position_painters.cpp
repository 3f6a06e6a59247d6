#include "painters/position_painters.h"

#include "host/base/UT_DPI.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VU_Painter.h"
#include "host/scene/SC_SceneCommon.h"
#include "manipulators/position_manipulators.h"
#include "painters/painter_conventions.h"
#include "registry/component.h"

#include <cmath>

RIGKIT_TYPE_STRING(Point2dOGLPainter, "POINT_2D")
RIGKIT_TYPE_STRING(Line2dOGLPainter, "LINE_2D")
RIGKIT_TYPE_STRING(Box2dOGLPainter, "BOX_2D")

using namespace rigkit;

namespace {

const QString kInnerColor = QStringLiteral("inner_color");
const QString kRelative = QStringLiteral("relative");
const QString kPickingSize = QStringLiteral("picking_size");
const QString kPointStyle = QStringLiteral("point_style");
const QString kShowLimits = QStringLiteral("show_limits");
const QString kBoxColor = QStringLiteral("box_color");
const QString kShowGridLines = QStringLiteral("show_grid_lines");
const QString kXMax = QStringLiteral("xmax");
const QString kYMax = QStringLiteral("ymax");
const QString kXValues = QStringLiteral("xValues");
const QString kYValues = QStringLiteral("yValues");

const VS_RGBA kRed(255, 0, 0, 255);
const VS_RGBA kBlack(0, 0, 0, 255);

// Screen-space sizes are fractions of this many pixels, before the screen's scale.
constexpr double kScreenUnitPixels = 350.0;
// The inner shape's size against the outer's.
constexpr double kInnerRatio = 0.7;
// Limits the box defaults to when the node gives none; beyond a float's range.
constexpr double kNoLimit = 1.7976931348623156e306;
// The box lies just behind the plane of the points it frames.
constexpr float kBoxDepth = -0.0001f;

Point2dOGLPainter::PointStyle styleNamed(const QString& text) {
    const QString upper = text.toUpper();
    if (upper == QLatin1String("SQUARE"))
        return Point2dOGLPainter::SQUARE;
    if (upper == QLatin1String("TRIANGLE"))
        return Point2dOGLPainter::TRIANGLE;
    if (upper == QLatin1String("DIAMOND"))
        return Point2dOGLPainter::DIAMOND;
    return Point2dOGLPainter::CIRCLE;
}

// The position at the frame being drawn; (0, 0) when it cannot be read.
Math::Point2d positionAt(const AT_Position2dAttr* attribute, double frame) {
    Math::Point2d p(0.0, 0.0);
    if (!attribute->getValue(frame, p, nullptr))
        return Math::Point2d(0.0, 0.0);
    return p;
}

}  // namespace

// ---- Point2dOGLPainter ---------------------------------------------------------------------

Point2dOGLPainter::Point2dOGLPainter(const MO_PropertyAccessor& properties, AT_Position2dAttr* attribute)
    : m_attribute(attribute) {
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightBlueColor, nullptr);
    m_relative = properties.getBool(kRelative, false, nullptr);
    // "color" only seeds the two colours that a node may also give one by one.
    const VS_RGBA color = properties.getColor(keys::color, kRed, nullptr);
    m_innerColor = properties.getColor(kInnerColor, color, nullptr);
    m_outerColor = properties.getColor(keys::outerColor, color, nullptr);
    m_size = static_cast<float>(properties.getDouble(keys::size, 0.01, 0));
    m_pickingSize = static_cast<float>(properties.getDouble(kPickingSize, m_size, 0));
    m_pointStyle = styleNamed(properties.getString(kPointStyle, QStringLiteral("CIRCLE"), nullptr));
}

Point2dOGLPainter::~Point2dOGLPainter() = default;

MO_OGLPainter* Point2dOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return rigkit::createWithFirstAttribute<Point2dOGLPainter, AT_Position2dAttr>(data);
}

void Point2dOGLPainter::update(const MO_PropertyAccessor& properties) {
    if (properties.hasProperty(keys::color)) {
        const VS_RGBA color = properties.getColor(keys::color, kRed, nullptr);
        m_innerColor = color;
        m_outerColor = color;
    }
    m_selectionColor = properties.getColor(keys::selectionColor, m_selectionColor, nullptr);
    m_relative = properties.getBool(kRelative, m_relative, nullptr);
    m_innerColor = properties.getColor(kInnerColor, m_innerColor, nullptr);
    m_outerColor = properties.getColor(keys::outerColor, m_outerColor, nullptr);
    m_size = static_cast<float>(properties.getDouble(keys::size, m_size, 0));
    m_pickingSize = static_cast<float>(properties.getDouble(kPickingSize, m_pickingSize, 0));
    if (properties.hasProperty(kPointStyle))
        m_pointStyle = styleNamed(properties.getString(kPointStyle, QStringLiteral("CIRCLE"), nullptr));
}

void Point2dOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    Math::Point2d p(0.0, 0.0);
    if (!m_relative)
        m_attribute->getValue(context.frameKey().frame(), p, nullptr);

    const bool pick = isPicking(context);
    // Selection shows on the inner shape only.
    const VS_RGBA outer = paintColor(context, state, m_outerColor);
    const VS_RGBA inner = paintColor(context, state, m_innerColor, m_selectionColor);

    CC_CameraChainTransformCanvasBinder& binder = *context.oglMatrixManager();
    Math::Point2d centre;
    if (!binder.transformChain().transform(Math::SourceModelFrame, Math::DestinationScreenFrame,
                                           context.sceneCommon()->metrics().toOGL(p), centre))
        return;
    const double half = UT_DPI::s_dpiScale * (pick ? m_pickingSize : m_size) * kScreenUnitPixels;

    VU_Painter painter(binder);
    painter.setPointReferential(VU_Painter::ScreenFrame);
    const auto style = static_cast<PointStyle>(m_pointStyle);
    drawPointShape(painter, centre, static_cast<float>(half), outer, style);
    // The pick image shows the one shape that can be hit.
    if (!pick)
        drawPointShape(painter, centre, static_cast<float>(kInnerRatio * half), inner, style);
}

void Point2dOGLPainter::drawPointShape(VU_Painter& painter, const Math::Point2d& c, float size, const VS_RGBA& colour,
                                       PointStyle style) {
    painter.setLineStrokeColor(colour);
    painter.setPointFillColor(colour);
    painter.setPointStrokeColor(colour);
    const double d = size;
    const auto around = [&](double angle) {
        return Math::Point2d(c.x + d * std::cos(angle), c.y + d * std::sin(angle));
    };
    switch (style) {
        case SQUARE: {
            Math::Box2d box;
            box.SetPoints(Math::Point2d(c.x - d, c.y - d), Math::Point2d(c.x + d, c.y + d));
            painter.drawBox(box);
            break;
        }
        case TRIANGLE:
            // A third of 6.28 apart from 1.57: the apex straight up on the screen's axes.
            painter.drawTriangle(around(1.57), around(3.663333333333333), around(5.756666666666667));
            break;
        case DIAMOND:
            painter.drawQuad(around(0.0), around(1.57), around(3.14), around(4.71));
            break;
        case CIRCLE:
        default:
            painter.drawFilledDisc(c, d, 0.0);
            break;
    }
}

// ---- Line2dOGLPainter ----------------------------------------------------------------------

Line2dOGLPainter::Line2dOGLPainter(const MO_PropertyAccessor& properties, AT_Position2dAttr* start,
                                   AT_Position2dAttr* end)
    : m_start(start), m_end(end) {
    m_color = properties.getColor(keys::color, kRed, nullptr);
    m_size = static_cast<float>(properties.getDouble(keys::size, 0.01, 0));
}

Line2dOGLPainter::~Line2dOGLPainter() = default;

MO_OGLPainter* Line2dOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    if (data.attributes.size() != 2)
        return nullptr;
    auto* start = dynamic_cast<AT_Position2dAttr*>(data.attributes[0]);
    auto* end = dynamic_cast<AT_Position2dAttr*>(data.attributes[1]);
    if (!start || !end)
        return nullptr;
    return new Line2dOGLPainter(data.properties, start, end);
}

void Line2dOGLPainter::update(const MO_PropertyAccessor& properties) {
    m_color = properties.getColor(keys::color, m_color, nullptr);
    m_size = static_cast<float>(properties.getDouble(keys::size, m_size, 0));
}

void Line2dOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    const double f = context.frameKey().frame();
    const SC_SceneMetrics& metrics = context.sceneCommon()->metrics();
    const Math::Point2d a = positionAt(m_start, f);
    const Math::Point2d b = positionAt(m_end, f);
    const Math::Point3d q1 = metrics.toOGL(Math::Point3d(a.x, a.y, 0.0));
    const Math::Point3d q2 = metrics.toOGL(Math::Point3d(b.x, b.y, 0.0));

    VU_Painter painter(*context.oglMatrixManager());
    painter.setLineThickness(m_size, VU_Painter::ScreenFrame);
    painter.setLineStrokeColor(paintColor(context, state, m_color));
    painter.drawLine(Math::Point2d(q1.x, q1.y), Math::Point2d(q2.x, q2.y));
}

void Line2dOGLPainter::drawEndpoint(const Math::Point2d& point, MO_OGLContext& context, const PaintState& state) {
    const Math::Point3d q = context.sceneCommon()->metrics().toOGL(Math::Point3d(point.x, point.y, 0.0));
    const Math::Point2d centre(q.x, q.y);
    const VS_RGBA colour = paintColor(context, state, m_color);
    VU_Painter painter(*context.oglMatrixManager());
    painter.setLineStrokeColor(colour);
    painter.drawFilledDisc(centre, m_size, 0.0);
    painter.setLineStrokeColor(colour);
    painter.drawFilledDisc(centre, kInnerRatio * m_size, 0.0);
}

// ---- Box2dOGLPainter -----------------------------------------------------------------------

Box2dOGLPainter::Box2dOGLPainter(const MO_PropertyAccessor& properties) {
    m_showLimits = properties.getBool(kShowLimits, false, nullptr);
    m_boxColor = properties.getColor(kBoxColor, kBlack, nullptr);
    // Stored as floats: the defaults, beyond a float's range, become infinities.
    m_xmin = static_cast<float>(properties.getDouble(keys::xmin, -kNoLimit, 0));
    m_ymin = static_cast<float>(properties.getDouble(keys::ymin, -kNoLimit, 0));
    m_xmax = static_cast<float>(properties.getDouble(kXMax, kNoLimit, 0));
    m_ymax = static_cast<float>(properties.getDouble(kYMax, kNoLimit, 0));
    m_showGridLines = properties.getBool(kShowGridLines, false, nullptr);
    m_yValues = rigkit::readDoubleList(properties, kYValues, 0.0);
    m_xValues = rigkit::readDoubleList(properties, kXValues, 0.0);
}

Box2dOGLPainter::~Box2dOGLPainter() = default;

MO_OGLPainter* Box2dOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new Box2dOGLPainter(data.properties);
}

void Box2dOGLPainter::update(const MO_PropertyAccessor& properties) {
    m_boxColor = properties.getColor(kBoxColor, m_boxColor, nullptr);
    m_xmin = static_cast<float>(properties.getDouble(keys::xmin, m_xmin, 0));
    m_ymin = static_cast<float>(properties.getDouble(keys::ymin, m_ymin, 0));
    m_xmax = static_cast<float>(properties.getDouble(kXMax, m_xmax, 0));
    m_ymax = static_cast<float>(properties.getDouble(kYMax, m_ymax, 0));
    m_showLimits = properties.getBool(kShowLimits, m_showLimits, nullptr);
    m_showGridLines = properties.getBool(kShowGridLines, m_showGridLines, nullptr);
    // An emptied list keeps the grid it had.
    if (properties.valueCount(kYValues) != 0)
        m_yValues = rigkit::readDoubleList(properties, kYValues, 0.0);
    if (properties.valueCount(kXValues) != 0)
        m_xValues = rigkit::readDoubleList(properties, kXValues, 0.0);
}

void Box2dOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    if (!m_showLimits)
        return;
    const VS_RGBA colour = paintColor(context, state, m_boxColor);
    const SC_SceneMetrics& metrics = context.metrics();
    const double z = kBoxDepth;
    const auto at = [&](double x, double y) {
        const Math::Point3d p = metrics.toOGL(Math::Point3d(x, y, z));
        return Math::Point2d(p.x, p.y);
    };
    const Math::Point2d a = at(m_xmin, m_ymin);
    const Math::Point2d b = at(m_xmax, m_ymax);
    const float w = static_cast<float>(b.x - a.x);
    const float h = static_cast<float>(b.y - a.y);
    const Math::Point2d c1(a.x + w, a.y);
    const Math::Point2d c2(a.x, a.y + h);

    VU_Painter painter(*context.oglMatrixManager());
    painter.setLineThickness(UT_DPI::s_dpiScale * 2.0, VU_Painter::ScreenFrame);
    painter.setLineStrokeColor(colour);
    painter.drawLine(a, c1);
    painter.drawLine(c1, b);
    painter.drawLine(b, c2);
    painter.drawLine(c2, a);
    if (!m_showGridLines)
        return;
    for (double v : m_yValues) {
        const float y = static_cast<float>(v);
        painter.drawLine(at(m_xmin, y), at(m_xmax, y));
    }
    for (double v : m_xValues) {
        const float x = static_cast<float>(v);
        painter.drawLine(at(x, m_ymin), at(x, m_ymax));
    }
}
