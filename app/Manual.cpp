#include "app/Manual.h"

#include <iostream>

namespace {

// Printed unchanged, including how it names the rotation axes.
const char* const kManual[] = {
    "      *********************************************************",
    "      *  How to play this game:                               *",
    "      *  Your target is to move the organ to the right        *",
    "      *  position in the body. Therefore, you can use         *",
    "      *  the keyboard for moving the body or organ around     *",
    "      *  and the mouse to look into the body. The player,     *",
    "      *  who has the greater score in the end, wins.          *",
    "      *  The score is calculated by elapsed time, position    *",
    "      *  and rotation of the organ!                           *",
    "      *                                                       *",
    "      *  keys:                                                *",
    "      *                                                       *",
    "      *  ESC   :  Quit                                        *",
    "      *  h     :  Display Keys                                *",
    "      *  1     :  Start new game                              *",
    "      *  SHIFT + B: Enable table (experimental)               *",
    "      *                                                       *",
    "      *  Left player:                                         *",
    "      *  q, e: Move on axis x                                 *",
    "      *  a, d: Move on axis y                                 *",
    "      *  w, s: Move on axis z                                 *",
    "      *  r, t: Rotate around axis x                           *",
    "      *  f, g: Rotate around axis y                           *",
    "      *  x: Accept position                                   *",
    "      *  c: Switch between movement (body or organ)           *",
    "      *                                                       *",
    "      *  Right player:                                        *",
    "      *  u, o: Move on axis x                                 *",
    "      *  j, l: Move on axis y                                 *",
    "      *  i, k: Move on axis z                                 *",
    "      *  p, z: Rotate around axis x                           *",
    "      *  8, 9: Rotate around axis y                           *",
    "      *  n: Accept position                                   *",
    "      *  m: Switch between movement (body or organ)           *",
    "      *                                                       *",
    "      *  mouse:                                               *",
    "      *  Move camera by mouse click                           *",
    "      *  Look into the body by moving                         *",
    "      *********************************************************",
};

} // namespace

void printManual()
{
    // Flushed line by line: the players read it while the game window has the focus.
    std::cout << std::endl << std::endl;
    for (const char* line : kManual)
        std::cout << line << std::endl;
    std::cout << std::endl << std::endl;
}
