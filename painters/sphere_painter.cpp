#include "painters/sphere_painter.h"

#include "host/draw/VU_Circle.h"
#include "host/scene/SC_SceneCommon.h"
#include "registry/component.h"

RIGKIT_TYPE_STRING(SphereOGLPainter, "SPHERE")

namespace {

const QString kRadius = QStringLiteral("radius");
const QString kLineWidth = QStringLiteral("line_width");
const QString kColor = QStringLiteral("color");
const QString kSelectionColor = QStringLiteral("selection_color");

constexpr int kRingDetail = 5;

}  // namespace

SphereOGLPainter::SphereOGLPainter(const MO_PropertyAccessor& properties)
    : m_radius(properties.getDouble(kRadius, 1.0, 0)),
      m_lineWidth(properties.getDouble(kLineWidth, 0.03, 0)),
      m_color(properties.getColor(kColor, VS_RGBA(255, 0, 0, 120), nullptr)),
      m_selectionColor(properties.getColor(kSelectionColor, VS_RGBA(255, 0, 0, 180), nullptr)),
      m_sphere(0.0f, 16, 16) {}

SphereOGLPainter::~SphereOGLPainter() = default;

MO_OGLPainter* SphereOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new SphereOGLPainter(data.properties);
}

void SphereOGLPainter::update(const MO_PropertyAccessor& properties) {
    // The current values stand as defaults: a key the node stops defining keeps its value.
    m_color = properties.getColor(kColor, m_color, nullptr);
    m_selectionColor = properties.getColor(kSelectionColor, m_selectionColor, nullptr);
    m_radius = properties.getDouble(kRadius, m_radius, 0);
    m_lineWidth = properties.getDouble(kLineWidth, m_lineWidth, 0);
}

void SphereOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    const bool picking = context.renderMode() == MO_OGLContext::PickingRender;
    const VS_RGBA colour = picking ? state.pickColor : (state.selection == 1 ? m_selectionColor : m_color);
    const double unit = context.sceneCommon()->metrics().xUnitScale();
    const double radius = m_radius * unit;
    m_sphere.setRadius(float(radius));
    m_sphere.draw(colour);
    // Only the body is pickable; the circles are a guide to the eye.
    if (picking)
        return;

    const float width = float(m_lineWidth * unit);
    VS_Canvas& canvas = *context.visualCanvas();
    const VS_Vector3D centre(0, 0, 0);
    const VS_Vector3D axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const VS_RGBA colours[3] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    // Thin lines first so that the circles stay visible when the bands have no width.
    for (int i = 0; i < 3; ++i)
        VU_Circle::LineDraw(canvas, centre, axes[i], radius, kRingDetail, colours[i]);
    for (int i = 0; i < 3; ++i)
        VU_Circle::Draw(canvas, centre, axes[i], radius, kRingDetail, width, colours[i]);
}
