// Keyboard and mouse of both players (GLUT callbacks), and the camera-drag of the table.
#pragma once

#include "app/AppState.h"

void onKeyboard(unsigned char key, int x, int y);
void onKeyboardUp(unsigned char key, int x, int y);
void onSpecial(int key, int x, int y);
void onSpecialUp(int key, int x, int y);
void onMouse(int button, int state, int x, int y);
// Pointer moved with a button held: turns the camera of the half under the pointer.
void onMotion(int x, int y);
// Pointer moved without a button: moves the mixing cursor of the half under it.
void onPassiveMotion(int x, int y);

// Camera turn of a drag from the anchor (lastX, lastY) to (x, y): 0.001 radian per
// pixel, pitch held within [-1.5, 1.5], yaw jumping to the other end outside [0, 6.28].
void dragCamera(PlayerState& p, int x, int y, int lastX, int lastY);
