// The three ".tfn" files of the layers: the format the game's reader expects, line by
// line, and windows that fit the phantom's materials (skin shell only, bone without
// contrast, the heart's contrast).
#include "tests/tools/PhantomTestData.h"
#include "tools/phantom/Tissue.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sstream>

using namespace phantomtest;
namespace hu = phantom::hu;

namespace {

// One trapezoid record, exactly as the game's reader turns it into a shape.
struct Record {
    std::string name;
    double x[4], y[4]; // points: normalised intensity (scanner units / 4096), opacity
    int rgb[3][3];     // colours 0..2, bytes
};

// Reads a file of kind-1 records; fails the test on anything the reader would not take.
std::vector<Record> readTfn(const std::string& path)
{
    std::vector<unsigned char> bytes = readBytes(path);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find('\r'), std::string::npos) << "carriage returns would end up in names";
    EXPECT_TRUE(!text.empty() && text.back() == '\n');
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    size_t at = 0;
    auto number = [&]() { return std::stod(lines.at(at++)); };
    std::vector<Record> records;
    int count = int(number());
    for (int r = 0; r < count; ++r) {
        EXPECT_EQ(lines.at(at++), "1") << "only trapezoid records";
        Record rec;
        rec.name = lines.at(at++);
        double start = number(), end = number(), left = number(), right = number(), opacity = number();
        ++at; // the line the reader skips
        const double sx[4] = {start, start + left, end - right, end};
        const double sy[4] = {0, opacity, opacity, 0};
        for (int p = 0; p < 4; ++p) {
            rec.x[p] = sx[p] / 4096.0;
            rec.y[p] = sy[p];
        }
        for (int c = 0; c < 3; ++c) {
            long packed = std::stol(lines.at(at++));
            rec.rgb[c][0] = int(packed & 255);
            rec.rgb[c][1] = int((packed >> 8) & 255);
            rec.rgb[c][2] = int((packed >> 16) & 255);
        }
        records.push_back(rec);
    }
    EXPECT_EQ(at, lines.size()) << "lines beyond the announced records";
    return records;
}

// Opacity of the trapezoid at a HU value, on the game's normalised intensity axis.
double opacity(const Record& r, double huValue)
{
    double x = (huValue + 1024) / 4095.0;
    double l = r.x[0], right = r.x[3], L = r.x[1] - r.x[0], R = r.x[3] - r.x[2], H = r.y[1];
    if (x < l || x >= right)
        return 0;
    if (x <= l + L)
        return L > 0 ? H * (x - l) / L : 0;
    if (x < right - R)
        return H;
    return H * (right - x) / R;
}

// Highest opacity anywhere in a material's range, noise included.
double opacityOf(const Record& r, double material)
{
    double most = 0;
    for (double d = -hu::kNoiseBound; d <= hu::kNoiseBound; d += 0.5)
        most = std::max(most, opacity(r, material + d));
    return most;
}

void expectValidTrapezoid(const Record& r)
{
    EXPECT_GE(r.x[0], 0.0);
    EXPECT_LE(r.x[0], r.x[1]);
    EXPECT_LE(r.x[1], r.x[2]);
    EXPECT_LE(r.x[2], r.x[3]);
    EXPECT_LE(r.x[3], 1.0);
    EXPECT_GT(r.y[1], 0.0);
    EXPECT_LE(r.y[1], 1.0);
}

} // namespace

TEST(TransferFunctionFiles, SkinIsALowShellAtTheBoundaryAndLeavesTissueAndLungsClear)
{
    std::vector<Record> skin = readTfn(dataPath("tfn/CT Skin.tfn"));
    ASSERT_EQ(skin.size(), 1u);
    const Record& s = skin[0];
    EXPECT_EQ(s.name, "Skin");
    expectValidTrapezoid(s);
    // Only the partial-volume boundary between air and the body is seen ...
    EXPECT_GT(opacity(s, -300), 0.3);
    EXPECT_LE(s.y[1], 0.7); // low: the body stays see-through
    // ... not air, lung parenchyma, fat, muscle or organs.
    for (double material : {hu::kAir, hu::kLungFront, hu::kLungBack, hu::kFat, hu::kVisceralFat, hu::kMuscle,
                            hu::kLiver, hu::kBowelGas})
        EXPECT_EQ(opacityOf(s, material), 0.0) << material;
    // Skin-coloured on the plateau: warm, red over green over blue.
    EXPECT_GT(s.rgb[2][0], s.rgb[2][1]);
    EXPECT_GT(s.rgb[2][1], s.rgb[2][2]);
}

TEST(TransferFunctionFiles, SkeletonShowsCorticalBoneOpaqueButNoContrast)
{
    std::vector<Record> bone = readTfn(dataPath("tfn/CT Skin 2.tfn"));
    ASSERT_EQ(bone.size(), 1u);
    const Record& b = bone[0];
    EXPECT_EQ(b.name, "Bone");
    expectValidTrapezoid(b);
    EXPECT_EQ(opacity(b, hu::kCorticalBone), 1.0);
    // Contrast-filled heart, aorta and kidneys would otherwise show up as bone.
    for (double material : {hu::kLeftHeartBlood, hu::kRightHeartBlood, hu::kAortaBlood, hu::kPulmonaryArtery,
                            hu::kKidneyCortex, hu::kCartilage, hu::kTable})
        EXPECT_EQ(opacityOf(b, material), 0.0) << material;
    // Ivory: bright, yellowish white.
    EXPECT_GE(b.rgb[2][0], b.rgb[2][1]);
    EXPECT_GE(b.rgb[2][1], b.rgb[2][2]);
    EXPECT_GE(b.rgb[2][2], 200);
}

TEST(TransferFunctionFiles, HeartIsOneRedRecordForTheContrastInTheChambers)
{
    std::vector<Record> heart = readTfn(dataPath("tfn/Heart.tfn"));
    ASSERT_EQ(heart.size(), 1u); // the levels remove it by this name
    const Record& h = heart[0];
    EXPECT_EQ(h.name, "Heart");
    expectValidTrapezoid(h);
    for (double material : {hu::kLeftHeartBlood, hu::kRightHeartBlood, hu::kAortaBlood})
        EXPECT_GT(opacity(h, material), 0.5) << material;
    for (double material : {hu::kMyocardium, hu::kVisceralFat, hu::kLungBack, hu::kCorticalBone})
        EXPECT_EQ(opacityOf(h, material), 0.0) << material;
    for (const auto& c : h.rgb)
        EXPECT_GT(c[0], 2 * std::max(c[1], c[2]));
}
