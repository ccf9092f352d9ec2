// The bitmap loader against files the tests build byte by byte: the three pixel sizes,
// row padding and order, palettes, every refusal with its message, and damaged files.
#include "volume/DIBLoader.h"

#include "tests/support/BitmapWriter.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using testbmp::patternBitmap;

// A call as the callers make it, outputs zeroed; "absent.bmp" is never written.
struct Loaded {
    unsigned char *data = nullptr, *palette = nullptr;
    int width = 0, height = 0, bytesPerPixel = 0, status = -99;
    std::string errors; // standard error of the call
    Loaded(const testfs::ScratchDir& dir, const std::string& bytes, bool wantPalette = true, const std::string& name = "i.bmp")
    {
        if (name != "absent.bmp")
            dir.write(name, bytes);
        testing::internal::CaptureStderr();
        status = getRAWfromDIB(dir.file(name).c_str(), &data, &width, &height, &bytesPerPixel, wantPalette ? &palette : nullptr);
        errors = testing::internal::GetCapturedStderr();
    }
    ~Loaded() { delete[] data, delete[] palette; }
    Bytes pixels() const { return data ? Bytes(data, data + std::size_t(width) * height * bytesPerPixel) : Bytes(); }
    Bytes paletteBytes() const { return palette ? Bytes(palette, palette + 1024) : Bytes(); }
};

} // namespace

TEST(DIBLoader, RowsComeOutTopFirstWithoutPaddingAndEightBitOnesBringTheirPalette)
{
    testfs::ScratchDir dir;
    testbmp::Bitmap b24 = patternBitmap(3, 4, 24), b32 = patternBitmap(3, 2, 32), b8 = patternBitmap(5, 3, 8);
    b8.paletteEntries = 256;
    for (int i = 0; i < 256; ++i)
        b8.palette.insert(b8.palette.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0});
    testbmp::Bitmap two = b8; // two colours used: two entries read, the rest zero
    two.paletteEntries = two.coloursUsed = 2;
    two.palette = {1, 2, 3, 0, 4, 5, 6, 0};
    Bytes twoColours(1024, 0);
    std::copy(two.palette.begin(), two.palette.end(), twoColours.begin());
    // Rows the file does not supply stay zero: two of four rows, then half a row. Many
    // writers leave the image size 0 for uncompressed files.
    Bytes top = b24.rows, half = b32.rows;
    std::fill(top.begin(), top.begin() + 18, 0);
    std::fill(half.begin() + 3, half.begin() + 12, 0);
    testbmp::Bitmap unsized24 = b24, unsized32 = b32;
    unsized24.imageSize = unsized32.imageSize = 0;
    const std::tuple<std::string, Bytes, Bytes> cases[] = {
        {testbmp::encode(b24), b24.rows, {}}, // 9-byte rows, 3 padding bytes in the file
        {testbmp::encode(b32), b32.rows, {}}, // four bytes per pixel in file order
        {testbmp::encode(patternBitmap(1, 1, 24)), patternBitmap(1, 1, 24).rows, {}}, // the smallest there is
        {testbmp::encode(b8), b8.rows, b8.palette}, // a colours field of 0 reads all 256
        {testbmp::encode(two), b8.rows, twoColours},
        {testbmp::encode(unsized24).substr(0, 54 + 2 * 12), top, {}},
        {testbmp::encode(unsized32).substr(0, 54 + 12 + 3), half, {}},
    };
    for (const auto& [file, pixels, palette] : cases) {
        Loaded out(dir, file);
        EXPECT_EQ(out.status + out.errors.size(), 0u) << out.errors;
        EXPECT_EQ(out.pixels(), pixels);
        EXPECT_EQ(out.paletteBytes(), palette);
    }
    Loaded noPalette(dir, testbmp::encode(b8), false);
    EXPECT_EQ(noPalette.palette, nullptr);
    EXPECT_EQ((std::vector<int>{noPalette.width, noPalette.height, noPalette.bytesPerPixel}), (std::vector<int>{5, 3, 1}));
}

TEST(DIBLoader, KindsItCannotReadAreRefusedWithTheHeaderSizesAndAMissingFileWithItsOwnStatus)
{
    testfs::ScratchDir dir;
    auto bitmap = [](int w, int h, int bits, auto change) {
        testbmp::Bitmap b = patternBitmap(w, h, bits);
        change(b);
        return testbmp::encode(b);
    };
    auto same = [](testbmp::Bitmap&) {};
    // The headers alone, the rows being gigabytes, with an image size of 0 so that only
    // the size check stands in the way.
    auto headers = [](int w, int h, int bits) {
        testbmp::Bitmap b;
        b.width = w;
        b.bitCount = bits;
        b.imageSize = 0;
        std::string out = testbmp::encode(b);
        testbmp::put32(out, 22, std::uint32_t(h));
        return out;
    };
    struct Case {
        std::string file;
        int width, height, bits;
    } cases[] = {
        {bitmap(2, 2, 24, [](auto& b) { b.height = -2; }), 2, -2, 24},  // top-down rows
        {bitmap(2, 2, 16, same), 2, 2, 16},
        {bitmap(8, 2, 1, same), 8, 2, 0},  // 1 / 8 truncates to 0
        {bitmap(4, 2, 8, [](auto& b) { b.compression = 1, b.paletteEntries = 256; }), 4, 2, (8 + 65536) / 8 * 8},
        {bitmap(0, 2, 24, same), 0, 2, 24},
        {bitmap(0, 2, 24, same) + std::string(16, 'x'), 0, 2, 24}, // no width, though bytes follow the headers
        {bitmap(2, 2, 24, [](auto& b) { b.imageSize = 17; }), 2, 2, 24},  // one byte more than the file holds
        // 62 is after two palette entries, but a colours field of 0 means 256, up to 1078.
        {bitmap(5, 3, 8, [](auto& b) { b.paletteEntries = 2; }), 5, 3, 8},
        // Pixels outside the file, which used to load as nothing with status 0: before it,
        // inside the header, at its end, or past it behind a negative image size.
        {bitmap(2, 2, 24, [](auto& b) { b.pixelOffset = 0xFFFFFF00; }), 2, 2, 24},
        {bitmap(2, 2, 24, [](auto& b) { b.pixelOffset = 40; }), 2, 2, 24},
        {bitmap(2, 2, 24, [](auto& b) { b.pixelOffset = 54 + 16, b.imageSize = 0; }), 2, 2, 24},
        {bitmap(2, 2, 24, [](auto& b) { b.pixelOffset = 4096, b.imageSize = 0xFFFFF000; }), 2, 2, 24},
        // Sizes that wrap 32 or 64 bits or are absurd for an icon.
        {headers(INT_MAX, 1, 24), INT_MAX, 1, 24},
        {headers(65536, 65536, 32), 65536, 65536, 32},
        {headers(100000, 100000, 24), 100000, 100000, 24},
        {testbmp::encode(patternBitmap(2, 2, 24)).substr(0, 14), 0, 0, 0},  // shorter than its headers
        {"", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + ":" + std::to_string(c.bits));
        Loaded out(dir, c.file);
        EXPECT_EQ(out.status, 1);
        EXPECT_EQ(out.errors, dir.file("i.bmp") + ": getRAWfromDIB file incomplete, contains errors or is of wrong type. (" +
                                  std::to_string(c.width) + "x" + std::to_string(c.height) + ":" + std::to_string(c.bits) + ")\n");
        EXPECT_TRUE(!out.data && !out.palette);
        EXPECT_EQ((std::vector<int>{out.width, out.height, out.bytesPerPixel}), (std::vector<int>{c.width, c.height, c.bits / 8}));
    }
    Loaded missing(dir, "", true, "absent.bmp");
    EXPECT_EQ(missing.errors, dir.file("absent.bmp") + ": getRAWfromDIB file access error\n");
    EXPECT_EQ(std::tuple(missing.status, missing.data, missing.width), std::tuple(2, nullptr, 0)) << "nothing else written";
}
