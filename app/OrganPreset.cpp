#include "app/Levels.h"

// The organ's transfer function arrives with the scene; until then levels only move
// the organ.
void applyOrganPreset(PlayerState&, int) {}
