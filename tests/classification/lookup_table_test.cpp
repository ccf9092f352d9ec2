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

struct Table {
    std::vector<unsigned short> data;
    explicit Table(int n, unsigned short fill = 0) : data(size_t(n) * 4, fill) {}
    Entry operator[](int i) const { return {data[i * 4], data[i * 4 + 1], data[i * 4 + 2], data[i * 4 + 3]}; }
};

// A set of shapes owned by the test, in list order.
struct Shapes {
    std::vector<std::unique_ptr<TransferFunctionGeometry>> owned;
    std::vector<TransferFunctionGeometry*> list;
    VornTrapez& add(std::vector<ShapePoint> points, ShapeColour c0, ShapeColour c1, ShapeColour c2)
    {
        owned.push_back(std::make_unique<VornTrapez>("s"));
        auto& t = static_cast<VornTrapez&>(*owned.back());
        EXPECT_TRUE(t.setPoints(points));
        t.colours[0] = c0;
        t.colours[1] = c1;
        t.colours[2] = c2;
        list.push_back(&t);
        return t;
    }
};

const ShapeColour kRed{1, 0, 0, 0}, kGreen{0, 1, 0, 0}, kBlue{0, 0, 1, 0};

Table rasterise(const Shapes& shapes, int n, float lo = 0.0f, float hi = 1.0f)
{
    Table t(n, 0xBEEF);
    EXPECT_TRUE(rasteriseLookupTable(shapes.list, lo, hi, n, t.data.data()));
    return t;
}

} // namespace

TEST(LookupTable, DefaultTrapezoidPlateauStoresTruncatedOpacity)
{
    Shapes s;
    s.add({{0.2f, 0.0f}, {0.4f, 0.8f}, {0.6f, 0.8f}, {0.8f, 0.0f}}, kRed, kGreen, kBlue);
    Table t = rasterise(s, 256);
    EXPECT_EQ(t[128], (Entry{0, 0, 65535, 52428}));  // 0.8 x 65535 = 52428.0..., truncated
    EXPECT_EQ(t[0], (Entry{0, 0, 0, 0}));
    for (int i = 0; i < 256; ++i) {
        float x = float(i) / 255.0f;
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
    Shapes s;
    s.add({{0.25f, 0.0f}, {0.5f, 0.5f}, {0.75f, 0.5f}, {1.0f, 0.0f}}, kRed, kGreen, kBlue);
    Table t = rasterise(s, 17);
    EXPECT_EQ(t[4], (Entry{0, 0, 0, 0}));                // the foot itself: opacity 0
    EXPECT_EQ(t[5], (Entry{32767, 32767, 0, 8191}));     // quarter up: c0/c1 half each, 0.125
    EXPECT_EQ(t[6], (Entry{0, 65535, 0, 16383}));        // mid-ramp: c1, 0.25
    EXPECT_EQ(t[7], (Entry{0, 32767, 32767, 24575}));    // c1/c2 half each, 0.375
    EXPECT_EQ(t[8], (Entry{0, 65535, 0, 32767}));        // the shoulder closes the ramp with c1
    EXPECT_EQ(t[10], (Entry{0, 0, 65535, 32767}));       // plateau: c2
    EXPECT_EQ(t[12], (Entry{0, 65535, 0, 32767}));       // right shoulder starts the ramp
    EXPECT_EQ(t[14], (Entry{0, 65535, 0, 16383}));       // right mid-ramp: c1
    EXPECT_EQ(t[15], (Entry{32767, 32767, 0, 8191}));
    EXPECT_EQ(t[16], (Entry{0, 0, 0, 0}));               // x = right edge: outside
}

TEST(LookupTable, HigherOpacityWinsAndTieKeepsEarlierShape)
{
    // Equal plateaus overlapping on 0.4..0.6: the first shape keeps its colour.
    Shapes tie;
    tie.add({{0.0f, 0.0f}, {0.1f, 0.5f}, {0.6f, 0.5f}, {0.7f, 0.0f}}, kRed, kRed, kRed);
    tie.add({{0.3f, 0.0f}, {0.4f, 0.5f}, {0.9f, 0.5f}, {1.0f, 0.0f}}, kGreen, kGreen, kGreen);
    Table t = rasterise(tie, 11);
    EXPECT_EQ(t[5], (Entry{65535, 0, 0, 32767}));

    // Different heights: the higher wins whichever comes first.
    for (int order = 0; order < 2; ++order) {
        Shapes s;
        std::vector<ShapePoint> low = {{0.0f, 0.0f}, {0.1f, 0.3f}, {0.9f, 0.3f}, {1.0f, 0.0f}};
        std::vector<ShapePoint> high = {{0.3f, 0.0f}, {0.4f, 0.7f}, {0.6f, 0.7f}, {0.7f, 0.0f}};
        if (order == 0) {
            s.add(low, kRed, kRed, kRed);
            s.add(high, kBlue, kBlue, kBlue);
        } else {
            s.add(high, kBlue, kBlue, kBlue);
            s.add(low, kRed, kRed, kRed);
        }
        Table r = rasterise(s, 11);
        EXPECT_EQ(r[5], (Entry{0, 0, 65535, 45874})) << "order " << order;
        EXPECT_EQ(r[2], (Entry{65535, 0, 0, 19660})) << "order " << order;
    }
}

TEST(LookupTable, FlatShapeAndVerticalLeftSide)
{
    // Height 0: nothing anywhere, colours or not.
    Shapes flat;
    TransferFunctionGeometry& f = flat.add({{0.2f, 0.0f}, {0.4f, 0.8f}, {0.6f, 0.8f}, {0.8f, 0.0f}},
                                           kRed, kRed, kRed);
    f.points[1].y = f.points[2].y = 0.0f;
    Table t = rasterise(flat, 64);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(t[i], (Entry{0, 0, 0, 0})) << "entry " << i;

    // A left ramp of width 0 at intensity 0: entry 0 stays clear, the next entries
    // take the falling ramp.
    Shapes wall;
    wall.add({{0.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}, {0.15f, 0.0f}}, kRed, kGreen, kBlue);
    Table w = rasterise(wall, 256);
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
    Shapes s;
    s.add({{0.0f, 0.0f}, {narrowest, 1.0f}, {0.5f, 1.0f}, {0.6f, 0.0f}}, kRed, kGreen, kBlue);
    Table t = rasterise(s, 256);
    EXPECT_EQ(t[0], (Entry{0, 0, 0, 0}));  // the ramp's foot, clear like a vertical side
    EXPECT_EQ(t[1], (Entry{0, 0, 65535, 65535}));
    EXPECT_EQ(t[127], (Entry{0, 0, 65535, 65535}));
}

TEST(LookupTable, GuardLeavesTableAloneOutsideUnitRange)
{
    Shapes s;
    s.add({{0.2f, 0.0f}, {0.4f, 0.8f}, {0.6f, 0.8f}, {0.8f, 0.0f}}, kRed, kGreen, kBlue);
    Table t(8, 0xBEEF);
    EXPECT_FALSE(rasteriseLookupTable(s.list, 0.2f, -0.1f, 8, t.data.data()));
    EXPECT_FALSE(rasteriseLookupTable(s.list, 1.5f, 2.0f, 8, t.data.data()));
    EXPECT_FALSE(rasteriseLookupTable(s.list, 0.0f, 1.0f, 1, t.data.data()));
    for (unsigned short v : t.data)
        ASSERT_EQ(v, 0xBEEF);
    // A range starting below 0 is raised to 0 and passes.
    EXPECT_TRUE(rasteriseLookupTable(s.list, -3.0f, 0.5f, 8, t.data.data()));

    // No shapes: the empty range (1, 0) passes the guard and clears everything.
    Shapes none;
    Table z = rasterise(none, 8, 1.0f, 0.0f);
    for (unsigned short v : z.data)
        ASSERT_EQ(v, 0);
}
