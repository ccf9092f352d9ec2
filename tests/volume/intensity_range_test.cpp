// The in-place intensity stretch of the three voxel types and the range lines it prints.
#include "volume/IntensityRange.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

template <typename T, typename Fn>
std::string run(Fn fn, std::vector<T>& voxels)
{
    testing::internal::CaptureStdout();
    fn(voxels.data(), unsigned(voxels.size()));
    return testing::internal::GetCapturedStdout();
}

std::vector<std::uint16_t> asUnsigned(const std::vector<short>& v)
{
    return std::vector<std::uint16_t>(reinterpret_cast<const std::uint16_t*>(v.data()),
                                      reinterpret_cast<const std::uint16_t*>(v.data()) + v.size());
}

TEST(IntensityRange, UnsignedBytesStretchToFullRange)
{
    {
        SCOPED_TRACE("10..110: the first voxel is rescaled like every other");
        std::vector<unsigned char> v = {60, 10, 110, 35, 10};
        EXPECT_EQ(run(rescaleUnsignedByte, v), "UCHAR Intensity Range [10, 110]\n");
        // trunc((v - 10) / 100 * 255): 60 -> 127.5 -> 127, 35 -> 63.75 -> 63.
        EXPECT_EQ(v, (std::vector<unsigned char>{127, 0, 255, 63, 0}));
    }
    {
        SCOPED_TRACE("already 0..255: untouched, one line");
        std::vector<unsigned char> v = {255, 3, 0, 200};
        EXPECT_EQ(run(rescaleUnsignedByte, v), "UCHAR Intensity Range [0, 255]\n");
        EXPECT_EQ(v, (std::vector<unsigned char>{255, 3, 0, 200}));
    }
    {
        SCOPED_TRACE("one single value: all zeros");
        std::vector<unsigned char> v(7, 42);
        EXPECT_EQ(run(rescaleUnsignedByte, v), "UCHAR Intensity Range [42, 42]\n");
        EXPECT_EQ(v, std::vector<unsigned char>(7, 0));
    }
}

TEST(IntensityRange, UnsignedShortsStretchAndReportTheNewRange)
{
    {
        SCOPED_TRACE("0..4095 becomes 0..65535");
        std::vector<std::uint16_t> v = {4095, 0, 2048, 1};
        EXPECT_EQ(run(rescaleUnsignedShort, v),
                  "USHORT Intensity Range [0, 4095]\nUSHORT Intensity Range after rescale [0, 65535]\n");
        // 2048 / 4095 * 65535 = 32775.99... ; 1 / 4095 * 65535 = 16.0036...
        EXPECT_EQ(v, (std::vector<std::uint16_t>{65535, 0, 32775, 16}));
    }
    {
        SCOPED_TRACE("already 0..65535: untouched, one line");
        std::vector<std::uint16_t> v = {65535, 0, 1234};
        EXPECT_EQ(run(rescaleUnsignedShort, v), "USHORT Intensity Range [0, 65535]\n");
        EXPECT_EQ(v, (std::vector<std::uint16_t>{65535, 0, 1234}));
    }
    {
        SCOPED_TRACE("values above 32767 compare unsigned");
        std::vector<std::uint16_t> v = {40000, 65000, 52500};
        EXPECT_EQ(run(rescaleUnsignedShort, v),
                  "USHORT Intensity Range [40000, 65000]\nUSHORT Intensity Range after rescale [0, 65535]\n");
        EXPECT_EQ(v, (std::vector<std::uint16_t>{0, 65535, 32767}));
    }
    {
        SCOPED_TRACE("one single value: all zeros, and the second line says so");
        std::vector<std::uint16_t> v(3, 900);
        EXPECT_EQ(run(rescaleUnsignedShort, v),
                  "USHORT Intensity Range [900, 900]\nUSHORT Intensity Range after rescale [0, 0]\n");
        EXPECT_EQ(v, std::vector<std::uint16_t>(3, 0));
    }
}

TEST(IntensityRange, SignedShortsAlwaysBecomeUnsigned)
{
    {
        SCOPED_TRACE("CT range -1024..3071");
        std::vector<short> v = {3071, -1024, 0, 1023};
        EXPECT_EQ(run(convertSignedShort, v), "SHORT Intensity Range [-1024, 3071]\n");
        // 1024 / 4095 * 65535 = 16387.9 ; 2047 / 4095 * 65535 = 32759.0 -> 32759 (truncated)
        EXPECT_EQ(asUnsigned(v), (std::vector<std::uint16_t>{65535, 0, 16387, 32759}));
    }
    {
        SCOPED_TRACE("full signed range is still converted");
        std::vector<short> v = {SHRT_MIN, SHRT_MAX, -1, 0};
        EXPECT_EQ(run(convertSignedShort, v), "SHORT Intensity Range [-32768, 32767]\n");
        EXPECT_EQ(asUnsigned(v), (std::vector<std::uint16_t>{0, 65535, 32767, 32768}));
    }
    {
        SCOPED_TRACE("one single negative value: all zeros");
        std::vector<short> v(4, -5);
        EXPECT_EQ(run(convertSignedShort, v), "SHORT Intensity Range [-5, -5]\n");
        EXPECT_EQ(asUnsigned(v), std::vector<std::uint16_t>(4, 0));
    }
}

TEST(IntensityRange, EmptyVolumeIsLeftAloneWithoutReadingAVoxel)
{
    // A count of 0 must not read voxels[0]: the pointers here point at nothing usable.
    testing::internal::CaptureStdout();
    rescaleUnsignedByte(nullptr, 0);
    rescaleUnsignedShort(nullptr, 0);
    convertSignedShort(nullptr, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

} // namespace
