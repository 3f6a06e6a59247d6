#pragma once

// The bases of the components that plug-ins contribute through the four factories. The
// host owns every component and destroys it through its virtual destructor.

#include "host/base/UT_SharedPtr.h"
#include "host/host_api.h"

#include <QFlags>
#include <Qt>

#include <cstdint>

class AT_Attr;
class MO_FrameKey;
class MO_Module;
class SLB_SelectableDescriptor;
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

// Draws a node's control, in the ordinary pass and in the picking pass. The renderer leaves
// out what it has learnt cannot be seen and keeps what it has drawn while nothing changes,
// so every painter keeps four promises:
// - paint is a pure function of the node's inputs: its attributes at the context's frame,
//   the properties the painter read at creation or at its last update, the state's
//   selection and pick colour, and the view (the binder's matrices, the scene's metrics,
//   the screen's scale). Two paints in a row draw the same pixels; a cache is fine as long
//   as no pixel depends on it.
// - It survives a second call after one in GL feedback mode: the renderer learns where a
//   node draws by painting it once under glRenderMode(GL_FEEDBACK), which draws no pixel,
//   and the next ordinary paint draws what it would have drawn without that one.
// - It leaves GL state and the binder's matrices as it found them (push and pop, or undo
//   each turn), except what its own direct GL calls leave by design: a painter that draws
//   with glColor and a client vertex array of its own may leave that colour current and
//   that array's pointer set, or the array on.
// - While picking (PickingRender) it draws only in state.pickColor, by which the host finds
//   the control in the picking image; parts that only guide the eye are left out. A painter
//   whose behaviour fixes other colours while picking (a text label draws as it always
//   does) relies on the picking colours' check bits: its pixels decode to no control.
// tests/draw/painter_contract_test.cpp holds every registered painter to these.
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

// Claims picking hits for a node. The host draws each handle of an adaptor in a colour
// that encodes the handle's id and asks the adaptor with the id found under the pointer.
class HOST_API SLB_SelectablePickAdaptor {
public:
    virtual ~SLB_SelectablePickAdaptor();
    // The descriptor of the hit when it is this adaptor's, else an empty pointer; with
    // `select`, the adaptor also selects what was hit.
    virtual UT_SharedPtr<SLB_SelectableDescriptor> scanHits(std::uint32_t hitId, bool select,
                                                            Qt::KeyboardModifiers modifiers) = 0;
    virtual std::uint32_t handleId(int index) const = 0;
    virtual int nbHandles() const = 0;
    virtual std::uint32_t selectionId() const = 0;
};

class HOST_API SLB_ModulePickAdaptor : public SLB_SelectablePickAdaptor {
public:
    ~SLB_ModulePickAdaptor() override;
};

// An adaptor with one handle for one attribute of a module. Every adaptor made gets a
// handle id of its own (never 0, which the picking image keeps for "nothing"); copies share
// their original's.
class HOST_API SLB_AttributePickAdaptor : public SLB_ModulePickAdaptor {
public:
    SLB_AttributePickAdaptor(MO_Module* module, AT_Attr* attribute);
    SLB_AttributePickAdaptor(const SLB_AttributePickAdaptor&) = default;
    SLB_AttributePickAdaptor& operator=(const SLB_AttributePickAdaptor&) = default;
    ~SLB_AttributePickAdaptor() override;

    std::uint32_t handleId(int index) const override { return index == 0 ? m_handleId : 0; }
    int nbHandles() const override { return 1; }
    std::uint32_t selectionId() const override { return m_handleId; }

    MO_Module* module() const { return m_module; }
    AT_Attr* attribute() const { return m_attribute; }
    bool lassoSelection() const { return m_lassoSelection; }

protected:
    void setLassoSelection(bool b) { m_lassoSelection = b; }

private:
    MO_Module* m_module;
    AT_Attr* m_attribute;
    bool m_lassoSelection = true;
    std::uint32_t m_handleId;
};
