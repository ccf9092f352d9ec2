// Runs the game on a private screen, waits until both halves have been drawn, saves
// the window as a PNG and ends the game. For users (and checks) without a display.
//
//   quillet-snapshot <game executable> <working directory> <picture.png>
#include "tools/session/GameSession.h"

#include <algorithm>
#include <cstdio>
#include <string>

using namespace session;

namespace {

// The frame-rate text in the lower left corner first changes at the tenth frame; each
// frame casts one layer of one player, so by then all six layers have been drawn.
bool frameRateChanged(const Image& a, const Image& b)
{
    if (a.width != b.width || a.height != b.height || a.empty())
        return false;
    for (int y = a.height - 24; y < a.height; ++y)
        for (int x = 0; x < std::min(a.width, 120); ++x)
            if (!(a.at(x, y) == b.at(x, y)))
                return true;
    return false;
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
    // first picture with anything but the clear colour in it. Then wait for the tenth,
    // however slowly a busy machine draws them.
    Image first, best;
    for (int tries = 0; tries < 1200 && !game.exited() && (first.empty() || blank(first)); ++tries) {
        first = game.windowShot();
        sleepMs(100);
    }
    for (int tries = 0; tries < 600 && !game.exited() && !blank(first); ++tries) {
        Image now = game.windowShot();
        best = now.empty() ? best : now;
        if (frameRateChanged(first, now))
            break;
        sleepMs(100);
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
