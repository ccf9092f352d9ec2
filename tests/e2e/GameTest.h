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
    return o;
}

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

inline int countOccurrences(const std::string& text, const std::string& needle, size_t from = 0)
{
    int n = 0;
    for (size_t at = text.find(needle, from); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

} // namespace e2e
