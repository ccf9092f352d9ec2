// Keys, drags and the passive cursor of both players.
#include "app/Controls.h"
#include "app/TableReceiver.h"
#include "tests/app/GameRules.h"

#include <GL/glut.h>

#include <string>
#include <vector>

using Controls = rules::GameRules;

namespace {

// Key events as the server sends them with detectable repeat: "x" a press (a held key's
// repeats are further presses), "/x" a release, "!" a special key's press.
void events(const char* script)
{
    for (const char* c = script; *c; ++c)
        if (*c == '!')
            onSpecial(GLUT_KEY_F1, 0, 0);
        else if (*c == '/')
            onKeyboardUp(static_cast<unsigned char>(*++c), 0, 0);
        else
            onKeyboard(static_cast<unsigned char>(*c), 0, 0);
}

// Organ and body poses of player 1, then of player 2.
std::vector<float> poses()
{
    std::vector<float> all;
    for (const PlayerState& p : appState.players)
        for (const Pose& q : {p.organPose, p.bodyPose})
            all.insert(all.end(), {q.x, q.y, q.z, q.angleZ, q.angleX});
    return all;
}

void press(const std::string& keys) // each pressed and released
{
    for (unsigned char c : keys)
        onKeyboard(c, 0, 0), onKeyboardUp(c, 0, 0);
}

} // namespace

TEST_F(Controls, EachMovementKeyStepsOneFieldOfItsPlayersOrganOrInBodyModeItsBody)
{
    // Slot k of a block changes field k / 2, up for even k: 0.01 per move, 0.15 degree per turn.
    const std::string keys = "qeadwsrtfguojlikzp89";
    for (int key = 0; key < 20; ++key) {
        for (PlayerState& p : appState.players)
            p.organPose = p.bodyPose = Pose{1, 1, 1, 1, 1};
        press(keys.substr(size_t(key), 1));
        std::vector<float> expected(20, 1.0f);
        const double step = key % 10 < 6 ? double(0.01f) : double(0.15f);
        expected[size_t(key / 10 * 10 + key % 10 / 2)] = float(1.0 + (key % 2 ? -step : step));
        EXPECT_EQ(poses(), expected) << keys[size_t(key)];
    }
    std::vector<float> expected = poses();
    press("cwmicw"); // "c" and "m" switch to the body, a second "c" back
    expected[2] = expected[7] = expected[17] = float(1.0 + double(0.01f));
    EXPECT_TRUE(poses() == expected && !player(1).moveBody && player(2).moveBody);
    press("WQEXNCMbv0#"); // case matters, and keys without an entry do nothing
    EXPECT_TRUE(poses() == expected && player(1).level + player(2).level == 0 && player(2).moveBody && !appState.tableMode);
}

TEST_F(Controls, HeldAcceptKeyAcceptsOnceWhileAHeldMovementKeyRepeats)
{
    struct Case { const char* events; int level1, level2; float organY1; };
    const Case cases[] = {{"xxx/x", 1, 0, 0.7f}, {"x/xx/x", 2, 0, 0.7f}, {"ddd/d", 0, 0, 0.67f}, // held, twice, moving
                          {"x/Xx/x", 2, 0, 0.7f},     // released with shift held
                          {"x!x/x", 2, 0, 0.7f},      // another key pressed in between
                          {"an/ann/n", 0, 1, 0.71f}}; // the other player's release ends no hold
    for (const Case& c : cases) {
        SetUp();
        events(c.events);
        EXPECT_TRUE(player(1).level == c.level1 && player(2).level == c.level2) << c.events;
        EXPECT_NEAR(player(1).organPose.y, c.organY1, 1e-6f) << c.events;
    }
}

TEST_F(Controls, KeyOneStartsANewGameOnlyOnceItIsOverAndEscapeEndsTheGame)
{
    press("x1");
    EXPECT_EQ(player(1).level, 1) << "no new game while the game runs";
    appState.gameOver = true, appState.leftMessage = "result", player(1).pitch = 0.4f, rules::fakeNow = 77777;
    press("1");
    EXPECT_FALSE(appState.gameOver);
    for (PlayerState& p : appState.players)
        EXPECT_TRUE(p.level == 0 && p.total == 0 && p.levelStartTime == 77777u && p.organPose.y == 0.7f);
    EXPECT_TRUE(player(1).pitch == 0.4f && appState.leftMessage == "result") << "cameras and messages stay";

    EXPECT_EXIT(onKeyboard(27, 0, 0), ::testing::ExitedWithCode(0), "");
    appState.tableMode = true, press("B");
    EXPECT_EQ(tableReceiver.socket, -1) << "no second socket while the table is on";
}

TEST_F(Controls, DragTurnsTheCameraAndThePointerMovesTheCursorOfTheHalfUnderIt)
{
    struct Step { int pressX, pressY, x, y; float cameras[4]; }; // pitch and yaw of player 1, then of player 2
    const Step steps[] = {
        {600, 300, 610, 290, {0, 0, -0.01f, 0.01f}},             // right half from x = 416
        {420, 2100, 410, 100, {-1.5f, 6.28f, -0.01f, 0.01f}},    // the new position decides; yaw -0.01 jumps
        {100, 100, 100, 5000, {1.5f, 6.28f, -0.01f, 0.01f}},     // pitch stops at +-1.5; 6.28 itself stays
        {100, 100, 101, 100, {1.5f, 0.0f, -0.01f, 0.01f}},       // past 6.28: 0, not a remainder
    };
    for (const Step& s : steps) {
        onMouse(0, 0, s.pressX, s.pressY);
        onMotion(s.x, s.y);
        const float cameras[4] = {player(1).pitch, player(1).yaw, player(2).pitch, player(2).yaw};
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(cameras[i], s.cameras[i], 1e-6f) << s.y;
        EXPECT_TRUE(appState.lastMouseX == s.x && appState.lastMouseY == s.y);
    }

    onPassiveMotion(100, 42); // y counted from the bottom of 642, the other cursor parked outside
    EXPECT_TRUE(player(1).cursorX == 100 && player(1).cursorY == 600 && player(2).cursorX == -100);
    onPassiveMotion(416, 0);
    EXPECT_TRUE(player(2).cursorX == 416 && player(2).cursorY == 642 && player(1).cursorY == -100);
    EXPECT_EQ(AppState{}.windowWidth, 832u) << "the window's start width";
}
