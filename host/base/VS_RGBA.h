#pragma once

#include "host/host_api.h"

#include <cstdint>

// A colour of four bytes: red, green, blue, alpha.
struct HOST_API VS_RGBA {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;

    constexpr VS_RGBA() = default;
    constexpr VS_RGBA(std::uint8_t r_, std::uint8_t g_, std::uint8_t b_, std::uint8_t a_ = 255)
        : r(r_), g(g_), b(b_), a(a_) {}

    std::uint8_t GetRed() const { return r; }
    std::uint8_t GetGreen() const { return g; }
    std::uint8_t GetBlue() const { return b; }
    std::uint8_t GetAlpha() const { return a; }

    bool operator==(const VS_RGBA& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const VS_RGBA& o) const { return !(*this == o); }
};
