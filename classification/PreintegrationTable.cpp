#include "classification/PreintegrationTable.h"

#include "classification/LookupTable.h"

#include <cmath>
#include <vector>

namespace Classification {

namespace {

constexpr int kMinSteps = 20;  // samples of a segment whose ends share one entry

unsigned short toStored(double value)
{
    double scaled = value * 65535.0;
    if (!(scaled > 0.0))
        return 0;
    if (scaled >= 65535.0)
        return 65535;
    return (unsigned short)scaled;
}

// The lookup table as doubles, converted once instead of at every sample.
struct EntryTable {
    std::vector<double> alpha, red, green, blue;
    EntryTable(const unsigned short* lookup, int size)
        : alpha(size_t(size)), red(size_t(size)), green(size_t(size)), blue(size_t(size))
    {
        for (int e = 0; e < size; ++e) {
            const unsigned short* v = lookup + size_t(e) * kLookupChannels;
            red[e] = v[0] / 65535.0;
            green[e] = v[1] / 65535.0;
            blue[e] = v[2] / 65535.0;
            alpha[e] = v[3] / 65535.0;
        }
    }
};

void store(unsigned short* out, int size, int i, int j, const double colour[3], double T)
{
    unsigned short v[4];
    for (int ch = 0; ch < 3; ++ch)
        v[ch] = toStored(colour[ch] > 1.0 ? 1.0 : colour[ch]);
    v[3] = toStored(1.0 - std::exp(-T));
    for (int ch = 0; ch < 4; ++ch) {
        out[(size_t(i) * size + j) * kLookupChannels + ch] = v[ch];
        out[(size_t(j) * size + i) * kLookupChannels + ch] = v[ch];
    }
}

} // namespace

void integratePreintegrationTable(const unsigned short* lookup, int size, double sampleDistance,
                                  unsigned short* out)
{
    if (!lookup || !out || size < 1)
        return;
    const EntryTable e(lookup, size);
    const double D = sampleDistance;
    std::vector<double> offset;  // k * d / steps, which depends on the distance d only

    // Pairs are visited by distance d = i - j so that the sample offsets are divided out
    // once per distance; each pair is still integrated on its own, in sample order.
    for (int d = 0; d < size; ++d) {
        const int steps = d + kMinSteps;
        const double delta = D / steps;
        offset.resize(size_t(steps));
        for (int k = 0; k < steps; ++k)
            offset[k] = double(k) * d / steps;

        for (int j = 0; j + d < size; ++j) {
            const int i = j + d;
            double T = 0.0;
            double S[3] = {0.0, 0.0, 0.0};
            for (int k = 0; k < steps; ++k) {
                const double s = j + offset[k];
                const int n = int(s);
                const double f = s - n;
                const int n1 = d != 0 ? n + 1 : n;
                const double g = 1 - f;
                const double alpha = g * e.alpha[n] + f * e.alpha[n1];
                const double tau = alpha * delta;
                // A sample without opacity adds exactly zero to S and T: skip its exp().
                if (tau == 0.0)
                    continue;
                const double attenuation = std::exp(-T);
                S[0] = S[0] + (g * e.red[n] + f * e.red[n1]) * tau * attenuation;
                S[1] = S[1] + (g * e.green[n] + f * e.green[n1]) * tau * attenuation;
                S[2] = S[2] + (g * e.blue[n] + f * e.blue[n1]) * tau * attenuation;
                T = T + tau;
            }
            store(out, size, i, j, S, T);
        }
    }
}

} // namespace Classification
