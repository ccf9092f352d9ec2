// The two tool icons: uncompressed 24-bit bitmaps laid out as the game's bitmap loader
// reads them (54-byte headers, rows bottom-up, padded to four bytes), and symbols that
// are actually drawn.
#include "tests/tools/PhantomTestData.h"
#include "tools/phantom/Bitmap.h"
#include "volume/DIBLoader.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

using namespace phantom;
using namespace phantomtest;

namespace {

std::uint32_t le32(const std::vector<unsigned char>& b, size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// Pixel (x, y), top row 0, as red, green, blue from the file's bottom-up BGR rows.
std::array<int, 3> pixel(const std::vector<unsigned char>& b, int x, int y)
{
    int w = int(le32(b, 18)), h = int(le32(b, 22));
    int stride = (w * 3 + 3) / 4 * 4;
    size_t at = le32(b, 10) + size_t(h - 1 - y) * stride + size_t(x) * 3;
    return {b[at + 2], b[at + 1], b[at]};
}

bool light(const std::array<int, 3>& p)
{
    return p[0] > 150 && p[1] > 120;
}

} // namespace

TEST(Icons, RowsArePaddedToFourBytesAndStoredBottomUp)
{
    RgbImage img;
    img.width = 3;
    img.height = 2;
    img.rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9,          // top row
               10, 11, 12, 13, 14, 15, 16, 17, 18}; // bottom row
    std::vector<unsigned char> b = encodeBitmap(img);
    ASSERT_EQ(b.size(), 54u + 2 * 12);
    EXPECT_EQ(le32(b, 34), 24u); // image size: two rows of 9 bytes and 3 padding
    const std::vector<unsigned char> rows = {12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0,
                                             3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0};
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), b.begin() + 54));
}

TEST(Icons, BothFilesAreUncompressed24BitBitmapsTheLoaderAccepts)
{
    int unpaddedWidths = 0;
    for (const char* name : {"rottool.bmp", "movetool.bmp"}) {
        SCOPED_TRACE(name);
        std::vector<unsigned char> b = readBytes(dataPath(name));
        ASSERT_GE(b.size(), 54u);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(le32(b, 2), b.size());
        EXPECT_EQ(le32(b, 10), 54u);
        EXPECT_EQ(le32(b, 14), 40u);
        int w = int(le32(b, 18)), h = int(le32(b, 22));
        EXPECT_GE(w, 32);
        EXPECT_GE(h, 32); // positive: bottom-up rows, as the loader requires
        // Bit count 24 and no compression, read as the loader does: one 32-bit value.
        EXPECT_EQ(le32(b, 28), 24u);
        EXPECT_EQ(le32(b, 30), 0u);
        std::uint32_t stride = (std::uint32_t(w) * 3 + 3) / 4 * 4;
        EXPECT_EQ(le32(b, 34), stride * std::uint32_t(h));
        EXPECT_EQ(b.size(), 54 + stride * std::uint32_t(h));
        unpaddedWidths += (w * 3) % 4 != 0;
    }
    EXPECT_GE(unpaddedWidths, 1) << "one icon should need row padding";
}

TEST(Icons, RotateIsARingAndMoveIsACrossOfArrows)
{
    std::vector<unsigned char> rot = readBytes(dataPath("rottool.bmp"));
    std::vector<unsigned char> move = readBytes(dataPath("movetool.bmp"));
    ASSERT_TRUE(rot == encodeBitmap(rotateIcon())) << "data/rottool.bmp is out of date";
    ASSERT_TRUE(move == encodeBitmap(moveIcon())) << "data/movetool.bmp is out of date";

    // Rotate (48 x 48, centre 24, 24): empty middle, the ring on the left, right and
    // bottom, background in the corners.
    EXPECT_FALSE(light(pixel(rot, 24, 24)));
    EXPECT_TRUE(light(pixel(rot, 24 - 15, 24)));
    EXPECT_TRUE(light(pixel(rot, 24, 24 + 14)));
    EXPECT_FALSE(light(pixel(rot, 1, 1)));
    EXPECT_FALSE(light(pixel(rot, 46, 46)));
    // Move (45 x 45, centre 22.5): a filled centre, bars along both axes, amber heads
    // at the four ends, background in the corners.
    EXPECT_TRUE(light(pixel(move, 22, 22)));
    EXPECT_TRUE(light(pixel(move, 22 + 8, 22)));
    EXPECT_TRUE(light(pixel(move, 22, 22 - 8)));
    for (auto [x, y] : {std::pair{22 + 17, 22}, {22 - 17, 22}, {22, 22 + 17}, {22, 22 - 17}}) {
        auto p = pixel(move, x, y);
        EXPECT_GT(p[0], 200);
        EXPECT_LT(p[2], 120); // amber
    }
    EXPECT_FALSE(light(pixel(move, 2, 2)));
    EXPECT_FALSE(light(pixel(move, 42, 5)));
}

TEST(Icons, GamesBitmapLoaderReadsBothIconsPixelForPixel)
{
    for (auto [name, icon] : {std::pair{"rottool.bmp", rotateIcon()}, {"movetool.bmp", moveIcon()}}) {
        SCOPED_TRACE(name);
        unsigned char* data = nullptr;
        unsigned char* palette = nullptr;
        int w = 0, h = 0, bytes = 0;
        ASSERT_EQ(getRAWfromDIB(dataPath(name).c_str(), &data, &w, &h, &bytes, &palette), kDIBLoaded);
        EXPECT_EQ(w, icon.width);
        EXPECT_EQ(h, icon.height);
        EXPECT_EQ(bytes, 3);
        // The loader hands back rows top first, blue before red, without padding.
        bool same = data != nullptr;
        for (size_t p = 0; same && p < size_t(w) * h; ++p)
            same = data[3 * p] == icon.rgb[3 * p + 2] && data[3 * p + 1] == icon.rgb[3 * p + 1] &&
                   data[3 * p + 2] == icon.rgb[3 * p];
        EXPECT_TRUE(same);
        delete[] data;
        delete[] palette;
    }
}
