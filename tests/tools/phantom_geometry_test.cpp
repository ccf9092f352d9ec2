// The generator's building blocks: distances that make correct partial-volume edges,
// solids combined in the intended order, the painter, the noise and the header text.
#include "tools/phantom/MetaImageWriter.h"
#include "tools/phantom/Phantom.h"
#include "tools/phantom/Tissue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace phantom;

TEST(PhantomGeometry, EllipsoidDistanceIsMetricNearItsSurfaceEvenWhenTurned)
{
    // Semi-axes 40, 20, 10 turned 30 degrees about z: along each local axis the
    // distance 2 mm outside and 3 mm inside the surface must be right to 0.1 mm, or
    // edges and inner layers (cortex, walls) would come out too thick or too thin.
    Mat3 rot = rotation(0, 0, 30);
    Ellipsoid e({100, 100, 100}, {40, 20, 10}, rot);
    const double semi[3] = {40, 20, 10};
    for (int axis = 0; axis < 3; ++axis)
        for (double offset : {2.0, -3.0}) {
            Vec3 local{0, 0, 0};
            (axis == 0 ? local.x : axis == 1 ? local.y : local.z) = semi[axis] + offset;
            Vec3 p = Vec3{100, 100, 100} + rot.toWorld(local);
            EXPECT_NEAR(e.distance(p), offset, 0.1) << "axis " << axis;
        }
}

TEST(PhantomGeometry, TubeFollowsItsTaperAndSplatsTheSameDistances)
{
    Tube t({{{20, 50, 50}, 8}, {{120, 50, 50}, 4}});
    // Half-way the radius is 6: 10 mm off the axis is 4 mm outside.
    EXPECT_NEAR(t.distance({70, 60, 50}), 4.0, 0.05);
    EXPECT_NEAR(t.distance({70, 50, 50}), -6.0, 0.05);
    // Beyond the end the tube is capped round.
    EXPECT_NEAR(t.distance({130, 50, 50}), 6.0, 0.05);

    // The per-segment splat gives the same numbers near the tube and "far" elsewhere.
    VoxelRegion r = regionOf({{0, 20, 20}, {160, 80, 80}}, wholeGrid());
    std::vector<float> field(r.count());
    t.distanceField(r, field.data());
    for (int k = r.k0; k < r.k1; k += 3)
        for (int j = r.j0; j < r.j1; j += 3)
            for (int i = r.i0; i < r.i1; i += 5) {
                double exact = t.distance(Grid::centre(i, j, k));
                float splat = field[r.offset(i, j, k)];
                if (exact < 2.5)
                    EXPECT_NEAR(splat, exact, 1e-3);
                else
                    EXPECT_GT(splat, 2.5f);
            }
}

TEST(PhantomGeometry, WholeShapesAsOperandsKeepTheirOwnCuts)
{
    // A united with (B minus C): C cuts only B. Appending C's cut to the union instead
    // would also hollow out A.
    Shape a = ellipsoid({100, 100, 100}, {20, 20, 20});
    Shape b = ellipsoid({140, 100, 100}, {20, 20, 20});
    Shape c = ellipsoid({120, 100, 100}, {12, 12, 12});
    Shape bMinusC = b;
    bMinusC.subtract(c);
    Shape s = a;
    s.unite(bMinusC);
    EXPECT_LT(s.distance({112, 100, 100}), 0); // in A and in C: still inside
    EXPECT_GT(s.distance({128, 100, 100}), 0); // in B and in C: cut away
    EXPECT_LT(s.distance({150, 100, 100}), 0); // in B only
    Shape i = a;
    i.intersect(halfSpace({100, 100, 100}, {0, 1, 0}));
    EXPECT_LT(i.distance({100, 90, 100}), 0);
    EXPECT_GT(i.distance({100, 110, 100}), 0);
    // Bounds of an intersection shrink to the smaller operand.
    Bounds bb = s.bounds();
    EXPECT_DOUBLE_EQ(bb.lo.x, 80);
    EXPECT_DOUBLE_EQ(bb.hi.x, 160);
}

TEST(PhantomGeometry, RegionHoldsExactlyTheVoxelCentresInsideTheBounds)
{
    // Centres lie at (i + 0.5) * spacing: x 1.5625, y and z 2.5 mm.
    VoxelRegion r = regionOf({{1.0, 3.75, 0.0}, {4.0, 6.25, 1.25}}, wholeGrid());
    // x: centre 0.78 is outside, 2.34 and 3.91 inside, 5.47 outside; y: 3.75 and 6.25
    // exactly on the bounds count.
    EXPECT_EQ(std::vector<int>({r.i0, r.i1, r.j0, r.j1, r.k0, r.k1}), std::vector<int>({1, 3, 1, 3, 0, 1}));
    VoxelRegion clipped = regionOf({{-50, -50, 600}, {5000, 5000, 5000}}, wholeGrid());
    EXPECT_TRUE(clipped.i0 == 0 && clipped.i1 == Grid::nx && clipped.k0 == 240 && clipped.k1 == Grid::nz);
}

TEST(PhantomGeometry, PainterBlendsEdgesAndKeepsInteriorsExact)
{
    // One slab of 100 HU in air, its face at x = 200 mm (between two voxel centres).
    Anatomy body{{"slab", Organ::Muscle, 100.0, ellipsoid({100, 160, 320}, {100, 1000, 1000}, Mat3{}, 12, 12)}};
    PhantomVolume v = paint(body, true);
    auto clean = [&](int i) {
        size_t n = Grid::index(i, 64, 128);
        return v.hu[n] - voxelNoise(n); // the painted value, to within rounding
    };
    EXPECT_NEAR(clean(100), 100.0, 0.5);  // deep inside
    EXPECT_NEAR(clean(140), hu::kAir, 0.5); // well outside
    // Across the face (centres 0.8 mm either side of it): partial volumes that fall
    // outwards and mirror each other about the mid value.
    double in = clean(127), out = clean(128);
    EXPECT_TRUE(in < 90.0 && out < in && out > hu::kAir + 10) << in << " " << out;
    EXPECT_NEAR(in + out, hu::kAir + 100.0, 1.0);
    EXPECT_EQ(v.organs[Grid::index(100, 64, 128)], std::uint8_t(Organ::Muscle));
    EXPECT_EQ(v.organs[Grid::index(140, 64, 128)], std::uint8_t(Organ::Outside));
    // The reconstruction circle: its corners are the scanner's minimum, not air.
    EXPECT_EQ(v.hu[Grid::index(0, 0, 0)], hu::kMinimum);

    // Painting in parallel slabs gives the same bytes.
    PhantomVolume threaded = paint(body, true, 3);
    EXPECT_TRUE(threaded.hu == v.hu && threaded.organs == v.organs);
}

TEST(PhantomGeometry, InnerMaterialSitsItsInsetBelowTheSurface)
{
    // A bone: 1300 HU cortex, 290 HU marrow from 2.5 mm in.
    Structure bone{"bone", Organ::Bone, hu::kCorticalBone, ellipsoid({200, 160, 320}, {60, 60, 60})};
    bone.coreInset = 2.5;
    bone.coreHu = hu::kCancellousBone;
    PhantomVolume v = paint({bone}, false);
    auto at = [&](int i) {
        size_t n = Grid::index(i, 63, 127); // centre y 158.75, z 318.75
        return v.hu[n] - voxelNoise(n);
    };
    EXPECT_NEAR(at(128), hu::kCancellousBone, 0.5);
    // Scanning outwards from the centre: marrow, a cortex peak, then air.
    double peak = -2000;
    for (int i = 150; i < 175; ++i)
        peak = std::max(peak, at(i));
    EXPECT_GT(peak, 1000);
    EXPECT_NEAR(at(175), hu::kAir, 0.5);
}

TEST(PhantomGeometry, NoiseIsBoundedZeroMeanAndRepeatable)
{
    double sum = 0, squares = 0, extreme = 0;
    const int n = 1 << 20;
    for (int i = 0; i < n; ++i) {
        double e = voxelNoise(size_t(i) * 7919);
        sum += e;
        squares += e * e;
        extreme = std::max(extreme, std::fabs(e));
    }
    EXPECT_NEAR(sum / n, 0.0, 0.05);
    EXPECT_NEAR(std::sqrt(squares / n), hu::kNoiseSigma, 0.1);
    EXPECT_LE(extreme, hu::kNoiseBound);
    EXPECT_GT(extreme, hu::kNoiseBound * 0.8);
    EXPECT_EQ(voxelNoise(123456), voxelNoise(123456));
}

TEST(PhantomGeometry, TrunkLayersNestFromSkinToCavity)
{
    // Each inner layer lies inside the one before it everywhere, or a layer would show
    // through the one outside it.
    Shape layers[4] = {torso(0, 0, 0), torso(2.5, 0, 0), torso(0, 1, 0), torso(0, 1, 1)};
    for (int k = 0; k < Grid::nz; k += 16)
        for (int j = 0; j < Grid::ny; j += 4)
            for (int i = 0; i < Grid::nx; i += 4) {
                Vec3 p = Grid::centre(i, j, k);
                for (int l = 1; l < 4; ++l) {
                    if (layers[l].distance(p) < 0) {
                        ASSERT_LT(layers[l - 1].distance(p), 0) << "layer " << l << " at " << i << "," << j << "," << k;
                    }
                }
            }
}

TEST(PhantomGeometry, HeaderListsTheCountBeforeTheListsAndTheDataFileLast)
{
    std::vector<std::int16_t> none;
    MetaImage image{{256, 128, 256}, {1.5625, 2.5, 2.5}, &none};
    EXPECT_EQ(metaImageHeader(image, "taa.raw"),
              "ObjectType = Image\n"
              "NDims = 3\n"
              "BinaryData = True\n"
              "BinaryDataByteOrderMSB = False\n"
              "CompressedData = False\n"
              "DimSize = 256 128 256\n"
              "ElementSpacing = 1.5625 2.5 2.5\n"
              "ElementType = MET_SHORT\n"
              "ElementDataFile = taa.raw\n");
    // A voxel count that does not match the size is refused, not written.
    EXPECT_THROW(writeMetaImage(image, "/tmp", "never"), std::runtime_error);
}
