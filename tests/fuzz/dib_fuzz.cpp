// Fuzz target: the bitmap loader on a file holding the input, with and without a palette
// asked for, then every byte it delivers read as the icon upload reads it. Inputs asking
// for more than kMaxPixelBytes are skipped: the loader allocates up to 256 MiB for them by
// design, which only slows the search down.
#include "tests/fuzz/FuzzSupport.h"

#include "volume/DIBLoader.h"

#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>

namespace {

constexpr std::uint64_t kMaxPixelBytes = std::uint64_t(1) << 24;
constexpr std::size_t kPaletteBytes = 256 * 4;

std::int64_t field(const std::string& bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t b = 0; b < 4; ++b)
        v |= std::uint32_t(at + b < bytes.size() ? std::uint8_t(bytes[at + b]) : 0) << (8 * b);
    return std::int32_t(v);
}

bool withinPixelBudget(const std::string& bytes)
{
    const std::int64_t w = field(bytes, 18), h = field(bytes, 22), bpp = field(bytes, 28) / 8;
    if (w < 1 || h < 1 || bpp < 1)
        return true;  // refused before any allocation
    return std::uint64_t(w + 3) * std::uint64_t(bpp) * std::uint64_t(h) <= kMaxPixelBytes;
}

// Sums every byte, so that a read of memory the loader did not hand over is a report.
unsigned touch(const unsigned char* p, std::size_t n) { return std::accumulate(p, p + n, 0u); }

void loadAndUse(const std::string& path, bool wantPalette)
{
    unsigned char *data = nullptr, *palette = nullptr;
    int width = 0, height = 0, bytesPerPixel = 0;
    const int status = [&] {
        fuzz::QuietConsole quiet;
        return getRAWfromDIB(path.c_str(), &data, &width, &height, &bytesPerPixel, wantPalette ? &palette : nullptr);
    }();
    if (status == kDIBLoaded) {
        if (!data || width < 1 || height < 1 || (bytesPerPixel != 1 && bytesPerPixel != 3 && bytesPerPixel != 4))
            fuzz::finding("status 0 with an unusable image record");
        volatile unsigned sink = touch(data, std::size_t(width) * std::size_t(height) * std::size_t(bytesPerPixel));
        if (palette)
            sink = sink + touch(palette, kPaletteBytes);
        if (bytesPerPixel == 1 && wantPalette && !palette)
            fuzz::finding("an 8-bit image without the palette that was asked for");
    } else if (status == kDIBUnusable || status == kDIBNotOpened) {
        if (data)
            fuzz::finding("a failed load handed over pixels");
    } else {
        fuzz::finding("a status outside 0, 1 and 2");
    }
    delete[] data;
    delete[] palette;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!withinPixelBudget(bytes))
        return -1;
    fuzz::scratch().write("fuzz.bmp", bytes);
    loadAndUse(fuzz::scratch().file("fuzz.bmp"), true);
    loadAndUse(fuzz::scratch().file("fuzz.bmp"), false);
    return 0;
}
