#include "host/draw/VS_OffscreenContext.h"

#include "host/draw/VS_ArtCache.h"
#include "host/draw/gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

std::runtime_error eglFailure(const char* what) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04x", unsigned(eglGetError()));
    return std::runtime_error(std::string("offscreen OpenGL: ") + what + " failed (EGL error " + code + ")");
}

// The surfaceless display is initialised on first use and kept for the life of the
// process. EGL has one display per platform, shared by every context, and terminating it
// unloads Mesa's driver while its global state still holds allocations, which then show
// as leaks; initialising it again for the next context would also cost a driver load.
EGLDisplay surfacelessDisplay() {
    static const EGLDisplay display = [] {
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!getPlatformDisplay)
            throw std::runtime_error("offscreen OpenGL: EGL has no eglGetPlatformDisplayEXT");
        EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d == EGL_NO_DISPLAY)
            throw eglFailure("opening Mesa's surfaceless display");
        if (!eglInitialize(d, nullptr, nullptr))
            throw eglFailure("eglInitialize");
        return d;
    }();
    return display;
}

}  // namespace

struct VS_OffscreenContext::Impl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    // The multisampled framebuffer, when samples > 0.
    GLuint smoothFramebuffer = 0;
    GLuint smoothColour = 0;
    GLuint smoothDepth = 0;
    int samples = 0;
    int width = 0;
    int height = 0;
    std::unique_ptr<VS_ArtCache> artCache;

    void allocate(int w, int h) {
        if (w <= 0 || h <= 0)
            throw std::runtime_error("offscreen OpenGL: framebuffer size " + std::to_string(w) + "x" +
                                     std::to_string(h) + " is empty");
        if (!framebuffer) {
            glGenFramebuffers(1, &framebuffer);
            glGenRenderbuffers(1, &colour);
            glGenRenderbuffers(1, &depth);
        }
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        if (status != GL_FRAMEBUFFER_COMPLETE)
            throw std::runtime_error("offscreen OpenGL: a " + std::to_string(w) + "x" + std::to_string(h) +
                                     " framebuffer is incomplete (status " + std::to_string(status) + ")");
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glViewport(0, 0, w, h);
        width = w;
        height = h;
        if (samples > 0)
            allocateSmooth(samples);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    }

    // False, with nothing allocated, when GL cannot have `n` samples at this size.
    bool allocateSmooth(int n) {
        if (!smoothFramebuffer) {
            glGenFramebuffers(1, &smoothFramebuffer);
            glGenRenderbuffers(1, &smoothColour);
            glGenRenderbuffers(1, &smoothDepth);
        }
        while (glGetError() != GL_NO_ERROR) {
        }
        glBindFramebuffer(GL_FRAMEBUFFER, smoothFramebuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, smoothColour);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, n, GL_RGBA8, width, height);
        glBindRenderbuffer(GL_RENDERBUFFER, smoothDepth);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, n, GL_DEPTH_COMPONENT24, width, height);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, smoothColour);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, smoothDepth);
        const bool complete =
            glGetError() == GL_NO_ERROR && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        if (!complete)
            destroySmooth();
        return complete;
    }

    void destroySmooth() {
        if (!smoothFramebuffer)
            return;
        glDeleteFramebuffers(1, &smoothFramebuffer);
        glDeleteRenderbuffers(1, &smoothColour);
        glDeleteRenderbuffers(1, &smoothDepth);
        smoothFramebuffer = smoothColour = smoothDepth = 0;
    }

    void destroy() {
        if (context != EGL_NO_CONTEXT) {
            if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
                artCache.reset();
                destroySmooth();
                if (framebuffer) {
                    glBindFramebuffer(GL_FRAMEBUFFER, 0);
                    glDeleteFramebuffers(1, &framebuffer);
                    glDeleteRenderbuffers(1, &colour);
                    glDeleteRenderbuffers(1, &depth);
                }
            } else if (artCache) {
                artCache->abandon();
                artCache.reset();
            }
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            VS_ArtCache::makeCurrent(nullptr);
            eglDestroyContext(display, context);
            context = EGL_NO_CONTEXT;
        }
        display = EGL_NO_DISPLAY;
    }
};

VS_OffscreenContext::VS_OffscreenContext(int width, int height) : d(std::make_unique<Impl>()) {
    try {
        d->display = surfacelessDisplay();
        if (!eglBindAPI(EGL_OPENGL_API))
            throw eglFailure("binding desktop OpenGL");
        // The framebuffer object is what is drawn into; the config only has to allow
        // desktop OpenGL. Surfaceless displays offer no window configs, which is what
        // eglChooseConfig looks for unless told otherwise.
        const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                           EGL_NONE};
        EGLConfig config = nullptr;
        EGLint count = 0;
        if (!eglChooseConfig(d->display, configAttributes, &config, 1, &count) || count < 1)
            throw eglFailure("choosing a desktop OpenGL config");
        const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                            2,
                                            EGL_CONTEXT_MINOR_VERSION,
                                            1,
                                            EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                            EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                            EGL_NONE};
        d->context = eglCreateContext(d->display, config, EGL_NO_CONTEXT, contextAttributes);
        if (d->context == EGL_NO_CONTEXT)
            throw eglFailure("creating a compatibility-profile OpenGL 2.1 context");
        if (!eglMakeCurrent(d->display, EGL_NO_SURFACE, EGL_NO_SURFACE, d->context))
            throw eglFailure("making the context current without a surface");
        d->allocate(width, height);
        d->artCache = std::make_unique<VS_ArtCache>();
        VS_ArtCache::makeCurrent(d->artCache.get());
    } catch (...) {
        d->destroy();
        throw;
    }
}

VS_OffscreenContext::~VS_OffscreenContext() {
    d->destroy();
}

int VS_OffscreenContext::width() const {
    return d->width;
}

int VS_OffscreenContext::height() const {
    return d->height;
}

void VS_OffscreenContext::makeCurrent() {
    if (!eglMakeCurrent(d->display, EGL_NO_SURFACE, EGL_NO_SURFACE, d->context))
        throw eglFailure("making the context current");
    VS_ArtCache::makeCurrent(d->artCache.get());
    glBindFramebuffer(GL_FRAMEBUFFER, d->framebuffer);
}

void VS_OffscreenContext::resize(int width, int height) {
    makeCurrent();
    if (width != d->width || height != d->height)
        d->allocate(width, height);
}

VS_Image VS_OffscreenContext::readPixels() {
    makeCurrent();
    return VS_ReadPixels(d->width, d->height);
}

void VS_OffscreenContext::setSamples(int samples) {
    makeCurrent();
    if (samples == d->samples)
        return;
    if (samples <= 0) {
        d->destroySmooth();
        d->samples = 0;
        return;
    }
    GLint most = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &most);
    if (samples > most || !d->allocateSmooth(samples))
        throw std::runtime_error(std::to_string(samples) + " samples per pixel asked, but this OpenGL offers at most " +
                                 std::to_string(most));
    d->samples = samples;
}

int VS_OffscreenContext::samples() const {
    return d->samples;
}

void VS_OffscreenContext::bindSmooth() {
    makeCurrent();
    if (d->samples > 0 && d->smoothFramebuffer)
        glBindFramebuffer(GL_FRAMEBUFFER, d->smoothFramebuffer);
}

void VS_OffscreenContext::resolveSmooth() {
    if (d->samples > 0 && d->smoothFramebuffer) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, d->smoothFramebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, d->framebuffer);
        glBlitFramebuffer(0, 0, d->width, d->height, 0, 0, d->width, d->height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, d->framebuffer);
}
