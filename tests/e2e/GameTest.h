// Shared set-up of the end-to-end tests: the built game, the project's data folder and
// pixel checks on screenshots.
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

// Pixels in the rectangle (GL convention: x from the left, y from the bottom) whose
// colour is within `tolerance` of `colour` on every channel.
inline int countColour(const session::Image& img, int x0, int y0, int w, int h,
                       session::Rgb colour, int tolerance = 8)
{
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            session::Rgb c = img.atFromBottom(x, y);
            if (std::abs(c.r - colour.r) <= tolerance && std::abs(c.g - colour.g) <= tolerance &&
                std::abs(c.b - colour.b) <= tolerance)
                ++n;
        }
    return n;
}

// Leftmost column in the rectangle that holds a pixel of `colour`, or -1.
inline int leftmostColumn(const session::Image& img, int x0, int y0, int w, int h,
                          session::Rgb colour, int tolerance = 8)
{
    for (int x = x0; x < x0 + w; ++x)
        if (countColour(img, x, y0, 1, h, colour, tolerance) > 0)
            return x;
    return -1;
}

constexpr session::Rgb kMessageColour{255, 128, 128}; // (1.0, 0.5, 0.5)

inline bool blank(const session::Image& img)
{
    for (uint8_t v : img.rgb)
        if (v)
            return false;
    return true;
}

// The window maps before start-up has loaded everything; the first picture that is not
// all clear colour is the first frame. Empty when the game ended or took too long.
inline session::Image waitForFirstFrame(session::GameSession& game, double timeoutSeconds = 240)
{
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(int(timeoutSeconds * 1000));
    while (std::chrono::steady_clock::now() < deadline && !game.exited()) {
        session::Image shot = game.windowShot();
        if (!shot.empty() && !blank(shot))
            return shot;
        session::sleepMs(100);
    }
    return {};
}

// Starts the game and waits for its first frame; false (with the reason) on failure.
inline ::testing::AssertionResult startAndWaitForFirstFrame(session::GameSession& game)
{
    if (!game.start())
        return ::testing::AssertionFailure() << "could not start Xvfb or the game";
    if (game.waitForWindow("Morvo::Quillet", 120).empty())
        return ::testing::AssertionFailure() << "no window; stderr: " << game.standardError();
    if (waitForFirstFrame(game).empty())
        return ::testing::AssertionFailure() << "no frame; stderr: " << game.standardError();
    return ::testing::AssertionSuccess();
}

// Rows at the bottom of the window that hold the frame-rate text, which changes every
// ten frames; picture comparisons leave them out.
constexpr int kFpsRows = 30;

struct Columns { int from, to; };  // window x, to exclusive
struct Rows { int from, to; };     // window y from the top, to exclusive
constexpr Columns kLeftHalf{0, 416};
constexpr Columns kRightHalf{416, 832};
constexpr Rows kAllRows{0, 642 - kFpsRows};
// Where the pictures put things at the start of level 0, seen from the start camera:
// the lifted organ above, the body across the middle.
constexpr Rows kOrganBand{20, 235};
constexpr Rows kBodyBand{245, 430};

struct Circle { int x, y, radius; };   // window pixels, y from the top
struct Outside { int x, y, radius; };  // everything but that circle

inline bool samePixel(const session::Image& a, const session::Image& b, int x, int y)
{
    return a.at(x, y) == b.at(x, y);
}

template <typename Inside>
int countChanged(const session::Image& a, const session::Image& b, Inside inside)
{
    if (a.width != b.width || a.height != b.height)
        return -1;
    int n = 0;
    for (int y = 0; y < a.height - kFpsRows; ++y)
        for (int x = 0; x < a.width; ++x)
            if (inside(x, y) && !samePixel(a, b, x, y))
                ++n;
    return n;
}

inline int changedPixels(const session::Image& a, const session::Image& b, Columns c, Rows r)
{
    return countChanged(a, b, [&](int x, int y) { return x >= c.from && x < c.to && y >= r.from && y < r.to; });
}
inline int changedPixels(const session::Image& a, const session::Image& b, Circle c)
{
    return countChanged(a, b, [&](int x, int y) {
        return (x - c.x) * (x - c.x) + (y - c.y) * (y - c.y) <= c.radius * c.radius;
    });
}
inline int changedPixels(const session::Image& a, const session::Image& b, Outside c)
{
    return countChanged(a, b, [&](int x, int y) {
        return (x - c.x) * (x - c.x) + (y - c.y) * (y - c.y) > c.radius * c.radius;
    });
}

// Each frame casts one layer of one player, so a change takes six frames to show in
// full. The picture is steady once three shots in a row agree (the frame-rate text
// aside); empty after the timeout.
inline session::Image waitForSteadyPicture(session::GameSession& game, double timeoutSeconds = 60)
{
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(int(timeoutSeconds * 1000));
    session::Image last = game.windowShot();
    int agreeing = 0;
    while (std::chrono::steady_clock::now() < deadline && !game.exited()) {
        session::sleepMs(400);
        session::Image shot = game.windowShot();
        bool same = !shot.empty() && countChanged(last, shot, [](int, int) { return true; }) == 0;
        agreeing = same ? agreeing + 1 : 0;
        last = shot;
        if (agreeing >= 2)
            return last;
    }
    return {};
}

inline int countOccurrences(const std::string& text, const std::string& needle, size_t from = 0)
{
    int n = 0;
    for (size_t at = text.find(needle, from); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

} // namespace e2e
