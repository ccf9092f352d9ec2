// Scoring, level progression and the result texts, without GL.
#include "tests/app/GameRules.h"

#include <string>

using rules::GameRules;
using rules::fakeNow;
using rules::organChanges;

namespace {

// Lines the organ up with the body and accepts `wait` ms after the level began.
void acceptMatched(int index, unsigned wait)
{
    PlayerState& p = appState.players[index];
    p.organPose = p.bodyPose;
    fakeNow = p.levelStartTime + wait;
    acceptLevel(index);
}

// Accepts the matched pose `wait` ms into the level and returns the points.
int matched(PlayerState& p, unsigned wait)
{
    p.organPose = p.bodyPose;
    return acceptPose(p, p.levelStartTime + wait);
}

} // namespace

TEST_F(GameRules, ScoreCasesInSinglePrecisionWithTheirFloor)
{
    PlayerState& p = player(1);
    // d = 0.7 (the start lift), t = 20, r = 1: 2000 - single(35.1) * 20 = 1298.00003.
    EXPECT_EQ(acceptPose(p, 1000), 1298);
    EXPECT_EQ(p.level, 1);
    // Exact matches score by whole 0.7 s periods.
    EXPECT_EQ(matched(p, 699), 1997) << "v = 1997.99999997 truncates";
    EXPECT_EQ(matched(p, 700), 1997) << "t = 21: 1997.9";
    EXPECT_EQ(matched(p, 7000), 1996) << "t = 30";
    p.levelStartTime = 0xFFFFFF00u; // the level clock is 32-bit and may wrap
    p.organPose = p.bodyPose;
    EXPECT_EQ(acceptPose(p, 0x100u), 1997) << "512 ms across the wrap";
    EXPECT_EQ(p.total, 1298 + 1997 + 1997 + 1996 + 1997);

    // Far-off poses still earn five points, however far.
    for (Pose far : {Pose{0, 0, 2.0f, 0, 0},     // v = 2000 - 100.1 * 20 = -2.0
                     Pose{1e30f, 0, 0, 0, 0},    // v far below the int range
                     Pose{0, 1.9939f, 0, 0, 0}}) // v = 2000 - 99.795 * 20 = 4.1
    {
        p.organPose = far;
        EXPECT_EQ(acceptPose(p, p.levelStartTime), 5) << far.x << " " << far.y << " " << far.z;
    }
    p.organPose = Pose{0, 1.99f, 0, 0, 0}; // v = 2000 - single(99.6) * 20 = 8.00003
    EXPECT_EQ(acceptPose(p, p.levelStartTime), 8) << "just above the floor: truncated";
}

TEST_F(GameRules, RotationAboutZWeighsElevenAndAboutXOneAndAHalf)
{
    // Matched translation, 84 s into the level: t = 140, base cost single(0.1) * 140 = 14.0.
    PlayerState& p = player(1);
    EXPECT_EQ(matched(p, 84000), 1985);
    p.organPose = p.bodyPose;
    p.organPose.angleZ = 10.0f; // r = 11: cost 154.0
    EXPECT_EQ(acceptPose(p, p.levelStartTime + 84000), 1845);
    p.organPose = p.bodyPose;
    p.bodyPose.angleX = 10.0f; // either side differs: r = 1.5, cost 21.0
    EXPECT_EQ(acceptPose(p, p.levelStartTime + 84000), 1978);
}

TEST_F(GameRules, LevelsFollowTheTableAndResetTheBody)
{
    PlayerState& p = player(2);
    for (int level = 1; level <= game::kLevelCount; ++level) {
        SCOPED_TRACE(level);
        p.bodyPose = Pose{0.3f, 0.2f, 0.1f, 5.0f, 6.0f};
        p.organPose = Pose{0.5f, 0.4f, 0.3f, 2.0f, 1.0f};
        fakeNow = 5000u + unsigned(level);
        acceptPose(p, fakeNow);
        EXPECT_EQ(p.level, level);
        EXPECT_EQ(p.levelStartTime, fakeNow);
        EXPECT_EQ(p.bodyPose.x + p.bodyPose.y + p.bodyPose.z + p.bodyPose.angleZ + p.bodyPose.angleX, 0.0f);
        if (level == game::kLevelCount) {
            // The seventh acceptance finishes: the organ keeps level 6's box, pose and shape.
            EXPECT_EQ(organChanges.size(), size_t(6));
            EXPECT_EQ(p.organPose.x, 0.5f);
            EXPECT_EQ(p.organPose.angleZ, 2.0f);
            break;
        }
        const game::LevelRow& row = game::kLevels[level];
        ASSERT_EQ(organChanges.size(), size_t(level)) << "one box and preset per level";
        const rules::OrganChange& c = organChanges.back();
        EXPECT_EQ(c.player, &p);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(c.boxMin[i], row.boxMin[i]);
            EXPECT_EQ(c.boxMax[i], row.boxMax[i]);
        }
        EXPECT_EQ(c.preset, row.preset);
        const Pose& o = p.organPose;
        EXPECT_TRUE(o.x == row.startPose.x && o.y == 0.7f && o.z == row.startPose.z &&
                    o.angleZ == row.startPose.angleZ && o.angleX == row.startPose.angleX);
    }
}

TEST_F(GameRules, SeventhAcceptOfBothAnnouncesTheWinnerOnce)
{
    for (int i = 0; i < 6; ++i) {
        acceptMatched(1, 7000); // player 2: 1996 each
        acceptMatched(0, 0);    // player 1: 1997 each
    }
    console.take();

    // Player 1 finishes first: level 7 texts, no winner yet.
    acceptMatched(0, 100);
    EXPECT_EQ(console.take(), "\nPlayer 1 completed level 7\nPoints: 1997\nTotal: 13979\n");
    EXPECT_EQ(appState.leftMessage, "Player 1 completed level 7\nPoints: 1997 Total: 13979");
    EXPECT_FALSE(appState.gameOver);

    // Player 2's seventh acceptance prints its own result and then the winner.
    appState.leftMessageTime = 1200;
    acceptMatched(1, 7000);
    EXPECT_EQ(console.take(), "\nPlayer 2 completed level 7\nPoints: 1996\nTotal: 13972\n"
                              "\nPlayer 1 wins!\n"
                              "\nPress 1 to start a new game!\n");
    const std::string result = "Player 1 wins!\nPlayer 1: 13979\nPlayer 2: 13972\nPress 1 to start a new game!";
    EXPECT_EQ(appState.leftMessage, result);
    EXPECT_EQ(appState.rightMessage, result);
    EXPECT_EQ(appState.leftMessageTime, 3000);
    EXPECT_EQ(appState.rightMessageTime, 3000);
    EXPECT_TRUE(appState.gameOver);
}

TEST_F(GameRules, EighthAcceptScoresNothingAndRepeatsTheResult)
{
    for (int i = 0; i < 7; ++i) {
        acceptMatched(0, 7000); // 1996 each: 13972
        acceptMatched(1, 0);    // 1997 each: 13979
    }
    console.take();

    acceptMatched(0, 0);
    EXPECT_EQ(player(1).total, 13972);
    EXPECT_EQ(player(1).level, 8);
    EXPECT_EQ(console.take(), "\nPlayer 1 completed all level with 13972 points!\n"
                              "\nPlayer 2 wins!\n"
                              "\nPress 1 to start a new game!\n");
    EXPECT_EQ(appState.leftMessage, "Player 2 wins!\nPlayer 1: 13972\nPlayer 2: 13979\nPress 1 to start a new game!")
        << "the announcement overwrites the level text";
}

TEST_F(GameRules, EqualTotalsAreADrawOnceTheSecondPlayerFinishes)
{
    for (int i = 0; i < 8; ++i)
        acceptMatched(0, 0);
    // Player 1's "completed all level" text is broken over two lines, player 2's not.
    EXPECT_EQ(appState.leftMessage, "Player 1 completed all level\nwith 13979 points!");
    EXPECT_FALSE(appState.gameOver);
    for (int i = 0; i < 7; ++i)
        acceptMatched(1, 0);
    EXPECT_TRUE(appState.gameOver);
    EXPECT_EQ(appState.rightMessage, "Draw!\nPlayer 1: 13979\nPlayer 2: 13979\nPress 1 to start a new game!");
    console.take();
    acceptMatched(1, 0);
    EXPECT_EQ(console.take(), "\nPlayer 2 completed all level with 13979 points!\n"
                              "\nDraw!\n"
                              "\nPress 1 to start a new game!\n");
}
