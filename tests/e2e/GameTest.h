// Shared set-up of the end-to-end tests: the built game, the project's data folder, waits
// with wall-clock limits and pixel checks on screenshots.
#pragma once

#include "tools/session/GameSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace e2e {

inline session::SessionOptions gameOptions(std::vector<std::string> omit = {})
{
    session::SessionOptions o;
    o.executable = QUILLET_EXE;
    o.dataDir = QUILLET_DATA_DIR;
    o.omit = std::move(omit);
    // Sanitizer build: Mesa's driver stays loaded until the game's leak check runs.
    if (std::string(QUILLET_GAME_PRELOAD) != "")
        o.environment.push_back("LD_PRELOAD=" QUILLET_GAME_PRELOAD);
    return o;
}

// A sanitizer report from any game this program ran fails the program, whatever its
// tests checked (every CTest entry runs one test, so the failure names its test).
class SanitizerReportCheck : public ::testing::Environment {
public:
    void TearDown() override
    {
        for (const std::string& report : session::sanitizerReports())
            ADD_FAILURE() << "the game wrote a sanitizer report:\n" << report;
    }
};

inline ::testing::Environment* const kSanitizerReportCheck =
    ::testing::AddGlobalTestEnvironment(new SanitizerReportCheck);

using Clock = std::chrono::steady_clock;
inline Clock::time_point after(double seconds) { return Clock::now() + std::chrono::milliseconds(long(seconds * 1000)); }

// Waits until `done()` holds, for at most `seconds` of wall-clock time.
template <typename Condition>
bool waitUntil(Condition done, double seconds)
{
    for (auto deadline = after(seconds); Clock::now() < deadline; session::sleepMs(50))
        if (done())
            return true;
    return done();
}

// Regions of the window (x from the left, y from the top). The bottom rows hold the
// frame-rate text, which changes every ten frames: left out of picture comparisons.
constexpr int kFpsRows = 30;
struct Box {
    int x0, x1, y0, y1; // to exclusive
    bool operator()(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};
constexpr Box kLeftHalf{0, 416, 0, 642}, kRightHalf{416, 832, 0, 642};
// Where the pictures put things at the start of level 0, seen from the start camera:
// the lifted organ above, the body across the middle.
inline Box organBand(Box half) { return {half.x0, half.x1, 20, 235}; }
inline Box bodyBand(Box half) { return {half.x0, half.x1, 245, 430}; }
struct Circle {
    int x, y, radius;
    bool outside = false; // everything but the circle
    bool operator()(int px, int py) const { return ((px - x) * (px - x) + (py - y) * (py - y) <= radius * radius) != outside; }
};

// Pixels of the region for which `test(colour)` holds.
template <typename Region, typename Test>
int countPixels(const session::Image& img, Region inside, Test test)
{
    int n = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            n += inside(x, y) && test(img.at(x, y));
    return n;
}

// The overlay's message colour (1.0, 0.5, 0.5), and the organ's reds.
inline bool messageColour(session::Rgb c) { return std::abs(c.r - 255) <= 8 && std::abs(c.g - 128) <= 8 && std::abs(c.b - 128) <= 8; }
inline bool reddish(session::Rgb c) { return c.r > 80 && c.r > c.g + 40 && c.r > c.b + 40; }

// Columns [first, last] of the region holding a pixel that passes `test`; {-1, -1} if none.
template <typename Test>
std::pair<int, int> columns(const session::Image& img, Box box, Test test)
{
    std::pair<int, int> span{-1, -1};
    for (int x = box.x0; x < box.x1; ++x)
        if (countPixels(img, Box{x, x + 1, box.y0, box.y1}, test) > 0)
            span = {span.first < 0 ? x : span.first, x};
    return span;
}

// Pixels of the region that differ between the shots; -1 when their sizes differ.
template <typename Region>
int changedPixels(const session::Image& a, const session::Image& b, Region inside)
{
    if (a.width != b.width || a.height != b.height)
        return -1;
    return countPixels(a, [&](int x, int y) { return y < a.height - kFpsRows && inside(x, y) && !(a.at(x, y) == b.at(x, y)); },
                       [](session::Rgb) { return true; });
}

inline int countOccurrences(const std::string& text, const std::string& needle, size_t from = 0)
{
    int n = 0;
    for (size_t at = text.find(needle, from); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

// Starts the game and waits for its first frame: the window maps before start-up has
// loaded everything, so that is the first picture not all clear colour.
inline ::testing::AssertionResult startAndWaitForFirstFrame(session::GameSession& game, session::Image* frame = nullptr)
{
    if (!game.start() || game.waitForWindow("Morvo::Quillet", 120).empty())
        return ::testing::AssertionFailure() << "no window; stderr: " << game.standardError();
    session::Image shot;
    if (!waitUntil([&] { shot = game.windowShot(); return game.exited() || countPixels(shot, Box{0, shot.width, 0, shot.height}, [](session::Rgb c) { return c.r || c.g || c.b; }) > 0; }, 240) || game.exited())
        return ::testing::AssertionFailure() << "no frame; stderr: " << game.standardError();
    if (frame)
        *frame = shot;
    return ::testing::AssertionSuccess();
}

// The picture once everything sent to the game so far shows in full. Each frame casts
// one layer of one player, so that takes six frames after the game took the input in;
// eight counted frames leave six whole ones even if one was being drawn when the input
// came. Frames are counted as the X server reports them, not guessed from time, so a
// loaded machine only makes the wait longer. Empty after the time-out.
inline session::Image settledPicture(session::GameSession& game, double timeoutSeconds = 120)
{
    const long start = game.framesShown();
    for (auto deadline = after(timeoutSeconds); start >= 0 && Clock::now() < deadline && !game.exited(); session::sleepMs(5))
        if (game.framesShown() >= start + 8)
            return game.windowShot();
    return {};
}

} // namespace e2e
