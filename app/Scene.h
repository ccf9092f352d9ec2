// Composition of a player's picture: three ray-cast layers of the same volume (skin,
// skeleton, organ), each with its own caster and transfer function, mixed into the
// player's half of the window by the picture-mixing program.
#pragma once

#include "app/AppState.h"

class GLSLRaycaster;

// Builds the three layers and the mixing program of a player, with their console logs.
void setupPlayer(PlayerState& p);

// (Re)builds one layer: its transfer function from `tfnPath` and a caster holding the
// volume. The volume file is read once per call.
void setupLayer(PlayerState& p, GLSLRaycaster*& caster,
                Classification::PreintTransferFunction1D*& transfer, const char* tfnPath);

// Ray-casts layer p.nextLayer under the current projection and advances p.nextLayer.
// Leaves the modelview matrix selected.
void renderNextLayer(PlayerState& p);

// True when the organ's translation is nearer the camera of the last render than the
// body's (a tie is not nearer).
bool organIsNearer(const PlayerState& p);

// Binds the mixing program, the three layer images and the uniforms.
void setupMixPass(PlayerState& p);

// Draws the mixed picture over the current viewport and unbinds the program.
void drawMixQuad();

// The level's visible sub-volume of the organ layer (its caster's clip box).
void setOrganBox(PlayerState& p, const double boxMin[3], const double boxMax[3]);
