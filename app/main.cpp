// Entry point: checks the volume files, opens the window and runs the GLUT loop.
#include "app/AppState.h"
#include "app/Controls.h"
#include "app/FrameLoop.h"
#include "app/GameConfig.h"
#include "app/Levels.h"
#include "app/TableReceiver.h"

#include <GL/glut.h>
#include <GL/glx.h>
#include <X11/XKBlib.h>

#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    {
        std::ifstream header(game::kVolumeHeader);
        std::ifstream data(game::kVolumeData);
        if (!header || !data) {
            std::cout << "taa.mhd or taa.raw is missing!" << std::endl;
            std::cout << "Enter anything to exit" << std::endl;
            char answer;
            std::cin >> answer; // skips white space: a bare Enter does not end the wait
            return -1;
        }
    }

    tableReceiver.moveHandler = onTableMove;
    tableReceiver.newPointHandler = onTablePoint;

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    glutInitWindowSize(int(appState.windowWidth), int(appState.windowHeight));
    glutInitWindowPosition(game::kWindowX, game::kWindowY);
    glutCreateWindow(game::kWindowTitle);
    // A held key then repeats as presses alone, without the release the server puts
    // before each repeat otherwise: the controls tell a repeat from a new press by it.
    XkbSetDetectableAutoRepeat(glXGetCurrentDisplay(), True, nullptr);

    glutDisplayFunc(onDisplay);
    glutReshapeFunc(onReshape);
    glutKeyboardFunc(onKeyboard);
    glutKeyboardUpFunc(onKeyboardUp);
    glutSpecialFunc(onSpecial);
    glutSpecialUpFunc(onSpecialUp);
    glutMouseFunc(onMouse);
    glutMotionFunc(onMotion);
    glutPassiveMotionFunc(onPassiveMotion);
    glutIdleFunc(onIdle);

    initGL();

    for (PlayerState& p : appState.players)
        startLevel(p, 0, unsigned(glutGet(GLUT_ELAPSED_TIME)));

    appState.rightMessage = game::kStartMessage;
    appState.leftMessage = game::kStartMessage;
    appState.leftMessageTime = game::kMessageMs;
    appState.rightMessageTime = game::kMessageMs;
    appState.lastOverlayTime = unsigned(glutGet(GLUT_ELAPSED_TIME));

    glutMainLoop();
    return 0;
}
