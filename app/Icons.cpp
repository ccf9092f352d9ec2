#include "app/Icons.h"

#include <GL/glew.h>

void loadIcons(AppState& state)
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    state.rotateToolTexture = -1;
    state.moveToolTexture = -1;
}
