// The players' pictures in the real game: the start-up log of the layers, and what
// keys, drags and the pointer do to each half.
#include "tests/e2e/GameTest.h"

using namespace session;
using e2e::changedPixels;
using e2e::gameOptions;
using e2e::waitForSteadyPicture;

TEST(Scene, StartupLogsEachPlayersThreeLayersThenItsMixProgram)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    std::string out = game.standardOutput();

    // Per layer: the caster's built-in programs, the ray-casting program from its files,
    // the volume load, the upload and the histogram. Per player: three layers, then the
    // mixing program. Player 1 first.
    const char* layer[] = {"Cube VS\n", "Near Plane VS\n", "Ray Direction VS\n", "Cube FS\n",
                           "Near Plane FS\n", "Ray Direction FS\n",
                           "Near Plane Prog. Link Info: \n", "Bounding Geometry Prog. Link Info: \n",
                           "Ray Direction Prog. Link Info: \n",
                           "Vertex Shader Compile Info Log -- \n",
                           "Fragment Shader Compile Info Log -- \n", "./\n",
                           "MHD Loader >> Loading file ./taa.raw\n", "SHORT Volume\n",
                           "Set general volume parameters in shader!\n", "computing histogram...",
                           "100%\n"};
    const char* mix[] = {"Mix Picture VS\n", "Mix Picture FS\n", "Mix Picture Prog. Link Info: \n"};
    std::vector<std::string> expected;
    for (int player = 0; player < 2; ++player) {
        for (int l = 0; l < 3; ++l)
            expected.insert(expected.end(), std::begin(layer), std::end(layer));
        expected.insert(expected.end(), std::begin(mix), std::end(mix));
    }
    size_t at = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        size_t found = out.find(expected[i], at);
        ASSERT_NE(found, std::string::npos) << "item " << i << " \"" << expected[i]
                                            << "\" missing after position " << at << ":\n" << out;
        at = found + expected[i].size();
    }
    // Nothing of a layer block between a player's mixing program logs.
    EXPECT_EQ(e2e::countOccurrences(out, "Mix Picture VS\n"), 2);
    EXPECT_EQ(e2e::countOccurrences(out, "MHD Loader >> Loading file ./taa.raw\n"), 6);
    EXPECT_EQ(e2e::countOccurrences(out, "computing histogram..."), 6);
    EXPECT_NE(out.find("Mix Picture VS\n\nMix Picture FS\n\nMix Picture Prog. Link Info: \n\n"),
              std::string::npos) << "the mixing program compiles and links without a word";
}

TEST(Scene, PlayerOnesKeysRedrawOnlyTheLeftHalfAndModeKeySwitchesToTheBody)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    sleepMs(3200);  // the start-up messages run out
    Image start = waitForSteadyPicture(game);
    ASSERT_FALSE(start.empty());

    // Organ up by 0.05: it lies above the body, which stays as it was.
    game.keys("a a a a a");
    Image organMoved = waitForSteadyPicture(game);
    EXPECT_GT(changedPixels(start, organMoved, e2e::kLeftHalf, e2e::kOrganBand), 200);
    EXPECT_EQ(changedPixels(start, organMoved, e2e::kLeftHalf, e2e::kBodyBand), 0);
    EXPECT_EQ(changedPixels(start, organMoved, e2e::kRightHalf, e2e::kAllRows), 0)
        << "player 2's picture must not change";

    // After "c" the same keys lift the body instead; the organ stays put.
    game.key("c");
    game.keys("a a a a a");
    Image bodyMoved = waitForSteadyPicture(game);
    EXPECT_GT(changedPixels(organMoved, bodyMoved, e2e::kLeftHalf, e2e::kBodyBand), 2000);
    EXPECT_EQ(changedPixels(organMoved, bodyMoved, e2e::kLeftHalf, e2e::kOrganBand), 0);
    EXPECT_EQ(changedPixels(start, bodyMoved, e2e::kRightHalf, e2e::kAllRows), 0);
    bodyMoved.savePng("scene-body-moved.png");
}

TEST(Scene, DragInTheRightHalfTurnsOnlyPlayerTwosCamera)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    sleepMs(3200);
    game.mouseMove(600, 600);  // below the body: the lens opens on empty space
    Image start = waitForSteadyPicture(game);

    game.drag(600, 600, 680, 560);
    Image turned = waitForSteadyPicture(game);
    EXPECT_GT(changedPixels(start, turned, e2e::kRightHalf, e2e::kBodyBand), 2000);
    EXPECT_EQ(changedPixels(start, turned, e2e::kLeftHalf, e2e::kAllRows), 0);
}

TEST(Scene, PointerWithoutAButtonOpensTheLensWhereItIs)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    sleepMs(3200);
    Image start = waitForSteadyPicture(game);
    start.savePng("scene-start.png");

    game.mouseMove(200, 330);  // over player 1's body
    Image lens = waitForSteadyPicture(game);
    EXPECT_GT(changedPixels(start, lens, e2e::Circle{200, 330, 40}), 500)
        << "skin and bones fade around the pointer";
    EXPECT_EQ(changedPixels(start, lens, e2e::Outside{200, 330, 82}), 0)
        << "nothing changes beyond the lens";
    lens.savePng("scene-lens.png");

    // Into the right half: the lens follows, the left picture is whole again.
    game.mouseMove(620, 330);
    Image moved = waitForSteadyPicture(game);
    EXPECT_EQ(changedPixels(start, moved, e2e::kLeftHalf, e2e::kAllRows), 0);
    EXPECT_GT(changedPixels(start, moved, e2e::Circle{620, 330, 40}), 500);
    EXPECT_EQ(changedPixels(start, moved, e2e::Outside{620, 330, 82}), 0);
}
