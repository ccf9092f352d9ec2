// A plain CPU ray caster for checking the GPU one, sharing no code with it: exact ray-box
// intersections, GL_LINEAR sampling of texels read back from GL, and the compositing rule of
// data/raycast.frag with shading off (premultiplied, front to back, stop past 0.99).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace reference {

using Vec3 = std::array<double, 3>;
using RGBA = std::array<float, 4>;

// Within a unit in the last place of a half float (the driver may truncate), plus some noise.
inline bool closeInHalf(double gpu, double exact)
{
    return std::fabs(gpu - exact) <= std::fabs(exact) * std::ldexp(1.0, -10) + 5e-5;
}

// GL's linear filter at coordinate s over n texels, clamped to edge: i0, and i1 weighted f.
struct LinearTap {
    int i0, i1;
    double f;
    LinearTap(double s, int n) : f(s * n - 0.5 - std::floor(s * n - 0.5))
    {
        i0 = std::clamp(int(std::floor(s * n - 0.5)), 0, n - 1);
        i1 = std::min(i0 + (s * n - 0.5 >= 0), n - 1);
    }
};

// Texels read back from GL (x fastest), sampled as GL_LINEAR clamped to edge: 1 or 4 channels.
struct Texels {
    int size[3];
    int channels;
    std::vector<float> data;

    RGBA sample(const Vec3& tc) const
    {
        const LinearTap t[3] = {{tc[0], size[0]}, {tc[1], size[1]}, {tc[2], size[2]}};
        RGBA out{0, 0, 0, 0};
        for (int c = 0; c < 8; ++c) {
            double w = 1;
            size_t at = 0;
            for (int a = 2; a >= 0; --a) {
                w *= c >> a & 1 ? t[a].f : 1 - t[a].f;
                at = at * size[a] + (c >> a & 1 ? t[a].i1 : t[a].i0);
            }
            for (int k = 0; k < channels; ++k)
                out[size_t(k)] += float(w * data[at * channels + k]);
        }
        return out;
    }
    // A table's entry i stands for intensity i / (n - 1).
    RGBA lookup(double s, double t) const
    {
        return sample({(s * (size[0] - 1) + 0.5) / size[0], (t * (size[1] - 1) + 0.5) / size[1], 0.5});
    }
};

struct Ray {
    bool hit;
    Vec3 entry, exit;  // object space
};

// The ray from `nearPoint` towards `farPoint` (object space, on the near and far planes),
// cut to the box and to the span between the planes.
inline Ray castRay(const Vec3& nearPoint, const Vec3& farPoint, const Vec3& boxMin, const Vec3& boxMax)
{
    double t0 = 0, t1 = 1;
    for (int a = 0; a < 3; ++a) {
        const double d = farPoint[a] - nearPoint[a];
        const double ta = (boxMin[a] - nearPoint[a]) / d, tb = (boxMax[a] - nearPoint[a]) / d;
        t0 = std::max(t0, std::min(ta, tb));
        t1 = std::min(t1, std::max(ta, tb));
    }
    Ray ray{t1 > t0, {}, {}};
    for (int a = 0; a < 3; ++a) {
        ray.entry[a] = nearPoint[a] + t0 * (farPoint[a] - nearPoint[a]);
        ray.exit[a] = nearPoint[a] + t1 * (farPoint[a] - nearPoint[a]);
    }
    return ray;
}

struct MarchSettings {
    float sampleDistance;
    Vec3 texScaleFactors;
    const Texels* transferFunction;
    const Texels* preintegration;  // null: classify single samples
    double startOffset = 0;       // jitter: the first sample's distance from the entry
};

inline RGBA march(const Ray& ray, const Texels& volume, const MarchSettings& s)
{
    RGBA result{0, 0, 0, 0};
    Vec3 d{ray.exit[0] - ray.entry[0], ray.exit[1] - ray.entry[1], ray.exit[2] - ray.entry[2]};
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    auto intensity = [&](double t) {
        return volume.sample({(ray.entry[0] + d[0] / length * t) * s.texScaleFactors[0],
                              (ray.entry[1] + d[1] / length * t) * s.texScaleFactors[1],
                              (ray.entry[2] + d[2] / length * t) * s.texScaleFactors[2]})[0];
    };
    double previous = ray.hit ? intensity(s.startOffset) : 0;
    for (int i = 0; ray.hit; ++i) {
        const double t = s.startOffset + double(i) * s.sampleDistance, value = intensity(t);
        if (t > length || result[3] > 0.99f)
            break;
        RGBA c = s.preintegration ? s.preintegration->lookup(previous, value) : s.transferFunction->lookup(value, 0);
        for (int k = 0; k < 3 && !s.preintegration; ++k)
            c[k] *= c[3];
        previous = value;
        const float transparency = 1 - result[3];
        for (int k = 0; k < 4; ++k)
            result[k] += transparency * c[k];
    }
    return result;
}

} // namespace reference
