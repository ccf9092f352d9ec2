#include "app/FrameLoop.h"

#include "app/AppState.h"
#include "app/FrameClock.h"
#include "app/Icons.h"
#include "app/Overlay.h"
#include "app/Scene.h"
#include "app/TableReceiver.h"

#include <GL/glu.h>
#include <GL/glut.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>

namespace {

unsigned elapsedMs() { return unsigned(glutGet(GLUT_ELAPSED_TIME)); }

// Holds the frame to at least kMinFrameMs. It sleeps rather than spins: the renderer
// runs on the same processor on machines without a GPU, and needs that time.
void waitForFrameFloor(unsigned frameStart)
{
    for (;;) {
        unsigned spent = elapsedMs() - frameStart;
        if (spent >= game::kMinFrameMs)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(game::kMinFrameMs - spent));
    }
}

} // namespace

void initGL()
{
    glewInit();
    const char* required[] = {"GL_ARB_fragment_shader", "GL_ARB_vertex_shader",
                              "GL_ARB_shader_objects", "GL_ARB_shading_language_100"};
    for (const char* extension : required) {
        if (!glewGetExtension(extension)) {
            std::cerr << "Driver does not support OpenGL Shading Language\n";
            std::exit(1);
        }
    }
    glClearColor(0, 0, 0, 0);
    glShadeModel(GL_SMOOTH);

    loadIcons(appState);

    for (PlayerState& p : appState.players) {
        p.viewWidth = appState.windowWidth / 2;
        p.viewHeight = appState.windowHeight;
    }
    setupPlayer(appState.players[0]);
    setupPlayer(appState.players[1]);

    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
}

void onDisplay()
{
    AppState& a = appState;
    a.frameCounter += 1;
    a.frameStartTime = elapsedMs();
    if (a.frameCounter % game::kFpsFrames == 0) {
        a.fps = framesPerSecond(a.frameStartTime, a.lastFpsTime);
        a.lastFpsTime = a.frameStartTime;
    }

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glPushMatrix();
    gluPerspective(game::kFieldOfView, double(a.windowWidth / 2) / double(a.windowHeight),
                   game::kNearPlane, game::kFarPlane);

    renderNextLayer(takeNextPlayer(a));

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();

    unsigned half = a.windowWidth / 2;
    setupMixPass(a.players[0]);
    glViewport(0, 0, GLsizei(half), GLsizei(a.windowHeight));
    drawMixQuad();
    setupMixPass(a.players[1]);
    glViewport(GLint(half), 0, GLsizei(half), GLsizei(a.windowHeight));
    drawMixQuad();

    glViewport(0, 0, GLsizei(a.windowWidth), GLsizei(a.windowHeight));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();

    drawOverlay();

    std::ostringstream fpsText;
    fpsText << a.fps << " fps. ";
    drawText(fpsText.str().c_str(), 5, 8);

    glutSwapBuffers();
    waitForFrameFloor(a.frameStartTime);
    glutPostRedisplay();
}

void onReshape(int width, int height)
{
    appState.windowWidth = unsigned(width);
    appState.windowHeight = unsigned(height);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(-1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glutPostRedisplay();
}

void onIdle()
{
    static unsigned framesAtLastIdle = 0;
    static unsigned lastIdle = 0;
    unsigned wait = idleWaitMs(appState.frameCounter, framesAtLastIdle, elapsedMs(), lastIdle);
    if (wait > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    framesAtLastIdle = appState.frameCounter;
    lastIdle = elapsedMs();
    if (appState.tableMode)
        pollTable();
}
