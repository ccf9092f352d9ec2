// Constructive solid geometry over primitives: a first solid, then further solids
// united with, intersected with or cut from it, in order. Copies share primitives.
#pragma once

#include "tools/phantom/Primitive.h"

#include <memory>
#include <vector>

namespace phantom {

class Shape {
public:
    Shape() = default;
    explicit Shape(std::shared_ptr<const Primitive> first);

    Shape& unite(std::shared_ptr<const Primitive> p);
    Shape& intersect(std::shared_ptr<const Primitive> p);
    Shape& subtract(std::shared_ptr<const Primitive> p);
    // Whole shapes as operands: `s` is evaluated on its own first.
    Shape& unite(const Shape& s);
    Shape& intersect(const Shape& s);
    Shape& subtract(const Shape& s);

    bool empty() const { return terms_.empty(); }
    Bounds bounds() const;
    double distance(Vec3 p) const;
    // Distances at the voxel centres of `region`; `scratch` must hold region.count().
    void distanceField(const VoxelRegion& region, float* out, float* scratch) const;

private:
    static std::shared_ptr<const Primitive> asPrimitive(const Shape& s);
    enum class Op { First, Unite, Intersect, Subtract };
    struct Term {
        Op op;
        std::shared_ptr<const Primitive> primitive;
    };
    std::vector<Term> terms_;
};

// Shorthands for the anatomy tables.
Shape ellipsoid(Vec3 centre, Vec3 semi, Mat3 rot = Mat3{}, double sideExp = 2.0, double endExp = 2.0);
Shape tube(const std::vector<Tube::Knot>& knots);
Shape tube(const Tube& t);
Shape halfSpace(Vec3 point, Vec3 outward);
Shape torso(double fixedInset, double fatLayers, double muscleLayers);
Shape abdomenBelowDiaphragm(double offset); // the side of the diaphragm away from the lungs

} // namespace phantom
