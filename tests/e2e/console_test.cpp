// What the players read in the console: the manual on "h", the level results, the
// winner, and a new game on "1".
#include "tests/e2e/GameTest.h"
#include "tests/support/ManualText.h"

#include <regex>

using namespace session;
using e2e::countColour;
using e2e::gameOptions;
using e2e::kMessageColour;

TEST(Console, ManualIsPrintedByteForByteOnEveryPressOfH)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    const std::string manual = testsupport::kExpectedManual;
    size_t before = game.standardOutput().size();
    const std::string startErrors = game.standardError();

    game.key("h");
    ASSERT_TRUE(game.waitForOutput(manual, 20, before));
    EXPECT_EQ(game.standardOutput().substr(before), manual);

    game.key("h");
    ASSERT_TRUE(game.waitForOutput(manual, 20, before + manual.size()));
    EXPECT_EQ(game.standardOutput().substr(before), manual + manual);
    EXPECT_EQ(game.standardError(), startErrors);
}

TEST(Console, FourteenAcceptsAnnounceTheWinnerAndKeyOneStartsANewGame)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    size_t before = game.standardOutput().size();
    const std::string startErrors = game.standardError();

    game.keys("x x x x x x x", 60);
    ASSERT_TRUE(game.waitForOutput("Player 1 completed level 7\n", 30, before));
    game.keys("n n n n n n n", 60);
    ASSERT_TRUE(game.waitForOutput("Press 1 to start a new game!\n", 30, before));
    std::string out = game.standardOutput().substr(before);

    // Every acceptance: its level, its points, and the running total.
    int totals[2] = {0, 0};
    std::regex result("\nPlayer ([12]) completed level ([0-9]+)\nPoints: ([0-9]+)\nTotal: ([0-9]+)\n");
    int expectedLevel[2] = {1, 1};
    int results = 0;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), result); it != std::sregex_iterator(); ++it) {
        int player = std::stoi((*it)[1]) - 1;
        int points = std::stoi((*it)[3]);
        EXPECT_EQ(std::stoi((*it)[2]), expectedLevel[player]++);
        EXPECT_GE(points, 5);
        EXPECT_LE(points, 1997);
        totals[player] += points;
        EXPECT_EQ(std::stoi((*it)[4]), totals[player]);
        ++results;
    }
    EXPECT_EQ(results, 14);
    ASSERT_GT(totals[0], 0);

    const char* winner = totals[0] > totals[1] ? "Player 1 wins!" : totals[0] < totals[1] ? "Player 2 wins!" : "Draw!";
    std::string tail = "Total: " + std::to_string(totals[1]) + "\n\n" + winner + "\n\nPress 1 to start a new game!\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail) << out;
    EXPECT_EQ(e2e::countOccurrences(out, winner), 1);

    // Both halves show the four-line result: base lines at y = 50, 35, 20 and 5.
    sleepMs(300);
    Image shot = game.windowShot();
    for (int half = 0; half < 2; ++half) {
        SCOPED_TRACE(half);
        EXPECT_GT(countColour(shot, half * 416 + 45, 47, 300, 12, kMessageColour), 20);
        EXPECT_GT(countColour(shot, half * 416 + 45, 17, 300, 12, kMessageColour), 20);
        EXPECT_GT(countColour(shot, half * 416 + 45, 2, 300, 12, kMessageColour), 20);
    }

    // A new game: level 1 again, the total starting from nothing.
    size_t mark = game.standardOutput().size();
    game.key("1");
    sleepMs(300);
    game.key("n");
    ASSERT_TRUE(game.waitForOutput("Player 2 completed level 1\n", 20, mark));
    std::smatch m;
    std::string again = game.standardOutput().substr(mark);
    ASSERT_TRUE(std::regex_search(again, m, result)) << again;
    EXPECT_EQ(m[1], "2");
    EXPECT_EQ(m[3], m[4]) << "the first acceptance's total is its points";
    EXPECT_EQ(e2e::countOccurrences(again, "wins!"), 0);
    EXPECT_EQ(game.standardError(), startErrors);
}
