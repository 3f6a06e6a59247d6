#pragma once

// Rings about one axis of the node's frame, either in the scene (sized in scene units) or
// flat on the screen around the node's origin (sized in pixels), where a thicker arc marks
// the direction the node's X axis takes on screen.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/draw/VS_Vector3D.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

// One paint for the three rings; each axis class supplies the normal and its colours.
class CircleOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    explicit CircleOGLPainter(const MO_PropertyAccessor& properties);
    ~CircleOGLPainter() override;

    void paint(MO_OGLContext& context, const PaintState& state) override;
    // The ring's normal in the node's frame.
    virtual VS_Vector3D axis() const = 0;

    void update(const MO_PropertyAccessor& properties) override;

protected:
    double m_width;         // scene units, or screen units of 350 px in screen space
    double m_pickingWidth;  // screen units; a wider ring is easier to hit
    double m_radius;        // same units as the width
    bool m_screenSpace;
    VS_RGBA m_color;
    VS_RGBA m_selectionColor;

private:
    void paintInScene(MO_OGLContext& context, const PaintState& state) const;
    void paintOnScreen(MO_OGLContext& context, const PaintState& state) const;
};

class CircleXOGLPainter : public CircleOGLPainter {
public:
    explicit CircleXOGLPainter(const MO_PropertyAccessor& properties);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    VS_Vector3D axis() const override;
};

class CircleYOGLPainter : public CircleOGLPainter {
public:
    explicit CircleYOGLPainter(const MO_PropertyAccessor& properties);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    VS_Vector3D axis() const override;
};

class CircleZOGLPainter : public CircleOGLPainter {
public:
    explicit CircleZOGLPainter(const MO_PropertyAccessor& properties);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    VS_Vector3D axis() const override;
};
