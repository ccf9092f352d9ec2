// Composition of a player's picture: three ray-cast layers (skin, skeleton, organ)
// mixed into the player's half of the window.
#pragma once

#include "app/AppState.h"

// Builds the three layers and the mixing program of a player.
void setupPlayer(PlayerState& p);

// Ray-casts layer p.nextLayer into its offscreen image and advances p.nextLayer.
// Leaves the modelview matrix selected.
void renderNextLayer(PlayerState& p);

// Binds the mixing program, the three layer images and the uniforms.
void setupMixPass(PlayerState& p);

// Draws the mixed picture over the current viewport and unbinds the program.
void drawMixQuad();
