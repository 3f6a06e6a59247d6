#include "painters/label_painter.h"

#include "host/base/UT_String.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/text/CelAlgo.h"
#include "host/text/FM_FontManager.h"
#include "host/text/GR_VectorArt.h"
#include "registry/component.h"

#include <cmath>
#include <cstdint>
#include <memory>

RIGKIT_TYPE_STRING(LabelOGLPainter, "LABEL")

namespace {

const QString kLabel = QStringLiteral("label");
const QString kColor = QStringLiteral("label_color");
const QString kBackgroundColor = QStringLiteral("label_bg_color");
const QString kFont = QStringLiteral("label_font");
const QString kSize = QStringLiteral("label_size");
const QString kScreenSpace = QStringLiteral("label_screenspace");
const QString kPosition = QStringLiteral("label_pos");
const QString kScreenOffset = QStringLiteral("label_screenspace_offset");
const QString kJustify = QStringLiteral("label_justify");

// A hair below the node's plane, so that the node's own drawing stays over its caption.
const double kDepth = double(-0.0001f);

constexpr int kGlyphColorId = 1000;
constexpr int kBackgroundColorId = 1001;
// The background reaches a quarter of an em beyond the text.
constexpr double kMargin = 0.25;
// Art units are a fifth of a pixel on screen.
constexpr double kScreenScale = 0.2;
// Off the screen, an art unit is 1/20 of the pixels that 0.01 drawing units span: the
// same size as on screen when 0.01 drawing units span 4 pixels.
constexpr double kProbe = 0.01;
constexpr double kProbeToScale = 1.0 / 20.0;

std::int32_t centeredFrom(const QString& justify) {
    return justify.toLower() == QLatin1String("center") ? 1 : 0;
}

void addColor(GR_PaletteInfo& palette, const char* name, int id, const VS_RGBA& c) {
    CM_Color color(UT_A2W(name), CM_Color::Solid, id);
    color.addMarker(CM_GradientData(0.0, CM_Rgba(c.r, c.g, c.b, c.a)));
    palette.addLocalColor(color);
}

}  // namespace

LabelOGLPainter::LabelOGLPainter(const MO_PropertyAccessor& properties, AT_Position2dAttr* position,
                                 AT_StringAttr* text)
    : m_position(0.0, 0.0, kDepth), m_positionAttr(position), m_textAttr(text) {
    m_text = properties.getString(kLabel, QStringLiteral("text"), nullptr);
    m_color = properties.getColor(kColor, VS_RGBA(255, 255, 255, 255), nullptr);
    m_backgroundColor = properties.getColor(kBackgroundColor, VS_RGBA(0, 0, 0, 128), nullptr);
    m_font = properties.getString(kFont, QStringLiteral("Arial"), nullptr);
    m_size = float(properties.getDouble(kSize, 10.0, 0));
    m_screenSpace = properties.getBool(kScreenSpace, true, nullptr);
    const Math::Point2d pos = properties.getPoint(kPosition, Math::Point2d(0, 0), nullptr);
    m_position.x = pos.x, m_position.y = pos.y;
    m_screenOffset = properties.getPoint(kScreenOffset, Math::Point2d(0, 0), nullptr);
    m_centered = centeredFrom(properties.getString(kJustify, QStringLiteral("left"), nullptr));
}

LabelOGLPainter::~LabelOGLPainter() {
    delete m_art;
}

MO_OGLPainter* LabelOGLPainter::createDynamic(const MO_OGLPainterFactory::Data& data) {
    AT_Position2dAttr* position = nullptr;
    AT_StringAttr* text = nullptr;
    for (AT_Attr* attr : data.attributes) {
        if (!attr)
            continue;
        if (attr->typeName() == AT_Position2dAttr::TypeString())
            position = static_cast<AT_Position2dAttr*>(attr);
        else if (attr->typeName() == AT_StringAttr::TypeString())
            text = static_cast<AT_StringAttr*>(attr);
    }
    return new LabelOGLPainter(data.properties, position, text);
}

void LabelOGLPainter::update(const MO_PropertyAccessor& properties) {
    m_text = properties.getString(kLabel, m_text, nullptr);
    m_color = properties.getColor(kColor, m_color, nullptr);
    m_backgroundColor = properties.getColor(kBackgroundColor, m_backgroundColor, nullptr);
    m_font = properties.getString(kFont, m_font, nullptr);
    m_size = float(properties.getDouble(kSize, double(m_size), 0));
    m_screenSpace = properties.getBool(kScreenSpace, m_screenSpace, nullptr);
    const Math::Point2d pos = properties.getPoint(kPosition, Math::Point2d(m_position.x, m_position.y), nullptr);
    m_position.x = pos.x, m_position.y = pos.y;
    m_screenOffset = properties.getPoint(kScreenOffset, m_screenOffset, nullptr);
    // A node that stops saying how to justify keeps the current justification.
    if (properties.hasProperty(kJustify))
        m_centered = centeredFrom(properties.getString(kJustify, QStringLiteral("left"), nullptr));
    delete m_art;
    m_art = nullptr;
}

void LabelOGLPainter::paint(MO_OGLContext& context, const PaintState&) {
    const double frame = context.frameKey().frame();
    Math::Point2d moved(0, 0);
    if (m_positionAttr)
        m_positionAttr->getValue(frame, moved, nullptr);
    const Math::Point3d anchor(m_position.x + moved.x, m_position.y + moved.y, m_position.z);
    const Math::Point3d q = context.sceneCommon()->metrics().toOGL(anchor);

    const Math::CameraTransformChain& chain = context.oglMatrixManager()->transformChain();
    const Math::Box2d viewport = chain.viewport();
    Math::Point3d s(0, 0, 0), t(0, 0, 0);
    // An anchor in the eye's plane or behind it has no place on the screen; drawn from the
    // point left unset, the label would show at the window's corner.
    if (!chain.transform(Math::SourceModelFrame, Math::DestinationScreenFrame, q, s))
        return;
    chain.transform(Math::SourceModelFrame, Math::DestinationScreenFrame, q + Math::Point3d(kProbe, 0, 0), t);
    const double d = glm::length(static_cast<const glm::dvec3&>(t) - static_cast<const glm::dvec3&>(s));

    const QString text = m_textAttr ? m_textAttr->value(frame) : m_text;
    const double scale = m_screenSpace ? kScreenScale : d * kProbeToScale;
    if (VS_Canvas* canvas = context.visualCanvas())
        drawText(*canvas, viewport, text, Math::Point2d(s.x, s.y), scale);
}

void LabelOGLPainter::drawText(VS_Canvas& canvas, const Math::Box2d& viewport, const QString& text,
                               const Math::Point2d& screen, double scale) {
    const double width = std::abs(viewport.max.x - viewport.min.x);
    const double height = std::abs(viewport.max.y - viewport.min.y);
    std::unique_ptr<CC_CameraChainTransformCanvasBinder> binder = CC_CameraChainTransformCanvasBinder::create(&canvas);
    binder->setViewport(viewport);
    const CC_CameraChainTransformCanvasBinder::Scope restore(*binder);
    CGraphicOps ops(CGraphicOps::DefaultRenderer(), binder.get());
    ops.SetVisualCanvas(&canvas);

    if (!m_art || text != m_text) {
        GR_CompositeVectorDrawingObj* art = buildArt(text, width / height);
        delete m_art;
        m_art = art;
        m_text = text;
    }

    Math::Matrix4x4 projection;
    projection.orthogonalProject(0, width, 0, height, -1, 1);
    binder->setProjectionMatrix(projection);
    binder->setViewMatrix(Math::Matrix4x4());

    const GR_ArtSelector previous = ops.GetArtSelector();
    ops.SetArtSelector(GR_ArtSelector());
    const GR_BBox box = m_art->GetWorldBBox();
    const double s = scale;
    const double dx = screen.x / s - (m_centered ? box.centerX() : box.left);
    const double h = box.empty ? 0.0 : box.top - box.bottom;
    // Window rows count down from the top, the art's y up from the bottom: the box's
    // bottom lands on the anchor's row.
    const double dy = (height - screen.y) / s + h - box.top;
    Math::Matrix4x4 model;
    model.scale(s, s, 1);
    model.translate(dx + m_screenOffset.x, dy + m_screenOffset.y, 0);
    binder->setModelMatrix(model);
    m_art->Draw(ops);
    ops.SetArtSelector(previous);
}

GR_CompositeVectorDrawingObj* LabelOGLPainter::buildArt(const QString& text, double aspect) const {
    auto* art = new GR_CompositeVectorDrawingObj;
    GR_PaletteInfo& palette = art->GetPaletteInfo();
    GR_ColorDict dict;
    addColor(palette, "TextColor", kGlyphColorId, m_color);
    addColor(palette, "TextBgColor", kBackgroundColorId, m_backgroundColor);
    dict.attachPalette(&palette);

    GR_DrawingAccess access(dict);
    GR_TextAccess textAccess(access.colorDict());
    access.SetCurrentDrawing(art->GetLineArt());
    textAccess.SetCurrentDrawing(art->GetLineArt());
    access.BeginOperations(GR_DrawingAccess::OddFill);

    auto properties = std::make_unique<CelAlgo::TextProperties>();
    FM_FontManager& fonts = FM_FontManager::instance();
    std::uint32_t fontId = 0;
    if (fonts.getFontId(UT_String(m_font), fontId) != FM_NoError)
        fontId = fonts.getDefaultFontId();
    properties->fontId = fontId;
    // A size beyond 32 bits saturates, and one that is not a number is no size at all (the
    // writer draws nothing).
    properties->size = rigkit::truncateToInt(m_size);
    properties->maxLength = -1;
    properties->originX = properties->originY = 0.0;
    properties->slant = properties->rotationDegrees = 0.0;
    properties->background = true;
    properties->underline = properties->strikeout = 0;
    properties->text = text;
    properties->boxText = text;
    CelAlgo::writeText(access, textAccess, *properties, kGlyphColorId, kBackgroundColorId, 0, 0, 0, kMargin, aspect);

    access.EndOperations(true);
    art->Merge();
    access.SetCurrentDrawing(nullptr);
    textAccess.SetCurrentDrawing(nullptr);
    return art;
}
