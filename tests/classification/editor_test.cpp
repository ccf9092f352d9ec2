// Editing shapes with the mouse, without a window: hit testing and its preferences,
// presses, drags step by step, colour drags, the order after a press and the release.
// The table is rasterised on every accepted change (not uploaded here).
#include "TableTransferFunction.h"

#include "classification/Polygon.h"
#include "classification/Trapez.h"
#include "classification/Triangle.h"

#include <gtest/gtest.h>

using namespace Classification;

namespace {

constexpr int kLeft = 0, kRight = 2, kDown = 0, kUp = 1;  // GLUT buttons and states
constexpr int kWindowHeight = 642;
constexpr float kEditor = 500.0f;  // 0.02 normalised = 10 pixels

// The game's window with a 500 x 500 editor in the lower-left corner (margins 10).
struct Editor {
    TableTransferFunction tf;
    explicit Editor(int tableSize = 256) : tf(tableSize)
    {
        tf.viewportHeight = kWindowHeight;
        tf.setEditorWidth(kEditor);
        tf.setEditorHeight(kEditor);
    }
    static int windowX(float nx) { return 10 + int(nx * kEditor + 0.5f); }
    static int windowY(float ny) { return kWindowHeight - 1 - 10 - int(ny * kEditor + 0.5f); }
    bool press(float nx, float ny, int button = kLeft) { return tf.mousePress(button, kDown, windowX(nx), windowY(ny)); }
    bool release(float nx, float ny, int button = kLeft) { return tf.mousePress(button, kUp, windowX(nx), windowY(ny)); }
    bool move(float nx, float ny) { return tf.mouseMove(windowX(nx), windowY(ny)); }
    TransferFunctionGeometry& add(const char* kind) { return *tf.getShape(tf.addShape(kind, kind)); }
};

// hitState and hitIndex after a hit test at (x, y).
std::pair<int, int> hit(TransferFunctionGeometry& s, float x, float y)
{
    s.hitTest({x, y});
    return {s.hitState, s.hitIndex};
}

} // namespace

TEST(Editor, PickPrefersPointOverEdgeOverInside)
{
    using H = std::pair<int, int>;
    VornTrapez t("t");  // (0.2, 0) (0.4, 0.8) (0.6, 0.8) (0.8, 0)
    EXPECT_EQ(hit(t, 0.41f, 0.8f), H(kHitPoint, 1));  // on the plateau edge and 0.01 from the shoulder
    EXPECT_EQ(hit(t, 0.5f, 0.82f), H(kHitEdge, 1));
    EXPECT_EQ(hit(t, 0.5f, 0.01f), H(kHitEdge, 3));  // the closing edge from the right foot back to the left
    EXPECT_EQ(hit(t, 0.5f, 0.4f), H(kHitInside, 0));
    EXPECT_EQ(hit(t, 0.8f, -0.04f).first, kHitNothing);  // beyond an edge's end: 0.04 from the foot
    EXPECT_EQ(hit(t, 0.9f, 0.4f).first, kHitNothing);

    // Colour mode turns an inside hit into the colour of the part under it.
    t.editMode = kEditColour;
    EXPECT_EQ(hit(t, 0.3f, 0.1f), H(kHitPoint, 0));
    EXPECT_EQ(hit(t, 0.5f, 0.1f), H(kHitPoint, 1));
    EXPECT_EQ(hit(t, 0.7f, 0.1f), H(kHitPoint, 2));
    EXPECT_EQ(hit(t, 0.41f, 0.8f), H(kHitPoint, 1));  // a real point stays a point

    Polygon p("p");  // (0.2, 0) (0.35, 0.8) (0.5, 0.4) (0.65, 0.8) (0.8, 0)
    p.editMode = kEditColour;
    EXPECT_EQ(hit(p, 0.45f, 0.2f), H(kHitPoint, 1));  // between points 1 and 2
    EXPECT_EQ(hit(p, 0.7f, 0.2f), H(kHitPoint, 3));
    p.editMode = kEditGeometry;
    EXPECT_EQ(hit(p, 0.45f, 0.2f).first, kHitInside);
    Trapez plain("plain");  // no colour parts: inside stays inside
    plain.editMode = kEditColour;
    EXPECT_EQ(hit(plain, 0.5f, 0.4f).first, kHitInside);
}

TEST(Editor, PressInEmptyPartSelectsNothing)
{
    Editor e;
    TransferFunctionGeometry& t = e.add("VornTrapez");
    EXPECT_FALSE(e.press(0.9f, 0.9f));
    EXPECT_EQ(e.tf.selectedShape, -1);
    EXPECT_EQ(t.hitState, kHitNothing);
    EXPECT_FALSE(e.move(0.5f, 0.5f));
    EXPECT_EQ(e.tf.updates, 0);

    // Right of or above the editor the press is not handled at all.
    EXPECT_FALSE(e.tf.mousePress(kLeft, kDown, 10 + 500, e.windowY(0.5f)));
    EXPECT_FALSE(e.tf.mousePress(kLeft, kDown, e.windowX(0.5f), kWindowHeight - 1 - 510));
    EXPECT_FLOAT_EQ(t.lastX, 0.9f);  // from the press; neither the move nor these reached it
    // Left of it there is no bound: the shapes see the position (and miss).
    EXPECT_FALSE(e.tf.mousePress(kLeft, kDown, 0, e.windowY(0.5f)));
    EXPECT_FLOAT_EQ(t.lastX, -0.02f);
}

TEST(Editor, ShoulderDragLiftsPlateauAndRebuildsTable)
{
    Editor e;
    TransferFunctionGeometry& t = e.add("VornTrapez");
    t.colours[2] = {0.0f, 0.0f, 1.0f, 0.0f};
    ASSERT_TRUE(e.press(0.38f, 0.8f));  // 0.02 left of the left shoulder
    EXPECT_EQ(e.tf.selectedShape, 0);
    EXPECT_EQ(t.hitState, kHitPoint);
    EXPECT_EQ(t.hitIndex, 1);
    EXPECT_EQ(t.editMode, kEditGeometry);

    ASSERT_TRUE(e.move(0.38f, 0.9f));
    EXPECT_NEAR(t.points[1].y, 0.9f, 1e-6f);
    EXPECT_EQ(t.points[2].y, t.points[1].y);  // both shoulders
    EXPECT_FLOAT_EQ(t.points[1].x, 0.4f);
    EXPECT_EQ(e.tf.updates, 1);
    EXPECT_EQ(e.tf.alphaAt(128), toChannel(t.points[1].y));
    EXPECT_EQ(e.tf.channel(128, 2), 65535);

    // A shoulder pulled above the square is rejected whole.
    EXPECT_FALSE(e.move(0.38f, 1.2f));
    EXPECT_NEAR(t.points[1].y, 0.9f, 1e-6f);
    EXPECT_EQ(e.tf.updates, 1);
}

TEST(Editor, FootDraggedPastOtherFootIsRejectedStepByStep)
{
    Editor e;
    TransferFunctionGeometry& t = e.add("VornTrapez");
    ASSERT_TRUE(e.press(0.2f, 0.0f));
    ASSERT_EQ(t.hitIndex, 0);
    // Steps of 0.08: 0.28 and 0.36 stay left of the shoulder at 0.4; from then on every
    // step is measured from the pointer, not from the stuck foot, and is rejected.
    EXPECT_TRUE(e.move(0.28f, 0.0f));
    EXPECT_TRUE(e.move(0.36f, 0.0f));
    for (float x = 0.44f; x < 0.95f; x += 0.08f)
        EXPECT_FALSE(e.move(x, 0.0f)) << "pointer at " << x;
    EXPECT_NEAR(t.points[0].x, 0.36f, 1e-5f);
    EXPECT_EQ(e.tf.updates, 2);
    EXPECT_NEAR(e.tf.rangeMin, 0.36f, 1e-5f);
    // Back by one step moves the foot back by one step.
    EXPECT_TRUE(e.move(0.84f, 0.0f));
    EXPECT_NEAR(t.points[0].x, 0.28f, 1e-5f);
}

TEST(Editor, EdgeAndWholeShapeDrags)
{
    Editor e;
    TransferFunctionGeometry& t = e.add("VornTrapez");
    // The plateau edge moves both shoulders.
    ASSERT_TRUE(e.press(0.5f, 0.8f));
    ASSERT_EQ(t.hitState, kHitEdge);
    ASSERT_TRUE(e.move(0.54f, 0.7f));
    EXPECT_NEAR(t.points[1].x, 0.44f, 1e-5f);
    EXPECT_NEAR(t.points[2].x, 0.64f, 1e-5f);
    EXPECT_NEAR(t.points[2].y, 0.7f, 1e-5f);
    e.release(0.54f, 0.7f);
    // Inside moves everything; the feet stay on the axis.
    ASSERT_TRUE(e.press(0.5f, 0.3f));
    ASSERT_EQ(t.hitState, kHitInside);
    ASSERT_TRUE(e.move(0.4f, 0.32f));
    EXPECT_NEAR(t.points[0].x, 0.1f, 1e-5f);
    EXPECT_EQ(t.points[3].y, 0.0f);
    EXPECT_NEAR(t.points[1].y, 0.72f, 1e-5f);
    // Off the left side of the square: rejected, nothing clamped.
    EXPECT_FALSE(e.move(0.2f, 0.32f));
    EXPECT_NEAR(t.points[0].x, 0.1f, 1e-5f);
}

TEST(Editor, RightButtonOnPlateauTurnsHueOfColourOne)
{
    Editor e;
    TransferFunctionGeometry& t = e.add("VornTrapez");
    // A fresh shape is in geometry mode: the press itself switches to colours.
    ASSERT_TRUE(e.press(0.5f, 0.4f, kRight));
    EXPECT_EQ(t.editMode, kEditColour);
    EXPECT_EQ(t.hitState, kHitPoint);
    EXPECT_EQ(t.hitIndex, 1);
    ASSERT_TRUE(e.move(1.0f, 0.4f));
    EXPECT_FLOAT_EQ(t.hslColours[1].h, 0.5f);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(t.colours[1][k], k == 0 ? 0.0f : 1.0f, 1e-6f) << "channel " << k;  // cyan
        EXPECT_EQ(t.colours[0][k], 0.0f);  // the other colours stay black
    }
    EXPECT_EQ(e.tf.updates, 1);
    // Further right wraps the hue; upward darkens; left past hue 0 comes back from 1.
    ASSERT_TRUE(e.move(1.6f, 0.65f));
    EXPECT_NEAR(t.hslColours[1].h, 0.1f, 1e-5f);
    EXPECT_NEAR(t.hslColours[1].l, 0.25f, 1e-5f);
    ASSERT_TRUE(e.move(1.2f, 0.65f));
    EXPECT_NEAR(t.hslColours[1].h, 0.7f, 1e-5f);
    ASSERT_TRUE(e.move(1.2f, 1.5f));
    EXPECT_EQ(t.hslColours[1].l, 0.0f);  // lightness stops at 0
    EXPECT_EQ(t.points[1].y, 0.8f);      // geometry untouched throughout

    // A colour press on nothing of the shape edits nothing.
    e.release(1.2f, 1.5f, kRight);
    EXPECT_FALSE(e.press(0.9f, 0.5f, kRight));
}

TEST(Editor, TriangleColourDragAlwaysEditsColourZero)
{
    Triangle t("t");
    t.hitState = kHitEdge;
    t.hitIndex = 2;
    t.lastX = t.lastY = 0.0f;
    ASSERT_TRUE(t.dragColour({0.25f, 0.0f}));
    EXPECT_FLOAT_EQ(t.hslColours[0].h, 0.25f);
    EXPECT_EQ(t.hslColours[2].h, 0.0f);
    EXPECT_NEAR(t.colours[0].r, 0.5f, 1e-6f);  // hue 0.25: (0.5, 1, 0)
    // The base kind edits only a hit point.
    VornTrapez v("v");
    v.hitState = kHitEdge;
    EXPECT_FALSE(v.dragColour({0.25f, 0.0f}));

    // Hues far out wrap at once (adding 1 until non-negative never ended beyond 2^24),
    // and a tiny negative one lands on 0, not on 1.
    v.hitState = kHitPoint;
    for (float x : {-3.0e7f, -1.0e-8f, 5.0e7f}) {
        v.lastX = 0.0f;
        ASSERT_TRUE(v.dragColour({x, 0.0f}));
        EXPECT_EQ(v.hslColours[0].h, 0.0f) << x;
    }
}

TEST(Editor, PressSortsShapesByHeightAndTableTiesFollow)
{
    // Five entries at 0, 0.25, 0.5, 0.75, 1. At 0.25 the low shape's shoulder (0.5) and
    // the tall shape's ramp (0.5) tie, so the first in the list keeps the entry.
    Editor e(5);
    TransferFunctionGeometry& low = e.add("VornTrapez");
    ASSERT_TRUE(low.setPoints({{0.0f, 0.0f}, {0.25f, 0.5f}, {0.75f, 0.5f}, {1.0f, 0.0f}}));
    low.colours[1] = low.colours[2] = {1.0f, 0.0f, 0.0f, 0.0f};
    TransferFunctionGeometry& tall = e.add("VornTrapez");
    ASSERT_TRUE(tall.setPoints({{0.0f, 0.0f}, {0.5f, 1.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}));
    tall.colours[1] = tall.colours[2] = {0.0f, 1.0f, 0.0f, 0.0f};
    e.tf.computeVisibleRange();
    e.tf.update();
    EXPECT_EQ(e.tf.channel(1, 0), 65535);  // the low shape came first
    EXPECT_EQ(e.tf.alphaAt(1), 32767);

    EXPECT_FALSE(e.press(0.9f, 0.95f));  // a press that hits nothing still sorts
    EXPECT_EQ(e.tf.shapes, (std::vector<TransferFunctionGeometry*>{&tall, &low}));
    e.tf.update();
    EXPECT_EQ(e.tf.channel(1, 1), 65535);  // now the tall one wins the tie
    EXPECT_EQ(e.tf.channel(1, 0), 0);

    // Selection indexes the sorted list, and a point beats an edge whatever the order:
    // the low shoulder lies on the tall shape's left edge.
    ASSERT_TRUE(e.press(0.25f, 0.5f));
    EXPECT_EQ(tall.hitState, kHitEdge);
    EXPECT_EQ(low.hitState, kHitPoint);
    EXPECT_EQ(e.tf.selectedShape, 1);
    e.release(0.25f, 0.5f);
    // An edge beats an inside hit: just under the low plateau, inside the tall shape.
    ASSERT_TRUE(e.press(0.5f, 0.49f));
    EXPECT_EQ(tall.hitState, kHitInside);
    EXPECT_EQ(low.hitState, kHitEdge);
    EXPECT_EQ(e.tf.selectedShape, 1);
}

TEST(Editor, ReleaseEndsTheDrag)
{
    Editor e;
    TransferFunctionGeometry& t = e.add("VornTrapez");
    TransferFunctionGeometry& other = e.add("Polygon");
    ASSERT_TRUE(e.press(0.6f, 0.8f));
    ASSERT_TRUE(e.move(0.62f, 0.8f));
    EXPECT_FALSE(e.release(0.62f, 0.8f));
    EXPECT_EQ(t.hitState, kHitNothing);
    EXPECT_EQ(other.hitState, kHitNothing);
    EXPECT_EQ(e.tf.selectedShape, 0);  // kept, but nothing follows the pointer
    const float before = t.points[2].x;
    EXPECT_FALSE(e.move(0.7f, 0.6f));
    EXPECT_EQ(t.points[2].x, before);
    EXPECT_EQ(e.tf.updates, 1);
    EXPECT_FLOAT_EQ(t.lastX, 0.7f);  // the position is still tracked

    // Released beyond the editor's right edge, where presses are not handled: the grab
    // still ends.
    ASSERT_TRUE(e.press(0.6f, 0.7f));
    EXPECT_FALSE(e.release(1.2f, 0.7f));
    EXPECT_EQ(t.hitState, kHitNothing);
    EXPECT_FALSE(e.move(0.65f, 0.7f));
    EXPECT_EQ(t.points[2].x, before);
}
