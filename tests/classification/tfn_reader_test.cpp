// The ".tfn" text format without GL: both record kinds, units, the ramp directions,
// the end of reading on a bad kind or a short file.
#include "classification/TfnReader.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace Classification;

namespace {

TfnReadResult read(const std::string& text, std::vector<TfnRecord>& records)
{
    std::istringstream in(text);
    return readTfnRecords(in, records);
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

std::string ramp(const std::string& direction)
{
    return "0\nBone ramp\n1000\n300\n1\n0\n" + direction + "\n0\n0\n0\n";
}

} // namespace

TEST(TfnReader, TrapezoidRecordInScannerUnitsAndColourBytes)
{
    std::vector<TfnRecord> r;
    ASSERT_EQ(read(std::string("1\n") + kSkinRecord, r), TfnReadResult::Complete);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].name, "Skin");
    expectPoints(r[0].points, {{0.2197265625f, 0.0f}, {0.244140625f, 0.3f},
                               {0.29296875f, 0.3f}, {0.341796875f, 0.0f}});
    const float w = 0.99609375f;  // 255 / 256
    EXPECT_EQ(r[0].colours[0].r, w);
    EXPECT_EQ(r[0].colours[0].g, w);
    EXPECT_EQ(r[0].colours[0].b, w);
    EXPECT_EQ(r[0].colours[1].r, 0.5f);
    EXPECT_EQ(r[0].colours[1].g, 0.5f);
    EXPECT_EQ(r[0].colours[1].b, 0.5f);
    EXPECT_EQ(r[0].colours[2].r, w);
    EXPECT_EQ(r[0].colours[2].g, 0.0f);
    EXPECT_EQ(r[0].colours[2].b, 0.0f);
    for (const ShapeColour& c : r[0].colours)
        EXPECT_EQ(c.a, 0.0f);
}

TEST(TfnReader, RampDirectionIsExactTrueOnlyAndNeverStartsBelowZero)
{
    std::vector<TfnRecord> r;
    // Width 1000 around 300 would start at -200: it is narrowed to 600.
    ASSERT_EQ(read("1\n" + ramp("False"), r), TfnReadResult::Complete);
    EXPECT_EQ(r[0].name, "Bone ramp");
    const float top = 4095.0f / 4096.0f;
    expectPoints(r[0].points, {{0.0f, 0.0f}, {600.0f / 4096.0f, 1.0f}, {top, 1.0f}, {top, 0.0f}});

    r.clear();
    ASSERT_EQ(read("1\n" + ramp("True"), r), TfnReadResult::Complete);
    expectPoints(r[0].points, {{0.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}, {600.0f / 4096.0f, 0.0f}});

    // Anything but the exact line reads as ascending; a CRLF line end is not content.
    for (const char* direction : {"True ", "TRUE", "true", ""}) {
        r.clear();
        ASSERT_EQ(read("1\n" + ramp(direction), r), TfnReadResult::Complete);
        EXPECT_EQ(r[0].points[3].x, top) << "direction '" << direction << "'";
    }
    r.clear();
    ASSERT_EQ(read("1\r\n0\r\nR\r\n1000\r\n300\r\n1\r\n0\r\nTrue\r\n0\r\n0\r\n0\r\n", r),
              TfnReadResult::Complete);
    EXPECT_EQ(r[0].name, "R");
    EXPECT_EQ(r[0].points[1].x, 0.0f);

    // A narrow ramp keeps its width.
    r.clear();
    ASSERT_EQ(read("1\n0\nn\n100\n1000\n0.5\n0\nFalse\n0\n0\n0\n", r), TfnReadResult::Complete);
    expectPoints(r[0].points, {{950.0f / 4096.0f, 0.0f}, {1050.0f / 4096.0f, 0.5f}, {top, 0.5f}, {top, 0.0f}});
}

TEST(TfnReader, NumbersAreFirstItemOfLineAndColoursIgnoreHighBits)
{
    std::vector<TfnRecord> r;
    const std::string text =
        "2 records follow\n"
        "1 trapezoid\nName with  spaces \n900 start\n1400\n100\n200\n0.3 opacity\n\n"
        "4294967295\n0x10\n-1\n" + std::string(kSkinRecord);
    ASSERT_EQ(read(text, r), TfnReadResult::Complete);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].name, "Name with  spaces ");
    EXPECT_EQ(r[0].points[0].x, 0.2197265625f);
    EXPECT_EQ(r[0].points[1].y, 0.3f);
    EXPECT_EQ(r[0].colours[0].r, 0.99609375f);  // only the low three bytes count
    EXPECT_EQ(r[0].colours[1].r, 0.0f);         // "0x10" reads as 0
    EXPECT_EQ(r[0].colours[2].b, 0.99609375f);
    EXPECT_EQ(r[1].name, "Skin");

    for (const char* count : {"0\n", "-3\n"}) {
        std::vector<TfnRecord> none;
        EXPECT_EQ(read(std::string(count) + kSkinRecord, none), TfnReadResult::Complete);
        EXPECT_TRUE(none.empty());
    }
}

TEST(TfnReader, UnsupportedKindStopsWithMessageAndKeepsEarlierRecords)
{
    std::vector<TfnRecord> r;
    testing::internal::CaptureStderr();
    TfnReadResult result = read(std::string("3\n") + kSkinRecord + "2\nOther\n" + kSkinRecord, r);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Format not supported\n");
    EXPECT_EQ(result, TfnReadResult::UnsupportedKind);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].name, "Skin");
}

TEST(TfnReader, ShortFileKeepsOnlyCompleteRecords)
{
    const std::string full = std::string("3\n") + kSkinRecord + kSkinRecord;
    // Cut after every line of the second record: only the first survives.
    size_t firstEnd = std::string("3\n").size() + std::string(kSkinRecord).size();
    for (size_t cut = firstEnd; cut < full.size(); cut = full.find('\n', cut) + 1) {
        std::vector<TfnRecord> r;
        testing::internal::CaptureStderr();
        EXPECT_EQ(read(full.substr(0, cut), r), TfnReadResult::Truncated) << "cut at " << cut;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(r.size(), 1u) << "cut at " << cut;
    }
    // Two complete records but three announced.
    std::vector<TfnRecord> r;
    EXPECT_EQ(read(full, r), TfnReadResult::Truncated);
    EXPECT_EQ(r.size(), 2u);
    // A body line without a number counts as a failed line.
    r.clear();
    EXPECT_EQ(read("1\n1\nX\n900\nabc\n100\n200\n0.3\n\n1\n2\n3\n", r), TfnReadResult::Truncated);
    EXPECT_TRUE(r.empty());
    // No count line at all.
    EXPECT_EQ(read("", r), TfnReadResult::Truncated);
}
