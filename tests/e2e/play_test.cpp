// The real game played through in one session: the window, the start-up log and
// overlay, where the pictures lie, what the pointer, drags and keys do to each half,
// the manual, the level results, a new game, a resize and Escape.
#include "tests/e2e/GameTest.h"
#include "tests/support/ManualText.h"

#include <regex>

using namespace session;
using namespace e2e;

namespace {

// Per player three layers (each: the caster's built-in programs, the ray-casting program,
// the volume load and upload, the histogram), then the mixing program. Player 1 first.
void expectStartupLog(const std::string& out)
{
    const char* layer[] = {"Cube VS\n", "Near Plane VS\n", "Ray Direction VS\n", "Cube FS\n", "Near Plane FS\n",
                           "Ray Direction FS\n", "Near Plane Prog. Link Info: \n", "Bounding Geometry Prog. Link Info: \n",
                           "Ray Direction Prog. Link Info: \n", "Vertex Shader Compile Info Log -- \n",
                           "Fragment Shader Compile Info Log -- \n", "./\n", "MHD Loader >> Loading file ./taa.raw\n",
                           "SHORT Volume\n", "Set general volume parameters in shader!\n", "computing histogram...", "100%\n"};
    std::vector<std::string> expected;
    for (int item = 0; item < 2 * (3 * 17 + 1); ++item)  // the mixing program compiles and links without a word
        expected.push_back(item % 52 == 51 ? "Mix Picture VS\n\nMix Picture FS\n\nMix Picture Prog. Link Info: \n\n" : layer[item % 52 % 17]);
    size_t at = 0;
    for (const std::string& item : expected) {
        size_t found = out.find(item, at);
        ASSERT_NE(found, std::string::npos) << "\"" << item << "\" missing after " << at << ":\n" << out;
        at = found + item.size();
    }
    EXPECT_EQ(countOccurrences(out, "MHD Loader >> Loading file ./taa.raw\n"), 6);
}

// Every acceptance's level, points and running total, and the winner at the end.
void expectResults(const std::string& out)
{
    std::regex result("\nPlayer ([12]) completed level ([0-9]+)\nPoints: ([0-9]+)\nTotal: ([0-9]+)\n");
    int totals[2] = {0, 0}, expectedLevel[2] = {1, 1}, results = 0;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), result); it != std::sregex_iterator(); ++it, ++results) {
        int player = std::stoi((*it)[1]) - 1, points = std::stoi((*it)[3]);
        EXPECT_EQ(std::stoi((*it)[2]), expectedLevel[player]++);
        EXPECT_TRUE(points >= 5 && points <= 1997) << points;
        EXPECT_EQ(std::stoi((*it)[4]), totals[player] += points);
    }
    EXPECT_EQ(results, 14);
    const char* winner = totals[0] > totals[1] ? "Player 1 wins!" : totals[0] < totals[1] ? "Player 2 wins!" : "Draw!";
    std::string tail = "Total: " + std::to_string(totals[1]) + "\n\n" + winner + "\n\nPress 1 to start a new game!\n";
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), tail.size())), tail) << out;
    EXPECT_EQ(countOccurrences(out, winner), 1);
}

} // namespace

TEST(Game, WindowOverlayPicturesKeysManualResultsNewGameResizeAndEscape)
{
    GameSession game(gameOptions());
    Image shot;
    ASSERT_TRUE(startAndWaitForFirstFrame(game, &shot));
    int x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(game.windowGeometry(x, y, w, h));
    EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({50, 50, 832, 642}));
    ASSERT_EQ(shot.width, 832);
    expectStartupLog(game.standardOutput());
    const std::string startErrors = game.standardError();

    // The start message in both halves, a single line whose base line starts at (50, 50)
    // from the half's lower-left corner; the frame rate in grey from (5, 8).
    EXPECT_GT(countPixels(shot, Box{40, 370, 582, 596}, messageColour), 100);
    EXPECT_GT(countPixels(shot, Box{456, 786, 582, 596}, messageColour), 100);
    EXPECT_EQ(countPixels(shot, Box{0, 832, 480, 580}, messageColour), 0);
    int left = columns(shot, Box{0, 416, 572, 602}, messageColour).first;
    int right = columns(shot, Box{416, 832, 572, 602}, messageColour).first;
    EXPECT_TRUE(left >= 50 && left <= 52 && right >= 466 && right <= 468) << left << ", " << right;
    int fpsLeft = columns(shot, Box{0, 80, 622, 636}, [](Rgb c) { return c.r > 0 && c.r == c.g && c.g == c.b; }).first;
    EXPECT_TRUE(fpsLeft >= 5 && fpsLeft <= 7) << fpsLeft;
    EXPECT_TRUE(waitUntil([&] { return countPixels(game.windowShot(), Box{0, 832, 442, 642}, messageColour) == 0; }, 60))
        << "the start message runs out after 3 s";

    // Both players see the same start: each half holds the same picture (to within the
    // rounding of where its texels are sampled), and the body seen from the side nearly
    // fills its half's width, centred in it.
    game.mouseMove(600, 600); // below the body: the lens opens on empty space
    Image start = settledPicture(game);
    ASSERT_FALSE(start.empty());
    int asymmetric = 0;
    for (int py = 0; py < 642 - kFpsRows; ++py)
        for (int px = 0; px < 416; ++px) {
            Rgb a = start.at(px, py), b = start.at(px + 416, py);
            asymmetric += std::abs(a.r - b.r) > 2 || std::abs(a.g - b.g) > 2 || std::abs(a.b - b.b) > 2;
        }
    EXPECT_EQ(asymmetric, 0);
    auto [bodyLeft, bodyRight] = columns(start, bodyBand(kLeftHalf), [](Rgb c) { return c.r + c.g + c.b > 30; });
    EXPECT_TRUE(bodyLeft >= 6 && bodyLeft <= 36 && 415 - bodyRight >= 6 && 415 - bodyRight <= 36 &&
                std::abs(bodyLeft - (415 - bodyRight)) <= 12) << bodyLeft << ".." << bodyRight;

    // The pointer without a button opens the lens of its half: skin and bones fade
    // around it, nothing changes beyond it; the lens follows the pointer.
    game.mouseMove(200, 330);
    Image lens = settledPicture(game);
    EXPECT_GT(changedPixels(start, lens, Circle{200, 330, 40}), 500);
    EXPECT_EQ(changedPixels(start, lens, Circle{200, 330, 82, true}), 0);
    game.mouseMove(620, 330);
    Image moved = settledPicture(game);
    EXPECT_EQ(changedPixels(start, moved, kLeftHalf), 0);
    EXPECT_GT(changedPixels(start, moved, Circle{620, 330, 40}), 500);
    EXPECT_EQ(changedPixels(start, moved, Circle{620, 330, 82, true}), 0);

    // A drag in the right half turns player 2's camera only.
    game.mouseMove(600, 600);
    Image before = settledPicture(game);
    game.drag(600, 600, 680, 560);
    Image turned = settledPicture(game);
    EXPECT_GT(changedPixels(before, turned, bodyBand(kRightHalf)), 2000);
    EXPECT_EQ(changedPixels(before, turned, kLeftHalf), 0);

    // Player 1's keys lift the organ (up by 0.05, above the body) in the left half only;
    // after "c" the same keys lift the body and the organ stays put.
    game.keys("a a a a a");
    Image organMoved = settledPicture(game);
    EXPECT_GT(changedPixels(turned, organMoved, organBand(kLeftHalf)), 200);
    EXPECT_EQ(changedPixels(turned, organMoved, bodyBand(kLeftHalf)), 0);
    EXPECT_EQ(changedPixels(turned, organMoved, kRightHalf), 0);
    game.keys("c a a a a a");
    Image bodyMoved = settledPicture(game);
    EXPECT_GT(changedPixels(organMoved, bodyMoved, bodyBand(kLeftHalf)), 2000);
    EXPECT_EQ(changedPixels(organMoved, bodyMoved, organBand(kLeftHalf)), 0);
    EXPECT_EQ(changedPixels(turned, bodyMoved, kRightHalf), 0);

    // Player 2 brings the organ down into the body, 0.05 above its place: the body is
    // nearer the camera and lies over it. Moved 0.1 towards the camera, it lies over the body.
    std::string down, towards;
    for (int i = 0; i < 65; ++i)
        down += "l ";
    for (int i = 0; i < 10; ++i)
        towards += "u ";
    game.keys(down, 5);
    Image under = settledPicture(game);
    game.keys(towards, 5);
    Image over = settledPicture(game);
    const int redUnder = countPixels(under, bodyBand(kRightHalf), reddish);
    EXPECT_EQ(countPixels(start, bodyBand(kRightHalf), reddish), 0) << "the organ starts above the body";
    EXPECT_GT(redUnder, 1000) << "seen through the skin";
    EXPECT_GT(countPixels(over, bodyBand(kRightHalf), reddish), 2 * redUnder);

    // "h" prints the manual byte for byte, on every press, and a held "h" repeats it.
    const std::string manual = testsupport::kExpectedManual;
    size_t mark = game.standardOutput().size();
    game.keys("h h");
    ASSERT_TRUE(game.waitForOutput(manual + manual, 60, mark));
    EXPECT_EQ(game.standardOutput().substr(mark), manual + manual);
    mark = game.standardOutput().size();
    game.keyDown("h");
    sleepMs(1500);
    game.keyUp("h");
    EXPECT_TRUE(waitUntil([&] { return countOccurrences(game.standardOutput(), manual, mark) >= 3; }, 60))
        << "the server's key repeat reaches the game";

    // Fourteen accepts, the first a held "n" that accepts once: the level results, then
    // the winner in the console and in both halves (four lines, base lines 50, 35, 20, 5).
    mark = game.standardOutput().size();
    game.keyDown("n");
    sleepMs(1500);
    game.keyUp("n");
    game.key("h"); // handled after all of the held key's presses
    ASSERT_TRUE(game.waitForOutput("Player 2 completed level 1\n", 60, mark) && game.waitForOutput(manual, 60, mark));
    EXPECT_EQ(countOccurrences(game.standardOutput(), "Player 2 completed level", mark), 1);
    game.keys("x x x x x x x n n n n n n", 60);
    ASSERT_TRUE(game.waitForOutput("Press 1 to start a new game!\n", 60, mark));
    expectResults(game.standardOutput().substr(mark));
    auto line = [&](int half, int base) { return countPixels(shot, Box{half * 416 + 45, half * 416 + 345, 633 - base, 645 - base}, messageColour); };
    ASSERT_TRUE(waitUntil([&] { shot = game.windowShot(); return line(0, 5) > 20 && line(1, 5) > 20; }, 30)); // only the winner has 4 lines
    for (int half = 0; half < 2; ++half)
        for (int base : {50, 35, 20})
            EXPECT_GT(line(half, base), 20) << "half " << half << ", base line " << base;

    // "1" starts a new game: level 1 again, the total starting from nothing.
    mark = game.standardOutput().size();
    game.keys("1 n");
    ASSERT_TRUE(game.waitForOutput("Player 2 completed level 1\n", 60, mark));
    std::smatch m;
    std::string again = game.standardOutput().substr(mark);
    ASSERT_TRUE(std::regex_search(again, m, std::regex("Player 2 completed level 1\nPoints: ([0-9]+)\nTotal: ([0-9]+)\n"))) << again;
    EXPECT_EQ(m[1], m[2]) << "the first acceptance's total is its points";
    EXPECT_EQ(countOccurrences(again, "wins!"), 0);

    // Resized to 1000 x 500, the halves follow: player 2's messages start at x = 550.
    game.resize(1000, 500);
    game.keys("x n");
    waitUntil([&] {
        shot = game.windowShot();
        return shot.width == 1000 && countPixels(shot, Box{0, 500, 430, 460}, messageColour) > 0 && countPixels(shot, Box{500, 1000, 430, 460}, messageColour) > 0;
    }, 60);
    ASSERT_EQ(std::vector<int>({shot.width, shot.height}), std::vector<int>({1000, 500}));
    right = columns(shot, Box{500, 1000, 430, 460}, messageColour).first;
    left = columns(shot, Box{0, 500, 430, 460}, messageColour).first;
    EXPECT_TRUE(left >= 50 && left <= 52 && right >= 550 && right <= 552) << left << ", " << right;

    EXPECT_EQ(game.standardError(), startErrors);
    game.key("Escape");
    EXPECT_EQ(game.waitForExit(180), 0); // generous: the sanitizer build's leak check runs at exit
}
