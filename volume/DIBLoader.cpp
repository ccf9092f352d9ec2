// Bitmap reading: the 54-byte file and information headers, an optional palette and the
// bottom-up, 4-byte padded rows. Every size is checked before it is trusted: the arrays
// start zeroed and reads are bounded by them, so a short or lying file yields zero rows.
#include "volume/DIBLoader.h"

#include <cstdint>
#include <fstream>
#include <iostream>

namespace {

constexpr int kHeaderBytes = 54;       // file header and the 40-byte information header
constexpr int kPaletteEntries = 256;
constexpr int kPaletteEntryBytes = 4;  // blue, green, red, reserved

// Field offsets in the header, all little-endian 32-bit.
constexpr int kPixelOffsetField = 10;
constexpr int kWidthField = 18;
constexpr int kHeightField = 22;
constexpr int kBitCountField = 28;     // with the low half of the compression field above it
constexpr int kImageSizeField = 34;
constexpr int kColoursUsedField = 46;

// Largest pixel array a bitmap may ask for: 8192 x 8192 RGBA. The game's icons are tiny;
// a header asking for more is damaged or hostile.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t(1) << 28;

std::int32_t littleEndian32(const unsigned char* p)
{
    return std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                        std::uint32_t(p[3]) << 24);
}

bool supportedPixelSize(int bytesPerPixel) { return bytesPerPixel == 1 || bytesPerPixel == 3 || bytesPerPixel == 4; }

} // namespace

int getRAWfromDIB(const char* fileName, unsigned char** data, int* width, int* height, int* bytesPerPixel,
                  unsigned char** palette)
{
    std::ifstream file(fileName, std::ios::in | std::ios::binary | std::ios::ate);
    if (!file.is_open()) {
        std::cerr << fileName << ": getRAWfromDIB file access error\n";
        *data = nullptr;
        return kDIBNotOpened;
    }
    const std::int64_t fileSize = std::int64_t(file.tellg());

    unsigned char header[kHeaderBytes] = {};  // a file shorter than this reads as zeros and is refused
    file.seekg(0);
    file.read(reinterpret_cast<char*>(header), kHeaderBytes);
    file.clear();

    const std::int32_t pixelOffset = littleEndian32(header + kPixelOffsetField);
    const std::int32_t imageSize = littleEndian32(header + kImageSizeField);
    std::int32_t paletteEntries = littleEndian32(header + kColoursUsedField);
    if (paletteEntries < 1 || paletteEntries > kPaletteEntries)
        paletteEntries = kPaletteEntries;
    *width = littleEndian32(header + kWidthField);
    *height = littleEndian32(header + kHeightField);
    // Any compression lands in the upper half and makes the pixel size absurd.
    *bytesPerPixel = littleEndian32(header + kBitCountField) / 8;
    const int w = *width, h = *height, bpp = *bytesPerPixel;

    // Pixels that start inside the header, at or past the end of the file, or a negative
    // image size that lets a lying offset pass the size test: no pixel would come from
    // the file.
    bool outside = pixelOffset < kHeaderBytes || pixelOffset >= fileSize || imageSize < 0;
    bool refused = outside || (bpp == 1 && pixelOffset < kHeaderBytes + kPaletteEntryBytes * paletteEntries) ||
                   fileSize < std::int64_t(pixelOffset) + imageSize || w < 1 || h < 1 || !supportedPixelSize(bpp);
    std::uint64_t rowBytes = 0, padding = 0, allocation = 0;
    if (!refused) {
        rowBytes = std::uint64_t(w) * std::uint64_t(bpp);
        padding = (4 - rowBytes % 4) % 4;
        // Allocated as (width + padding) x bytesPerPixel per row; checked in two steps so
        // the product itself cannot wrap.
        std::uint64_t rowAllocation = (std::uint64_t(w) + padding) * std::uint64_t(bpp);
        refused = rowAllocation > kMaxPixelBytes || rowAllocation * std::uint64_t(h) > kMaxPixelBytes;
        allocation = rowAllocation * std::uint64_t(h);
    }
    if (refused) {
        std::cerr << fileName << ": getRAWfromDIB file incomplete, contains errors or is of wrong type. (" << w
                  << "x" << h << ":" << bpp * 8 << ")\n";
        *data = nullptr;
        return kDIBUnusable;
    }

    if (bpp == 1 && palette) {
        *palette = new unsigned char[kPaletteEntries * kPaletteEntryBytes]();
        file.seekg(kHeaderBytes);
        file.read(reinterpret_cast<char*>(*palette), std::streamsize(kPaletteEntryBytes) * paletteEntries);
        file.clear();
    }

    // Zeroed: rows the file does not supply stay black rather than uninitialised.
    unsigned char* pixels = new unsigned char[allocation]();
    *data = pixels;
    file.seekg(pixelOffset);
    for (int row = h - 1; row >= 0 && file; --row) {
        file.read(reinterpret_cast<char*>(pixels + std::uint64_t(row) * rowBytes), std::streamsize(rowBytes));
        file.ignore(std::streamsize(padding));
    }
    return kDIBLoaded;
}
