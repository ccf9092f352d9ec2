// Keys, drags and the passive cursor of both players.
#include "app/Controls.h"
#include "app/TableReceiver.h"
#include "tests/app/GameRules.h"

#include <GL/glut.h>

#include <sstream>
#include <string>
#include <vector>

using Controls = rules::GameRules;

namespace {

// Each key pressed and released.
void press(const std::string& keys)
{
    for (char c : keys) {
        onKeyboard(static_cast<unsigned char>(c), 0, 0);
        onKeyboardUp(static_cast<unsigned char>(c), 0, 0);
    }
}

bool samePose(const Pose& a, const Pose& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.angleZ == b.angleZ && a.angleX == b.angleX;
}

} // namespace

TEST_F(Controls, EachMovementKeyStepsItsOwnFieldAndModeKeysSwitchToTheBody)
{
    struct Case {
        char key;
        int player;
        float Pose::*field;
        float change;
    };
    const Case cases[] = {
        {'q', 1, &Pose::x, 0.01f},      {'e', 1, &Pose::x, -0.01f},   {'a', 1, &Pose::y, 0.01f},
        {'d', 1, &Pose::y, -0.01f},     {'w', 1, &Pose::z, 0.01f},    {'s', 1, &Pose::z, -0.01f},
        {'r', 1, &Pose::angleZ, 0.15f}, {'t', 1, &Pose::angleZ, -0.15f},
        {'f', 1, &Pose::angleX, 0.15f}, {'g', 1, &Pose::angleX, -0.15f},
        {'u', 2, &Pose::x, 0.01f},      {'o', 2, &Pose::x, -0.01f},   {'j', 2, &Pose::y, 0.01f},
        {'l', 2, &Pose::y, -0.01f},     {'i', 2, &Pose::z, 0.01f},    {'k', 2, &Pose::z, -0.01f},
        {'z', 2, &Pose::angleZ, 0.15f}, {'p', 2, &Pose::angleZ, -0.15f},
        {'8', 2, &Pose::angleX, 0.15f}, {'9', 2, &Pose::angleX, -0.15f},
    };
    const Pose ones{1, 1, 1, 1, 1};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("key ") + c.key);
        for (PlayerState& p : appState.players)
            p.organPose = ones;
        press(std::string(1, c.key));
        Pose expected = ones;
        expected.*c.field = float(1.0 + double(c.change));
        EXPECT_TRUE(samePose(player(c.player).organPose, expected));
        EXPECT_TRUE(samePose(player(3 - c.player).organPose, ones));
    }

    // "c" and "m" switch their player to the body, where the same keys then act; the
    // organ stays. A second "c" switches back.
    press("cwmi");
    EXPECT_TRUE(player(1).moveBody && player(2).moveBody);
    EXPECT_NEAR(player(1).bodyPose.z, 0.01f, 1e-7f);
    EXPECT_NEAR(player(2).bodyPose.z, 0.01f, 1e-7f);
    EXPECT_TRUE(samePose(player(1).organPose, ones));
    press("cw");
    EXPECT_FALSE(player(1).moveBody);
    EXPECT_NEAR(player(1).organPose.z, 1.01f, 1e-6f);

    // Case matters and unknown keys do nothing.
    Pose p1 = player(1).organPose, p2 = player(2).organPose, b2 = player(2).bodyPose;
    press("WQEXNCMbv0#");
    EXPECT_TRUE(samePose(player(1).organPose, p1));
    EXPECT_TRUE(samePose(player(2).organPose, p2));
    EXPECT_TRUE(samePose(player(2).bodyPose, b2));
    EXPECT_EQ(player(1).level + player(2).level, 0);
    EXPECT_FALSE(appState.tableMode);
}

TEST_F(Controls, AcceptKeysScoreTheirOwnPlayerAndKeyOneStartsANewGameOnlyOnceItIsOver)
{
    press("xxx");
    EXPECT_EQ(player(2).level, 0);
    int running = player(1).total;
    press("1");
    EXPECT_EQ(player(1).level, 3) << "no new game while the game runs";
    EXPECT_EQ(player(1).total, running);
    press("xxxxnnnnnnn");
    ASSERT_TRUE(appState.gameOver);

    // Totals, levels and bodies start over; the camera and the messages stay.
    const std::string result = appState.leftMessage;
    player(1).pitch = 0.4f;
    player(1).bodyPose.z = 0.3f;
    rules::organChanges.clear();
    rules::fakeNow = 77777;
    press("1");
    EXPECT_FALSE(appState.gameOver);
    for (PlayerState& p : appState.players) {
        EXPECT_EQ(p.level, 0);
        EXPECT_EQ(p.total, 0);
        EXPECT_EQ(p.levelStartTime, 77777u);
        EXPECT_EQ(p.organPose.y, 0.7f);
        EXPECT_EQ(p.bodyPose.z, 0.0f);
    }
    ASSERT_EQ(rules::organChanges.size(), 2u);
    EXPECT_EQ(rules::organChanges[0].preset, 0);
    EXPECT_EQ(rules::organChanges[0].boxMax[0], 0.591164);
    EXPECT_EQ(player(1).pitch, 0.4f);
    EXPECT_EQ(appState.leftMessage, result);

    press("x1");
    EXPECT_EQ(player(1).level, 1) << "the new game is running";
}

TEST_F(Controls, AHeldAcceptKeyAcceptsOnceWhileAHeldMovementKeyRepeats)
{
    // Key events as the server sends them with detectable repeat: "x" a press (a held
    // key's repeats are further presses), "/x" a release, "S" a special key's press.
    struct Case {
        const char* events;
        int level1, level2;
        float organY1;
    };
    const Case cases[] = {
        {"x x x /x", 1, 0, 0.7f},          // held: one accept
        {"x /x x /x", 2, 0, 0.7f},         // pressed twice
        {"x /X x", 2, 0, 0.7f},            // released with shift held
        {"x S x", 2, 0, 0.7f},             // another key pressed in between
        {"a n /a n n /n", 0, 1, 0.71f},    // the other player's release ends no hold
        {"d d d /d", 0, 0, 0.67f},         // movement repeats
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.events);
        SetUp();
        std::istringstream in(c.events);
        for (std::string e; in >> e;) {
            if (e == "S")
                onSpecial(GLUT_KEY_F1, 0, 0);
            else if (e[0] == '/')
                onKeyboardUp(static_cast<unsigned char>(e[1]), 0, 0);
            else
                onKeyboard(static_cast<unsigned char>(e[0]), 0, 0);
        }
        onKeyboardUp('n', 0, 0);
        onKeyboardUp('x', 0, 0);
        EXPECT_EQ(player(1).level, c.level1);
        EXPECT_EQ(player(2).level, c.level2);
        EXPECT_NEAR(player(1).organPose.y, c.organY1, 1e-6f);
    }
}

TEST_F(Controls, KeyBIsIgnoredWhileTheTableIsOn)
{
    appState.tableMode = true;
    press("B");
    EXPECT_EQ(tableReceiver.socket, -1) << "no second socket";
    EXPECT_TRUE(appState.tableMode);
}

TEST_F(Controls, DragTurnsTheCameraOfTheHalfUnderThePointer)
{
    // Right half from x = 416: a drag there turns player 2 only.
    onMouse(0, 0, 600, 300);
    onMotion(610, 290);
    EXPECT_FLOAT_EQ(player(2).yaw, 0.01f);
    EXPECT_FLOAT_EQ(player(2).pitch, -0.01f);
    EXPECT_EQ(player(1).yaw, 0.0f);
    EXPECT_EQ(appState.lastMouseX, 610);
    EXPECT_EQ(appState.lastMouseY, 290);

    onMouse(0, 1, 415, 300);
    onMotion(420, 300); // the pointer's new position decides: right half
    EXPECT_FLOAT_EQ(player(2).yaw, 0.015f);
    onMotion(415, 310);
    EXPECT_EQ(player(1).yaw, 6.28f) << "-0.005 jumps to the other end";
    EXPECT_FLOAT_EQ(player(1).pitch, 0.01f);

    // Dragging upward by 2000 pixels stops at -1.5; downward at +1.5.
    onMouse(0, 0, 100, 2100);
    onMotion(100, 100);
    EXPECT_EQ(player(1).pitch, -1.5f);
    onMotion(100, 5000);
    EXPECT_EQ(player(1).pitch, 1.5f);
    EXPECT_EQ(player(1).yaw, 6.28f) << "vertical motion keeps the yaw at the end value";

    // From 6.2795 a step of +0.001 passes 6.28: the yaw jumps to 0, not to a remainder.
    player(1).yaw = 6.2795f;
    onMouse(0, 0, 100, 100);
    onMotion(101, 100);
    EXPECT_EQ(player(1).yaw, 0.0f);
}

TEST_F(Controls, PassivePointerMovesOneCursorAndParksTheOther)
{
    auto cursors = [&] {
        return std::vector<float>{player(1).cursorX, player(1).cursorY, player(2).cursorX, player(2).cursorY};
    };
    onPassiveMotion(100, 42);
    EXPECT_EQ(cursors(), (std::vector<float>{100, 600, -100, -100})) << "y counted from the bottom of 642";
    onPassiveMotion(416, 0);
    EXPECT_EQ(cursors(), (std::vector<float>{-100, -100, 416, 642}));
    EXPECT_EQ(appState.lastMouseX, 416);

    // After a resize the halves and the flip follow the window.
    appState.windowWidth = 1000;
    appState.windowHeight = 500;
    onPassiveMotion(450, 100);
    EXPECT_EQ(cursors(), (std::vector<float>{450, 400, -100, -100}));
}
