#pragma once

#include "host/host_api.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Pictures of art kept as textures of one GL context. Art drawn again under exactly the
// matrices and viewport of its last draw gives the same pixels, so the cache keeps those
// pixels and draws them as one textured triangle, scissored to the picture, instead of
// every triangle again: for a label of a few hundred glyph triangles, a software
// rasteriser spends far less on one triangle than on setting up and filling each of them.
// The picture is drawn by a small shader program of the cache's own, which needs GLSL
// 1.30; without it, art is drawn as triangles.
//
// Whoever owns a GL context owns its cache and makes it current with the context (the
// offscreen context does so itself); with no cache current, art is drawn as triangles.
//
// Only drawing in GL's render mode (not feedback or selection) that blends like the normal
// pass (source alpha over, no depth, stencil, texturing or fog) into a framebuffer of one
// sample a pixel (or with multisampling off) can come from a picture, and only art where
// every pixel ends as one colour blended once: see `draw`.
class HOST_API VS_ArtCache {
public:
    // What decides the pixels: GL's matrices and viewport when the art is drawn, and which
    // of its parts are drawn.
    struct Key {
        std::array<double, 16> projection{};
        std::array<double, 16> modelView{};
        std::array<int, 4> viewport{};
        unsigned parts = 0;
        bool operator==(const Key& o) const {
            return projection == o.projection && modelView == o.modelView && viewport == o.viewport && parts == o.parts;
        }
    };

    // What one piece of art keeps between its draws: the key of the last one and, once
    // drawn twice alike, its picture. The cache frees the texture after the art lets go.
    struct Picture {
        std::uint64_t cache = 0;
        Key key;
        bool seen = false;
        unsigned texture = 0;
        // The pixels it covers, in GL's window coordinates.
        int x = 0, y = 0, width = 0, height = 0;
    };

    // A picture larger than this many pixels is not kept; nor one past the total, nor one
    // whose viewport reaches so far that the scratch framebuffer would exceed the total.
    static constexpr std::size_t kMaxPicturePixels = std::size_t(1) << 18;
    static constexpr std::size_t kMaxTotalPixels = std::size_t(1) << 24;

    // Needs its GL context current when made and when destroyed.
    VS_ArtCache();
    ~VS_ArtCache();
    VS_ArtCache(const VS_ArtCache&) = delete;
    VS_ArtCache& operator=(const VS_ArtCache&) = delete;

    // Forgets its GL objects without deleting them, for a context that can no longer be
    // made current (they go with it).
    void abandon();

    // The cache of the context current on this thread, or null.
    static VS_ArtCache* current();
    static void makeCurrent(VS_ArtCache* cache);

    // Makes a cache current for its lifetime and then puts back the one before.
    class Scope {
    public:
        explicit Scope(VS_ArtCache* cache) : m_previous(current()) { makeCurrent(cache); }
        ~Scope() { makeCurrent(m_previous); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        VS_ArtCache* m_previous;
    };

    // Whether GL's state now is one a picture reproduces exactly.
    static bool stateAllows();

    // Draws art whose bounding box (left, bottom, right, top, in its own units) is `box`
    // and whose triangles `drawTriangles` issues under the GL state in force. The first
    // draw under a key is left to the caller; the second makes the picture, and later ones
    // draw it. False: the caller draws the triangles itself. The caller answers for the
    // art: every pixel its triangles touch must end as one colour blended once (later
    // triangles opaque over earlier ones, no translucent overlaps).
    bool draw(std::shared_ptr<Picture>& picture, unsigned parts, const std::array<double, 4>& box,
              const std::function<void()>& drawTriangles);

    // For tests: pictures drawn, pictures made, textures held.
    std::size_t hits() const { return m_hits; }
    std::size_t builds() const { return m_builds; }
    std::size_t textures() const { return m_held.size(); }

private:
    struct Held {
        std::weak_ptr<Picture> owner;
        unsigned texture;
        std::size_t pixels;
    };

    bool placeInWindow(Picture& picture, const std::array<double, 4>& box) const;
    // False, GL as it was, when no scratch framebuffer can be had for the viewport.
    bool build(Picture& picture, const std::function<void()>& drawTriangles);
    // The program that draws pictures, made on first use; 0 when GL cannot make it.
    unsigned program();
    void drawPicture(const Picture& picture);
    void release(Picture& picture);
    void sweep();

    std::uint64_t m_serial;
    unsigned m_scratchFramebuffer = 0;
    unsigned m_scratchColour = 0;
    unsigned m_program = 0;
    bool m_programFailed = false;
    int m_scratchWidth = 0, m_scratchHeight = 0;
    std::vector<Held> m_held;
    std::size_t m_pixels = 0;
    std::size_t m_hits = 0, m_builds = 0;
};
