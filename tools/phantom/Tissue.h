// Densities of the phantom's materials in Hounsfield units (water 0, air about -1000).
//
// Chosen for the game's views as much as for realism: the organ presets see windows of
// normalised intensity (HU + 1024) / 4095, and each material sits clearly inside or
// outside them, with room for the noise (bounded at +-kNoiseBound):
//   preset 0 (lungs, rectal gas)      -901 .. -123 HU
//   preset 2 (stomach and colon gas)  -983 .. -205 HU
//   preset 5 (kidneys, heart)          123 ..  696 HU
// Air shows in none of them, so gas in the bowel is gas mixed with content
// (froth, partial volume), and the lungs are parenchyma, not air.
#pragma once

namespace phantom::hu {

constexpr double kNoiseSigma = 8.0;           // scanner noise, standard deviation
constexpr double kNoiseBound = 27.72;         // 2 sqrt(3) sigma: the noise never exceeds it

constexpr double kAir = -1012;                // room air, trachea, bronchi: read a little low, as
                                              // scanners often do, which keeps its noise clear
                                              // of preset 2's foot at -983
constexpr double kLungFront = -840;           // lung parenchyma, gravity makes the back denser
constexpr double kLungBack = -730;
constexpr double kBowelGas = -760;            // gas with froth in stomach, colon and rectum
constexpr double kFat = -92;                  // subcutaneous fat
constexpr double kVisceralFat = -85;          // mediastinal, pericardial, intra-abdominal fat
constexpr double kFluid = 12;                 // urine, bile, cerebrospinal fluid
constexpr double kBowelContent = 25;
constexpr double kSkin = 25;
constexpr double kBowelWall = 45;
constexpr double kMuscle = 50;
constexpr double kMyocardium = 60;
constexpr double kThrombus = 45;              // laminated thrombus lining the aneurysm
constexpr double kPancreas = 80;
constexpr double kLiver = 88;
constexpr double kSpleen = 92;
constexpr double kVein = 90;                  // caval and portal veins, before their contrast arrives
constexpr double kDisc = 85;                  // intervertebral discs
constexpr double kCartilage = 90;             // costal cartilage
constexpr double kKidneyMedulla = 165;
constexpr double kRenalVein = 200;
constexpr double kLungVessel = 260;           // pulmonary vessel trees, contrast arriving
constexpr double kTable = 180;
constexpr double kKidneyCortex = 235;
constexpr double kCancellousBone = 290;
constexpr double kRightHeartBlood = 310;      // contrast-enhanced blood
constexpr double kPulmonaryArtery = 300;
constexpr double kAortaBlood = 350;
constexpr double kLeftHeartBlood = 370;
constexpr double kCorticalBone = 1300;
constexpr double kMetal = 3200;               // saturates at the top of the 12-bit range

// The stored range. Both ends occur: the minimum beyond the scanner's reconstruction
// circle, the maximum in the metal marker.
constexpr int kMinimum = -1024;
constexpr int kMaximum = 3071;

} // namespace phantom::hu
