#pragma once

// The bases of the components that plug-ins contribute through the four factories. The
// host owns every component and destroys it through its virtual destructor.

#include "host/host_api.h"

#include <QFlags>
#include <Qt>

class MO_FrameKey;
class MO_OGLContext;
struct PaintState;
class SLB_DragContext;
class SLB_SelectedInterface;

namespace Math {
class Matrix4x4;
}

// Turns an attribute's value at a frame into a part of the node's matrix.
class HOST_API MO_LocalTransformation {
public:
    virtual ~MO_LocalTransformation();
    virtual void apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const = 0;
    virtual void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const = 0;
};

// Draws a node's control, in the ordinary pass and in the picking pass.
class HOST_API MO_OGLPainter {
public:
    virtual ~MO_OGLPainter();
    virtual void paint(MO_OGLContext& context, const PaintState& state) = 0;
};

// Turns pointer drags into edits. x, y, z are the pointer in the pointer frame.
class HOST_API SLB_SelectableDragManipulator {
public:
    virtual ~SLB_SelectableDragManipulator();
    virtual void drag(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y, double z) = 0;
    virtual void dragStarted(SLB_DragContext& context, SLB_SelectedInterface* selected, double x, double y,
                             double z) = 0;
    virtual void dragFinished(SLB_DragContext& context, SLB_SelectedInterface* selected) = 0;
};

// Claims picking hits for a node.
class HOST_API SLB_SelectablePickAdaptor {
public:
    virtual ~SLB_SelectablePickAdaptor();
};

class HOST_API SLB_ModulePickAdaptor : public SLB_SelectablePickAdaptor {
public:
    ~SLB_ModulePickAdaptor() override;
};
