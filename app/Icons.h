// The two tool icons, loaded at start-up into textures (no frame draws them).
#pragma once

#include "app/AppState.h"

// Fills rotateToolTexture and moveToolTexture (-1 for an icon without pixels).
void loadIcons(AppState& state);
