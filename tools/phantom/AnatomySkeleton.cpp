// The skeleton, painted last: the vertebral column (bodies, discs, arches and
// processes round the spinal canal), twelve pairs of ribs with their cartilages, the
// sternum, clavicles, scapulae and humeral heads, the pelvis, sacrum and femoral heads.
// Every bone is a cortical shell round cancellous bone.
#include "tools/phantom/Anatomy.h"
#include "tools/phantom/Landmarks.h"
#include "tools/phantom/Tissue.h"

#include <algorithm>
#include <cmath>

namespace phantom {

namespace {

constexpr double kCortex = 2.5; // mm of cortical bone; the voxels are too coarse for less

Structure bone(const char* name, const Shape& shape)
{
    Structure s{name, Organ::Bone, hu::kCorticalBone, shape};
    s.coreInset = kCortex;
    s.coreHu = hu::kCancellousBone;
    return s;
}

// Rotation that tilts a vertebra's axis along the spine's curve at height z.
Mat3 spineTilt(double z)
{
    double slope = (spineY(z + 5.0) - spineY(z - 5.0)) / 10.0;
    return rotation(-std::atan(slope) * 180.0 / M_PI, 0, 0);
}

// Vertebrae from the last cervical to the fifth lumbar: sizes grow down the column.
struct Segment {
    int count;
    double height[2], disc[2], semiX[2], semiY[2]; // first and last vertebra
    double canal, arch, spinous, spinousDrop, transverse;
};

const Segment kSegments[] = {
    {1, {14, 14}, {4, 4}, {13, 13}, {10, 10}, 9, 3.5, 20, 6, 14},         // C7
    {12, {17, 24}, {4, 6}, {15, 21}, {12, 16}, 8, 4.0, 30, 22, 24},       // T1..T12
    {5, {25, 28}, {9, 10}, {22, 25}, {16, 18}, 10, 5.0, 30, 6, 32},       // L1..L5
};

struct Vertebra {
    double z, height, semiX, semiY, canal, arch, spinous, spinousDrop, transverse;
};

std::vector<Vertebra> vertebrae(std::vector<double>& discCentres, std::vector<double>& discHeights)
{
    std::vector<Vertebra> list;
    double top = -16.0; // top of C7
    for (const Segment& s : kSegments)
        for (int n = 0; n < s.count; ++n) {
            double t = s.count > 1 ? double(n) / (s.count - 1) : 0.0;
            auto mix = [t](const double (&v)[2]) { return v[0] + (v[1] - v[0]) * t; };
            double h = mix(s.height);
            list.push_back({top + h / 2, h, mix(s.semiX), mix(s.semiY), s.canal, s.arch, s.spinous, s.spinousDrop,
                            s.transverse});
            double disc = mix(s.disc);
            discCentres.push_back(top + h + disc / 2);
            discHeights.push_back(disc);
            top += h + disc;
        }
    return list;
}

void addSpine(Anatomy& body)
{
    std::vector<double> discZ, discH;
    std::vector<Vertebra> column = vertebrae(discZ, discH);

    // The canal and its fluid first; bones close round it.
    std::vector<Tube::Knot> canal;
    for (const Vertebra& v : column)
        canal.push_back({{kMidline, spineY(v.z) - v.semiY - v.canal - 1.5, v.z}, v.canal - 0.5});
    body.push_back({"spinal canal", Organ::SpinalCanal, hu::kFluid, tube(canal)});

    for (size_t n = 0; n < column.size(); ++n) {
        const Vertebra& v = column[n];
        body.push_back({"intervertebral disc", Organ::Disc, hu::kDisc,
                        ellipsoid({kMidline, spineY(discZ[n]), discZ[n]}, {v.semiX - 1, v.semiY - 1, discH[n] / 2 + 1.5},
                                  spineTilt(discZ[n]), 2.0, 4.0)});
    }
    for (const Vertebra& v : column) {
        double y = spineY(v.z);
        Shape vertebra = ellipsoid({kMidline, y, v.z}, {v.semiX, v.semiY, v.height / 2}, spineTilt(v.z), 2.0, 6.0);
        // Pedicles, laminae and articular processes: a half ring behind the canal from
        // one side of the body to the other, stacked down to the next disc.
        double yCanal = y - v.semiY - v.canal - 1.5;
        double ring = v.canal + v.arch - 1.0;
        for (double dz : {-0.38 * v.height, -0.13 * v.height, 0.13 * v.height, 0.38 * v.height}) {
            double z = v.z + dz;
            std::vector<Tube::Knot> arch{{{kMidline - ring, y - v.semiY + 3, z}, v.arch}};
            for (int a = -3; a <= 3; ++a) {
                double phi = a * (110.0 / 3.0) * M_PI / 180.0;
                arch.push_back({{kMidline + ring * std::sin(phi), yCanal - ring * std::cos(phi), z}, v.arch});
            }
            arch.push_back({{kMidline + ring, y - v.semiY + 3, z}, v.arch});
            vertebra.unite(tube(arch));
        }
        // Spinous process backwards (and downwards in the chest), a plate as tall as the
        // arch; transverse processes sideways and a little back.
        for (double dz : {-0.15 * v.height, 0.0, 0.15 * v.height}) {
            Vec3 root{kMidline, yCanal - ring, v.z + dz};
            Vec3 tip = root + normalise(Vec3{0, -v.spinous, v.spinousDrop}) * v.spinous;
            vertebra.unite(tube({{root, v.arch + 1}, {tip, v.arch - 0.5}}));
        }
        for (double side : {-1.0, 1.0})
            vertebra.unite(tube({{{kMidline + side * ring, yCanal + 2, v.z}, v.arch},
                                 {{kMidline + side * (ring + v.transverse), yCanal - 6, v.z - 2}, v.arch - 0.5}}));
        body.push_back(bone("vertebra", vertebra));
    }
}

// Ribs 1 to 12: where each runs inside the chest wall, how far it drops from its head
// to its front end, where the bone ends and its cartilage ends (angles round the
// trunk, 0 = spine, pi = sternum), how far the cartilage climbs to the costal margin.
struct Rib {
    double extraInset, drop, boneEnd, cartilageEnd, rise, radius;
};

const Rib kRibs[12] = {
    {62, 38, 0.80, 0.955, 0, 5.0},  {38, 60, 0.80, 0.955, 0, 5.5},  {26, 66, 0.79, 0.955, 0, 5.5},
    {18, 68, 0.78, 0.955, 0, 5.5},  {14, 68, 0.77, 0.955, 0, 5.5},  {12, 66, 0.76, 0.95, 0, 5.5},
    {12, 62, 0.74, 0.94, 8, 5.5},   {12, 72, 0.70, 0.88, 38, 5.5},  {13, 76, 0.66, 0.82, 48, 5.0},
    {14, 74, 0.62, 0.74, 44, 5.0},  {16, 50, 0.52, 0.52, 0, 4.5},   {22, 30, 0.40, 0.40, 0, 4.0},
};

void addRibs(Anatomy& body)
{
    std::vector<double> discZ, discH;
    std::vector<Vertebra> column = vertebrae(discZ, discH);
    const TorsoProfile& trunk = torsoProfile();
    const double start = 0.30;
    for (int r = 0; r < 12; ++r) {
        const Rib& rib = kRibs[r];
        const Vertebra& v = column[r + 1]; // rib r+1 articulates with T(r+1)
        double y = spineY(v.z);
        auto zAt = [&](double theta) {
            double t = std::max(0.0, (theta - start) / (M_PI - start));
            return v.z + 3.0 + rib.drop * std::pow(t, 1.2);
        };
        auto inset = [&](double z) {
            TorsoKey k = trunk.at(z);
            return k.fat + 0.5 * k.muscle + rib.extraInset;
        };
        for (double side : {-1.0, 1.0}) {
            std::vector<Tube::Knot> shaft{{{kMidline + side * 20, y - 4, v.z}, rib.radius},
                                          {{kMidline + side * 34, y - 20, v.z + 1}, rib.radius}};
            const double end = rib.boneEnd * M_PI;
            const int steps = 10;
            for (int s = 0; s <= steps; ++s) {
                double theta = start + (end - start) * s / steps;
                double z = zAt(theta);
                shaft.push_back({trunk.outlinePoint(z, side * theta, inset(z)), rib.radius});
            }
            body.push_back(bone("rib", tube(shaft)));
            if (rib.cartilageEnd <= rib.boneEnd)
                continue;
            // Costal cartilage on to the sternum, or climbing to the costal margin.
            std::vector<Tube::Knot> cartilage;
            const double last = rib.cartilageEnd * M_PI;
            for (int s = 0; s <= 6; ++s) {
                double theta = end + (last - end) * s / 6;
                double z = zAt(end) - rib.rise * s / 6.0;
                cartilage.push_back({trunk.outlinePoint(z, side * theta, inset(z)), rib.radius - 0.5});
            }
            body.push_back({"costal cartilage", Organ::Cartilage, hu::kCartilage, tube(cartilage)});
        }
    }
}

void addSternumAndShoulders(Anatomy& body)
{
    // Sternum: manubrium, body and xiphoid as a flat bar just under the front wall.
    const TorsoProfile& trunk = torsoProfile();
    Shape sternum;
    for (double z = 40; z <= 262; z += 6) {
        TorsoKey k = trunk.at(z);
        double width = z < 96 ? 27 - (z - 40) * 0.16 : (z < 236 ? 17 : 10 - (z - 236) * 0.2);
        double thick = z < 96 ? 7 : (z < 236 ? 6 : 4);
        sternum.unite(ellipsoid({kMidline, k.front - k.fat - 8, z}, {width, thick, 6}));
    }
    body.push_back(bone("sternum", sternum));

    for (double side : {-1.0, 1.0}) {
        double x = kMidline;
        body.push_back(bone("clavicle", tube({{{x + side * 22, 254, 38}, 7}, {{x + side * 60, 260, 31}, 7},
                                              {{x + side * 100, 230, 26}, 6.5}, {{x + side * 130, 186, 20}, 6},
                                              {{x + side * 146, 148, 14}, 6}})));
        // Scapula: a thin triangular plate on the back of the chest with its spine,
        // acromion and the neck that carries the glenoid.
        Shape scapula = ellipsoid({x + side * 100, 47, 100}, {46, 3.5, 84}, rotation(0, 0, side * 15));
        scapula.subtract(halfSpace({x + side * 126, 47, 150}, {side * 0.8, 0, 0.6}));
        scapula.unite(tube({{{x + side * 62, 44, 52}, 4}, {{x + side * 110, 41, 44}, 5},
                            {{x + side * 140, 48, 32}, 6}, {{x + side * 152, 74, 20}, 7},
                            {{x + side * 150, 104, 14}, 6}}));
        scapula.unite(tube({{{x + side * 126, 52, 54}, 9}, {{x + side * 128, 82, 44}, 11},
                            {{x + side * 126, 98, 38}, 12}}));
        body.push_back(bone("scapula", scapula));
        // Humerus: the head in the shoulder joint, the shaft leaving the scan upwards
        // (arms raised above the head, as for a scan of the trunk).
        Shape humerus = ellipsoid({x + side * 146, 106, 34}, {21, 21, 21});
        humerus.unite(tube({{{x + side * 146, 106, 34}, 12}, {{x + side * 138, 112, -40}, 11},
                            {{x + side * 130, 115, -120}, 10}}));
        body.push_back(bone("humerus", humerus));
    }
}

void addPelvis(Anatomy& body)
{
    // Sacrum and coccyx: wedges that narrow down the sacral curve.
    struct Piece {
        double z, semiX, semiY, semiZ;
    };
    const Piece sacrum[] = {{521, 48, 17, 12}, {544, 40, 15, 11}, {566, 32, 13, 10}, {587, 24, 11, 9},
                            {606, 16, 9, 8},   {623, 9, 7, 8},    {638, 6, 5, 7}};
    Shape s;
    for (const Piece& p : sacrum)
        s.unite(ellipsoid({kMidline, spineY(p.z), p.z}, {p.semiX, p.semiY, p.semiZ}, spineTilt(p.z), 2.0, 3.0));
    body.push_back(bone("sacrum", s));

    for (double side : {-1.0, 1.0}) {
        double x = kMidline;
        // Iliac wing: a curved plate flaring outwards from the sacroiliac joint.
        Shape hip = ellipsoid({x + side * 95, 112, 505}, {8, 58, 62}, rotation(0, -side * 15, -side * 35));
        // Pelvic brim down to the acetabulum, the pubic rami to the symphysis, the
        // ischium leaving the scan below.
        hip.unite(tube({{{x + side * 55, 104, 522}, 9}, {{x + side * 70, 124, 560}, 9},
                        {{x + side * 82, 146, 592}, 10}}));
        hip.unite(ellipsoid({x + side * 90, 148, 602}, {30, 32, 30}));
        hip.unite(tube({{{x + side * 80, 172, 614}, 9}, {{x + side * 42, 204, 630}, 9},
                        {{x + side * 6, 216, 638}, 8}}));
        hip.unite(tube({{{x + side * 86, 128, 616}, 12}, {{x + side * 72, 106, 662}, 12}}));
        body.push_back(bone("hip bone", hip));
        // Hip joint: a cartilage gap, then the femoral head, neck and trochanter.
        Vec3 head{x + side * 96, 150, 612};
        body.push_back({"hip joint", Organ::Cartilage, hu::kCartilage, ellipsoid(head, {26, 26, 26})});
        Shape femur = ellipsoid(head, {23, 23, 23});
        femur.unite(tube({{head, 15}, {{x + side * 140, 142, 636}, 15}, {{x + side * 146, 146, 700}, 16}}));
        femur.unite(ellipsoid({x + side * 146, 132, 630}, {18, 22, 26}));
        body.push_back(bone("femur", femur));
    }
}

} // namespace

void addSkeleton(Anatomy& body)
{
    addSpine(body);
    addRibs(body);
    addSternumAndShoulders(body);
    addPelvis(body);
}

} // namespace phantom
