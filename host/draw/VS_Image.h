#pragma once

#include "host/base/VS_RGBA.h"
#include "host/host_api.h"

#include <cstdint>
#include <string>
#include <vector>

// An RGBA image, four bytes a pixel, rows from the top of the view down: pixel (x, y) is
// the window pixel covering [x, x+1) × [y, y+1).
struct HOST_API VS_Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Transparent black outside the image.
    VS_RGBA pixel(int x, int y) const;
};

// Reads the framebuffer bound in the current GL context, (0, 0) to (width, height) of its
// bottom-left-based pixels, into an image whose first row is the top one.
HOST_API VS_Image VS_ReadPixels(int width, int height);

// Writes the image as an 8-bit RGBA PNG. It goes to a temporary file beside `path` which
// is renamed over `path` once complete, so `path` ends up whole or untouched. On failure
// returns false and, when `error` is given, says why.
HOST_API bool VS_WritePng(const VS_Image& image, const std::string& path, std::string* error = nullptr);
