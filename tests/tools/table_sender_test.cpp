// The sender's datagrams read back as the game reads them; options it cannot honour are
// refused before anything is sent.
#include "app/TableReceiver.h"
#include "tools/TableMessages.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

TEST(TableSender, MessagesParseAsFramesNewPointsAndMoves)
{
    static std::vector<std::vector<int>> seen;
    TableReceiver r;
    r.newPointHandler = r.moveHandler = [](int u, int v, int id, int a) { seen.push_back({u, v, id, a}); };
    for (int step = 0; step < 5; ++step) {
        const std::vector<table::TrackedPoint> points = {table::pointOnPath(100.5f, 200, 500.5f, 100, step, 5, 0, 3),
                                                         table::pointOnPath(100.5f, 200, 500.5f, 100, step, 5, 1, 3)};
        for (const std::string& text : {table::frameMessage(10 + step), table::pointMessage(points)})
            handleTableDatagram(r, text.data(), text.size());
    }
    // Two new points, the second 40 pixels lower; then 100 right and 25 up per step.
    std::vector<std::vector<int>> expected = {{100, 200, 3, 0}, {100, 240, 4, 0}};
    for (int step = 1; step < 5; ++step)
        expected.insert(expected.end(), {{100, -25, 3, 0}, {100, -25, 4, 0}});
    EXPECT_EQ(seen, expected);
    const std::vector<int> last = {r.currentFrame, r.points[0].x, r.points[0].y, r.points[1].y, r.points[1].lastFrame};
    EXPECT_EQ(last, (std::vector<int>{14, 500, 100, 140, 14}));
}

TEST(TableSender, RefusesOptionsItCannotHonour)
{
    // A sender that took one would send, or flood: a network of its own if allowed, 5 s.
    const std::string jail = std::system("unshare -n true 2>/dev/null") == 0 ? "timeout 5 unshare -n " : "timeout 5 ";
    for (const char* options : {"--from 1,2,3", "--from 1", "--to 4,5x", "--steps 0", "--steps 3.5", "--points 0",
                                "--points 65", "--id 0", "--first-frame 0", "--first-frame 1000000001",
                                "--interval -1", "--interval 60001", "--flood 0", "--flood 601", "--steps",
                                "--colour red"}) {
        int status = std::system((jail + QUILLET_TABLE_SENDER_EXE + " " + options + " 2>/dev/null").c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << options;
    }
}
