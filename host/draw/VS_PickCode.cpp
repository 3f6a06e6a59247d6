#include "host/draw/VS_PickCode.h"

// Bit i of the code goes to channel i % 3 (red, green, blue), at bit 7 − i / 3 of that
// channel: code 1 is (128, 0, 0), 2 is (0, 128, 0), 4 is (0, 0, 128), 8 is (64, 0, 0).

VS_RGBA VS_PickColor(std::uint32_t code) {
    std::uint8_t channel[3] = {0, 0, 0};
    for (int i = 0; i < 24; ++i)
        if (code & (std::uint32_t(1) << i))
            channel[i % 3] |= std::uint8_t(0x80u >> (i / 3));
    return VS_RGBA(channel[0], channel[1], channel[2], 255);
}

std::uint32_t VS_PickCode(const VS_RGBA& pixel) {
    const std::uint8_t channel[3] = {pixel.r, pixel.g, pixel.b};
    std::uint32_t code = 0;
    for (int i = 0; i < 24; ++i)
        if (channel[i % 3] & (0x80u >> (i / 3)))
            code |= std::uint32_t(1) << i;
    return code;
}
