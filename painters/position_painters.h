#pragma once

// Controls of 2D positions: the handle of a point (a small shape of fixed screen size), a
// line joining two points, and the box within which a point may move with its grid of
// snap values.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/math/Math.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

#include <vector>

class VU_Painter;

class Point2dOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    enum PointStyle : std::int32_t { SQUARE = 0, TRIANGLE = 1, DIAMOND = 2, CIRCLE = 3 };

    Point2dOGLPainter(const MO_PropertyAccessor& properties, AT_Position2dAttr* attribute);
    ~Point2dOGLPainter() override;

    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);

    void paint(MO_OGLContext& context, const PaintState& state) override;
    void update(const MO_PropertyAccessor& properties) override;

    // One shape of half-size `size` (screen pixels when the painter draws in the screen
    // frame) about `centre`, filled in `colour`.
    static void drawPointShape(VU_Painter& painter, const Math::Point2d& centre, float size, const VS_RGBA& colour,
                               PointStyle style);

private:
    AT_Position2dAttr* m_attribute;
    VS_RGBA m_innerColor;
    VS_RGBA m_outerColor;
    VS_RGBA m_selectionColor;
    std::int32_t m_pointStyle;
    float m_size;
    float m_pickingSize;
    bool m_relative;
};

class Line2dOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    Line2dOGLPainter(const MO_PropertyAccessor& properties, AT_Position2dAttr* start, AT_Position2dAttr* end);
    ~Line2dOGLPainter() override;

    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);

    void paint(MO_OGLContext& context, const PaintState& state) override;
    // A disc of the line's size at one end, with a smaller one over it; `paint` draws the
    // line alone.
    virtual void drawEndpoint(const Math::Point2d& point, MO_OGLContext& context, const PaintState& state);
    void update(const MO_PropertyAccessor& properties) override;

private:
    AT_Position2dAttr* m_start;
    AT_Position2dAttr* m_end;
    VS_RGBA m_color;
    float m_size;
};

class Box2dOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    explicit Box2dOGLPainter(const MO_PropertyAccessor& properties);
    ~Box2dOGLPainter() override;

    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);

    void paint(MO_OGLContext& context, const PaintState& state) override;
    void update(const MO_PropertyAccessor& properties) override;

private:
    bool m_showLimits;
    VS_RGBA m_boxColor;
    bool m_showGridLines;
    std::vector<double> m_yValues;
    std::vector<double> m_xValues;
    float m_xmin, m_ymin, m_xmax, m_ymax;
};
