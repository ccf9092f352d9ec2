// Start-up and shut-down of the real game, the window and the start-up overlay.
#include "tests/e2e/GameTest.h"

#include <chrono>
#include <thread>

using namespace session;
using e2e::countColour;
using e2e::gameOptions;
using e2e::kMessageColour;
using e2e::leftmostColumn;

namespace {

bool blank(const Image& img)
{
    for (uint8_t v : img.rgb)
        if (v)
            return false;
    return true;
}

// The window maps before start-up has loaded everything; wait for the first frame.
Image firstFrame(GameSession& game)
{
    for (int i = 0; i < 1200 && !game.exited(); ++i) {
        Image shot = game.windowShot();
        if (!shot.empty() && !blank(shot))
            return shot;
        sleepMs(50);
    }
    return {};
}

} // namespace

TEST(Startup, MissingRawFileWaitsForAVisibleCharacterAndExitsWithMinusOne)
{
    GameSession game(gameOptions({"taa.raw"}));
    ASSERT_TRUE(game.start());
    ASSERT_TRUE(game.waitForOutput("Enter anything to exit\n", 20));
    EXPECT_EQ(game.standardOutput(), "taa.mhd or taa.raw is missing!\nEnter anything to exit\n");

    game.writeStdin("\n\n   \n\t\n");
    sleepMs(700);
    EXPECT_FALSE(game.exited()) << "blank lines must not end the wait";
    EXPECT_TRUE(game.findWindow("Morvo::Quillet").empty());

    game.writeStdin("q\n");
    EXPECT_EQ(game.waitForExit(10), 255);
    EXPECT_TRUE(game.findWindow("Morvo::Quillet").empty()) << "no window may ever appear";
    EXPECT_EQ(game.standardError(), "");
}

TEST(Startup, WindowHasItsTitleSizeAndPlace)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(game.start());
    ASSERT_FALSE(game.waitForWindow("Morvo::Quillet", 120).empty());
    int x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(game.windowGeometry(x, y, w, h));
    EXPECT_EQ(w, 832);
    EXPECT_EQ(h, 642);
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 50);
}

TEST(Startup, StartMessageShowsInBothHalvesForThreeSeconds)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(game.start());
    ASSERT_FALSE(game.waitForWindow("Morvo::Quillet", 120).empty());
    Image shot = firstFrame(game);
    auto firstSeen = std::chrono::steady_clock::now();
    ASSERT_FALSE(shot.empty());
    ASSERT_EQ(shot.width, 832);

    // First base line at y = 50 from the bottom; glyphs reach a few pixels below it.
    EXPECT_GT(countColour(shot, 40, 46, 330, 14, kMessageColour), 100);
    EXPECT_GT(countColour(shot, 456, 46, 330, 14, kMessageColour), 100);
    int left = leftmostColumn(shot, 0, 40, 416, 30, kMessageColour);
    int right = leftmostColumn(shot, 416, 40, 416, 30, kMessageColour);
    EXPECT_GE(left, 50);
    EXPECT_LE(left, 52);
    EXPECT_GE(right, 466);
    EXPECT_LE(right, 468);
    // Nothing of the message above its first line: it is a single line.
    EXPECT_EQ(countColour(shot, 0, 62, 832, 100, kMessageColour), 0);

    // Frame-rate text starts at (5, 8) in the lit raster colour: dark, but not black.
    int fpsLeft = -1;
    for (int x = 0; x < 80 && fpsLeft < 0; ++x)
        for (int y = 6; y < 20; ++y) {
            Rgb c = shot.atFromBottom(x, y);
            if (c.r > 0 && c.r == c.g && c.g == c.b) {
                fpsLeft = x;
                break;
            }
        }
    EXPECT_GE(fpsLeft, 5);
    EXPECT_LE(fpsLeft, 7);

    std::this_thread::sleep_until(firstSeen + std::chrono::milliseconds(4000));
    Image later = game.windowShot();
    EXPECT_EQ(countColour(later, 0, 0, 832, 200, kMessageColour), 0);
}

TEST(Startup, EscapeEndsTheGameWithStatusZero)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(game.start());
    ASSERT_FALSE(game.waitForWindow("Morvo::Quillet", 120).empty());
    ASSERT_FALSE(firstFrame(game).empty());
    game.key("Escape");
    EXPECT_EQ(game.waitForExit(20), 0);
}

TEST(Startup, ResizedWindowMovesPlayerTwosMessage)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(game.start());
    ASSERT_FALSE(game.waitForWindow("Morvo::Quillet", 120).empty());
    game.resize(1000, 500);
    Image shot;
    for (int i = 0; i < 600; ++i) {
        shot = game.windowShot();
        if (shot.width == 1000 && countColour(shot, 500, 40, 500, 30, kMessageColour) > 0)
            break;
        sleepMs(50);
    }
    ASSERT_EQ(shot.width, 1000);
    ASSERT_EQ(shot.height, 500);
    int right = leftmostColumn(shot, 500, 40, 500, 30, kMessageColour);
    EXPECT_GE(right, 550);
    EXPECT_LE(right, 552);
    int left = leftmostColumn(shot, 0, 40, 500, 30, kMessageColour);
    EXPECT_GE(left, 50);
    EXPECT_LE(left, 52);
}
