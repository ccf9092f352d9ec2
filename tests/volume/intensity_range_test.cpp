// The in-place intensity stretch of the three voxel types and the range lines it prints.
#include "volume/IntensityRange.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Stretches `in` with `fn`, expecting the printed lines and the stretched voxels.
template <typename T, typename Out = T>
void expectStretch(void (*fn)(T*, unsigned), std::vector<T> in, const std::string& lines, const std::vector<Out>& out)
{
    testing::internal::CaptureStdout();
    fn(in.data(), unsigned(in.size()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), lines);
    const auto* stored = reinterpret_cast<const Out*>(in.data());
    EXPECT_EQ(std::vector<Out>(stored, stored + in.size()), out) << lines;
}

using U8 = std::vector<unsigned char>;
using U16 = std::vector<std::uint16_t>;
using S16 = std::vector<short>;

TEST(IntensityRange, EachTypeStretchesToItsFullRangeAndSaysSo)
{
    // trunc((v - 10) / 100 * 255): 60 -> 127.5 -> 127, 35 -> 63.75 -> 63; the first voxel too.
    expectStretch(rescaleUnsignedByte, U8{60, 10, 110, 35, 10}, "UCHAR Intensity Range [10, 110]\n", U8{127, 0, 255, 63, 0});
    expectStretch(rescaleUnsignedByte, U8(7, 42), "UCHAR Intensity Range [42, 42]\n", U8(7, 0));
    expectStretch(rescaleUnsignedByte, U8{0, 255, 9}, "UCHAR Intensity Range [0, 255]\n", U8{0, 255, 9});
    expectStretch(rescaleUnsignedByte, U8{10, 255, 132}, "UCHAR Intensity Range [10, 255]\n", U8{0, 255, 126});
    // 2048 / 4095 * 65535 = 32775.99... ; 1 / 4095 * 65535 = 16.0036...
    expectStretch(rescaleUnsignedShort, U16{4095, 0, 2048, 1},
                  "USHORT Intensity Range [0, 4095]\nUSHORT Intensity Range after rescale [0, 65535]\n", U16{65535, 0, 32775, 16});
    expectStretch(rescaleUnsignedShort, U16{65535, 0, 1234}, "USHORT Intensity Range [0, 65535]\n", U16{65535, 0, 1234});
    expectStretch(rescaleUnsignedShort, U16{40000, 65000, 52500},  // compared unsigned
                  "USHORT Intensity Range [40000, 65000]\nUSHORT Intensity Range after rescale [0, 65535]\n", U16{0, 65535, 32767});
    expectStretch(rescaleUnsignedShort, U16(3, 900), "USHORT Intensity Range [900, 900]\nUSHORT Intensity Range after rescale [0, 0]\n", U16(3, 0));
    // Signed voxels always become unsigned, the full range too.
    expectStretch(convertSignedShort, S16{3071, -1024, 0, 1023}, "SHORT Intensity Range [-1024, 3071]\n", U16{65535, 0, 16387, 32759});
    expectStretch(convertSignedShort, S16{SHRT_MIN, SHRT_MAX, -1, 0}, "SHORT Intensity Range [-32768, 32767]\n", U16{0, 65535, 32767, 32768});
    expectStretch(convertSignedShort, S16(4, -5), "SHORT Intensity Range [-5, -5]\n", U16(4, 0));

    // A count of 0 must not read voxels[0]: the pointers here point at nothing usable.
    testing::internal::CaptureStdout();
    rescaleUnsignedByte(nullptr, 0);
    rescaleUnsignedShort(nullptr, 0);
    convertSignedShort(nullptr, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

} // namespace
