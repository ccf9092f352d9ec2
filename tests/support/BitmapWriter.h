// Builds Windows bitmap files byte by byte for the loader tests: the 54-byte headers,
// an optional palette and bottom-up rows padded to 4 bytes. Every header field can be
// overridden so tests can write damaged or unusual files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testbmp {

struct Bitmap {
    int width = 0;
    int height = 0;                         // positive: rows stored bottom-up
    int bitCount = 24;
    int compression = 0;
    int coloursUsed = 0;                    // header field; the palette written has paletteEntries
    int paletteEntries = 0;                 // 4-byte entries written after the headers
    std::vector<std::uint8_t> rows;         // top row first, unpadded: width * bitCount / 8 per row
    std::vector<std::uint8_t> palette;      // paletteEntries * 4 bytes (blue, green, red, 0)
    std::uint8_t paddingByte = 0xEE;        // what the row padding holds, so a reader that keeps it shows
    // Overrides of the computed header fields (unset: the correct value).
    std::int64_t pixelOffset = -1;
    std::int64_t imageSize = -1;
};

inline void put32(std::string& out, std::size_t at, std::uint32_t v)
{
    for (int b = 0; b < 4; ++b)
        out[at + b] = char((v >> (8 * b)) & 0xFF);
}

inline void put16(std::string& out, std::size_t at, std::uint16_t v)
{
    out[at] = char(v & 0xFF);
    out[at + 1] = char(v >> 8);
}

// The file's bytes.
inline std::string encode(const Bitmap& bmp)
{
    const std::size_t rowBytes = std::size_t(bmp.width) * std::size_t(bmp.bitCount / 8);
    const std::size_t padding = (4 - rowBytes % 4) % 4;
    const int rowCount = bmp.height < 0 ? -bmp.height : bmp.height;
    const std::size_t pixelOffset = 54 + 4 * std::size_t(bmp.paletteEntries);
    const std::size_t imageSize = (rowBytes + padding) * std::size_t(rowCount);

    std::string out(pixelOffset, '\0');
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, std::uint32_t(pixelOffset + imageSize));
    put32(out, 10, std::uint32_t(bmp.pixelOffset >= 0 ? std::size_t(bmp.pixelOffset) : pixelOffset));
    put32(out, 14, 40);
    put32(out, 18, std::uint32_t(bmp.width));
    put32(out, 22, std::uint32_t(bmp.height));
    put16(out, 26, 1);
    put16(out, 28, std::uint16_t(bmp.bitCount));
    put32(out, 30, std::uint32_t(bmp.compression));
    put32(out, 34, std::uint32_t(bmp.imageSize >= 0 ? std::size_t(bmp.imageSize) : imageSize));
    put32(out, 46, std::uint32_t(bmp.coloursUsed));
    for (std::size_t i = 0; i < bmp.palette.size() && 54 + i < pixelOffset; ++i)
        out[54 + i] = char(bmp.palette[i]);
    for (int r = rowCount - 1; r >= 0; --r) {
        for (std::size_t b = 0; b < rowBytes; ++b) {
            std::size_t at = std::size_t(r) * rowBytes + b;
            out += char(at < bmp.rows.size() ? bmp.rows[at] : 0);
        }
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

// A bottom-up bitmap of `bits` per pixel filled with patternRows.
inline Bitmap patternBitmap(int width, int height, int bits)
{
    Bitmap b;
    b.width = width;
    b.height = height;
    b.bitCount = bits;
    b.rows = patternRows(width, height, bits / 8);
    return b;
}

} // namespace testbmp
