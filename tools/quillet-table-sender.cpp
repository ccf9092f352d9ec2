// Plays the table's part: sends frame and point datagrams to the game on this machine
// (127.0.0.1, the game's table port), with points moving along a straight path.
//
//   quillet-table-sender [--from X,Y] [--to X,Y] [--steps N] [--interval MS]
//                        [--points K] [--id ID] [--first-frame F] [--flood SECONDS]
//
// Press "B" in the game first. --flood sends without pause for the given time (at most
// one million datagrams), to see that the game keeps drawing meanwhile.
#include "app/GameConfig.h"
#include "tools/TableMessages.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
    float fromX = 208, fromY = 321, toX = 624, toY = 321;  // across both halves
    int steps = 60;
    int intervalMs = 30;
    int points = 1;
    int firstId = 1;
    int firstFrame = 1;
    double floodSeconds = 0;
};

constexpr long kFloodLimit = 1000000;

bool parsePair(const char* text, float& x, float& y)
{
    return std::sscanf(text, "%f,%f", &x, &y) == 2;
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; i += 2) {  // an option and its value
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value)
            return false;
        bool ok = true;
        if (arg == "--from")
            ok = parsePair(value, o.fromX, o.fromY);
        else if (arg == "--to")
            ok = parsePair(value, o.toX, o.toY);
        else if (arg == "--steps")
            o.steps = std::atoi(value);
        else if (arg == "--interval")
            o.intervalMs = std::atoi(value);
        else if (arg == "--points")
            o.points = std::atoi(value);
        else if (arg == "--id")
            o.firstId = std::atoi(value);
        else if (arg == "--first-frame")
            o.firstFrame = std::atoi(value);
        else if (arg == "--flood")
            o.floodSeconds = std::atof(value);
        else
            return false;
        if (!ok)
            return false;
    }
    return o.steps > 0 && o.intervalMs >= 0 && o.points > 0 && o.points <= 64 && o.firstId > 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: %s [--from X,Y] [--to X,Y] [--steps N] [--interval MS]\n"
                     "          [--points K] [--id ID] [--first-frame F] [--flood SECONDS]\n",
                     argv[0]);
        return 2;
    }
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        std::perror("socket");
        return 1;
    }
    sockaddr_in game{};
    game.sin_family = AF_INET;
    game.sin_port = htons(game::kTablePort);
    game.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto send = [&](const std::string& text) {
        // Nobody listening is not an error for a datagram sender; keep going.
        sendto(s, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&game), sizeof game);
    };

    long sent = 0;
    int frame = o.firstFrame;
    auto sendStep = [&](int step) {
        std::vector<table::TrackedPoint> points;
        for (int k = 0; k < o.points; ++k)
            points.push_back(table::pointOnPath(o.fromX, o.fromY, o.toX, o.toY, step, o.steps, k, o.firstId));
        send(table::frameMessage(frame++));
        send(table::pointMessage(points));
        sent += 2;
    };

    if (o.floodSeconds > 0) {
        auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(long(o.floodSeconds * 1000));
        for (int step = 0; sent < kFloodLimit && std::chrono::steady_clock::now() < end; ++step)
            sendStep(step % o.steps);
    } else {
        for (int step = 0; step < o.steps; ++step) {
            sendStep(step);
            std::this_thread::sleep_for(std::chrono::milliseconds(o.intervalMs));
        }
    }
    close(s);
    std::printf("sent %ld datagrams, last frame %d\n", sent, frame - 1);
    return 0;
}
