#include "app/FrameClock.h"

float framesPerSecond(unsigned frameStart, unsigned lastFpsTime)
{
    unsigned elapsed = frameStart - lastFpsTime;
    return float((double(game::kFpsFrames) / double(elapsed)) * 1000.0);
}

int countDownMessage(int remaining, unsigned elapsed)
{
    long long left = (long long)remaining - (long long)elapsed;
    return left < 0 ? 0 : int(left);
}

unsigned idleWaitMs(unsigned frames, unsigned framesAtLastIdle, unsigned now, unsigned lastIdle)
{
    unsigned spent = now - lastIdle;
    if (frames != framesAtLastIdle || spent >= game::kMinFrameMs)
        return 0;
    return game::kMinFrameMs - spent;
}

PlayerState& takeNextPlayer(AppState& state)
{
    PlayerState& player = state.renderPlayerOneNext ? state.players[0] : state.players[1];
    state.renderPlayerOneNext = !state.renderPlayerOneNext;
    return player;
}

int advanceLayer(PlayerState& player)
{
    int layer = player.nextLayer;
    player.nextLayer = (layer + 1) % game::kLayerCount;
    return layer;
}
