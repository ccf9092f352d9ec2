// The table's datagrams: frame numbers, the point table, expiry and the parser's bounds.
#include "app/TableReceiver.h"
#include "tests/app/GameRules.h"

#include <string>
#include <vector>

namespace {

struct Call {
    char kind; // 'n' new point, 'm' move
    int u, v, id, a;
    bool operator==(const Call& o) const { return kind == o.kind && u == o.u && v == o.v && id == o.id && a == o.a; }
};
using Calls = std::vector<Call>;
Calls calls;

void onNew(int x, int y, int id, int a) { calls.push_back({'n', x, y, id, a}); }
void onMove(int dx, int dy, int id, int a) { calls.push_back({'m', dx, dy, id, a}); }

class TableDatagrams : public ::testing::Test {
protected:
    void SetUp() override
    {
        calls.clear();
        r.newPointHandler = onNew;
        r.moveHandler = onMove;
    }
    void send(const std::string& text) { handleTableDatagram(r, text.data(), text.size()); }
    // The entry of point `id` as (x, y, lastFrame, index), or empty.
    std::vector<int> entry(int id) const
    {
        for (int i = 0; i < kTablePointCount; ++i)
            if (r.points[i].id == id)
                return {r.points[i].x, r.points[i].y, r.points[i].lastFrame, i};
        return {};
    }
    int used() const
    {
        int n = 0;
        for (const TablePoint& p : r.points)
            n += p.id != 0;
        return n;
    }
    TableReceiver r;
    testsupport::ConsoleCapture console;
};

} // namespace

TEST_F(TableDatagrams, FrameNumbersRiseOrStartAgainAndAnyFirstCharacterCounts)
{
    send("frame 10");
    EXPECT_EQ(r.currentFrame, 10);
    EXPECT_EQ(console.take(), "");
    send("frame 10");
    EXPECT_EQ(r.currentFrame, 10);
    EXPECT_EQ(console.take(), "err warn currentFrame\n");

    send("xr 12");
    EXPECT_EQ(r.currentFrame, 12) << "only the second character is looked at";
    send("?r\t13\n");
    EXPECT_EQ(r.currentFrame, 13);
    send("frame many");
    EXPECT_EQ(r.currentFrame, 13);
    send("fr 5");
    EXPECT_EQ(r.currentFrame, 5) << "a lower number is a sender counting again";
    EXPECT_EQ(console.take(), "err warn currentFrame\nerr warn currentFrame\n");

    for (const char* nothing : {"r 40", "", "   "}) // a one-letter word has no second character
        send(nothing);
    EXPECT_EQ(r.currentFrame, 5);
    EXPECT_EQ(console.take(), "");
    EXPECT_TRUE(calls.empty());
}

TEST_F(TableDatagrams, NewPointsAreTruncatedStoredAndTheirMovesReportedAboveJitter)
{
    send("frame 3");
    send("finger 100.9 50.2 4 7 0");
    EXPECT_EQ(calls, (Calls{{'n', 100, 50, 7, 4}}));
    EXPECT_EQ(entry(7), (std::vector<int>{100, 50, 3, 0})) << "the first free entry";
    send("fi -3.7 2.9 0 9 0");
    EXPECT_EQ(calls.back(), (Call{'n', -3, 2, 9, 0})) << "truncated toward zero";
    EXPECT_EQ(entry(9)[3], 1);

    send("frame 4");
    calls.clear();
    send("fi 102 51 1 7 0"); // |dx| + |dy| = 3: jitter, and not counted as seen
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(entry(7), (std::vector<int>{100, 50, 3, 0}));
    send("fi 103.99 51.5 2 7 0"); // 3 + 1 = 4
    EXPECT_EQ(calls, (Calls{{'m', 3, 1, 7, 2}}));
    EXPECT_EQ(entry(7), (std::vector<int>{103, 51, 4, 0}));
    send("fi 103 47 2 7 0");
    EXPECT_EQ(calls.back(), (Call{'m', 0, -4, 7, 2}));
    EXPECT_EQ(used(), 2);
}

TEST_F(TableDatagrams, PointsUnseenForSevenFramesAreFreed)
{
    send("frame 13");
    send("fi 10 10 0 1 0");
    send("fi 200 10 0 3 0");
    send("frame 14");
    send("fi 300 10 0 2 0");
    send("fi 203 10 0 3 0"); // a jitter move keeps its frame-13 stamp
    send("frame 20");
    EXPECT_TRUE(entry(1).empty()) << "seen at 13, 13 < 20 - 6";
    EXPECT_TRUE(entry(3).empty());
    EXPECT_FALSE(entry(2).empty()) << "seen at 14 stays";
    EXPECT_EQ(used(), 1);

    // The freed entry is taken again, and an old id there counts as new.
    calls.clear();
    send("fi 10 10 0 1 0");
    EXPECT_EQ(calls, (Calls{{'n', 10, 10, 1, 0}}));
    EXPECT_EQ(entry(1)[3], 0);
}

TEST_F(TableDatagrams, FullTableDropsNewPointsUntilARestartedCountExpiresThem)
{
    send("frame 2147483647");
    for (int id = 1; id <= kTablePointCount; ++id)
        send("fi " + std::to_string(id) + " 5 0 " + std::to_string(id) + " 0");
    EXPECT_EQ(used(), kTablePointCount);
    calls.clear();
    send("fi 1 1 0 99 0");
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(entry(99).empty());
    send("fi 40 5 0 1 0"); // known points still move
    EXPECT_EQ(calls, (Calls{{'m', 39, 0, 1, 0}}));
    EXPECT_EQ(console.text(), "");

    // The sender starts again from the bottom of the range: the held points expire
    // seven frames into the new count, and the table takes new points again.
    send("frame -2147483648");
    send("frame -2147483647");
    send("fi 50 5 0 1 0");
    send("frame -2147483642");
    EXPECT_EQ(used(), kTablePointCount);
    send("frame -2147483641");
    EXPECT_EQ(used(), 1) << "only the point moved under the new count stays";
    send("fi 1 1 0 99 0");
    EXPECT_FALSE(entry(99).empty());
}

TEST_F(TableDatagrams, RecordsContinueOnlyBehindAnFiWord)
{
    send("fingers 10 20 0 7 0 fi 30 40 0 8 0 five 50 60 0 9 1");
    EXPECT_EQ(calls, (Calls{{'n', 10, 20, 7, 0}, {'n', 30, 40, 8, 0}, {'n', 50, 60, 9, 0}}));

    calls.clear();
    send("fi 70 80 0 10 0 frame 90 100 0 11 0");
    EXPECT_EQ(calls, (Calls{{'n', 70, 80, 10, 0}})) << "a frame word ends the records";
    EXPECT_EQ(r.currentFrame, 0);
    send("fi 1 2 0 12 0 Fi 3 4 0 13 0");
    EXPECT_TRUE(entry(13).empty()) << "case matters";
    send("if 1 2 0 14 0");
    EXPECT_TRUE(entry(14).empty()) << "neither a frame nor a point message";
}

TEST_F(TableDatagrams, ParserStopsAtTheReceivedBytesAndRejectsBrokenRecords)
{
    // Only the first `size` bytes are the datagram; what follows in memory is not.
    handleTableDatagram(r, "frame 42999", 8);
    EXPECT_EQ(r.currentFrame, 42);
    handleTableDatagram(r, "fi 10 20 0 7 0 fi 30 40 0 8 0", 20); // cut inside the second record
    EXPECT_EQ(calls, (Calls{{'n', 10, 20, 7, 0}}));
    EXPECT_TRUE(entry(8).empty());

    // A zero byte ends the text, as it would in the receive buffer.
    const char zero[] = "frame 50\0 60";
    handleTableDatagram(r, zero, sizeof zero - 1);
    EXPECT_EQ(r.currentFrame, 50);

    // A full 511-byte datagram with no terminator anywhere.
    std::string full(kTableBufferSize - 1, '7');
    full.replace(0, 6, "frame ");
    console.take();
    handleTableDatagram(r, full.data(), full.size());
    EXPECT_EQ(r.currentFrame, 50) << "a number past the int range is no frame";
    EXPECT_EQ(console.take(), "err warn currentFrame\n");

    // Records that cannot be stored as written: id 0 marks free entries, coordinates
    // beyond any window do not convert to int, a short record has no id at all.
    calls.clear();
    send("fi 10 20 0 0 0 fi 1e9 5 0 21 0 fi 5 -3e8 0 22 0 fi 1 2 0 23");
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(used(), 0) << "point 7 expired at frame 50; nothing new stored";
}

using TableInput = rules::GameRules;

TEST_F(TableInput, NewPointMovesOnlyTheCursorOfItsHalf)
{
    player(2).cursorX = 700;
    onTablePoint(100, 42, 7, 0);
    EXPECT_EQ(player(1).cursorX, 100.0f);
    EXPECT_EQ(player(1).cursorY, 600.0f);
    EXPECT_EQ(player(2).cursorX, 700.0f) << "unlike the mouse, the other cursor stays";
    EXPECT_EQ(appState.lastMouseX, 100);
    EXPECT_EQ(appState.lastMouseY, 42);
    onTablePoint(416, 642, 8, 0);
    EXPECT_EQ(player(2).cursorX, 416.0f);
    EXPECT_EQ(player(2).cursorY, 0.0f);
    EXPECT_EQ(player(1).cursorX, 100.0f);
}

TEST_F(TableInput, MovedPointTurnsTheCameraOfItsHalfLikeADrag)
{
    TableReceiver saved = tableReceiver;
    tableReceiver = TableReceiver{};
    tableReceiver.moveHandler = onTableMove;
    appState.lastMouseX = 5;
    auto deliver = [](const std::string& text) { handleTableDatagram(tableReceiver, text.data(), text.size()); };

    deliver("fi 600 300 0 5 0");
    deliver("fi 610 280 0 5 0");
    EXPECT_FLOAT_EQ(player(2).yaw, 0.01f);
    EXPECT_FLOAT_EQ(player(2).pitch, -0.02f);
    EXPECT_EQ(player(1).yaw + player(1).pitch, 0.0f);
    EXPECT_EQ(appState.lastMouseX, 5) << "the mouse's drag anchor is its own";

    deliver("fi 100 300 0 6 0 fi 95 300 0 6 0");
    EXPECT_EQ(player(1).yaw, 6.28f) << "a drag to the left from yaw 0 jumps to the end";
    EXPECT_FLOAT_EQ(player(2).yaw, 0.01f);
    tableReceiver = saved;
}
