// The solid primitives the anatomy is built from, each a signed distance in millimetres
// (negative inside). Distances are exact or first-order accurate near the surface,
// which is all the partial-volume edges need; far away only the sign matters.
#pragma once

#include "tools/phantom/Grid.h"

#include <vector>

namespace phantom {

// Distances beyond this (mm) may be reported as exactly this, with the right sign. CSG
// (min and max) and the partial-volume edges never need more: it exceeds the edge width
// plus the deepest inner layer and the clearance of the branching trees.
constexpr double kDistanceCap = 16.0;

class Primitive {
public:
    virtual ~Primitive() = default;
    virtual Bounds bounds() const = 0;
    virtual double distance(Vec3 p) const = 0;
    // Distances at the voxel centres of `region` (x fastest). Primitives made of many
    // small parts override this to touch only the voxels near each part.
    virtual void distanceField(const VoxelRegion& region, float* out) const;
};

// Superquadric: an ellipsoid when both exponents are 2; a larger `endExponent` flattens
// the ends along the local z axis (vertebral bodies, the table), a larger
// `sideExponent` squares the cross-section.
class Ellipsoid : public Primitive {
public:
    Ellipsoid(Vec3 centre, Vec3 semiAxes, Mat3 rot = Mat3{}, double sideExponent = 2.0,
              double endExponent = 2.0);
    Bounds bounds() const override;
    double distance(Vec3 p) const override;

private:
    double level(Vec3 local) const; // 1 on the surface
    Vec3 centre_, semi_;
    Mat3 rot_;
    double side_, end_;
};

// Smooth tubes through control points, each with its own radius (Catmull-Rom curves
// sampled into short cones). One Tube may hold many separate branches: a vessel tree
// is one primitive. Vessels, bowel, ribs, airways.
class Tube : public Primitive {
public:
    struct Knot {
        Vec3 at;
        double radius;
    };
    Tube() = default;
    explicit Tube(const std::vector<Knot>& knots, double step = 2.0);
    void append(const Tube& other); // more branches, not joined to the ones already here
    Bounds bounds() const override;
    double distance(Vec3 p) const override;
    void distanceField(const VoxelRegion& region, float* out) const override;
    // The same branches with every radius reduced by `amount` (a lumen inside its wall).
    Tube inset(double amount) const;
    bool empty() const { return segments_.empty(); }

private:
    struct Segment {
        Knot a, b;
    };
    std::vector<Segment> segments_;
};

// Everything on the negative side of a plane; `outward` points out of the solid.
class HalfSpace : public Primitive {
public:
    HalfSpace(Vec3 point, Vec3 outward);
    Bounds bounds() const override;
    double distance(Vec3 p) const override;

private:
    Vec3 point_, normal_;
};

// Cross-section of the trunk at every height, interpolated between key slices: a
// D-shaped superellipse, flat along the back where the body lies on the table and
// round at the front. Layers are the same outline moved inwards.
struct TorsoKey {
    double z;       // mm from the top of the volume
    double halfWidth;
    double back;    // y of the skin of the back
    double widest;  // y at which the body is widest
    double front;   // y of the skin of the front
    double fat;     // subcutaneous fat thickness
    double muscle;  // thickness of the muscular wall inside the fat
};

class TorsoProfile {
public:
    explicit TorsoProfile(const std::vector<TorsoKey>& keys);
    TorsoKey at(double z) const; // Catmull-Rom between the keys, clamped at the ends
    // Point on the outline at height z moved `inset` mm inwards, at angle theta
    // (0 = middle of the back, pi/2 = patient's left side, pi = front, -pi/2 = right).
    Vec3 outlinePoint(double z, double theta, double inset) const;
    double midline() const { return midline_; }

private:
    std::vector<TorsoKey> keys_;
    double midline_;
};

// The trunk moved inwards by a fixed depth plus multiples of the local fat and muscle
// thickness: (0, 0, 0) is the skin, (2.5, 1, 0) the top of the muscle, (0, 1, 1) the
// inside of the wall.
class Torso : public Primitive {
public:
    Torso(const TorsoProfile& profile, double fixedInset, double fatLayers, double muscleLayers);
    Bounds bounds() const override;
    double distance(Vec3 p) const override;
    void distanceField(const VoxelRegion& region, float* out) const override;

private:
    double sliceDistance(const TorsoKey& key, double x, double y) const;
    TorsoProfile profile_;
    double fixed_, fat_, muscle_;
};

// The abdominal side of the diaphragm: everything below the height field z = H(x, y)
// + offset. Two domes, the right one higher over the liver, deep recesses at the sides
// and the back where the lungs reach lowest.
class Diaphragm : public Primitive {
public:
    explicit Diaphragm(double offset);
    static double height(double x, double y);
    Bounds bounds() const override;
    double distance(Vec3 p) const override;
    // The height field does not depend on z: one evaluation per column of voxels.
    void distanceField(const VoxelRegion& region, float* out) const override;

private:
    double offset_;
};

} // namespace phantom
