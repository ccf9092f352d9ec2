// Every level's box must frame a structure that the level's organ preset shows, in
// the volume the build generated; the same window must show little elsewhere.
#include "tests/tools/PhantomTestData.h"
#include "tools/phantom/Phantom.h"
#include "tools/phantom/Tissue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <utility>
#include <string>

using namespace phantom;
using namespace phantomtest;

namespace {

struct Expectation {
    const char* what;
    std::initializer_list<Organ> organs; // what the window is meant to show in the box
    double minimumFill;                  // of the box, by those organs, inside the window
    double shifts[2][3];                 // two boxes of the same size elsewhere in the body
};

// Fills measured on the generated volume, with some room: 33.2, 23.7, 22.7, 56.5,
// 17.1, 53.7 and 14.0 percent.
const Expectation kExpected[7] = {
    {"both lungs", {Organ::LungRight, Organ::LungLeft}, 0.30, {{0, 0, 0.52}, {0, 0, 0.45}}},
    {"left kidney", {Organ::KidneyLeft, Organ::RenalVessel}, 0.20, {{-0.30, 0, 0}, {0, 0.20, 0}}},
    {"right kidney", {Organ::KidneyRight, Organ::RenalVessel}, 0.20, {{0, 0.10, 0}, {0.35, 0, 0}}},
    {"gas bubble of the stomach", {Organ::StomachGas}, 0.45, {{-0.20, 0, 0}, {0, 0, 0.30}}},
    {"gas in rectum and sigmoid", {Organ::RectosigmoidGas}, 0.14, {{-0.18, 0, 0}, {0, 0, -0.30}}},
    {"gas in the transverse colon", {Organ::TransverseColonGas}, 0.45, {{0, -0.15, -0.20}, {-0.20, 0.05, -0.30}}},
    {"heart and aortic root", {Organ::HeartBlood, Organ::Aorta, Organ::PulmonaryArtery}, 0.12,
     {{0, 0, 0.30}, {0, 0, 0.40}}},
};

struct Count {
    long box = 0, window = 0, intended = 0;
    double windowFraction() const { return double(window) / box; }
};

Count countBox(const std::vector<std::int16_t>& hu, const std::vector<std::uint8_t>& organs, const LevelBox& box,
               const double (&shift)[3], std::initializer_list<Organ> intended)
{
    Count c;
    for (int k = 0; k < Grid::nz; ++k)
        for (int j = 0; j < Grid::ny; ++j)
            for (int i = 0; i < Grid::nx; ++i) {
                if (!inBox(box, i, j, k, shift))
                    continue;
                ++c.box;
                size_t v = Grid::index(i, j, k);
                if (!box.window.contains(normalised(hu[v])))
                    continue;
                ++c.window;
                for (Organ o : intended)
                    if (organs[v] == std::uint8_t(o))
                        ++c.intended;
            }
    return c;
}

} // namespace

TEST(PhantomLevels, EveryLevelBoxFramesItsOrganAndTheWindowShowsLittleElsewhere)
{
    // The window counts come from the files the game reads; which organ a voxel belongs
    // to comes from painting the same anatomy again with labels.
    std::vector<std::int16_t> hu = readVoxels(dataPath("taa.raw"));
    ASSERT_EQ(hu.size(), Grid::count());
    PhantomVolume labelled = generatePhantom(true, 2);
    ASSERT_EQ(labelled.hu, hu) << "data/taa.raw is not what the generator paints now";

    const double here[3] = {0, 0, 0};
    for (int level = 0; level < 7; ++level) {
        const Expectation& e = kExpected[level];
        SCOPED_TRACE("level " + std::to_string(level) + ": " + e.what);
        Count c = countBox(hu, labelled.organs, kLevelBoxes[level], here, e.organs);
        ASSERT_GT(c.box, 0);
        // The intended structure fills a substantial part of the box ...
        EXPECT_GE(double(c.intended) / c.box, e.minimumFill);
        // ... and is most of what the window shows there.
        EXPECT_GE(double(c.intended) / c.window, 0.85);
        // Boxes of the same size elsewhere in the body: the window shows little there.
        for (const auto& shift : e.shifts) {
            Count other = countBox(hu, labelled.organs, kLevelBoxes[level], shift, e.organs);
            SCOPED_TRACE("shifted by " + std::to_string(shift[0]) + ", " + std::to_string(shift[1]) + ", " +
                         std::to_string(shift[2]));
            EXPECT_GT(other.box, c.box * 9 / 10); // still inside the volume
            EXPECT_LE(other.windowFraction(), c.windowFraction() / 5);
        }
    }
}

TEST(PhantomLevels, FramedOrgansLieMostlyInsideTheirBoxes)
{
    // A box that only grazes its organ would leave the player a fragment: most of each
    // organ's visible voxels must lie inside its level's box. (The gas of the stomach
    // and of the rectum and sigmoid reaches beyond their small boxes, and the colon runs
    // on beyond its sagging middle; the lungs reach below theirs at the back.)
    PhantomVolume v = generatePhantom(true, 2);
    const double here[3] = {0, 0, 0};
    struct Framed {
        int level;
        Organ organ;
        double minimumInside;
    };
    for (Framed f : {Framed{0, Organ::LungRight, 0.85}, Framed{0, Organ::LungLeft, 0.85},
                     Framed{1, Organ::KidneyLeft, 0.95}, Framed{2, Organ::KidneyRight, 0.9},
                     Framed{6, Organ::HeartBlood, 0.9}, Framed{5, Organ::TransverseColonGas, 0.4}}) {
        SCOPED_TRACE("level " + std::to_string(f.level) + ", organ " + std::to_string(int(f.organ)));
        const LevelBox& box = kLevelBoxes[f.level];
        long all = 0, inside = 0;
        for (int k = 0; k < Grid::nz; ++k)
            for (int j = 0; j < Grid::ny; ++j)
                for (int i = 0; i < Grid::nx; ++i) {
                    size_t n = Grid::index(i, j, k);
                    if (v.organs[n] != std::uint8_t(f.organ) || !box.window.contains(normalised(v.hu[n])))
                        continue;
                    ++all;
                    inside += inBox(box, i, j, k, here);
                }
        ASSERT_GT(all, 1000);
        EXPECT_GE(double(inside) / all, f.minimumInside);
    }
}

TEST(PhantomLevels, NoMaterialStraddlesAPresetWindowEdge)
{
    // A material whose noise reaches across a window's edge would speckle every box
    // it is in. Each must lie wholly inside or wholly outside each preset's window.
    const std::pair<const char*, double> materials[] = {
        {"air", hu::kAir},
        {"lung, front", hu::kLungFront},
        {"lung, back", hu::kLungBack},
        {"bowel gas", hu::kBowelGas},
        {"fat", hu::kFat},
        {"visceral fat", hu::kVisceralFat},
        {"fluid", hu::kFluid},
        {"bowel content", hu::kBowelContent},
        {"skin", hu::kSkin},
        {"bowel wall", hu::kBowelWall},
        {"muscle", hu::kMuscle},
        {"myocardium", hu::kMyocardium},
        {"pancreas", hu::kPancreas},
        {"liver", hu::kLiver},
        {"spleen", hu::kSpleen},
        {"vein", hu::kVein},
        {"disc", hu::kDisc},
        {"cartilage", hu::kCartilage},
        {"kidney medulla", hu::kKidneyMedulla},
        {"renal vein", hu::kRenalVein},
        {"lung vessel", hu::kLungVessel},
        {"table", hu::kTable},
        {"kidney cortex", hu::kKidneyCortex},
        {"cancellous bone", hu::kCancellousBone},
        {"right heart", hu::kRightHeartBlood},
        {"pulmonary artery", hu::kPulmonaryArtery},
        {"aorta", hu::kAortaBlood},
        {"left heart", hu::kLeftHeartBlood},
        {"cortical bone", hu::kCorticalBone},
    };
    for (const Window& w : {kPreset0, kPreset2, kPreset5})
        for (auto [name, value] : materials) {
            // Stored values are whole HU, rounded after the noise is added.
            auto in = [&](double h) { return w.contains(normalised(std::int16_t(std::lround(h)))); };
            EXPECT_EQ(in(value - hu::kNoiseBound), in(value + hu::kNoiseBound))
                << name << " in window " << w.lo << ".." << w.hi;
            EXPECT_EQ(in(value), in(value + hu::kNoiseBound)) << name;
        }
    // And the ones the levels rely on are inside.
    EXPECT_TRUE(kPreset0.contains(normalised(std::int16_t(hu::kLungFront))));
    EXPECT_TRUE(kPreset0.contains(normalised(std::int16_t(hu::kBowelGas))));
    EXPECT_TRUE(kPreset2.contains(normalised(std::int16_t(hu::kBowelGas))));
    EXPECT_TRUE(kPreset5.contains(normalised(std::int16_t(hu::kKidneyMedulla))));
    EXPECT_TRUE(kPreset5.contains(normalised(std::int16_t(hu::kRightHeartBlood))));
}
