#include "tools/phantom/Shape.h"

#include "tools/phantom/Landmarks.h"

#include <algorithm>

namespace phantom {

Shape::Shape(std::shared_ptr<const Primitive> first)
{
    terms_.push_back({Op::First, std::move(first)});
}

Shape& Shape::unite(std::shared_ptr<const Primitive> p)
{
    terms_.push_back({terms_.empty() ? Op::First : Op::Unite, std::move(p)});
    return *this;
}

Shape& Shape::intersect(std::shared_ptr<const Primitive> p)
{
    terms_.push_back({Op::Intersect, std::move(p)});
    return *this;
}

Shape& Shape::subtract(std::shared_ptr<const Primitive> p)
{
    terms_.push_back({Op::Subtract, std::move(p)});
    return *this;
}

namespace {

// A whole shape used as one operand of another.
class Compound : public Primitive {
public:
    explicit Compound(const Shape& s) : shape_(s) {}
    Bounds bounds() const override { return shape_.bounds(); }
    double distance(Vec3 p) const override { return shape_.distance(p); }
    void distanceField(const VoxelRegion& region, float* out) const override
    {
        std::vector<float> scratch(region.count());
        shape_.distanceField(region, out, scratch.data());
    }

private:
    Shape shape_;
};

} // namespace

std::shared_ptr<const Primitive> Shape::asPrimitive(const Shape& s)
{
    if (s.terms_.size() == 1)
        return s.terms_.front().primitive;
    return std::make_shared<Compound>(s);
}

Shape& Shape::unite(const Shape& s)
{
    return unite(asPrimitive(s));
}

Shape& Shape::intersect(const Shape& s)
{
    return intersect(asPrimitive(s));
}

Shape& Shape::subtract(const Shape& s)
{
    return subtract(asPrimitive(s));
}

Bounds Shape::bounds() const
{
    Bounds b{{0, 0, 0}, {0, 0, 0}};
    for (const Term& t : terms_) {
        Bounds p = t.primitive->bounds();
        switch (t.op) {
        case Op::First:
            b = p;
            break;
        case Op::Unite:
            b.lo = {std::min(b.lo.x, p.lo.x), std::min(b.lo.y, p.lo.y), std::min(b.lo.z, p.lo.z)};
            b.hi = {std::max(b.hi.x, p.hi.x), std::max(b.hi.y, p.hi.y), std::max(b.hi.z, p.hi.z)};
            break;
        case Op::Intersect:
            b.lo = {std::max(b.lo.x, p.lo.x), std::max(b.lo.y, p.lo.y), std::max(b.lo.z, p.lo.z)};
            b.hi = {std::min(b.hi.x, p.hi.x), std::min(b.hi.y, p.hi.y), std::min(b.hi.z, p.hi.z)};
            break;
        case Op::Subtract:
            break;
        }
    }
    return b;
}

double Shape::distance(Vec3 p) const
{
    double d = 0;
    for (const Term& t : terms_) {
        double e = t.primitive->distance(p);
        switch (t.op) {
        case Op::First: d = e; break;
        case Op::Unite: d = std::min(d, e); break;
        case Op::Intersect: d = std::max(d, e); break;
        case Op::Subtract: d = std::max(d, -e); break;
        }
    }
    return d;
}

void Shape::distanceField(const VoxelRegion& region, float* out, float* scratch) const
{
    const size_t n = region.count();
    for (const Term& t : terms_) {
        float* target = t.op == Op::First ? out : scratch;
        t.primitive->distanceField(region, target);
        switch (t.op) {
        case Op::First: break;
        case Op::Unite:
            for (size_t v = 0; v < n; ++v) out[v] = std::min(out[v], scratch[v]);
            break;
        case Op::Intersect:
            for (size_t v = 0; v < n; ++v) out[v] = std::max(out[v], scratch[v]);
            break;
        case Op::Subtract:
            for (size_t v = 0; v < n; ++v) out[v] = std::max(out[v], -scratch[v]);
            break;
        }
    }
}

Shape ellipsoid(Vec3 centre, Vec3 semi, Mat3 rot, double sideExp, double endExp)
{
    return Shape(std::make_shared<Ellipsoid>(centre, semi, rot, sideExp, endExp));
}

Shape tube(const std::vector<Tube::Knot>& knots)
{
    return Shape(std::make_shared<Tube>(knots));
}

Shape tube(const Tube& t)
{
    return Shape(std::make_shared<Tube>(t));
}

Shape halfSpace(Vec3 point, Vec3 outward)
{
    return Shape(std::make_shared<HalfSpace>(point, outward));
}

Shape torso(double fixedInset, double fatLayers, double muscleLayers)
{
    return Shape(std::make_shared<Torso>(torsoProfile(), fixedInset, fatLayers, muscleLayers));
}

Shape abdomenBelowDiaphragm(double offset)
{
    return Shape(std::make_shared<Diaphragm>(offset));
}

} // namespace phantom
