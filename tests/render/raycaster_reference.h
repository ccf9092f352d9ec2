// A plain CPU ray caster for checking the GPU one: exact ray-box intersections from the
// camera, GL_LINEAR sampling of texel arrays read back from GL, and the compositing rule
// of data/raycast.frag with shading off (premultiplied, front to back, stop past 0.99).
// Deliberately straightforward; it shares no code with the renderer.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace reference {

using Vec3 = std::array<double, 3>;
using RGBA = std::array<float, 4>;

// Within one unit in the last place of a half float (10 stored mantissa bits; the
// driver may truncate rather than round), plus a little interpolation noise.
inline bool closeInHalf(double gpu, double exact)
{
    return std::fabs(gpu - exact) <= std::fabs(exact) * std::ldexp(1.0, -10) + 5e-5;
}

inline int clampIndex(int i, int n) { return std::min(std::max(i, 0), n - 1); }

// Linear filter weights of GL for coordinate s on n texels, clamped to edge.
struct LinearTap {
    int i0, i1;
    double f;
    LinearTap(double s, int n)
    {
        double u = s * n - 0.5;
        double fl = std::floor(u);
        f = u - fl;
        i0 = clampIndex(int(fl), n);
        i1 = clampIndex(int(fl) + 1, n);
    }
};

struct Texture3D {
    int size[3];                // allocated texels per axis
    std::vector<float> texels;  // one channel, x fastest

    float at(int x, int y, int z) const { return texels[(size_t(z) * size[1] + y) * size[0] + x]; }
    double sample(const Vec3& tc) const
    {
        LinearTap tx(tc[0], size[0]), ty(tc[1], size[1]), tz(tc[2], size[2]);
        double v = 0;
        for (int k = 0; k < 2; ++k)
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i) {
                    double w = (i ? tx.f : 1 - tx.f) * (j ? ty.f : 1 - ty.f) * (k ? tz.f : 1 - tz.f);
                    v += w * at(i ? tx.i1 : tx.i0, j ? ty.i1 : ty.i0, k ? tz.i1 : tz.i0);
                }
        return v;
    }
};

struct Texture2D {
    int width = 0, height = 0;
    std::vector<float> rgba;    // four channels, row 0 first

    RGBA sample(double s, double t) const
    {
        LinearTap tx(s, width), ty(t, height);
        RGBA out{0, 0, 0, 0};
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i) {
                double w = (i ? tx.f : 1 - tx.f) * (j ? ty.f : 1 - ty.f);
                const float* p = &rgba[(size_t(j ? ty.i1 : ty.i0) * width + (i ? tx.i1 : tx.i0)) * 4];
                for (int c = 0; c < 4; ++c)
                    out[c] += float(w * p[c]);
            }
        return out;
    }
};

struct Ray {
    bool hit = false;
    Vec3 entry{}, exit{};       // object space
};

// The viewing ray from `nearPoint` towards `farPoint` (both object space, on the near and
// far planes), cut to the box and to the span between the planes. A camera inside the
// box starts its ray on the near plane.
inline Ray castRay(const Vec3& nearPoint, const Vec3& farPoint, const Vec3& boxMin, const Vec3& boxMax)
{
    Vec3 d{farPoint[0] - nearPoint[0], farPoint[1] - nearPoint[1], farPoint[2] - nearPoint[2]};
    double t0 = 0, t1 = 1;
    for (int a = 0; a < 3; ++a) {
        if (d[a] == 0) {
            if (nearPoint[a] < boxMin[a] || nearPoint[a] > boxMax[a])
                return {};
            continue;
        }
        double ta = (boxMin[a] - nearPoint[a]) / d[a], tb = (boxMax[a] - nearPoint[a]) / d[a];
        t0 = std::max(t0, std::min(ta, tb));
        t1 = std::min(t1, std::max(ta, tb));
    }
    Ray ray;
    if (t1 <= t0)
        return ray;
    ray.hit = true;
    for (int a = 0; a < 3; ++a) {
        ray.entry[a] = nearPoint[a] + t0 * d[a];
        ray.exit[a] = nearPoint[a] + t1 * d[a];
    }
    return ray;
}

struct MarchSettings {
    float sampleDistance;
    int maxSamples;
    Vec3 texScaleFactors;
    const Texture2D* transferFunction; // a 1D table: one row
    const Texture2D* preintegration;  // null: classify single samples
    double startOffset = 0;           // jitter: the first sample's distance from the entry
};

inline RGBA march(const Ray& ray, const Texture3D& volume, const MarchSettings& s)
{
    RGBA result{0, 0, 0, 0};
    if (!ray.hit)
        return result;
    Vec3 d{ray.exit[0] - ray.entry[0], ray.exit[1] - ray.entry[1], ray.exit[2] - ray.entry[2]};
    double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (length <= 0)
        return result;
    auto intensity = [&](double t) {
        Vec3 tc;
        for (int a = 0; a < 3; ++a)
            tc[a] = (ray.entry[a] + d[a] / length * t) * s.texScaleFactors[a];
        return volume.sample(tc);
    };
    double previous = intensity(s.startOffset);
    for (int i = 0; i < s.maxSamples; ++i) {
        double t = s.startOffset + double(i) * s.sampleDistance;
        if (t > length || result[3] > 0.99f)
            break;
        double value = intensity(t);
        RGBA c;
        if (s.preintegration) {
            c = s.preintegration->sample(previous, value);
        } else {
            c = s.transferFunction->sample(value, 0.5);
            for (int k = 0; k < 3; ++k)
                c[k] *= c[3];
        }
        previous = value;
        float transparency = 1 - result[3];
        for (int k = 0; k < 4; ++k)
            result[k] += transparency * c[k];
    }
    return result;
}

} // namespace reference
