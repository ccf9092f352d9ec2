// Shared set-up of the end-to-end tests: the built game, the project's data folder and
// pixel checks on screenshots.
#pragma once

#include "tools/session/GameSession.h"

#include <gtest/gtest.h>

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

} // namespace e2e
