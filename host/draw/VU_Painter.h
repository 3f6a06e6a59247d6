#pragma once

#include "host/base/VS_RGBA.h"
#include "host/host_api.h"
#include "host/math/Math.h"

class CC_CameraChainTransformCanvasBinder;

// A drawing tool for one drawing, on a binder's current matrices. It keeps the colours and
// the frames in which coordinates and line thickness are given; each draw call draws at
// once, flat, in the colours set before it:
// - lines, boxes, discs and capsules in the line stroke colour;
// - quads and triangles filled in the point fill colour and, when it differs, outlined
//   one pixel wide in the point stroke colour.
// Coordinates are in the point referential: the model frame (the binder's drawing frame)
// unless set otherwise; 2D points lie on that frame's z = 0 plane. A shape with a
// coordinate or size that is not finite is not drawn, but for the lines below.
class HOST_API VU_Painter {
public:
    enum ReferenceFrame_e {
        // Window pixels, origin at the top left, y down.
        ScreenFrame = 1,
        // The world, in drawing units.
        WorldFrame = 5,
        // The binder's drawing frame (the node's frame while a painter paints).
        ModelFrame = 6,
    };

    static const VS_RGBA redColor;
    static const VS_RGBA lightRedColor;
    static const VS_RGBA greenColor;
    static const VS_RGBA lightGreenColor;
    static const VS_RGBA blueColor;
    static const VS_RGBA lightBlueColor;
    static const VS_RGBA darkGrayColor;
    static const VS_RGBA whiteColor;

    explicit VU_Painter(CC_CameraChainTransformCanvasBinder& binder) : m_binder(binder) {}

    void setLineStrokeColor(const VS_RGBA& c) { m_lineStroke = c; }
    void setPointStrokeColor(const VS_RGBA& c) { m_pointStroke = c; }
    void setPointFillColor(const VS_RGBA& c) { m_pointFill = c; }
    // In pixels for the screen frame (never thinner than one pixel, so that a line stays
    // visible and pickable); otherwise in units of the point referential.
    void setLineThickness(double thickness, ReferenceFrame_e frame) {
        m_thickness = thickness;
        m_thicknessFrame = frame;
    }
    void setPointReferential(ReferenceFrame_e frame) { m_pointFrame = frame; }

    // A band of the line thickness centred on the segment, with square ends that reach
    // half the thickness beyond a and b (so that outlines close at their corners). A line
    // along an axis of the point referential may reach to infinity at one end or both
    // (the limits of a box left open): it is drawn as far as the view reaches.
    void drawLine(const Math::Point2d& a, const Math::Point2d& b);
    // The filled rectangle between the box's corners, in whichever order they are given.
    void drawBox(const Math::Box2d& box);
    // Convex quads, corners in order around the outline.
    void drawQuad(const Math::Point2d& a, const Math::Point2d& b, const Math::Point2d& c, const Math::Point2d& d);
    void drawQuad(const Math::Point3d& a, const Math::Point3d& b, const Math::Point3d& c, const Math::Point3d& d);
    void drawTriangle(const Math::Point2d& a, const Math::Point2d& b, const Math::Point2d& c);
    // The ring between the two radii, in either order; a full disc when one is 0.
    void drawFilledDisc(const Math::Point2d& centre, double radius1, double radius2);
    // The segment widened by `radius` on every side: a rectangle with round ends.
    void drawCapsule(const Math::Point2d& a, const Math::Point2d& b, double radius);

private:
    void fillConvex(const Math::Point3d* corners, int count);
    // Cuts a line with infinite coordinates to the part that can reach the view, in the
    // point referential; false when none can, or when the line has no single place.
    bool clipInfinite(Math::Point2d& a, Math::Point2d& b) const;
    // A circle's radius as it shows on the screen, to choose its number of segments.
    double pixelRadius(const Math::Point2d& centre, double radius) const;

    CC_CameraChainTransformCanvasBinder& m_binder;
    VS_RGBA m_lineStroke;
    VS_RGBA m_pointStroke;
    VS_RGBA m_pointFill;
    double m_thickness = 1.0;
    ReferenceFrame_e m_thicknessFrame = ScreenFrame;
    ReferenceFrame_e m_pointFrame = ModelFrame;
};
