// The MetaImage loader against headers and voxel files written by the tests: the header
// grammar, the voxel types, the console lines, the failure exits and the refusals.
#include "volume/MetaImageLoader.h"

#include "tests/support/ScratchDir.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A record as a caller hands it over, with sentinels where the loader must not write.
struct OwnedRecord {
    VolumeRecord r{0x7777u, {-7, -7, -7, -7}, nullptr, {1.0f, 1.0f, 1.0f}};
    ~OwnedRecord() { delete[] r.voxels; }
    std::string data(std::size_t n) const { return r.voxels ? std::string(reinterpret_cast<const char*>(r.voxels), n) : "<null>"; }
};

std::string counting(std::size_t n, int start = 1)
{
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += char(start + int(i));
    return out;
}

template <typename T>
std::string bytesOf(const std::vector<T>& v) { return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T)); }

class MetaImageLoader : public ::testing::Test {
protected:
    // Writes the header and loads it; returns what was printed after the directory
    // line, with the loading line of a file x shown as "{x}" and paths without the folder.
    std::string load(OwnedRecord& rec, const std::string& header)
    {
        dir.write("v.mhd", header);
        testing::internal::CaptureStdout();
        loadMetaImage(rec.r, dir.file("v.mhd"));
        std::string out = testing::internal::GetCapturedStdout();
        std::string dirLine = dir.path().string() + "/\n";
        EXPECT_EQ(out.substr(0, dirLine.size()), dirLine);
        for (const char* name : {"d.raw", "none.raw", "tiny.raw"})
            for (std::size_t at; (at = out.find("MHD Loader >> Loading file " + dir.file(name) + "\n")) != std::string::npos;)
                out.replace(at, 28 + dir.file(name).size(), std::string("{") + name + "}");
        for (std::size_t at; (at = out.find(dir.path().string() + "/")) != std::string::npos;)
            out.replace(at, dir.path().string().size() + 1, "");
        return out.substr(out.find('\n') + 1);
    }
    testfs::ScratchDir dir;
};

TEST_F(MetaImageLoader, HeadersDeliverTypeExtentsSpacingsAndVoxels)
{
    const std::string uchar = "ElementType = MET_UCHAR\nElementDataFile = d.raw\n", ushort = "ElementType = MET_USHORT\nElementDataFile = d.raw\n";
    const std::string shrt = "ElementType = MET_SHORT\nElementDataFile = d.raw\n", cube = "NDims = 3\nDimSize = 2 2 2\n";
    const std::vector<float> floats = {-1024.4f, 3071.5f, -0.5f, 0.49f, -40000.0f, 1e9f, NAN, 32766.6f};
    const std::vector<std::int16_t> shorts = {-1024, 3072, -1, 0, -32768, 32767, -32768, 32767};
    const std::vector<std::uint32_t> uints = {0, 65535, 65536, 4000000000u, 7, 300, 1, 2};
    const std::vector<std::uint16_t> ushorts = {0, 65535, 65535, 65535, 7, 300, 1, 2};
    const std::string c64 = counting(64), c40 = counting(40), loaded = "{d.raw}";
    auto shortBy = [&](int n) { return loaded + "Common >> Warning: d.raw is " + std::to_string(n) + " bytes short; the missing voxels are 0\n"; };
    struct Case {
        std::string header, raw, lines;
        unsigned type;
        std::vector<int> extents;
        std::vector<float> spacing;
        std::string data;
    } cases[] = {
        // Line ends, spaces round and inside keys and values, no final line end.
        {"NDims = 3\nDimSize = 3 2 1\nElementSpacing = 0.5 0.25 2\n" + ushort, c64, loaded, GL_UNSIGNED_SHORT, {3, 2, 1, 1}, {0.5f, 0.25f, 2}, counting(12)},
        {"N Dims=3\r\nDim Size =   3  2  1  \r\nElementSpacing=0.5 0.25 2\r\nElement Type =  MET_ USHORT  \r\nElement DataFile =  d .raw ", c64,
         loaded, GL_UNSIGNED_SHORT, {3, 2, 1, 1}, {0.5f, 0.25f, 2}, counting(12)},
        // DimSize before NDims reads nothing; a blank line or one without "=" joins the next
        // key, which then matches nothing; case, channels, byte order, unknown keys and values
        // beyond NDims do nothing.
        {"DimSize = 4 4 4\nNDims = 3\n" + uchar, c64, loaded, GL_UNSIGNED_BYTE, {1, 1, 1, 1}, {1, 1, 1}, counting(1)},
        {cube + "\nElementSpacing = 5 5 5\n" + uchar, c64, loaded, GL_UNSIGNED_BYTE, {2, 2, 2, 1}, {1, 1, 1}, counting(8)},
        {cube + "some comment\nElementSpacing = 5 5 5\n" + uchar, c64, loaded, GL_UNSIGNED_BYTE, {2, 2, 2, 1}, {1, 1, 1}, counting(8)},
        {"ObjectType = Image\nndims = 2\nNDims = 3\nPosition = 1 2 3 x\nDimSize = 4 2 2\nElementByteOrderMSB = True\nElementNumberOfChannels = 3 x\n" + uchar,
         c64, loaded, GL_UNSIGNED_BYTE, {4, 2, 2, 1}, {1, 1, 1}, counting(16)},
        // The header size only warns: the data still starts at byte 0.
        {"HeaderSize = 512\nNDims = 1\nDimSize = 8\n" + uchar, c64, "Common >> Warning: 512 bytes header\n" + loaded, GL_UNSIGNED_BYTE, {8, 1, 1, 1}, {1, 1, 1}, counting(8)},
        {"HeaderSize = -1\nNDims = 1\nDimSize = 8\nHeaderSize = 0\n" + uchar, c64, loaded, GL_UNSIGNED_BYTE, {8, 1, 1, 1}, {1, 1, 1}, counting(8)},
        // The fourth axis has no place in the volume box: its spacing is not delivered.
        {"NDims = 4\nDimSize = 2 2 2 2\nElementSpacing = 1 2 3 0\n" + uchar, c64, loaded, GL_UNSIGNED_BYTE, {2, 2, 2, 2}, {1, 2, 3}, counting(16)},
        {"NDims = 3\nDimSize = 2 3 2\n" + shrt, c64, loaded, GL_SHORT, {2, 3, 2, 1}, {1, 1, 1}, counting(24)},
        // Four-byte voxels used to go down the signed 16-bit path as they were; they now
        // arrive as the 16-bit values they stand for, as if stored as MET_SHORT.
        {cube + "ElementType = MET_FLOAT\nElementDataFile = d.raw\n", bytesOf(floats),
         loaded + "MHD Loader >> MET_FLOAT voxels converted to 16-bit signed (rounded, clamped to -32768..32767)\n", GL_SHORT, {2, 2, 2, 1}, {1, 1, 1}, bytesOf(shorts)},
        {cube + "ElementType = MET_UINT\nElementDataFile = d.raw\n", bytesOf(uints),
         loaded + "MHD Loader >> MET_UINT voxels converted to 16-bit unsigned (clamped to 0..65535)\n", GL_UNSIGNED_SHORT, {2, 2, 2, 1}, {1, 1, 1}, bytesOf(ushorts)},
        // Keys after the data file are parsed: a later type of the same size overwrites the
        // type, later extents are not delivered, a later data file loads again.
        {"NDims = 2\nDimSize = 2 2\n" + shrt + "ElementType = MET_USHORT\nDimSize = 9 9 9\n", c64, loaded, GL_UNSIGNED_SHORT, {2, 2, 1, 1}, {1, 1, 1}, counting(8)},
        {cube + uchar + shrt, c64, loaded + loaded, GL_SHORT, {2, 2, 2, 1}, {1, 1, 1}, counting(16)},
        // A short file keeps a zeroed tail and says how short it is, down to exactly half.
        {"NDims = 3\nDimSize = 4 4 4\n" + uchar, c40, shortBy(24), GL_UNSIGNED_BYTE, {4, 4, 4, 1}, {1, 1, 1}, c40 + std::string(24, '\0')},
        {"NDims = 1\nDimSize = 64\n" + shrt, c64, shortBy(64), GL_SHORT, {64, 1, 1, 1}, {1, 1, 1}, c64 + std::string(64, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        OwnedRecord rec;
        dir.write("d.raw", c.raw);
        EXPECT_EQ(load(rec, c.header), c.lines);
        EXPECT_EQ(rec.r.voxelType, c.type);
        EXPECT_EQ(std::vector<int>(rec.r.extent, rec.r.extent + 4), c.extents);
        EXPECT_EQ(std::vector<float>(rec.r.spacing, rec.r.spacing + 3), c.spacing);
        EXPECT_EQ(rec.data(c.data.size()), c.data);
    }
}

// Every refusal hands the record back exactly as the caller gave it (the type of an
// earlier "ElementType" line included). Zero extents and spacings were found by
// fuzzing: the stretch and the octree then read past the array or indexed with NaN.
TEST_F(MetaImageLoader, RefusedHeadersLeaveTheCallersRecord)
{
    dir.write("d.raw", counting(64));
    dir.write("tiny.raw", counting(64));
    const std::string data = "ElementType = MET_UCHAR\nElementDataFile = d.raw\n";
    const std::string none = "ElementDataFile = none.raw\n"; // reaching its open would end the process
    const std::string tag = "MHD Loader >> Header refused: ", dataTag = "{none.raw}MHD Loader >> Data refused: ";
    const std::pair<std::string, std::string> cases[] = {
        {"NDims = 3\nDimSize = 2 2 2\nElementType = MET_DOUBLE\nElementDataFile = d.raw\n", "Currently unsupported voxel_type! MET_DOUBLE\n"},
        {"NDims = 5\nDimSize = 2 2 2 2 2\n" + data, tag + "NDims 5 is outside 0 to 4\n"},
        {"NDims = -1\nDimSize = 2\n" + data, tag + "NDims -1 is outside 0 to 4\n"},
        {"NDims = 3\nDimSize = 2 2 2\n" + data + "NDims = 9\n", "{d.raw}" + tag + "NDims 9 is outside 0 to 4\n"},
        {"ElementType = MET_UCHAR\nNDims = 3\nDimSize = -2 2 2\nElementDataFile = d.raw\n", tag + "negative DimSize -2\n"},
        {"NDims = 4\nDimSize = 2 2 2 0\nElementType = MET_UCHAR\n" + none, tag + "DimSize 0 leaves the volume empty\n"},
        {"NDims = 3\nDimSize = 2 2 2\nElementSpacing = 1 0 1\n" + data, tag + "ElementSpacing 0 is not positive\n"},
        {"NDims = 3\nElementSpacing = 0.7 0.7 -1.5\nDimSize = 2 2 2\n" + data, tag + "ElementSpacing -1.5 is not positive\n"},
        // Numbers that do not parse used to stop the load without a word.
        {"NDims = 3\nDimSize = 256 256\n" + data, tag + "DimSize does not hold 3 numbers\n"},
        {"NDims = 3\nDimSize = 2 two 2\n" + data, tag + "DimSize does not hold 3 numbers\n"},
        {"HeaderSize = abc\nNDims = 1\nDimSize = 2\n" + data, tag + "HeaderSize does not hold 1 number\n"},
        {"NDims = three\n" + data, tag + "NDims does not hold 1 number\n"},
        {"NDims = 2\nDimSize = 2 2\nElementSpacing = 1 x\n" + data, tag + "ElementSpacing does not hold 2 numbers\n"},
        // Refused before the data file is even opened.
        {"NDims = 3\nDimSize = 65536 65537 1\nElementType = MET_UCHAR\n" + none,
         dataTag + "65536 x 65537 x 1 x 1 voxels of 1 bytes do not fit in 32-bit counts\n"},
        {"NDims = 3\nDimSize = 46341 46341 1\nElementType = MET_USHORT\n" + none,
         dataTag + "46341 x 46341 x 1 x 1 voxels of 2 bytes do not fit in 32-bit counts\n"},
        {"NDims = 4\nDimSize = 2147483647 2147483647 2147483647 2147483647\nElementType = MET_FLOAT\n" + none,
         dataTag + "2147483647 x 2147483647 x 2147483647 x 2147483647 voxels of 4 bytes do not fit in 32-bit counts\n"},
        {"NDims = 3\nDimSize = 2 2 2\n" + none + "ElementType = MET_UCHAR\n", dataTag + "\"ElementDataFile\" comes before a supported \"ElementType\"\n"},
        // Less than half of the data there: a 70-byte header made the loader allocate and
        // zero 4 GiB for a 64-byte file.
        {"NDims = 3\nDimSize = 65535 65535 1\nElementType = MET_UCHAR\nElementDataFile = tiny.raw\n",
         "{tiny.raw}" + tag + "DimSize and ElementType ask for 4294836225 bytes, but tiny.raw holds 64\n"},
        {"NDims = 1\nDimSize = 65\nElementType = MET_SHORT\nElementDataFile = d.raw\n", "{d.raw}" + tag + "DimSize and ElementType ask for 130 bytes, but d.raw holds 64\n"},
        // A later type of another size: the array would not hold what the record says.
        {"NDims = 3\nDimSize = 2 2 2\n" + data + "ElementType = MET_FLOAT\n",
         "{d.raw}MHD Loader >> Data refused: it was read as 1-byte voxels, but \"ElementType\" is now MET_FLOAT\n"},
        {"NDims = 1\nDimSize = 4\nElementType = MET_USHORT\nElementDataFile = d.raw\nElementType = MET_UCHAR\nElementType = MET_DOUBLE\n",
         "{d.raw}Currently unsupported voxel_type! MET_DOUBLE\nMHD Loader >> Data refused: it was read as 2-byte voxels, but \"ElementType\" is now MET_UCHAR\n"},
    };
    for (const auto& [header, lines] : cases) {
        SCOPED_TRACE(header);
        OwnedRecord rec;
        EXPECT_EQ(load(rec, header), lines);
        EXPECT_TRUE(rec.r.voxelType == 0x7777u && !rec.r.voxels);
        EXPECT_EQ(std::vector<int>(rec.r.extent, rec.r.extent + 4), std::vector<int>(4, -7));
        EXPECT_EQ(std::vector<float>(rec.r.spacing, rec.r.spacing + 3), std::vector<float>(3, 1.0f));
    }

    // Without "ElementDataFile" only the type is written; a missing header writes nothing.
    OwnedRecord typed, missing;
    EXPECT_EQ(load(typed, "NDims = 3\nDimSize = 2 2 2\nElementSpacing = 3 3 3\nElementType = MET_SHORT\n"), "");
    EXPECT_EQ(std::tuple(typed.r.voxelType, typed.r.extent[0], typed.r.spacing[0]), std::tuple(unsigned(GL_SHORT), -7, 1.0f));
    testing::internal::CaptureStdout();
    loadMetaImage(missing.r, dir.file("absent.mhd"));
    EXPECT_EQ(testing::internal::GetCapturedStdout() + std::to_string(missing.r.voxelType), std::to_string(0x7777u));
}

TEST_F(MetaImageLoader, FixedPathAndNamesWithoutAFolderAreReadFromTheWorkingDirectory)
{
    for (const char* name : {"taa", "plain"}) // "LOCAL" is a file name like any other
        dir.write(name + std::string(".mhd"), "NDims = 1\nDimSize = 4\nElementType = MET_UCHAR\nElementDataFile = " +
                                                  std::string(*name == 't' ? "taa.raw" : "LOCAL") + "\n");
    dir.write("taa.raw", counting(4, 3));
    dir.write("LOCAL", counting(4, 7));
    testfs::WorkingDirectory cwd(dir.path());
    OwnedRecord fixed, plain;
    testing::internal::CaptureStdout();
    loadMetaImage(fixed.r);
    loadMetaImage(plain.r, "plain.mhd");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "./\nMHD Loader >> Loading file ./taa.raw\n\nMHD Loader >> Loading file LOCAL\n");
    EXPECT_EQ(fixed.data(4) + plain.data(4), counting(4, 3) + counting(4, 7));
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

} // namespace
