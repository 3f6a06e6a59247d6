#pragma once

// Two-state controls bound to a boolean: a round push button and a square check box. Both
// fill with "on_color" or "off_color" by the value at the drawn frame inside an
// "outer_color" rim, and look the same whether selected or not.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/math/Math.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

class VU_Painter;

// The fields and the reading of keys the two controls share.
class BaseToggleOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    BaseToggleOGLPainter(const MO_PropertyAccessor& properties, AT_BoolAttr* attribute);
    ~BaseToggleOGLPainter() override;

    void update(const MO_PropertyAccessor& properties) override;

protected:
    // What both controls work out before drawing: the rim colour, the value and its fill,
    // and the centre and size in the painter's point referential (switched to window
    // pixels in screen space).
    struct Look {
        VS_RGBA rim;
        bool on;
        VS_RGBA fill;
        Math::Point2d centre;
        double size;
    };
    Look lookFor(MO_OGLContext& context, const PaintState& state, VU_Painter& painter) const;

    Math::Point2d m_position;
    AT_BoolAttr* m_attribute;
    VS_RGBA m_onColor, m_offColor, m_outerColor;
    bool m_screenSpace;
    float m_size;
};

class ButtonOGLPainter : public BaseToggleOGLPainter {
public:
    ButtonOGLPainter(const MO_PropertyAccessor& properties, AT_BoolAttr* attribute);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    void paint(MO_OGLContext& context, const PaintState& state) override;
};

class CheckboxOGLPainter : public BaseToggleOGLPainter {
public:
    CheckboxOGLPainter(const MO_PropertyAccessor& properties, AT_BoolAttr* attribute);
    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);
    void paint(MO_OGLContext& context, const PaintState& state) override;
};
