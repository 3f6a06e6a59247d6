#include "host/text/GR_VectorArt.h"

#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/draw_util.h"
#include "host/draw/gl.h"

#include <algorithm>
#include <utility>

CM_Color::CM_Color(const wchar_t* name, int type, int id)
    : m_name(std::wstring(name ? name : L"")), m_type(type), m_id(id) {}

CM_Color::CM_Color(const CM_Color&) = default;
CM_Color& CM_Color::operator=(const CM_Color&) = default;
CM_Color::~CM_Color() = default;

void CM_Color::addMarker(const CM_GradientData& marker) {
    m_markers.push_back(marker);
}

CM_Rgba CM_Color::rgba() const {
    return m_markers.empty() ? CM_Rgba(0, 0, 0, 255) : m_markers.front().rgba;
}

void GR_PaletteInfo::addLocalColor(const CM_Color& color) {
    for (CM_Color& c : m_colors)
        if (c.id() == color.id()) {
            c = color;
            return;
        }
    m_colors.push_back(color);
}

const CM_Color* GR_PaletteInfo::find(int id) const {
    for (const CM_Color& c : m_colors)
        if (c.id() == id)
            return &c;
    return nullptr;
}

void GR_ColorDict::attachPalette(const GR_PaletteInfo* palette) {
    if (palette && std::find(m_palettes.begin(), m_palettes.end(), palette) == m_palettes.end())
        m_palettes.push_back(palette);
}

const CM_Color* GR_ColorDict::find(int id) const {
    for (const GR_PaletteInfo* p : m_palettes)
        if (const CM_Color* c = p->find(id))
            return c;
    return nullptr;
}

void GR_BBox::extend(double x, double y) {
    if (empty) {
        left = right = x;
        bottom = top = y;
        empty = false;
        return;
    }
    left = std::min(left, x), right = std::max(right, x);
    bottom = std::min(bottom, y), top = std::max(top, y);
}

void GR_BBox::extend(const GR_BBox& other) {
    if (other.empty)
        return;
    extend(other.left, other.bottom);
    extend(other.right, other.top);
}

void GR_VectorDrawing::appendBatch(GR_TriangleBatch batch) {
    if (batch.xy.empty())
        return;
    for (std::size_t i = 0; i + 1 < batch.xy.size(); i += 2)
        m_bbox.extend(batch.xy[i], batch.xy[i + 1]);
    m_batches.push_back(std::move(batch));
}

void GR_VectorDrawing::merge() {
    std::vector<GR_TriangleBatch> merged;
    for (GR_TriangleBatch& b : m_batches) {
        auto same = std::find_if(merged.begin(), merged.end(),
                                 [&](const GR_TriangleBatch& m) { return m.colorId == b.colorId; });
        if (same == merged.end())
            merged.push_back(std::move(b));
        else
            same->xy.insert(same->xy.end(), b.xy.begin(), b.xy.end());
    }
    m_batches = std::move(merged);
}

GR_Renderer::~GR_Renderer() = default;
GR_Context::~GR_Context() = default;

namespace {

class GLRenderer final : public GR_Renderer {
public:
    void drawTriangles(const float* xy, std::size_t vertexCount, const CM_Rgba& rgba) override {
        vs_detail::drawFlat(GL_TRIANGLES, 2, xy, vertexCount, VS_RGBA(rgba.r, rgba.g, rgba.b, rgba.a));
    }
};

}  // namespace

GR_Renderer* CGraphicOps::DefaultRenderer() {
    static GLRenderer renderer;
    return &renderer;
}

CGraphicOps::CGraphicOps(GR_Renderer* renderer, CC_CameraChainTransformCanvasBinder* binder)
    : GR_Context(binder), m_renderer(renderer) {}

CGraphicOps::~CGraphicOps() = default;

GR_CompositeVectorDrawingObj::GR_CompositeVectorDrawingObj() = default;
GR_CompositeVectorDrawingObj::~GR_CompositeVectorDrawingObj() = default;

// Out of line, as everything that touches the kept picture, so that code built against
// this header never instantiates the shared pointer's internals itself.
GR_VectorDrawing* GR_CompositeVectorDrawingObj::GetLineArt() {
    m_picture.reset();
    return &m_lineArt;
}

GR_VectorDrawing* GR_CompositeVectorDrawingObj::GetColorArt() {
    m_picture.reset();
    return &m_colorArt;
}

GR_PaletteInfo& GR_CompositeVectorDrawingObj::GetPaletteInfo() {
    m_picture.reset();
    return m_palette;
}

GR_BBox GR_CompositeVectorDrawingObj::GetWorldBBox() const {
    GR_BBox box = m_colorArt.bbox();
    box.extend(m_lineArt.bbox());
    return box;
}

void GR_CompositeVectorDrawingObj::Merge() {
    m_picture.reset();
    m_colorArt.merge();
    m_lineArt.merge();
}

namespace {

// Two triangles that share a diagonal and lie on either side of it, as a rectangle is
// written: each pixel of the pair is covered once.
bool isSimpleQuad(const std::vector<float>& xy) {
    if (xy.size() == 6)
        return true;
    if (xy.size() != 12)
        return false;
    const float* t = xy.data();
    if (t[6] != t[0] || t[7] != t[1] || t[8] != t[4] || t[9] != t[5])
        return false;
    const auto side = [&](int i) {
        return double(t[4] - t[0]) * (t[i + 1] - t[1]) - double(t[5] - t[1]) * (t[i] - t[0]);
    };
    return side(2) * side(10) < 0;
}

// Calls `f(batch, colour)` for each batch a draw shows, in the order it draws them: colour
// art under line art, batches whose colour the palette lacks left out.
template <class F>
void forEachDrawnBatch(const GR_VectorDrawing& colorArt, const GR_VectorDrawing& lineArt, const GR_PaletteInfo& palette,
                       const GR_ArtSelector& selector, F&& f) {
    for (const auto& [layer, drawing] :
         {std::pair{GR_ArtSelector::ColorArt, &colorArt}, std::pair{GR_ArtSelector::LineArt, &lineArt}}) {
        if (!selector.selects(layer))
            continue;
        for (const GR_TriangleBatch& b : drawing->batches())
            if (const CM_Color* colour = palette.find(b.colorId))
                f(b, colour->rgba());
    }
}

}  // namespace

bool GR_CompositeVectorDrawingObj::drawsAsOnePicture(const GR_ArtSelector& selector) const {
    bool first = true, once = true;
    forEachDrawnBatch(m_colorArt, m_lineArt, m_palette, selector, [&](const GR_TriangleBatch& b, const CM_Rgba& rgba) {
        once = once && (rgba.a == 255 || (first && isSimpleQuad(b.xy)));
        first = false;
    });
    return once;
}

void GR_CompositeVectorDrawingObj::Draw(CGraphicOps& ops) const {
    if (!ops.GetVisualCanvas() || !ops.renderer())
        return;
    // Another binder may have loaded its matrices since this one set them.
    if (CC_CameraChainTransformCanvasBinder* binder = ops.transformBinder())
        binder->canvas()->load(binder->transformChain());
    const GR_ArtSelector& selector = ops.GetArtSelector();
    const auto drawTriangles = [&] {
        forEachDrawnBatch(m_colorArt, m_lineArt, m_palette, selector,
                          [&](const GR_TriangleBatch& b, const CM_Rgba& rgba) {
                              ops.renderer()->drawTriangles(b.xy.data(), b.xy.size() / 2, rgba);
                          });
    };
    VS_ArtCache* cache = VS_ArtCache::current();
    const GR_BBox box = GetWorldBBox();
    // The GL state queries last: they cost the most.
    if (cache && !box.empty && ops.renderer() == CGraphicOps::DefaultRenderer() && drawsAsOnePicture(selector) &&
        VS_ArtCache::stateAllows() &&
        cache->draw(m_picture, selector.layers(), {box.left, box.bottom, box.right, box.top}, drawTriangles))
        return;
    drawTriangles();
}

bool GR_DrawingAccess::BeginOperations(int fillType) {
    if (!m_drawing || m_open)
        return false;
    m_open = true;
    m_fillType = fillType;
    m_pending.clear();
    return true;
}

void GR_DrawingAccess::EndOperations(bool commit) {
    if (!m_open)
        return;
    if (commit && m_drawing)
        for (GR_TriangleBatch& b : m_pending)
            m_drawing->appendBatch(std::move(b));
    m_pending.clear();
    m_open = false;
    m_fillType = NoFill;
}

bool GR_DrawingAccess::addTriangles(int colorId, std::vector<float> xy) {
    if (!m_open || m_fillType == NoFill || !m_dict->find(colorId) || xy.size() % 6 != 0)
        return false;
    if (!xy.empty())
        m_pending.push_back(GR_TriangleBatch{colorId, std::move(xy)});
    return true;
}

bool GR_TextAccess::addTextRun(GR_TextRun run) {
    if (!m_drawing)
        return false;
    m_drawing->appendTextRun(std::move(run));
    return true;
}
