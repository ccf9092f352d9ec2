// Every level's box must frame a structure that the level's organ preset shows, in
// the volume the build generated; the same window must show little elsewhere.
#include "tests/tools/PhantomTestData.h"
#include "tools/phantom/Phantom.h"
#include "tools/phantom/Tissue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>

using namespace phantom;
using namespace phantomtest;

namespace {

struct Expectation {
    const char* what;
    std::initializer_list<Organ> organs; // what the window is meant to show in the box
    double minimumFill;                  // of the box, by those organs, inside the window
    double shifts[2][3];                 // two boxes of the same size elsewhere in the body
    double minimumInside;                // of the first organ's visible voxels, in the box (0: unchecked)
};

// Fills measured on the generated volume, with some room: 33.2, 23.7, 22.7, 56.5,
// 17.1, 53.7 and 14.0 percent. A box that only grazed its organ would leave the player
// a fragment; the gas of the stomach and of the rectum reaches beyond their small
// boxes, the colon runs on beyond its sagging middle.
const Expectation kExpected[7] = {
    {"both lungs", {Organ::LungRight, Organ::LungLeft}, 0.30, {{0, 0, 0.52}, {0, 0, 0.45}}, 0.85},
    {"left kidney", {Organ::KidneyLeft, Organ::RenalVessel}, 0.20, {{-0.30, 0, 0}, {0, 0.20, 0}}, 0.95},
    {"right kidney", {Organ::KidneyRight, Organ::RenalVessel}, 0.20, {{0, 0.10, 0}, {0.35, 0, 0}}, 0.9},
    {"gas bubble of the stomach", {Organ::StomachGas}, 0.45, {{-0.20, 0, 0}, {0, 0, 0.30}}, 0},
    {"gas in rectum and sigmoid", {Organ::RectosigmoidGas}, 0.14, {{-0.18, 0, 0}, {0, 0, -0.30}}, 0},
    {"gas in the transverse colon", {Organ::TransverseColonGas}, 0.45, {{0, -0.15, -0.20}, {-0.20, 0.05, -0.30}}, 0.4},
    {"heart and aortic root", {Organ::HeartBlood, Organ::Aorta, Organ::PulmonaryArtery}, 0.12,
     {{0, 0, 0.30}, {0, 0, 0.40}}, 0.9},
};

} // namespace

TEST(PhantomLevels, EveryLevelBoxFramesItsOrganAndTheWindowShowsLittleElsewhere)
{
    // The window counts come from the files the game reads; which organ a voxel belongs
    // to comes from painting the same anatomy again with labels.
    std::vector<std::int16_t> hu = readVoxels(dataPath("taa.raw"));
    PhantomVolume labelled = generatePhantom(true, 2);
    ASSERT_EQ(labelled.hu, hu) << "data/taa.raw is not what the generator paints now";

    for (int level = 0; level < 7; ++level) {
        const Expectation& e = kExpected[level];
        const game::LevelRow& box = game::kLevels[level];
        const Window window = presetWindow(box.preset);
        SCOPED_TRACE("level " + std::to_string(level) + ": " + e.what);
        // Voxels of the box, of the window in it and of the intended organs in that; and
        // of the first organ in the window, anywhere and inside the box.
        struct Count {
            long box = 0, window = 0, intended = 0, organ = 0, organInBox = 0;
        };
        auto count = [&](const double (&shift)[3]) {
            Count c;
            for (int k = 0; k < Grid::nz; ++k)
                for (int j = 0; j < Grid::ny; ++j)
                    for (int i = 0; i < Grid::nx; ++i) {
                        size_t v = Grid::index(i, j, k);
                        bool shown = window.contains(normalised(hu[v])), in = inBox(box, i, j, k, shift);
                        bool first = shown && labelled.organs[v] == std::uint8_t(*e.organs.begin());
                        c.organ += first;
                        c.organInBox += first && in;
                        c.box += in;
                        c.window += in && shown;
                        for (Organ o : e.organs)
                            c.intended += in && shown && labelled.organs[v] == std::uint8_t(o);
                    }
            return c;
        };
        Count here = count({0, 0, 0});
        ASSERT_GT(here.box, 0);
        // The intended structure fills a substantial part of the box and is most of
        // what the window shows there; most of the organ lies inside the box.
        EXPECT_GE(double(here.intended) / here.box, e.minimumFill);
        EXPECT_GE(double(here.intended) / here.window, 0.85);
        EXPECT_GE(double(here.organInBox) / here.organ, e.minimumInside);
        // Boxes of the same size elsewhere in the body: the window shows little there.
        for (const auto& shift : e.shifts) {
            Count other = count(shift);
            SCOPED_TRACE("shifted by " + std::to_string(shift[0]) + ", " + std::to_string(shift[1]) + ", " +
                         std::to_string(shift[2]));
            EXPECT_GT(other.box, here.box * 9 / 10); // still inside the volume
            EXPECT_LE(double(other.window) / other.box, double(here.window) / here.box / 5);
        }
    }
}

TEST(PhantomLevels, NoMaterialStraddlesAPresetWindowEdge)
{
    // A material whose noise reaches across a window's edge would speckle every box
    // it is in. Each must lie wholly inside or wholly outside each preset's window.
    for (const Window& w : {kPreset0, kPreset2, kPreset5})
        for (double value :
             {hu::kAir, hu::kLungFront, hu::kLungBack, hu::kBowelGas, hu::kFat, hu::kVisceralFat, hu::kFluid,
              hu::kBowelContent, hu::kSkin, hu::kBowelWall, hu::kMuscle, hu::kMyocardium, hu::kPancreas,
              hu::kLiver, hu::kSpleen, hu::kVein, hu::kDisc, hu::kCartilage, hu::kKidneyMedulla, hu::kRenalVein,
              hu::kLungVessel, hu::kTable, hu::kKidneyCortex, hu::kCancellousBone, hu::kRightHeartBlood,
              hu::kPulmonaryArtery, hu::kAortaBlood, hu::kLeftHeartBlood, hu::kCorticalBone}) {
            // Stored values are whole HU, rounded after the noise is added.
            auto in = [&](double h) { return w.contains(normalised(std::int16_t(std::lround(h)))); };
            EXPECT_EQ(in(value - hu::kNoiseBound), in(value + hu::kNoiseBound))
                << "HU " << value << " in window " << w.lo << ".." << w.hi;
            EXPECT_EQ(in(value), in(value + hu::kNoiseBound)) << "HU " << value;
        }
    // And the ones the levels rely on are inside.
    EXPECT_TRUE(kPreset0.contains(normalised(std::int16_t(hu::kLungFront))));
    EXPECT_TRUE(kPreset0.contains(normalised(std::int16_t(hu::kBowelGas))));
    EXPECT_TRUE(kPreset2.contains(normalised(std::int16_t(hu::kBowelGas))));
    EXPECT_TRUE(kPreset5.contains(normalised(std::int16_t(hu::kKidneyMedulla))));
    EXPECT_TRUE(kPreset5.contains(normalised(std::int16_t(hu::kRightHeartBlood))));
}
