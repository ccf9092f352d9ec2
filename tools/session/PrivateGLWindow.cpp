#include "tools/session/PrivateGLWindow.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

namespace session {

PrivateGLWindow::PrivateGLWindow(int& argc, char** argv, int width, int height, const char* title)
{
    if (const char* display = std::getenv("QUILLET_TEST_DISPLAY")) {
        setenv("DISPLAY", display, 1);
    } else {
        xvfb_ = std::make_unique<XvfbServer>();
        if (!xvfb_->running()) {
            std::fprintf(stderr, "%s: could not start Xvfb\n", title);
            return;
        }
        setenv("DISPLAY", xvfb_->display().c_str(), 1);
    }
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL | GLUT_RGBA);
    glutInitWindowSize(width, height);
    glutInitWindowPosition(50, 50);
    window_ = glutCreateWindow(title);
    if (glewInit() != GLEW_OK) {
        std::fprintf(stderr, "%s: glewInit failed\n", title);
        return;
    }
    ready_ = true;
}

PrivateGLWindow::~PrivateGLWindow()
{
    if (window_ != 0) {
        glutDestroyWindow(window_);
        glutExit();
    }
}

} // namespace session
