// The frame loop's arithmetic without a window: the frame rate, the message countdown
// and which player's layer each frame casts.
#include "app/FrameClock.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(FrameClock, FrameRateSurvivesTheClockWrap)
{
    // 10 frames in 400 ms, the clock wrapping past 2^32 in between.
    EXPECT_FLOAT_EQ(framesPerSecond(4000000000u + 400u, 4000000000u), 25.0f);
    EXPECT_FLOAT_EQ(framesPerSecond(100u, 0xFFFFFFFFu - 299u), 25.0f);
    // The shown rate is the double-precision value rounded once to float.
    EXPECT_EQ(framesPerSecond(333u, 0u), float((10.0 / 333.0) * 1000.0));
}

TEST(FrameClock, MessageCountsDownToZeroAndStays)
{
    int t = 3000, frames = 0;
    for (; t > 0; ++frames)
        t = countDownMessage(t, 33);
    EXPECT_EQ(frames, 91); // ceil(3000 / 33)
    EXPECT_EQ(t, 0);       // never negative
    EXPECT_EQ(countDownMessage(100, 0xFFFFFFF0u), 0);  // an absurd gap does not wrap back up
    EXPECT_EQ(countDownMessage(3000, 30), 2970);
}

TEST(FrameClock, IdleWaitsOutTheFrameFloorOnlyWhenNoFrameWasDrawn)
{
    struct Case {
        unsigned frames, framesAtLastIdle, now, lastIdle, wait;
    };
    const Case cases[] = {
        {8, 7, 1000, 990, 0},               // a frame was drawn: the display has waited
        {7, 7, 1000, 990, 20},              // hidden window: the rest of the 30 ms
        {7, 7, 1000, 970, 0},               // the floor has passed
        {7, 7, 5, 0xFFFFFFFFu - 4, 20},     // across the clock's wrap
    };
    for (const Case& c : cases)
        EXPECT_EQ(idleWaitMs(c.frames, c.framesAtLastIdle, c.now, c.lastIdle), c.wait) << c.now - c.lastIdle;
}

TEST(FrameClock, SixFramesCastEveryLayerOfBothPlayersOnce)
{
    AppState state{};
    std::vector<std::pair<int, int>> order; // (player number, layer)
    for (int frame = 0; frame < 6; ++frame) {
        PlayerState& p = takeNextPlayer(state);
        int player = &p == &state.players[0] ? 1 : 2;
        order.emplace_back(player, advanceLayer(p));
    }
    std::vector<std::pair<int, int>> expected = {
        {2, game::kSkinLayer},     {1, game::kSkinLayer},  {2, game::kSkeletonLayer},
        {1, game::kSkeletonLayer}, {2, game::kOrganLayer}, {1, game::kOrganLayer}};
    EXPECT_EQ(order, expected);
    // The seventh frame starts the cycle again with player 2's skin.
    PlayerState& seventh = takeNextPlayer(state);
    EXPECT_EQ(&seventh, &state.players[1]);
    EXPECT_EQ(advanceLayer(seventh), game::kSkinLayer);
}
