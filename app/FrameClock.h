// The arithmetic of the frame loop that needs no window: the frame rate, the message
// countdown, and which layer of which player the next frame ray-casts.
#pragma once

#include "app/AppState.h"

// Frames per second over the last kFpsFrames frames. The clock is 32-bit and wraps
// after ~49 days; the unsigned difference stays right across the wrap.
float framesPerSecond(unsigned frameStart, unsigned lastFpsTime);

// A message's remaining time after `elapsed` ms; never below 0.
int countDownMessage(int remaining, unsigned elapsed);

// How long the idle callback waits before it returns. GLUT draws no frame while the
// window is hidden, so the display's frame floor never runs and the loop would spin:
// when no frame was drawn since the last idle call, wait until kMinFrameMs have passed
// since that call. After a drawn frame the display has already waited.
unsigned idleWaitMs(unsigned frames, unsigned framesAtLastIdle, unsigned now, unsigned lastIdle);

// The player whose layer this frame ray-casts; the players alternate frame by frame.
PlayerState& takeNextPlayer(AppState& state);

// The layer a render of this player casts now; the next call casts the following one.
int advanceLayer(PlayerState& player);
