// Plays the table's part: sends frame and point datagrams to the game on this machine
// (127.0.0.1, the game's table port), with points moving along a straight path. The
// options and their defaults are in the usage text below.
#include "app/GameConfig.h"
#include "tools/NumberList.h"
#include "tools/TableMessages.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>
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

// Frames climb by one per step, about a million a second while flooding: with these
// bounds the last frame number still fits the game's 32-bit frame counter.
constexpr int kMaxFirstFrame = 1000000000;
constexpr double kMaxFloodSeconds = 600;
// A flood keeps the game's port full without taking a processor core from the game: the
// game reads at most 64 datagrams a frame, a burst of this many steps every pause sends
// tens of thousands a second.
constexpr int kFloodBurstSteps = 200;
constexpr auto kFloodPause = std::chrono::milliseconds(5);
// The game forgets a point that no frame has refreshed for more than this many frames.
constexpr int kFrameExpiry = 6;

const char* kUsage =
    "usage: quillet-table-sender [options]\n"
    "Plays the table: frame and point datagrams to the game's table port (UDP %d) on\n"
    "127.0.0.1. Press Shift+B in the game first. Positions are game window pixels, origin\n"
    "top left. Each step sends two datagrams: a frame message and one point message that\n"
    "holds every tracked point.\n"
    "  --from X,Y        start of the path (default 208,321)\n"
    "  --to X,Y          end of the path (default 624,321)\n"
    "  --steps N         steps from start to end (default 60)\n"
    "  --interval MS     pause after each step (default 30)\n"
    "  --points K        points tracked at once, 1 to 64, each 40 pixels below the one\n"
    "                    before (default 1)\n"
    "  --id ID           id of the first point, the others count up from it (default 1)\n"
    "  --first-frame F   number of the first frame, 1 to %d (default 1);\n"
    "                    the game keeps a point for 7 frames without it, so for its\n"
    "                    points to count as new a second run needs a later first frame:\n"
    "                    the last line of the first run names one\n"
    "  --flood SECONDS   for that long (up to %g), keep the game's port full: the path\n"
    "                    over and over, 400 datagrams every 5 ms, instead of stepping\n"
    "                    through it once\n"
    "  --help            this text\n";

bool parseInt(const std::string& text, int& value, int lo, int hi)
{
    long long v;
    if (!tools::parseNumberList(text, &v, 1) || v < lo || v > hi)
        return false;
    value = int(v);
    return true;
}

// An empty string when the options are sound, otherwise what is wrong with them.
std::string parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; i += 2) {  // an option and its value
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return arg + " needs a value";
        const std::string value = argv[i + 1];
        float pair[2];
        bool ok = true;
        if (arg == "--from" || arg == "--to") {
            ok = tools::parseNumberList(value, pair, 2);
            (arg == "--from" ? o.fromX : o.toX) = pair[0];
            (arg == "--from" ? o.fromY : o.toY) = pair[1];
            if (!ok)
                return arg + " takes X,Y (two numbers), not \"" + value + "\"";
        } else if (arg == "--steps")
            ok = parseInt(value, o.steps, 1, INT_MAX);
        else if (arg == "--interval")
            ok = parseInt(value, o.intervalMs, 0, 60000);
        else if (arg == "--points")
            ok = parseInt(value, o.points, 1, 64);
        else if (arg == "--id")
            ok = parseInt(value, o.firstId, 1, INT_MAX - 63);
        else if (arg == "--first-frame")
            ok = parseInt(value, o.firstFrame, 1, kMaxFirstFrame);
        else if (arg == "--flood")
            ok = tools::parseNumberList(value, &o.floodSeconds, 1) && o.floodSeconds > 0 && o.floodSeconds <= kMaxFloodSeconds;
        else
            return "unknown option " + arg;
        if (!ok)
            return arg + " does not take \"" + value + "\"";
    }
    return "";
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            std::printf(kUsage, game::kTablePort, kMaxFirstFrame, kMaxFloodSeconds);
            return 0;
        }
    Options o;
    const std::string error = parse(argc, argv, o);
    if (!error.empty()) {
        std::fprintf(stderr, "quillet-table-sender: %s\n", error.c_str());
        std::fprintf(stderr, kUsage, game::kTablePort, kMaxFirstFrame, kMaxFloodSeconds);
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
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(o.floodSeconds);
        for (int step = 0; std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(kFloodPause))
            for (int n = 0; n < kFloodBurstSteps; ++n, step = (step + 1) % o.steps)
                sendStep(step);
    } else {
        for (int step = 0; step < o.steps; ++step) {
            sendStep(step);
            std::this_thread::sleep_for(std::chrono::milliseconds(o.intervalMs));
        }
    }
    close(s);
    // Its points count as new in a second run once that run's first frame has made the
    // game forget them.
    std::printf("sent %ld datagrams, last frame %d; a second run: --first-frame %d\n", sent, frame - 1,
                frame + kFrameExpiry);
    return 0;
}
