// The ".tfn" text format without GL: both record kinds, units, the ramp directions,
// the end of reading on a short file (a bad kind is checked where it is loaded).
#include "classification/TfnReader.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace Classification;

namespace {

// The records of `text`, expecting the result `expected`.
std::vector<TfnRecord> read(const std::string& text, TfnReadResult expected = TfnReadResult::Complete)
{
    std::istringstream in(text);
    std::vector<TfnRecord> records;
    EXPECT_EQ(readTfnRecords(in, records), expected) << text;
    return records;
}

void expectPoints(const std::vector<ShapePoint>& p, const std::vector<ShapePoint>& expected)
{
    ASSERT_EQ(p.size(), expected.size());
    for (size_t i = 0; i < p.size(); ++i) {
        EXPECT_EQ(p[i].x, expected[i].x) << "point " << i;
        EXPECT_EQ(p[i].y, expected[i].y) << "point " << i;
    }
}

const char* const kSkinRecord = "1\nSkin\n900\n1400\n100\n200\n0.3\nunused\n16777215\n8421504\n255\n";
const float kTop = 4095.0f / 4096.0f, kByte = 255.0f / 256.0f;

std::string ramp(const std::string& direction)
{
    return "1\n0\nBone ramp\n1000\n300\n1\n0\n" + direction + "\n0\n0\n0\n";
}

} // namespace

TEST(TfnReader, TrapezoidRecordInScannerUnitsAndColourBytes)
{
    std::vector<TfnRecord> r = read(std::string("1\n") + kSkinRecord);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].name, "Skin");
    expectPoints(r[0].points, {{0.2197265625f, 0.0f}, {0.244140625f, 0.3f}, {0.29296875f, 0.3f}, {0.341796875f, 0.0f}});
    const float expected[3][4] = {{kByte, kByte, kByte, 0}, {0.5f, 0.5f, 0.5f, 0}, {kByte, 0, 0, 0}};
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(r[0].colours[c][k], expected[c][k]) << "colour " << c << " channel " << k;
}

TEST(TfnReader, RampDirectionIsExactTrueOnlyAndNeverStartsBelowZero)
{
    // Width 1000 around 300 would start at -200: it is narrowed to 600.
    std::vector<TfnRecord> r = read(ramp("False"));
    EXPECT_EQ(r.at(0).name, "Bone ramp");
    expectPoints(r[0].points, {{0.0f, 0.0f}, {600.0f / 4096.0f, 1.0f}, {kTop, 1.0f}, {kTop, 0.0f}});
    expectPoints(read(ramp("True")).at(0).points, {{0.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}, {600.0f / 4096.0f, 0.0f}});

    // Anything but the exact line reads as ascending; a CRLF line end is not content.
    for (const char* direction : {"True ", "TRUE", "true", ""})
        EXPECT_EQ(read(ramp(direction)).at(0).points[3].x, kTop) << "direction '" << direction << "'";
    r = read("1\r\n0\r\nR\r\n1000\r\n300\r\n1\r\n0\r\nTrue\r\n0\r\n0\r\n0\r\n");
    EXPECT_EQ(r.at(0).name, "R");
    EXPECT_EQ(r[0].points[1].x, 0.0f);

    // A narrow ramp keeps its width.
    expectPoints(read("1\n0\nn\n100\n1000\n0.5\n0\nFalse\n0\n0\n0\n").at(0).points,
                 {{950.0f / 4096.0f, 0.0f}, {1050.0f / 4096.0f, 0.5f}, {kTop, 0.5f}, {kTop, 0.0f}});
}

TEST(TfnReader, NumbersAreFirstItemOfLineAndColoursIgnoreHighBits)
{
    std::vector<TfnRecord> r = read("2 records follow\n"
                                    "1 trapezoid\nName with  spaces \n900 start\n1400\n100\n200\n0.3 opacity\n\n"
                                    "4294967295\n0x10\n-1\n" + std::string(kSkinRecord));
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].name, "Name with  spaces ");
    EXPECT_EQ(r[0].points[0].x, 0.2197265625f);
    EXPECT_EQ(r[0].points[1].y, 0.3f);
    EXPECT_EQ(r[0].colours[0].r, kByte);  // only the low three bytes count
    EXPECT_EQ(r[0].colours[1].r, 0.0f);   // "0x10" reads as 0
    EXPECT_EQ(r[0].colours[2].b, kByte);
    EXPECT_EQ(r[1].name, "Skin");
    for (const char* count : {"0\n", "-3\n"})
        EXPECT_TRUE(read(std::string(count) + kSkinRecord).empty());
}

TEST(TfnReader, ShortFileKeepsOnlyCompleteRecords)
{
    const std::string full = std::string("3\n") + kSkinRecord + kSkinRecord;
    // Cut after every line of the second record: only the first survives, silently.
    const size_t firstEnd = 2 + std::string(kSkinRecord).size();
    for (size_t cut = firstEnd; cut < full.size(); cut = full.find('\n', cut) + 1) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(read(full.substr(0, cut), TfnReadResult::Truncated).size(), 1u) << "cut at " << cut;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    EXPECT_EQ(read(full, TfnReadResult::Truncated).size(), 2u);  // two complete records, three announced
    // A body line without a number counts as a failed line; so does a missing count line.
    EXPECT_TRUE(read("1\n1\nX\n900\nabc\n100\n200\n0.3\n\n1\n2\n3\n", TfnReadResult::Truncated).empty());
    EXPECT_TRUE(read("", TfnReadResult::Truncated).empty());
}
