#include "host/draw/VS_PickCode.h"

#include <initializer_list>

// Bit i of the 24-bit word goes to channel i % 3 (red, green, blue), at bit 7 − i / 3 of
// that channel. The word is the code in bits 0–15 and its check in bits 16–23: code 1 is
// (128, 0, 0) before its check is added.

namespace {

// CRC-8 (polynomial x^8 + x^2 + x + 1) of the code's two bytes: 0 for code 0, and any
// change of one or two code bits changes it.
std::uint32_t check(std::uint32_t code) {
    std::uint8_t crc = 0;
    for (std::uint8_t byte : {std::uint8_t(code >> 8), std::uint8_t(code)}) {
        crc ^= byte;
        for (int i = 0; i < 8; ++i)
            crc = std::uint8_t(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

}  // namespace

VS_RGBA VS_PickColor(std::uint32_t code) {
    code &= kMaxPickCode;
    const std::uint32_t word = code | check(code) << 16;
    std::uint8_t channel[3] = {0, 0, 0};
    for (int i = 0; i < 24; ++i)
        if (word & (std::uint32_t(1) << i))
            channel[i % 3] |= std::uint8_t(0x80u >> (i / 3));
    return VS_RGBA(channel[0], channel[1], channel[2], 255);
}

std::uint32_t VS_PickCode(const VS_RGBA& pixel) {
    const std::uint8_t channel[3] = {pixel.r, pixel.g, pixel.b};
    std::uint32_t word = 0;
    for (int i = 0; i < 24; ++i)
        if (channel[i % 3] & (0x80u >> (i / 3)))
            word |= std::uint32_t(1) << i;
    const std::uint32_t code = word & kMaxPickCode;
    return (word >> 16) == check(code) ? code : 0;
}
