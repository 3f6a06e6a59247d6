#pragma once

// Colours of the picking pass. A code from 1 to kMaxPickCode becomes an opaque colour and
// a pixel of that colour decodes back to it exactly, provided nothing blends, dithers or
// multisamples (the picking pass turns all three off). Only red, green and blue carry the
// code: painters may draw with glColor3ub, which sets alpha to full whatever the colour
// said.
//
// Not everything in the picking image is drawn in a picking colour: a painter may draw in
// its own colours there (a text label does). So a colour carries, besides its 16 code
// bits, 8 check bits computed from them, and a pixel whose check bits disagree decodes to
// 0, nothing hit. The bits are dealt out across the three channels from their top bit
// down, code bits first, so that the first few codes are far apart and visible in a saved
// picking image and the check sits in the low bits of each channel.
// Black is code 0: the background, nothing hit.

#include "host/base/VS_RGBA.h"
#include "host/host_api.h"

#include <cstdint>

constexpr std::uint32_t kMaxPickCode = 0xFFFF;

// Codes above kMaxPickCode are not representable; their upper bits are dropped.
HOST_API VS_RGBA VS_PickColor(std::uint32_t code);
// Alpha is ignored. 0 for a colour that no code is drawn in.
HOST_API std::uint32_t VS_PickCode(const VS_RGBA& pixel);
