#include "render/Matrix4.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

void setIdentity(double out[16])
{
    for (int i = 0; i < 16; ++i)
        out[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

} // namespace

bool invertMatrix4(const double m[16], double inv[16])
{
    // Augmented rows [A | I]; a[r][c] is A's row r, column c.
    double a[4][8];
    double rowScale[4];
    for (int r = 0; r < 4; ++r) {
        rowScale[r] = 0.0;
        for (int c = 0; c < 4; ++c) {
            a[r][c] = m[4 * c + r];
            a[r][c + 4] = (r == c) ? 1.0 : 0.0;
            rowScale[r] = std::fmax(rowScale[r], std::fabs(a[r][c]));
        }
        if (rowScale[r] == 0.0) {
            setIdentity(inv);
            return false;
        }
    }

    for (int k = 0; k < 4; ++k) {
        // The pivot is chosen relative to its row's largest element, so that a row
        // that is merely large in magnitude does not win over a better-conditioned one.
        int pivot = k;
        double best = std::fabs(a[k][k]) / rowScale[k];
        for (int r = k + 1; r < 4; ++r) {
            double ratio = std::fabs(a[r][k]) / rowScale[r];
            if (ratio > best) {
                best = ratio;
                pivot = r;
            }
        }
        if (a[pivot][k] == 0.0) {
            setIdentity(inv);
            return false;
        }
        if (pivot != k) {
            for (int c = 0; c < 8; ++c)
                std::swap(a[k][c], a[pivot][c]);
            std::swap(rowScale[k], rowScale[pivot]);
        }
        double p = a[k][k];
        for (int c = 0; c < 8; ++c)
            a[k][c] /= p;
        for (int r = 0; r < 4; ++r) {
            if (r == k || a[r][k] == 0.0)
                continue;
            double f = a[r][k];
            for (int c = 0; c < 8; ++c)
                a[r][c] -= f * a[k][c];
        }
    }

    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            inv[4 * c + r] = a[r][c + 4];
    return true;
}

void transformPoint4(const double m[16], const float p[3], float out[3])
{
    for (int r = 0; r < 3; ++r)
        out[r] = float(m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r]);
}

bool projectedBoxRectangle(const double m[16], const double p[16], const double lo[3],
                           const double hi[3], int width, int height, int rect[4])
{
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (int c = 0; c < 8; ++c) {
        const double corner[4] = {c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2], 1};
        double eye[4], clip[4];
        for (int r = 0; r < 4; ++r)
            eye[r] = m[r] * corner[0] + m[4 + r] * corner[1] + m[8 + r] * corner[2] + m[12 + r];
        for (int r = 0; r < 4; ++r)
            clip[r] = p[r] * eye[0] + p[4 + r] * eye[1] + p[8 + r] * eye[2] + p[12 + r] * eye[3];
        if (!(clip[3] > 1e-9))
            return false;
        const double x = (clip[0] / clip[3] + 1) * 0.5 * width, y = (clip[1] / clip[3] + 1) * 0.5 * height;
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    // One pixel more on every side: the rasteriser's coverage of a pixel at the edge.
    const double x0 = std::max(0.0, std::floor(minX) - 1), y0 = std::max(0.0, std::floor(minY) - 1);
    const double x1 = std::min(double(width), std::ceil(maxX) + 1), y1 = std::min(double(height), std::ceil(maxY) + 1);
    rect[0] = int(x0);
    rect[1] = int(y0);
    rect[2] = std::max(0, int(x1 - x0));
    rect[3] = std::max(0, int(y1 - y0));
    return true;
}
