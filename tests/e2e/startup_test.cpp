// Start-up and shut-down of the real game, the window and the overlay's messages.
#include "tests/e2e/GameTest.h"

#include <thread>

using namespace session;
using namespace e2e;

TEST(Startup, MissingRawFileWaitsForAVisibleCharacterAndExitsWithMinusOne)
{
    GameSession game(gameOptions({"taa.raw"}));
    ASSERT_TRUE(game.start());
    ASSERT_TRUE(game.waitForOutput("Enter anything to exit\n", 20));
    EXPECT_EQ(game.standardOutput(), "taa.mhd or taa.raw is missing!\nEnter anything to exit\n");

    game.writeStdin("\n\n   \n\t\n");
    sleepMs(700);
    EXPECT_FALSE(game.exited()) << "blank lines must not end the wait";
    EXPECT_TRUE(game.findWindow("Morvo::Quillet").empty()) << "no window may ever appear";

    game.writeStdin("q\n");
    EXPECT_EQ(game.waitForExit(10), 255);
    EXPECT_EQ(game.standardError(), "");
}

TEST(Startup, WindowStartMessageFrameRateResizeAndEscape)
{
    GameSession game(gameOptions());
    Image shot;
    ASSERT_TRUE(startAndWaitForFirstFrame(game, &shot));
    auto firstSeen = Clock::now();
    int x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(game.windowGeometry(x, y, w, h));
    EXPECT_EQ(w, 832);
    EXPECT_EQ(h, 642);
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 50);
    ASSERT_EQ(shot.width, 832);

    // The start message in both halves: first base line at (50, 50) from the half's
    // corner, glyphs reaching a few pixels below it; a single line.
    EXPECT_GT(countColour(shot, 40, 46, 330, 14, kMessageColour), 100);
    EXPECT_GT(countColour(shot, 456, 46, 330, 14, kMessageColour), 100);
    int left = leftmostColumn(shot, 0, 40, 416, 30, kMessageColour);
    int right = leftmostColumn(shot, 416, 40, 416, 30, kMessageColour);
    EXPECT_TRUE(left >= 50 && left <= 52) << left;
    EXPECT_TRUE(right >= 466 && right <= 468) << right;
    EXPECT_EQ(countColour(shot, 0, 62, 832, 100, kMessageColour), 0);

    // Frame-rate text starts at (5, 8) in the lit raster colour: dark, but not black.
    int fpsLeft = -1;
    for (int px = 0; px < 80 && fpsLeft < 0; ++px)
        for (int py = 6; py < 20 && fpsLeft < 0; ++py) {
            Rgb c = shot.atFromBottom(px, py);
            if (c.r > 0 && c.r == c.g && c.g == c.b)
                fpsLeft = px;
        }
    EXPECT_TRUE(fpsLeft >= 5 && fpsLeft <= 7) << fpsLeft;

    std::this_thread::sleep_until(firstSeen + std::chrono::milliseconds(4000));
    EXPECT_EQ(countColour(game.windowShot(), 0, 0, 832, 200, kMessageColour), 0) << "gone after 3 s";

    // Resized to 1000 x 500, the halves follow: player 2's messages start at x = 550.
    game.resize(1000, 500);
    game.keys("x n");
    for (auto deadline = after(30); Clock::now() < deadline; sleepMs(50)) {
        shot = game.windowShot();
        if (shot.width == 1000 && countColour(shot, 500, 40, 500, 30, kMessageColour) > 0)
            break;
    }
    ASSERT_EQ(shot.width, 1000);
    ASSERT_EQ(shot.height, 500);
    right = leftmostColumn(shot, 500, 40, 500, 30, kMessageColour);
    left = leftmostColumn(shot, 0, 40, 500, 30, kMessageColour);
    EXPECT_TRUE(right >= 550 && right <= 552) << right;
    EXPECT_TRUE(left >= 50 && left <= 52) << left;

    game.key("Escape");
    EXPECT_EQ(game.waitForExit(20), 0);
}
