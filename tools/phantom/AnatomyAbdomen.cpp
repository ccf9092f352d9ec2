// The abdomen and pelvis below the diaphragm: solid organs from a table, the gut as
// tubes (stomach, duodenum, small bowel, colon, rectum) with gas floating on their
// contents, the kidneys with contrast, the great vessels and the bladder.
#include "tools/phantom/Anatomy.h"
#include "tools/phantom/Landmarks.h"
#include "tools/phantom/Procedural.h"
#include "tools/phantom/Tissue.h"

namespace phantom {

namespace {

// Solid organs: superquadrics moulded into the abdominal cavity (their tops follow the
// diaphragm). Rotations in degrees about x, y, z.
struct SolidOrgan {
    const char* name;
    Organ organ;
    double hu;
    Vec3 centre, semi, turn;
    double coreInset, coreHu; // wall and contents, for hollow organs
};

const SolidOrgan kSolidOrgans[] = {
    {"liver", Organ::Liver, hu::kLiver, {118, 165, 318}, {98, 112, 92}, {0, 8, 0}, 0, 0},
    {"liver, left lobe", Organ::Liver, hu::kLiver, {212, 216, 292}, {62, 46, 32}, {0, 0, -10}, 0, 0},
    {"gallbladder", Organ::Gallbladder, hu::kBowelWall, {148, 226, 366}, {16, 15, 34}, {20, 0, 0}, 2, hu::kFluid},
    {"spleen", Organ::Spleen, hu::kSpleen, {334, 120, 262}, {26, 52, 56}, {0, -10, 25}, 0, 0},
    {"bladder", Organ::Bladder, hu::kBowelWall, {kMidline, 192, 604}, {50, 36, 38}, {0, 0, 0}, 3, hu::kFluid},
};

// Kidneys: cortex around medulla, the renal sinus (fat round the pelvis) on the
// medial side. The upper poles lean towards the midline.
struct Kidney {
    const char* name;
    Organ organ;
    Vec3 centre, semi, turn;
    Vec3 hilum; // direction of the renal sinus from the centre
};

const Kidney kKidneys[] = {
    {"left kidney", Organ::KidneyLeft, {307, 108, 334}, {33, 28, 62}, {0, 12, -30}, {-1, 0.5, 0}},
    {"right kidney", Organ::KidneyRight, {90, 163, 372}, {40, 22, 58}, {0, -12, 15}, {1, 0.3, 0}},
};

// The gut as control points with radii, mouth end first.
const std::vector<Tube::Knot> kStomach = {
    {{270, 172, 302}, 30}, // fundus, under the left dome
    {{256, 214, 297}, 33},
    {{232, 232, 296}, 34}, // body, across the upper abdomen just under the wall
    {{202, 234, 300}, 32},
    {{180, 229, 320}, 26}, // antrum
    {{166, 218, 346}, 18},
    {{158, 207, 368}, 12},
    {{154, 200, 380}, 9},  // pylorus
};

const std::vector<Tube::Knot> kDuodenum = {
    {{154, 200, 380}, 11}, {{138, 186, 396}, 12}, {{130, 176, 430}, 12}, {{140, 168, 462}, 12},
    {{180, 164, 474}, 11}, {{226, 166, 466}, 11}, {{246, 172, 440}, 11}, {{252, 182, 420}, 11},
};

const std::vector<Tube::Knot> kAscendingColon = {
    {{86, 168, 545}, 30}, // caecum
    {{80, 162, 505}, 27}, {{80, 166, 440}, 25}, {{96, 196, 388}, 24}, // hepatic flexure
};

// Long enough to sag into the pelvis: two limbs hanging side by side in the middle of
// the abdomen, joined at the bottom.
const std::vector<Tube::Knot> kTransverseColon = {
    {{96, 196, 388}, 24},  {{136, 208, 386}, 24}, {{168, 207, 396}, 24}, {{186, 205, 432}, 24},
    {{189, 205, 472}, 24}, {{204, 205, 496}, 24}, {{230, 205, 496}, 24}, {{244, 205, 470}, 24},
    {{246, 205, 430}, 24}, {{260, 204, 392}, 24}, {{292, 192, 350}, 24}, {{326, 166, 318}, 24}, // splenic flexure
};

const std::vector<Tube::Knot> kDescendingColon = {
    {{326, 166, 318}, 24}, {{346, 140, 362}, 22}, {{350, 135, 430}, 21}, {{346, 138, 488}, 21},
};

// Sigmoid loops in front of the sacrum, then the rectum following the sacral curve.
const std::vector<Tube::Knot> kRectosigmoid = {
    {{346, 138, 488}, 21}, {{326, 138, 514}, 23}, {{292, 128, 528}, 24}, {{258, 124, 524}, 24},
    {{226, 124, 522}, 24}, {{194, 127, 530}, 24}, {{174, 129, 548}, 24}, {{182, 126, 566}, 26},
    {{205, 120, 570}, 32}, // rectum, distended with gas
    {{205, 110, 600}, 31}, {{205, 98, 628}, 24}, {{205, 90, 652}, 10},
};

Shape moulded(Shape s)
{
    return s.intersect(abdominalCavity());
}

// A hollow organ with wall, content, and gas floating up to the front above `gasLevel`.
void addGut(Anatomy& body, const char* name, Organ wallOrgan, const Tube& gut, Organ gasOrgan, double gasLevel)
{
    Structure wall{name, wallOrgan, hu::kBowelWall, moulded(tube(gut))};
    wall.coreInset = 3.0;
    wall.coreHu = hu::kBowelContent;
    body.push_back(wall);
    if (gasOrgan == Organ::Outside)
        return;
    Shape gas = tube(gut.inset(3.0)).intersect(halfSpace({0, gasLevel, 0}, {0, -1, 0}));
    gas.intersect(torso(0, 1, 1).intersect(abdomenBelowDiaphragm(7.0)));
    body.push_back({std::string(name) + " gas", gasOrgan, hu::kBowelGas, gas});
}

} // namespace

void addAbdomen(Anatomy& body)
{
    for (const SolidOrgan& o : kSolidOrgans) {
        Structure s{o.name, o.organ, o.hu,
                    moulded(ellipsoid(o.centre, o.semi, rotation(o.turn.x, o.turn.y, o.turn.z)))};
        s.coreInset = o.coreInset;
        s.coreHu = o.coreHu;
        body.push_back(s);
    }
    body.push_back({"portal vein", Organ::VenaCava, hu::kVein,
                    tube({{{200, 186, 384}, 8}, {{172, 182, 352}, 8}, {{146, 176, 326}, 7}, {{120, 170, 314}, 5}})});
    body.push_back({"pancreas", Organ::Pancreas, hu::kPancreas,
                    moulded(tube({{{150, 180, 420}, 15}, {{174, 180, 398}, 13}, {{204, 186, 386}, 11},
                                  {{240, 178, 372}, 11}, {{280, 158, 350}, 10}, {{304, 146, 334}, 8}}))});

    // The gut. Gas floats to the front: in the stomach's body, in the sagging transverse
    // colon and in the distended rectum and sigmoid.
    addGut(body, "stomach", Organ::Stomach, Tube(kStomach), Organ::StomachGas, 232);
    addGut(body, "duodenum", Organ::Duodenum, Tube(kDuodenum), Organ::Outside, 0);
    Random random(0x5EED0002);
    Tube smallBowel = meander({252, 182, 420}, {96, 172, 528}, {{118, 160, 405}, {300, 258, 575}}, 12, 22, 70, random);
    addGut(body, "small bowel", Organ::SmallBowel, smallBowel, Organ::Outside, 0);
    addGut(body, "ascending colon", Organ::Colon, Tube(kAscendingColon), Organ::ColonGas, 178);
    addGut(body, "transverse colon", Organ::Colon, Tube(kTransverseColon), Organ::TransverseColonGas, 195);
    addGut(body, "descending colon", Organ::Colon, Tube(kDescendingColon), Organ::Outside, 0);
    addGut(body, "rectum and sigmoid", Organ::Colon, Tube(kRectosigmoid), Organ::RectosigmoidGas, 104);

    // Great vessels below the diaphragm, painted over the organs they run behind.
    body.push_back({"abdominal aorta", Organ::Aorta, hu::kAortaBlood, moulded(tube(aorta()))});
    body.push_back({"inferior vena cava", Organ::VenaCava, hu::kVein, moulded(tube(inferiorVenaCava()))});
    for (double side : {-1.0, 1.0}) {
        body.push_back({"iliac artery", Organ::Aorta, hu::kAortaBlood,
                        tube({{{212, 160, 474}, 7.5}, {{kMidline + side * 28, 158, 510}, 7},
                              {{kMidline + side * 58, 166, 560}, 6.5}, {{kMidline + side * 72, 184, 620}, 6},
                              {{kMidline + side * 74, 196, 660}, 6}})});
        body.push_back({"iliac vein", Organ::VenaCava, hu::kVein,
                        tube({{{176, 150, 488}, 9}, {{kMidline + side * 22, 146, 512}, 8.5},
                              {{kMidline + side * 52, 152, 562}, 8}, {{kMidline + side * 64, 170, 620}, 8},
                              {{kMidline + side * 66, 184, 660}, 8}})});
    }

    // Kidneys with their vessels.
    for (const Kidney& k : kKidneys) {
        Mat3 rot = rotation(k.turn.x, k.turn.y, k.turn.z);
        Structure kidney{k.name, k.organ, hu::kKidneyCortex, moulded(ellipsoid(k.centre, k.semi, rot))};
        kidney.coreInset = 7.0;
        kidney.coreHu = hu::kKidneyMedulla;
        body.push_back(kidney);
        Vec3 sinus = k.centre + normalise(k.hilum) * 16.0;
        Structure fat{std::string(k.name) + " sinus", k.organ, hu::kVisceralFat,
                      ellipsoid(sinus, {10, 10, 26}, rot)};
        fat.coreInset = 4.0;
        fat.coreHu = hu::kFluid; // the renal pelvis
        body.push_back(fat);
        Vec3 hilum = k.centre + normalise(k.hilum) * 24.0;
        body.push_back({std::string(k.name) + " artery", Organ::RenalVessel, hu::kAortaBlood,
                        tube({{{220, 156, 345}, 4.5}, {hilum + Vec3{0, -4, 0}, 3.5}})});
        // The left renal vein crosses in front of the aorta to reach the vena cava.
        std::vector<Tube::Knot> vein{{{176, 158, 352}, 6}};
        if (k.centre.x > kMidline)
            vein.push_back({{214, 174, 350}, 5.5});
        vein.push_back({hilum + Vec3{0, 4, 0}, 5});
        body.push_back({std::string(k.name) + " vein", Organ::RenalVessel, hu::kRenalVein, tube(vein)});
    }
}

} // namespace phantom
