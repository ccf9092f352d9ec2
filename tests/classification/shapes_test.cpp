// Shape kinds without a window: default points, the point rules and their repairs, the
// HSL colour model, extents and the per-kind evaluate / rasterise2D.
#include "classification/Polygon.h"
#include "classification/Trapez.h"
#include "classification/Triangle.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Classification;

namespace {

using Points = std::vector<ShapePoint>;

void expectPoints(const Points& actual, const Points& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_FLOAT_EQ(actual[i].x, expected[i].x) << "point " << i;
        EXPECT_FLOAT_EQ(actual[i].y, expected[i].y) << "point " << i;
    }
}

void expectColour(const ShapeColour& c, float r, float g, float b, float a)
{
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(c[k], (k == 0 ? r : k == 1 ? g : k == 2 ? b : a), 1e-6f) << "channel " << k;
}

// The shape's points after `change`, repaired for a move of point `index` (-1: the whole shape).
template <typename Change>
Points repaired(TransferFunctionGeometry& shape, int index, Change change)
{
    Points c = shape.points;
    change(c);
    if (index < 0)
        shape.adjustAfterMove(c);
    else
        shape.adjustAfterPointMove(c, index);
    return c;
}

} // namespace

TEST(Shapes, SetPointsClampsIntoUnitSquareThenEnforcesTrapezoidRules)
{
    Trapez t("t");
    // Out-of-range coordinates are clamped before the rules see them.
    EXPECT_TRUE(t.setPoints({{-0.1f, 0.0f}, {0.3f, 1.2f}, {0.5f, 1.2f}, {1.3f, 0.0f}}));
    expectPoints(t.points, {{0.0f, 0.0f}, {0.3f, 1.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}});

    const Points before = t.points;
    const std::vector<Points> rejected = {
        {{0.1f, 0.0f}, {0.2f, 0.5f}, {0.3f, 0.6f}, {0.4f, 0.0f}},  // shoulders at two heights
        {{0.1f, 0.0f}, {0.35f, 0.5f}, {0.3f, 0.5f}, {0.4f, 0.0f}}, // p1 right of p2
        {{0.1f, 0.1f}, {0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, 0.0f}},  // foot off the axis
        {{0.3f, 0.0f}, {0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, 0.0f}},  // p0 right of p1
        {{0.1f, 0.0f}, {0.2f, 0.5f}, {0.3f, 0.0f}},                 // three points
    };
    for (size_t i = 0; i < rejected.size(); ++i) {
        EXPECT_FALSE(t.setPoints(rejected[i])) << "candidate " << i;
        expectPoints(t.points, before);
    }
    // A vertical left side and a plateau of width zero are allowed.
    EXPECT_TRUE(t.setPoints({{0.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}, {0.15f, 0.0f}}));
}

TEST(Shapes, TrapezoidRepairsKeepPlateauLevelAndFeetOnAxis)
{
    VornTrapez t("t");
    EXPECT_EQ(repaired(t, 1, [](Points& c) { c[1].y = 0.9f; })[2].y, 0.9f);
    EXPECT_EQ(repaired(t, 2, [](Points& c) { c[2].y = 0.3f; })[1].y, 0.3f);
    const Points moved = repaired(t, -1, [](Points& c) { c[0].y = 0.2f, c[3].y = -0.1f; });
    EXPECT_EQ(moved[0].y, 0.0f);
    EXPECT_EQ(moved[3].y, 0.0f);
}

TEST(Shapes, HslConversionCoversEverySectorAndWrapsHueOne)
{
    struct Case {
        HSLColour hsl;
        float r, g, b;
    };
    const Case cases[] = {
        {{0.0f, 1.0f, 0.5f}, 1, 0, 0},
        {{1.0f / 12.0f, 1.0f, 0.5f}, 1, 0.5f, 0},   // sector 0, half way up green
        {{0.25f, 1.0f, 0.5f}, 0.5f, 1, 0},          // sector 1 falling red
        {{0.5f, 1.0f, 0.5f}, 0, 1, 1},
        {{2.0f / 3.0f, 1.0f, 0.5f}, 0, 0, 1},
        {{0.75f, 1.0f, 0.5f}, 0.5f, 0, 1},          // sector 4
        {{11.0f / 12.0f, 1.0f, 0.5f}, 1, 0, 0.5f},  // sector 5
        {{1.0f, 1.0f, 0.5f}, 1, 0, 0},              // hue 1 is hue 0
        {{0.5f, 0.0f, 0.25f}, 0.25f, 0.25f, 0.25f}, // no saturation: grey
        {{0.0f, 1.0f, 0.75f}, 1, 0.5f, 0.5f},       // light: q = l + s - l s
        {{0.0f, 0.5f, 0.25f}, 0.375f, 0.125f, 0.125f},
    };
    VornTrapez t("t");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "hsl " << c.hsl.h << " " << c.hsl.s << " " << c.hsl.l);
        t.hslColours[1] = c.hsl;
        t.colours[1] = {9, 9, 9, 9};
        t.updateColour(1);
        expectColour(t.colours[1], c.r, c.g, c.b, 0);
    }
    // A hue outside 0..1 has no sector: the colour is left alone.
    t.hslColours[2] = {1.5f, 1.0f, 0.5f};
    t.colours[2] = {0.1f, 0.2f, 0.3f, 0.4f};
    t.updateColour(2);
    expectColour(t.colours[2], 0.1f, 0.2f, 0.3f, 0.4f);
    // -1 converts every point.
    t.hslColours[2] = {0.5f, 1.0f, 0.5f};
    t.updateColour(-1);
    expectColour(t.colours[0], 1, 0, 0, 0);
    expectColour(t.colours[2], 0, 1, 1, 0);
}

TEST(Shapes, EvaluateGivesShapeColoursInsideAndNothingOutside)
{
    VornTrapez v("v");
    for (int k = 0; k < 4; ++k)
        v.colours[k] = {0.1f * (k + 1), 0.0f, 0.0f, 1.0f};
    EXPECT_FLOAT_EQ(v.evaluate({0.3f}).r, 0.1f);        // left ramp
    EXPECT_FLOAT_EQ(v.evaluate({0.5f, 0.9f}).r, 0.2f);  // plateau; a second value is ignored
    EXPECT_FLOAT_EQ(v.evaluate({0.7f}).r, 0.4f);        // right ramp: colour 3
    for (const std::vector<float>& outside : {std::vector<float>{0.9f}, {}, {0.5f, 0.5f, 0.5f}})
        expectColour(v.evaluate(outside), 0, 0, 0, 0);

    Trapez t("t");  // blends the colours of its points
    t.colours = {{0, 0, 0, 0}, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 0}};
    expectColour(t.evaluate({0.3f}), 0.5f, 0, 0, 0.5f);
    expectColour(t.evaluate({0.5f}), 0.5f, 0.5f, 0, 1.0f);
}

TEST(Shapes, PolygonDefaultsAndRules)
{
    Polygon p("p");
    expectPoints(p.points, {{0.2f, 0}, {0.35f, 0.8f}, {0.5f, 0.4f}, {0.65f, 0.8f}, {0.8f, 0}});
    EXPECT_EQ(p.hslColours.size(), 5u);
    Points c = p.points;
    c[2].y = 0.9f;  // inner points at any height
    EXPECT_TRUE(p.setPoints(c));
    for (auto breakRule : {+[](Points& q) { q[1].x = 0.1f; },  // left of the first point
                           +[](Points& q) { q[4].y = 0.1f; },  // foot off the axis
                           +[](Points& q) { q.pop_back(); }}) {
        c = p.points;
        breakRule(c);
        EXPECT_FALSE(p.setPoints(c));
    }
    const Points moved = repaired(p, -1, [](Points& q) { q[0].y = q[4].y = 0.3f; });
    EXPECT_EQ(moved[0].y, 0.0f);  // feet back on the axis
    EXPECT_EQ(moved[4].y, 0.0f);
    EXPECT_FLOAT_EQ(moved[2].y, 0.9f);
}

TEST(Shapes, TriangleDefaultsCutAndEmptyExtent)
{
    Triangle t("t");
    expectPoints(t.points, {{0.5f, 0.0f}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0.635f, 0.3f}});
    EXPECT_FLOAT_EQ(t.minX(), 0.3f);
    EXPECT_FLOAT_EQ(t.maxX(), 0.7f);
    EXPECT_FLOAT_EQ(t.leftCutPoint().x, 0.4f);
    EXPECT_FLOAT_EQ(t.rightCutPoint().x, 0.6f);

    // The cut reaching the top leaves nothing: an empty extent.
    EXPECT_TRUE(t.setPoints({{0.5f, 0.0f}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0.9f, 0.6f}}));
    EXPECT_EQ(t.minX(), 1.0f);
    EXPECT_EQ(t.maxX(), 0.0f);

    // Rules: p3 within 0..p1.y, top level, p1 left of p2, apex on the axis; apex x is free.
    EXPECT_FALSE(t.setPoints({{0.5f, 0.0f}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0.9f, 0.7f}}));
    EXPECT_FALSE(t.setPoints({{0.5f, 0.0f}, {0.3f, 0.6f}, {0.7f, 0.5f}, {0.9f, 0.2f}}));
    EXPECT_FALSE(t.setPoints({{0.5f, 0.0f}, {0.7f, 0.6f}, {0.3f, 0.6f}, {0.9f, 0.2f}}));
    EXPECT_FALSE(t.setPoints({{0.5f, 0.1f}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0.9f, 0.2f}}));
    EXPECT_TRUE(t.setPoints({{0.9f, 0.0f}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0.0f, 0.2f}}));
}

TEST(Shapes, TriangleRepairsScaleCutWithTopAndTrailHandle)
{
    Triangle t("t");
    t.hitState = kHitPoint;
    t.hitIndex = 1;
    t.lastX = 0.3f;
    t.lastY = 0.6f;
    ASSERT_TRUE(t.drag({0.3f, 0.8f}));
    // The top stays level, the cut keeps half the height, and the handle follows the
    // right edge as it stood before this step.
    expectPoints(t.points, {{0.5f, 0.0f}, {0.3f, 0.8f}, {0.7f, 0.8f}, {0.635f, 0.4f}});

    // The right corner left of the left corner pulls the left corner with it.
    EXPECT_FLOAT_EQ(repaired(t, 2, [](Points& c) { c[2].x = 0.2f; })[1].x, 0.2f);
    const Points top = repaired(t, 1, [](Points& c) { c[1].y = 1.6f; });  // held at 1, the cut scales
    EXPECT_EQ(top[2].y, 1.0f);
    EXPECT_FLOAT_EQ(top[3].y, 0.5f);
    // The handle is held between the axis and the top.
    EXPECT_EQ(repaired(t, 3, [](Points& c) { c[3].y = -0.2f; })[3].y, 0.0f);
    EXPECT_FLOAT_EQ(repaired(t, 3, [](Points& c) { c[3].y = 0.95f; })[3].y, 0.8f);
    // A whole move puts the apex back on the axis.
    EXPECT_EQ(repaired(t, -1, [](Points& c) { for (ShapePoint& p : c) p.y += 0.05f; })[0].y, 0.0f);
}

TEST(Shapes, TriangleRasterisesBetweenCutAndTopOnly)
{
    const int size = 20;
    Triangle t("t");
    t.colours[0] = {1.0f, 0.0f, 0.0f, 0.0f};
    // Apex (0.5, 0), top 0.3..0.7 at 0.6, cut at 0.3: rows 6 to 12.
    std::vector<unsigned char> table(size * size * 4, 0);
    t.rasterise2D(table.data(), size);
    auto alpha = [&](int row, int col) { return int(table[(row * size + col) * 4 + 3]); };
    for (int col = 0; col < size; ++col)
        EXPECT_EQ(alpha(5, col) + alpha(13, col), 0) << "below the cut or above the top, column " << col;
    // Row 10 (height 0.525): edges at 0.325 and 0.675, centre 0.5; red over black keeps red = opacity.
    EXPECT_GT(alpha(10, 9), 200);
    EXPECT_EQ(table[(10 * size + 9) * 4], alpha(10, 9));
    EXPECT_EQ(alpha(10, 5) + alpha(10, 14), 0);
    const int before = alpha(10, 7);  // blending keeps what was there
    t.rasterise2D(table.data(), size);
    EXPECT_GT(alpha(10, 7), before);
}
