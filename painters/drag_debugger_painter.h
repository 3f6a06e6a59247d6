#pragma once

// A diagnostic painter: solid cubes at the origin of the node's drawing frame, which show
// where that frame lies and how large a scene unit is in it. Its properties are read once;
// it does not follow later changes.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/math/Math.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

class DragDebuggerOGLPainter : public MO_OGLPainter {
public:
    explicit DragDebuggerOGLPainter(const MO_PropertyAccessor& properties);
    ~DragDebuggerOGLPainter() override;

    static const QString& TypeString();
    static MO_OGLPainter* createDynamic(const MO_OGLPainterFactory::Data& data);

    // Three coinciding cubes, each over the one before: the first in "color" (or the pick
    // colour), then "colorB", then the third colour. Only the first follows the pass.
    void paint(MO_OGLContext& context, const PaintState& state) override;

private:
    double m_length;  // scene units; half the edge of each cube
    VS_RGBA m_color;
    VS_RGBA m_colorB;
    VS_RGBA m_thirdColor;
};

// One cube of half edge h about c, twelve triangles drawn flat in the colour's red, green
// and blue. Line width and blending state come back as they were; the current colour stays
// set and the vertex array is left enabled.
void drawDebugCube(MO_OGLContext& context, const VS_RGBA& colour, float h, const Math::Point3d& c);
