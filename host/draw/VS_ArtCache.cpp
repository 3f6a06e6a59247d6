#include "host/draw/VS_ArtCache.h"

#include "host/draw/gl.h"
#include "host/math/Math.h"

#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

thread_local VS_ArtCache* t_current = nullptr;

// Never reused, so that a picture made in a context since destroyed is never taken for
// one of a later context.
std::atomic<std::uint64_t> g_nextSerial{1};

VS_ArtCache::Key keyNow(unsigned parts) {
    VS_ArtCache::Key key;
    glGetDoublev(GL_PROJECTION_MATRIX, key.projection.data());
    glGetDoublev(GL_MODELVIEW_MATRIX, key.modelView.data());
    glGetIntegerv(GL_VIEWPORT, key.viewport.data());
    key.parts = parts;
    return key;
}

}  // namespace

VS_ArtCache::VS_ArtCache() : m_serial(g_nextSerial++) {}

VS_ArtCache::~VS_ArtCache() {
    if (t_current == this)
        t_current = nullptr;
    for (const Held& h : m_held)
        glDeleteTextures(1, &h.texture);
    if (m_scratchFramebuffer) {
        glDeleteFramebuffers(1, &m_scratchFramebuffer);
        glDeleteTextures(1, &m_scratchColour);
    }
    if (m_program)
        glDeleteProgram(m_program);
}

void VS_ArtCache::abandon() {
    m_held.clear();
    m_pixels = 0;
    m_scratchFramebuffer = m_scratchColour = 0;
    m_scratchWidth = m_scratchHeight = 0;
    m_program = 0;
    m_programFailed = false;
    // Pictures made before name textures of the old context: used again, the cache makes
    // them anew.
    m_serial = g_nextSerial++;
}

VS_ArtCache* VS_ArtCache::current() {
    return t_current;
}

void VS_ArtCache::makeCurrent(VS_ArtCache* cache) {
    t_current = cache;
}

bool VS_ArtCache::stateAllows() {
    // Anything here that a textured rectangle would meet differently from the triangles.
    static const GLenum off[] = {GL_DEPTH_TEST,     GL_STENCIL_TEST, GL_ALPHA_TEST,       GL_CULL_FACE,
                                 GL_COLOR_LOGIC_OP, GL_FOG,          GL_LIGHTING,         GL_TEXTURE_1D,
                                 GL_TEXTURE_2D,     GL_TEXTURE_3D,   GL_TEXTURE_CUBE_MAP, GL_POLYGON_STIPPLE,
                                 GL_POLYGON_SMOOTH, GL_COLOR_SUM};
    if (!glIsEnabled(GL_BLEND))
        return false;
    // In feedback or selection mode nothing reaches the framebuffer: a picture made then
    // would be blank, and drawn one would report none of the art's primitives.
    GLint renderMode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &renderMode);
    if (renderMode != GL_RENDER)
        return false;
    // A picture holds one colour a pixel. Where the framebuffer keeps several samples a
    // pixel, the triangles blend into each sample on their own, which a picture pasted over
    // them cannot give back: its edges would lose their smoothing, and a frame would depend
    // on whether the one before made the picture.
    GLint sampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    if (sampleBuffers > 0 && glIsEnabled(GL_MULTISAMPLE))
        return false;
    for (GLenum cap : off)
        if (glIsEnabled(cap))
            return false;
    GLint v[8];
    glGetIntegerv(GL_BLEND_SRC_RGB, &v[0]);
    glGetIntegerv(GL_BLEND_DST_RGB, &v[1]);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &v[2]);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &v[3]);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &v[4]);
    glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &v[5]);
    glGetIntegerv(GL_CURRENT_PROGRAM, &v[6]);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &v[7]);
    if (v[0] != GL_SRC_ALPHA || v[1] != GL_ONE_MINUS_SRC_ALPHA || v[2] != GL_ONE || v[3] != GL_ONE_MINUS_SRC_ALPHA ||
        v[4] != GL_FUNC_ADD || v[5] != GL_FUNC_ADD || v[6] != 0 || v[7] != GL_TEXTURE0)
        return false;
    GLint polygonMode[2];
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    return polygonMode[0] == GL_FILL && polygonMode[1] == GL_FILL && mask[0] && mask[1] && mask[2] && mask[3];
}

bool VS_ArtCache::draw(std::shared_ptr<Picture>& picture, unsigned parts, const std::array<double, 4>& box,
                       const std::function<void()>& drawTriangles) {
    if (!picture || picture->cache != m_serial) {
        // A picture from another context stays with that context's cache until it sweeps.
        picture = std::make_shared<Picture>();
        picture->cache = m_serial;
    }
    Picture& p = *picture;
    const Key key = keyNow(parts);
    if (p.seen && p.key == key) {
        if (!p.texture) {
            if (!program() || !placeInWindow(p, box))
                return false;
            sweep();
            if (m_pixels + std::size_t(p.width) * std::size_t(p.height) > kMaxTotalPixels || !build(p, drawTriangles))
                return false;
            m_held.push_back({picture, p.texture, std::size_t(p.width) * std::size_t(p.height)});
            m_pixels += m_held.back().pixels;
            ++m_builds;
        }
        drawPicture(p);
        ++m_hits;
        return true;
    }
    // Moved or new: a picture is worth making only once the art is seen again in place, so
    // art that moves every frame costs no more than its triangles.
    release(p);
    p.key = key;
    p.seen = true;
    return false;
}

bool VS_ArtCache::placeInWindow(Picture& p, const std::array<double, 4>& box) const {
    // Only flat art under an affine map (as text on the screen is): its picture is then the
    // window rectangle its box maps to.
    const Math::Matrix4x4 m = Math::Matrix4x4(glm::make_mat4(p.key.projection.data())) *
                              Math::Matrix4x4(glm::make_mat4(p.key.modelView.data()));
    if (m(3, 0) != 0 || m(3, 1) != 0 || !(m(3, 3) > 0))
        return false;
    const std::array<int, 4>& viewport = p.key.viewport;
    const double halfWidth = 0.5 * viewport[2] / m(3, 3), halfHeight = 0.5 * viewport[3] / m(3, 3);
    // window = linear · art + origin
    const double a = m(0, 0) * halfWidth, b = m(0, 1) * halfWidth, c = m(1, 0) * halfHeight, d = m(1, 1) * halfHeight;
    const double ox = viewport[0] + 0.5 * viewport[2] + m(0, 3) * halfWidth;
    const double oy = viewport[1] + 0.5 * viewport[3] + m(1, 3) * halfHeight;
    const double det = a * d - b * c;
    if (!std::isfinite(det) || det == 0)
        return false;
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (const auto& [x, y] : {std::pair{box[0], box[1]}, {box[2], box[1]}, {box[2], box[3]}, {box[0], box[3]}}) {
        const double wx = a * x + b * y + ox, wy = c * x + d * y + oy;
        minX = std::min(minX, wx), maxX = std::max(maxX, wx);
        minY = std::min(minY, wy), maxY = std::max(maxY, wy);
    }
    // A pixel is filled when its centre is inside, so those outside these bounds are at
    // least half a pixel clear of the art, far beyond the rasteriser's rounding. Nothing is
    // drawn outside the viewport, nor below the framebuffer's origin.
    const double x0 = std::max({std::floor(minX), double(viewport[0]), 0.0});
    const double y0 = std::max({std::floor(minY), double(viewport[1]), 0.0});
    const double x1 = std::min(std::ceil(maxX), double(viewport[0]) + viewport[2]);
    const double y1 = std::min(std::ceil(maxY), double(viewport[1]) + viewport[3]);
    if (!(x1 > x0 && y1 > y0) || (x1 - x0) * (y1 - y0) > double(kMaxPicturePixels))
        return false;
    p.x = int(x0), p.y = int(y0), p.width = int(x1 - x0), p.height = int(y1 - y0);
    return true;
}

bool VS_ArtCache::build(Picture& p, const std::function<void()>& drawTriangles) {
    // The triangles go into a scratch framebuffer as large as the viewport reaches, under
    // the same matrices and viewport, so that they cover exactly the pixels they would
    // cover on the canvas; unblended, each pixel keeps the colour that lands last.
    const std::array<int, 4>& viewport = p.key.viewport;
    const long long needWidth = std::max<long long>(m_scratchWidth, 0LL + viewport[0] + viewport[2]);
    const long long needHeight = std::max<long long>(m_scratchHeight, 0LL + viewport[1] + viewport[3]);
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (needWidth > largest || needHeight > largest || needWidth * needHeight > (long long)kMaxTotalPixels)
        return false;
    GLint drawFramebuffer = 0, readFramebuffer = 0, boundTexture = 0, scissorBox[4];
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glGetIntegerv(GL_SCISSOR_BOX, scissorBox);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    const auto restore = [&] {
        glBindTexture(GL_TEXTURE_2D, GLuint(boundTexture));
        glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
        glScissor(scissorBox[0], scissorBox[1], scissorBox[2], scissorBox[3]);
        if (!scissor)
            glDisable(GL_SCISSOR_TEST);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFramebuffer));
    };

    if (!m_scratchFramebuffer) {
        glGenFramebuffers(1, &m_scratchFramebuffer);
        glGenTextures(1, &m_scratchColour);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, m_scratchFramebuffer);
    if (needWidth != m_scratchWidth || needHeight != m_scratchHeight) {
        glBindTexture(GL_TEXTURE_2D, m_scratchColour);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(needWidth), GLsizei(needHeight), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_scratchColour, 0);
        m_scratchWidth = int(needWidth), m_scratchHeight = int(needHeight);
    }
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        // Out of memory, say: the art is drawn as triangles, and the scratch made anew next time.
        restore();
        glDeleteFramebuffers(1, &m_scratchFramebuffer);
        glDeleteTextures(1, &m_scratchColour);
        m_scratchFramebuffer = m_scratchColour = 0;
        m_scratchWidth = m_scratchHeight = 0;
        return false;
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(p.x, p.y, p.width, p.height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_BLEND);
    drawTriangles();
    glEnable(GL_BLEND);

    glGenTextures(1, &p.texture);
    glBindTexture(GL_TEXTURE_2D, p.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, p.x, p.y, p.width, p.height, 0);
    restore();
    return true;
}

unsigned VS_ArtCache::program() {
    if (m_program || m_programFailed)
        return m_program;
    // A vertex carries its texel coordinates as z and w, so that drawing changes no current
    // attribute the caller may rely on. They are interpolated without perspective (the
    // picture lies flat in the window); the sampler's default unit 0 holds the picture.
    static const char* const kVertex =
        "#version 130\n"
        "noperspective out vec2 texel;\n"
        "void main() { gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0); texel = gl_Vertex.zw; }\n";
    static const char* const kFragment = "#version 130\n"
                                         "uniform sampler2D picture;\n"
                                         "noperspective in vec2 texel;\n"
                                         "void main() { gl_FragColor = texture(picture, texel); }\n";
    const GLuint program = glCreateProgram();
    for (const auto& [type, source] : {std::pair{GL_VERTEX_SHADER, kVertex}, {GL_FRAGMENT_SHADER, kFragment}}) {
        const GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
        // Flagged for deletion now, it goes with the program.
        glDeleteShader(shader);
    }
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        glDeleteProgram(program);
        m_programFailed = true;
        return 0;
    }
    m_program = program;
    return m_program;
}

void VS_ArtCache::drawPicture(const Picture& p) {
    // The caller's scissor still bounds the drawing.
    GLint scissorBox[4];
    glGetIntegerv(GL_SCISSOR_BOX, scissorBox);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    int x0 = p.x, y0 = p.y, x1 = p.x + p.width, y1 = p.y + p.height;
    if (scissor) {
        x0 = std::max(x0, scissorBox[0]), y0 = std::max(y0, scissorBox[1]);
        x1 = std::min(x1, scissorBox[0] + scissorBox[2]), y1 = std::min(y1, scissorBox[1] + scissorBox[3]);
        if (x1 <= x0 || y1 <= y0)
            return;
    }
    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glBindTexture(GL_TEXTURE_2D, p.texture);
    glUseProgram(m_program);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x0, y0, x1 - x0, y1 - y0);
    // One triangle, not two: the rasteriser then shades each 4×4 block along the diagonal
    // once. Its legs lie along the picture's left and bottom edges, a pixel more than twice
    // as long as the picture, so its long side passes at least a pixel clear of the far
    // corner; the scissor cuts it to the picture. Texel coordinates grow by one texel a
    // pixel, so each pixel centre samples its own texel's centre.
    const std::array<int, 4>& viewport = p.key.viewport;
    const double legX = 2.0 * (p.width + 1), legY = 2.0 * (p.height + 1);
    glBegin(GL_TRIANGLES);
    for (const auto& [dx, dy] : {std::pair{0.0, 0.0}, {legX, 0.0}, {0.0, legY}})
        glVertex4d(2.0 * (p.x + dx - viewport[0]) / viewport[2] - 1.0, 2.0 * (p.y + dy - viewport[1]) / viewport[3] - 1.0,
                   dx / p.width, dy / p.height);
    glEnd();
    glScissor(scissorBox[0], scissorBox[1], scissorBox[2], scissorBox[3]);
    if (!scissor)
        glDisable(GL_SCISSOR_TEST);
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, GLuint(boundTexture));
}

void VS_ArtCache::release(Picture& p) {
    if (!p.texture)
        return;
    auto held = std::find_if(m_held.begin(), m_held.end(), [&](const Held& h) { return h.texture == p.texture; });
    if (held != m_held.end()) {
        m_pixels -= held->pixels;
        m_held.erase(held);
    }
    glDeleteTextures(1, &p.texture);
    p.texture = 0;
}

void VS_ArtCache::sweep() {
    // Pictures whose art is gone; called only when a new one is made, which is rare and
    // costs far more than the walk.
    auto gone = std::remove_if(m_held.begin(), m_held.end(), [&](const Held& h) {
        if (!h.owner.expired())
            return false;
        glDeleteTextures(1, &h.texture);
        m_pixels -= h.pixels;
        return true;
    });
    m_held.erase(gone, m_held.end());
}
