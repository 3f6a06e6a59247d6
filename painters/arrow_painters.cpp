#include "painters/arrow_painters.h"

#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VS_Vector3D.h"
#include "host/draw/VU_Painter.h"
#include "painters/painter_conventions.h"
#include "registry/component.h"

#include <GL/gl.h>

#include <vector>

RIGKIT_TYPE_STRING(ArrowXOGLPainter, "ARROW_X")
RIGKIT_TYPE_STRING(ArrowYOGLPainter, "ARROW_Y")
RIGKIT_TYPE_STRING(ArrowZOGLPainter, "ARROW_Z")

using namespace rigkit;

BaseArrowOGLPainter::BaseArrowOGLPainter(const MO_PropertyAccessor& properties)
    : m_length(properties.getDouble(keys::length, 1.0, 0)), m_radius(properties.getDouble(keys::radius, 0.15, 0)) {}

BaseArrowOGLPainter::~BaseArrowOGLPainter() = default;

void BaseArrowOGLPainter::update(const MO_PropertyAccessor& properties) {
    // The current values stand as defaults: a key the node stops defining keeps its value.
    m_color = properties.getColor(keys::color, m_color, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, m_selectionColor, nullptr);
    m_length = properties.getDouble(keys::length, m_length, 0);
    m_radius = properties.getDouble(keys::radius, m_radius, 0);
}

void BaseArrowOGLPainter::drawMesh(MO_OGLContext& context, const PaintState& state) const {
    const VS_RGBA colour = paintColor(context, state, m_color, m_selectionColor);
    const double unit = sceneUnit(context);
    const double length = m_length * unit;
    const double radius = m_radius * unit;
    drawArrowMesh(colour, float(length), float(radius));
}

ArrowXOGLPainter::ArrowXOGLPainter(const MO_PropertyAccessor& properties) : BaseArrowOGLPainter(properties) {
    m_color = properties.getColor(keys::color, VU_Painter::redColor, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightRedColor, nullptr);
}

MO_OGLPainter* ArrowXOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new ArrowXOGLPainter(data.properties);
}

void ArrowXOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    CC_CameraChainTransformCanvasBinder& binder = *context.oglMatrixManager();
    binder.rotateDegrees(-90.0, Math::Vector3d(0, 0, 1));
    drawMesh(context, state);
    binder.rotateDegrees(90.0, Math::Vector3d(0, 0, 1));
}

ArrowYOGLPainter::ArrowYOGLPainter(const MO_PropertyAccessor& properties) : BaseArrowOGLPainter(properties) {
    m_color = properties.getColor(keys::color, VU_Painter::greenColor, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightGreenColor, nullptr);
}

MO_OGLPainter* ArrowYOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new ArrowYOGLPainter(data.properties);
}

void ArrowYOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    drawMesh(context, state);
}

ArrowZOGLPainter::ArrowZOGLPainter(const MO_PropertyAccessor& properties) : BaseArrowOGLPainter(properties) {
    m_color = properties.getColor(keys::color, VU_Painter::blueColor, nullptr);
    m_selectionColor = properties.getColor(keys::selectionColor, VU_Painter::lightBlueColor, nullptr);
}

MO_OGLPainter* ArrowZOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new ArrowZOGLPainter(data.properties);
}

void ArrowZOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    CC_CameraChainTransformCanvasBinder& binder = *context.oglMatrixManager();
    binder.rotateDegrees(90.0, Math::Vector3d(1, 0, 0));
    drawMesh(context, state);
    binder.rotateDegrees(-90.0, Math::Vector3d(1, 0, 0));
}

void drawArrowMesh(const VS_RGBA& colour, float length, float radius) {
    const float w = radius / 5.0f;
    const float h = 0.8f * length;

    // Both arrays are filled before the first GL call, so a failed allocation leaves GL
    // untouched.
    std::vector<VS_Vector3D> shaft;
    shaft.reserve(6);
    shaft.insert(shaft.end(), {{w, 0, 0}, {w, h, 0}, {-w, h, 0}, {-w, h, 0}, {-w, 0, 0}, {w, 0, 0}});

    const VS_Vector3D apex(0, length + radius, 0);
    const VS_Vector3D b1(radius, h, radius), b2(radius, h, -radius), b3(-radius, h, -radius), b4(-radius, h, radius);
    std::vector<VS_Vector3D> head;
    head.reserve(18);
    head.insert(head.end(), {apex, b1, b2, apex, b2, b3, apex, b3, b4, apex, b4, b1, b1, b2, b4, b3, b4, b2});

    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_LINE_BIT);
    glLineWidth(6.0f);
    glColor3ub(colour.GetRed(), colour.GetGreen(), colour.GetBlue());
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, head.data());
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(head.size()));
    glVertexPointer(3, GL_FLOAT, 0, shaft.data());
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(shaft.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopAttrib();
}
