#include "apps/core/contact_sheet.h"

#include <algorithm>
#include <cmath>

namespace runner {

namespace {

int scaledHeight(const VS_Image& image, int cellWidth) {
    return std::max(1, static_cast<int>(std::lround(double(image.height) * cellWidth / image.width)));
}

// Box filter: each target pixel is the mean of the source pixels its footprint covers, so
// thin lines fade rather than vanish.
void drawScaled(const VS_Image& source, VS_Image& sheet, int left, int top, int width, int height) {
    // Drawn over the sheet's own pixels: a picture with transparent parts (a picking pass)
    // shows the sheet's background there rather than holes.
    for (int y = 0; y < height; ++y) {
        const int y0 = y * source.height / height;
        const int y1 = std::max(y0 + 1, (y + 1) * source.height / height);
        for (int x = 0; x < width; ++x) {
            const int x0 = x * source.width / width;
            const int x1 = std::max(x0 + 1, (x + 1) * source.width / width);
            unsigned sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 4; ++c)
                        sum[c] += source.rgba[(std::size_t(sy) * source.width + sx) * 4 + c];
            const unsigned n = unsigned((y1 - y0) * (x1 - x0));
            std::uint8_t* out = &sheet.rgba[(std::size_t(top + y) * sheet.width + left + x) * 4];
            const unsigned alpha = (sum[3] + n / 2) / n;
            for (int c = 0; c < 3; ++c) {
                const unsigned colour = (sum[c] + n / 2) / n;
                out[c] = static_cast<std::uint8_t>((colour * alpha + out[c] * (255 - alpha) + 127) / 255);
            }
            out[3] = static_cast<std::uint8_t>(alpha + out[3] * (255 - alpha) / 255);
        }
    }
}

}  // namespace

VS_Image contactSheet(const std::vector<VS_Image>& images, int columns, int cellWidth, int gutter,
                      const VS_RGBA& background) {
    std::vector<const VS_Image*> shown;
    for (const VS_Image& image : images)
        if (image.width > 0 && image.height > 0)
            shown.push_back(&image);
    VS_Image sheet;
    if (shown.empty() || columns < 1 || cellWidth < 1)
        return sheet;
    int cellHeight = 1;
    for (const VS_Image* image : shown)
        cellHeight = std::max(cellHeight, scaledHeight(*image, cellWidth));
    const int count = static_cast<int>(shown.size());
    const int used = std::min(columns, count);
    const int rows = (count + columns - 1) / columns;
    sheet.width = used * cellWidth + (used + 1) * gutter;
    sheet.height = rows * cellHeight + (rows + 1) * gutter;
    sheet.rgba.resize(std::size_t(sheet.width) * sheet.height * 4);
    for (std::size_t i = 0; i < sheet.rgba.size(); i += 4) {
        sheet.rgba[i] = background.r;
        sheet.rgba[i + 1] = background.g;
        sheet.rgba[i + 2] = background.b;
        sheet.rgba[i + 3] = background.a;
    }
    for (int i = 0; i < count; ++i) {
        const int left = gutter + (i % columns) * (cellWidth + gutter);
        const int top = gutter + (i / columns) * (cellHeight + gutter);
        drawScaled(*shown[i], sheet, left, top, cellWidth, scaledHeight(*shown[i], cellWidth));
    }
    return sheet;
}

}  // namespace runner
