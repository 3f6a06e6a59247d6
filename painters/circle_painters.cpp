#include "painters/circle_painters.h"

#include "host/base/UT_DPI.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VU_Circle.h"
#include "host/draw/VU_Painter.h"
#include "host/draw/VU_ReferentialScope.h"
#include "painters/painter_conventions.h"
#include "registry/component.h"

#include <cmath>

RIGKIT_TYPE_STRING(CircleXOGLPainter, "CIRCLE_X")
RIGKIT_TYPE_STRING(CircleYOGLPainter, "CIRCLE_Y")
RIGKIT_TYPE_STRING(CircleZOGLPainter, "CIRCLE_Z")

using namespace rigkit;

namespace {

const QString kPickingWidth = QStringLiteral("picking_width");

// Screen-space sizes are fractions of this many pixels, before the screen's scale.
constexpr double kScreenUnitPixels = 350.0;
// The host's level of detail for whole rings, and the coarser one for the marker.
constexpr int kRingDetail = 5;
constexpr int kArcDetail = 3;

}  // namespace

CircleOGLPainter::CircleOGLPainter(const MO_PropertyAccessor& properties) {
    // The size defaults depend on the mode, so screen_space is read first.
    m_screenSpace = properties.getBool(keys::screenSpace, false, nullptr);
    m_pickingWidth = properties.getDouble(kPickingWidth, 0.12, 0);
    m_width = properties.getDouble(keys::width, m_screenSpace ? 0.01 : 0.03, 0);
    m_radius = properties.getDouble(keys::radius, m_screenSpace ? 0.04 : 1.0, 0);
}

CircleOGLPainter::~CircleOGLPainter() = default;

void CircleOGLPainter::update(const MO_PropertyAccessor& properties) {
    // The current values stand as defaults, and the sizes are not derived again from
    // screen_space: a node that switches modes keeps the sizes it had.
    m_color = properties.getColor(keys::color, m_color, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, m_selectionColor, nullptr);
    m_screenSpace = properties.getBool(keys::screenSpace, m_screenSpace, nullptr);
    m_pickingWidth = properties.getDouble(kPickingWidth, m_pickingWidth, 0);
    m_width = properties.getDouble(keys::width, m_width, 0);
    m_radius = properties.getDouble(keys::radius, m_radius, 0);
}

void CircleOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    if (m_screenSpace)
        paintOnScreen(context, state);
    else
        paintInScene(context, state);
}

void CircleOGLPainter::paintInScene(MO_OGLContext& context, const PaintState& state) const {
    const VS_RGBA colour = paintColor(context, state, m_color, m_selectionColor);
    const double unit = sceneUnit(context);
    VU_Circle::Draw(*context.visualCanvas(), VS_Vector3D(0, 0, 0), axis(), m_radius * unit, kRingDetail,
                    float(m_width * unit), colour);
}

void CircleOGLPainter::paintOnScreen(MO_OGLContext& context, const PaintState& state) const {
    const bool picking = isPicking(context);
    const double thickness = picking ? m_pickingWidth : m_width;
    const VS_RGBA colour = paintColor(context, state, m_color, m_selectionColor);

    CC_CameraChainTransformCanvasBinder& binder = *context.oglMatrixManager();
    const Math::CameraTransformChain& chain = binder.transformChain();
    // A node the camera cannot see (behind a perspective eye) has no place on the screen:
    // nothing is drawn, so nothing can be picked where it is not.
    Math::Point2d p0, p1;
    if (!chain.transform(Math::SourceModelFrame, Math::DestinationScreenFrame, Math::Point2d(0, 0), p0))
        return;

    // When the node's X axis points at the viewer both points meet and there is no
    // direction to show, and when the axis' end has no place on the screen there is none
    // either: the marker rests at angle 0.
    double markerAngle = 0.0;
    if (chain.transform(Math::SourceModelFrame, Math::DestinationScreenFrame, Math::Point2d(1, 0), p1)) {
        const double dx = p1.x - p0.x, dy = p1.y - p0.y;
        const double length = std::hypot(dx, dy);
        if (length > 0.0)
            markerAngle = std::atan2(dy / length, dx / length);
    }

    // Sizes stay in pixels whatever the zoom or the scene's units.
    const double pixels = double(UT_DPI::s_dpiScale) * kScreenUnitPixels;
    const double radius = pixels * m_radius;
    const double width = pixels * thickness;

    const VU_ReferentialScope screen(binder, Math::DestinationScreenFrame);
    VS_Canvas& canvas = *context.visualCanvas();
    const VS_Vector3D centre(float(p0.x), float(p0.y), 0.0f);
    VU_Circle::Draw(canvas, centre, axis(), radius, kRingDetail, float(width), colour);

    // The inverse colour stands out on the ring whatever its colour.
    const VS_RGBA marker = picking
                               ? state.pickColor
                               : VS_RGBA(255 - colour.GetRed(), 255 - colour.GetGreen(), 255 - colour.GetBlue(), 255);
    VU_Circle::DrawArc(canvas, centre, axis(), radius, kArcDetail, float(3.0 * width), marker, markerAngle);
}

CircleXOGLPainter::CircleXOGLPainter(const MO_PropertyAccessor& properties) : CircleOGLPainter(properties) {
    m_color = properties.getColor(keys::color, VS_RGBA(255, 0, 0, 120), nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightRedColor, nullptr);
}

MO_OGLPainter* CircleXOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new CircleXOGLPainter(data.properties);
}

VS_Vector3D CircleXOGLPainter::axis() const {
    return VS_Vector3D(1, 0, 0);
}

CircleYOGLPainter::CircleYOGLPainter(const MO_PropertyAccessor& properties) : CircleOGLPainter(properties) {
    m_color = properties.getColor(keys::color, VS_RGBA(0, 255, 0, 120), nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightGreenColor, nullptr);
}

MO_OGLPainter* CircleYOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new CircleYOGLPainter(data.properties);
}

VS_Vector3D CircleYOGLPainter::axis() const {
    return VS_Vector3D(0, 1, 0);
}

CircleZOGLPainter::CircleZOGLPainter(const MO_PropertyAccessor& properties) : CircleOGLPainter(properties) {
    m_color = properties.getColor(keys::color, VS_RGBA(0, 0, 255, 120), nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightBlueColor, nullptr);
}

MO_OGLPainter* CircleZOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new CircleZOGLPainter(data.properties);
}

VS_Vector3D CircleZOGLPainter::axis() const {
    return VS_Vector3D(0, 0, 1);
}
