// The chest: lungs with their vessel and airway trees, the mediastinum, the heart with
// contrast in its chambers, the aorta with a descending thoracic aneurysm, the
// pulmonary trunk and the caval veins, the oesophagus.
#include "tools/phantom/Anatomy.h"
#include "tools/phantom/Landmarks.h"
#include "tools/phantom/Procedural.h"
#include "tools/phantom/Tissue.h"

namespace phantom {

namespace {

// The heart's own frame: centre, long axis from the base towards the apex (left,
// forwards and down), second axis towards the patient's left, third mostly forwards.
const Vec3 kHeartCentre{226, 204, 204};
const Mat3 kHeartFrame = frameAlong({0.55, 0.45, 0.70}, {1, 0, 0});

Vec3 heartPoint(double along, double left, double front)
{
    return kHeartCentre + kHeartFrame.toWorld({along, left, front});
}

// The heart as a myocardial envelope with four blood pools inside it; where two pools
// do not touch, the myocardium between them is a septum.
const Vec3 kEnvelopeCentre{-6, -6, 0};
const Vec3 kEnvelopeSemi{80, 64, 52};

struct Chamber {
    const char* name;
    Vec3 local;      // centre in the heart frame
    Vec3 semi;       // semi-axes in the heart frame
    double blood;    // HU of its contrast-enhanced blood
};

const Chamber kChambers[] = {
    {"right atrium", {-46, -42, 4}, {30, 23, 28}, hu::kRightHeartBlood},
    {"right ventricle", {8, -35, 19}, {42, 21, 22}, hu::kRightHeartBlood},
    {"left atrium", {-52, 13, -26}, {26, 29, 21}, hu::kLeftHeartBlood},
    {"left ventricle", {14, 17, -6}, {52, 27, 26}, hu::kLeftHeartBlood},
};

Shape inHeartFrame(Vec3 local, Vec3 semi)
{
    return ellipsoid(heartPoint(local.x, local.y, local.z), semi, kHeartFrame);
}

} // namespace

// Aorta from the valve to the bifurcation; its lumen widens through the aneurysm.
Tube aorta()
{
    return Tube({
        {heartPoint(-34, 4, 6), 14},   // aortic root above the left ventricle
        {{206, 206, 140}, 16},        // ascending aorta
        {{201, 202, 104}, 16},
        {{204, 193, 72}, 15},
        {{216, 170, 52}, 14},         // arch
        {{236, 142, 60}, 13},
        {{240, 124, 86}, 12.5},       // descending aorta, left of the spine
        {{241, 120, 140}, 12.5},
        {{243, 122, 170}, 15},
        {{246, 126, 205}, 19},        // lumen through the aneurysm
        {{244, 126, 235}, 16},
        {{236, 128, 268}, 12},
        {{228, 136, 305}, 11},        // through the hiatus
        {{223, 150, 345}, 11},
        {{220, 157, 400}, 10.5},      // abdominal aorta
        {{216, 160, 455}, 10},
        {{212, 160, 476}, 9},         // bifurcation
    });
}

Tube inferiorVenaCava()
{
    return Tube({{{176, 150, 490}, 12}, {{176, 150, 400}, 12.5}, {{176, 156, 320}, 13},
                 {{178, 170, 276}, 13}, {heartPoint(-30, -44, 0), 12}});
}

Shape lungShape(bool left)
{
    // Each lung fills its half of the chest: the cavity, rounded at the apex, split at
    // the midline; the mediastinum painted afterwards carves out its inner face.
    Vec3 centre = left ? Vec3{284, 160, 182} : Vec3{128, 160, 176};
    Shape lung = thoracicCavity();
    lung.intersect(ellipsoid(centre, {100, 150, 172}));
    lung.intersect(left ? halfSpace({kMidline + 8, 0, 0}, {-1, 0, 0}) : halfSpace({kMidline - 8, 0, 0}, {1, 0, 0}));
    return lung;
}

void addThorax(Anatomy& body)
{
    // Lungs: parenchyma denser towards the back, where gravity pulls blood and fluid.
    const Vec3 densityOrigin{0, 60, 0};
    const Vec3 densitySlope{0, (hu::kLungFront - hu::kLungBack) / 210.0, 0};
    for (bool left : {false, true}) {
        Structure lung{left ? "left lung" : "right lung", left ? Organ::LungLeft : Organ::LungRight, hu::kLungBack,
                       lungShape(left)};
        lung.huSlope = densitySlope;
        lung.huOrigin = densityOrigin;
        body.push_back(lung);
    }

    // Vessel trees from each hilum into the lobes.
    struct Root {
        bool left;
        Vec3 hilum, direction;
        double radius;
    };
    const Root vesselRoots[] = {
        {false, {150, 168, 130}, {-0.5, 0.2, -1.0}, 6.0}, // right upper lobe
        {false, {148, 176, 140}, {-0.7, 0.7, 0.3}, 5.0},  // right middle lobe
        {false, {150, 160, 150}, {-0.4, -0.5, 1.0}, 6.5}, // right lower lobe
        {false, {150, 164, 140}, {-1.0, -0.3, 0.2}, 5.0}, // right lower lobe, lateral
        {true, {262, 166, 128}, {0.5, 0.2, -1.0}, 6.0},   // left upper lobe
        {true, {264, 172, 140}, {0.7, 0.6, 0.3}, 4.5},    // lingula
        {true, {262, 158, 150}, {0.4, -0.5, 1.0}, 6.5},   // left lower lobe
        {true, {262, 162, 140}, {1.0, -0.3, 0.2}, 5.0},   // left lower lobe, lateral
    };
    Random random(0x5EED0001);
    Shape lungs[2] = {lungShape(false), lungShape(true)};
    BranchingRules vascular;
    vascular.minRadius = 1.0;
    vascular.majorRatio = 0.88;
    vascular.minorRatio = 0.78;
    vascular.lengthPerRadius = 7.0;
    vascular.spreadDegrees = 30.0;
    vascular.clearance = 3.0;
    vascular.maxDepth = 11;
    Tube vessels;
    for (const Root& r : vesselRoots)
        vessels.append(growTree(r.hilum, r.direction, r.radius, lungs[r.left], vascular, random));
    body.push_back({"pulmonary vessels", Organ::LungVessel, hu::kLungVessel, tube(vessels)});

    // Mediastinal fat between the lungs; the airways run through it.
    body.push_back({"mediastinum", Organ::CavityFat, hu::kVisceralFat,
                    ellipsoid({kMidline + 2, 178, 70}, {33, 72, 105}).intersect(thoracicCavity())});
    // Airways: trachea, main bronchi, then bronchial trees; soft-tissue wall, air inside.
    Tube airways({{{kMidline, 204, -30}, 10}, {{kMidline, 197, 40}, 9.5}, {{kMidline + 1, 182, 100}, 9}});
    airways.append(Tube({{{kMidline + 1, 182, 100}, 8}, {{178, 174, 114}, 7}, {{156, 170, 126}, 6}}));
    airways.append(Tube({{{kMidline + 1, 182, 100}, 7.5}, {{236, 174, 116}, 6.5}, {{258, 166, 130}, 5.5}}));
    BranchingRules bronchi;
    bronchi.minRadius = 2.5;
    bronchi.lengthPerRadius = 6.0;
    bronchi.clearance = 4.0;
    const Root airwayRoots[] = {
        {false, {156, 170, 126}, {-0.5, 0.3, -0.8}, 5.0},
        {false, {156, 170, 126}, {-0.4, -0.2, 1.0}, 5.0},
        {true, {258, 166, 130}, {0.5, 0.3, -0.8}, 4.5},
        {true, {258, 166, 130}, {0.4, -0.2, 1.0}, 5.0},
    };
    for (const Root& r : airwayRoots)
        airways.append(growTree(r.hilum, r.direction, r.radius, lungs[r.left], bronchi, random));
    Structure airway{"airways", Organ::Airway, hu::kBowelWall, tube(airways)};
    airway.coreInset = 1.6;
    airway.coreHu = hu::kAir;
    body.push_back(airway);

    body.push_back({"pericardial fat", Organ::CavityFat, hu::kVisceralFat,
                    inHeartFrame(kEnvelopeCentre, kEnvelopeSemi + Vec3{6, 6, 6}).intersect(thoracicCavity())});

    // Heart: the myocardium, then the blood pools.
    body.push_back({"myocardium", Organ::Myocardium, hu::kMyocardium,
                    inHeartFrame(kEnvelopeCentre, kEnvelopeSemi).intersect(thoracicCavity())});
    for (const Chamber& c : kChambers)
        body.push_back({c.name, Organ::HeartBlood, c.blood, inHeartFrame(c.local, c.semi).intersect(thoracicCavity())});

    // Pulmonary veins into the left atrium.
    Tube veins;
    for (Vec3 end : {Vec3{168, 150, 128}, Vec3{172, 150, 160}, Vec3{262, 146, 132}, Vec3{258, 146, 162}})
        veins.append(Tube({{heartPoint(-50, 8, -26), 7}, {end, 6}}));
    body.push_back({"pulmonary veins", Organ::HeartBlood, hu::kLeftHeartBlood, tube(veins)});

    // Pulmonary trunk from the right ventricle and its two arteries.
    Tube pulmonary({{heartPoint(-20, -16, 34), 14}, {{224, 222, 150}, 14}, {{226, 206, 126}, 13}});
    pulmonary.append(Tube({{{226, 206, 126}, 11}, {{250, 184, 120}, 10}, {{266, 170, 128}, 8.5}}));
    pulmonary.append(Tube({{{226, 206, 126}, 11}, {{200, 178, 116}, 10.5}, {{172, 172, 124}, 9.5}, {{152, 168, 130}, 8}}));
    body.push_back({"pulmonary arteries", Organ::PulmonaryArtery, hu::kPulmonaryArtery, tube(pulmonary)});

    // Caval veins into the right atrium: contrast has not reached them yet.
    Tube cava({{{172, 190, -30}, 10}, {{172, 188, 60}, 10.5}, {{173, 186, 130}, 11}, {heartPoint(-36, -42, 4), 12}});
    cava.append(inferiorVenaCava());
    body.push_back({"venae cavae", Organ::VenaCava, hu::kVein, tube(cava)});

    // The aneurysm: a fusiform sac lined with thrombus, the contrast lumen inside it.
    body.push_back({"aneurysm", Organ::Aneurysm, hu::kThrombus,
                    tube({{{241, 120, 150}, 12}, {{244, 124, 180}, 21}, {{247, 127, 210}, 27},
                          {{244, 127, 238}, 21}, {{238, 128, 265}, 12.5}})});
    body.push_back({"aorta", Organ::Aorta, hu::kAortaBlood, tube(aorta())});

    // Oesophagus behind the heart, through the hiatus into the stomach.
    body.push_back({"oesophagus", Organ::Esophagus, hu::kBowelWall,
                    tube({{{203, 158, -30}, 8}, {{204, 142, 60}, 8}, {{212, 134, 150}, 8},
                          {{226, 140, 232}, 8}, {{248, 156, 282}, 9}, {{262, 166, 298}, 10}})});
}

} // namespace phantom
