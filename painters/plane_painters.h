#pragma once

// Filled squares in one coordinate plane of the node's frame, set off from the origin
// along both axes of that plane, as a handle for dragging in that plane.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

// The fields and the property re-reading shared by the three planes; each plane class
// chooses its colour defaults and lays the square in its plane.
class BasePlaneOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    explicit BasePlaneOGLPainter(const MO_PropertyAccessor& properties);
    ~BasePlaneOGLPainter() override;

    void update(const MO_PropertyAccessor& properties) override;

protected:
    // The near and far coordinates of the square along both of its axes, in drawing units.
    void bounds(const MO_OGLContext& context, double& near, double& far) const;

    double m_width;  // scene units; the side of the square, negative to lie below the near corner
    double m_min;    // scene units; the near corner's distance from the origin on both axes
    VS_RGBA m_color;
    VS_RGBA m_selectionColor;
};

class PlaneXYOGLPainter : public BasePlaneOGLPainter {
public:
    explicit PlaneXYOGLPainter(const MO_PropertyAccessor& properties);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    void paint(MO_OGLContext& context, const PaintState& state) override;
};

class PlaneXZOGLPainter : public BasePlaneOGLPainter {
public:
    explicit PlaneXZOGLPainter(const MO_PropertyAccessor& properties);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    void paint(MO_OGLContext& context, const PaintState& state) override;
};

class PlaneYZOGLPainter : public BasePlaneOGLPainter {
public:
    explicit PlaneYZOGLPainter(const MO_PropertyAccessor& properties);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    void paint(MO_OGLContext& context, const PaintState& state) override;
};
