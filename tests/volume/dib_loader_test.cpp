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
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The five output fields a caller keeps, zeroed before the call as the callers do.
struct Loaded {
    unsigned char* data = nullptr;
    int width = 0, height = 0, bytesPerPixel = 0;
    unsigned char* palette = nullptr;
    int status = -99;
    std::string errors;  // standard error of the call
    ~Loaded()
    {
        delete[] data;
        delete[] palette;
    }
    Bytes pixels() const { return data ? Bytes(data, data + std::size_t(width) * height * bytesPerPixel) : Bytes(); }
    Bytes paletteBytes() const { return palette ? Bytes(palette, palette + 1024) : Bytes(); }
};

class DIBLoader : public ::testing::Test {
protected:
    void load(Loaded& out, const std::string& bytes, bool wantPalette = true)
    {
        dir.write("i.bmp", bytes);
        loadFile(out, dir.file("i.bmp"), wantPalette);
    }
    static void loadFile(Loaded& out, const std::string& path, bool wantPalette = true)
    {
        testing::internal::CaptureStderr();
        out.status = getRAWfromDIB(path.c_str(), &out.data, &out.width, &out.height, &out.bytesPerPixel,
                                   wantPalette ? &out.palette : nullptr);
        out.errors = testing::internal::GetCapturedStderr();
    }
    static testbmp::Bitmap bitmap(int w, int h, int bits) { return testbmp::patternBitmap(w, h, bits); }
    // Loads the file and expects status 0, no message and these pixels.
    void expectPixels(const std::string& file, const Bytes& pixels)
    {
        Loaded out;
        load(out, file);
        EXPECT_EQ(out.status, 0);
        EXPECT_EQ(out.errors, "");
        EXPECT_EQ(out.pixels(), pixels);
    }
    void expectRefused(const std::string& file, int w, int h, int bits)
    {
        Loaded out;
        load(out, file);
        EXPECT_EQ(out.status, 1);
        EXPECT_EQ(out.errors, dir.file("i.bmp") + ": getRAWfromDIB file incomplete, contains errors or is of wrong type. (" +
                                  std::to_string(w) + "x" + std::to_string(h) + ":" + std::to_string(bits) + ")\n");
        EXPECT_EQ(out.data, nullptr);
        EXPECT_EQ(out.palette, nullptr);
        // The header's values are handed back, as the message shows them.
        EXPECT_EQ((std::vector<int>{out.width, out.height, out.bytesPerPixel}), (std::vector<int>{w, h, bits / 8}));
    }

    testfs::ScratchDir dir;
};

TEST_F(DIBLoader, RowsComeOutTopFirstWithoutPadding)
{
    testbmp::Bitmap b24 = bitmap(3, 4, 24);  // 9-byte rows: 3 padding bytes in the file
    Loaded out;
    load(out, testbmp::encode(b24));
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.errors, "");
    EXPECT_EQ((std::vector<int>{out.width, out.height, out.bytesPerPixel}), (std::vector<int>{3, 4, 3}));
    EXPECT_EQ(out.pixels(), b24.rows);
    EXPECT_EQ(out.palette, nullptr);  // only 8-bit bitmaps have one

    testbmp::Bitmap b32 = bitmap(3, 2, 32);  // no padding, four bytes per pixel in file order
    Loaded four;
    load(four, testbmp::encode(b32));
    EXPECT_EQ(four.bytesPerPixel, 4);
    EXPECT_EQ(four.pixels(), b32.rows);
}

TEST_F(DIBLoader, EightBitBitmapsBringTheirPalette)
{
    testbmp::Bitmap b = bitmap(5, 3, 8);  // 5 bytes per row: 3 padding bytes
    b.paletteEntries = 256;
    for (int i = 0; i < 256; ++i)
        b.palette.insert(b.palette.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0});
    Loaded all, none;
    load(all, testbmp::encode(b));  // a palette-colours field of 0 reads all 256 entries
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.bytesPerPixel, 1);
    EXPECT_EQ(all.pixels(), b.rows);
    EXPECT_EQ(all.paletteBytes(), b.palette);
    load(none, testbmp::encode(b), false);  // no palette asked for: none written
    EXPECT_EQ(none.palette, nullptr);
    EXPECT_EQ(none.pixels(), b.rows);

    testbmp::Bitmap two = b;  // two colours used: two entries read, the rest zero
    two.paletteEntries = two.coloursUsed = 2;
    two.palette = {1, 2, 3, 0, 4, 5, 6, 0};
    Loaded out;
    load(out, testbmp::encode(two));
    EXPECT_EQ(out.status, 0);
    Bytes expected(1024, 0);
    std::copy(two.palette.begin(), two.palette.end(), expected.begin());
    EXPECT_EQ(out.paletteBytes(), expected);
    EXPECT_EQ(out.pixels(), b.rows);

    SCOPED_TRACE("pixel data at 62, but a colours field of 0 means 256 entries up to 1078: refused");
    two.coloursUsed = 0;
    expectRefused(testbmp::encode(two), 5, 3, 8);
}

TEST_F(DIBLoader, KindsItCannotReadAreRefusedWithTheirSizes)
{
    testbmp::Bitmap topDown = bitmap(2, 2, 24), rle = bitmap(4, 2, 8), lyingSize = bitmap(2, 2, 24);
    topDown.height = -2;
    rle.compression = 1;
    rle.paletteEntries = 256;
    lyingSize.imageSize = 17;  // one byte more than the file holds
    // Pixels that lie outside the file: before it, inside the header, at its end, or past
    // it behind a negative image size that hides the offset from the size test.
    testbmp::Bitmap before = bitmap(2, 2, 24), inHeader = before, atEnd = before, past = before;
    before.pixelOffset = 0xFFFFFF00;  // -256
    inHeader.pixelOffset = 40;
    atEnd.pixelOffset = 54 + 16;
    atEnd.imageSize = 0;
    past.pixelOffset = 4096;
    past.imageSize = 0xFFFFF000;  // -4096
    struct Case {
        const char* what;
        testbmp::Bitmap bmp;
        int shownBits;
    } cases[] = {{"top-down rows", topDown, 24},
                 {"16 bits", bitmap(2, 2, 16), 16},
                 {"1 bit shows as 0", bitmap(8, 2, 1), 0},
                 {"run-length compressed", rle, (8 + 65536) / 8 * 8},
                 {"zero width", bitmap(0, 2, 24), 24},
                 {"image size beyond the file", lyingSize, 24},
                 {"pixels before the file", before, 24},
                 {"pixels inside the header", inHeader, 24},
                 {"pixels at the end of the file", atEnd, 24},
                 {"pixels past the end, negative image size", past, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expectRefused(testbmp::encode(c.bmp), c.bmp.width, c.bmp.height, c.shownBits);
    }
}

TEST_F(DIBLoader, MissingFileGivesStatusTwoAndNothingElse)
{
    Loaded out;
    out.width = 11;  // not written on this path
    loadFile(out, dir.file("absent.bmp"));
    EXPECT_EQ(out.status, 2);
    EXPECT_EQ(out.errors, dir.file("absent.bmp") + ": getRAWfromDIB file access error\n");
    EXPECT_EQ(out.data, nullptr);
    EXPECT_EQ(out.width, 11);
    EXPECT_EQ(out.palette, nullptr);
}

TEST_F(DIBLoader, SizesThatOverflowOrAskForAbsurdMemoryAreRefused)
{
    struct Case {
        const char* what;
        int width, height, bits;
    } cases[] = {
        {"width x bytes per pixel wraps 32 bits", INT_MAX, 1, 24},
        {"rows x row bytes wraps 32 bits", 65536, 65536, 32},
        {"fits in 64 bits but is absurd for an icon", 100000, 100000, 24},
        {"largest dimensions", INT_MAX, INT_MAX, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The headers alone (the rows would be gigabytes), with an image size of 0 so that
        // only the size check stands in the way.
        testbmp::Bitmap headerOnly;
        headerOnly.width = c.width;
        headerOnly.bitCount = c.bits;
        headerOnly.imageSize = 0;
        std::string header = testbmp::encode(headerOnly);
        testbmp::put32(header, 22, std::uint32_t(c.height));
        expectRefused(header, c.width, c.height, c.bits);
    }
}

TEST_F(DIBLoader, ShortFileLeavesZeroedRowsAndNeverReadsPastTheArrays)
{
    {
        SCOPED_TRACE("two of four rows present: the top two stay zero");
        testbmp::Bitmap b = bitmap(3, 4, 24);
        b.imageSize = 0;  // as many writers leave it for uncompressed files
        Bytes expected = b.rows;
        std::fill(expected.begin(), expected.begin() + 18, 0);
        expectPixels(testbmp::encode(b).substr(0, 54 + 2 * 12), expected);
    }
    {
        SCOPED_TRACE("a file cut in the middle of a row keeps what it has");
        testbmp::Bitmap b = bitmap(2, 2, 32);
        b.imageSize = 0;
        // Top row: its first three bytes, then zeros; bottom row (first in the file): complete.
        Bytes expected = b.rows;
        std::fill(expected.begin() + 3, expected.begin() + 8, 0);
        expectPixels(testbmp::encode(b).substr(0, 54 + 8 + 3), expected);
    }
    SCOPED_TRACE("a file shorter than its headers is refused");
    expectRefused(testbmp::encode(bitmap(2, 2, 24)).substr(0, 14), 0, 0, 0);
    expectRefused("", 0, 0, 0);
}

} // namespace
