// Scoring, the level table and the result texts, without GL.
#include "tests/app/GameRules.h"

#include <string>

using rules::GameRules;

namespace {

void acceptMatched(int index, unsigned wait, int times = 1) // the organ lined up, `wait` ms into the level
{
    for (PlayerState& p = appState.players[index]; times-- > 0; acceptLevel(index))
        p.organPose = p.bodyPose, rules::fakeNow = p.levelStartTime + wait;
}

} // namespace

TEST_F(GameRules, ScoreOfEachPoseAndTimeInSinglePrecisionWithItsFloor)
{
    struct Row { Pose organ, body; unsigned start, now; int points; };
    const Row rows[] = {
        {{0.3f, 0.7f, 0.1f, 0, 0}, {0.3f, 0, 0.1f, 0, 0}, 1000, 1000, 1298}, // a lift of 0.7: 2000 - single(35.1) * 20
        {{}, {}, 0, 7000, 1996},                    // whole 0.7 s periods: t = 30
        {{}, {}, 0xFFFFFF00u, 0x100u, 1997},        // 512 ms across the clock's wrap: 1997.99999997
        {{0, 0, 0, 10, 0}, {}, 0, 84000, 1845},     // t = 140, 10 degrees about z: r = 11
        {{}, {0, 0, 0, 0, 10}, 0, 84000, 1978},     // about x, on either side: r = 1.5
        {{0, 0, 2.0f, 0, 0}, {}, 0, 0, 5},          // v = -2.0
        {{1e30f, 0, 0, 0, 0}, {}, 0, 0, 5},         // v far below the int range
        {{0, 1.99f, 0, 0, 0}, {}, 0, 0, 8},         // v = 8.00003
    };
    for (const Row& row : rows) {
        PlayerState& p = player(1) = PlayerState{};
        p.organPose = row.organ, p.bodyPose = row.body, p.levelStartTime = row.start, p.total = 100;
        EXPECT_EQ(acceptPose(p, row.now), row.points);
        EXPECT_TRUE(p.total == 100 + row.points && p.level == 1) << row.points;
    }
}

TEST_F(GameRules, EachLevelSetsItsBoxStartPoseAndPresetAndResetsTheBody)
{
    // Box minimum and maximum, preset, start pose; a finished player's organ stays as it was.
    const std::vector<double> levels[8] = {
        {0.06, 0.09, 0.01, 0.591164, 0.451164, 0.47, 0, 0, 0.7f, 0, 0, 0},
        {0.42, 0.11, 0.41, 0.541164, 0.23, 0.63, 5, 0.1f, 0.7f, 0.1f, 0, 0},
        {0.05, 0.22, 0.49, 0.231164, 0.29, 0.67, 5, 0, 0.7f, 0.1f, 0.1f, 0},
        {0.28, 0.361164, 0.41, 0.41, 0.411164, 0.47, 2, 0, 0.7f, 0.1f, 0, 0},
        {0.23, 0.06, 0.81, 0.401164, 0.221164, 1.0, 0, 0.1f, 0.7f, 0, 0, 0},
        {0.27, 0.3, 0.59, 0.401164, 0.36, 0.78, 2, 0, 0.7f, 0, 0, 0.1f},
        {0.2, 0.22, 0.19, 0.481164, 0.411164, 0.43, 5, 0, 0.7f, 0, 0.1f, 0},
        {0.5f, 0.4f, 0.3f, 2, 1},
    };
    PlayerState& p = player(2);
    for (int level = 0; level <= 7; ++level) {
        p.bodyPose = p.organPose = Pose{0.5f, 0.4f, 0.3f, 2, 1};
        rules::organChanges.clear();
        startLevel(p, level, 5000u + unsigned(level));
        std::vector<double> got = rules::organChanges.empty() ? std::vector<double>{} : rules::organChanges[0];
        got.insert(got.end(), {p.organPose.x, p.organPose.y, p.organPose.z, p.organPose.angleZ, p.organPose.angleX});
        EXPECT_TRUE(got == levels[level] && rules::organChanges.size() == (level < 7)) << level;
        EXPECT_TRUE(p.level == level && p.levelStartTime == 5000u + unsigned(level));
        EXPECT_EQ(p.bodyPose.x + p.bodyPose.y + p.bodyPose.z + p.bodyPose.angleZ + p.bodyPose.angleX, 0) << "body reset";
    }
}

TEST_F(GameRules, EachAcceptanceShowsItsResultAndTheSecondPlayersSeventhTheGreaterTotal)
{
    acceptMatched(0, 0);
    EXPECT_EQ(console.take(), "\nPlayer 1 completed level 1\nPoints: 1997\nTotal: 1997\n");
    EXPECT_TRUE(appState.leftMessageTime == 3000 && appState.rightMessageTime == 0);
    acceptMatched(0, 0, 6);
    EXPECT_EQ(appState.leftMessage, "Player 1 completed level 7\nPoints: 1997 Total: 13979");
    console.take();
    acceptMatched(0, 0); // a finished player scores nothing; player 1's text has two lines
    EXPECT_EQ(console.take(), "\nPlayer 1 completed all level with 13979 points!\n");
    EXPECT_EQ(appState.leftMessage, "Player 1 completed all level\nwith 13979 points!");

    acceptMatched(1, 7000, 6); // 1996 each
    EXPECT_FALSE(appState.gameOver);
    appState.leftMessageTime = 5, console.take();
    acceptMatched(1, 7000);
    EXPECT_EQ(console.take(), "\nPlayer 2 completed level 7\nPoints: 1996\nTotal: 13972\n"
                              "\nPlayer 1 wins!\n\nPress 1 to start a new game!\n");
    const std::string result = "Player 1 wins!\nPlayer 1: 13979\nPlayer 2: 13972\nPress 1 to start a new game!";
    EXPECT_TRUE(appState.leftMessage == result && appState.rightMessage == result && appState.gameOver);
    EXPECT_TRUE(appState.leftMessageTime == 3000 && appState.rightMessageTime == 3000);
    player(2).total = 20000;
    decideWinner();
    EXPECT_EQ(appState.rightMessage, "Player 2 wins!\nPlayer 1: 13979\nPlayer 2: 20000\nPress 1 to start a new game!");
    player(2).total = 13979;
    decideWinner();
    EXPECT_EQ(appState.leftMessage, "Draw!\nPlayer 1: 13979\nPlayer 2: 13979\nPress 1 to start a new game!");
}
