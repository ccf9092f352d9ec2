// Runs the game on a private screen and measures what a player sees: the time from start
// to the first full picture, and the steady frame rate after it. Frames are counted as
// the X server reports the window's new images, not read from the game's own text.
//
//   quillet-framerate <game executable> <working directory> [seconds, default 10]
#include "tools/session/GameSession.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace session;

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// The counter sees one frame per look at most, so it is read far more often than the
// 30 ms frame floor; false if the game ended or the time ran out first.
bool pollFrames(GameSession& game, double seconds, long untilFrames = -1)
{
    for (const auto start = Clock::now(); since(start) < seconds;) {
        const long frames = game.framesShown();
        if (game.exited() || frames < 0)
            return false;
        if (untilFrames >= 0 && frames >= untilFrames)
            return true;
        sleepMs(2);
    }
    return untilFrames < 0;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc == 4 ? std::atof(argv[3]) : 10.0;
    if ((argc != 3 && argc != 4) || !(seconds >= 1.0 && seconds <= 600.0)) {
        std::fprintf(stderr, "usage: %s <game> <working directory> [seconds, 1 to 600]\n", argv[0]);
        return 2;
    }
    SessionOptions options;
    options.executable = argv[1];
    options.workDir = argv[2];
    GameSession game(options);
    const auto start = Clock::now();
    if (!game.start() || game.waitForWindow("Morvo::Quillet", 120).empty()) {
        std::fprintf(stderr, "quillet-framerate: the game window never appeared\n%s", game.standardError().c_str());
        game.stop();
        return 1;
    }
    // Start-up ends with the second player's mixing program; each frame then casts one of
    // the six layers, so eight frames later both halves show every layer.
    const std::string lastSetUpLine = "Mix Picture Prog. Link Info:";
    bool setUp = false;
    while (!setUp && !game.exited() && since(start) < 240) {
        const std::string out = game.standardOutput();
        const size_t first = out.find(lastSetUpLine);
        setUp = first != std::string::npos && out.find(lastSetUpLine, first + 1) != std::string::npos;
        sleepMs(5);
    }
    if (!setUp || !pollFrames(game, 240, game.framesShown() + 8)) {
        std::fprintf(stderr, "quillet-framerate: the game never finished its first picture\n");
        game.stop();
        return 1;
    }
    const double firstPicture = since(start);
    pollFrames(game, 5); // past the start message and the first turns of the frame-rate text
    const long before = game.framesShown();
    const auto measured = Clock::now();
    if (!pollFrames(game, seconds)) {
        std::fprintf(stderr, "quillet-framerate: the game ended during the measurement\n");
        return 1;
    }
    const long frames = game.framesShown() - before;
    const double elapsed = since(measured);
    std::printf("first full picture after %.2f s; steady %.1f frames per second (%ld frames in %.1f s)\n",
                firstPicture, frames / elapsed, frames, elapsed);
    game.key("Escape");
    int status = game.waitForExit(30);
    if (status == -1000)
        status = game.stop();
    return status == 0 ? 0 : 1;
}
