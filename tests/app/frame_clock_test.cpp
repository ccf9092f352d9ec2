// The frame loop's arithmetic without a window: the frame rate, the message countdown,
// the idle wait and which player's layer each frame casts.
#include "app/FrameClock.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(FrameClock, RateCountdownAndIdleWaitHoldAcrossTheClockWrapAndLayersTakeTurns)
{
    EXPECT_EQ(framesPerSecond(100u, 0xFFFFFFFFu - 299u), 25.0f) << "10 frames in 400 ms across the wrap";
    EXPECT_EQ(framesPerSecond(333u, 0u), float((10.0 / 333.0) * 1000.0)) << "rounded once to float";
    EXPECT_EQ(countDownMessage(3000, 30), 2970);
    EXPECT_EQ(countDownMessage(20, 33), 0) << "never negative";
    EXPECT_EQ(countDownMessage(100, 0xFFFFFFF0u), 0) << "an absurd gap does not wrap back up";
    struct Case { unsigned frames, framesAtLastIdle, now, lastIdle, wait; };
    const Case cases[] = {
        {8, 7, 1000, 990, 0},           // a frame was drawn: the display has waited
        {7, 7, 1000, 990, 20},          // hidden window: the rest of the 30 ms
        {7, 7, 1000, 970, 0},           // the floor has passed
        {7, 7, 5, 0xFFFFFFFFu - 4, 20}, // across the clock's wrap
    };
    for (const Case& c : cases)
        EXPECT_EQ(idleWaitMs(c.frames, c.framesAtLastIdle, c.now, c.lastIdle), c.wait) << c.now - c.lastIdle;

    // Seven frames cast every layer of both players once, player 2 first, then start again.
    AppState state{};
    std::vector<std::pair<int, int>> order; // (player number, layer)
    for (int frame = 0; frame < 7; ++frame) {
        PlayerState& p = takeNextPlayer(state);
        order.emplace_back(&p == &state.players[0] ? 1 : 2, advanceLayer(p));
    }
    EXPECT_EQ(order, (std::vector<std::pair<int, int>>{{2, 0}, {1, 0}, {2, 1}, {1, 1}, {2, 2}, {1, 2}, {2, 0}}));
}
