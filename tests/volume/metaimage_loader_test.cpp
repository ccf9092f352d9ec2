// The MetaImage loader against headers and voxel files written by the tests: the header
// grammar, the voxel types, the console lines, the failure exits and the refusals.
#include "volume/MetaImageLoader.h"

#include "tests/support/ScratchDir.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

// A record as a caller hands it over, with sentinels where the loader must not write.
struct OwnedRecord {
    VolumeRecord r{0x7777u, {-7, -7, -7, -7}, nullptr, {1.0f, 1.0f, 1.0f}};
    ~OwnedRecord() { delete[] r.voxels; }
    std::vector<int> extents() const { return {r.extent, r.extent + 4}; }
    std::string data(std::size_t n) const
    {
        return r.voxels ? std::string(reinterpret_cast<const char*>(r.voxels), n) : std::string("<null>");
    }
};

void expectCallerValues(const VolumeRecord& r)
{
    EXPECT_EQ(r.voxelType, 0x7777u);
    EXPECT_EQ(r.voxels, nullptr);
    EXPECT_EQ((std::vector<int>(r.extent, r.extent + 4)), (std::vector<int>{-7, -7, -7, -7}));
    EXPECT_EQ((std::vector<float>(r.spacing, r.spacing + 3)), (std::vector<float>{1, 1, 1}));
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
    // Writes the header and loads it through the path overload; returns stdout.
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
    // The header prints `lines` after the directory line and hands the record back untouched.
    void expectRefused(const std::string& header, const std::string& lines)
    {
        SCOPED_TRACE(header);
        OwnedRecord rec;
        EXPECT_EQ(load(rec, header), dirLine() + lines);
        expectCallerValues(rec.r);
    }

    testfs::ScratchDir dir;
};

TEST_F(MetaImageLoader, FixedPathReadsTaaFromTheWorkingDirectoryWithItsLogLines)
{
    dir.write("taa.mhd", "NDims = 3\nDimSize = 4 2 2\nElementSpacing = 0.7 0.7 1.5\n"
                         "ElementType = MET_USHORT\nElementDataFile = taa.raw\n");
    dir.write("taa.raw", counting(32));
    OwnedRecord rec;
    testfs::WorkingDirectory cwd(dir.path());
    testing::internal::CaptureStdout();
    loadMetaImage(rec.r);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "./\nMHD Loader >> Loading file ./taa.raw\n");
    EXPECT_EQ(rec.r.voxelType, unsigned(GL_UNSIGNED_SHORT));
    EXPECT_EQ(rec.extents(), (std::vector<int>{4, 2, 2, 1}));
    EXPECT_FLOAT_EQ(rec.r.spacing[1], 0.7f);
    EXPECT_FLOAT_EQ(rec.r.spacing[2], 1.5f);
    EXPECT_EQ(rec.data(32), counting(32));
}

TEST_F(MetaImageLoader, LineEndsAndSpacesDoNotChangeTheVolume)
{
    dir.write("d.raw", counting(12));
    for (const char* header : {
             "NDims = 3\nDimSize = 3 2 1\nElementSpacing = 0.5 0.25 2\nElementType = MET_USHORT\nElementDataFile = d.raw\n",
             "NDims = 3\r\nDimSize = 3 2 1\r\nElementSpacing = 0.5 0.25 2\r\nElementType = MET_USHORT\r\n"
             "ElementDataFile = d.raw\r\n",
             "NDims=3\nDimSize=3 2 1\nElementSpacing=0.5 0.25 2\nElementType=MET_USHORT\nElementDataFile=d.raw",
             "N Dims = 3\nDim Size =   3  2  1  \nElement Spacing = 0.5 0.25 2\nElement Type =  MET_ USHORT  \r\n"
             "Element DataFile =  d .raw \n"}) {
        SCOPED_TRACE(header);
        OwnedRecord rec;
        EXPECT_EQ(load(rec, header), dirLine() + loadingLine("d.raw"));
        EXPECT_EQ(rec.r.voxelType, unsigned(GL_UNSIGNED_SHORT));
        EXPECT_EQ(rec.extents(), (std::vector<int>{3, 2, 1, 1}));
        EXPECT_EQ((std::vector<float>(rec.r.spacing, rec.r.spacing + 3)), (std::vector<float>{0.5f, 0.25f, 2.0f}));
        EXPECT_EQ(rec.data(12), counting(12));
    }
}

TEST_F(MetaImageLoader, KeysThatDoNotMatchExactlyAreSkipped)
{
    dir.write("d.raw", counting(64));
    const std::string tail = "ElementType = MET_UCHAR\nElementDataFile = d.raw\n";
    {
        SCOPED_TRACE("DimSize before NDims reads no extents and its values are skipped");
        OwnedRecord rec;
        load(rec, "DimSize = 4 4 4\nNDims = 3\n" + tail);
        EXPECT_EQ(rec.extents(), (std::vector<int>{1, 1, 1, 1}));
        EXPECT_EQ(rec.data(1), counting(1));
    }
    // A blank line, or a line without '=', is joined to the next key, which then matches nothing.
    for (const char* joiner : {"\n", "some comment\n"}) {
        SCOPED_TRACE(joiner);
        OwnedRecord rec;
        load(rec, "NDims = 3\nDimSize = 2 2 2\n" + std::string(joiner) + "ElementSpacing = 5 5 5\n" + tail);
        EXPECT_EQ(rec.r.extent[0], 2);
        EXPECT_EQ(rec.r.spacing[0], 1.0f);
        EXPECT_EQ(rec.r.spacing[2], 1.0f);
    }
    {
        SCOPED_TRACE("keys are case-sensitive; unknown and unused keys change nothing");
        OwnedRecord rec;
        std::string out = load(rec, "ObjectType = Image\nndims = 2\nNDims = 3\nBinaryData = True\n"
                                    "DimSize = 4 2 2\nPosition = 1 2 3\nElementNumberOfChannels = 3\n"
                                    "ElementByteOrderMSB = True\nTransformMatrix = 1 0 0 0 1 0 0 0 1\n" + tail);
        // Channels and byte order do not change the byte count or the bytes: no short-file warning.
        EXPECT_EQ(out, dirLine() + loadingLine("d.raw"));
        EXPECT_EQ(rec.extents(), (std::vector<int>{4, 2, 2, 1}));
        EXPECT_EQ(rec.data(16), counting(16));
    }
}

TEST_F(MetaImageLoader, HeaderSizeOnlyWarnsAndDataStillStartsAtByteZero)
{
    dir.write("d.raw", counting(8));
    const std::string tail = "NDims = 1\nDimSize = 8\nElementType = MET_UCHAR\nElementDataFile = d.raw\n";
    OwnedRecord warned, zero;
    EXPECT_EQ(load(warned, "HeaderSize = 512\n" + tail),
              dirLine() + "Common >> Warning: 512 bytes header\n" + loadingLine("d.raw"));
    EXPECT_EQ(warned.data(8), counting(8));
    EXPECT_EQ(load(zero, "HeaderSize = 0\n" + tail), dirLine() + loadingLine("d.raw"));
}

TEST_F(MetaImageLoader, EveryNarrowVoxelTypeKeepsItsBytesAndGLType)
{
    struct Case {
        const char* name;
        unsigned glType;
        std::size_t bytes;  // of the 12 voxels
    } cases[] = {{"MET_UCHAR", GL_UNSIGNED_BYTE, 12}, {"MET_SHORT", GL_SHORT, 24}, {"MET_USHORT", GL_UNSIGNED_SHORT, 24}};
    dir.write("d.raw", counting(56, 100));  // longer than any needs
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OwnedRecord rec;
        EXPECT_EQ(load(rec, std::string("NDims = 3\nDimSize = 2 3 2\nElementType = ") + c.name +
                                "\nElementDataFile = d.raw\n"),
                  dirLine() + loadingLine("d.raw"));
        EXPECT_EQ(rec.r.voxelType, c.glType);
        EXPECT_EQ(rec.data(c.bytes), counting(c.bytes, 100));
    }
}

// Four-byte voxels used to go down the signed 16-bit path as they were: half the array
// converted, float bit patterns read as shorts. Now they arrive as the 16-bit values
// they stand for, so a float CT loads exactly as the same values stored as MET_SHORT.
TEST_F(MetaImageLoader, FourByteVoxelsArriveAsSixteenBitValues)
{
    auto bytesOf = [](const auto& values) {
        return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof values[0]);
    };
    const std::vector<float> floats = {-1024.4f, 3071.5f, -0.5f, 0.49f, -40000.0f, 1e9f, NAN, 32766.6f};
    const std::vector<std::int16_t> shorts = {-1024, 3072, -1, 0, -32768, 32767, -32768, 32767};
    const std::vector<std::uint32_t> uints = {0, 65535, 65536, 4000000000u, 7, 300, 1, 2};
    const std::vector<std::uint16_t> ushorts = {0, 65535, 65535, 65535, 7, 300, 1, 2};
    const std::string header = "NDims = 3\nDimSize = 2 2 2\nElementSpacing = 1 2 3\nElementDataFile = d.raw\n";
    struct Case {
        std::string type, bytes, expected, message;
        unsigned glType;
    } cases[] = {
        {"MET_FLOAT", bytesOf(floats), bytesOf(shorts), "MET_FLOAT voxels converted to 16-bit signed (rounded, clamped to -32768..32767)\n", GL_SHORT},
        {"MET_UINT", bytesOf(uints), bytesOf(ushorts), "MET_UINT voxels converted to 16-bit unsigned (clamped to 0..65535)\n", GL_UNSIGNED_SHORT},
        {"MET_SHORT", bytesOf(shorts), bytesOf(shorts), "", GL_SHORT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        dir.write("d.raw", c.bytes);
        OwnedRecord rec;
        std::string message = c.message.empty() ? "" : "MHD Loader >> " + c.message;
        EXPECT_EQ(load(rec, "ElementType = " + c.type + "\n" + header), dirLine() + loadingLine("d.raw") + message);
        EXPECT_EQ(rec.r.voxelType, c.glType);
        EXPECT_EQ(rec.data(16), c.expected);
        EXPECT_EQ(rec.extents(), (std::vector<int>{2, 2, 2, 1}));
        EXPECT_EQ(rec.r.spacing[2], 3.0f);
    }
}

TEST_F(MetaImageLoader, RecordKeepsCallerValuesUntilTheDataIsRead)
{
    dir.write("d.raw", counting(64));
    {
        SCOPED_TRACE("missing header: silent");
        OwnedRecord rec;
        testing::internal::CaptureStdout();
        loadMetaImage(rec.r, dir.file("absent.mhd"));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        expectCallerValues(rec.r);
    }
    expectRefused("NDims = 3\nDimSize = 2 2 2\nElementType = MET_DOUBLE\nElementDataFile = d.raw\n",
                  "Currently unsupported voxel_type! MET_DOUBLE\n");
    {
        SCOPED_TRACE("no ElementDataFile: only the type is written");
        OwnedRecord rec;
        EXPECT_EQ(load(rec, "NDims = 3\nDimSize = 2 2 2\nElementSpacing = 3 3 3\nElementType = MET_SHORT\n"),
                  dirLine());
        EXPECT_EQ(rec.r.voxelType, unsigned(GL_SHORT));
        rec.r.voxelType = 0x7777u;
        expectCallerValues(rec.r);
    }
}

TEST_F(MetaImageLoader, KeysAfterTheDataFileAreStillParsed)
{
    dir.write("a.raw", counting(8, 1));
    dir.write("b.raw", counting(16, 50));
    OwnedRecord rec;
    EXPECT_EQ(load(rec, "NDims = 2\nDimSize = 2 2\nElementType = MET_SHORT\nElementDataFile = a.raw\n"
                        "ElementType = MET_USHORT\nDimSize = 9 9 9\n"),
              dirLine() + loadingLine("a.raw"));
    EXPECT_EQ(rec.r.voxelType, unsigned(GL_UNSIGNED_SHORT));  // overwritten: the same two bytes a voxel
    EXPECT_EQ(rec.r.extent[0], 2);                            // the delivered extents stay
    EXPECT_EQ(rec.data(8), counting(8, 1));

    OwnedRecord twice;
    EXPECT_EQ(load(twice, "NDims = 3\nDimSize = 2 2 2\nElementType = MET_UCHAR\nElementDataFile = a.raw\n"
                          "ElementType = MET_USHORT\nElementDataFile = b.raw\n"),
              dirLine() + loadingLine("a.raw") + loadingLine("b.raw"));
    EXPECT_EQ(twice.r.voxelType, unsigned(GL_UNSIGNED_SHORT));
    EXPECT_EQ(twice.data(16), counting(16, 50));  // loaded again with the new type's byte count
}

// Found by fuzzing: a later "ElementType" of another size left a record whose array was
// too small for its own extents and type, and the stretch before the upload then read
// and wrote past its end.
TEST_F(MetaImageLoader, TypeOfAnotherSizeAfterTheLastDataFileRefusesTheData)
{
    dir.write("a.raw", counting(8, 1));
    expectRefused("NDims = 3\nDimSize = 2 2 2\nElementType = MET_UCHAR\nElementDataFile = a.raw\nElementType = MET_FLOAT\n",
                  loadingLine("a.raw") +
                      "MHD Loader >> Data refused: it was read as 1-byte voxels, but \"ElementType\" is now MET_FLOAT\n");
    expectRefused("NDims = 1\nDimSize = 4\nElementType = MET_USHORT\nElementDataFile = a.raw\nElementType = MET_UCHAR\n"
                  "ElementType = MET_DOUBLE\n",
                  loadingLine("a.raw") + "Currently unsupported voxel_type! MET_DOUBLE\n"
                      "MHD Loader >> Data refused: it was read as 2-byte voxels, but \"ElementType\" is now MET_UCHAR\n");

    SCOPED_TRACE("a later data file read with the new type makes the record whole again");
    OwnedRecord rec;
    dir.write("b.raw", counting(16, 40));
    load(rec, "NDims = 3\nDimSize = 2 2 2\nElementType = MET_UCHAR\nElementDataFile = a.raw\n"
              "ElementType = MET_SHORT\nElementDataFile = b.raw\n");
    EXPECT_EQ(rec.r.voxelType, unsigned(GL_SHORT));
    EXPECT_EQ(rec.data(16), counting(16, 40));
}

TEST_F(MetaImageLoader, HeaderWithoutADirectoryFindsItsDataBesideTheWorkingDirectory)
{
    dir.write("plain.mhd", "NDims = 1\nDimSize = 4\nElementType = MET_UCHAR\nElementDataFile = LOCAL\n");
    dir.write("LOCAL", counting(4, 7));  // a file name like any other
    OwnedRecord rec;
    testfs::WorkingDirectory cwd(dir.path());
    testing::internal::CaptureStdout();
    loadMetaImage(rec.r, "plain.mhd");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nMHD Loader >> Loading file LOCAL\n");
    EXPECT_EQ(rec.data(4), counting(4, 7));
}

using MetaImageLoaderDeathTest = MetaImageLoader;

TEST_F(MetaImageLoaderDeathTest, UnopenableOrUnreadableDataFileEndsTheProcessWithStatusOne)
{
    // The child sends the loader's standard output to standard error, where the death test sees it.
    auto loadIn = [&](const std::string& dataFile) {
        dir.write("v.mhd", "NDims = 1\nDimSize = 4\nElementType = MET_UCHAR\nElementDataFile = " + dataFile + "\n");
        std::cout.rdbuf(std::cerr.rdbuf());
        VolumeRecord r{};
        loadMetaImage(r, dir.file("v.mhd"));
    };
    EXPECT_EXIT(loadIn("absent.raw"), ::testing::ExitedWithCode(1),
                "Loading file .*absent\\.raw\nWarning: could not load image data!\n$");
    std::filesystem::create_directory(dir.path() / "folder.raw");
    EXPECT_EXIT(loadIn("folder.raw"), ::testing::ExitedWithCode(1),
                "Warning: could not load image data! Reading error occured\n$");
}

// The type of an earlier "ElementType" line is taken back too. Zero extents and spacings
// were found by fuzzing: a fourth extent of 0 made an empty array while the first three
// still counted eight voxels, and a spacing of 0 made an axis of the volume box 0 long;
// the stretch and the octree's refresh then read past the array or indexed with NaN.
TEST_F(MetaImageLoader, HeadersThatWouldOverrunTheArraysOrEmptyTheVolumeAreRefused)
{
    dir.write("d.raw", counting(64));
    const std::string data = "ElementType = MET_UCHAR\nElementDataFile = d.raw\n";
    const std::string none = "ElementType = MET_UCHAR\nElementDataFile = none.raw\n";  // reaching its open would exit
    const std::string tag = "MHD Loader >> Header refused: ";
    expectRefused("NDims = 5\nDimSize = 2 2 2 2 2\n" + data, tag + "NDims 5 is outside 0 to 4\n");
    expectRefused("NDims = -1\nDimSize = 2\n" + data, tag + "NDims -1 is outside 0 to 4\n");
    expectRefused("ElementType = MET_UCHAR\nNDims = 3\nDimSize = 2 -2 2\nElementDataFile = d.raw\n",
                  tag + "negative DimSize -2\n");
    expectRefused("NDims = 3\nDimSize = 2 2 2\n" + data + "NDims = 9\n",
                  loadingLine("d.raw") + tag + "NDims 9 is outside 0 to 4\n");  // after a delivered data file
    expectRefused("NDims = 4\nDimSize = 2 2 2 0\n" + none, tag + "DimSize 0 leaves the volume empty\n");
    expectRefused("NDims = 3\nDimSize = 2 2 2\nElementSpacing = 1 0 1\n" + data, tag + "ElementSpacing 0 is not positive\n");
    expectRefused("NDims = 3\nElementSpacing = 0.7 0.7 -1.5\nDimSize = 2 2 2\n" + data,
                  tag + "ElementSpacing -1.5 is not positive\n");
    // Numbers that do not parse used to stop the load without a word.
    expectRefused("NDims = 3\nDimSize = 256 256\n" + data, tag + "DimSize does not hold 3 numbers\n");
    expectRefused("NDims = 3\nDimSize = 2 two 2\n" + data, tag + "DimSize does not hold 3 numbers\n");
    expectRefused("HeaderSize = abc\nNDims = 1\nDimSize = 2\n" + data, tag + "HeaderSize does not hold 1 number\n");
    expectRefused("NDims = three\n" + data, tag + "NDims does not hold 1 number\n");
    expectRefused("NDims = 2\nDimSize = 2 2\nElementSpacing = 1 x\n" + data, tag + "ElementSpacing does not hold 2 numbers\n");

    SCOPED_TRACE("the fourth axis has no place in the box: its spacing is not delivered");
    OwnedRecord rec;
    load(rec, "NDims = 4\nDimSize = 2 2 2 2\nElementSpacing = 1 2 3 0\n" + data);
    ASSERT_NE(rec.r.voxels, nullptr);
    EXPECT_EQ(rec.r.spacing[2], 3.0f);
}

TEST_F(MetaImageLoader, DataBeyond32BitCountsOrWithoutATypeIsRefusedBeforeAnyAllocation)
{
    // None of these data files exists: reaching the open would end the process.
    const std::string file = "ElementDataFile = none.raw\n";
    const std::string tag = loadingLine("none.raw") + "MHD Loader >> Data refused: ";
    expectRefused("NDims = 3\nDimSize = 65536 65536 1\nElementType = MET_UCHAR\n" + file,
                  tag + "65536 x 65536 x 1 x 1 voxels of 1 bytes do not fit in 32-bit counts\n");
    expectRefused("NDims = 3\nDimSize = 46341 46341 1\nElementType = MET_USHORT\n" + file,
                  tag + "46341 x 46341 x 1 x 1 voxels of 2 bytes do not fit in 32-bit counts\n");
    expectRefused("NDims = 4\nDimSize = 2147483647 2147483647 2147483647 2147483647\nElementType = MET_FLOAT\n" + file,
                  tag + "2147483647 x 2147483647 x 2147483647 x 2147483647 voxels of 4 bytes do not fit in 32-bit counts\n");
    expectRefused("NDims = 3\nDimSize = 2 2 2\n" + file + "ElementType = MET_UCHAR\n",
                  tag + "\"ElementDataFile\" comes before a supported \"ElementType\"\n");
}

TEST_F(MetaImageLoader, ShortFileLeavesZeroedTailAndSaysHowShort)
{
    // Dirty the heap block the 8-bit array is likely to reuse, so an unzeroed buffer shows.
    {
        auto* dirty = new unsigned char[64];
        std::memset(dirty, 0xAB, 64);
        delete[] dirty;
    }
    auto warning = [&](const std::string& name, int bytes) {
        return dirLine() + loadingLine(name) + "Common >> Warning: " + dir.file(name) + " is " +
               std::to_string(bytes) + " bytes short; the missing voxels are 0\n";
    };
    dir.write("d.raw", counting(40));
    OwnedRecord bytes;
    EXPECT_EQ(load(bytes, "NDims = 3\nDimSize = 4 4 4\nElementType = MET_UCHAR\nElementDataFile = d.raw\n"),
              warning("d.raw", 24));
    EXPECT_EQ(bytes.data(64), counting(40) + std::string(24, '\0'));

    dir.write("e.raw", counting(9));
    OwnedRecord shorts;
    EXPECT_EQ(load(shorts, "NDims = 2\nDimSize = 3 3\nElementType = MET_SHORT\nElementDataFile = e.raw\n"),
              warning("e.raw", 9));
    EXPECT_EQ(shorts.data(18), counting(9) + std::string(9, '\0'));
    EXPECT_EQ(shorts.r.extent[2], 1);

    // Less than half of it there: a tiny header must not make the loader allocate and zero
    // gigabytes (this one asked for 4 GiB) for a file that cannot fill them.
    dir.write("tiny.raw", counting(64));
    expectRefused("NDims = 3\nDimSize = 65535 65535 1\nElementType = MET_UCHAR\nElementDataFile = tiny.raw\n",
                  loadingLine("tiny.raw") + "MHD Loader >> Header refused: DimSize and ElementType ask for 4294836225 bytes, but " +
                      dir.file("tiny.raw") + " holds 64\n");
    expectRefused("NDims = 1\nDimSize = 10\nElementType = MET_SHORT\nElementDataFile = e.raw\n",
                  loadingLine("e.raw") + "MHD Loader >> Header refused: DimSize and ElementType ask for 20 bytes, but " +
                      dir.file("e.raw") + " holds 9\n");
}

} // namespace
