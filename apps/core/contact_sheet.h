#pragma once

// One picture of many: images scaled down into a grid, in the order given, for looking at
// a whole run at a glance.

#include "host/draw/VS_Image.h"

#include <vector>

namespace runner {

// Each image is scaled (averaging the source pixels each cell pixel covers) to fit a cell
// `cellWidth` pixels wide and as tall as the tallest scaled image; cells are laid out
// `columns` to a row, `gutter` pixels apart and from the border, on `background`. An
// empty list gives an empty image.
VS_Image contactSheet(const std::vector<VS_Image>& images, int columns, int cellWidth, int gutter,
                      const VS_RGBA& background);

}  // namespace runner
