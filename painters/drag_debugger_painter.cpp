#include "painters/drag_debugger_painter.h"

#include "host/draw/VS_Vector3D.h"
#include "host/draw/VU_Painter.h"
#include "painters/painter_conventions.h"
#include "registry/component.h"

#include <GL/gl.h>

#include <vector>

RIGKIT_TYPE_STRING(DragDebuggerOGLPainter, "DRAG_DEBUGGER")

using namespace rigkit;

namespace {

const QString kColorB = QStringLiteral("colorB");

}  // namespace

DragDebuggerOGLPainter::DragDebuggerOGLPainter(const MO_PropertyAccessor& properties)
    : m_length(properties.getDouble(keys::length, 1.0, 0)),
      m_color(properties.getColor(keys::color, VU_Painter::redColor, nullptr)),
      m_colorB(properties.getColor(kColorB, VU_Painter::blueColor, nullptr)),
      // The third cube shares the second's key: grey only while the node leaves it out.
      m_thirdColor(properties.getColor(kColorB, VS_RGBA(120, 120, 120, 255), nullptr)) {}

DragDebuggerOGLPainter::~DragDebuggerOGLPainter() = default;

MO_OGLPainter* DragDebuggerOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    return new DragDebuggerOGLPainter(data.properties);
}

void DragDebuggerOGLPainter::paint(MO_OGLContext& context, const PaintState& state) {
    // Selection does not change the first cube: a diagnostic has nothing to highlight.
    const VS_RGBA first = paintColor(context, state, m_color);
    const float h = float(m_length * sceneUnit(context));
    const Math::Point3d origin(0.0, 0.0, 0.0);
    drawDebugCube(context, first, h, origin);
    drawDebugCube(context, m_colorB, h, origin);
    drawDebugCube(context, m_thirdColor, h, origin);
}

void drawDebugCube(MO_OGLContext&, const VS_RGBA& colour, float h, const Math::Point3d& c) {
    const double half = h;
    const float x0 = float(c.x - half), x1 = float(c.x + half);
    const float y0 = float(c.y - half), y1 = float(c.y + half);
    const float z0 = float(c.z - half), z1 = float(c.z + half);
    // Corners named by the signs of their offsets; every triangle is clockwise seen from
    // outside.
    const VS_Vector3D mpp(x0, y1, z1), ppp(x1, y1, z1), pmp(x1, y0, z1), mmp(x0, y0, z1);
    const VS_Vector3D ppm(x1, y1, z0), pmm(x1, y0, z0), mmm(x0, y0, z0), mpm(x0, y1, z0);

    std::vector<VS_Vector3D> v;
    v.reserve(36);
    v.insert(v.end(), {
                          mpp, ppp, pmp, mpp, pmp, mmp,  // z + h
                          pmp, ppp, ppm, pmp, ppm, pmm,  // x + h
                          ppm, ppp, mpp, ppm, mpp, mpm,  // y + h
                          mmm, mmp, pmp, mmm, pmp, pmm,  // y - h
                          mmm, mpm, mpp, mmm, mpp, mmp,  // x - h
                          mmm, pmm, ppm, mmm, ppm, mpm,  // z - h
                      });

    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_LINE_BIT);
    glLineWidth(6.0f);
    glColor3ub(colour.GetRed(), colour.GetGreen(), colour.GetBlue());
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, v.data());
    glDrawArrays(GL_TRIANGLES, 0, 36);
    glPopAttrib();
}
