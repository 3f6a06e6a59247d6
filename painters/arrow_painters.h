#pragma once

// Solid arrows from the node's origin along one axis of its frame: a flat shaft and a
// square pyramid for the head, drawn with OpenGL client arrays.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

// The fields and the property re-reading shared by the three arrows; each axis class
// chooses its colour defaults and turns the mesh onto its axis.
class BaseArrowOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    explicit BaseArrowOGLPainter(const MO_PropertyAccessor& properties);
    ~BaseArrowOGLPainter() override;

    void update(const MO_PropertyAccessor& properties) override;

protected:
    // The mesh along +Y of the current drawing frame, sized in drawing units.
    void drawMesh(MO_OGLContext& context, const PaintState& state) const;

    double m_length;  // scene units; the head's base at 0.8 of it, its apex at length + radius
    double m_radius;  // scene units; half the width of the head's square base
    VS_RGBA m_color;
    VS_RGBA m_selectionColor;
};

class ArrowXOGLPainter : public BaseArrowOGLPainter {
public:
    explicit ArrowXOGLPainter(const MO_PropertyAccessor& properties);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    void paint(MO_OGLContext& context, const PaintState& state) override;
};

class ArrowYOGLPainter : public BaseArrowOGLPainter {
public:
    explicit ArrowYOGLPainter(const MO_PropertyAccessor& properties);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    void paint(MO_OGLContext& context, const PaintState& state) override;
};

class ArrowZOGLPainter : public BaseArrowOGLPainter {
public:
    explicit ArrowZOGLPainter(const MO_PropertyAccessor& properties);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    void paint(MO_OGLContext& context, const PaintState& state) override;
};

// Builds the arrow's triangles at the origin along +Y (shaft half-width radius / 5 up to
// 0.8 × length, head from there to an apex at length + radius) and draws them flat in the
// colour's red, green and blue. Line width and blending state come back as they were; the
// current colour stays set and the vertex array is left disabled.
void drawArrowMesh(const VS_RGBA& colour, float length, float radius);
