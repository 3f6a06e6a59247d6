#pragma once

// The manipulation under way, as the host hands it to a drag manipulator: frames, the
// animation mode and frame range that decide how the edit is recorded, the macro that
// collects its commands, the camera, and the keys held.

#include "host/host_api.h"
#include "host/math/Math.h"
#include "host/scene/MO_Frame.h"

#include <QFlags>
#include <QString>
#include <Qt>

#include <memory>

class CO_OrCommand;
class MO_Node;
class SC_SceneCommon;
class CC_CameraChainTransformCanvasBinder;

namespace Math {
class CameraTransformChain;
}

enum CX_AnimationMode {
    CX_AnimationModeRange = 0,         // the edit offsets the frame range
    CX_AnimationModeCurrentFrame = 1,  // the edit keys the current frame
};

class HOST_API SLB_ManipContext {
public:
    explicit SLB_ManipContext(SC_SceneCommon* scene);
    virtual ~SLB_ManipContext();
    SLB_ManipContext(const SLB_ManipContext&) = delete;
    SLB_ManipContext& operator=(const SLB_ManipContext&) = delete;

    // The frame shown on the timeline, which edits key.
    double currentFrame() const { return m_currentFrame; }
    // The frame the scene is evaluated at; the same unless the host evaluates between
    // frames.
    double frame() const { return m_frame; }
    MO_FrameKey frameKey() const { return MO_FrameKey(m_frame); }
    const MO_FrameRange& frameRange() const { return m_range; }
    CX_AnimationMode animationMode() const { return m_mode; }
    // Collects the manipulation's commands; null when the host records nothing.
    CO_OrCommand* macro() const { return m_macro; }
    void setCurrentOperationName(const QString& name) { m_operationName = name; }
    const QString& currentOperationName() const { return m_operationName; }
    // Fills `chain` with the view's camera and, as its model matrix, the node's matrix:
    // with the node's own local transformations when `withOwnTransformations`, else its
    // parent's alone.
    void cameraTransformChain(Math::CameraTransformChain& chain, MO_Node* node, bool withOwnTransformations) const;
    // Carries points of a manipulated node's plane into the frame its attribute lives in.
    const Math::Matrix4x4& postMatrix() const { return m_postMatrix; }
    SC_SceneCommon* sceneCommon() const { return m_scene; }
    Qt::KeyboardModifiers buttonState() const { return m_buttons; }
    CC_CameraChainTransformCanvasBinder* oglMatrixManager() const { return m_binder; }

    void setFrames(double currentFrame, double frame) {
        m_currentFrame = currentFrame;
        m_frame = frame;
    }
    void setFrameRange(const MO_FrameRange& range) { m_range = range; }
    void setAnimationMode(CX_AnimationMode mode) { m_mode = mode; }
    void setMacro(CO_OrCommand* macro) { m_macro = macro; }
    void setCamera(const Math::CameraTransformChain& camera);
    const Math::CameraTransformChain& camera() const { return *m_camera; }
    void setPostMatrix(const Math::Matrix4x4& m) { m_postMatrix = m; }
    void setButtonState(Qt::KeyboardModifiers buttons) { m_buttons = buttons; }
    void setOglMatrixManager(CC_CameraChainTransformCanvasBinder* binder) { m_binder = binder; }

private:
    SC_SceneCommon* m_scene;
    double m_currentFrame = 1.0;
    double m_frame = 1.0;
    MO_FrameRange m_range;
    CX_AnimationMode m_mode = CX_AnimationModeCurrentFrame;
    CO_OrCommand* m_macro = nullptr;
    QString m_operationName;
    std::unique_ptr<Math::CameraTransformChain> m_camera;
    Math::Matrix4x4 m_postMatrix;
    Qt::KeyboardModifiers m_buttons;
    CC_CameraChainTransformCanvasBinder* m_binder = nullptr;
};

class HOST_API SLB_DragContext : public SLB_ManipContext {
public:
    using SLB_ManipContext::SLB_ManipContext;
    ~SLB_DragContext() override;
    // How the drag edits, for manipulators with several ways (0 unless the host says).
    int manipMode() const { return m_manipMode; }
    void setManipMode(int mode) { m_manipMode = mode; }

private:
    int m_manipMode = 0;
};
