// The pre-integration integral written out plainly: every pair, every sample, one exp()
// per channel, nothing hoisted or skipped. The reference that the fast table must match
// bit for bit (tests) and the baseline it is measured against (bench).
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

inline std::vector<unsigned short> plainPreintegration(const std::vector<unsigned short>& lut, int N, double D)
{
    std::vector<unsigned short> out(size_t(N) * N * 4);
    auto value = [&](int e, int ch) { return lut[e * 4 + ch] / 65535.0; };
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j <= i; ++j) {
            const int steps = i - j + 20;
            double T = 0, S[3] = {0, 0, 0};
            for (int k = 0; k < steps; ++k) {
                double s = double(j) + double(k) * double(i - j) / double(steps);
                int e0 = int(s), e1 = i != j ? e0 + 1 : e0;
                double f = s - e0, tau = ((1 - f) * value(e0, 3) + f * value(e1, 3)) * (D / steps);
                for (int ch = 0; ch < 3; ++ch)
                    S[ch] = S[ch] + ((1 - f) * value(e0, ch) + f * value(e1, ch)) * tau * std::exp(-T);
                T = T + tau;
            }
            const double v[4] = {std::min(S[0], 1.0), std::min(S[1], 1.0), std::min(S[2], 1.0), 1 - std::exp(-T)};
            for (int ch = 0; ch < 4; ++ch)
                out[(size_t(i) * N + j) * 4 + ch] = out[(size_t(j) * N + i) * 4 + ch] = (unsigned short)(v[ch] * 65535.0);
        }
    }
    return out;
}
