// The two tool icons: uncompressed 24-bit bitmaps that the game's bitmap loader reads
// pixel for pixel (one of them with padded rows), and symbols that are actually drawn.
#include "tests/tools/PhantomTestData.h"
#include "tools/phantom/Bitmap.h"
#include "volume/DIBLoader.h"

#include <gtest/gtest.h>

#include <utility>

using namespace phantom;
using namespace phantomtest;

TEST(Icons, GamesBitmapLoaderReadsBothUncompressed24BitIconsPixelForPixel)
{
    int paddedRows = 0;
    for (auto [name, icon] : {std::pair{"rottool.bmp", rotateIcon()}, {"movetool.bmp", moveIcon()}}) {
        SCOPED_TRACE(name);
        std::vector<unsigned char> file = readBytes(dataPath(name));
        ASSERT_TRUE(file == encodeBitmap(icon)) << "data/" << name << " is out of date";
        ASSERT_GE(file.size(), 34u);
        EXPECT_EQ(file[28] | file[29] << 8, 24) << "bit count";
        EXPECT_EQ(file[30] | file[31] << 8 | file[32] << 16 | file[33] << 24, 0) << "no compression";
        EXPECT_GE(icon.width, 32);
        EXPECT_GE(icon.height, 32);
        paddedRows += (icon.width * 3) % 4 != 0;

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
    EXPECT_GE(paddedRows, 1) << "one icon should need row padding";
}

TEST(Icons, RotateIsARingAndMoveIsACrossOfArrows)
{
    auto light = [](const RgbImage& img, int x, int y) {
        const std::uint8_t* p = &img.rgb[3 * (size_t(y) * img.width + x)];
        return p[0] > 150 && p[1] > 120;
    };
    // Rotate (48 x 48): an empty middle inside the ring, background in the corners.
    RgbImage rot = rotateIcon();
    EXPECT_TRUE(!light(rot, 24, 24) && light(rot, 24 - 15, 24) && light(rot, 24, 24 + 14));
    EXPECT_FALSE(light(rot, 1, 1) || light(rot, 46, 46));
    // Move (45 x 45): a filled centre, bars along both axes, amber heads at the ends.
    RgbImage move = moveIcon();
    EXPECT_TRUE(light(move, 22, 22) && light(move, 22 + 8, 22) && light(move, 22, 22 - 8));
    for (auto [x, y] : {std::pair{22 + 17, 22}, {22 - 17, 22}, {22, 22 + 17}, {22, 22 - 17}}) {
        const std::uint8_t* p = &move.rgb[3 * (size_t(y) * move.width + x)];
        EXPECT_TRUE(p[0] > 200 && p[2] < 120) << "amber at " << x << ", " << y;
    }
    EXPECT_FALSE(light(move, 2, 2) || light(move, 42, 5));
}
