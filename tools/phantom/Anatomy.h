// The body as an ordered list of structures, each a shape filled with one material.
// Later structures are painted over earlier ones, so the order is part of the anatomy:
// body wall, cavities, organs, vessels, muscles, then the skeleton on top.
#pragma once

#include "tools/phantom/Shape.h"

#include <cstdint>
#include <string>
#include <vector>

namespace phantom {

// What covers a voxel, for the labels that tests and pictures use.
enum class Organ : std::uint8_t {
    Outside = 0,
    Table,
    Marker,
    Skin,
    Fat,
    Muscle,
    CavityFat,
    Bone,
    Cartilage,
    Disc,
    SpinalCanal,
    LungRight,
    LungLeft,
    Airway,
    LungVessel,
    Myocardium,
    HeartBlood,
    Aorta,
    Aneurysm,
    PulmonaryArtery,
    VenaCava,
    Esophagus,
    Diaphragm,
    Liver,
    Gallbladder,
    Spleen,
    Pancreas,
    Stomach,
    StomachGas,
    Duodenum,
    SmallBowel,
    Colon,
    ColonGas,           // ascending and descending colon
    TransverseColonGas,
    RectosigmoidGas,
    KidneyLeft,         // the patient's left
    KidneyRight,
    RenalVessel,
    Bladder,
    Count
};

struct Structure {
    std::string name;
    Organ organ;
    double hu;             // material of the whole shape
    Shape shape;
    double coreInset = 0;  // > 0: a second material this far inside the surface
    double coreHu = 0;
    Vec3 huSlope{0, 0, 0}; // HU per mm, measured from huOrigin (density gradients)
    Vec3 huOrigin{0, 0, 0};

    double huAt(Vec3 p) const { return hu + dot(huSlope, p - huOrigin); }
};

using Anatomy = std::vector<Structure>;

// The whole body in painting order.
Anatomy buildAnatomy();

// The parts, each appending in its own painting order (called by buildAnatomy).
void addBodyWall(Anatomy& body);      // table, skin, fat, muscle wall, body cavities
void addThorax(Anatomy& body);        // lungs, airways, heart and great vessels
void addAbdomen(Anatomy& body);       // abdominal and pelvic organs, bowel, kidneys
void addMuscles(Anatomy& body);       // back, psoas and gluteal muscles
void addSkeleton(Anatomy& body);      // spine, ribs, sternum, shoulder girdle, pelvis

// Shapes shared between parts.
Shape thoracicCavity();               // inside the chest wall, above the diaphragm
Shape abdominalCavity();              // inside the abdominal wall, below the diaphragm
Shape lungShape(bool left);
Tube aorta();                         // lumen from the aortic valve to the bifurcation
Tube inferiorVenaCava();

} // namespace phantom
