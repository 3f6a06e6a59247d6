#pragma once

// A line of text beside a node: a fixed text or the current value of a string attribute,
// anchored at a point of the node's frame that a 2D position attribute may move. The text
// is turned into vector art once and kept until the text to show or the properties
// change. It is drawn in its own colours whatever the pass: picking included, so it takes
// no part in picking, and it has no selected look.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/math/Math.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

#include <QString>

#include <cstdint>

class AT_Position2dAttr;
class AT_StringAttr;
class GR_CompositeVectorDrawingObj;
class VS_Canvas;

class LabelOGLPainter : public MO_OGLPainter, public MO_PropertyChangeListener {
public:
    // Either attribute may be null: the anchor is then "label_pos" alone, the text "label".
    LabelOGLPainter(const MO_PropertyAccessor& properties, AT_Position2dAttr* position, AT_StringAttr* text);
    ~LabelOGLPainter() override;
    LabelOGLPainter(const LabelOGLPainter&) = delete;
    LabelOGLPainter& operator=(const LabelOGLPainter&) = delete;

    static const QString& TypeString();
    // Takes the last position attribute and the last string attribute of the Data, each
    // recognised by its type name; a label is made even with neither.
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);

    void paint(MO_OGLContext& context, const PaintState& state) override;
    // Re-reads the properties and drops the art, so that the next paint writes the text
    // anew in the new font, size and colours.
    void update(const MO_PropertyAccessor& properties) override;

private:
    // `screen`: the anchor in window pixels; `scale`: window pixels per art unit.
    void drawText(VS_Canvas& canvas, const Math::Box2d& viewport, const QString& text, const Math::Point2d& screen,
                  double scale);
    GR_CompositeVectorDrawingObj* buildArt(const QString& text, double aspect) const;

    Math::Point3d m_position;      // scene units, node frame; z is fixed just below the node's plane
    Math::Point2d m_screenOffset;  // art units
    QString m_text;                // "label"; once art exists, the text it shows
    AT_Position2dAttr* m_positionAttr;
    AT_StringAttr* m_textAttr;
    VS_RGBA m_color;
    VS_RGBA m_backgroundColor;
    bool m_screenSpace;
    float m_size;  // points
    QString m_font;
    std::int32_t m_centered;
    GR_CompositeVectorDrawingObj* m_art = nullptr;
};
