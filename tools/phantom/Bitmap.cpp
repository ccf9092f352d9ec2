#include "tools/phantom/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace phantom {

namespace {

void put32(std::vector<unsigned char>& b, size_t at, std::uint32_t v)
{
    for (int n = 0; n < 4; ++n)
        b[at + n] = static_cast<unsigned char>(v >> (8 * n));
}

void put16(std::vector<unsigned char>& b, size_t at, std::uint16_t v)
{
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}

struct Colour {
    double r, g, b;
};

const Colour kBackground{38, 44, 56};  // dark slate
const Colour kSymbol{236, 236, 228};   // off-white
const Colour kAccent{255, 176, 64};    // amber arrowheads

// Paints `size` x `size` pixels: `symbol` and `accent` are signed distances in
// pixels (negative inside) at a point in a frame centred on the icon, y up.
RgbImage drawIcon(int size, const std::function<double(double, double)>& symbol,
                  const std::function<double(double, double)>& accent)
{
    RgbImage img;
    img.width = img.height = size;
    img.rgb.resize(size_t(size) * size * 3);
    const int ss = 4; // 4 x 4 samples per pixel
    const double half = size / 2.0;
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            double inSymbol = 0, inAccent = 0;
            for (int sy = 0; sy < ss; ++sy)
                for (int sx = 0; sx < ss; ++sx) {
                    double x = px + (sx + 0.5) / ss - half;
                    double y = half - (py + (sy + 0.5) / ss);
                    if (accent(x, y) <= 0)
                        inAccent += 1;
                    else if (symbol(x, y) <= 0)
                        inSymbol += 1;
                }
            inSymbol /= ss * ss;
            inAccent /= ss * ss;
            double bg = 1.0 - inSymbol - inAccent;
            std::uint8_t* p = &img.rgb[(size_t(py) * size + px) * 3];
            p[0] = std::uint8_t(std::lround(bg * kBackground.r + inSymbol * kSymbol.r + inAccent * kAccent.r));
            p[1] = std::uint8_t(std::lround(bg * kBackground.g + inSymbol * kSymbol.g + inAccent * kAccent.g));
            p[2] = std::uint8_t(std::lround(bg * kBackground.b + inSymbol * kSymbol.b + inAccent * kAccent.b));
        }
    return img;
}

double segment(double x, double y, double ax, double ay, double bx, double by)
{
    double px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    double t = std::clamp((px * dx + py * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(px - dx * t, py - dy * t);
}

// Signed distance to the triangle a, b, c (counter-clockwise): > 0 outside.
double triangle(double x, double y, const double (&t)[6])
{
    double d = 1e9;
    bool inside = true;
    for (int e = 0; e < 3; ++e) {
        double ax = t[2 * e], ay = t[2 * e + 1], bx = t[(2 * e + 2) % 6], by = t[(2 * e + 3) % 6];
        d = std::min(d, segment(x, y, ax, ay, bx, by));
        if ((bx - ax) * (y - ay) - (by - ay) * (x - ax) < 0)
            inside = false;
    }
    return inside ? -d : d;
}

} // namespace

std::vector<unsigned char> encodeBitmap(const RgbImage& image)
{
    const int rowBytes = image.width * 3;
    const int padding = (4 - rowBytes % 4) % 4;
    const std::uint32_t imageSize = std::uint32_t((rowBytes + padding) * image.height);
    std::vector<unsigned char> b(54 + imageSize, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, std::uint32_t(b.size())); // file size
    put32(b, 10, 54);                     // pixel data offset
    put32(b, 14, 40);                     // information header size
    put32(b, 18, std::uint32_t(image.width));
    put32(b, 22, std::uint32_t(image.height)); // positive: rows stored bottom-up
    put16(b, 26, 1);                      // planes
    put16(b, 28, 24);                     // bits per pixel
    put32(b, 30, 0);                      // no compression
    put32(b, 34, imageSize);
    put32(b, 38, 2835);                   // 72 dpi
    put32(b, 42, 2835);
    size_t at = 54;
    for (int row = image.height - 1; row >= 0; --row) {
        const std::uint8_t* src = &image.rgb[size_t(row) * rowBytes];
        for (int x = 0; x < image.width; ++x) {
            b[at++] = src[3 * x + 2];
            b[at++] = src[3 * x + 1];
            b[at++] = src[3 * x];
        }
        at += padding; // already zero
    }
    return b;
}

RgbImage rotateIcon()
{
    // A ring open at the top right, the gap closed by an arrowhead pointing clockwise.
    const double radius = 14.5, thickness = 3.2;
    const double gapFrom = 20.0 * M_PI / 180.0, gapTo = 75.0 * M_PI / 180.0;
    auto ring = [=](double x, double y) {
        double a = std::atan2(y, x);
        if (a > gapFrom && a < gapTo) {
            // Round caps at both ends of the gap.
            double ends = std::min(std::hypot(x - radius * std::cos(gapFrom), y - radius * std::sin(gapFrom)),
                                   std::hypot(x - radius * std::cos(gapTo), y - radius * std::sin(gapTo)));
            return ends - thickness;
        }
        return std::fabs(std::hypot(x, y) - radius) - thickness;
    };
    // Arrowhead on the ring's end at gapFrom, pointing on round the ring into the gap
    // (counter-clockwise).
    double ex = radius * std::cos(gapFrom), ey = radius * std::sin(gapFrom);
    double tx = -std::sin(gapFrom), ty = std::cos(gapFrom);
    double nx = std::cos(gapFrom), ny = std::sin(gapFrom);  // outward normal
    const double w = 8.5, len = 10.0;
    const double head[6] = {ex + tx * len, ey + ty * len, ex + nx * w, ey + ny * w, ex - nx * w, ey - ny * w};
    // Keep the vertices counter-clockwise whatever the geometry.
    double area = (head[2] - head[0]) * (head[5] - head[1]) - (head[3] - head[1]) * (head[4] - head[0]);
    const double ccw[6] = {head[0], head[1], area > 0 ? head[2] : head[4], area > 0 ? head[3] : head[5],
                           area > 0 ? head[4] : head[2], area > 0 ? head[5] : head[3]};
    return drawIcon(48, ring, [=](double x, double y) { return triangle(x, y, ccw); });
}

RgbImage moveIcon()
{
    // Two crossing bars with an arrowhead at each of the four ends.
    const double reach = 13.0, bar = 2.2;
    auto cross = [=](double x, double y) {
        return std::min(segment(x, y, -reach, 0, reach, 0), segment(x, y, 0, -reach, 0, reach)) - bar;
    };
    auto heads = [=](double x, double y) {
        const double tip = 21.0, base = 12.0, w = 7.0;
        double d = triangle(x, y, {tip, 0, base, w, base, -w});
        d = std::min(d, triangle(x, y, {-tip, 0, -base, -w, -base, w}));
        d = std::min(d, triangle(x, y, {0, tip, -w, base, w, base}));
        d = std::min(d, triangle(x, y, {0, -tip, w, -base, -w, -base}));
        return d;
    };
    return drawIcon(45, cross, heads);
}

} // namespace phantom
