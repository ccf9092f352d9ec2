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
    auto C = [&](int e, int ch) { return lut[e * 4 + ch] / 65535.0; };
    auto A = [&](int e) { return lut[e * 4 + 3] / 65535.0; };
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j <= i; ++j) {
            int d = i - j, steps = d + 20;
            double delta = D / steps;
            double T = 0, S[3] = {0, 0, 0};
            for (int k = 0; k < steps; ++k) {
                double s = double(j) + double(k) * double(d) / double(steps);
                int n = int(s);
                double f = s - n;
                int e0 = n, e1 = i != j ? n + 1 : n;
                double alpha = (1 - f) * A(e0) + f * A(e1);
                double tau = alpha * delta;
                for (int ch = 0; ch < 3; ++ch) {
                    double K = (1 - f) * C(e0, ch) + f * C(e1, ch);
                    S[ch] = S[ch] + K * tau * std::exp(-T);
                }
                T = T + tau;
            }
            unsigned short v[4];
            for (int ch = 0; ch < 3; ++ch)
                v[ch] = (unsigned short)(std::min(S[ch], 1.0) * 65535.0);
            v[3] = (unsigned short)((1 - std::exp(-T)) * 65535.0);
            for (int ch = 0; ch < 4; ++ch)
                out[(size_t(i) * N + j) * 4 + ch] = out[(size_t(j) * N + i) * 4 + ch] = v[ch];
        }
    }
    return out;
}
