// The CT phantom as the game reads it from the build's run folder: the volume, the icons,
// the same bytes from every run, level boxes framing their organs, what each layer's file
// shows and leaves exactly clear.
#include "app/LevelTable.h"
#include "classification/LookupTable.h"
#include "classification/TfnReader.h"
#include "classification/Trapez.h"
#include "tests/support/ScratchDir.h"
#include "tools/phantom/Phantom.h"
#include "tools/phantom/Tissue.h"
#include "volume/DIBLoader.h"
#include "volume/IntensityRange.h"
#include "volume/MetaImageLoader.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace phantom;

namespace {

std::string dataPath(const std::string& name) { return std::string(QUILLET_DATA_DIR) + "/" + name; }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The game's intensity after its stretch of a volume spanning -1024 .. 3071.
double normalised(double huValue) { return (huValue + 1024) / 4095.0; }

// Whether the game's rasterised preset has any opacity at this HU: strictly between its feet.
bool shows(int preset, double huValue)
{
    const game::OrganPreset* p = game::findOrganPreset(preset);
    return p && normalised(huValue) > p->points[0][0] && normalised(huValue) < p->points[3][0];
}

const double kMaterials[] = {
    hu::kAir, hu::kLungFront, hu::kLungBack, hu::kBowelGas, hu::kFat, hu::kVisceralFat, hu::kFluid,
    hu::kBowelContent, hu::kSkin, hu::kBowelWall, hu::kMuscle, hu::kMyocardium, hu::kThrombus, hu::kPancreas,
    hu::kLiver, hu::kSpleen, hu::kVein, hu::kDisc, hu::kCartilage, hu::kKidneyMedulla, hu::kRenalVein,
    hu::kLungVessel, hu::kTable, hu::kKidneyCortex, hu::kCancellousBone, hu::kRightHeartBlood,
    hu::kPulmonaryArtery, hu::kAortaBlood, hu::kLeftHeartBlood, hu::kCorticalBone};

int runGenerator(const std::string& arguments)
{
    int status = std::system((std::string("'") + QUILLET_PHANTOM_EXE + "' " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(Phantom, GamesReadersLoadTheVolumeWithItsSizesSpacingsAndWholeRangeAndBothIcons)
{
    VolumeRecord record{};
    loadMetaImage(record, dataPath("taa.mhd"));
    ASSERT_NE(record.voxels, nullptr);
    const std::unique_ptr<unsigned char[]> owned(record.voxels);
    EXPECT_EQ(record.voxelType, 0x1402u); // GL_SHORT
    EXPECT_EQ(std::vector<int>(record.extent, record.extent + 4), (std::vector<int>{256, 128, 256, 1}));
    EXPECT_EQ(std::vector<float>(record.spacing, record.spacing + 3), (std::vector<float>{1.5625f, 2.5f, 2.5f}));
    EXPECT_EQ(readFile(dataPath("taa.raw")), std::string(reinterpret_cast<char*>(record.voxels), Grid::count() * 2));
    // Both ends of the scanner's range occur, so that the stretch maps HU to
    // (HU + 1024) / 4095, which the level boxes and the ".tfn" windows rely on.
    testing::internal::CaptureStdout();
    convertSignedShort(reinterpret_cast<short*>(record.voxels), unsigned(Grid::count()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "SHORT Intensity Range [-1024, 3071]\n");

    for (const char* name : {"rottool.bmp", "movetool.bmp"}) {
        unsigned char *data = nullptr, *palette = nullptr;
        int w = 0, h = 0, bytes = 0;
        const int loaded = getRAWfromDIB(dataPath(name).c_str(), &data, &w, &h, &bytes, &palette);
        EXPECT_TRUE(loaded == kDIBLoaded && data && w >= 32 && h >= 32 && bytes == 3) << name;
        delete[] data;
        delete[] palette;
    }
}

TEST(Phantom, SecondRunWritesTheSameBytesAndRefusesWhatItCannotDo)
{
    // The build ran with its default threads, this run paints with one. Slices that
    // cross at the volume's far corner lie on its faces, which count as inside.
    testfs::ScratchDir dir;
    const std::string out = "--out '" + dir.path().string() + "' --slices '" + dir.file("s.pgm") + "'";
    ASSERT_EQ(runGenerator(out + " --at 400,0,640 --threads 1"), 0);
    for (const char* name : {"taa.mhd", "taa.raw", "rottool.bmp", "movetool.bmp"})
        EXPECT_TRUE(readFile(dir.file(name)) == readFile(dataPath(name))) << name; // the first test loads them
    EXPECT_EQ(readFile(dir.file("s.pgm")).size(), std::string("P5\n724 409\n255\n").size() + 724 * 409);

    // Each refusal comes before anything is painted or written.
    EXPECT_EQ(runGenerator(""), 2) << "nothing to do";
    for (const char* malformed : {"--at 1,2", "--at 400.01,0,0", "--at 0,-0.01,0", "--at 0,320.01,0",
                                  "--at 0,0,640.01", "--at 1,2,3x", "--window 40,0", "--threads 0",
                                  "--threads 65", "--colour red", "--out"})
        EXPECT_EQ(runGenerator("--slices '" + dir.file("m.pgm") + "' " + malformed), 2) << malformed;
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"movetool.bmp", "rottool.bmp", "s.pgm", "taa.mhd", "taa.raw"}))
        << "nothing half-written is left behind";
}

TEST(Phantom, EveryLevelBoxFramesItsOrganAndTheWindowShowsLittleElsewhere)
{
    const struct {
        const char* what;
        std::initializer_list<Organ> organs; // what the window is meant to show in the box
        double minimumFill;                  // of the box, by those organs, inside the window
        double shifts[2][3];                 // two boxes of the same size elsewhere in the body
        double minimumInside;                // of the first organ's visible voxels, in the box
    } levels[game::kLevelCount] = {
        // Fills measured 33.2, 23.7, 22.7, 56.5, 17.1, 53.7, 14.0 %. The gas of stomach and
        // rectum reaches beyond their small boxes, the colon beyond its sagging middle.
        {"both lungs", {Organ::LungRight, Organ::LungLeft}, 0.30, {{0, 0, 0.52}, {0, 0, 0.45}}, 0.85},
        {"left kidney", {Organ::KidneyLeft, Organ::RenalVessel}, 0.20, {{-0.30, 0, 0}, {0, 0.20, 0}}, 0.95},
        {"right kidney", {Organ::KidneyRight, Organ::RenalVessel}, 0.20, {{0, 0.10, 0}, {0.35, 0, 0}}, 0.9},
        {"stomach gas", {Organ::StomachGas}, 0.45, {{-0.20, 0, 0}, {0, 0, 0.30}}, 0},
        {"gas in rectum and sigmoid", {Organ::RectosigmoidGas}, 0.14, {{-0.18, 0, 0}, {0, 0, -0.30}}, 0},
        {"transverse colon gas", {Organ::TransverseColonGas}, 0.45, {{0, -0.15, -0.20}, {-0.20, 0.05, -0.30}}, 0.4},
        {"heart and aortic root", {Organ::HeartBlood, Organ::Aorta, Organ::PulmonaryArtery}, 0.12,
         {{0, 0, 0.30}, {0, 0, 0.40}}, 0.9},
    };
    // What a window shows comes from the file the game reads; which organ a voxel belongs
    // to from painting the same anatomy again with labels.
    std::vector<std::int16_t> hu(Grid::count());
    std::ifstream(dataPath("taa.raw"), std::ios::binary).read(reinterpret_cast<char*>(hu.data()), Grid::count() * 2);
    const PhantomVolume labelled = generatePhantom(true, 2);
    ASSERT_EQ(labelled.hu, hu) << "the run folder's taa.raw is not what the generator paints now";
    for (int level = 0; level < game::kLevelCount; ++level) {
        const auto& e = levels[level];
        const game::LevelRow& box = game::kLevels[level];
        SCOPED_TRACE(e.what);
        auto boxAt = [&](const double (&s)[3]) {
            auto mm = [&](const double* b) { return Grid::fromObject({b[0] + s[0], b[1] + s[1], b[2] + s[2]}); };
            return regionOf({mm(box.boxMin), mm(box.boxMax)}, wholeGrid());
        };
        // Voxels of a region, those of them the window shows, and of these the organs'.
        auto count = [&](const VoxelRegion& r, std::initializer_list<Organ> organs) {
            std::array<double, 3> c{};
            for (int k = r.k0; k < r.k1; ++k)
                for (int j = r.j0; j < r.j1; ++j)
                    for (int i = r.i0; i < r.i1; ++i) {
                        const size_t v = Grid::index(i, j, k);
                        const bool shown = shows(box.preset, hu[v]);
                        c[0] += 1;
                        c[1] += shown;
                        for (Organ o : organs)
                            c[2] += shown && labelled.organs[v] == std::uint8_t(o);
                    }
            return c;
        };
        const auto here = count(boxAt({0, 0, 0}), e.organs);
        EXPECT_GE(here[2] / here[0], e.minimumFill);
        EXPECT_GE(here[2] / here[1], 0.85) << "the intended organs are most of what shows";
        const Organ first = *e.organs.begin();
        EXPECT_GE(count(boxAt({0, 0, 0}), {first})[2] / count(wholeGrid(), {first})[2], e.minimumInside);
        for (const auto& shift : e.shifts) {
            const auto other = count(boxAt(shift), e.organs);
            EXPECT_GT(other[0], here[0] * 0.9) << "still inside the volume";
            EXPECT_LE(other[1] / other[0], here[1] / here[0] / 5) << "shift " << &shift - e.shifts;
        }
    }
}

TEST(Phantom, EachLayerFileShowsItsMaterialsAndLeavesTheOthersExactlyClear)
{
    using namespace Classification;
    const struct {
        const char* file;
        const char* name; // the levels remove the organ file's record by this name
        std::initializer_list<double> shown;
        double least, most; // opacity at the shown values; the table's highest
        double share[2];    // of the volume's voxels that the layer shows at all, measured 0.84 and 1.66 %
        bool othersClear;   // no level shows the organ file's record
    } files[] = {// The partial volumes at the body's boundary, faintly: the body stays see-through.
                 {"CT Skin.tfn", "Skin", {-300}, 0.3, 0.7, {0.004, 0.016}, true},
                 {"CT Skin 2.tfn", "Bone", {hu::kCorticalBone}, 1.0, 1.0, {0.008, 0.03}, true},
                 {"Heart.tfn", "Heart", {}, 0, 1.0, {0, 1}, false}};
    constexpr int kEntries = 128; // the layers' lookup tables
    std::vector<std::int16_t> hu(Grid::count());
    std::ifstream(dataPath("taa.raw"), std::ios::binary).read(reinterpret_cast<char*>(hu.data()), Grid::count() * 2);
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        // One item a line, no carriage returns (they would end up in the names).
        const std::string text = readFile(dataPath(std::string("tfn/") + f.file));
        EXPECT_TRUE(!text.empty() && text.back() == '\n' && text.find('\r') == text.npos);
        std::istringstream in(text);
        std::vector<TfnRecord> records;
        EXPECT_EQ(readTfnRecords(in, records), TfnReadResult::Complete);
        EXPECT_TRUE((in >> std::ws).eof()) << "text after the last record";
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].name, f.name);
        const ShapeColour& plateau = records[0].colours[2];
        EXPECT_TRUE(plateau.r > plateau.b && plateau.r >= plateau.g && plateau.g >= plateau.b) << "warm, not blue";

        VornTrapez shape(records[0].name);
        EXPECT_TRUE(shape.setPoints(records[0].points));
        std::copy(records[0].colours, records[0].colours + 3, shape.colours.begin());
        std::vector<unsigned short> table(kEntries * 4, 0);
        ASSERT_TRUE(rasteriseLookupTable({&shape}, shape.minX(), shape.maxX(), kEntries, table.data()));
        // The opacity the ray caster reads: entries at i / 127, sampled linearly.
        auto opacity = [&](double huValue) {
            const double x = std::clamp(normalised(huValue), 0.0, 1.0) * (kEntries - 1);
            const int i = std::min(int(x), kEntries - 2);
            return ((i + 1 - x) * table[4 * i + 3] + (x - i) * table[4 * i + 7]) / 65535.0;
        };
        unsigned short most = 0;
        for (int i = 0; i < kEntries; ++i)
            most = std::max(most, table[4 * i + 3]);
        EXPECT_LE(most / 65535.0, f.most);
        for (double material : f.shown)
            EXPECT_GE(opacity(material), f.least) << material;
        const double shown = std::count_if(hu.begin(), hu.end(), [&](double v) { return opacity(v) > 0; });
        EXPECT_TRUE(shown >= f.share[0] * hu.size() && shown <= f.share[1] * hu.size()) << shown / hu.size();
        // Every other material clear by its noise and one table entry more, or each block
        // of it would count as visible (the skin once reached into the fat under it).
        const double margin = hu::kNoiseBound + 4095.0 / (kEntries - 1);
        for (double material : kMaterials) {
            const bool clear = f.othersClear && std::count(f.shown.begin(), f.shown.end(), material) == 0;
            for (double h = -margin; clear && h <= margin; h += 0.5)
                ASSERT_EQ(opacity(material + h), 0.0) << material << " + " << h;
        }
    }
}
