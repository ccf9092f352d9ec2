// main() of every GL test program: a private Xvfb, one GLUT window with a real Mesa
// context made current, then the tests. QUILLET_TEST_DISPLAY uses an existing display.
#include "tools/session/XvfbServer.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    std::unique_ptr<session::XvfbServer> xvfb;
    if (const char* display = std::getenv("QUILLET_TEST_DISPLAY")) {
        setenv("DISPLAY", display, 1);
    } else {
        xvfb = std::make_unique<session::XvfbServer>();
        if (!xvfb->running()) {
            std::fprintf(stderr, "GL tests: could not start Xvfb\n");
            return 1;
        }
        setenv("DISPLAY", xvfb->display().c_str(), 1);
    }

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL | GLUT_RGBA);
    glutInitWindowSize(832, 642);
    glutInitWindowPosition(50, 50);
    int window = glutCreateWindow("quillet GL test");
    if (glewInit() != GLEW_OK) {
        std::fprintf(stderr, "GL tests: glewInit failed\n");
        return 1;
    }
    int result = RUN_ALL_TESTS();
    glutDestroyWindow(window);
    // Close the display connection while the server still runs: a connection left
    // open to a server that has gone makes Xlib exit the program with status 1.
    glutExit();
    return result;
}
