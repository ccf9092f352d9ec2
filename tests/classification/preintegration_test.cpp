// The pre-integration table without GL: the single-sample diagonal values, symmetry,
// the effect of the sample distance, and bit-for-bit agreement with the plain
// per-sample evaluation that the fast version must reproduce.
#include "classification/PreintegrationTable.h"
#include "tests/classification/PlainPreintegration.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace Classification;

namespace {

std::vector<unsigned short> integrate(const std::vector<unsigned short>& lut, int N, double D)
{
    std::vector<unsigned short> out(size_t(N) * N * 4, 0xBEEF);
    integratePreintegrationTable(lut.data(), N, D, out.data());
    return out;
}

// A table with clear stretches, faint, partial and full opacities, as real tables have.
std::vector<unsigned short> mixedTable(int N, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> any(0, 65535);
    std::vector<unsigned short> lut(size_t(N) * 4);
    for (int e = 0; e < N; ++e) {
        for (int ch = 0; ch < 3; ++ch)
            lut[e * 4 + ch] = (unsigned short)any(rng);
        // Bands: clear, partial, full, clear, faint, partial.
        const unsigned short alphas[6] = {0, (unsigned short)any(rng), 65535, 0,
                                          (unsigned short)(1 + any(rng) % 12), (unsigned short)any(rng)};
        lut[e * 4 + 3] = alphas[(e * 6) / N];
    }
    return lut;
}

} // namespace

TEST(Preintegration, DiagonalIsTwentyStepSingleSample)
{
    // Entry 0 full white, entry 1 white at half opacity; distance 1.
    std::vector<unsigned short> lut = {65535, 65535, 65535, 65535, 65535, 65535, 65535, 32768};
    std::vector<unsigned short> out = integrate(lut, 2, 1.0);
    // (0, 0): opacity 1 - e^-1, colour 0.05 (1 - e^-1) / (1 - e^-0.05); (1, 1): alpha 32768.
    EXPECT_EQ(std::vector<unsigned short>(out.begin(), out.begin() + 4),
              (std::vector<unsigned short>{42470, 42470, 42470, 41426}));
    EXPECT_EQ(std::vector<unsigned short>(out.begin() + 12, out.end()),
              (std::vector<unsigned short>{26109, 26109, 26109, 25786}));
}

TEST(Preintegration, ClearTableGivesZerosAndPairsAreSymmetric)
{
    std::vector<unsigned short> clear(16 * 4, 0);
    for (int e = 0; e < 16; ++e)
        clear[e * 4] = 65535;  // colour without opacity adds nothing
    EXPECT_EQ(integrate(clear, 16, 1.0), std::vector<unsigned short>(16 * 16 * 4, 0));

    const int N = 16;
    std::vector<unsigned short> out = integrate(mixedTable(N, 7), N, 1.0);
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c)
            for (int ch = 0; ch < 4; ++ch)
                ASSERT_EQ(out[(r * N + c) * 4 + ch], out[(c * N + r) * 4 + ch]) << r << "," << c;
}

TEST(Preintegration, DoubledDistanceSquaresTransmission)
{
    const int N = 24;
    std::vector<unsigned short> lut = mixedTable(N, 11);
    std::vector<unsigned short> one = integrate(lut, N, 1.0);
    std::vector<unsigned short> two = integrate(lut, N, 2.0);
    int raised = 0;
    for (int p = 0; p < N * N; ++p) {
        double o1 = one[p * 4 + 3] / 65535.0;
        double expected = 1.0 - (1.0 - o1) * (1.0 - o1);  // 1 - exp(-2T)
        EXPECT_NEAR(two[p * 4 + 3] / 65535.0, expected, 3.0 / 65535.0) << "pair " << p;
        EXPECT_GE(two[p * 4 + 3], one[p * 4 + 3]);
        raised += two[p * 4 + 3] > one[p * 4 + 3];
    }
    EXPECT_GT(raised, N * N / 2);
}

TEST(Preintegration, MatchesPlainEvaluationBitForBit)
{
    const struct {
        int N;
        double D;
        unsigned seed;
    } cases[] = {{2, 1.0, 1}, {33, 1.0, 2}, {64, 0.37, 3}, {50, 3.0, 4}, {40, 1e-3, 5}};
    for (const auto& c : cases) {
        const std::vector<unsigned short> lut = mixedTable(c.N, c.seed);
        EXPECT_TRUE(integrate(lut, c.N, c.D) == plainPreintegration(lut, c.N, c.D)) << "N " << c.N << " D " << c.D;
    }
    // Every entry opaque: no sample can be skipped.
    std::vector<unsigned short> opaque(48 * 4);
    std::mt19937 rng(9);
    for (size_t v = 0; v < opaque.size(); ++v)
        opaque[v] = v % 4 == 3 ? (unsigned short)(1 + rng() % 65535) : (unsigned short)(rng() % 65536);
    EXPECT_EQ(integrate(opaque, 48, 1.0), plainPreintegration(opaque, 48, 1.0));
}
