#include "app/Overlay.h"

#include "app/AppState.h"
#include "app/FrameClock.h"

#include <GL/glew.h>
#include <GL/glut.h>

namespace {

constexpr int kLineSpacing = 15;               // pixels between base lines
constexpr int kMessageX = 50, kMessageY = 50;  // first base line, from the half's corner
constexpr float kMessageColour[3] = {1.0f, 0.5f, 0.5f};

void drawMessage(const std::string& text, int x, int y, int& remaining, unsigned elapsed)
{
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor3f(kMessageColour[0], kMessageColour[1], kMessageColour[2]);
    drawText(text.c_str(), x, y);
    // Re-enabled whatever they were before; lighting then stays on for the frame-rate
    // text, which therefore takes the lit raster colour.
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    remaining = countDownMessage(remaining, elapsed);
}

} // namespace

void drawText(const char* text, int x, int y)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, appState.windowWidth, 0, appState.windowHeight, -10, 10);
    glRasterPos2f(float(x), float(y));
    int offset = 0;
    for (const char* c = text; *c; ++c) {
        if (*c == '\n') {
            offset += kLineSpacing;
            glRasterPos2f(float(x), float(y - offset));
        } else {
            glutBitmapCharacter(GLUT_BITMAP_HELVETICA_12, *c);
        }
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void drawOverlay()
{
    AppState& a = appState;
    unsigned elapsed = unsigned(glutGet(GLUT_ELAPSED_TIME)) - a.lastOverlayTime;
    if (a.leftMessageTime > 0)
        drawMessage(a.leftMessage, kMessageX, kMessageY, a.leftMessageTime, elapsed);
    if (a.rightMessageTime > 0)
        drawMessage(a.rightMessage, int(a.windowWidth / 2) + kMessageX, kMessageY,
                    a.rightMessageTime, elapsed);
    a.lastOverlayTime = unsigned(glutGet(GLUT_ELAPSED_TIME));
}
