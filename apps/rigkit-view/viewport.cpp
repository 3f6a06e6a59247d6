#include "apps/rigkit-view/viewport.h"

#include "apps/core/scene_query.h"
#include "host/base/UT_DPI.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VS_ArtCache.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/VS_Image.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/components.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLFramebufferObject>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <limits>

namespace viewer {

namespace {

// The handle kinds pick adaptors name through "cursorType", in the order of their values,
// and the cursor each shows under the pointer. Unknown kinds (-1) show the plain arrow.
struct HandleCursor {
    const char* kind;
    Qt::CursorShape shape;
};
const HandleCursor kHandleCursors[] = {
    {"NoHandle", Qt::ArrowCursor},
    {"PivotMoveHandle", Qt::SizeAllCursor},
    {"RotateHandle", Qt::OpenHandCursor},
    {"ScaleXHandle", Qt::SizeHorCursor},
    {"ScaleYHandle", Qt::SizeVerCursor},
    {"ScaleBothHandle", Qt::SizeFDiagCursor},
    {"VertSkewHandle", Qt::SplitVCursor},
    {"HorizSkewHandle", Qt::SplitHCursor},
    {"PointingHandle", Qt::PointingHandCursor},
    {"MiscControlPointHandle", Qt::CrossCursor},
};

struct CursorName {
    Qt::CursorShape shape;
    const char* name;
};
const CursorName kCursorNames[] = {
    {Qt::ArrowCursor, "ArrowCursor"},
    {Qt::SizeAllCursor, "SizeAllCursor"},
    {Qt::OpenHandCursor, "OpenHandCursor"},
    {Qt::SizeHorCursor, "SizeHorCursor"},
    {Qt::SizeVerCursor, "SizeVerCursor"},
    {Qt::SizeFDiagCursor, "SizeFDiagCursor"},
    {Qt::SplitVCursor, "SplitVCursor"},
    {Qt::SplitHCursor, "SplitHCursor"},
    {Qt::PointingHandCursor, "PointingHandCursor"},
    {Qt::CrossCursor, "CrossCursor"},
};

}  // namespace

Viewport::Viewport(runner::Session& session, QWidget* parent)
    : QOpenGLWidget(parent), m_session(session), m_camera(session.scene().camera) {
    setFocusPolicy(Qt::StrongFocus);
    // Hovering asks what is under the pointer.
    setMouseTracking(true);
}

Viewport::~Viewport() {
    // A drag still open when the window closes leaves nothing behind.
    cancelDrag();
    // The pictures' textures go with the context, which must be current to free them.
    if (m_artCache || m_pickBuffer) {
        makeCurrent();
        m_artCache.reset();
        m_pickBuffer.reset();
        doneCurrent();
    }
}

QSize Viewport::sizeHint() const {
    return QSize(m_session.scene().width, m_session.scene().height);
}

Math::CameraTransformChain Viewport::camera() const {
    const qreal ratio = devicePixelRatioF();
    return runner::cameraChain(m_camera, static_cast<int>(std::lround(width() * ratio)),
                               static_cast<int>(std::lround(height() * ratio)));
}

VS_View Viewport::view() const {
    VS_View view;
    view.camera = camera();
    view.background = m_session.scene().background;
    view.frameKey = MO_FrameKey(m_session.frame());
    return view;
}

Math::Point2d Viewport::windowPoint(const QPointF& position) const {
    const qreal ratio = devicePixelRatioF();
    return Math::Point2d(position.x() * ratio, position.y() * ratio);
}

void Viewport::initializeGL() {
    // A context made anew (the widget moved to another window) starts with none of the old
    // one's textures, and their names may already be taken by the new one's.
    if (m_artCache)
        m_artCache->abandon();
    m_artCache = std::make_unique<VS_ArtCache>();
    // Its framebuffers belonged to the old context too.
    m_pickBuffer.reset();
    m_smoothBuffer.reset();
}

void Viewport::paintGL() {
    const VS_ArtCache::Scope pictures(m_artCache.get());
    UT_DPI::s_dpiScale = static_cast<float>(m_session.scene().dpiScale);
    VS_SceneRenderer::drawScene(m_session.common(), view());
}

VS_PickImage Viewport::grab(bool pick) {
    makeCurrent();
    const VS_ArtCache::Scope pictures(m_artCache.get());
    UT_DPI::s_dpiScale = static_cast<float>(m_session.scene().dpiScale);
    const VS_View v = view();
    VS_PickImage out;
    // Drawn apart from the widget's picture, so that it stays as it is. The picking pass is
    // single-sampled, so that every pick colour is exact; a picture is drawn at the scene's
    // samples, as the runner draws it, and resolved into the buffer that is read back.
    if (bindPickBuffer()) {
        if (pick) {
            out.handles = VS_SceneRenderer::drawPickPass(m_session.common(), v);
        } else if (bindSmoothBuffer()) {
            VS_SceneRenderer::drawScene(m_session.common(), v);
            QOpenGLFramebufferObject::blitFramebuffer(m_pickBuffer.get(), m_smoothBuffer.get());
            m_pickBuffer->bind();
        } else {
            VS_SceneRenderer::drawScene(m_session.common(), v);
        }
        out.image = VS_ReadPixels(v.width(), v.height());
        m_pickBuffer->bindDefault();
    }
    doneCurrent();
    update();
    return out;
}

VS_PickHit Viewport::pickAt(const Math::Point2d& at) {
    makeCurrent();
    UT_DPI::s_dpiScale = static_cast<float>(m_session.scene().dpiScale);
    // Only the pixels around the pointer are drawn and one is read back: a click costs a
    // sliver of the picking pass, not a whole one and a full read-back.
    VS_PickHit hit;
    if (bindPickBuffer()) {
        hit = VS_SceneRenderer::pickAt(m_session.common(), view(), runner::pixelIndex(at.x),
                                       runner::pixelIndex(at.y));
        m_pickBuffer->bindDefault();
    }
    doneCurrent();
    return hit;
}

bool Viewport::bindPickBuffer() {
    const VS_View v = view();
    const QSize size(std::max(1, v.width()), std::max(1, v.height()));
    if (!m_pickBuffer || m_pickBuffer->size() != size)
        m_pickBuffer = std::make_unique<QOpenGLFramebufferObject>(size, QOpenGLFramebufferObject::Depth);
    return m_pickBuffer->isValid() && m_pickBuffer->bind();
}

bool Viewport::bindSmoothBuffer() {
    const int samples = m_session.scene().samples;
    if (samples <= 0)
        return false;
    const QSize size = m_pickBuffer->size();
    if (!m_smoothBuffer || m_smoothBuffer->size() != size || m_smoothBuffer->format().samples() != samples) {
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::Depth);
        format.setSamples(samples);
        m_smoothBuffer = std::make_unique<QOpenGLFramebufferObject>(size, format);
    }
    return m_smoothBuffer->isValid() && m_smoothBuffer->bind();
}

QString Viewport::hoverAt(const Math::Point2d& at, Qt::KeyboardModifiers modifiers) {
    const VS_PickHit hit = pickAt(at);
    if (!hit || !hit.node->pickAdaptor()) {
        unsetCursor();
        return QString();
    }
    const UT_SharedPtr<SLB_SelectableDescriptor> descriptor =
        hit.node->pickAdaptor()->scanHits(hit.handleId, false, modifiers);
    const auto* module = dynamic_cast<const SLB_ModuleDescriptor*>(descriptor.get());
    const int kind = module ? module->selectionType() : -1;
    const int known = static_cast<int>(std::size(kHandleCursors));
    setCursor(kind >= 0 && kind < known ? kHandleCursors[kind].shape : Qt::ArrowCursor);
    return hit.node->name() + QStringLiteral(": ") +
           (kind >= 0 && kind < known ? QString::fromLatin1(kHandleCursors[kind].kind)
                                      : QStringLiteral("unknown handle kind"));
}

void Viewport::hoverLater() {
    if (m_hoverPending)
        return;
    m_hoverPending = true;
    QTimer::singleShot(0, this, [this] {
        m_hoverPending = false;
        if (isDragging() || m_panning)
            return;
        const QString what = hoverAt(m_hoverAt, m_hoverModifiers);
        if (what != m_hovered) {
            m_hovered = what;
            emit hovered(what);
        }
    });
}

void Viewport::leaveEvent(QEvent* event) {
    unsetCursor();
    m_hovered.clear();
    QOpenGLWidget::leaveEvent(event);
}

QString Viewport::cursorName() const {
    const Qt::CursorShape shape = testAttribute(Qt::WA_SetCursor) ? cursor().shape() : Qt::ArrowCursor;
    for (const CursorName& c : kCursorNames)
        if (c.shape == shape)
            return QString::fromLatin1(c.name);
    return QStringLiteral("cursor %1").arg(int(shape));
}

void Viewport::replaceScene(runner::Scene scene) {
    cancelDrag();
    makeCurrent();
    // The labels' pictures belong to the old scene's art.
    m_artCache = std::make_unique<VS_ArtCache>();
    m_session.replaceScene(std::move(scene));
    doneCurrent();
    m_hovered.clear();
    update();
}

void Viewport::frameAll() {
    const double frame = m_session.frame();
    double low[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::max()};
    double high[3] = {-low[0], -low[1], -low[2]};
    bool any = false;
    for (const auto& node : m_session.common().nodes()) {
        if (node->painters().empty())
            continue;
        const Math::Matrix4x4 m = node->worldMatrix(MO_FrameKey(frame));
        const double p[3] = {m(0, 3), m(1, 3), m(2, 3)};
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            continue;
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], p[i]);
            high[i] = std::max(high[i], p[i]);
        }
        any = true;
    }
    if (!any)
        return;
    // Controls reach out from their origins by a unit or so: a margin of that much, and a
    // tenth more of the span.
    const double margin = 1.5;
    const double spanX = (high[0] - low[0]) * 1.1 + 2 * margin;
    const double spanY = (high[1] - low[1]) * 1.1 + 2 * margin;
    const qreal ratio = devicePixelRatioF();
    const double w = width() * ratio, h = height() * ratio;
    if (m_camera.kind == runner::Camera::Kind::Perspective) {
        const Math::Point3d centre((low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2);
        const Math::Vector3d back = m_camera.eye - m_camera.target;
        const double radius = std::hypot(spanX, spanY, (high[2] - low[2]) + 2 * margin) / 2;
        const double distance = radius / std::tan(m_camera.fovy * M_PI / 360.0);
        m_camera.target = centre;
        m_camera.eye = centre + back * (distance / back.length());
    } else {
        m_camera.center = Math::Point2d((low[0] + high[0]) / 2, (low[1] + high[1]) / 2);
        m_camera.pixelsPerUnit = std::min(w / spanX, h / spanY);
        fitDrawnExtent();
    }
    update();
    emit viewMoved();
}

void Viewport::fitDrawnExtent() {
    // How far a control reaches from its origin only its drawing tells (a long arrow, a
    // slider placed away from its node): the scene is drawn zoomed out around the origins'
    // fit, and the view is fitted again to the pixels that are not background.
    constexpr double kZoomOut = 4.0;
    const runner::Camera origins = m_camera;
    m_camera.pixelsPerUnit = origins.pixelsPerUnit / kZoomOut;
    const VS_Image image = grab(false).image;
    const VS_RGBA background = m_session.scene().background;
    int x0 = image.width, y0 = image.height, x1 = -1, y1 = -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const VS_RGBA p = image.pixel(x, y);
            if (p.r == background.r && p.g == background.g && p.b == background.b)
                continue;
            x0 = std::min(x0, x), x1 = std::max(x1, x);
            y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    if (x1 < 0) {
        m_camera = origins;
        return;
    }
    // Window pixels to the world, as the orthographic camera maps them; a twentieth of
    // the span is left free on each side.
    const double ppu = m_camera.pixelsPerUnit;
    const double w = image.width, h = image.height;
    const double left = m_camera.center.x + (x0 - w / 2) / ppu, right = m_camera.center.x + (x1 + 1 - w / 2) / ppu;
    const double top = m_camera.center.y - (y0 - h / 2) / ppu, bottom = m_camera.center.y - (y1 + 1 - h / 2) / ppu;
    const double spanX = (right - left) * 1.1, spanY = (top - bottom) * 1.1;
    m_camera.center = Math::Point2d((left + right) / 2, (top + bottom) / 2);
    m_camera.pixelsPerUnit = std::min(w / spanX, h / spanY);
}

runner::Json Viewport::viewStep() const {
    const runner::Json now = runner::cameraJson(m_camera);
    if (now == runner::cameraJson(m_session.scene().camera))
        return nullptr;
    return {{"camera", now}};
}

void Viewport::resetCamera() {
    m_camera = m_session.scene().camera;
    update();
}

bool Viewport::isDragging() const {
    return m_dragSession && m_dragSession->isDragging();
}

void Viewport::cancelDrag() {
    if (isDragging())
        endDrag(false);
}

void Viewport::setScriptedDrag(bool scripted, MO_Node* node, std::optional<int> manipMode) {
    m_scripted = scripted;
    m_scriptNode = node;
    m_scriptManipMode = manipMode;
}

void Viewport::prepareDrag(Qt::KeyboardModifiers modifiers, std::optional<int> manipMode) {
    makeCurrent();
    const Math::CameraTransformChain chain = camera();
    m_canvas =
        std::make_unique<VS_Canvas>(static_cast<int>(chain.viewport().max.x), static_cast<int>(chain.viewport().max.y));
    m_binder = std::make_unique<CC_CameraChainTransformCanvasBinder>(*m_canvas);
    m_binder->setTransformChain(chain);
    m_dragContext = std::make_unique<SLB_DragContext>(&m_session.common());
    m_dragContext->setOglMatrixManager(m_binder.get());
    m_dragContext->setCamera(camera());
    m_dragContext->setFrames(m_session.frame(), m_session.frame());
    m_dragContext->setAnimationMode(m_session.animationMode);
    m_dragContext->setFrameRange(m_session.range);
    m_dragContext->setButtonState(modifiers);
    if (manipMode)
        m_dragContext->setManipMode(*manipMode);
    m_dragSession = std::make_unique<SLB_DragSession>(*m_dragContext, m_session.history);
}

void Viewport::startDrag(MO_Node* node, const Math::Point2d& at, Qt::KeyboardModifiers modifiers) {
    prepareDrag(modifiers, m_scriptManipMode);
    m_pressedAt = at;
    m_moved = false;
    m_dragPath.clear();
    m_dragModifiers = modifiers;
    m_dragNode = node;
    Math::Point3d pointer;
    if (m_dragSession->pointerAt(at, pointer))
        m_dragPath.push_back(pointer);
    if (!m_dragSession->press(node, at))
        m_dragSession.reset();
}

Math::Point2d Viewport::scenePoint(const Math::Point2d& at) const {
    const runner::Scene& scene = m_session.scene();
    const Math::CameraTransformChain own = camera();
    const Math::CameraTransformChain theirs = runner::cameraChain(scene.camera, scene.width, scene.height);
    const bool same = own.viewport().max.x == scene.width && own.viewport().max.y == scene.height &&
                      own.viewMatrix() == theirs.viewMatrix() && own.projectionMatrix() == theirs.projectionMatrix();
    Math::Point3d world, there;
    if (same || !own.pointerPosition(at, world) ||
        !theirs.transform(Math::SourcePointerFrame, Math::DestinationScreenFrame, world, there))
        return at;
    // The middle of the pixel, so that rounding cannot move the click to its neighbour.
    return Math::Point2d(std::floor(there.x) + 0.5, std::floor(there.y) + 0.5);
}

runner::Json Viewport::dragStep() const {
    using runner::Json;
    // A perspective view's pointer plane is not z = 0: its z is kept.
    const auto point = [](const Math::Point3d& p) {
        return p.z == 0.0 ? Json::array({p.x, p.y}) : Json::array({p.x, p.y, p.z});
    };
    Json path = Json::array();
    for (std::size_t i = 1; i + 1 < m_dragPath.size(); ++i)
        path.push_back(point(m_dragPath[i]));
    Json modifiers = Json::array();
    for (const runner::ModifierName& m : runner::kModifiers)
        if (m_dragModifiers.testFlag(m.modifier))
            modifiers.push_back(m.name);
    Json drag{{"node", m_dragNode->name().toStdString()}, {"in", "pointer"}, {"from", point(m_dragPath.front())},
              {"to", point(m_dragPath.back())}};
    if (!path.empty())
        drag["path"] = path;
    if (!modifiers.empty())
        drag["modifiers"] = modifiers;
    if (m_scriptManipMode)
        drag["manipMode"] = *m_scriptManipMode;
    return Json{{"drag", drag}};
}

void Viewport::endDrag(bool record) {
    makeCurrent();
    if (record)
        m_dragSession->release();
    else
        m_dragSession->cancel();
    m_dragSession.reset();
    update();
    emit changed();
}

bool Viewport::playPointerDrag(const runner::DragGesture& gesture) {
    if (isDragging() || !gesture.node)
        return false;
    prepareDrag(gesture.modifiers, gesture.manipMode);
    if (!m_dragSession->pressAt(gesture.node, gesture.pointerAt(0))) {
        m_dragSession.reset();
        return false;
    }
    for (int i = 1; i <= gesture.steps; ++i)
        m_dragSession->moveTo(gesture.pointerAt(i));
    endDrag(true);
    return true;
}

void Viewport::mousePressEvent(QMouseEvent* event) {
    const Math::Point2d at = windowPoint(event->localPos());
    if (event->button() == Qt::MiddleButton) {
        m_panning = true;
        m_panFrom = at;
        return;
    }
    if (event->button() != Qt::LeftButton || isDragging())
        return;
    // A recording replays the click or drag in the view it was made in.
    if (!m_scripted)
        emit viewMoved();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const VS_PickHit hit = pickAt(at);
    // A script's drag leaves the selection alone, as the runner's does; a user's press
    // selects what it lands on first.
    if (!m_scripted) {
        if (hit)
            hit.node->pickAdaptor()->scanHits(hit.handleId, true, modifiers);
        else if (!modifiers.testFlag(Qt::ShiftModifier))
            // A click on nothing clears the selection, unless it extends one.
            m_session.common().selection().clear();
    }
    // The click is told before the press, so that what it records is the selection
    // alone: what the press does is recorded with the drag it starts.
    if (!m_scripted) {
        const Math::Point2d there = scenePoint(at);
        runner::Json click{{"click", runner::Json::array({there.x, there.y})}};
        for (const runner::ModifierName& m : runner::kModifiers)
            if (modifiers.testFlag(m.modifier))
                click["modifiers"].push_back(m.name);
        emit performed(click);
    }
    MO_Node* node = m_scriptNode ? m_scriptNode : hit.node;
    if (node && node->manipulator() && !m_clickPicksOnly) {
        m_valuesAtPress = runner::readAttributes(node, m_session.frame());
        startDrag(node, at, modifiers);
    }
    update();
    emit changed();
}

void Viewport::mouseMoveEvent(QMouseEvent* event) {
    const Math::Point2d at = windowPoint(event->localPos());
    if (event->buttons() == Qt::NoButton && !m_panning && !isDragging()) {
        m_hoverAt = at;
        m_hoverModifiers = event->modifiers();
        hoverLater();
        return;
    }
    if (m_panning) {
        // Pan so that the point under the pointer stays under it.
        const Math::CameraTransformChain chain = camera();
        Math::Point3d from, to;
        if (chain.pointerPosition(m_panFrom, from) && chain.pointerPosition(at, to)) {
            const Math::Vector3d shift = from - to;
            if (m_camera.kind == runner::Camera::Kind::Perspective) {
                m_camera.eye = m_camera.eye + shift;
                m_camera.target = m_camera.target + shift;
            } else {
                m_camera.center = Math::Point2d(m_camera.center.x + shift.x, m_camera.center.y + shift.y);
            }
        }
        m_panFrom = at;
        update();
        return;
    }
    if (!isDragging())
        return;
    m_moved = true;
    makeCurrent();
    Math::Point3d pointer;
    if (m_dragSession->pointerAt(at, pointer))
        m_dragPath.push_back(pointer);
    m_dragSession->move(at);
    update();
}

void Viewport::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        m_panning = false;
        emit viewMoved();
        return;
    }
    if (event->button() != Qt::LeftButton || !isDragging())
        return;
    // A click that never moved is a pick, not an edit: the manipulator still sees its
    // press and release (a button acts on them), but nothing goes into the history.
    const bool moved = m_moved && m_dragPath.size() > 1;
    MO_Node* node = m_dragNode;
    endDrag(m_moved);
    // A press that changed the node without moving (a button flips its value) is a
    // drag of no length to a replay, whose clicks only pick.
    if (moved || (!m_dragPath.empty() && runner::readAttributes(node, m_session.frame()) != m_valuesAtPress))
        emit performed(dragStep());
}

void Viewport::wheelEvent(QWheelEvent* event) {
    // One notch (120) zooms by a fifth.
    const double factor = std::pow(1.2, event->angleDelta().y() / 120.0);
    if (factor <= 0.0 || !std::isfinite(factor))
        return;
    if (m_camera.kind == runner::Camera::Kind::Perspective)
        m_camera.eye = m_camera.target + (m_camera.eye - m_camera.target) * (1.0 / factor);
    else
        m_camera.pixelsPerUnit *= factor;
    update();
}

void Viewport::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && isDragging()) {
        cancelDrag();
        return;
    }
    QOpenGLWidget::keyPressEvent(event);
}

}  // namespace viewer
