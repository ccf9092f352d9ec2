// Fixture of the game-rule tests: a fresh appState, a clock the test sets, a record of
// what the levels did to the organ layer instead of touching GL, and the console.
#pragma once

#include "app/AppState.h"
#include "app/Levels.h"
#include "tests/support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <vector>

namespace rules {

inline unsigned fakeNow = 0;
inline std::vector<std::vector<double>> organChanges; // box minimum, box maximum, preset

class GameRules : public ::testing::Test {
protected:
    void SetUp() override
    {
        levelHooks.elapsedMs = [] { return fakeNow; };
        levelHooks.setOrganBox = [](PlayerState&, const double lo[3], const double hi[3]) {
            organChanges.push_back({lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]});
        };
        levelHooks.applyOrganPreset = [](PlayerState&, int preset) { organChanges.back().push_back(preset); };
        appState = AppState{}; // a new game, both players at level 0 at time 1000
        fakeNow = 1000;
        for (PlayerState& p : appState.players)
            startLevel(p, 0, fakeNow);
        organChanges.clear();
    }
    void TearDown() override { levelHooks = saved_, appState = AppState{}; }
    PlayerState& player(int n) { return appState.players[n - 1]; }
    testsupport::ConsoleCapture console;
    const LevelHooks saved_ = levelHooks;
};

} // namespace rules
