// The sender's datagrams must read back as the game reads them.
#include "app/TableReceiver.h"
#include "tools/TableMessages.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {
std::vector<std::vector<int>> seen;
void record(int u, int v, int id, int a) { seen.push_back({u, v, id, a}); }
} // namespace

TEST(TableSender, MessagesParseAsFramesNewPointsAndMoves)
{
    seen.clear();
    TableReceiver r;
    r.newPointHandler = record;
    r.moveHandler = record;
    auto deliver = [&](const std::string& text) { handleTableDatagram(r, text.data(), text.size()); };

    const int steps = 5;
    for (int step = 0; step < steps; ++step) {
        deliver(table::frameMessage(10 + step));
        std::vector<table::TrackedPoint> points;
        for (int k = 0; k < 2; ++k)
            points.push_back(table::pointOnPath(100.5f, 200, 500.5f, 100, step, steps, k, 3));
        deliver(table::pointMessage(points));
    }
    EXPECT_EQ(r.currentFrame, 14);
    // Two new points, then four moves of each (100 px right, 25 px up per step).
    ASSERT_EQ(seen.size(), 2u + 2u * 4u);
    EXPECT_EQ(seen[0], (std::vector<int>{100, 200, 3, 0}));
    EXPECT_EQ(seen[1], (std::vector<int>{100, 240, 4, 0}));
    EXPECT_EQ(seen[2], (std::vector<int>{100, -25, 3, 0}));
    EXPECT_EQ(seen[3], (std::vector<int>{100, -25, 4, 0}));
    EXPECT_EQ(r.points[0].x, 500);
    EXPECT_EQ(r.points[0].y, 100);
    EXPECT_EQ(r.points[1].y, 140);
    EXPECT_EQ(r.points[1].lastFrame, 14);
}

TEST(TableSender, RefusesOptionsItCannotHonour)
{
    // Each fails before anything is sent; a silently accepted one would send something
    // other than what was asked for.
    for (const char* options : {"--from 1,2,3", "--from 1", "--to 4,5x", "--steps 0", "--steps 3.5", "--points 65",
                                "--id 0", "--first-frame 0", "--interval -1", "--flood 0", "--flood 601",
                                "--steps", "--colour red"}) {
        int status = std::system((std::string(QUILLET_TABLE_SENDER_EXE) + " " + options + " 2>/dev/null").c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << options;
    }
}
