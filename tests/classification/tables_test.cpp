// The 16-bit lookup table rasterised from shapes and the pre-integration table computed
// from it, without GL: entry values, the maximum-opacity rule with its tie, the guard,
// and bit-for-bit agreement with the plain per-sample integral.
#include "classification/LookupTable.h"
#include "classification/PreintegrationTable.h"
#include "classification/Trapez.h"
#include "tests/classification/PlainPreintegration.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>

using namespace Classification;

namespace {

const ShapeColour kRed{1, 0, 0, 0}, kGreen{0, 1, 0, 0}, kBlue{0, 0, 1, 0}, kMagenta{1, 0, 1, 0};

// Trapezoids rasterised in list order into `n` entries set to 0xBEEF; entries first to last as text.
std::string entries(const std::vector<std::pair<std::vector<ShapePoint>, std::array<ShapeColour, 3>>>& shapes, int n,
                    int first, int last, float lo = 0.0f, float hi = 1.0f, bool accepted = true)
{
    std::vector<std::unique_ptr<TransferFunctionGeometry>> owned;
    std::vector<TransferFunctionGeometry*> list;
    for (const auto& [points, colours] : shapes) {
        owned.push_back(std::make_unique<VornTrapez>("s"));
        EXPECT_TRUE(owned.back()->setPoints(points));
        std::copy(colours.begin(), colours.end(), owned.back()->colours.begin());
        list.push_back(owned.back().get());
    }
    std::vector<unsigned short> table(size_t(n) * 4, 0xBEEF);
    EXPECT_EQ(rasteriseLookupTable(list, lo, hi, n, table.data()), accepted);
    std::string out;
    for (int i = first * 4; i < last * 4 + 4; ++i)
        out += std::to_string(table[size_t(i)]) + (i % 4 < 3 ? "," : i < last * 4 + 3 ? " " : "");
    return out;
}

} // namespace

TEST(LookupTable, RampsBlendFootMidAndShoulderColoursWithTruncatedOpacityAndThePlateauHasTheThird)
{
    // Exact binary positions: entries at i / 16, ramps 0.25 wide; the right edge is outside.
    EXPECT_EQ(entries({{{{0.25f, 0}, {0.5f, 0.5f}, {0.75f, 0.5f}, {1, 0}}, {kRed, kGreen, kMagenta}}}, 17, 3, 16),
              "0,0,0,0 0,0,0,0 32767,32767,0,8191 0,65535,0,16383 32767,32767,32767,24575 0,65535,0,32767 65535,0,65535,32767 "
              "65535,0,65535,32767 65535,0,65535,32767 0,65535,0,32767 32767,32767,32767,24575 0,65535,0,16383 32767,32767,0,8191 0,0,0,0");
    EXPECT_EQ(entries({{{{0, 0}, {0.5f, 1}, {0.5f, 1}, {1, 0}}, {kRed, kGreen, kBlue}}}, 2, 0, 1), "0,0,0,0 0,0,0,0");
    // Height 0: nothing anywhere. A vertical left side at 0: entry 0 clear, the ramp beside it.
    EXPECT_EQ(entries({{{{0.2f, 0}, {0.4f, 0}, {0.6f, 0}, {0.8f, 0}}, {kRed, kRed, kRed}}}, 5, 0, 4),
              "0,0,0,0 0,0,0,0 0,0,0,0 0,0,0,0 0,0,0,0");
    EXPECT_EQ(entries({{{{0, 0}, {0, 1}, {0, 1}, {0.15f, 0}}, {kRed, kGreen, kBlue}}}, 256, 0, 2),
              "0,0,0,0 0,3426,62108,63821 0,6853,58681,62108");
    // Found by fuzzing the .tfn reader: a ramp of the smallest float width at intensity 0
    // has no half width, and the colour's position on it became 0 / 0, whose conversion to
    // a colour index is undefined (the sanitizer build stops there).
    const float narrowest = std::numeric_limits<float>::denorm_min();
    EXPECT_EQ(entries({{{{0, 0}, {narrowest, 1}, {0.5f, 1}, {0.6f, 0}}, {kRed, kGreen, kBlue}}}, 256, 0, 1), "0,0,0,0 0,0,65535,65535");
}

TEST(LookupTable, HigherOpacityWinsWhateverTheOrderATieKeepsTheEarlierShapeAndTheGuardKeepsTheTable)
{
    EXPECT_EQ(entries({{{{0, 0}, {0.1f, 0.5f}, {0.6f, 0.5f}, {0.7f, 0}}, {kRed, kRed, kRed}},
                       {{{0.3f, 0}, {0.4f, 0.5f}, {0.9f, 0.5f}, {1, 0}}, {kGreen, kGreen, kGreen}}}, 11, 5, 5),
              "65535,0,0,32767");
    const auto low = std::pair(std::vector<ShapePoint>{{0, 0}, {0.1f, 0.3f}, {0.9f, 0.3f}, {1, 0}}, std::array{kRed, kRed, kRed});
    const auto high = std::pair(std::vector<ShapePoint>{{0.3f, 0}, {0.4f, 0.7f}, {0.6f, 0.7f}, {0.7f, 0}}, std::array{kBlue, kBlue, kBlue});
    EXPECT_EQ(entries({low, high}, 11, 2, 5), "65535,0,0,19660 65535,0,0,19660 0,0,65535,45874 0,0,65535,45874");
    EXPECT_EQ(entries({high, low}, 11, 2, 5), "65535,0,0,19660 65535,0,0,19660 0,0,65535,45874 0,0,65535,45874");
    // A visible range wholly outside 0..1, or one entry, leaves the table alone.
    EXPECT_EQ(entries({low}, 8, 0, 0, 0.2f, -0.1f, false) + entries({low}, 8, 0, 0, 1.5f, 2.0f, false) + entries({low}, 1, 0, 0, 0, 1, false),
              "48879,48879,48879,48879" "48879,48879,48879,48879" "48879,48879,48879,48879");
    EXPECT_EQ(entries({low}, 8, 0, 0, -3.0f, 0.0f) + " " + entries({}, 3, 2, 2, 1.0f, 0.0f), "0,0,0,0 0,0,0,0");  // these pass
}

TEST(Preintegration, MatchesThePlainPerSampleIntegralBitForBit)
{
    // The diagonal is the single-sample case over 20 steps: for opaque white at distance 1,
    // opacity 1 - e^-1 and colour 0.05 (1 - e^-1) / (1 - e^-0.05); then half the density.
    const std::vector<unsigned short> white = {65535, 65535, 65535, 65535, 65535, 65535, 65535, 32768};
    const std::vector<unsigned short> pairs = plainPreintegration(white, 2, 1.0);
    EXPECT_EQ(std::vector(pairs.begin(), pairs.begin() + 4), (std::vector<unsigned short>{42470, 42470, 42470, 41426}));
    EXPECT_EQ(std::vector(pairs.begin() + 12, pairs.end()), (std::vector<unsigned short>{26109, 26109, 26109, 25786}));
    // Tables with clear, partial, full and faint bands of opacity, as real tables have, and
    // one opaque everywhere, where no sample may be skipped.
    const std::tuple<int, double, unsigned, bool> cases[] = {{2, 1.0, 1, false}, {33, 1.0, 2, false}, {64, 0.37, 3, false},
                                                             {50, 3.0, 4, false}, {40, 1e-3, 5, false}, {48, 1.0, 9, true}};
    for (auto [N, D, seed, opaque] : cases) {
        std::mt19937 rng(seed);
        std::vector<unsigned short> lut = N == 2 ? white : std::vector<unsigned short>(size_t(N) * 4), out(size_t(N) * N * 4, 0xBEEF);
        for (int e = 0; e < N && N > 2; ++e) {
            for (int ch = 0; ch < 4; ++ch)
                lut[e * 4 + ch] = (unsigned short)(rng() % 65536);
            const int band = opaque ? 1 : e * 6 / N;  // clear, partial, full, clear, faint, partial
            lut[e * 4 + 3] = band % 3 == 0 ? 0 : band == 2 ? 65535 : band == 4 ? 1 + lut[e * 4 + 3] % 12 : lut[e * 4 + 3] | 1;
        }
        integratePreintegrationTable(lut.data(), N, D, out.data());
        EXPECT_TRUE(out == plainPreintegration(lut, N, D)) << "N " << N << " D " << D;
    }
}
