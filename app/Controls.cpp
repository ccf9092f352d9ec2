#include "app/Controls.h"

#include "app/AppState.h"

#include <cstdlib>

namespace {
constexpr unsigned char kEscape = 27;
}

void onKeyboard(unsigned char key, int, int)
{
    if (key == kEscape)
        std::exit(0);
}

void onKeyboardUp(unsigned char, int, int) {}
void onSpecial(int, int, int) {}
void onSpecialUp(int, int, int) {}

void onMouse(int, int, int x, int y)
{
    appState.lastMouseX = x;
    appState.lastMouseY = y;
}

void onMotion(int x, int y)
{
    appState.lastMouseX = x;
    appState.lastMouseY = y;
}

void onPassiveMotion(int x, int y)
{
    appState.lastMouseX = x;
    appState.lastMouseY = y;
}
