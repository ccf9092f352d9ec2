// The table input of the real game: key "B", the UDP port, the sender tool and hostile
// datagrams from anyone on the network. The scenario binds the game's fixed port: it
// runs alone (RESOURCE_LOCK on "Table.*") and, where it may, in a network of its own.
#include "tests/e2e/GameTest.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <future>

using namespace session;
using namespace e2e;

namespace {

constexpr unsigned short kPort = 31409;

// Another test run on the machine (a second checkout, say) may hold the game's port.
// With the right to, this process and everything it starts (Xvfb, the game, the
// sender) get a network of their own, with only the loopback interface.
void ownNetworkIfAllowed()
{
    if (unshare(CLONE_NEWNET) != 0)
        return;
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq loopback{};
    std::strcpy(loopback.ifr_name, "lo");
    if (ioctl(s, SIOCGIFFLAGS, &loopback) == 0) {
        loopback.ifr_flags |= IFF_UP;
        ioctl(s, SIOCSIFFLAGS, &loopback);
    }
    close(s);
}

sockaddr_in portAddress(in_addr_t host)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(kPort);
    a.sin_addr.s_addr = htonl(host);
    return a;
}

// Holds the game's port, as another program on the machine might; -1 if taken.
int occupyPort()
{
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = portAddress(INADDR_ANY);
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        return -1;
    }
    return s;
}

// Runs the sender tool to its end; its exit status.
int runSender(const std::string& arguments)
{
    int status = std::system((std::string("'") + QUILLET_TABLE_SENDER + "' " + arguments + " >/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Cut, binary, absurd numbers, more than a receive takes and more points than the
// table holds.
std::vector<std::string> hostileDatagrams()
{
    std::string records;
    while (records.size() < 2000) // far beyond the 511 bytes a receive takes
        records += "finger 100 100 0 7 0 ";
    std::vector<std::string> out = {
        "", std::string(600, 'f'), std::string("fi\0\0\0 1 2 3 4 5", 15), std::string(1500, '\0'),
        "finger 1e30 -1e30 0 5 0", "finger 999999999999 5 0 6 0", "finger 1 2 3 0 0", "finger 1 2 3",
        "frame 99999999999999", "frame -2147483648", "frame 2147483647", "xr 2147483647 finger 1 1 1 1 1",
        records,
    };
    for (int id = 1; id <= 80; ++id)
        out.push_back("finger " + std::to_string(id * 9 % 800) + " 300 0 " + std::to_string(id) + " 0");
    for (int i = 0; i < 256; ++i)
        out.push_back(std::string(1, char(i)) + "r " + std::to_string(i));
    return out;
}

} // namespace

TEST(Table, BusyPortPointsFloodHiddenWindowAndHostileDatagramsLeaveTheGamePlaying)
{
    ownNetworkIfAllowed();
    GameSession game(gameOptions());
    ASSERT_TRUE(startAndWaitForFirstFrame(game));
    const std::string startErrors = game.standardError();

    // A busy port leaves the table off; "b" is no table key; a second "B" opens it once
    // the port is free.
    int held = occupyPort();
    ASSERT_GE(held, 0) << "port " << kPort << " is taken by someone else";
    game.key("B");
    waitUntil([&] { return game.standardError() != startErrors; }, 60);
    const std::string bindError = startErrors + "could not bind socket\n";
    EXPECT_EQ(game.standardError(), bindError);
    close(held);
    game.key("b");
    sleepMs(300);
    EXPECT_EQ(countOccurrences(game.standardOutput(), "try update\n"), 0) << "table mode stays off";
    game.key("B");
    ASSERT_TRUE(game.waitForOutput("try update\n", 60));
    EXPECT_EQ(game.standardError(), bindError);
    EXPECT_LT(occupyPort(), 0) << "the game holds the port now";

    // A new point becomes the cursor of the half it falls into: the lens opens there.
    ASSERT_TRUE(waitUntil([&] { return countPixels(game.windowShot(), Box{0, 832, 442, 642}, messageColour) == 0; }, 60));
    Image start = settledPicture(game);
    EXPECT_EQ(runSender("--from 620,330 --to 620,330 --steps 1 --id 3"), 0);
    Image right = settledPicture(game);
    EXPECT_GT(changedPixels(start, right, Circle{620, 330, 40}), 500);
    EXPECT_EQ(changedPixels(start, right, Circle{620, 330, 82, true}), 0);
    // A second point in the left half opens player 1's lens; player 2's stays open.
    EXPECT_EQ(runSender("--from 200,330 --to 200,330 --steps 1 --id 4 --first-frame 5"), 0);
    Image both = settledPicture(game);
    EXPECT_GT(changedPixels(right, both, Circle{200, 330, 40}), 500);
    EXPECT_EQ(changedPixels(right, both, kRightHalf), 0);
    // Point 3 moving right by 80 pixels drags player 2's camera round.
    EXPECT_EQ(runSender("--from 620,330 --to 700,330 --steps 5 --id 3 --first-frame 10 --interval 60"), 0);
    Image turned = settledPicture(game);
    EXPECT_GT(changedPixels(both, turned, bodyBand(kRightHalf)), 2000);
    EXPECT_EQ(changedPixels(both, turned, kLeftHalf), 0);

    // While the sender floods the port, frames keep coming: a message counts down.
    {
        auto flood = std::async(std::launch::async, runSender,
                                "--flood 8 --points 4 --from 100,100 --to 700,500 --first-frame 100");
        sleepMs(500);
        size_t mark = game.standardOutput().size();
        game.key("x");
        ASSERT_TRUE(game.waitForOutput("Player 1 completed level 1\n", 10, mark));
        EXPECT_TRUE(waitUntil([&] { return countPixels(game.windowShot(), Box{45, 375, 578, 598}, messageColour) > 20; }, 5));
        EXPECT_TRUE(waitUntil([&] { return countPixels(game.windowShot(), Box{0, 416, 542, 642}, messageColour) == 0; }, 10))
            << "the message must run out while datagrams keep arriving";
        EXPECT_GT(countOccurrences(game.standardOutput(), "try update\n", mark), 2)
            << "the idle callback must come back between frames";
        EXPECT_EQ(flood.get(), 0);
    }

    // Hidden, the game draws no frames; its idle callback must not spin in their place
    // (it took a whole core and printed "try update" millions of times).
    game.hideWindow();
    sleepMs(500);
    size_t hiddenMark = game.standardOutput().size();
    double hiddenCpu = game.cpuSeconds();
    sleepMs(5000);
    EXPECT_LT(game.cpuSeconds() - hiddenCpu, 0.5) << "under 10 % of a core over 5 s";
    EXPECT_LE(countOccurrences(game.standardOutput(), "try update\n", hiddenMark), 200);
    game.showWindow();
    EXPECT_FALSE(settledPicture(game).empty()) << "frames come again once it is shown";

    // Hostile datagrams, once and then as a flood: the game takes them all and plays on.
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = portAddress(INADDR_LOOPBACK);
    for (int round = 0; round < 21; ++round) {
        for (const std::string& d : hostileDatagrams()) {
            bool sent = sendto(s, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
                        ssize_t(d.size());
            ASSERT_TRUE(sent || round > 0) << "could not send to the game's port";
        }
        sleepMs(round ? 20 : 0);
    }
    close(s);
    // With nothing waiting on the socket the game must not sit in a receive either.
    size_t mark = game.standardOutput().size();
    game.key("x");
    EXPECT_TRUE(game.waitForOutput("Player 1 completed level 2\n", 60, mark)) << "the game must still take keys";
    EXPECT_EQ(game.standardError(), bindError) << "no receive error: nothing waiting is no failure";
    game.key("Escape");
    EXPECT_EQ(game.waitForExit(180), 0);
    EXPECT_EQ(game.sanitizerReport(), "");
}
