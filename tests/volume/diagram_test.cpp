// The histogram and gradient diagrams: bins, normalised output, the display maximum and
// its cache, the gradient border and normalisation, and the progress line both print.
#include "volume/Diagram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace ClassificationDiagram;

template <typename T>
std::string compute(Diagram& d, const std::vector<T>& voxels, std::vector<int> dims, float* out = nullptr)
{
    testing::internal::CaptureStdout();
    d.compute(voxels.data(), dims, out);
    return testing::internal::GetCapturedStdout();
}

TEST(Histogram, BinsNormalisedValuesProgressLineAndTheCachedDisplayMaximum)
{
    const std::pair<std::size_t, const char*> lines[] = {
        {0, "100%\n"}, {1, "100%\n"}, {3, "33.3333%.66.6667%.100%\n"}, {10, "10%.20%.30%.40%.50%.60%.70%.80%.90%.100%\n"},
        {100, "0%.10%.20%.30%.40%.51%.60%.71%.80%.91%.100%\n"}, {8388608, "0%.10%.20%.30%.40%.50%.60%.70%.80%.90%.100%\n"}};
    for (const auto& [voxels, line] : lines) {
        Histogram h;
        EXPECT_EQ(compute(h, std::vector<unsigned char>(voxels, 7), {int(voxels)}), line) << voxels;
    }
    Histogram h;
    std::vector<unsigned char> bytes(256);
    for (int i = 0; i < 256; ++i)
        bytes[i] = (unsigned char)(255 - i);
    std::vector<float> out(256, -1.0f);
    compute(h, bytes, {16, 16}, out.data());
    EXPECT_EQ(h.bins, std::vector<unsigned>(256, 1u));
    EXPECT_EQ(h.maxValue, 255.0f);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[155], 100.0f / 255.0f);
    EXPECT_EQ(h.displayMaximum(), 1u);
    // Sixteen bits: bin trunc(v / 65535 * 255). A new computation replaces bins, dims, the
    // maximum count and the display-maximum cache.
    compute(h, std::vector<std::uint16_t>{65535, 256, 257, 0, 32768, 65279}, {3, 2});
    std::vector<unsigned> bins(256, 0u);
    bins[255] = bins[1] = bins[127] = bins[254] = 1;
    bins[0] = 2;
    EXPECT_EQ(h.bins, bins);
    EXPECT_EQ(h.maxValue, 65535.0f);
    EXPECT_EQ(h.maxCount, 2u);
    EXPECT_EQ(h.dims, (std::vector<int>{3, 2}));
    EXPECT_EQ(h.displayMaximumCache, 0u);
    h.binCount = 4;
    compute(h, std::vector<std::uint16_t>{65535, 256, 257, 0, 32768, 65279}, {6});
    h.addSample(100000);  // beyond the last bin: not counted
    EXPECT_EQ(h.bins, (std::vector<unsigned>{3, 1, 1, 1}));

    // The display maximum is the count that about a tenth of the occupied bins exceed.
    Histogram d;
    EXPECT_EQ(d.displayMaximum(), 0u);
    d.addSample(5);  // before any computation: no bins to count in
    d.bins.assign(256, 0);
    EXPECT_EQ(d.displayMaximum(), 0u);
    const unsigned five[] = {30, 50, 10, 40, 20};
    for (int i = 0; i < 5; ++i)
        d.bins[10 * i] = five[i];
    EXPECT_EQ(d.displayMaximum(), 50u);  // n = 5, position 0
    d.bins[200] = 999;
    EXPECT_EQ(d.displayMaximum(), 50u) << "cached until the next computation";
    d.displayMaximumCache = 0;
    d.bins.assign(256, 0);
    for (unsigned i = 0; i < 12; ++i)
        d.bins[i * 3 + 1] = 100 + i;  // 12 occupied bins: position 1
    EXPECT_EQ(d.displayMaximum(), 110u);
}

std::size_t at(int x, int y, int z, int X, int Y) { return std::size_t(x + X * (y + Y * z)); }

TEST(GradientDiagram, OnlyVoxelsTwoAwayFromEveryFaceGetAGradientRelativeToTheLargest)
{
    GradientDiagram g;
    // A ramp along x and a bump, 16-bit. Interior: x 2..4, y 2..3, z 2..3; the largest magnitude
    // is gx at (2, 2, 3): v(3, 2, 3) - v(1, 2, 3) = 33000 - 1000.
    const int X = 7, Y = 6, Z = 6;
    std::vector<std::uint16_t> v(std::size_t(X) * Y * Z);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = std::uint16_t(1000 * (i % X));
    v[at(3, 2, 3, X, Y)] += 30000;
    std::vector<float> out(v.size(), -1.0f);
    compute(g, v, {X, Y, Z}, out.data());
    for (std::size_t i = 0; i < out.size(); ++i) {  // the border: x < 2 or > X - 3, and so on
        bool border = i % X < 2 || i % X > X - 3 || i / X % Y < 2 || i / X % Y > Y - 3 || i / X / Y < 2 || i / X / Y > Z - 3;
        EXPECT_TRUE(!border || out[i] == 0.0f) << i;
    }
    EXPECT_EQ(g.bins, std::vector<unsigned>(256, 0u));
    EXPECT_EQ(g.maxValue, std::sqrt(3.0f) * 65535.0f);
    EXPECT_EQ(out[at(2, 2, 3, X, Y)], 1.0f);
    EXPECT_EQ(out[at(4, 2, 3, X, Y)], 28000.0f / 32000.0f);
    EXPECT_EQ(out[at(2, 2, 2, X, Y)], 2000.0f / 32000.0f);
    EXPECT_EQ(out[at(3, 3, 3, X, Y)], float(std::sqrt(2000.0 * 2000.0 + 30000.0 * 30000.0)) / 32000.0f);
    EXPECT_EQ(out[at(3, 2, 2, X, Y)], out[at(3, 3, 3, X, Y)]);  // gz instead of gy

    // No gradient anywhere: zeros, not NaN from 0 / 0; two extents: nothing at all.
    std::vector<unsigned char> flat(1000, 42);
    out.assign(flat.size(), -1.0f);
    EXPECT_EQ(compute(g, flat, {10, 10, 10}, out.data()), "0%.10%.20%.30%.40%.50.1%.60%.70.1%.80%.90.1%.100%\n");
    EXPECT_EQ(out, std::vector<float>(flat.size(), 0.0f));
    EXPECT_EQ(g.maxValue, std::sqrt(3.0f) * 255.0f);
    g.bins = {4, 5, 6};
    out.assign(25, -1.0f);
    EXPECT_EQ(compute(g, std::vector<unsigned char>(25, 1), {5, 5}, out.data()), "");
    EXPECT_EQ(out, std::vector<float>(25, -1.0f));
    EXPECT_EQ(g.bins, (std::vector<unsigned>{4, 5, 6}));
}

} // namespace
