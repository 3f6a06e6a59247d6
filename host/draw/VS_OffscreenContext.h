#pragma once

#include "host/draw/VS_Image.h"
#include "host/host_api.h"

#include <memory>

// An OpenGL context without any window: EGL on Mesa's surfaceless platform, a
// compatibility-profile context (OpenGL 2.1 or later, so the fixed-function API is
// there), drawing into a framebuffer object of the view's size with an RGBA8 colour buffer
// and a depth buffer, single-sampled, and on demand a multisampled one of the same size for
// smooth pictures. Mesa's software rasteriser needs no GPU and gives the same pixels run to
// run.
class HOST_API VS_OffscreenContext {
public:
    // Makes the context and its framebuffer current on the calling thread. Throws
    // std::runtime_error saying what failed when EGL or GL refuses.
    VS_OffscreenContext(int width, int height);
    // Leaves no context current on the calling thread.
    ~VS_OffscreenContext();
    VS_OffscreenContext(const VS_OffscreenContext&) = delete;
    VS_OffscreenContext& operator=(const VS_OffscreenContext&) = delete;

    int width() const;
    int height() const;
    // Reallocates the framebuffer for a new size (its content is then undefined) and makes
    // it current. Throws std::runtime_error if GL refuses the size.
    void resize(int width, int height);
    // Makes this context and its framebuffer current on the calling thread again (after
    // another context was used).
    void makeCurrent();
    // The framebuffer's pixels, top row first.
    VS_Image readPixels();

    // Samples per pixel of the smooth framebuffer that drawSmooth draws into: 0 (the
    // default) for none. Throws std::runtime_error when GL offers fewer, saying how many it
    // offers; the count is then left as it was.
    void setSamples(int samples);
    int samples() const;
    // Binds the multisampled framebuffer for drawing (the single-sampled one when samples
    // is 0); resolveSmooth then averages what was drawn into the single-sampled one, which
    // readPixels reads and which stays bound.
    void bindSmooth();
    void resolveSmooth();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
