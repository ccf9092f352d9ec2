// The histogram and gradient diagrams: bins, normalised output, the display maximum and
// its cache, the gradient border and normalisation, and the progress line both print.
#include "volume/Diagram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using ClassificationDiagram::Diagram;
using ClassificationDiagram::GradientDiagram;
using ClassificationDiagram::Histogram;

template <typename T>
std::string compute(Diagram& d, const std::vector<T>& voxels, std::vector<int> dims, float* out = nullptr)
{
    testing::internal::CaptureStdout();
    d.compute(voxels.data(), dims, out);
    return testing::internal::GetCapturedStdout();
}

TEST(Histogram, ProgressLineItemsFallWhereTheRoundingsPutThem)
{
    struct Case {
        std::size_t voxels;
        const char* line;
    } cases[] = {
        {0, "100%\n"},
        {1, "100%\n"},
        {3, "33.3333%.66.6667%.100%\n"},
        {10, "10%.20%.30%.40%.50%.60%.70%.80%.90%.100%\n"},
        {100, "0%.10%.20%.30%.40%.51%.60%.71%.80%.91%.100%\n"},
        {8388608, "0%.10%.20%.30%.40%.50%.60%.70%.80%.90%.100%\n"},
    };
    for (const Case& c : cases) {
        Histogram h;
        EXPECT_EQ(compute(h, std::vector<unsigned char>(c.voxels, 7), {int(c.voxels)}), c.line) << c.voxels;
    }
}

TEST(Histogram, EightBitValuesFillTheirOwnBins)
{
    Histogram h;
    std::vector<unsigned char> voxels(256);
    for (int i = 0; i < 256; ++i)
        voxels[i] = (unsigned char)(255 - i);
    std::vector<float> out(256, -1.0f);
    compute(h, voxels, {16, 16}, out.data());
    EXPECT_EQ(h.bins, std::vector<unsigned>(256, 1u));
    EXPECT_EQ(h.maxCount, 1u);
    EXPECT_EQ(out[0], 1.0f);  // normalised by the largest value
    EXPECT_EQ(out[255], 0.0f);
    EXPECT_EQ(out[155], 100.0f / 255.0f);

    // A new computation replaces the bins and the display-maximum cache.
    compute(h, std::vector<unsigned char>(10, 9), {10});
    EXPECT_EQ(h.displayMaximum(), 10u);
    compute(h, std::vector<unsigned char>{1, 2, 2}, {3});
    EXPECT_EQ(h.bins[9], 0u);
    EXPECT_EQ(h.bins[2], 2u);
    EXPECT_EQ(h.maxCount, 2u);
    EXPECT_EQ(h.displayMaximumCache, 0u);
    EXPECT_EQ(h.displayMaximum(), 2u);
    EXPECT_EQ(h.dims, std::vector<int>{3});
}

TEST(Histogram, SixteenBitValuesShareBinsByScale)
{
    Histogram h;
    std::vector<std::uint16_t> voxels = {65535, 256, 257, 0, 32768, 65279};
    compute(h, voxels, {6});
    EXPECT_EQ(h.maxValue, 65535.0f);
    EXPECT_EQ(h.bins[255], 1u);  // 65535
    EXPECT_EQ(h.bins[0], 2u);    // 0 and 256
    EXPECT_EQ(h.bins[1], 1u);    // 257 = 65535 / 255
    EXPECT_EQ(h.bins[127], 1u);  // 32768 * 255 / 65535 = 127.5
    EXPECT_EQ(h.bins[254], 1u);  // 65279 * 255 / 65535 = 254.004
    EXPECT_EQ(h.maxCount, 2u);

    Histogram coarse;  // fewer bins spread the same range
    coarse.binCount = 4;
    compute(coarse, voxels, {6});
    EXPECT_EQ(coarse.bins, (std::vector<unsigned>{3, 1, 1, 1}));
}

TEST(Histogram, DisplayMaximumIsTheCountATenthOfOccupiedBinsExceed)
{
    Histogram h;
    h.bins.assign(256, 0);
    const unsigned five[] = {30, 50, 10, 40, 20};
    for (int i = 0; i < 5; ++i)
        h.bins[10 * i] = five[i];
    EXPECT_EQ(h.displayMaximum(), 50u);  // n = 5, position 0
    h.bins[200] = 999;  // not seen: the cache answers until the next computation
    EXPECT_EQ(h.displayMaximum(), 50u);

    h.displayMaximumCache = 0;
    h.bins.assign(256, 0);
    for (unsigned i = 0; i < 12; ++i)
        h.bins[i * 3] = 100 + i;  // 12 occupied bins: position 1
    EXPECT_EQ(h.displayMaximum(), 110u);

    Histogram empty;
    EXPECT_EQ(empty.displayMaximum(), 0u);
    empty.bins.assign(256, 0);
    EXPECT_EQ(empty.displayMaximum(), 0u);
}

TEST(Histogram, SamplesOutsideTheBinsAreNotCounted)
{
    Histogram h;
    h.addSample(5);  // before any computation: no bins, maxValue 0
    EXPECT_TRUE(h.bins.empty());
    compute(h, std::vector<unsigned char>{0}, {1});
    h.addSample(256);  // above maxValue 255
    h.addSample(255);
    EXPECT_EQ(h.bins[255], 1u);
    EXPECT_EQ(h.bins[0], 1u);
}

// value at (x, y, z) of an X x Y x Z volume
std::size_t at(int x, int y, int z, int X, int Y) { return std::size_t(x + X * (y + Y * z)); }

TEST(GradientDiagram, OnlyVoxelsTwoAwayFromEveryFaceGetAGradient)
{
    {
        SCOPED_TRACE("5 x 5 x 5: only (2, 2, 2)");
        std::vector<unsigned char> v(125);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = (unsigned char)((i * 37) % 251);
        std::vector<float> out(125, -1.0f);
        GradientDiagram g;
        compute(g, v, {5, 5, 5}, out.data());
        for (std::size_t i = 0; i < out.size(); ++i)
            EXPECT_EQ(out[i], i == at(2, 2, 2, 5, 5) ? 1.0f : 0.0f) << i;
        EXPECT_EQ(g.maxValue, std::sqrt(3.0f) * 255.0f);
        EXPECT_EQ(g.bins, std::vector<unsigned>(256, 0u));
    }
    SCOPED_TRACE("a ramp along x and a bump: magnitudes relative to the largest");
    const int X = 7, Y = 6, Z = 6;
    std::vector<std::uint16_t> v(std::size_t(X) * Y * Z);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = std::uint16_t(1000 * (i % X));
    v[at(3, 2, 3, X, Y)] += 30000;  // a bump that steepens or flattens its neighbours' gradients
    std::vector<float> out(v.size(), -1.0f);
    GradientDiagram g;
    compute(g, v, {X, Y, Z}, out.data());
    EXPECT_EQ(g.maxValue, std::sqrt(3.0f) * 65535.0f);
    // Interior: x 2..4, y 2..3, z 2..3. The largest magnitude is gx at (2, 2, 3):
    // v(3, 2, 3) - v(1, 2, 3) = 33000 - 1000 = 32000.
    EXPECT_EQ(out[at(2, 2, 3, X, Y)], 1.0f);
    EXPECT_EQ(out[at(4, 2, 3, X, Y)], 28000.0f / 32000.0f);  // 4000 - 33000
    EXPECT_EQ(out[at(2, 2, 2, X, Y)], 2000.0f / 32000.0f);   // the plain ramp
    EXPECT_EQ(out[at(3, 3, 3, X, Y)], float(std::sqrt(2000.0 * 2000.0 + 30000.0 * 30000.0)) / 32000.0f);
    EXPECT_EQ(out[at(3, 2, 2, X, Y)], out[at(3, 3, 3, X, Y)]);  // gz instead of gy
    EXPECT_EQ(out[at(1, 3, 3, X, Y)], 0.0f);  // border
    EXPECT_EQ(out[at(3, 3, 4, X, Y)], 0.0f);  // z = Z - 2 is border too
}

TEST(GradientDiagram, VolumeWithoutGradientLeavesZerosAndPrintsTheProgressLine)
{
    std::vector<std::uint16_t> v(10 * 10 * 10, 4242);
    std::vector<float> out(v.size(), -1.0f);
    GradientDiagram g;
    EXPECT_EQ(compute(g, v, {10, 10, 10}, out.data()), "0%.10%.20%.30%.40%.50.1%.60%.70.1%.80%.90.1%.100%\n");
    EXPECT_EQ(out, std::vector<float>(v.size(), 0.0f));  // not NaN from 0 / 0
}

TEST(GradientDiagram, WrongNumberOfExtentsChangesNothing)
{
    GradientDiagram g;
    g.bins = {4, 5, 6};
    std::vector<float> out(25, -1.0f);
    EXPECT_EQ(compute(g, std::vector<unsigned char>(25, 1), {5, 5}, out.data()), "");
    EXPECT_EQ(out, std::vector<float>(25, -1.0f));
    EXPECT_EQ(g.bins, (std::vector<unsigned>{4, 5, 6}));
}

} // namespace
