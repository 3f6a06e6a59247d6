#pragma once

// A solid sphere on the node's origin with, outside picking, the three great circles about
// the node's axes in fixed red, green and blue, so that its orientation shows.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/draw/VU_Sphere.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

class SphereOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    explicit SphereOGLPainter(const MO_PropertyAccessor& properties);
    ~SphereOGLPainter() override;

    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);

    void paint(MO_OGLContext& context, const PaintState& state) override;
    void update(const MO_PropertyAccessor& properties) override;

private:
    double m_radius;     // scene units, of the sphere and of the circles
    double m_lineWidth;  // scene units, of the great-circle bands
    VS_RGBA m_color;
    VS_RGBA m_selectionColor;
    // Tessellated once; each draw only sets its radius.
    VU_Sphere m_sphere;
};
