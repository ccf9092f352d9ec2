// The three ".tfn" files of the layers, read and rasterised by the game's own code:
// windows that fit the phantom's materials (skin shell only, bone without contrast,
// the heart's contrast).
#include "classification/LookupTable.h"
#include "classification/TfnReader.h"
#include "classification/Trapez.h"
#include "tests/tools/PhantomTestData.h"
#include "tools/phantom/Tissue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace Classification;
using namespace phantomtest;
namespace hu = phantom::hu;

namespace {

constexpr int kTableSize = 128;

// A file as the game loads it: its own reader, one trapezoid shape per record, and the
// 128-entry lookup table that the layers rasterise once the volume is loaded.
struct Loaded {
    std::vector<TfnRecord> records;
    std::vector<unsigned short> table; // 128 x (r, g, b, a)
};

Loaded load(const std::string& path)
{
    // The text itself: one item a line, no carriage returns (they would end up in the
    // names), nothing after the last record.
    std::vector<unsigned char> bytes = readBytes(path);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_TRUE(!text.empty() && text.back() == '\n');

    Loaded l;
    std::ifstream in(path);
    EXPECT_EQ(readTfnRecords(in, l.records), TfnReadResult::Complete);
    std::string rest;
    EXPECT_FALSE(std::getline(in >> std::ws, rest)) << "text after the last record: " << rest;

    std::vector<std::unique_ptr<VornTrapez>> shapes;
    std::vector<TransferFunctionGeometry*> list;
    float lo = 1.0f, hi = 0.0f;
    for (const TfnRecord& r : l.records) {
        shapes.push_back(std::make_unique<VornTrapez>(r.name));
        EXPECT_TRUE(shapes.back()->setPoints(r.points)) << r.name << ": not a valid trapezoid";
        for (int c = 0; c < 3; ++c)
            shapes.back()->colours[c] = r.colours[c];
        lo = std::min(lo, shapes.back()->minX());
        hi = std::max(hi, shapes.back()->maxX());
        list.push_back(shapes.back().get());
    }
    l.table.assign(kTableSize * 4, 0);
    EXPECT_TRUE(rasteriseLookupTable(list, lo, hi, kTableSize, l.table.data()));
    return l;
}

// Opacity the ray caster reads at a HU value: the table sampled linearly at the
// normalised intensity (entries at i / 127).
double opacity(const Loaded& l, double huValue)
{
    double x = std::clamp((huValue + 1024) / 4095.0, 0.0, 1.0) * (kTableSize - 1);
    int i = std::min(int(x), kTableSize - 2);
    double f = x - i;
    return ((1 - f) * l.table[4 * i + 3] + f * l.table[4 * (i + 1) + 3]) / 65535.0;
}

// Highest opacity anywhere in a material's range, noise included.
double opacityOf(const Loaded& l, double material)
{
    double most = 0;
    for (double d = -hu::kNoiseBound; d <= hu::kNoiseBound; d += 0.5)
        most = std::max(most, opacity(l, material + d));
    return most;
}

constexpr double kClear = 0.01; // what the table's interpolation leaks past a window's foot

} // namespace

TEST(TransferFunctionFiles, SkinIsALowShellAtTheBoundaryAndLeavesTissueAndLungsClear)
{
    Loaded s = load(dataPath("tfn/CT Skin.tfn"));
    ASSERT_EQ(s.records.size(), 1u);
    EXPECT_EQ(s.records[0].name, "Skin");
    // Only the partial-volume boundary between air and the body is seen, and faintly:
    // the body stays see-through.
    EXPECT_GT(opacity(s, -300), 0.3);
    EXPECT_LE(s.records[0].points[1].y, 0.7f);
    // Not air, lung parenchyma, fat, muscle or organs.
    for (double material : {hu::kAir, hu::kLungFront, hu::kLungBack, hu::kFat, hu::kVisceralFat, hu::kMuscle,
                            hu::kLiver, hu::kBowelGas})
        EXPECT_LT(opacityOf(s, material), kClear) << material;
    // Fat fills the body: with one entry to spare below its noise, nothing of the table
    // reaches it, or every block of fat would count as visible through the skin.
    const double entry = 4095.0 / (kTableSize - 1);
    for (double h = hu::kFat - hu::kNoiseBound - entry; h <= hu::kVisceralFat + hu::kNoiseBound; h += 0.5)
        EXPECT_EQ(opacity(s, h), 0.0) << h;
    // Skin-coloured on the plateau: warm, red over green over blue.
    const ShapeColour& plateau = s.records[0].colours[2];
    EXPECT_TRUE(plateau.r > plateau.g && plateau.g > plateau.b);
}

TEST(TransferFunctionFiles, SkeletonShowsCorticalBoneOpaqueButNoContrast)
{
    Loaded b = load(dataPath("tfn/CT Skin 2.tfn"));
    ASSERT_EQ(b.records.size(), 1u);
    EXPECT_EQ(b.records[0].name, "Bone");
    EXPECT_EQ(opacity(b, hu::kCorticalBone), 1.0);
    // Contrast-filled heart, aorta and kidneys would otherwise show up as bone.
    for (double material : {hu::kLeftHeartBlood, hu::kRightHeartBlood, hu::kAortaBlood, hu::kPulmonaryArtery,
                            hu::kKidneyCortex, hu::kCartilage, hu::kTable})
        EXPECT_LT(opacityOf(b, material), kClear) << material;
    // Ivory: bright, yellowish white.
    const ShapeColour& plateau = b.records[0].colours[2];
    EXPECT_TRUE(plateau.r >= plateau.g && plateau.g >= plateau.b && plateau.b >= 0.78f);
}

TEST(TransferFunctionFiles, HeartIsOneRedRecordForTheContrastInTheChambers)
{
    Loaded h = load(dataPath("tfn/Heart.tfn"));
    ASSERT_EQ(h.records.size(), 1u); // the levels remove it by this name
    EXPECT_EQ(h.records[0].name, "Heart");
    for (double material : {hu::kLeftHeartBlood, hu::kRightHeartBlood, hu::kAortaBlood})
        EXPECT_GT(opacity(h, material), 0.5) << material;
    for (double material : {hu::kMyocardium, hu::kVisceralFat, hu::kLungBack, hu::kCorticalBone})
        EXPECT_LT(opacityOf(h, material), kClear) << material;
    for (const ShapeColour& c : h.records[0].colours)
        EXPECT_GT(c.r, 2 * std::max(c.g, c.b));
}
