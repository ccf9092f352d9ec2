// The sender's datagrams must read back as the game reads them.
#include "app/TableReceiver.h"
#include "tools/TableMessages.h"

#include <gtest/gtest.h>

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
