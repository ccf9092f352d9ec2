#include "classification/LookupTable.h"

#include <algorithm>

namespace Classification {

namespace {

struct Contribution {
    float rgb[3];
    float opacity;
};

void blend(const ShapeColour& a, const ShapeColour& b, float f, float out[3])
{
    out[0] = a.r * (1.0f - f) + b.r * f;
    out[1] = a.g * (1.0f - f) + b.g * f;
    out[2] = a.b * (1.0f - f) + b.b * f;
}

// Colour along a ramp: c0 at the foot, c1 halfway up, c2 at the shoulder. `along` is
// the distance from the foot, `ramp` the ramp's (positive) width.
void rampColour(const TransferFunctionGeometry& s, float along, float ramp, float out[3])
{
    // A ramp narrower than float rounding at its place may have no half width, and its
    // edges may put `along` beyond it: t stays on the ramp, so k is 0, 1 or 2.
    const float half = ramp * 0.5f;
    const float t = half > 0.0f ? std::min(along / half, 2.0f) : 0.0f;
    int k = int(t);
    float f = t - float(k);
    if (k == 0)
        blend(s.colours[0], s.colours[1], f, out);
    else
        blend(s.colours[1], s.colours[2], f, out);
}

// The shape's colour and opacity at x; false where it contributes nothing.
bool contribution(const TransferFunctionGeometry& s, float x, Contribution& c)
{
    const ShapePoint* p = s.points.data();
    const float width = p[3].x - p[0].x;
    const float height = p[1].y;
    const float left = p[1].x - p[0].x;
    float right = p[3].x - p[2].x;
    const float centre = p[0].x + width / 2.0f;
    const float leftEdge = centre - width / 2.0f;
    const float rightEdge = centre + width / 2.0f;
    if (left + right > 1.0f)
        right = 1.0f - left;
    if (width <= 0.0f || height <= 0.0f)
        return false;

    if (x < leftEdge || x >= rightEdge)
        return false;
    if (x <= leftEdge + left) {
        if (!(left > 0.0f))  // a vertical left side: only its foot lands here
            return false;
        rampColour(s, x - leftEdge, left, c.rgb);
        c.opacity = height * (x - leftEdge) / left;
        return true;
    }
    if (x < rightEdge - right) {
        c.rgb[0] = s.colours[2].r;
        c.rgb[1] = s.colours[2].g;
        c.rgb[2] = s.colours[2].b;
        c.opacity = height;
        return true;
    }
    if (!(right > 0.0f))
        return false;
    rampColour(s, rightEdge - x, right, c.rgb);
    c.opacity = height * (rightEdge - x) / right;
    return true;
}

} // namespace

unsigned short toChannel(float value)
{
    float scaled = value * kChannelMax;
    if (!(scaled > 0.0f))
        return 0;
    if (scaled >= kChannelMax)
        return 65535;
    return (unsigned short)scaled;
}

bool rasteriseLookupTable(const std::vector<TransferFunctionGeometry*>& shapes, float rangeMin,
                          float rangeMax, int size, unsigned short* table)
{
    const float lo = std::max(rangeMin, 0.0f);
    if (rangeMax < 0.0f || lo > 1.0f || size < 2 || !table)
        return false;
    std::fill(table, table + size_t(size) * kLookupChannels, (unsigned short)0);

    for (int i = 0; i < size; ++i) {
        const float x = float(i) / float(size - 1);
        unsigned short* entry = table + size_t(i) * kLookupChannels;
        for (const TransferFunctionGeometry* shape : shapes) {
            if (!shape || shape->points.size() < 4 || shape->colours.size() < 3)
                continue;
            Contribution c;
            if (!contribution(*shape, x, c))
                continue;
            // Maximum opacity wins; on a tie the earlier shape stays. Compared as stored:
            // against the untruncated product an equal opacity such as 0.5 (32767.5)
            // would replace the earlier shape's colour.
            const unsigned short alpha = toChannel(c.opacity);
            if (entry[3] < alpha) {
                entry[0] = toChannel(c.rgb[0]);
                entry[1] = toChannel(c.rgb[1]);
                entry[2] = toChannel(c.rgb[2]);
                entry[3] = alpha;
            }
        }
    }
    return true;
}

} // namespace Classification
