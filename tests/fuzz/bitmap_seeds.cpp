// Writes the seed corpus of the bitmap fuzz target into the folder given: one file of
// each kind the loader reads, and one of each kind it refuses.
#include "tests/support/BitmapWriter.h"

#include <fstream>
#include <iostream>
#include <string>
#include <utility>

namespace {

testbmp::Bitmap bitmap(int w, int h, int bits)
{
    testbmp::Bitmap b;
    b.width = w;
    b.height = h;
    b.bitCount = bits;
    b.rows = testbmp::patternRows(w, h < 0 ? -h : h, bits / 8);
    return b;
}

testbmp::Bitmap paletted(int w, int h, int entries, int coloursUsed)
{
    testbmp::Bitmap b = bitmap(w, h, 8);
    b.paletteEntries = entries;
    b.coloursUsed = coloursUsed;
    for (int i = 0; i < entries * 4; ++i)
        b.palette.push_back(std::uint8_t(i % 4 == 3 ? 0 : i));
    return b;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: fuzz_bitmap_seeds <folder>\n";
        return 2;
    }
    testbmp::Bitmap compressed = bitmap(4, 4, 24);
    compressed.compression = 1;
    std::string truncated = testbmp::encode(bitmap(5, 4, 24));
    truncated.resize(truncated.size() - 20);
    testbmp::Bitmap lyingSize = bitmap(5, 4, 24);
    lyingSize.imageSize = 0;

    const std::pair<const char*, std::string> seeds[] = {
        {"rgb-3x2-padded.bmp", testbmp::encode(bitmap(3, 2, 24))},
        {"rgba-2x2.bmp", testbmp::encode(bitmap(2, 2, 32))},
        {"index-4x3-full-palette.bmp", testbmp::encode(paletted(4, 3, 256, 0))},
        {"index-5x2-16-colours.bmp", testbmp::encode(paletted(5, 2, 16, 16))},
        {"rgb-16bit-refused.bmp", testbmp::encode(bitmap(2, 2, 16))},
        {"rgb-compressed-refused.bmp", testbmp::encode(compressed)},
        {"rgb-top-down-refused.bmp", testbmp::encode(bitmap(2, -2, 24))},
        {"rgb-truncated-rows.bmp", truncated},
        {"rgb-image-size-zero-truncated.bmp", testbmp::encode(lyingSize).substr(0, 70)},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out) {
            std::cerr << "cannot write " << name << "\n";
            return 1;
        }
    }
    return 0;
}
