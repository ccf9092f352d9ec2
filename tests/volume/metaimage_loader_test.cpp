// The MetaImage loader against headers and voxel files written by the tests: the header
// grammar, the voxel types, the console lines, the failure exits and the refusals.
#include "volume/MetaImageLoader.h"

#include "tests/support/ScratchDir.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

// A record as a caller hands it over, with sentinels where the loader must not write.
struct OwnedRecord {
    VolumeRecord r{0x7777u, {-7, -7, -7, -7}, nullptr, {1.0f, 1.0f, 1.0f}};
    ~OwnedRecord() { delete[] r.voxels; }
};

constexpr unsigned kCallerType = 0x7777u;

void expectCallerValues(const VolumeRecord& r)
{
    EXPECT_EQ(r.voxelType, kCallerType);
    EXPECT_EQ(r.voxels, nullptr);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(r.extent[i], -7) << "extent " << i;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(r.spacing[i], 1.0f) << "spacing " << i;
}

std::string counting(std::size_t n, int start = 1)
{
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += char(start + int(i));
    return out;
}

class MetaImageLoader : public ::testing::Test {
protected:
    // Writes the header as "v.mhd" and loads it through the path overload; returns stdout.
    std::string load(OwnedRecord& rec, const std::string& header, const std::string& name = "v.mhd")
    {
        dir.write(name, header);
        testing::internal::CaptureStdout();
        loadMetaImage(rec.r, dir.file(name));
        return testing::internal::GetCapturedStdout();
    }
    std::string dirLine() const { return dir.path().string() + "/\n"; }
    std::string loadingLine(const std::string& name) const
    {
        return "MHD Loader >> Loading file " + dir.file(name) + "\n";
    }
    static std::string dataOf(const VolumeRecord& r, std::size_t n)
    {
        return r.voxels ? std::string(reinterpret_cast<const char*>(r.voxels), n) : std::string("<null>");
    }

    testfs::ScratchDir dir;
};

TEST_F(MetaImageLoader, FixedPathReadsGameHeaderWithItsLogLines)
{
    // 256 x 256 x 128 unsigned shorts: 16777216 bytes, sparse except for two marks.
    dir.write("taa.mhd", "NDims = 3\nDimSize = 256 256 128\nElementSpacing = 0.7 0.7 1.5\n"
                         "ElementType = MET_USHORT\nElementDataFile = taa.raw\n");
    dir.write("taa.raw", "");
    std::filesystem::resize_file(dir.path() / "taa.raw", 16777216);
    {
        std::fstream raw(dir.path() / "taa.raw", std::ios::in | std::ios::out | std::ios::binary);
        raw.write("\x34\x12", 2);
        raw.seekp(16777216 - 2);
        raw.write("\xCD\xAB", 2);
    }
    OwnedRecord rec;
    std::string out;
    {
        testfs::WorkingDirectory cwd(dir.path());
        testing::internal::CaptureStdout();
        loadMetaImage(rec.r);
        out = testing::internal::GetCapturedStdout();
    }
    EXPECT_EQ(out, "./\nMHD Loader >> Loading file ./taa.raw\n");
    EXPECT_EQ(rec.r.voxelType, unsigned(GL_UNSIGNED_SHORT));
    EXPECT_EQ(rec.r.extent[0], 256);
    EXPECT_EQ(rec.r.extent[1], 256);
    EXPECT_EQ(rec.r.extent[2], 128);
    EXPECT_EQ(rec.r.extent[3], 1);
    EXPECT_FLOAT_EQ(rec.r.spacing[0], 0.7f);
    EXPECT_FLOAT_EQ(rec.r.spacing[1], 0.7f);
    EXPECT_FLOAT_EQ(rec.r.spacing[2], 1.5f);
    ASSERT_NE(rec.r.voxels, nullptr);
    const auto* shorts = reinterpret_cast<const std::uint16_t*>(rec.r.voxels);
    EXPECT_EQ(shorts[0], 0x1234);
    EXPECT_EQ(shorts[1], 0);
    EXPECT_EQ(shorts[16777216 / 2 - 1], 0xABCD);  // the whole byte count was read
}

TEST_F(MetaImageLoader, LineEndsAndSpacesDoNotChangeTheVolume)
{
    dir.write("d.raw", counting(12));
    const std::string variants[] = {
        "NDims = 3\nDimSize = 3 2 1\nElementSpacing = 0.5 0.25 2\nElementType = MET_USHORT\nElementDataFile = d.raw\n",
        "NDims = 3\r\nDimSize = 3 2 1\r\nElementSpacing = 0.5 0.25 2\r\nElementType = MET_USHORT\r\n"
        "ElementDataFile = d.raw\r\n",
        "NDims=3\nDimSize=3 2 1\nElementSpacing=0.5 0.25 2\nElementType=MET_USHORT\nElementDataFile=d.raw",
        "N Dims = 3\nDim Size =   3  2  1  \nElement Spacing = 0.5 0.25 2\nElement Type =  MET_ USHORT  \r\n"
        "Element DataFile =  d .raw \n",
    };
    for (const std::string& header : variants) {
        SCOPED_TRACE(header);
        OwnedRecord rec;
        EXPECT_EQ(load(rec, header), dirLine() + loadingLine("d.raw"));
        EXPECT_EQ(rec.r.voxelType, unsigned(GL_UNSIGNED_SHORT));
        EXPECT_EQ((std::vector<int>(rec.r.extent, rec.r.extent + 4)), (std::vector<int>{3, 2, 1, 1}));
        EXPECT_EQ(rec.r.spacing[0], 0.5f);
        EXPECT_EQ(rec.r.spacing[1], 0.25f);
        EXPECT_EQ(rec.r.spacing[2], 2.0f);
        EXPECT_EQ(dataOf(rec.r, 12), counting(12));
    }
}

TEST_F(MetaImageLoader, KeysThatDoNotMatchExactlyAreSkipped)
{
    dir.write("d.raw", counting(64));
    {
        SCOPED_TRACE("DimSize before NDims reads no extents and its values are skipped");
        OwnedRecord rec;
        load(rec, "DimSize = 4 4 4\nNDims = 3\nElementType = MET_UCHAR\nElementDataFile = d.raw\n");
        EXPECT_EQ((std::vector<int>(rec.r.extent, rec.r.extent + 4)), (std::vector<int>{1, 1, 1, 1}));
        EXPECT_EQ(dataOf(rec.r, 1), counting(1));
    }
    {
        SCOPED_TRACE("a blank line is joined to the next key, which then matches nothing");
        OwnedRecord rec;
        load(rec, "NDims = 3\nDimSize = 2 2 2\n\nElementSpacing = 5 5 5\nElementType = MET_UCHAR\n"
                  "ElementDataFile = d.raw\n");
        EXPECT_EQ(rec.r.extent[0], 2);
        EXPECT_EQ(rec.r.spacing[0], 1.0f);
        EXPECT_EQ(rec.r.spacing[2], 1.0f);
    }
    {
        SCOPED_TRACE("a line without '=' swallows the next key the same way");
        OwnedRecord rec;
        load(rec, "NDims = 3\nDimSize = 2 2 2\nsome comment\nElementSpacing = 5 5 5\nElementType = MET_UCHAR\n"
                  "ElementDataFile = d.raw\n");
        EXPECT_EQ(rec.r.spacing[0], 1.0f);
    }
    {
        SCOPED_TRACE("keys are case-sensitive; unknown and unused keys change nothing");
        OwnedRecord rec;
        std::string out = load(rec, "ObjectType = Image\nndims = 2\nNDims = 3\nBinaryData = True\n"
                                    "DimSize = 4 2 2\nPosition = 1 2 3\nImagePositionPatient = 9 9 9\n"
                                    "ElementNumberOfChannels = 3\nElementByteOrderMSB = True\n"
                                    "TransformMatrix = 1 0 0 0 1 0 0 0 1\nElementType = MET_UCHAR\n"
                                    "ElementDataFile = d.raw\n");
        // Channels and byte order do not change the byte count or the bytes: no short-file warning.
        EXPECT_EQ(out, dirLine() + loadingLine("d.raw"));
        EXPECT_EQ((std::vector<int>(rec.r.extent, rec.r.extent + 4)), (std::vector<int>{4, 2, 2, 1}));
        EXPECT_EQ(dataOf(rec.r, 16), counting(16));
    }
}

TEST_F(MetaImageLoader, HeaderSizeOnlyWarnsAndDataStillStartsAtByteZero)
{
    dir.write("d.raw", counting(8));
    const std::string tail = "NDims = 1\nDimSize = 8\nElementType = MET_UCHAR\nElementDataFile = d.raw\n";
    OwnedRecord warned;
    EXPECT_EQ(load(warned, "HeaderSize = 512\n" + tail),
              dirLine() + "Common >> Warning: 512 bytes header\n" + loadingLine("d.raw"));
    EXPECT_EQ(dataOf(warned.r, 8), counting(8));
    for (const char* size : {"-1", "0"}) {
        OwnedRecord rec;
        EXPECT_EQ(load(rec, std::string("HeaderSize = ") + size + "\n" + tail), dirLine() + loadingLine("d.raw"))
            << size;
    }
}

TEST_F(MetaImageLoader, EveryVoxelTypeKeepsItsBytesAndGLType)
{
    struct Case {
        const char* name;
        unsigned glType;
        std::size_t bytesPerVoxel;
    } cases[] = {{"MET_UCHAR", GL_UNSIGNED_BYTE, 1},
                 {"MET_SHORT", GL_SHORT, 2},
                 {"MET_USHORT", GL_UNSIGNED_SHORT, 2},
                 {"MET_UINT", GL_UNSIGNED_INT, 4},
                 {"MET_FLOAT", GL_FLOAT, 4}};
    const std::size_t voxels = 2 * 3 * 2;
    dir.write("d.raw", counting(voxels * 4 + 8, 100));  // longer than any needs
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OwnedRecord rec;
        std::string out = load(rec, std::string("NDims = 3\nDimSize = 2 3 2\nElementType = ") + c.name +
                                        "\nElementDataFile = d.raw\n");
        EXPECT_EQ(out, dirLine() + loadingLine("d.raw"));
        EXPECT_EQ(rec.r.voxelType, c.glType);
        EXPECT_EQ(dataOf(rec.r, voxels * c.bytesPerVoxel), counting(voxels * c.bytesPerVoxel, 100));
    }
}

TEST_F(MetaImageLoader, UnsupportedTypeEndsTheLoadWithoutData)
{
    dir.write("d.raw", counting(64));
    OwnedRecord rec;
    std::string out = load(rec, "NDims = 3\nDimSize = 2 2 2\nElementType = MET_DOUBLE\nElementDataFile = d.raw\n");
    EXPECT_EQ(out, dirLine() + "Currently unsupported voxel_type! MET_DOUBLE\n");
    expectCallerValues(rec.r);
}

TEST_F(MetaImageLoader, RecordKeepsCallerValuesUntilTheDataIsRead)
{
    {
        SCOPED_TRACE("missing header: silent");
        OwnedRecord rec;
        testing::internal::CaptureStdout();
        loadMetaImage(rec.r, dir.file("absent.mhd"));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        expectCallerValues(rec.r);
    }
    {
        SCOPED_TRACE("no ElementDataFile: only the type is written");
        OwnedRecord rec;
        EXPECT_EQ(load(rec, "NDims = 3\nDimSize = 2 2 2\nElementSpacing = 3 3 3\nElementType = MET_SHORT\n"),
                  dirLine());
        EXPECT_EQ(rec.r.voxelType, unsigned(GL_SHORT));
        rec.r.voxelType = kCallerType;
        expectCallerValues(rec.r);
    }
    {
        SCOPED_TRACE("a number that does not parse stops the parsing");
        OwnedRecord rec;
        dir.write("d.raw", counting(8));
        load(rec, "NDims = 3\nDimSize = 2 two 2\nElementType = MET_UCHAR\nElementDataFile = d.raw\n");
        expectCallerValues(rec.r);
    }
}

TEST_F(MetaImageLoader, KeysAfterTheDataFileAreStillParsed)
{
    dir.write("a.raw", counting(8, 1));
    dir.write("b.raw", counting(16, 50));
    OwnedRecord rec;
    std::string out = load(rec, "NDims = 2\nDimSize = 2 2\nElementType = MET_SHORT\nElementDataFile = a.raw\n"
                                "ElementType = MET_USHORT\nDimSize = 9 9 9\n");
    EXPECT_EQ(out, dirLine() + loadingLine("a.raw"));
    EXPECT_EQ(rec.r.voxelType, unsigned(GL_UNSIGNED_SHORT));  // overwritten: the same two bytes a voxel
    EXPECT_EQ(rec.r.extent[0], 2);                            // the delivered extents stay
    EXPECT_EQ(dataOf(rec.r, 8), counting(8, 1));

    OwnedRecord twice;
    out = load(twice, "NDims = 3\nDimSize = 2 2 2\nElementType = MET_UCHAR\nElementDataFile = a.raw\n"
                      "ElementType = MET_USHORT\nElementDataFile = b.raw\n");
    EXPECT_EQ(out, dirLine() + loadingLine("a.raw") + loadingLine("b.raw"));
    EXPECT_EQ(twice.r.voxelType, unsigned(GL_UNSIGNED_SHORT));
    EXPECT_EQ(dataOf(twice.r, 16), counting(16, 50));  // loaded again with the new type's byte count
}

// Found by fuzzing: a later "ElementType" of another size left a record whose array was
// too small for its own extents and type, and the stretch before the upload then read
// and wrote past its end.
TEST_F(MetaImageLoader, TypeOfAnotherSizeAfterTheLastDataFileRefusesTheData)
{
    dir.write("a.raw", counting(8, 1));
    struct Case {
        const char* header;
        const char* line;
    } cases[] = {
        {"NDims = 3\nDimSize = 2 2 2\nElementType = MET_UCHAR\nElementDataFile = a.raw\nElementType = MET_FLOAT\n",
         "MHD Loader >> Data refused: it was read as 1-byte voxels, but \"ElementType\" is now MET_FLOAT\n"},
        {"NDims = 1\nDimSize = 4\nElementType = MET_USHORT\nElementDataFile = a.raw\nElementType = MET_UCHAR\n"
         "ElementType = MET_DOUBLE\n",
         "Currently unsupported voxel_type! MET_DOUBLE\n"
         "MHD Loader >> Data refused: it was read as 2-byte voxels, but \"ElementType\" is now MET_UCHAR\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        OwnedRecord rec;
        std::string out = load(rec, c.header);
        EXPECT_EQ(out, dirLine() + loadingLine("a.raw") + c.line);
        expectCallerValues(rec.r);
    }

    SCOPED_TRACE("a later data file read with the new type makes the record whole again");
    OwnedRecord rec;
    dir.write("b.raw", counting(32, 40));
    load(rec, "NDims = 3\nDimSize = 2 2 2\nElementType = MET_UCHAR\nElementDataFile = a.raw\n"
              "ElementType = MET_FLOAT\nElementDataFile = b.raw\n");
    EXPECT_EQ(rec.r.voxelType, unsigned(GL_FLOAT));
    EXPECT_EQ(dataOf(rec.r, 32), counting(32, 40));
}

TEST_F(MetaImageLoader, DataPathIsTheHeaderDirectoryPlusTheName)
{
    const std::string header = "NDims = 1\nDimSize = 4\nElementType = MET_UCHAR\nElementDataFile = LOCAL\n";
    dir.write("LOCAL", counting(4, 7));
    {
        SCOPED_TRACE("LOCAL is a file name like any other");
        OwnedRecord rec;
        EXPECT_EQ(load(rec, header), dirLine() + loadingLine("LOCAL"));
        EXPECT_EQ(dataOf(rec.r, 4), counting(4, 7));
    }
    {
        SCOPED_TRACE("a backslash after the last slash is the separator");
        // On this system "sub\v.mhd" is one file name; its directory per the rule ends at the backslash.
        dir.write("sub\\d.raw", counting(4, 20));
        OwnedRecord rec;
        std::string out = load(rec, "NDims = 1\nDimSize = 4\nElementType = MET_UCHAR\nElementDataFile = d.raw\n",
                               "sub\\v.mhd");
        EXPECT_EQ(out, dir.file("sub\\") + "\nMHD Loader >> Loading file " + dir.file("sub\\d.raw") + "\n");
        EXPECT_EQ(dataOf(rec.r, 4), counting(4, 20));
    }
    {
        SCOPED_TRACE("no separator: empty directory, data beside the working directory");
        dir.write("plain.mhd", header);
        OwnedRecord rec;
        testfs::WorkingDirectory cwd(dir.path());
        testing::internal::CaptureStdout();
        loadMetaImage(rec.r, "plain.mhd");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nMHD Loader >> Loading file LOCAL\n");
        EXPECT_EQ(dataOf(rec.r, 4), counting(4, 7));
    }
}

using MetaImageLoaderDeathTest = MetaImageLoader;

TEST_F(MetaImageLoaderDeathTest, UnopenableOrUnreadableDataFileEndsTheProcessWithStatusOne)
{
    // The loader's lines go to standard output; the child sends them to standard error,
    // where the death test can see them.
    dir.write("v.mhd", "NDims = 1\nDimSize = 4\nElementType = MET_UCHAR\nElementDataFile = absent.raw\n");
    EXPECT_EXIT(
        {
            std::cout.rdbuf(std::cerr.rdbuf());
            VolumeRecord r{};
            loadMetaImage(r, dir.file("v.mhd"));
        },
        ::testing::ExitedWithCode(1), "Loading file .*absent\\.raw\nWarning: could not load image data!\n$");

    std::filesystem::create_directory(dir.path() / "folder.raw");
    dir.write("w.mhd", "NDims = 1\nDimSize = 4\nElementType = MET_UCHAR\nElementDataFile = folder.raw\n");
    EXPECT_EXIT(
        {
            std::cout.rdbuf(std::cerr.rdbuf());
            VolumeRecord r{};
            loadMetaImage(r, dir.file("w.mhd"));
        },
        ::testing::ExitedWithCode(1), "Warning: could not load image data! Reading error occured\n$");
}

TEST_F(MetaImageLoader, HeadersThatWouldOverrunTheArraysAreRefused)
{
    dir.write("d.raw", counting(64));
    struct Case {
        const char* header;
        const char* line;
    } cases[] = {
        {"NDims = 5\nDimSize = 2 2 2 2 2\nElementType = MET_UCHAR\nElementDataFile = d.raw\n",
         "MHD Loader >> Header refused: NDims 5 is outside 0 to 4\n"},
        {"NDims = -1\nDimSize = 2\nElementType = MET_UCHAR\nElementDataFile = d.raw\n",
         "MHD Loader >> Header refused: NDims -1 is outside 0 to 4\n"},
        {"ElementType = MET_UCHAR\nNDims = 3\nDimSize = 2 -2 2\nElementDataFile = d.raw\n",
         "MHD Loader >> Header refused: negative DimSize -2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        OwnedRecord rec;
        EXPECT_EQ(load(rec, c.header), dirLine() + c.line);
        expectCallerValues(rec.r);  // the type of an earlier ElementType line is taken back too
    }
    {
        SCOPED_TRACE("a refusal after a delivered data file hands the caller's record back");
        OwnedRecord rec;
        std::string out = load(rec, "NDims = 3\nDimSize = 2 2 2\nElementType = MET_UCHAR\n"
                                    "ElementDataFile = d.raw\nNDims = 9\n");
        EXPECT_EQ(out, dirLine() + loadingLine("d.raw") + "MHD Loader >> Header refused: NDims 9 is outside 0 to 4\n");
        expectCallerValues(rec.r);
    }
}

// Found by fuzzing: a fourth extent of 0 made an empty array while the first three
// still counted eight voxels, and the stretch before the upload read past its end. An
// empty volume has nothing to show anyway.
TEST_F(MetaImageLoader, ZeroDimSizeIsRefusedBeforeAnyVoxelIsRead)
{
    // None of these data files exists: reaching the open would end the process.
    struct Case {
        const char* header;
        const char* line;
    } cases[] = {
        {"NDims = 4\nDimSize = 2 2 2 0\nElementType = MET_UCHAR\nElementDataFile = none.raw\n",
         "MHD Loader >> Header refused: DimSize 0 leaves the volume empty\n"},
        {"NDims = 3\nElementType = MET_SHORT\nDimSize = 0 0 0\nElementDataFile = none.raw\n",
         "MHD Loader >> Header refused: DimSize 0 leaves the volume empty\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        OwnedRecord rec;
        EXPECT_EQ(load(rec, c.header), dirLine() + c.line);
        expectCallerValues(rec.r);
    }
}

// Found by fuzzing: a spacing of 0 made an axis of the volume box 0 long (all of them 0
// made it 0 / 0), and the octree's refresh of a signed volume turned the resulting NaN
// into voxel indices.
TEST_F(MetaImageLoader, SpacingThatIsNotPositiveIsRefused)
{
    dir.write("d.raw", counting(8));
    struct Case {
        const char* header;
        const char* line;
    } cases[] = {
        {"NDims = 3\nDimSize = 2 2 2\nElementSpacing = 1 0 1\nElementType = MET_SHORT\nElementDataFile = d.raw\n",
         "MHD Loader >> Header refused: ElementSpacing 0 is not positive\n"},
        {"NDims = 3\nElementSpacing = 0.7 0.7 -1.5\nDimSize = 2 2 2\nElementType = MET_UCHAR\nElementDataFile = d.raw\n",
         "MHD Loader >> Header refused: ElementSpacing -1.5 is not positive\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        OwnedRecord rec;
        EXPECT_EQ(load(rec, c.header), dirLine() + c.line);
        expectCallerValues(rec.r);
    }

    SCOPED_TRACE("the fourth axis has no place in the box: its spacing is not delivered");
    OwnedRecord rec;
    dir.write("e.raw", counting(16));
    load(rec, "NDims = 4\nDimSize = 2 2 2 2\nElementSpacing = 1 2 3 0\nElementType = MET_UCHAR\nElementDataFile = e.raw\n");
    ASSERT_NE(rec.r.voxels, nullptr);
    EXPECT_EQ(rec.r.spacing[2], 3.0f);
}

TEST_F(MetaImageLoader, DataBeyond32BitCountsOrWithoutATypeIsRefusedBeforeAnyAllocation)
{
    // None of these data files exists: reaching the open would end the process.
    struct Case {
        const char* header;
        const char* line;
    } cases[] = {
        {"NDims = 3\nDimSize = 65536 65536 1\nElementType = MET_UCHAR\nElementDataFile = none.raw\n",
         "MHD Loader >> Data refused: 65536 x 65536 x 1 x 1 voxels of 1 bytes do not fit in 32-bit counts\n"},
        {"NDims = 3\nDimSize = 46341 46341 1\nElementType = MET_USHORT\nElementDataFile = none.raw\n",
         "MHD Loader >> Data refused: 46341 x 46341 x 1 x 1 voxels of 2 bytes do not fit in 32-bit counts\n"},
        {"NDims = 4\nDimSize = 2147483647 2147483647 2147483647 2147483647\nElementType = MET_FLOAT\n"
         "ElementDataFile = none.raw\n",
         "MHD Loader >> Data refused: 2147483647 x 2147483647 x 2147483647 x 2147483647 voxels of 4 bytes do not fit in 32-bit counts\n"},
        {"NDims = 3\nDimSize = 2 2 2\nElementDataFile = none.raw\nElementType = MET_UCHAR\n",
         "MHD Loader >> Data refused: \"ElementDataFile\" comes before a supported \"ElementType\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        OwnedRecord rec;
        EXPECT_EQ(load(rec, c.header), dirLine() + loadingLine("none.raw") + c.line);
        expectCallerValues(rec.r);
    }
}

TEST_F(MetaImageLoader, ShortFileLeavesZeroedTailAndSaysHowShort)
{
    // Dirty the heap block the 8-bit array is likely to reuse, so an unzeroed buffer shows.
    const std::size_t size = 64;
    {
        auto* dirty = new unsigned char[size];
        std::memset(dirty, 0xAB, size);
        delete[] dirty;
    }
    dir.write("d.raw", counting(40));
    OwnedRecord rec;
    std::string out = load(rec, "NDims = 3\nDimSize = 4 4 4\nElementType = MET_UCHAR\nElementDataFile = d.raw\n");
    EXPECT_EQ(out, dirLine() + loadingLine("d.raw") + "Common >> Warning: " + dir.file("d.raw") +
                       " is 24 bytes short; the missing voxels are 0\n");
    EXPECT_EQ(dataOf(rec.r, size), counting(40) + std::string(24, '\0'));

    dir.write("e.raw", "");
    OwnedRecord shorts;
    out = load(shorts, "NDims = 2\nDimSize = 3 3\nElementType = MET_SHORT\nElementDataFile = e.raw\n");
    EXPECT_EQ(out, dirLine() + loadingLine("e.raw") + "Common >> Warning: " + dir.file("e.raw") +
                       " is 18 bytes short; the missing voxels are 0\n");
    EXPECT_EQ(dataOf(shorts.r, 18), std::string(18, '\0'));
    EXPECT_EQ(shorts.r.extent[2], 1);
}

} // namespace
