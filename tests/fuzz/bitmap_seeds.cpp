// Writes the seed corpus of the bitmap fuzz target into the folder given: one file of
// each kind the loader reads, and one of each kind it refuses.
#include "tests/support/BitmapWriter.h"

#include <fstream>
#include <iostream>
#include <string>
#include <utility>

using testbmp::encode;
using testbmp::patternBitmap;

namespace {

testbmp::Bitmap paletted(int w, int h, int entries, int coloursUsed)
{
    testbmp::Bitmap b = patternBitmap(w, h, 8);
    b.paletteEntries = entries, b.coloursUsed = coloursUsed;
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
    const std::string truncated = encode(patternBitmap(5, 4, 24));
    testbmp::Bitmap compressed = patternBitmap(4, 4, 24), lyingSize = patternBitmap(5, 4, 24);
    compressed.compression = 1, lyingSize.imageSize = 0;
    const std::pair<const char*, std::string> seeds[] = {
        {"rgb-3x2-padded.bmp", encode(patternBitmap(3, 2, 24))},
        {"rgba-2x2.bmp", encode(patternBitmap(2, 2, 32))},
        {"index-4x3-full-palette.bmp", encode(paletted(4, 3, 256, 0))},
        {"index-5x2-16-colours.bmp", encode(paletted(5, 2, 16, 16))},
        {"rgb-16bit-refused.bmp", encode(patternBitmap(2, 2, 16))},
        {"rgb-compressed-refused.bmp", encode(compressed)},
        {"rgb-top-down-refused.bmp", encode(patternBitmap(2, -2, 24))},
        {"rgb-truncated-rows.bmp", truncated.substr(0, truncated.size() - 20)},
        {"rgb-image-size-zero-truncated.bmp", encode(lyingSize).substr(0, 70)},
    };
    for (const auto& [name, bytes] : seeds) {
        if (!(std::ofstream(std::string(argv[1]) + "/" + name, std::ios::binary | std::ios::trunc) << bytes)) {
            std::cerr << "cannot write " << name << "\n";
            return 1;
        }
    }
    return 0;
}
