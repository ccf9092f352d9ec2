// Start-up without the volume's voxel file: the console's two lines and the wait.
#include "tests/e2e/GameTest.h"

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
