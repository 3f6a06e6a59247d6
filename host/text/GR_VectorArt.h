#pragma once

// Vector art: flat shapes kept as filled triangles, each batch of triangles in one colour
// that a palette names by id, and the operations that draw it.
//
// Building art:
//
//     GR_CompositeVectorDrawingObj art;
//     CM_Color ink(UT_A2W("Ink"), CM_Color::Solid, 7);
//     ink.addMarker(CM_GradientData(0.0, CM_Rgba(255, 255, 255, 255)));
//     art.GetPaletteInfo().addLocalColor(ink);
//     GR_ColorDict dict;
//     dict.attachPalette(&art.GetPaletteInfo());
//     GR_DrawingAccess access(dict);
//     access.SetCurrentDrawing(art.GetLineArt());
//     access.BeginOperations(GR_DrawingAccess::OddFill);
//     access.addTriangles(7, {0, 0, 10, 0, 0, 10});
//     access.EndOperations(true);
//     art.Merge();
//
// Drawing it, with the matrices of a binder in force:
//
//     CGraphicOps ops(CGraphicOps::DefaultRenderer(), &binder);
//     ops.SetVisualCanvas(&canvas);
//     art.Draw(ops);

#include "host/base/UT_String.h"
#include "host/draw/VS_ArtCache.h"
#include "host/host_api.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class CC_CameraChainTransformCanvasBinder;
class VS_Canvas;

// A colour of four bytes.
struct HOST_API CM_Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    CM_Rgba() = default;
    CM_Rgba(std::uint8_t r_, std::uint8_t g_, std::uint8_t b_, std::uint8_t a_) : r(r_), g(g_), b(b_), a(a_) {}
    bool operator==(const CM_Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// A colour at a position from 0 to 1 along a gradient.
struct HOST_API CM_GradientData {
    double position = 0.0;
    CM_Rgba rgba;
    CM_GradientData(double position_, const CM_Rgba& rgba_) : position(position_), rgba(rgba_) {}
};

// A named colour of a palette. A solid colour is its first marker; a colour without
// markers is opaque black.
class HOST_API CM_Color {
public:
    enum Type { Solid = 0 };

    CM_Color(const wchar_t* name, int type, int id);
    CM_Color(const CM_Color&);
    CM_Color& operator=(const CM_Color&);
    ~CM_Color();

    const UT_String& name() const { return m_name; }
    int type() const { return m_type; }
    int id() const { return m_id; }
    void addMarker(const CM_GradientData& marker);
    const std::vector<CM_GradientData>& markers() const { return m_markers; }
    CM_Rgba rgba() const;

private:
    UT_String m_name;
    int m_type;
    int m_id;
    std::vector<CM_GradientData> m_markers;
};

// The colours a drawing uses, by id.
class HOST_API GR_PaletteInfo {
public:
    // A colour of the drawing itself; replaces one with the same id.
    void addLocalColor(const CM_Color& color);
    const CM_Color* find(int id) const;
    const std::vector<CM_Color>& colors() const { return m_colors; }

private:
    std::vector<CM_Color> m_colors;
};

// Where colour ids are resolved while writing: the palettes attached, first one first.
class HOST_API GR_ColorDict {
public:
    void attachPalette(const GR_PaletteInfo* palette);
    const CM_Color* find(int id) const;

private:
    std::vector<const GR_PaletteInfo*> m_palettes;
};

// A box in art units; `empty` until something is put in it.
struct HOST_API GR_BBox {
    double left = 0.0, bottom = 0.0, right = 0.0, top = 0.0;
    bool empty = true;

    void extend(double x, double y);
    void extend(const GR_BBox& other);
    double width() const { return empty ? 0.0 : right - left; }
    double height() const { return empty ? 0.0 : top - bottom; }
    double centerX() const { return (left + right) / 2; }
    double centerY() const { return (bottom + top) / 2; }
};

// Triangles of one colour, two floats (x, y) per vertex, three vertices per triangle.
struct HOST_API GR_TriangleBatch {
    int colorId = 0;
    std::vector<float> xy;
};

// A text that was written into a drawing, as it was asked for.
struct HOST_API GR_TextRun {
    QString text;
    std::uint32_t fontId = 0;
    int size = 0;
    GR_BBox box;
};

// One layer of art: batches drawn in order, later over earlier.
class HOST_API GR_VectorDrawing {
public:
    const std::vector<GR_TriangleBatch>& batches() const { return m_batches; }
    const std::vector<GR_TextRun>& textRuns() const { return m_texts; }
    void appendBatch(GR_TriangleBatch batch);
    void appendTextRun(GR_TextRun run) { m_texts.push_back(std::move(run)); }
    // One batch per colour, in the order each colour first appears, so that drawing needs
    // one call per colour. Only for art whose colours do not overlap each other out of
    // order (text over its background does not).
    void merge();
    // Kept up to date as batches come in: labels ask for it on every draw.
    const GR_BBox& bbox() const { return m_bbox; }
    bool isEmpty() const { return m_batches.empty(); }

private:
    std::vector<GR_TriangleBatch> m_batches;
    GR_BBox m_bbox;
    std::vector<GR_TextRun> m_texts;
};

// Which layers of composite art a draw shows. Default: all of them.
class HOST_API GR_ArtSelector {
public:
    enum Layer : unsigned { ColorArt = 1u, LineArt = 2u, AllArt = ColorArt | LineArt };
    GR_ArtSelector() = default;
    explicit GR_ArtSelector(unsigned layers) : m_layers(layers) {}
    bool selects(Layer layer) const { return (m_layers & layer) != 0; }
    unsigned layers() const { return m_layers; }

private:
    unsigned m_layers = AllArt;
};

// Puts triangles on the screen.
class HOST_API GR_Renderer {
public:
    virtual ~GR_Renderer();
    // `xy`: `vertexCount` vertices, two floats each, three per triangle.
    virtual void drawTriangles(const float* xy, std::size_t vertexCount, const CM_Rgba& rgba) = 0;
};

// What drawing goes through: the binder whose matrices are in force.
class HOST_API GR_Context {
public:
    explicit GR_Context(CC_CameraChainTransformCanvasBinder* binder) : m_binder(binder) {}
    virtual ~GR_Context();
    CC_CameraChainTransformCanvasBinder* transformBinder() const { return m_binder; }

private:
    CC_CameraChainTransformCanvasBinder* m_binder;
};

// Drawing operations on a canvas: a renderer, the binder's matrices, the layers to show.
class HOST_API CGraphicOps : public GR_Context {
public:
    // Draws with OpenGL 1.x client arrays in the GL context that is current.
    static GR_Renderer* DefaultRenderer();

    CGraphicOps(GR_Renderer* renderer, CC_CameraChainTransformCanvasBinder* binder);
    ~CGraphicOps() override;

    GR_Renderer* renderer() const { return m_renderer; }
    void SetVisualCanvas(VS_Canvas* canvas) { m_canvas = canvas; }
    VS_Canvas* GetVisualCanvas() const { return m_canvas; }
    const GR_ArtSelector& GetArtSelector() const { return m_selector; }
    void SetArtSelector(const GR_ArtSelector& selector) { m_selector = selector; }

private:
    GR_Renderer* m_renderer;
    VS_Canvas* m_canvas = nullptr;
    GR_ArtSelector m_selector;
};

// Art of two layers, colour art under line art, with its own palette.
class HOST_API GR_CompositeVectorDrawingObj {
public:
    GR_CompositeVectorDrawingObj();
    virtual ~GR_CompositeVectorDrawingObj();
    GR_CompositeVectorDrawingObj(const GR_CompositeVectorDrawingObj&) = delete;
    GR_CompositeVectorDrawingObj& operator=(const GR_CompositeVectorDrawingObj&) = delete;

    // Whoever may change the art through these makes a kept picture of it stale.
    GR_VectorDrawing* GetLineArt();
    GR_VectorDrawing* GetColorArt();
    const GR_VectorDrawing& lineArt() const { return m_lineArt; }
    const GR_VectorDrawing& colorArt() const { return m_colorArt; }
    GR_PaletteInfo& GetPaletteInfo();
    const GR_PaletteInfo& GetPaletteInfo() const { return m_palette; }

    // Both layers; marked empty when they hold nothing.
    GR_BBox GetWorldBBox() const;
    // Merges the batches of each layer (GR_VectorDrawing::merge).
    void Merge();
    // The selected layers, with the operations' renderer, under the matrices of their
    // binder, on their canvas; nothing without a canvas. Batches whose colour the palette
    // lacks are left out. Drawn again in place, with an art cache current for the GL
    // context, the art comes from a picture of it wherever that gives the same pixels.
    void Draw(CGraphicOps& ops) const;

private:
    // Whether a picture gives the same pixels as the batches: every pixel must end as one
    // colour blended once, so all but the first batch drawn must be opaque, and the first
    // must be opaque or not overlap itself.
    bool drawsAsOnePicture(const GR_ArtSelector& selector) const;

    mutable std::shared_ptr<VS_ArtCache::Picture> m_picture;
    GR_VectorDrawing m_colorArt;
    GR_VectorDrawing m_lineArt;
    GR_PaletteInfo m_palette;
};

// Writes shapes into the current drawing, between BeginOperations and EndOperations.
class HOST_API GR_DrawingAccess {
public:
    // How overlapping outlines of one shape fill.
    enum FillType { NoFill = 0, OddFill = 1, NonZeroFill = 2 };

    explicit GR_DrawingAccess(GR_ColorDict& dict) : m_dict(&dict) {}
    GR_ColorDict& colorDict() const { return *m_dict; }

    void SetCurrentDrawing(GR_VectorDrawing* drawing) { m_drawing = drawing; }
    GR_VectorDrawing* currentDrawing() const { return m_drawing; }

    // False without a current drawing or while operations are already open.
    bool BeginOperations(int fillType);
    // `commit`: what was written goes into the drawing; otherwise it is dropped.
    void EndOperations(bool commit);
    bool inOperations() const { return m_open; }
    int fillType() const { return m_fillType; }

    // Filled triangles (two floats per vertex) in a colour of the dictionary. False, and
    // nothing written, outside operations, with no fill, for a colour the dictionary lacks,
    // or for a vertex count that is not a whole number of triangles.
    bool addTriangles(int colorId, std::vector<float> xy);

private:
    GR_ColorDict* m_dict;
    GR_VectorDrawing* m_drawing = nullptr;
    bool m_open = false;
    int m_fillType = NoFill;
    std::vector<GR_TriangleBatch> m_pending;
};

// Records in the current drawing which texts it shows.
class HOST_API GR_TextAccess {
public:
    explicit GR_TextAccess(GR_ColorDict& dict) : m_dict(&dict) {}
    GR_ColorDict& colorDict() const { return *m_dict; }
    void SetCurrentDrawing(GR_VectorDrawing* drawing) { m_drawing = drawing; }
    GR_VectorDrawing* currentDrawing() const { return m_drawing; }
    // False without a current drawing.
    bool addTextRun(GR_TextRun run);

private:
    GR_ColorDict* m_dict;
    GR_VectorDrawing* m_drawing = nullptr;
};
