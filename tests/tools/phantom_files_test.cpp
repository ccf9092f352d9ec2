// The files the build generates into data/: what the game's volume reader will find in
// them, the range of the stored values, and that every run writes the same bytes.
#include "tests/support/ScratchDir.h"
#include "tests/tools/PhantomTestData.h"
#include "tools/phantom/Phantom.h"
#include "tools/phantom/SlicePicture.h"
#include "volume/IntensityRange.h"
#include "volume/MetaImageLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace phantom;
using namespace phantomtest;

namespace {

int runGenerator(const std::string& arguments)
{
    int status = std::system((std::string("'") + QUILLET_PHANTOM_EXE + "' " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(PhantomFiles, GamesVolumeReaderLoadsTheGeneratedVolumeWithItsSizesSpacingsAndType)
{
    VolumeRecord record{};
    record.voxels = nullptr;
    record.spacing[0] = record.spacing[1] = record.spacing[2] = 1.0f;
    loadMetaImage(record, dataPath("taa.mhd"));
    ASSERT_NE(record.voxels, nullptr);
    EXPECT_EQ(record.voxelType, 0x1402u); // GL_SHORT
    EXPECT_EQ(std::vector<int>(record.extent, record.extent + 4), (std::vector<int>{256, 128, 256, 1}));
    // Object extent (0.625, 0.5, 1): z is the longest axis.
    EXPECT_EQ(std::vector<float>(record.spacing, record.spacing + 3), (std::vector<float>{1.5625f, 2.5f, 2.5f}));
    std::vector<std::int16_t> expected = readVoxels(dataPath("taa.raw"));
    EXPECT_EQ(expected.size(), Grid::count()) << "the raw file holds exactly the voxels";
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), reinterpret_cast<const std::int16_t*>(record.voxels)));
    delete[] record.voxels;
}

TEST(PhantomFiles, BothEndsOfTheScannerRangeOccurSoTheStretchIsExact)
{
    // The game stretches min..max to the full 16 bits; with -1024 and 3071 present a
    // voxel's normalised intensity is (HU + 1024) / 4095, which the levels rely on.
    std::vector<std::int16_t> hu = readVoxels(dataPath("taa.raw"));
    ASSERT_EQ(hu.size(), Grid::count());
    std::vector<std::int16_t> stretched = hu;
    testing::internal::CaptureStdout(); // its range report
    convertSignedShort(reinterpret_cast<short*>(stretched.data()), unsigned(stretched.size()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "SHORT Intensity Range [-1024, 3071]\n");

    // The top of the range is the marker bead in the table, a handful of voxels under
    // the patient's back, nowhere in a level box.
    int metal = 0;
    for (int k = 0; k < Grid::nz; ++k)
        for (int j = 0; j < Grid::ny; ++j)
            for (int i = 0; i < Grid::nx; ++i)
                if (hu[Grid::index(i, j, k)] == 3071) {
                    ++metal;
                    EXPECT_LT(Grid::centre(i, j, k).y, 28.0);
                }
    EXPECT_GE(metal, 1);
    EXPECT_LE(metal, 30);
}

TEST(PhantomFiles, SecondRunWritesIdenticalBytesAndTheSlicePicture)
{
    // data/ was written by the build's run; this is a second, independent one.
    testfs::ScratchDir dir;
    ASSERT_EQ(runGenerator("--out '" + dir.path().string() + "' --slices '" + dir.file("s.png") + "' --threads 1"), 0);
    for (const char* name : {"taa.mhd", "taa.raw", "rottool.bmp", "movetool.bmp"}) {
        SCOPED_TRACE(name);
        std::vector<unsigned char> again = readBytes(dir.file(name));
        ASSERT_FALSE(again.empty());
        EXPECT_TRUE(again == readBytes(dataPath(name)));
    }
    EXPECT_NE(access(dir.file("taa.raw.part").c_str(), F_OK), 0) << "nothing half-written is left behind";
    std::vector<unsigned char> png = readBytes(dir.file("s.png"));
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_NE(access(dir.file("s.png.pgm").c_str(), F_OK), 0) << "intermediate removed";

    for (const char* malformed : {"", "--at 1,2 --slices /dev/null", "--at 401,10,10 --slices /dev/null",
                                  "--at 10,-1,10 --slices /dev/null", "--window 40,-5 --slices /dev/null",
                                  "--threads 0 --out /tmp", "--out"})
        EXPECT_EQ(runGenerator(malformed), 2) << malformed;
}

TEST(PhantomFiles, SlicePictureShowsEachViewTheRightWayRound)
{
    // A volume of air with one bright block in the patient's left, front, upper part:
    // it must appear right of centre in the coronal and axial views, at the top in the
    // coronal and sagittal views, in front (left) in the sagittal and up in the axial.
    std::vector<std::int16_t> hu(Grid::count(), -1000);
    for (int k = 20; k < 40; ++k)           // z 50..100 mm: near the shoulders
        for (int j = 100; j < 120; ++j)     // y 250..300 mm: at the front
            for (int i = 200; i < 230; ++i) // x 312..359 mm: patient's left
                hu[Grid::index(i, j, k)] = 1000;
    SliceOptions o;
    o.at = {335, 275, 75};
    o.level = 0;
    o.width = 2000;
    GreyImage img = slicePicture(hu, o);
    ASSERT_EQ(img.width, 724);
    ASSERT_EQ(img.height, 409);
    auto px = [&](int x, int y) { return int(img.grey[size_t(y) * img.width + x]); };
    const int sagittal = 256 + 4, axial = 256 + 4 + 204 + 4;
    // Coronal: x 335 mm -> column 214; z 75 mm -> row 48. Not mirrored, not upside down.
    EXPECT_EQ(px(214, 48), 255);
    EXPECT_EQ(px(256 - 214, 48), 0);
    EXPECT_EQ(px(214, 409 - 48), 0);
    // Sagittal: front on the left; y 275 mm -> column (320 - 275) / 1.5625 = 28.
    EXPECT_EQ(px(sagittal + 28, 48), 255);
    EXPECT_EQ(px(sagittal + 204 - 28, 48), 0);
    // Axial: front up, patient's left on the right; row 28, column 214.
    EXPECT_EQ(px(axial + 214, 28), 255);
    EXPECT_EQ(px(axial + 214, 204 - 28), 0);
    EXPECT_EQ(px(axial + 256 - 214, 28), 0);
}
