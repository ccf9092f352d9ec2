// Builds Windows bitmap files byte by byte for the loader tests: the 54-byte headers, an
// optional palette and bottom-up rows padded to 4 bytes. Header fields can be overridden
// so that tests can write damaged or unusual files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testbmp {

struct Bitmap {
    int width = 0;
    int height = 0;                     // positive: rows stored bottom-up
    int bitCount = 24;
    int compression = 0;
    int coloursUsed = 0;                // header field; the palette written has paletteEntries
    int paletteEntries = 0;             // 4-byte entries written after the headers
    std::vector<std::uint8_t> rows;     // top row first, unpadded: width * bitCount / 8 per row
    std::vector<std::uint8_t> palette;  // paletteEntries * 4 bytes (blue, green, red, 0)
    std::uint8_t paddingByte = 0xEE;    // so that a reader that keeps the row padding shows
    std::int64_t pixelOffset = -1;      // overrides of the computed header fields; -1: correct
    std::int64_t imageSize = -1;
};

inline void put32(std::string& out, std::size_t at, std::uint32_t v)
{
    for (int b = 0; b < 4; ++b)
        out[at + b] = char((v >> (8 * b)) & 0xFF);
}

inline std::string encode(const Bitmap& bmp)
{
    const std::size_t rowBytes = std::size_t(bmp.width) * std::size_t(bmp.bitCount / 8);
    const std::size_t padding = (4 - rowBytes % 4) % 4;
    const int rowCount = bmp.height < 0 ? -bmp.height : bmp.height;
    const std::size_t pixelOffset = 54 + 4 * std::size_t(bmp.paletteEntries);
    const std::size_t imageSize = (rowBytes + padding) * std::size_t(rowCount);
    std::string out(pixelOffset, '\0');
    out[0] = 'B', out[1] = 'M', out[26] = 1; // one plane
    out[28] = char(bmp.bitCount & 0xFF), out[29] = char((bmp.bitCount >> 8) & 0xFF);
    const std::uint32_t fields[][2] = {{2, std::uint32_t(pixelOffset + imageSize)},
                                      {10, std::uint32_t(bmp.pixelOffset >= 0 ? std::size_t(bmp.pixelOffset) : pixelOffset)},
                                      {14, 40}, {18, std::uint32_t(bmp.width)}, {22, std::uint32_t(bmp.height)},
                                      {30, std::uint32_t(bmp.compression)},
                                      {34, std::uint32_t(bmp.imageSize >= 0 ? std::size_t(bmp.imageSize) : imageSize)},
                                      {46, std::uint32_t(bmp.coloursUsed)}};
    for (const auto& field : fields)
        put32(out, field[0], field[1]);
    for (std::size_t i = 0; i < bmp.palette.size() && 54 + i < pixelOffset; ++i)
        out[54 + i] = char(bmp.palette[i]);
    for (int r = rowCount - 1; r >= 0; --r) {
        for (std::size_t at = std::size_t(r) * rowBytes; at < std::size_t(r + 1) * rowBytes; ++at)
            out += char(at < bmp.rows.size() ? bmp.rows[at] : 0);
        out.append(padding, char(bmp.paddingByte));
    }
    return out;
}

// Rows of width * bytesPerPixel bytes whose values tell row, column and channel apart.
inline std::vector<std::uint8_t> patternRows(int width, int height, int bytesPerPixel)
{
    std::vector<std::uint8_t> rows;
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width * bytesPerPixel; ++c)
            rows.push_back(std::uint8_t(16 * (r + 1) + c));
    return rows;
}

// A bitmap of `bits` per pixel filled with patternRows; a negative height is stored top-down.
inline Bitmap patternBitmap(int width, int height, int bits)
{
    Bitmap b;
    b.width = width, b.height = height, b.bitCount = bits;
    b.rows = patternRows(width, height < 0 ? -height : height, bits / 8);
    return b;
}

} // namespace testbmp
