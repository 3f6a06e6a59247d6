#include "painters/plane_painters.h"

#include "host/draw/VU_Painter.h"
#include "painters/painter_conventions.h"
#include "registry/component.h"

RIGKIT_TYPE_STRING(PlaneXYOGLPainter, "PLANE_XY")
RIGKIT_TYPE_STRING(PlaneXZOGLPainter, "PLANE_XZ")
RIGKIT_TYPE_STRING(PlaneYZOGLPainter, "PLANE_YZ")

using namespace rigkit;

namespace {

void drawSquare(MO_OGLContext& context, const VS_RGBA& colour, const Math::Point3d& a, const Math::Point3d& b,
                const Math::Point3d& c, const Math::Point3d& d) {
    VU_Painter painter(*context.oglMatrixManager());
    // The same stroke as fill: the square gets no outline of another colour, which would
    // also spoil the picking image.
    painter.setPointFillColor(colour);
    painter.setPointStrokeColor(colour);
    painter.drawQuad(a, b, c, d);
}

}  // namespace

BasePlaneOGLPainter::BasePlaneOGLPainter(const MO_PropertyAccessor& properties)
    : m_width(properties.getDouble(keys::width, 1.0, 0)), m_min(properties.getDouble(keys::min, 0.0, 0)) {}

BasePlaneOGLPainter::~BasePlaneOGLPainter() = default;

void BasePlaneOGLPainter::update(const MO_PropertyAccessor& properties) {
    // The current values stand as defaults: a key the node stops defining keeps its value.
    m_color = properties.getColor(keys::color, m_color, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, m_selectionColor, nullptr);
    m_min = properties.getDouble(keys::min, m_min, 0);
    m_width = properties.getDouble(keys::width, m_width, 0);
}

void BasePlaneOGLPainter::bounds(const MO_OGLContext& context, double& near, double& far) const {
    // Both axes of every plane follow the scene's X unit.
    const double unit = sceneUnit(context);
    near = m_min * unit;
    far = m_width * unit + near;
}

PlaneXYOGLPainter::PlaneXYOGLPainter(const MO_PropertyAccessor& properties) : BasePlaneOGLPainter(properties) {
    m_color = properties.getColor(keys::color, VU_Painter::redColor, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightRedColor, nullptr);
}

MO_OGLPainter* PlaneXYOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new PlaneXYOGLPainter(data.properties);
}

void PlaneXYOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    double a, b;
    bounds(context, a, b);
    drawSquare(context, paintColor(context, state, m_color, m_selectionColor), {a, a, 0}, {a, b, 0}, {b, b, 0},
               {b, a, 0});
}

PlaneXZOGLPainter::PlaneXZOGLPainter(const MO_PropertyAccessor& properties) : BasePlaneOGLPainter(properties) {
    m_color = properties.getColor(keys::color, VU_Painter::blueColor, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightBlueColor, nullptr);
}

MO_OGLPainter* PlaneXZOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new PlaneXZOGLPainter(data.properties);
}

void PlaneXZOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    double a, b;
    bounds(context, a, b);
    drawSquare(context, paintColor(context, state, m_color, m_selectionColor), {a, 0, a}, {a, 0, b}, {b, 0, b},
               {b, 0, a});
}

PlaneYZOGLPainter::PlaneYZOGLPainter(const MO_PropertyAccessor& properties) : BasePlaneOGLPainter(properties) {
    m_color = properties.getColor(keys::color, VU_Painter::greenColor, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightGreenColor, nullptr);
}

MO_OGLPainter* PlaneYZOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new PlaneYZOGLPainter(data.properties);
}

void PlaneYZOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    double a, b;
    bounds(context, a, b);
    drawSquare(context, paintColor(context, state, m_color, m_selectionColor), {0, a, a}, {0, a, b}, {0, b, b},
               {0, b, a});
}
