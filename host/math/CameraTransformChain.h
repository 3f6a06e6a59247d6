#pragma once

// The camera transform chain: how a point of a node's frame reaches a pixel of the view.
// A point of the model frame is carried into the world by the model matrix, into the eye
// frame by the view matrix, into clip space by the projection, and onto the window by the
// viewport. Frames are named by the numbers the host and its plug-ins pass around.

#include "host/host_api.h"
#include "host/math/Math.h"

namespace Math {

// 1: window pixels, origin at the top left, y growing downwards, z the depth in [0, 1].
// 5: the pointer frame, which is the world, in drawing units.
// 6: the model frame of the node being drawn or dragged.
enum SourceReferenceFrame_e { SourceScreenFrame = 1, SourcePointerFrame = 5, SourceModelFrame = 6 };
enum DestinationReferenceFrame_e {
    DestinationScreenFrame = 1,
    DestinationPointerFrame = 5,
    DestinationModelFrame = 6,
};

class CameraTransformChain;

// Told of what drawing asks of a chain while one is current: the renderer learns from it
// how a node's drawing depends on the view (host/draw/VS_NodeBounds.h). The host draws
// from one thread at a time, so one pointer serves.
class HOST_API ChainObserver {
public:
    virtual ~ChainObserver();
    // A point of `from` (the model or the pointer frame) carried to the window, to `out`;
    // `ok` is false when it has no place there.
    virtual void projected(const CameraTransformChain& chain, SourceReferenceFrame_e from, const Point3d& in,
                           const Point3d& out, bool ok) = 0;
    // The window read back into the scene, or the whole matrix to or from the window
    // taken: what is drawn may then depend on the view in any way.
    virtual void readsWindow() = 0;
    static ChainObserver* s_current;
};

class HOST_API CameraTransformChain {
public:
    // Identity matrices and an empty viewport: nothing reaches the window until a camera
    // and a viewport are set.
    CameraTransformChain() = default;

    // Looks down -Z at `center` with +Y up: window point (x, y) is the world point
    // (cx + (x - w/2) / ppu, cy - (y - h/2) / ppu, 0). The eye stands kOrthoEyeDistance
    // above the center so that the view matrix still places an eye; the depth range covers
    // that distance on both sides of the z = 0 plane.
    static CameraTransformChain orthographic(int width, int height, const Point2d& center, double pixelsPerUnit);
    // `fovyDegrees` is the vertical field of view.
    static CameraTransformChain perspective(int width, int height, const Point3d& eye, const Point3d& target,
                                            const Vector3d& up, double fovyDegrees);
    static constexpr double kOrthoEyeDistance = 1000.0;

    const Matrix4x4& modelMatrix() const { return m_model; }
    void setModelMatrix(const Matrix4x4& m) {
        m_model = m;
        m_modelToScreenKnown = false;
    }
    // Multiplies on the right: `m` acts on model points before the current model matrix.
    void applyMatrixToModel(const Matrix4x4& m) {
        m_model *= m;
        m_modelToScreenKnown = false;
    }
    const Matrix4x4& viewMatrix() const { return m_view; }
    void setViewMatrix(const Matrix4x4& m) {
        m_view = m;
        m_modelToScreenKnown = false;
    }
    const Matrix4x4& projectionMatrix() const { return m_projection; }
    void setProjectionMatrix(const Matrix4x4& m) {
        m_projection = m;
        m_modelToScreenKnown = false;
    }
    // The view's rectangle in window pixels, (x0, y0) top left to (x1, y1) bottom right.
    const Box2d& viewport() const { return m_viewport; }
    void setViewport(const Box2d& viewport) {
        m_viewport = viewport;
        m_modelToScreenKnown = false;
    }
    // The point the camera looks at; the pointer plane passes through it.
    const Point3d& target() const { return m_target; }
    void setTarget(const Point3d& target) { m_target = target; }

    // Normalised device coordinates to window pixels (y flipped, depth to [0, 1]).
    Matrix4x4 windowMatrix() const;
    // A projection under which drawing coordinates are window pixels of the viewport (z is
    // kept as it is, so z = 0 lies mid-depth).
    Matrix4x4 screenProjectionMatrix() const;

    // The matrix that carries homogeneous points of `from` into `to` (divide by w after
    // applying it). False when it needs the inverse of a singular matrix.
    bool compoundMatrix(SourceReferenceFrame_e from, DestinationReferenceFrame_e to, Matrix4x4& out) const;

    // A 3D point between frames. Screen points carry their depth as z. False when the
    // chain cannot be inverted, or when a point lies in the eye's plane or behind it and
    // so has no place on the screen.
    bool transform(SourceReferenceFrame_e from, DestinationReferenceFrame_e to, const Point3d& in, Point3d& out) const;
    // A 2D point is the 3D point with z = 0 in its frame, and the result keeps x and y. A
    // window point has no depth of its own: it stands for the point under that pixel on
    // the destination frame's z = 0 plane; false when the line of sight runs along that
    // plane.
    bool transform(SourceReferenceFrame_e from, DestinationReferenceFrame_e to, const Point2d& in, Point2d& out) const;
    // Both ends; false unless both succeed.
    bool transform(SourceReferenceFrame_e from, DestinationReferenceFrame_e to, const Segment2d& in,
                   Segment2d& out) const;

    // Where the pointer at a window position is in the world: the point under it on the
    // plane through the target that faces the camera.
    bool pointerPosition(const Point2d& window, Point3d& world) const;

private:
    // transform, untold.
    bool transformPoint(SourceReferenceFrame_e from, DestinationReferenceFrame_e to, const Point3d& in,
                        Point3d& out) const;
    // The matrix from `frame` to the world, or from the world to `frame`.
    bool toWorld(int frame, Matrix4x4& out) const;
    bool fromWorld(int frame, Matrix4x4& out) const;
    bool compound(int from, int to, Matrix4x4& out) const;
    // The line of sight through a window pixel, as two points of frame `to` (at the near
    // and far depths).
    bool lineOfSight(int to, const Point2d& window, Point3d& a, Point3d& b) const;

    Matrix4x4 m_model;
    Matrix4x4 m_view;
    Matrix4x4 m_projection;
    Box2d m_viewport;
    Point3d m_target;
    // The model frame to window pixels, made when first asked after a change: a drag
    // projects onto its node's plane at every move from the same chain, and copies of the
    // chain carry it along.
    mutable Matrix4x4 m_modelToScreen;
    mutable bool m_modelToScreenKnown = false;
};

// The projection of a plane onto the screen, from the matrix that carries the plane's
// frame to window pixels; the plane is that frame's z = 0.
class HOST_API PlaneProjection {
public:
    // `homogeneous`: the matrix's result is divided by its w, as for a perspective camera;
    // otherwise the matrix is taken as affine and w is ignored.
    PlaneProjection(const Matrix4x4& planeToScreen, bool homogeneous);

    // The window point of the plane point (x, y).
    bool getProjection(double x, double y, Point2d& out) const;
    // The plane point (x, y) under the window point (x, y). False when the plane is seen
    // edge-on there (no single point) or the result is not finite.
    bool getInverseProjection(double x, double y, Point2d& out) const;

private:
    Matrix4x4 m_matrix;
    bool m_homogeneous;
};

}  // namespace Math
