#include "painters/slider_painters.h"

#include "host/base/UT_DPI.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VU_Painter.h"
#include "host/scene/SC_SceneCommon.h"
#include "painters/painter_conventions.h"
#include "registry/component.h"

RIGKIT_TYPE_STRING(SliderOGLPainter, "SLIDER")
RIGKIT_TYPE_STRING(SliderFrameOGLPainter, "SLIDER_FRAME")

using namespace rigkit;

namespace {

const QString kMax = QStringLiteral("max");
const QString kDropShadow = QStringLiteral("drop_shadow");
const QString kHorizontal = QStringLiteral("horizontal");
const QString kSliderColor = QStringLiteral("slider_color");
const QString kContourColor = QStringLiteral("contour_color");
const QString kSliderSelectionColor = QStringLiteral("slider_selection_color");
const QString kFrameColor = QStringLiteral("frame_color");
const QString kFrameSelectionColor = QStringLiteral("frame_selection_color");

const VS_RGBA kShadowColor(0, 0, 0, 100);
const VS_RGBA kSelectionColor(125, 125, 255, 255);
// Screen-placed radii are fractions of this many pixels, before the screen's scale.
constexpr double kScreenRadiusPixels = 200.0;
// How far a shadow falls, right and down, as a fraction of the radius.
constexpr double kShadowOffset = 0.15;

double defaultRadius(SliderPlacement placement) {
    switch (placement) {
        case SliderPlacement::Screen:
            return 0.04;
        case SliderPlacement::Corner:
            return 0.03;
        case SliderPlacement::Scene:
            break;
    }
    return 0.35;
}

// A screen-placed radius in drawing units: one window pixel measured in the model frame.
double screenRadius(const Math::CameraTransformChain& chain, double radius) {
    Math::Segment2d pixel;
    chain.transform(Math::SourceScreenFrame, Math::DestinationModelFrame,
                    Math::Segment2d(Math::Point2d(0, 0), Math::Point2d(0, 1)), pixel);
    const double k = Math::Point2d::GetDistance(pixel.a, pixel.b);
    return k * double(UT_DPI::s_dpiScale) * kScreenRadiusPixels * radius;
}

Math::Point2d sceneToDrawing(const MO_OGLContext& context, double x, double y) {
    const Math::Point3d p = context.sceneCommon()->metrics().toOGL(Math::Point3d(x, y, 0.0));
    return Math::Point2d(p.x, p.y);
}

}  // namespace

SliderOGLPainter::SliderOGLPainter(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute)
    : m_attribute(attribute) {
    m_xmin = properties.getDouble(keys::xmin, -0.05, 0);
    m_ymin = properties.getDouble(keys::ymin, -0.25, 0);
    m_position = properties.getPoint(keys::position, Math::Point2d(0, 0), nullptr);
    m_min = properties.getDouble(keys::min, 0.0, 0);
    m_max = properties.getDouble(kMax, 100.0, 0);
    m_dropShadow = properties.getBool(kDropShadow, false, nullptr);
    m_horizontal = properties.getBool(kHorizontal, false, nullptr);
    m_sliderColor = properties.getColor(kSliderColor, VU_Painter::whiteColor, nullptr);
    m_contourColor = properties.getColor(kContourColor, VU_Painter::darkGrayColor, nullptr);
    m_sliderSelectionColor = properties.getColor(kSliderSelectionColor, kSelectionColor, nullptr);
    // The size defaults follow the placement.
    m_placement = rigkit::chooseSliderPlacement(properties);
    m_length = properties.getDouble(keys::length, rigkit::defaultSliderLength(m_placement), 0);
    m_radius = properties.getDouble(keys::radius, defaultRadius(m_placement), 0);
}

SliderOGLPainter::~SliderOGLPainter() = default;

MO_OGLPainter* SliderOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return rigkit::createWithFirstAttribute<SliderOGLPainter, AT_DoubleAttr>(data);
}

void SliderOGLPainter::update(const MO_PropertyAccessor& properties) {
    m_xmin = properties.getDouble(keys::xmin, m_xmin, 0);
    m_ymin = properties.getDouble(keys::ymin, m_ymin, 0);
    m_position = properties.getPoint(keys::position, m_position, nullptr);
    m_dropShadow = properties.getBool(kDropShadow, m_dropShadow, nullptr);
    m_horizontal = properties.getBool(kHorizontal, m_horizontal, nullptr);
    m_min = properties.getDouble(keys::min, m_min, 0);
    m_max = properties.getDouble(kMax, m_max, 0);
    m_sliderColor = properties.getColor(kSliderColor, m_sliderColor, nullptr);
    m_contourColor = properties.getColor(kContourColor, m_contourColor, nullptr);
    m_sliderSelectionColor = properties.getColor(kSliderSelectionColor, m_sliderSelectionColor, nullptr);
    m_length = properties.getDouble(keys::length, m_length, 0);
    m_radius = properties.getDouble(keys::radius, m_radius, 0);
    m_placement = rigkit::updatedSliderPlacement(properties, m_placement);
}

void SliderOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    const double value = m_attribute->valueAt(context.frameKey().frame(), nullptr, nullptr);
    // Not clamped: a value outside the range shows beyond the track's ends. An empty range
    // has no ratio; its knob rests at the start.
    const double ratio = m_max != m_min ? (value - m_min) / (m_max - m_min) : 0.0;
    const double t = ratio * m_length;
    const double dx = m_horizontal ? t : 0.0;
    const double dy = m_horizontal ? 0.0 : t;
    const bool picking = isPicking(context);
    CC_CameraChainTransformCanvasBinder& binder = *context.oglMatrixManager();
    VU_Painter painter(binder);

    Math::Point2d c;
    double r = m_radius;
    switch (m_placement) {
        case SliderPlacement::Scene:
            r = m_radius * sceneUnit(context);
            c = sceneToDrawing(context, m_position.x + dx, m_position.y + dy);
            break;
        case SliderPlacement::Corner:
            c = Math::Point2d(m_xmin + dx, m_ymin + dy);
            break;
        case SliderPlacement::Screen:
            r = screenRadius(binder.transformChain(), m_radius);
            c = rigkit::sliderScreenPoint(binder.transformChain(), m_position.x + dx, m_position.y - dy);
            break;
    }

    if (picking) {
        painter.setLineStrokeColor(state.pickColor);
        painter.drawFilledDisc(c, 0.0, r);
        return;
    }
    if (m_dropShadow) {
        painter.setLineStrokeColor(kShadowColor);
        painter.drawFilledDisc(Math::Point2d(c.x + kShadowOffset * r, c.y - kShadowOffset * r), 0.0, r);
    }
    painter.setLineStrokeColor(m_contourColor);
    painter.drawFilledDisc(c, 0.0, r);
    painter.setLineStrokeColor(state.selection == 1 ? m_sliderSelectionColor : m_sliderColor);
    painter.drawFilledDisc(c, 0.0, 0.8 * r);
}

SliderFrameOGLPainter::SliderFrameOGLPainter(const MO_PropertyAccessor& properties) {
    m_xmin = properties.getDouble(keys::xmin, -0.05, 0);
    m_ymin = properties.getDouble(keys::ymin, -0.25, 0);
    m_position = properties.getPoint(keys::position, Math::Point2d(0, 0), nullptr);
    m_dropShadow = properties.getBool(kDropShadow, false, nullptr);
    m_horizontal = properties.getBool(kHorizontal, false, nullptr);
    m_frameColor = properties.getColor(kFrameColor, VS_RGBA(200, 200, 200, 255), nullptr);
    m_contourColor = properties.getColor(kContourColor, VU_Painter::darkGrayColor, nullptr);
    m_frameSelectionColor = properties.getColor(kFrameSelectionColor, kSelectionColor, nullptr);
    m_placement = rigkit::chooseSliderPlacement(properties);
    m_length = properties.getDouble(keys::length, rigkit::defaultSliderLength(m_placement), 0);
    m_radius = properties.getDouble(keys::radius, defaultRadius(m_placement), 0);
}

SliderFrameOGLPainter::~SliderFrameOGLPainter() = default;

MO_OGLPainter* SliderFrameOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new SliderFrameOGLPainter(data.properties);
}

void SliderFrameOGLPainter::update(const MO_PropertyAccessor& properties) {
    // The track keeps the placement it was built with.
    m_xmin = properties.getDouble(keys::xmin, m_xmin, 0);
    m_ymin = properties.getDouble(keys::ymin, m_ymin, 0);
    m_position = properties.getPoint(keys::position, m_position, nullptr);
    m_dropShadow = properties.getBool(kDropShadow, m_dropShadow, nullptr);
    m_horizontal = properties.getBool(kHorizontal, m_horizontal, nullptr);
    m_frameColor = properties.getColor(kFrameColor, m_frameColor, nullptr);
    m_contourColor = properties.getColor(kContourColor, m_contourColor, nullptr);
    m_frameSelectionColor = properties.getColor(kFrameSelectionColor, m_frameSelectionColor, nullptr);
    m_length = properties.getDouble(keys::length, m_length, 0);
    m_radius = properties.getDouble(keys::radius, m_radius, 0);
}

void SliderFrameOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    const bool picking = isPicking(context);
    const VS_RGBA face = paintColor(context, state, m_frameColor, m_frameSelectionColor);
    CC_CameraChainTransformCanvasBinder& binder = *context.oglMatrixManager();
    VU_Painter painter(binder);
    painter.setLineStrokeColor(face);

    const double dx = m_horizontal ? m_length : 0.0;
    const double dy = m_horizontal ? 0.0 : m_length;
    Math::Point2d p0, p1;
    double r = m_radius;
    switch (m_placement) {
        case SliderPlacement::Scene:
            r = m_radius * sceneUnit(context);
            p0 = sceneToDrawing(context, m_position.x, m_position.y);
            p1 = sceneToDrawing(context, m_position.x + dx, m_position.y + dy);
            break;
        case SliderPlacement::Corner:
            p0 = Math::Point2d(m_xmin, m_ymin);
            p1 = Math::Point2d(m_xmin + dx, m_ymin + dy);
            break;
        case SliderPlacement::Screen:
            r = screenRadius(binder.transformChain(), m_radius);
            p0 = rigkit::sliderScreenPoint(binder.transformChain(), m_position.x, m_position.y);
            p1 = rigkit::sliderScreenPoint(binder.transformChain(), m_position.x + dx, m_position.y - dy);
            break;
    }

    const double w = 0.4 * r;
    if (m_dropShadow && !picking) {
        const Math::Point2d shift(kShadowOffset * r, -kShadowOffset * r);
        painter.setLineStrokeColor(kShadowColor);
        painter.drawCapsule(Math::Point2d::Base(p0) + Math::Point2d::Base(shift),
                            Math::Point2d::Base(p1) + Math::Point2d::Base(shift), w);
    }
    painter.setLineStrokeColor(picking ? state.pickColor : m_contourColor);
    painter.drawCapsule(p0, p1, w);
    painter.setLineStrokeColor(face);
    painter.drawCapsule(p0, p1, 0.65 * w);
}
