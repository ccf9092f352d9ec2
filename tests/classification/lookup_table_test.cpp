// The 16-bit lookup table rasterised from shapes, without GL: positions, ramps and
// their colour blend, truncation, the maximum-opacity rule with its tie, the guard.
#include "classification/LookupTable.h"
#include "classification/Trapez.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <memory>
#include <vector>

using namespace Classification;

namespace {

using Entry = std::array<unsigned short, 4>;
using Points = std::vector<ShapePoint>;

struct Table {
    std::vector<unsigned short> data;
    explicit Table(int n, unsigned short fill = 0) : data(size_t(n) * 4, fill) {}
    Entry operator[](int i) const { return {data[i * 4], data[i * 4 + 1], data[i * 4 + 2], data[i * 4 + 3]}; }
};

// A set of shapes owned by the test, in list order.
struct Shapes {
    std::vector<std::unique_ptr<TransferFunctionGeometry>> owned;
    std::vector<TransferFunctionGeometry*> list;
    Shapes& add(const Points& points, ShapeColour c0, ShapeColour c1, ShapeColour c2)
    {
        owned.push_back(std::make_unique<VornTrapez>("s"));
        EXPECT_TRUE(owned.back()->setPoints(points));
        owned.back()->colours = {c0, c1, c2, {}};
        list.push_back(owned.back().get());
        return *this;
    }
    Table rasterise(int n, float lo = 0.0f, float hi = 1.0f) const
    {
        Table t(n, 0xBEEF);
        EXPECT_TRUE(rasteriseLookupTable(list, lo, hi, n, t.data.data()));
        return t;
    }
};

const ShapeColour kRed{1, 0, 0, 0}, kGreen{0, 1, 0, 0}, kBlue{0, 0, 1, 0};
const Points kDefault = {{0.2f, 0.0f}, {0.4f, 0.8f}, {0.6f, 0.8f}, {0.8f, 0.0f}};

} // namespace

TEST(LookupTable, DefaultTrapezoidPlateauStoresTruncatedOpacity)
{
    Table t = Shapes().add(kDefault, kRed, kGreen, kBlue).rasterise(256);
    EXPECT_EQ(t[128], (Entry{0, 0, 65535, 52428}));  // 0.8 x 65535 = 52428.0..., truncated
    EXPECT_EQ(t[0], (Entry{0, 0, 0, 0}));
    for (int i = 0; i < 256; ++i) {
        const float x = float(i) / 255.0f;
        if (x < 0.2f || x >= 0.8f) {
            EXPECT_EQ(t[i][3], 0) << "entry " << i;
        } else if (x > 0.2f) {
            EXPECT_GT(t[i][3], 0) << "entry " << i;
        }
    }
}

TEST(LookupTable, RampsBlendFootMidAndShoulderColours)
{
    // Exact binary positions: entries at i / 16, ramps 0.25 wide.
    Table t = Shapes().add({{0.25f, 0.0f}, {0.5f, 0.5f}, {0.75f, 0.5f}, {1.0f, 0.0f}}, kRed, kGreen, kBlue).rasterise(17);
    EXPECT_EQ(t[4], (Entry{0, 0, 0, 0}));              // the foot itself: opacity 0
    EXPECT_EQ(t[5], (Entry{32767, 32767, 0, 8191}));   // quarter up: c0/c1 half each, 0.125
    EXPECT_EQ(t[6], (Entry{0, 65535, 0, 16383}));      // mid-ramp: c1, 0.25
    EXPECT_EQ(t[7], (Entry{0, 32767, 32767, 24575}));  // c1/c2 half each, 0.375
    EXPECT_EQ(t[8], (Entry{0, 65535, 0, 32767}));      // the shoulder closes the ramp with c1
    EXPECT_EQ(t[10], (Entry{0, 0, 65535, 32767}));     // plateau: c2
    EXPECT_EQ(t[12], (Entry{0, 65535, 0, 32767}));     // right shoulder starts the ramp
    EXPECT_EQ(t[14], (Entry{0, 65535, 0, 16383}));     // right mid-ramp: c1
    EXPECT_EQ(t[15], (Entry{32767, 32767, 0, 8191}));
    EXPECT_EQ(t[16], (Entry{0, 0, 0, 0}));             // x = right edge: outside
}

TEST(LookupTable, HigherOpacityWinsAndTieKeepsEarlierShape)
{
    // Equal plateaus overlapping on 0.4..0.6: the first shape keeps its colour.
    Table tie = Shapes()
                    .add({{0.0f, 0.0f}, {0.1f, 0.5f}, {0.6f, 0.5f}, {0.7f, 0.0f}}, kRed, kRed, kRed)
                    .add({{0.3f, 0.0f}, {0.4f, 0.5f}, {0.9f, 0.5f}, {1.0f, 0.0f}}, kGreen, kGreen, kGreen)
                    .rasterise(11);
    EXPECT_EQ(tie[5], (Entry{65535, 0, 0, 32767}));

    // Different heights: the higher wins whichever comes first.
    const Points low = {{0.0f, 0.0f}, {0.1f, 0.3f}, {0.9f, 0.3f}, {1.0f, 0.0f}};
    const Points high = {{0.3f, 0.0f}, {0.4f, 0.7f}, {0.6f, 0.7f}, {0.7f, 0.0f}};
    for (const Table& r : {Shapes().add(low, kRed, kRed, kRed).add(high, kBlue, kBlue, kBlue).rasterise(11),
                           Shapes().add(high, kBlue, kBlue, kBlue).add(low, kRed, kRed, kRed).rasterise(11)}) {
        EXPECT_EQ(r[5], (Entry{0, 0, 65535, 45874}));
        EXPECT_EQ(r[2], (Entry{65535, 0, 0, 19660}));
    }
}

TEST(LookupTable, FlatShapeAndVerticalLeftSide)
{
    // Height 0: nothing anywhere, colours or not.
    Shapes flat;
    flat.add(kDefault, kRed, kRed, kRed);
    flat.list[0]->points[1].y = flat.list[0]->points[2].y = 0.0f;
    EXPECT_EQ(flat.rasterise(64).data, std::vector<unsigned short>(64 * 4, 0));

    // A left ramp of width 0 at intensity 0: entry 0 stays clear, the next entries take
    // the falling ramp.
    Table w = Shapes().add({{0.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}, {0.15f, 0.0f}}, kRed, kGreen, kBlue).rasterise(256);
    EXPECT_EQ(w[0], (Entry{0, 0, 0, 0}));
    EXPECT_GT(w[1][3], 63000);
    EXPECT_LT(w[1][3], 65535);
    EXPECT_GT(w[1][3], w[20][3]);
    EXPECT_EQ(w[39][3], 0);  // 39 / 255 > 0.15
}

// Found by fuzzing the .tfn reader: a ramp of the smallest float width at intensity 0
// has no half width (it rounds to 0), and the colour's position on it became 0 / 0,
// whose conversion to a colour index is undefined (the sanitizer build stops there).
TEST(LookupTable, RampNarrowerThanFloatRoundingStaysOnItsRamp)
{
    const float narrowest = std::numeric_limits<float>::denorm_min();
    Table t = Shapes().add({{0.0f, 0.0f}, {narrowest, 1.0f}, {0.5f, 1.0f}, {0.6f, 0.0f}}, kRed, kGreen, kBlue).rasterise(256);
    EXPECT_EQ(t[0], (Entry{0, 0, 0, 0}));  // the ramp's foot, clear like a vertical side
    EXPECT_EQ(t[1], (Entry{0, 0, 65535, 65535}));
    EXPECT_EQ(t[127], (Entry{0, 0, 65535, 65535}));
}

TEST(LookupTable, GuardLeavesTableAloneOutsideUnitRange)
{
    Shapes s;
    s.add(kDefault, kRed, kGreen, kBlue);
    Table t(8, 0xBEEF);
    EXPECT_FALSE(rasteriseLookupTable(s.list, 0.2f, -0.1f, 8, t.data.data()));
    EXPECT_FALSE(rasteriseLookupTable(s.list, 1.5f, 2.0f, 8, t.data.data()));
    EXPECT_FALSE(rasteriseLookupTable(s.list, 0.0f, 1.0f, 1, t.data.data()));
    EXPECT_EQ(t.data, std::vector<unsigned short>(8 * 4, 0xBEEF));
    // A range starting below 0 is raised to 0 and passes.
    EXPECT_TRUE(rasteriseLookupTable(s.list, -3.0f, 0.5f, 8, t.data.data()));

    // No shapes: the empty range (1, 0) passes the guard and clears everything.
    EXPECT_EQ(Shapes().rasterise(8, 1.0f, 0.0f).data, std::vector<unsigned short>(8 * 4, 0));
}
