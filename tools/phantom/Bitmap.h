// Uncompressed 24-bit Windows bitmaps (BMP) and the game's two tool icons, drawn from
// distance functions with supersampled anti-aliasing. No other pixel format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace phantom {

struct RgbImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb; // red, green, blue per pixel, top row first, no padding
};

// File bytes: 14-byte file header, 40-byte information header, rows bottom-up in blue,
// green, red order, each padded to a multiple of four bytes.
std::vector<unsigned char> encodeBitmap(const RgbImage& image);

// A circular arrow (rotate tool), 48 x 48.
RgbImage rotateIcon();
// A four-headed arrow (move tool), 45 x 45: rows of 135 bytes, so the files exercise
// the row padding.
RgbImage moveIcon();

} // namespace phantom
