#include "painters/sphere_painter.h"

#include "host/draw/VU_Circle.h"
#include "painters/painter_conventions.h"
#include "registry/component.h"

RIGKIT_TYPE_STRING(SphereOGLPainter, "SPHERE")

using namespace rigkit;

namespace {

const QString kLineWidth = QStringLiteral("line_width");

constexpr int kRingDetail = 5;

}  // namespace

SphereOGLPainter::SphereOGLPainter(const MO_PropertyAccessor& properties)
    : m_radius(properties.getDouble(keys::radius, 1.0, 0)),
      m_lineWidth(properties.getDouble(kLineWidth, 0.03, 0)),
      m_color(properties.getColor(keys::color, VS_RGBA(255, 0, 0, 120), nullptr)),
      m_selectionColor(properties.getColor(keys::selectionColor, VS_RGBA(255, 0, 0, 180), nullptr)),
      m_sphere(0.0f, 16, 16) {}

SphereOGLPainter::~SphereOGLPainter() = default;

MO_OGLPainter* SphereOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new SphereOGLPainter(data.properties);
}

void SphereOGLPainter::update(const MO_PropertyAccessor& properties) {
    // The current values stand as defaults: a key the node stops defining keeps its value.
    m_color = properties.getColor(keys::color, m_color, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, m_selectionColor, nullptr);
    m_radius = properties.getDouble(keys::radius, m_radius, 0);
    m_lineWidth = properties.getDouble(kLineWidth, m_lineWidth, 0);
}

void SphereOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    const VS_RGBA colour = paintColor(context, state, m_color, m_selectionColor);
    const double unit = sceneUnit(context);
    const double radius = m_radius * unit;
    m_sphere.setRadius(float(radius));
    m_sphere.draw(colour);
    // Only the body is pickable; the circles are a guide to the eye.
    if (isPicking(context))
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
