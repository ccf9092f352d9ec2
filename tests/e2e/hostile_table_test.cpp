// Datagrams that anyone on the network can send to the table port: cut, binary, absurd
// numbers, a full point table and a flood. The game (instrumented in the sanitizer
// build, where any report fails the test) must take them all and play on.
#include "tests/e2e/GameTest.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace session;

namespace {

constexpr unsigned short kPort = 31409;

class UdpSender {
public:
    UdpSender() : socket_(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        to_.sin_family = AF_INET;
        to_.sin_port = htons(kPort);
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~UdpSender()
    {
        if (socket_ >= 0)
            ::close(socket_);
    }
    bool send(const std::string& bytes)
    {
        return ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to_),
                        sizeof to_) == ssize_t(bytes.size());
    }

private:
    int socket_;
    sockaddr_in to_{};
};

std::vector<std::string> hostileDatagrams()
{
    std::string records;
    while (records.size() < 2000)  // far beyond the 511 bytes a receive takes
        records += "finger 100 100 0 7 0 ";
    std::vector<std::string> out = {
        "",
        std::string(600, 'f'),
        std::string("fi\0\0\0 1 2 3 4 5", 15),
        std::string(1500, '\0'),
        "finger 1e30 -1e30 0 5 0",
        "finger 999999999999 5 0 6 0",
        "finger 1 2 3 0 0",
        "finger 1 2 3",
        "frame 99999999999999",
        "frame -2147483648",
        "frame 2147483647",
        "xr 2147483647 finger 1 1 1 1 1",
        records,
    };
    for (int id = 1; id <= 80; ++id)  // more points than the table holds
        out.push_back("finger " + std::to_string(id * 9 % 800) + " 300 0 " + std::to_string(id) + " 0");
    for (int i = 0; i < 256; ++i)
        out.push_back(std::string(1, char(i)) + "r " + std::to_string(i));
    return out;
}

} // namespace

TEST(HostileTable, MalformedOversizedAndFloodingDatagramsLeaveTheGamePlaying)
{
    GameSession game(e2e::gameOptions());
    ASSERT_TRUE(e2e::startAndWaitForFirstFrame(game));
    const std::string startErrors = game.standardError();
    game.key("B");
    ASSERT_TRUE(game.waitForOutput("try update\n", 10));

    UdpSender sender;
    for (const std::string& datagram : hostileDatagrams())
        ASSERT_TRUE(sender.send(datagram)) << "could not send to the game's port";
    for (int round = 0; round < 20; ++round) {
        for (const std::string& datagram : hostileDatagrams())
            sender.send(datagram);
        sleepMs(20);
    }

    const size_t mark = game.standardOutput().size();
    game.key("x");
    EXPECT_TRUE(game.waitForOutput("Player 1 completed level 1\n", 20, mark))
        << "the game must still take keys";
    EXPECT_EQ(game.standardError(), startErrors) << "nothing here is a receive error";
    game.key("Escape");
    EXPECT_EQ(game.waitForExit(30), 0);
    EXPECT_EQ(game.sanitizerReport(), "");
}
