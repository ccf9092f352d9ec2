// Small vector and rotation maths for the phantom, all lengths in millimetres.
// Deliberately minimal: just what the shapes and the anatomy tables need.
#pragma once

#include <cmath>

namespace phantom {

struct Vec3 {
    double x, y, z;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(double s, Vec3 a) { return a * s; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vec3 a) { return std::sqrt(dot(a, a)); }
inline Vec3 normalise(Vec3 a) { return a * (1.0 / length(a)); }
inline Vec3 lerp(Vec3 a, Vec3 b, double t) { return a + (b - a) * t; }

// A rotation as three orthonormal rows: local = rot * world. The rows are the local
// axes expressed in world coordinates.
struct Mat3 {
    Vec3 r[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

    Vec3 toLocal(Vec3 v) const { return {dot(r[0], v), dot(r[1], v), dot(r[2], v)}; }
    Vec3 toWorld(Vec3 v) const { return r[0] * v.x + r[1] * v.y + r[2] * v.z; }
};

// Rotation that turns about x, then y, then z (degrees, right-handed, applied to the
// shape in that order).
inline Mat3 rotation(double degX, double degY, double degZ)
{
    const double k = M_PI / 180.0;
    double cx = std::cos(degX * k), sx = std::sin(degX * k);
    double cy = std::cos(degY * k), sy = std::sin(degY * k);
    double cz = std::cos(degZ * k), sz = std::sin(degZ * k);
    // World-from-local = Rz * Ry * Rx; its columns are the local axes in world space.
    Vec3 ex = {cz * cy, sz * cy, -sy};
    Vec3 ey = {cz * sy * sx - sz * cx, sz * sy * sx + cz * cx, cy * sx};
    Vec3 ez = {cz * sy * cx + sz * sx, sz * sy * cx - cz * sx, cy * cx};
    Mat3 m;
    m.r[0] = ex;
    m.r[1] = ey;
    m.r[2] = ez;
    return m;
}

// Frame whose first local axis is `axis`; the second lies in the plane of `axis` and
// `hint` (pointing towards `hint`); the third completes a right-handed frame.
inline Mat3 frameAlong(Vec3 axis, Vec3 hint)
{
    Vec3 e1 = normalise(axis);
    Vec3 e2 = normalise(hint - e1 * dot(hint, e1));
    Mat3 m;
    m.r[0] = e1;
    m.r[1] = e2;
    m.r[2] = cross(e1, e2);
    return m;
}

} // namespace phantom
