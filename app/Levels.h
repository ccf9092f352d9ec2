// The seven levels: organ box, start pose and organ colouring per level, scoring.
#pragma once

#include "app/AppState.h"

// Begins level `level` for `p` at elapsed time `time` (ms).
void startLevel(PlayerState& p, int level, unsigned time);
