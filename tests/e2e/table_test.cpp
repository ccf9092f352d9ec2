// The table input of the real game: key "B", the UDP port and the sender tool.
// These scenarios share the game's fixed port and run one at a time (RESOURCE_LOCK).
#include "tests/e2e/GameTest.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace session;
using e2e::countColour;
using e2e::gameOptions;
using e2e::kMessageColour;

namespace {

constexpr unsigned short kPort = 31409;

// Holds the game's port, as another program on the machine might.
int occupyPort()
{
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(kPort);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        return -1;
    }
    return s;
}

// The sender tool in the background; ends with the test at the latest.
class Sender {
public:
    explicit Sender(std::vector<std::string> args)
    {
        args.insert(args.begin(), QUILLET_TABLE_SENDER);
        std::vector<const char*> argv;
        for (const auto& a : args)
            argv.push_back(a.c_str());
        argv.push_back(nullptr);
        pid_ = spawnChild(argv.data(), nullptr, nullptr, -1, -1, -1);
    }
    ~Sender()
    {
        if (pid_ > 0)
            terminateChild(pid_, 500);
    }
    int wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
};

} // namespace

TEST(Table, BusyPortLeavesTableOffAndASecondBOpensIt)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    int held = occupyPort();
    ASSERT_GE(held, 0) << "port " << kPort << " is taken by someone else";
    const std::string startErrors = game.standardError();

    game.key("B");
    for (int i = 0; i < 100 && game.standardError() == startErrors; ++i)
        sleepMs(50);
    EXPECT_EQ(game.standardError(), startErrors + "could not bind socket\n");
    sleepMs(300);
    EXPECT_EQ(e2e::countOccurrences(game.standardOutput(), "try update\n"), 0)
        << "table mode stays off";

    close(held);
    game.key("b");  // lower case is no table key
    sleepMs(300);
    EXPECT_EQ(e2e::countOccurrences(game.standardOutput(), "try update\n"), 0);
    game.key("B");
    EXPECT_TRUE(game.waitForOutput("try update\n", 10));
    EXPECT_EQ(game.standardError(), startErrors + "could not bind socket\n")
        << "the retry succeeds quietly";
    EXPECT_LT(occupyPort(), 0) << "the game holds the port now";
}

TEST(Table, FramesKeepComingWhileTheSenderFloodsThePort)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    const std::string startErrors = game.standardError();
    game.key("B");
    ASSERT_TRUE(game.waitForOutput("try update\n", 10));
    sleepMs(3500);  // the start-up message has run out

    Sender flood({"--flood", "6", "--points", "4", "--from", "100,100", "--to", "700,500"});
    sleepMs(500);
    size_t mark = game.standardOutput().size();
    game.key("x");  // a message that only frames can count down
    ASSERT_TRUE(game.waitForOutput("Player 1 completed level 1\n", 10, mark));
    sleepMs(300);
    EXPECT_GT(countColour(game.windowShot(), 45, 44, 330, 20, kMessageColour), 20);
    sleepMs(3800);
    EXPECT_EQ(countColour(game.windowShot(), 0, 0, 416, 100, kMessageColour), 0)
        << "the message must run out while datagrams keep arriving";
    int polls = e2e::countOccurrences(game.standardOutput(), "try update\n", mark);
    EXPECT_GT(polls, 8) << "the idle callback must come back between frames";

    EXPECT_EQ(flood.wait(), 0);

    // With nothing waiting on the socket the game must not sit in a receive either.
    sleepMs(500);
    mark = game.standardOutput().size();
    game.key("n");
    EXPECT_TRUE(game.waitForOutput("Player 2 completed level 1\n", 5, mark));
    sleepMs(500);
    EXPECT_GT(countColour(game.windowShot(), 461, 44, 330, 20, kMessageColour), 20);
    EXPECT_GT(e2e::countOccurrences(game.standardOutput(), "try update\n", mark), 2);
    EXPECT_EQ(game.standardError(), startErrors)
        << "no receive error: nothing waiting is no failure";
}

TEST(Table, PointsOpenTheLensOfTheirHalfAndTheirMovesTurnItsCamera)
{
    GameSession game(gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    sleepMs(3200);
    game.key("B");
    ASSERT_TRUE(game.waitForOutput("try update\n", 10));
    Image start = e2e::waitForSteadyPicture(game);

    // A new point at (620, 330) becomes player 2's cursor: the lens opens there.
    EXPECT_EQ(Sender({"--from", "620,330", "--to", "620,330", "--steps", "1", "--id", "3"}).wait(), 0);
    Image right = e2e::waitForSteadyPicture(game);
    EXPECT_GT(e2e::changedPixels(start, right, e2e::Circle{620, 330, 40}), 500);
    EXPECT_EQ(e2e::changedPixels(start, right, e2e::Outside{620, 330, 82}), 0);

    // A second point in the left half opens player 1's lens; player 2's stays open.
    EXPECT_EQ(Sender({"--from", "200,330", "--to", "200,330", "--steps", "1", "--id", "4",
                      "--first-frame", "5"}).wait(), 0);
    Image both = e2e::waitForSteadyPicture(game);
    EXPECT_GT(e2e::changedPixels(right, both, e2e::Circle{200, 330, 40}), 500);
    EXPECT_EQ(e2e::changedPixels(right, both, e2e::kRightHalf, e2e::kAllRows), 0);

    // Point 3 moving right by 80 pixels drags player 2's camera round; the lens stays.
    EXPECT_EQ(Sender({"--from", "620,330", "--to", "700,330", "--steps", "5", "--id", "3",
                      "--first-frame", "10", "--interval", "60"}).wait(), 0);
    Image turned = e2e::waitForSteadyPicture(game);
    EXPECT_GT(e2e::changedPixels(both, turned, e2e::kRightHalf, e2e::kBodyBand), 2000);
    EXPECT_EQ(e2e::changedPixels(both, turned, e2e::kLeftHalf, e2e::kAllRows), 0);
}
