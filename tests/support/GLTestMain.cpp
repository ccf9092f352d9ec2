// main() of every GL test program: a private Xvfb, one GLUT window with a real Mesa
// context made current, then the tests. QUILLET_TEST_DISPLAY uses an existing display.
#include "tools/session/PrivateGLWindow.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    session::PrivateGLWindow window(argc, argv, 832, 642, "quillet GL test");
    return window.ready() ? RUN_ALL_TESTS() : 1;
}
