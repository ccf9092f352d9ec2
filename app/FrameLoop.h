// The GLUT side of the game: GL initialisation, the frame, reshape and idle callbacks.
#pragma once

#include <GL/glew.h>

// GLEW, the shader extensions (missing: message and exit 1), clear colour, icons and
// both players' scenes.
void initGL();

void onDisplay();
void onReshape(int width, int height);
void onIdle();
