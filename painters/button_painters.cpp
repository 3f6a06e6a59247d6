#include "painters/button_painters.h"

#include "host/base/UT_DPI.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VU_Painter.h"
#include "host/scene/SC_SceneCommon.h"
#include "painters/painter_conventions.h"
#include "registry/component.h"

#include <cmath>

RIGKIT_TYPE_STRING(ButtonOGLPainter, "BUTTON")
RIGKIT_TYPE_STRING(CheckboxOGLPainter, "CHECKBOX")

using namespace rigkit;

namespace {

const QString kOnColor = QStringLiteral("on_color");
const QString kOffColor = QStringLiteral("off_color");

// Screen-space sizes are fractions of this many pixels, before the screen's scale.
constexpr double kScreenUnitPixels = 350.0;

// The pressed button's shadow: the rim colour darkened, as integers.
VS_RGBA darkened(const VS_RGBA& c) {
    return VS_RGBA(c.r * 200 / 255, c.g * 200 / 255, c.b * 200 / 255, c.a);
}

}  // namespace

BaseToggleOGLPainter::BaseToggleOGLPainter(const MO_PropertyAccessor& properties, AT_BoolAttr* attribute)
    : m_attribute(attribute) {
    m_position = properties.getPoint(keys::position, Math::Point2d(0, 0), nullptr);
    m_onColor = properties.getColor(kOnColor, VS_RGBA(0, 255, 0, 128), nullptr);
    m_offColor = properties.getColor(kOffColor, VS_RGBA(255, 0, 0, 128), nullptr);
    m_outerColor = properties.getColor(keys::outerColor, VS_RGBA(255, 0, 0, 255), nullptr);
    m_screenSpace = properties.getBool(keys::screenSpace, false, nullptr);
    m_size = float(properties.getDouble(keys::size, 1.0, 0));
}

BaseToggleOGLPainter::~BaseToggleOGLPainter() = default;

void BaseToggleOGLPainter::update(const MO_PropertyAccessor& properties) {
    m_position = properties.getPoint(keys::position, m_position, nullptr);
    m_size = float(properties.getDouble(keys::size, m_size, 0));
    m_screenSpace = properties.getBool(keys::screenSpace, m_screenSpace, nullptr);
    m_onColor = properties.getColor(kOnColor, m_onColor, nullptr);
    m_offColor = properties.getColor(kOffColor, m_offColor, nullptr);
    m_outerColor = properties.getColor(keys::outerColor, m_outerColor, nullptr);
}

BaseToggleOGLPainter::Look BaseToggleOGLPainter::lookFor(MO_OGLContext& context, const PaintState& state,
                                                         VU_Painter& painter) const {
    Look look;
    look.rim = paintColor(context, state, m_outerColor);
    // Without an attribute there is nothing to show but the "on" look.
    look.on = m_attribute ? m_attribute->value(context.frameKey().frame()) : true;
    look.fill = look.on ? m_onColor : m_offColor;

    const SC_SceneMetrics& metrics = context.sceneCommon()->metrics();
    const Math::Point3d a = metrics.toOGL(Math::Point3d(m_position.x, m_position.y, 0.0));
    if (m_screenSpace) {
        // The control keeps its size in pixels around where its centre projects.
        context.oglMatrixManager()->transformChain().transform(Math::SourceModelFrame, Math::DestinationScreenFrame,
                                                               Math::Point2d(a.x, a.y), look.centre);
        look.size = double(UT_DPI::s_dpiScale * m_size) * kScreenUnitPixels;
        painter.setPointReferential(VU_Painter::ScreenFrame);
    } else {
        look.centre = Math::Point2d(a.x, a.y);
        look.size = metrics.toOGL(Math::Vector3d(0.0, m_size, 0.0)).length();
    }
    return look;
}

ButtonOGLPainter::ButtonOGLPainter(const MO_PropertyAccessor& properties, AT_BoolAttr* attribute)
    : BaseToggleOGLPainter(properties, attribute) {}

MO_OGLPainter* ButtonOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return rigkit::createWithFirstAttribute<ButtonOGLPainter, AT_BoolAttr>(data);
}

void ButtonOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    VU_Painter painter(*context.oglMatrixManager());
    const Look look = lookFor(context, state, painter);
    const Math::Point2d& c = look.centre;
    const double r = look.size;
    if (isPicking(context)) {
        painter.setLineStrokeColor(look.rim);
        painter.drawFilledDisc(c, r, 0.0);
        return;
    }
    if (look.on) {
        painter.setLineStrokeColor(darkened(look.rim));
        painter.drawFilledDisc(c, 0.98 * r, 0.0);
    }
    // Pressed, the face moves off its shadow by a tenth of the radius.
    painter.setLineStrokeColor(look.fill);
    painter.drawFilledDisc(look.on ? Math::Point2d(c.x + 0.1 * r, c.y) : c, 0.9 * r, 0.0);
    painter.setLineStrokeColor(look.rim);
    painter.drawFilledDisc(c, r, 0.9 * r);
}

CheckboxOGLPainter::CheckboxOGLPainter(const MO_PropertyAccessor& properties, AT_BoolAttr* attribute)
    : BaseToggleOGLPainter(properties, attribute) {}

MO_OGLPainter* CheckboxOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return rigkit::createWithFirstAttribute<CheckboxOGLPainter, AT_BoolAttr>(data);
}

void CheckboxOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    VU_Painter painter(*context.oglMatrixManager());
    const Look look = lookFor(context, state, painter);
    const Math::Point2d& c = look.centre;
    const double r = look.size;
    const auto box = [&painter](const Math::Point2d& centre, double dx, double dy) {
        Math::Box2d b(centre);
        b.Enlarge(dx, dy);
        painter.drawBox(b);
    };
    painter.setLineStrokeColor(look.rim);
    if (isPicking(context)) {
        box(c, r, r);
        return;
    }
    box(Math::Point2d(c.x, c.y - 0.95 * r), r, 0.05 * r);
    box(Math::Point2d(c.x, c.y + 0.95 * r), r, 0.05 * r);
    box(Math::Point2d(c.x - 0.95 * r, c.y), 0.05 * r, r);
    box(Math::Point2d(c.x + 0.95 * r, c.y), 0.05 * r, r);
    painter.setLineStrokeColor(look.fill);
    box(c, 0.9 * r, 0.9 * r);
    if (!look.on)
        return;

    // Two thin bars along the diagonals, each a quad whose ends lie on a circle of two
    // thirds of the half-side, a small angle either side of the diagonal.
    painter.setPointFillColor(look.rim);
    painter.setPointStrokeColor(look.rim);
    const double reach = 2.0 * r / 3.0;
    const double spread = (0.1 * r * 0.5) / reach;
    const auto at = [&c, reach](double angle) {
        return Math::Point2d(c.x + reach * std::cos(angle), c.y + reach * std::sin(angle));
    };
    for (int i = 0; i < 2; ++i) {
        const double a0 = (2 * i + 1) * 0.125 * 6.28;
        const double a1 = (2 * i + 5) * 0.125 * 6.28;
        painter.drawQuad(at(a0 + spread), at(a0 - spread), at(a1 + spread), at(a1 - spread));
    }
}
