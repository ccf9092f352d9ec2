#include "app/Scene.h"

#include "app/FrameClock.h"

#include <GL/glew.h>

// The layers are not cast yet: each half keeps the clear colour.
void setupPlayer(PlayerState& p)
{
    p.moveBody = false;
}

void renderNextLayer(PlayerState& p)
{
    glMatrixMode(GL_MODELVIEW);
    advanceLayer(p);
}

void setupMixPass(PlayerState&) {}

void drawMixQuad()
{
    glMatrixMode(GL_MODELVIEW);
}
