// What "h" must print: two empty lines, the manual in its frame, two empty lines. Each line
// of the frame is six spaces, "*", two spaces and the text padded to 53 characters, "*".
#pragma once

#include <string>

namespace testsupport {

inline const std::string kManualText = [] {
    const char* const lines[] = {
        "How to play this game:", "Your target is to move the organ to the right",
        "position in the body. Therefore, you can use", "the keyboard for moving the body or organ around",
        "and the mouse to look into the body. The player,", "who has the greater score in the end, wins.",
        "The score is calculated by elapsed time, position", "and rotation of the organ!", "", "keys:", "",
        "ESC   :  Quit", "h     :  Display Keys", "1     :  Start new game", "SHIFT + B: Enable table (experimental)",
        "", "Left player:", "q, e: Move on axis x", "a, d: Move on axis y", "w, s: Move on axis z",
        "r, t: Rotate around axis x", "f, g: Rotate around axis y", "x: Accept position",
        "c: Switch between movement (body or organ)", "", "Right player:", "u, o: Move on axis x",
        "j, l: Move on axis y", "i, k: Move on axis z", "p, z: Rotate around axis x", "8, 9: Rotate around axis y",
        "n: Accept position", "m: Switch between movement (body or organ)", "", "mouse:",
        "Move camera by mouse click", "Look into the body by moving"};
    const std::string border = "      " + std::string(57, '*') + "\n";
    std::string text = "\n\n" + border;
    for (const char* line : lines)
        text += "      *  " + (line + std::string(53, ' ')).substr(0, 53) + "*\n";
    return text + border + "\n\n";
}();
inline const char* const kExpectedManual = kManualText.c_str();

} // namespace testsupport
