// A current GL context for programs without a display of their own (GL tests,
// benchmarks): a private Xvfb, or the display named by QUILLET_TEST_DISPLAY, one GLUT
// window on it and GLEW initialised.
#pragma once

#include "tools/session/XvfbServer.h"

#include <memory>

namespace session {

class PrivateGLWindow {
public:
    PrivateGLWindow(int& argc, char** argv, int width, int height, const char* title);
    // Closes the display connection while the server still runs: a connection left open
    // to a server that has gone makes Xlib end the process with status 1.
    ~PrivateGLWindow();
    PrivateGLWindow(const PrivateGLWindow&) = delete;
    PrivateGLWindow& operator=(const PrivateGLWindow&) = delete;

    bool ready() const { return ready_; } // false: the reason went to standard error

private:
    std::unique_ptr<XvfbServer> xvfb_;
    int window_ = 0;  // GLUT window id; 0 = none
    bool ready_ = false;
};

} // namespace session
