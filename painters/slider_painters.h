#pragma once

// The two halves of a slider control: the track, a capsule from the slider's start to its
// end, and the knob, a disc placed along the track by its attribute's value. Both read the
// keys the slider manipulator reads, so the knob sits where a drag puts it.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/math/Math.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"
#include "manipulators/slider_placement.h"

class SliderOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    SliderOGLPainter(const MO_PropertyAccessor& properties, AT_DoubleAttr* attribute);
    ~SliderOGLPainter() override;

    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);

    void paint(MO_OGLContext& context, const PaintState& state) override;
    void update(const MO_PropertyAccessor& properties) override;

    SliderPlacement placement() const { return m_placement; }

private:
    AT_DoubleAttr* m_attribute;
    double m_xmin, m_ymin;
    Math::Point2d m_position;
    double m_radius, m_length;
    double m_min, m_max;
    bool m_dropShadow, m_horizontal;
    SliderPlacement m_placement;
    VS_RGBA m_sliderColor, m_contourColor, m_sliderSelectionColor;
};

class SliderFrameOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    explicit SliderFrameOGLPainter(const MO_PropertyAccessor& properties);
    ~SliderFrameOGLPainter() override;

    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);

    void paint(MO_OGLContext& context, const PaintState& state) override;
    void update(const MO_PropertyAccessor& properties) override;

    SliderPlacement placement() const { return m_placement; }

private:
    double m_length, m_radius;
    double m_xmin, m_ymin;
    Math::Point2d m_position;
    SliderPlacement m_placement;
    bool m_dropShadow, m_horizontal;
    VS_RGBA m_frameColor, m_contourColor, m_frameSelectionColor;
};
