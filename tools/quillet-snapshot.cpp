// Runs the game on a private screen, waits until both halves have been drawn, saves
// the window as a PNG and ends the game. For users (and checks) without a display.
//
//   quillet-snapshot <game executable> <working directory> <picture.png>
#include "tools/session/GameSession.h"

#include <chrono>
#include <cstdio>
#include <string>

using namespace session;

namespace {

// The picture settles once every layer of both players has been cast; the frame-rate
// text in the lower left keeps changing, so it is left out of the comparison.
bool samePicture(const Image& a, const Image& b)
{
    if (a.width != b.width || a.height != b.height || a.empty())
        return false;
    for (int y = 0; y < a.height - 24; ++y)
        for (int x = 0; x < a.width; ++x)
            if (!(a.at(x, y) == b.at(x, y)))
                return false;
    return true;
}

bool blank(const Image& img)
{
    for (size_t i = 0; i < img.rgb.size(); ++i)
        if (img.rgb[i] != 0)
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <game> <working directory> <picture.png>\n", argv[0]);
        return 2;
    }
    SessionOptions options;
    options.executable = argv[1];
    options.workDir = argv[2];
    options.inheritConsole = true;
    GameSession game(options);
    if (!game.start()) {
        std::fprintf(stderr, "quillet-snapshot: could not start Xvfb or the game\n");
        return 1;
    }
    if (game.waitForWindow("Morvo::Quillet", 120).empty()) {
        int status = game.stop();
        std::fprintf(stderr, "quillet-snapshot: the game window never appeared\n");
        return status > 0 ? status : 1;
    }

    // The window maps before start-up has loaded everything; the first frame is the
    // first picture with anything but the clear colour in it.
    Image last;
    for (int tries = 0; tries < 1200 && !game.exited(); ++tries) {
        last = game.windowShot();
        if (!blank(last))
            break;
        sleepMs(100);
    }
    // Wait for two identical pictures in a row, but not beyond the start-up message.
    auto shown = std::chrono::steady_clock::now();
    Image best = last;
    for (;;) {
        sleepMs(250);
        if (game.exited())
            break;
        Image now = game.windowShot();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - shown).count();
        best = now.empty() ? best : now;
        if ((samePicture(last, now) && seconds > 0.8) || seconds > 2.4)
            break;
        last = now;
    }
    if (best.empty() || !best.savePng(argv[3])) {
        game.stop();
        std::fprintf(stderr, "quillet-snapshot: no picture taken\n");
        return 1;
    }
    game.key("Escape");
    int status = game.waitForExit(10);
    if (status == -1000)
        status = game.stop();
    std::printf("Saved %s (%dx%d)\n", argv[3], best.width, best.height);
    return status == 0 ? 0 : 1;
}
