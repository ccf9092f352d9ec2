#include "tools/phantom/Primitive.h"

#include "tools/phantom/Landmarks.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace phantom {

namespace {

constexpr double kFar = 1e9;          // "nowhere near": outside for every CSG operation
constexpr double kFieldMargin = 3.0;  // mm beyond a part within which distances are kept

double smoothstep(double edge0, double edge1, double x)
{
    double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Catmull-Rom through p1..p2 with neighbours p0, p3.
double catmull(double p0, double p1, double p2, double p3, double t)
{
    return 0.5 * (2.0 * p1 + (p2 - p0) * t + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * t * t +
                  (3.0 * p1 - p0 - 3.0 * p2 + p3) * t * t * t);
}

Vec3 catmull(Vec3 a, Vec3 b, Vec3 c, Vec3 d, double t)
{
    return {catmull(a.x, b.x, c.x, d.x, t), catmull(a.y, b.y, c.y, d.y, t), catmull(a.z, b.z, c.z, d.z, t)};
}

} // namespace

VoxelRegion wholeGrid()
{
    return {0, Grid::nx, 0, Grid::ny, 0, Grid::nz};
}

VoxelRegion regionOf(const Bounds& b, const VoxelRegion& within)
{
    // Centre of voxel i is (i + 0.5) * s: the first centre >= lo and the last <= hi.
    auto first = [](double lo, double s) { return int(std::ceil(std::max(lo / s - 0.5, -1.0))); };
    auto last = [](double hi, double s) { return int(std::floor(std::min(hi / s - 0.5, 1e6))) + 1; };
    VoxelRegion r;
    r.i0 = std::max(within.i0, first(b.lo.x, Grid::sx));
    r.i1 = std::min(within.i1, last(b.hi.x, Grid::sx));
    r.j0 = std::max(within.j0, first(b.lo.y, Grid::sy));
    r.j1 = std::min(within.j1, last(b.hi.y, Grid::sy));
    r.k0 = std::max(within.k0, first(b.lo.z, Grid::sz));
    r.k1 = std::min(within.k1, last(b.hi.z, Grid::sz));
    return r;
}

void Primitive::distanceField(const VoxelRegion& region, float* out) const
{
    for (int k = region.k0; k < region.k1; ++k)
        for (int j = region.j0; j < region.j1; ++j)
            for (int i = region.i0; i < region.i1; ++i)
                *out++ = float(distance(Grid::centre(i, j, k)));
}

// --- Ellipsoid ---------------------------------------------------------------------

Ellipsoid::Ellipsoid(Vec3 centre, Vec3 semiAxes, Mat3 rot, double sideExponent, double endExponent)
    : centre_(centre), semi_(semiAxes), rot_(rot), side_(sideExponent), end_(endExponent)
{
}

Bounds Ellipsoid::bounds() const
{
    // Bounding box of the rotated box that holds the superquadric.
    Vec3 ext{0, 0, 0};
    const double s[3] = {semi_.x, semi_.y, semi_.z};
    for (int a = 0; a < 3; ++a) {
        Vec3 axis = rot_.r[a] * s[a];
        ext = ext + Vec3{std::fabs(axis.x), std::fabs(axis.y), std::fabs(axis.z)};
    }
    return {centre_ - ext, centre_ + ext};
}

double Ellipsoid::level(Vec3 l) const
{
    double u = std::fabs(l.x / semi_.x), v = std::fabs(l.y / semi_.y), w = std::fabs(l.z / semi_.z);
    if (side_ == 2.0 && end_ == 2.0)
        return std::sqrt(u * u + v * v + w * w);
    double s = std::pow(std::pow(u, side_) + std::pow(v, side_), 1.0 / side_);
    return std::pow(std::pow(s, end_) + std::pow(w, end_), 1.0 / end_);
}

double Ellipsoid::distance(Vec3 p) const
{
    Vec3 l = rot_.toLocal(p - centre_);
    double r = level(l);
    double minSemi = std::min({semi_.x, semi_.y, semi_.z});
    if (r < 0.4 || r > 1.6)
        return (r - 1.0) * minSemi; // right sign, and far enough from the edge
    // First-order distance: (r - 1) / |grad r|, the gradient taken in local space
    // (a rotation keeps its length).
    Vec3 g;
    if (side_ == 2.0 && end_ == 2.0) {
        g = {l.x / (semi_.x * semi_.x), l.y / (semi_.y * semi_.y), l.z / (semi_.z * semi_.z)};
        g = g * (1.0 / r);
    } else {
        double u = std::fabs(l.x / semi_.x), v = std::fabs(l.y / semi_.y), w = std::fabs(l.z / semi_.z);
        double s = std::pow(std::pow(u, side_) + std::pow(v, side_), 1.0 / side_);
        double drds = s > 0 ? std::pow(s / r, end_ - 1.0) : 0.0;
        double dsdu = s > 0 ? std::pow(u / s, side_ - 1.0) : 0.0;
        double dsdv = s > 0 ? std::pow(v / s, side_ - 1.0) : 0.0;
        double drdw = std::pow(w / r, end_ - 1.0);
        g = {drds * dsdu / semi_.x, drds * dsdv / semi_.y, drdw / semi_.z};
    }
    double gl = length(g);
    if (gl < 1e-12)
        return -minSemi;
    return (r - 1.0) / gl;
}

// --- Tube --------------------------------------------------------------------------

Tube::Tube(const std::vector<Knot>& knots, double step)
{
    const size_t n = knots.size();
    if (n == 1)
        segments_.push_back({knots[0], knots[0]});
    std::vector<Knot> samples;
    for (size_t s = 0; s + 1 < n; ++s) {
        const Knot& k0 = knots[s == 0 ? 0 : s - 1];
        const Knot& k1 = knots[s];
        const Knot& k2 = knots[s + 1];
        const Knot& k3 = knots[std::min(s + 2, n - 1)];
        int pieces = std::max(1, int(std::ceil(length(k2.at - k1.at) / step)));
        for (int q = 0; q < pieces; ++q) {
            double t = double(q) / pieces;
            samples.push_back({catmull(k0.at, k1.at, k2.at, k3.at, t),
                               std::max(0.0, catmull(k0.radius, k1.radius, k2.radius, k3.radius, t))});
        }
    }
    if (n > 1)
        samples.push_back(knots.back());
    for (size_t s = 0; s + 1 < samples.size(); ++s)
        segments_.push_back({samples[s], samples[s + 1]});
}

void Tube::append(const Tube& other)
{
    segments_.insert(segments_.end(), other.segments_.begin(), other.segments_.end());
}

Tube Tube::inset(double amount) const
{
    Tube t = *this;
    for (Segment& s : t.segments_) {
        s.a.radius = std::max(0.0, s.a.radius - amount);
        s.b.radius = std::max(0.0, s.b.radius - amount);
    }
    return t;
}

Bounds Tube::bounds() const
{
    Bounds b{{kFar, kFar, kFar}, {-kFar, -kFar, -kFar}};
    for (const Segment& s : segments_)
        for (const Knot* k : {&s.a, &s.b}) {
            Vec3 r{k->radius, k->radius, k->radius};
            Vec3 lo = k->at - r, hi = k->at + r;
            b.lo = {std::min(b.lo.x, lo.x), std::min(b.lo.y, lo.y), std::min(b.lo.z, lo.z)};
            b.hi = {std::max(b.hi.x, hi.x), std::max(b.hi.y, hi.y), std::max(b.hi.z, hi.z)};
        }
    return b;
}

namespace {

// Distance to the cone between two samples (radius interpolated along the axis).
double coneDistance(Vec3 p, const Tube::Knot& a, const Tube::Knot& b)
{
    Vec3 ab = b.at - a.at;
    double len2 = dot(ab, ab);
    double t = len2 > 0 ? std::clamp(dot(p - a.at, ab) / len2, 0.0, 1.0) : 0.0;
    return length(p - (a.at + ab * t)) - (a.radius + (b.radius - a.radius) * t);
}

} // namespace

double Tube::distance(Vec3 p) const
{
    double d = kFar;
    for (const Segment& s : segments_)
        d = std::min(d, coneDistance(p, s.a, s.b));
    return d;
}

void Tube::distanceField(const VoxelRegion& region, float* out) const
{
    std::fill(out, out + region.count(), float(kFar));
    for (const Segment& s : segments_) {
        const Knot& a = s.a;
        const Knot& b = s.b;
        double r = std::max(a.radius, b.radius) + kFieldMargin;
        Bounds part{{std::min(a.at.x, b.at.x) - r, std::min(a.at.y, b.at.y) - r, std::min(a.at.z, b.at.z) - r},
                    {std::max(a.at.x, b.at.x) + r, std::max(a.at.y, b.at.y) + r, std::max(a.at.z, b.at.z) + r}};
        VoxelRegion sub = regionOf(part, region);
        for (int k = sub.k0; k < sub.k1; ++k)
            for (int j = sub.j0; j < sub.j1; ++j)
                for (int i = sub.i0; i < sub.i1; ++i) {
                    float& o = out[region.offset(i, j, k)];
                    o = std::min(o, float(coneDistance(Grid::centre(i, j, k), a, b)));
                }
    }
}

// --- HalfSpace ---------------------------------------------------------------------

HalfSpace::HalfSpace(Vec3 point, Vec3 outward) : point_(point), normal_(normalise(outward)) {}

Bounds HalfSpace::bounds() const
{
    return {{-kFar, -kFar, -kFar}, {kFar, kFar, kFar}};
}

double HalfSpace::distance(Vec3 p) const
{
    return dot(p - point_, normal_);
}

// --- Torso -------------------------------------------------------------------------

TorsoProfile::TorsoProfile(const std::vector<TorsoKey>& keys) : keys_(keys), midline_(kMidline) {}

TorsoKey TorsoProfile::at(double z) const
{
    const size_t n = keys_.size();
    if (z <= keys_.front().z)
        return keys_.front();
    if (z >= keys_.back().z)
        return keys_.back();
    size_t s = 0;
    while (s + 2 < n && keys_[s + 1].z < z)
        ++s;
    const TorsoKey& k0 = keys_[s == 0 ? 0 : s - 1];
    const TorsoKey& k1 = keys_[s];
    const TorsoKey& k2 = keys_[s + 1];
    const TorsoKey& k3 = keys_[std::min(s + 2, n - 1)];
    double t = (z - k1.z) / (k2.z - k1.z);
    auto f = [&](double TorsoKey::*m) { return catmull(k0.*m, k1.*m, k2.*m, k3.*m, t); };
    return {z, f(&TorsoKey::halfWidth), f(&TorsoKey::back), f(&TorsoKey::widest), f(&TorsoKey::front),
            f(&TorsoKey::fat), f(&TorsoKey::muscle)};
}

namespace {
constexpr double kBackExponent = 3.0; // flat back resting on the table
}

Vec3 TorsoProfile::outlinePoint(double z, double theta, double inset) const
{
    TorsoKey key = at(z);
    double a = key.halfWidth - inset;
    double s = std::sin(theta), c = std::cos(theta);
    bool back = c > 0;
    double n = back ? kBackExponent : 2.0;
    double b = back ? key.widest - key.back - inset : key.front - key.widest - inset;
    double x = midline_ + a * std::copysign(std::pow(std::fabs(s), 2.0 / n), s);
    double y = key.widest - b * std::copysign(std::pow(std::fabs(c), 2.0 / n), c);
    return {x, y, z};
}

Torso::Torso(const TorsoProfile& profile, double fixedInset, double fatLayers, double muscleLayers)
    : profile_(profile), fixed_(fixedInset), fat_(fatLayers), muscle_(muscleLayers)
{
}

Bounds Torso::bounds() const
{
    // The widest outline over the whole scan; the volume clips the rest.
    Bounds b{{kFar, kFar, -kFar}, {-kFar, -kFar, kFar}};
    for (int k = 0; k < Grid::nz; ++k) {
        TorsoKey key = profile_.at(Grid::centre(0, 0, k).z);
        b.lo.x = std::min(b.lo.x, profile_.midline() - key.halfWidth);
        b.hi.x = std::max(b.hi.x, profile_.midline() + key.halfWidth);
        b.lo.y = std::min(b.lo.y, key.back);
        b.hi.y = std::max(b.hi.y, key.front);
    }
    return b;
}

double Torso::sliceDistance(const TorsoKey& key, double x, double y) const
{
    // Whole-volume layers: most voxels are far from the outline, where only the sign
    // matters. Level r = 1 is the outline, and a point at level r lies at least
    // |r - 1| * (smaller semi-axis) from it, so those voxels skip the roots and get
    // +-kDistanceCap.
    double inset = fixed_ + fat_ * key.fat + muscle_ * key.muscle;
    double a = key.halfWidth - inset;
    double u = (x - profile_.midline()) / a;
    bool back = y < key.widest;
    double b = back ? key.widest - key.back - inset : key.front - key.widest - inset;
    double v = (back ? key.widest - y : y - key.widest) / b;
    double margin = kDistanceCap / std::min(a, b);
    double au = std::fabs(u), av = std::fabs(v);
    if (back) {
        double s = au * au * au + av * av * av;
        double in = 1.0 - margin, out = 1.0 + margin;
        if (in > 0 && s < in * in * in)
            return -kDistanceCap;
        if (s > out * out * out)
            return kDistanceCap;
        double r = std::cbrt(s);
        if (r < 1e-9)
            return -kDistanceCap;
        double gx = au * au / (r * r) / a, gy = av * av / (r * r) / b;
        return std::clamp((r - 1.0) / std::sqrt(gx * gx + gy * gy), -kDistanceCap, kDistanceCap);
    }
    double s = u * u + v * v;
    double in = 1.0 - margin, out = 1.0 + margin;
    if (in > 0 && s < in * in)
        return -kDistanceCap;
    if (s > out * out)
        return kDistanceCap;
    double r = std::sqrt(s);
    if (r < 1e-9)
        return -kDistanceCap;
    double gx = u / (r * a), gy = v / (r * b);
    return std::clamp((r - 1.0) / std::sqrt(gx * gx + gy * gy), -kDistanceCap, kDistanceCap);
}

double Torso::distance(Vec3 p) const
{
    return sliceDistance(profile_.at(p.z), p.x, p.y);
}

void Torso::distanceField(const VoxelRegion& region, float* out) const
{
    for (int k = region.k0; k < region.k1; ++k) {
        TorsoKey key = profile_.at(Grid::centre(0, 0, k).z);
        for (int j = region.j0; j < region.j1; ++j)
            for (int i = region.i0; i < region.i1; ++i) {
                Vec3 c = Grid::centre(i, j, k);
                *out++ = float(sliceDistance(key, c.x, c.y));
            }
    }
}

// --- Diaphragm ---------------------------------------------------------------------

double Diaphragm::height(double x, double y)
{
    auto bump = [](double dx, double dy) { return std::exp(-(dx * dx + dy * dy)); };
    double lateral = (x - kMidline) / 165.0;
    return 266.0                                            // central tendon under the heart
           - 45.0 * bump((x - 120.0) / 55.0, (y - 170.0) / 85.0) // right dome over the liver
           - 30.0 * bump((x - 290.0) / 50.0, (y - 165.0) / 75.0) // left dome over stomach and spleen
           + 60.0 * lateral * lateral                        // costophrenic recesses at the sides
           + 50.0 * smoothstep(110.0, 55.0, y);              // ... and deepest at the back
}

Diaphragm::Diaphragm(double offset) : offset_(offset) {}

Bounds Diaphragm::bounds() const
{
    return {{-kFar, -kFar, 230.0 + offset_}, {kFar, kFar, kFar}};
}

namespace {

// Height of the diaphragm at (x, y) and the factor that turns a vertical distance from
// it into a distance along its normal.
void heightAndSlope(double x, double y, double& height, double& normalFactor)
{
    const double h = 0.5;
    double gx = (Diaphragm::height(x + h, y) - Diaphragm::height(x - h, y)) / (2 * h);
    double gy = (Diaphragm::height(x, y + h) - Diaphragm::height(x, y - h)) / (2 * h);
    height = Diaphragm::height(x, y);
    normalFactor = 1.0 / std::sqrt(1.0 + gx * gx + gy * gy);
}

} // namespace

double Diaphragm::distance(Vec3 p) const
{
    double h, f;
    heightAndSlope(p.x, p.y, h, f);
    return (h + offset_ - p.z) * f;
}

void Diaphragm::distanceField(const VoxelRegion& region, float* out) const
{
    const int w = region.width(), n = w * region.height();
    std::vector<double> h(n), f(n);
    for (int j = region.j0; j < region.j1; ++j)
        for (int i = region.i0; i < region.i1; ++i) {
            Vec3 c = Grid::centre(i, j, 0);
            int at = (j - region.j0) * w + (i - region.i0);
            heightAndSlope(c.x, c.y, h[at], f[at]);
        }
    for (int k = region.k0; k < region.k1; ++k) {
        double z = Grid::centre(0, 0, k).z;
        for (int at = 0; at < n; ++at)
            *out++ = float((h[at] + offset_ - z) * f[at]);
    }
}

} // namespace phantom
