// Transfer functions without a window (the table is rasterised, not uploaded): the shape
// kinds' point rules, repairs, colours, evaluate and rasterise2D; the editor's hit tests,
// presses and drags; the ".tfn" reader, shapes by name and loading files.
#include "TableTransferFunction.h"

#include "classification/Polygon.h"
#include "classification/TfnReader.h"
#include "classification/Trapez.h"
#include "classification/Triangle.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace Classification;

namespace {

using Points = std::vector<ShapePoint>;
constexpr int kLeft = 0, kRight = 2, kDown = 0, kUp = 1;  // GLUT buttons and states
const std::string kSkin = "1\nSkin\n900\n1400\n100\n200\n0.3\nunused\n16777215\n8421504\n255\n";
const std::string kSkinRead = "Skin(0.2197 0)(0.2441 0.3)(0.293 0.3)(0.3418 0) 0.9961 0.9961 0.9961 0.5 0.5 0.5 0.9961 0 0";

// Values rounded to 4 decimals as text, so that a whole list is one comparison.
std::string text(std::initializer_list<float> values)
{
    std::ostringstream out;
    for (float v : values)
        out << (out.tellp() > 0 ? " " : "") << std::round(v * 1e4f) / 1e4f + 0.0f;  // no "-0"
    return out.str();
}
std::string text(const ShapeColour& c) { return text({c.r, c.g, c.b, c.a}); }
std::string text(const Points& points)
{
    std::string out;
    for (const ShapePoint& p : points)
        out += "(" + text({p.x, p.y}) + ")";
    return out;
}
// A shape's or record's name, points and colours 0 to 2 (red, green, blue; left out if black).
std::string text(const std::string& name, const Points& points, const ShapeColour* c)
{
    const std::string colours = text({c[0].r, c[0].g, c[0].b, c[1].r, c[1].g, c[1].b, c[2].r, c[2].g, c[2].b});
    return name + text(points) + (colours == "0 0 0 0 0 0 0 0 0" ? "" : " " + colours);
}

// Names in list order, a star marking the kind every file record becomes.
std::string names(const TransferFunction& tf)
{
    std::string out;
    for (const TransferFunctionGeometry* s : tf.shapes)
        out += s->getName() + (dynamic_cast<const VornTrapez*>(s) ? "* " : " ");
    return out;
}

bool load(TableTransferFunction& tf, const std::string& text)
{
    testfs::ScratchDir dir;
    dir.write("test.tfn", text);
    return tf.loadFromFile(dir.file("test.tfn"));
}

// The game's 832 x 642 window with a 500 x 500 editor at margins 10 (0.02 is 10 pixels).
struct Editor {
    TableTransferFunction tf;
    Editor() { tf.viewportHeight = 642, tf.setEditorWidth(500.0f), tf.setEditorHeight(500.0f); }
    static int x(float nx) { return 10 + int(nx * 500.0f + 0.5f); }
    static int y(float ny) { return 642 - 11 - int(ny * 500.0f + 0.5f); }
    bool press(float nx, float ny, int button = kLeft) { return tf.mousePress(button, kDown, x(nx), y(ny)); }
    bool release(float nx, float ny) { return tf.mousePress(kLeft, kUp, x(nx), y(ny)); }
    bool move(float nx, float ny) { return tf.mouseMove(x(nx), y(ny)); }
    TransferFunctionGeometry& add(const char* kind) { return *tf.getShape(tf.addShape(kind, kind)); }
};

} // namespace

TEST(Shapes, SetPointsClampsIntoTheSquareAndKeepsOnlyWhatTheKindsRulesAccept)
{
    // Points and extent of accepted candidates, clamped; "" marks a refusal, which keeps the defaults.
    const std::tuple<const char*, Points, const char*> cases[] = {
        {"Trapez", {{-0.1f, 0}, {0.3f, 1.2f}, {0.5f, 1.2f}, {1.3f, 0}}, "(0 0)(0.3 1)(0.5 1)(1 0) 0 1"},
        {"Trapez", {{0, 0}, {0, 1}, {0, 1}, {0.15f, 0}}, "(0 0)(0 1)(0 1)(0.15 0) 0 0.15"},  // vertical side, no plateau
        // Shoulders at two heights; x going back at each point; a foot off the axis; three points.
        {"Trapez", {{0.1f, 0}, {0.2f, 0.5f}, {0.3f, 0.6f}, {0.4f, 0}}, ""}, {"Trapez", {{0.3f, 0}, {0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, 0}}, ""},
        {"Trapez", {{0.1f, 0}, {0.35f, 0.5f}, {0.3f, 0.5f}, {0.4f, 0}}, ""}, {"Trapez", {{0.1f, 0}, {0.2f, 0.5f}, {0.5f, 0.5f}, {0.4f, 0}}, ""},
        {"Trapez", {{0.1f, 0.1f}, {0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, 0}}, ""}, {"Trapez", {{0.1f, 0}, {0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, 0.1f}}, ""},
        {"Trapez", {{0.1f, 0}, {0.2f, 0.5f}, {0.3f, 0}}, ""},
        {"Polygon", {{0, 0}, {0.2f, 1}, {0.5f, 0.9f}, {0.7f, 0.8f}, {1, 0}}, "(0 0)(0.2 1)(0.5 0.9)(0.7 0.8)(1 0) 0 1"},
        // x going back; a foot off the axis, either; four points; six, the first five valid.
        {"Polygon", {{0.2f, 0}, {0.1f, 0.8f}, {0.5f, 0.4f}, {0.65f, 0.8f}, {0.8f, 0}}, ""},
        {"Polygon", {{0.2f, 0.1f}, {0.35f, 0.8f}, {0.5f, 0.4f}, {0.65f, 0.8f}, {0.8f, 0}}, ""},
        {"Polygon", {{0.2f, 0}, {0.35f, 0.8f}, {0.5f, 0.4f}, {0.65f, 0.8f}, {0.8f, 0.1f}}, ""},
        {"Polygon", {{0.2f, 0}, {0.35f, 0.8f}, {0.65f, 0.8f}, {0.8f, 0}}, ""},
        {"Polygon", {{0.2f, 0}, {0.35f, 0.8f}, {0.5f, 0.4f}, {0.65f, 0.8f}, {0.8f, 0}, {0.9f, 0}}, ""},
        {"Triangle", {{0.9f, 0}, {0.3f, 1}, {1, 1}, {0, 1}}, "(0.9 0)(0.3 1)(1 1)(0 1) 1 0"},  // cut at the top: empty
        {"Triangle", {{0, 0}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0, 0.3f}}, "(0 0)(0.3 0.6)(0.7 0.6)(0 0.3) 0.15 0.7"},
        {"Triangle", {{0.5f, 0}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0.2f, 0}}, "(0.5 0)(0.3 0.6)(0.7 0.6)(0.2 0) 0.3 0.7"},
        // The cut above the top; the top not level; its corners swapped; the apex off the axis.
        {"Triangle", {{0.5f, 0}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0.9f, 0.7f}}, ""}, {"Triangle", {{0.5f, 0}, {0.3f, 0.6f}, {0.7f, 0.5f}, {0.9f, 0.2f}}, ""},
        {"Triangle", {{0.5f, 0}, {0.7f, 0.6f}, {0.3f, 0.6f}, {0.9f, 0.2f}}, ""}, {"Triangle", {{0.5f, 0.1f}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0.9f, 0.2f}}, ""},
    };
    Editor e;
    for (const auto& [kind, candidate, expected] : cases) {
        TransferFunctionGeometry& s = e.add(kind);
        const std::string defaults = text(s.points) + " " + text({s.minX(), s.maxX()});
        EXPECT_EQ(s.setPoints(candidate), *expected != '\0') << kind << " " << text(candidate);
        EXPECT_EQ(text(s.points) + " " + text({s.minX(), s.maxX()}), *expected ? expected : defaults) << kind << " " << text(candidate);
    }
}

TEST(Shapes, RepairsKeepThePlateauLevelTheFeetOnTheAxisAndTheTrianglesCutInProportion)
{
    // Point `index` (-1: the whole shape) moved by the change, then repaired.
    const std::tuple<const char*, int, void (*)(Points&), const char*> cases[] = {
        {"Trapez", 1, [](Points& c) { c[1].y = 0.9f; }, "(0.2 0)(0.4 0.9)(0.6 0.9)(0.8 0)"},
        {"Trapez", 2, [](Points& c) { c[2].y = 0.3f; }, "(0.2 0)(0.4 0.3)(0.6 0.3)(0.8 0)"},
        {"Trapez", -1, [](Points& c) { c[0].y = 0.2f, c[3].y = -0.1f; }, "(0.2 0)(0.4 0.8)(0.6 0.8)(0.8 0)"},
        {"Polygon", -1, [](Points& c) { c[0].y = c[4].y = 0.3f, c[2].y = 0.9f; }, "(0.2 0)(0.35 0.8)(0.5 0.9)(0.65 0.8)(0.8 0)"},
        {"Triangle", 1, [](Points& c) { c[1].y = 1.6f; }, "(0.5 0)(0.3 1)(0.7 1)(0.635 0.5)"},  // held at 1
        {"Triangle", 1, [](Points& c) { c[1].y = -0.5f; }, "(0.5 0)(0.3 0)(0.7 0)(0.635 0)"},
        {"Triangle", 1, [](Points& c) { c[1].x = 0.8f; }, "(0.5 0)(0.8 0.6)(0.8 0.6)(0.635 0.3)"},
        {"Triangle", 2, [](Points& c) { c[2].x = 0.2f; }, "(0.5 0)(0.2 0.6)(0.2 0.6)(0.635 0.3)"},
        {"Triangle", 3, [](Points& c) { c[3].y = -0.2f; }, "(0.5 0)(0.3 0.6)(0.7 0.6)(0.635 0)"},
        {"Triangle", 3, [](Points& c) { c[3].y = 0.95f; }, "(0.5 0)(0.3 0.6)(0.7 0.6)(0.635 0.6)"},
        {"Triangle", -1, [](Points& c) { for (ShapePoint& p : c) p.y += 0.05f; }, "(0.5 0)(0.3 0.65)(0.7 0.65)(0.635 0.325)"},
    };
    Editor e;
    for (const auto& [kind, index, change, expected] : cases) {
        TransferFunctionGeometry& s = e.add(kind);
        Points c = s.points;
        change(c);
        index < 0 ? s.adjustAfterMove(c) : s.adjustAfterPointMove(c, index);
        EXPECT_EQ(text(c), expected) << kind << " " << index;
    }
}

TEST(Shapes, HslColoursCoverEverySectorAndHueOneIsHueZero)
{
    const std::pair<HSLColour, const char*> cases[] = {
        {{0, 1, 0.5f}, "1 0 0 0"}, {{1.0f / 12, 1, 0.5f}, "1 0.5 0 0"}, {{0.25f, 1, 0.5f}, "0.5 1 0 0"},
        {{0.5f, 1, 0.5f}, "0 1 1 0"}, {{2.0f / 3, 1, 0.5f}, "0 0 1 0"}, {{0.75f, 1, 0.5f}, "0.5 0 1 0"},
        {{11.0f / 12, 1, 0.5f}, "1 0 0.5 0"}, {{1, 1, 0.5f}, "1 0 0 0"}, {{0.5f, 0, 0.25f}, "0.25 0.25 0.25 0"},
        {{0, 1, 0.75f}, "1 0.5 0.5 0"}, {{0, 0.5f, 0.25f}, "0.375 0.125 0.125 0"},
        {{1.5f, 1, 0.5f}, "9 9 9 9"},  // no sector: the colour is left alone
    };
    VornTrapez t("t");
    for (const auto& [hsl, rgba] : cases) {
        t.hslColours[1] = hsl;
        t.colours[1] = {9, 9, 9, 9};
        t.updateColour(1);
        EXPECT_EQ(text(t.colours[1]), rgba) << text({hsl.h, hsl.s, hsl.l});
    }
    t.updateColour(-1);  // every point
    EXPECT_EQ(text(t.colours[0]) + " / " + text(t.colours[3]), "1 0 0 0 / 1 0 0 0");
}

TEST(Shapes, EvaluateGivesTheKindsColourUpToBothFeetAndNothingOutside)
{
    const ShapeColour palette[5] = {{0, .2f, .4f, .6f}, {1, .6f, .2f, 0}, {.5f, 1, 0, 1}, {.2f, .4f, .8f, .4f}, {.3f, .3f, .3f, .3f}};
    const std::tuple<const char*, std::vector<float>, const char*> cases[] = {
        // Trapez blends from point to point; a second value is ignored; the right foot is colour 3.
        {"Trapez", {0.3f}, "0.5 0.4 0.3 0.3"}, {"Trapez", {0.5f, 0.9f}, "0.75 0.8 0.1 0.5"}, {"Trapez", {0.8f}, "0.2 0.4 0.8 0.4"},
        {"Trapez", {0.81f}, "0 0 0 0"}, {"Trapez", {}, "0 0 0 0"}, {"Trapez", {0.5f, 0.5f, 0.5f}, "0 0 0 0"},
        {"VornTrapez", {0.2f}, "0 0.2 0.4 0.6"}, {"VornTrapez", {0.4f}, "1 0.6 0.2 0"}, {"VornTrapez", {0.6f}, "1 0.6 0.2 0"},
        {"VornTrapez", {0.8f}, "0.2 0.4 0.8 0.4"}, {"VornTrapez", {0.19f}, "0 0 0 0"},
        {"Polygon", {0.275f}, "0.5 0.4 0.3 0.3"}, {"Polygon", {0.8f}, "0.3 0.3 0.3 0.3"}, {"Polygon", {0.81f}, "0 0 0 0"},
        {"Triangle", {0.5f}, "0 0 0 0"},
    };
    Editor e;
    for (const auto& [kind, values, expected] : cases) {
        TransferFunctionGeometry& s = e.add(kind);
        std::copy(palette, palette + s.colours.size(), s.colours.begin());
        EXPECT_EQ(text(s.evaluate(values)), expected) << kind << " " << (values.empty() ? -1.0f : values[0]);
    }
}

TEST(Shapes, TriangleRasterisesATentBetweenCutAndTopAndBlendsOverTheTable)
{
    Triangle t("t");  // apex (0.5, 0), top 0.3 to 0.7 at 0.6, cut at 0.3: rows 6 to 12 of 20
    t.colours[0] = {1, 0, 0, 0};
    std::vector<unsigned char> table(20 * 20 * 4, 0);
    auto line = [&](int step, int start, int channel) {
        std::string out;
        for (int k = 0; k < 20; ++k)
            out += std::to_string(table[size_t(start + k * step) * 4 + channel]) + " ";
        return out;
    };
    t.rasterise2D(table.data(), 20);
    EXPECT_EQ(line(20, 10, 3), "0 0 0 0 0 0 196 204 210 214 218 221 223 0 0 0 0 0 0 0 ");  // column 10 upward
    EXPECT_EQ(line(1, 200, 3), "0 0 0 0 0 0 0 72 145 218 218 145 72 0 0 0 0 0 0 0 ");  // row 10
    EXPECT_EQ(line(1, 200, 0), line(1, 200, 3));  // red over black keeps red = opacity
    t.rasterise2D(table.data(), 20);
    EXPECT_EQ(line(1, 200, 3), "0 0 0 0 0 0 0 124 207 249 249 207 124 0 0 0 0 0 0 0 ");
    const std::vector<unsigned char> before = table;
    t.points = {{0.5f, 0}, {0.3f, 0}, {0.7f, 0}, {0.5f, 0}};  // flattened onto the axis: nothing to draw
    t.rasterise2D(table.data(), 20);
    EXPECT_TRUE(table == before);
}

TEST(Editor, HitTestPrefersPointOverEdgeOverInsideAndColourModePicksAPart)
{
    const std::tuple<const char*, int, ShapePoint, int, int> cases[] = {  // kind, mode, position: hitState, hitIndex
        // A point on an edge; the plateau edge; the edge closing back to p0; inside; beyond an edge's end or side.
        {"VornTrapez", kEditGeometry, {0.41f, 0.8f}, kHitPoint, 1}, {"VornTrapez", kEditGeometry, {0.5f, 0.82f}, kHitEdge, 1},
        {"VornTrapez", kEditGeometry, {0.5f, 0.01f}, kHitEdge, 3}, {"VornTrapez", kEditGeometry, {0.5f, 0.4f}, kHitInside, 0},
        {"VornTrapez", kEditGeometry, {0.8f, -0.04f}, kHitNothing, 0}, {"VornTrapez", kEditGeometry, {0.5f, 0.85f}, kHitNothing, 0},
        // Colours: left ramp, plateau, right ramp; a real point stays that point; the polygon's segments.
        {"VornTrapez", kEditColour, {0.3f, 0.1f}, kHitPoint, 0}, {"VornTrapez", kEditColour, {0.5f, 0.1f}, kHitPoint, 1},
        {"VornTrapez", kEditColour, {0.7f, 0.1f}, kHitPoint, 2}, {"VornTrapez", kEditColour, {0.61f, 0.8f}, kHitPoint, 2},
        {"Trapez", kEditColour, {0.5f, 0.4f}, kHitInside, 0}, {"Polygon", kEditGeometry, {0.45f, 0.2f}, kHitInside, 0},
        {"Polygon", kEditColour, {0.45f, 0.2f}, kHitPoint, 1}, {"Polygon", kEditColour, {0.7f, 0.2f}, kHitPoint, 3},
        {"Polygon", kEditColour, {0.5f, 0.2f}, kHitPoint, 2},  // on a point's x: the segment it starts
    };
    Editor e;
    for (const auto& [kind, mode, at, state, index] : cases) {
        TransferFunctionGeometry& s = e.add(kind);
        s.editMode = mode;
        s.hitTest(at);
        EXPECT_EQ(std::tuple(s.hitState, s.hitIndex), std::tuple(state, index)) << kind << " " << text({at.x, at.y});
    }
}

// A release outside the editor used to leave the shape grabbed.
TEST(Editor, DragsMoveAPointAnEdgeOrTheWholeShapeStepByStepUntilAReleaseAnywhere)
{
    Editor e;
    TransferFunctionGeometry& t = e.add("VornTrapez");
    t.colours[2] = {0, 0, 1, 0};
    EXPECT_FALSE(e.press(0.9f, 0.9f) || e.move(0.5f, 0.5f) || e.tf.mousePress(kLeft, kDown, 510, e.y(0.8f)));
    EXPECT_EQ(std::tuple(e.tf.selectedShape, t.lastX, e.tf.updates), std::tuple(-1, 0.9f, 0));  // right of the editor unseen
    ASSERT_TRUE(e.press(0.38f, 0.8f));  // 0.02 left of the left shoulder
    EXPECT_EQ(std::tuple(e.tf.selectedShape, t.hitState, t.hitIndex, t.editMode), std::tuple(0, int(kHitPoint), 1, 0));
    ASSERT_TRUE(e.move(0.38f, 0.9f));  // both shoulders rise; the table is rebuilt
    EXPECT_EQ(std::tuple(e.tf.updates, e.tf.channel(128, 3), e.tf.channel(128, 2)), std::tuple(1, toChannel(t.points[1].y), 65535));
    EXPECT_FALSE(e.move(0.38f, 1.2f));  // out of the square: refused whole, nothing clamped
    EXPECT_FALSE(e.release(0.38f, 1.2f) || e.move(0.38f, 0.7f));  // released outside the editor
    EXPECT_EQ(text(t.points) + " " + std::to_string(e.tf.updates) + " " + text({t.lastY}), "(0.2 0)(0.4 0.9)(0.6 0.9)(0.8 0) 1 0.7");
    ASSERT_TRUE(e.press(0.5f, 0.9f) && e.move(0.54f, 0.7f));  // the plateau edge
    EXPECT_EQ(text(t.points), "(0.2 0)(0.44 0.7)(0.64 0.7)(0.8 0)");
    ASSERT_TRUE(e.press(0.5f, 0.3f) && e.move(0.4f, 0.32f));  // inside: the feet stay on the axis
    EXPECT_EQ(text(t.points), "(0.1 0)(0.34 0.72)(0.54 0.72)(0.7 0)");
    // A foot dragged in steps of 0.1 stops left of the shoulder at 0.34; every later step
    // is measured from the pointer, not from the stuck foot, and one step back moves it back.
    ASSERT_TRUE(e.press(0.1f, 0.0f));
    std::string steps;
    for (float x = 0.2f; x < 0.85f; x += 0.1f)
        steps += e.move(x, 0.0f) ? '+' : '-';
    EXPECT_EQ(steps + text({e.tf.rangeMin}), "++-----0.3");
    EXPECT_TRUE(e.move(0.7f, 0.0f));
    EXPECT_EQ(text(t.points), "(0.2 0)(0.34 0.72)(0.54 0.72)(0.7 0)");
}

// Hues far out used to be wrapped by adding 1 until non-negative, which never ended
// beyond 2^24; a tiny negative hue lands on 0, not on 1.
TEST(Editor, ColourDragsTurnTheHueOfThePartUnderThePressWrappingAtOnceAndDarkenUpward)
{
    Editor e;
    TransferFunctionGeometry& t = e.add("VornTrapez");
    ASSERT_TRUE(e.press(0.5f, 0.4f, kRight));  // on the plateau; the press itself switches to colours
    EXPECT_EQ(std::tuple(t.editMode, t.hitState, t.hitIndex), std::tuple(1, int(kHitPoint), 1));
    // Right wraps the hue, left past 0 comes back from 1, lightness stops at 0; then far hues.
    std::string seen;
    for (ShapePoint p : {ShapePoint{1.0f, 0.4f}, {1.6f, 0.65f}, {1.2f, 0.65f}, {1.2f, 1.5f}}) {
        ASSERT_TRUE(e.move(p.x, p.y));
        seen += text({t.hslColours[1].h, t.hslColours[1].l, t.colours[1].r, t.colours[1].g, t.colours[1].b}) + "; ";
    }
    for (float x : {-3.0e7f, -1.0e-8f, 5.0e7f}) {
        t.hslColours[1].h = t.lastX = 0.0f;
        ASSERT_TRUE(t.dragColour({x, t.lastY}));
        seen += text({t.hslColours[1].h}) + "; ";
    }
    EXPECT_EQ(seen + text(t.colours[0]), "0.5 0.5 0 1 1; 0.1 0.25 0.5 0.3 0; 0.7 0.25 0.1 0 0.5; 0.7 0 0 0 0; 0; 0; 0; 0 0 0 0");
    t.hitState = kHitEdge;  // only a hit point is edited, but a triangle's colour 0 always
    TransferFunctionGeometry& triangle = e.add("Triangle");
    triangle.hitState = kHitEdge;
    EXPECT_TRUE(!t.dragColour({0.25f, 0.0f}) && triangle.dragColour({0.25f, 0.0f}));
    EXPECT_EQ(text(triangle.colours[0]) + " / " + text(triangle.colours[2]), "0.5 1 0 0 / 0 0 0 0");
}

TEST(Editor, PressSortsShapesByHighestPointAPointBeatsAnEdgeBeatsInsideAndReleaseEndsEveryHit)
{
    Editor e;
    TransferFunctionGeometry& low = e.add("VornTrapez");
    ASSERT_TRUE(low.setPoints({{0, 0}, {0.25f, 0.5f}, {0.75f, 0.5f}, {1, 0}}));
    TransferFunctionGeometry& tall = e.add("VornTrapez");
    ASSERT_TRUE(tall.setPoints({{0, 0}, {0.5f, 1}, {0.5f, 1}, {1, 0}}));
    EXPECT_FALSE(e.press(0.9f, 0.95f));  // a press that hits nothing still sorts: lookup ties follow
    EXPECT_EQ(e.tf.shapes, (std::vector<TransferFunctionGeometry*>{&tall, &low}));
    // On the low shoulder and the tall left edge; under the low plateau, inside the tall shape.
    const std::tuple<ShapePoint, int, int> presses[] = {{{0.25f, 0.5f}, kHitPoint, kHitEdge}, {{0.5f, 0.49f}, kHitEdge, kHitInside}};
    for (auto [at, lowHit, tallHit] : presses) {
        ASSERT_TRUE(e.press(at.x, at.y));
        EXPECT_EQ(std::tuple(low.hitState, tall.hitState, e.tf.selectedShape), std::tuple(lowHit, tallHit, 1));
        EXPECT_FALSE(e.release(at.x, at.y));
        EXPECT_EQ(std::tuple(low.hitState, tall.hitState, e.tf.selectedShape), std::tuple(3, 3, 1));
    }
}

TEST(TfnReader, RecordsBecomeNormalisedTrapezoidsUntilTheFileEnds)
{
    const auto ramp = [](const std::string& direction) { return "0\nB\n1000\n300\n1\n0\n" + direction + "\n0\n0\n0\n"; };
    const std::string up = "B(0 0)(0.1465 1)(0.9998 1)(0.9998 0)";
    using R = TfnReadResult;
    const std::tuple<std::string, R, std::string> cases[] = {
        {"1\n" + kSkin, R::Complete, kSkinRead},
        // A ramp never starts below 0; only the line "True" descends; CRLF is no content.
        {"7\n" + ramp("False") + ramp("True") + ramp("True ") + ramp("TRUE") + ramp("true") +
             "0\nR\r\n1000\r\n300\r\n1\r\n0\r\nTrue\r\n0\r\n0\r\n0\r\n0\nn\n100\n1000\n0.5\n0\nFalse\n0\n0\n0\n",
         R::Complete, up + " | B(0 0)(0 1)(0 1)(0.1465 0) | " + up + " | " + up + " | " + up +
                          " | R(0 0)(0 1)(0 1)(0.1465 0) | n(0.2319 0)(0.2563 0.5)(0.9998 0.5)(0.9998 0)"},
        // A number is the first item of its line; colours keep their three low bytes only.
        {"1 record\n1 trapezoid\nName with  spaces \n900 start\n1400\n100\n200\n0.3 opacity\n\n4294967295\n0x10\n-1\n", R::Complete,
         "Name with  spaces (0.2197 0)(0.2441 0.3)(0.293 0.3)(0.3418 0) 0.9961 0.9961 0.9961 0 0 0 0.9961 0.9961 0.9961"},
        {"-3\n" + kSkin, R::Complete, ""},
        // Reading stops at the first record that cannot be read whole.
        {"3\n" + kSkin + kSkin, R::Truncated, kSkinRead + " | " + kSkinRead},
        {"1\n1\nX\n900\nabc\n100\n200\n0.3\n\n1\n2\n3\n", R::Truncated, ""},
    };
    for (const auto& [file, result, expected] : cases) {
        std::istringstream in(file);
        std::vector<TfnRecord> records;
        EXPECT_EQ(readTfnRecords(in, records), result) << file;
        std::string seen;
        for (const TfnRecord& r : records)
            seen += (seen.empty() ? "" : " | ") + text(r.name, r.points, r.colours);
        EXPECT_EQ(seen, expected) << file;
    }
    const std::string two = "2\n" + kSkin + kSkin;  // cut after any line of the second record
    for (size_t cut = 2 + kSkin.size(); cut < two.size(); cut = two.find('\n', cut) + 1) {
        std::istringstream in(two.substr(0, cut));
        std::vector<TfnRecord> records;
        EXPECT_EQ(readTfnRecords(in, records), R::Truncated);
        EXPECT_EQ(records.size(), 1u) << cut;
    }
}

TEST(TransferFunction, ShapesGetUniqueNamesOfTheFourKindsAndRemovalKeepsOrderAndSelection)
{
    TableTransferFunction tf;
    for (const char* kind : {"VornTrapez", "Trapez", "Polygon", "Triangle", "Circle", "vorntrapez"})
        tf.addShape("Skin", kind);
    EXPECT_EQ(std::tuple(tf.addShape("Skin", "Circle"), names(tf)), std::tuple(std::string(), std::string("Skin* Skin0 Skin1 Skin2 ")));
    // Only the names the decimal numbering writes count as taken; the smallest free number wins.
    TableTransferFunction taken;
    for (const char* n : {"Skin", "Skin1", "Skin01", "Skin-0", "Skin 0", "A12", "test", "Bone", "test", "Skin", "Skin", "A1", "A1", "A1", "A1", "", ""})
        taken.addShape(n, "VornTrapez");
    EXPECT_EQ(names(taken), "Skin* Skin1* Skin01* Skin-0* Skin 0* A12* test* Bone* test0* Skin0* Skin2* A1* A10* A11* A13* * 0* ");
    taken.selectedShape = 7;  // Bone
    EXPECT_FALSE(taken.removeShape("Lung") || taken.getShape("Lung"));
    EXPECT_TRUE(taken.removeShape("test"));
    EXPECT_EQ(std::tuple(taken.shapes[6]->getName(), taken.selectedShape), std::tuple(std::string("Bone"), 6));
    EXPECT_TRUE(taken.removeShape("Bone") && taken.removeShape("Skin1") && taken.selectedShape == -1);
    EXPECT_EQ(taken.addShape("test", "VornTrapez") + " " + taken.addShape("Skin", "VornTrapez"), "test Skin1");
}

TEST(TransferFunction, LoadedFilesAddShapesThenRangeAndTableWhileBadFilesChangeNothingOrKeepWhatWasRead)
{
    TableTransferFunction tf;
    tf.addShape("Bone", "VornTrapez");  // loading adds to what is there
    ASSERT_TRUE(load(tf, "2\n" + kSkin + kSkin));
    EXPECT_EQ(names(tf) + text("", tf.shapes[2]->points, &tf.shapes[2]->colours[1]),
              "Bone* Skin* Skin0* (0.2197 0)(0.2441 0.3)(0.293 0.3)(0.3418 0) 0.5 0.5 0.5 0.9961 0 0 0 0 0");  // colour 3 stays black
    // Entry 60 (x = 0.235) is on both left ramps: the skin's (0.19) beats the default shape's (0.14).
    EXPECT_EQ(std::tuple(tf.updates, tf.rangeMin, tf.rangeMax, tf.channel(60, 3)), std::tuple(1, 0.2f, 0.8f, 12536));
    EXPECT_FALSE(tf.loadFromFile("/nonexistent/quillet/none.tfn"));  // changes nothing
    EXPECT_EQ(std::tuple(tf.updates, tf.shapes.size()), std::tuple(1, size_t(3)));
    // Points the trapezoid rules refuse (the left ramp ending after the right one begins)
    // leave the default shape with the file's colours; values beyond the square are clamped.
    TableTransferFunction odd;
    ASSERT_TRUE(load(odd, "2\n1\nBad\n900\n1000\n300\n300\n0.5\n\n255\n255\n255\n1\nLoud\n-100\n5000\n100\n100\n1.5\n\n0\n0\n0\n"));
    EXPECT_EQ(text("", odd.shapes[0]->points, odd.shapes[0]->colours.data()) + " |" + text("", odd.shapes[1]->points, odd.shapes[1]->colours.data()),
              "(0.2 0)(0.4 0.8)(0.6 0.8)(0.8 0) 0.9961 0 0 0.9961 0 0 0.9961 0 0 |(0 0)(0 1)(1 1)(1 0)");
    // An empty file still computes the (empty) range and the table.
    TableTransferFunction empty;
    EXPECT_TRUE(load(empty, "0\n"));
    EXPECT_EQ(std::tuple(empty.updates, empty.rangeMin, empty.rangeMax), std::tuple(1, 1.0f, 0.0f));
    // A bad kind: the message, the shapes read before, and neither range nor table redone.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(load(empty, "2\n" + kSkin + "2\nOdd\n"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Format not supported\n");
    EXPECT_EQ(std::tuple(names(empty), empty.updates, empty.rangeMin), std::tuple(std::string("Skin* "), 1, 1.0f));
}

// A layer whose file was cut short used to show part of its function without a word.
TEST(TransferFunction, ShortFileSaysSoAndKeepsTheCompleteShapesWithTheirRangeAndTable)
{
    TableTransferFunction tf;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(load(tf, "3\n" + kSkin + kSkin.substr(0, kSkin.find("16777215"))));
    const std::string warning = testing::internal::GetCapturedStdout();
    EXPECT_EQ(warning.substr(0, 10) + warning.substr(warning.find("/test.tfn")), "Warning: //test.tfn is cut short; 1 complete records read\n");
    EXPECT_EQ(std::tuple(names(tf), tf.updates, tf.rangeMin * 4096, tf.rangeMax * 4096), std::tuple(std::string("Skin* "), 1, 900.0f, 1400.0f));
    EXPECT_EQ(std::tuple(tf.channel(60, 3) > 0, tf.channel(100, 3)), std::tuple(true, 0));
}
