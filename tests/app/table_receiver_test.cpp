// The table's datagrams: frame numbers, the point table, expiry and the parser's bounds;
// and what new and moved points do to the players.
#include "app/TableReceiver.h"
#include "tests/app/GameRules.h"

#include <string>

namespace {

std::string calls; // "n<x>,<y>,<id>,<a> " per new point, "m<dx>,<dy>,<id>,<a> " per move

template <char kind>
void note(int u, int v, int id, int a)
{
    calls += kind + std::to_string(u) + "," + std::to_string(v) + "," + std::to_string(id) + "," + std::to_string(a) + " ";
}

class TableDatagrams : public ::testing::Test {
protected:
    void SetUp() override { calls.clear(), r.newPointHandler = note<'n'>, r.moveHandler = note<'m'>; }
    void send(const std::string& text) { handleTableDatagram(r, text.data(), text.size()); }
    std::string entries() const // the used entries in table order, "<id>:<x>,<y>@<lastFrame> " each
    {
        std::string s;
        for (const TablePoint& p : r.points)
            s += p.id ? std::to_string(p.id) + ":" + std::to_string(p.x) + "," + std::to_string(p.y) + "@" +
                            std::to_string(p.lastFrame) + " " : "";
        return s;
    }
    TableReceiver r;
    testsupport::ConsoleCapture console;
};

} // namespace

TEST_F(TableDatagrams, FramesNewMovedExpiredAndRefusedPointsOfOneSession)
{
    // The datagram, currentFrame after it, whether it warns, the handler calls, the table (null: not looked at).
    struct Step { const char* datagram; int frame; bool warns; const char* calls; const char* entries; };
    const Step steps[] = {
        {"frame 10", 10, false, "", ""},
        {"frame 10", 10, true, "", ""},
        {"?r\t12", 12, false, "", ""},        // only the second character is looked at
        {"fr 99999999999", 12, true, "", ""}, // past the int range
        {"r 40", 12, false, "", ""},          // a one-letter word has no second character
        {"fr 5", 5, true, "", ""},            // a lower number: the sender counts again
        {"frame 13", 13, false, "", ""},
        {"finger 100.9 50.2 4 7 0 fi -3.7 2.9 0 9 0", 13, false, "n100,50,7,4 n-3,2,9,0 ", "7:100,50@13 9:-3,2@13 "},
        {"frame 14", 14, false, "", nullptr},
        {"fi 102 51 1 7 0", 14, false, "", "7:100,50@13 9:-3,2@13 "}, // |dx| + |dy| = 3: jitter, not seen
        {"fi 103.99 51.5 2 7 0 fi 103 47 2 7 0", 14, false, "m3,1,7,2 m0,-4,7,2 ", "7:103,47@14 9:-3,2@13 "},
        {"frame 20", 20, false, "", "7:103,47@14 "}, // seen at 13 < 20 - 6: freed
        {"fi 10 10 0 9 0", 20, false, "n10,10,9,0 ", "7:103,47@14 9:10,10@20 "},
        {"fingers 1 2 0 1 0 five 3 4 0 2 1 frame 5 6 0 3 0", 20, false, "n1,2,1,0 n3,4,2,0 ", nullptr}, // "fi..." goes on
        {"fi 1 2 0 6 0 Fi 3 4 0 13 0", 20, false, "n1,2,6,0 ", nullptr},
        {"if 1 2 0 14 0", 20, false, "", nullptr},
        // Id 0 marks free entries, coordinates beyond any window do not convert to int, a short record has no id.
        {"fi 10 20 0 0 0 fi 1e9 5 0 21 0 fi 5 -3e8 0 22 0 fi 1 2 0 23", 20, false, "",
         "7:103,47@14 9:10,10@20 1:1,2@20 2:3,4@20 6:1,2@20 "},
        {"fr 3", 3, true, "", "7:103,47@3 9:10,10@3 1:1,2@3 2:3,4@3 6:1,2@3 "}, // counting again: seen at 3 at most
        {"frame 10", 10, false, "", ""},
    };
    for (const Step& s : steps) {
        calls.clear();
        send(s.datagram);
        EXPECT_EQ(r.currentFrame, s.frame) << s.datagram;
        EXPECT_EQ(console.take(), s.warns ? "err warn currentFrame\n" : "") << s.datagram;
        EXPECT_EQ(calls, s.calls) << s.datagram;
        EXPECT_EQ(s.entries ? entries() : "", s.entries ? s.entries : "") << s.datagram;
    }
}

TEST_F(TableDatagrams, ParserReadsOnlyTheReceivedBytesUpToAZero)
{
    handleTableDatagram(r, "fi 10 20 0 7 0 fi 30 40 0 8 0", 20); // cut inside the second record
    EXPECT_EQ(entries(), "7:10,20@0 ");
    handleTableDatagram(r, "frame 42999", 8);
    handleTableDatagram(r, "fr\0ame 60", 9); // a zero ends the text, as in the receive buffer
    EXPECT_EQ(r.currentFrame, 42);
}

using TableInput = rules::GameRules;

TEST_F(TableInput, NewPointMovesTheCursorOfItsHalfAndAMoveTurnsThatHalfsCamera)
{
    player(2).cursorX = 700; // unlike the mouse, a point leaves the other cursor
    onTablePoint(100, 42, 7, 0);
    EXPECT_TRUE(player(1).cursorX == 100 && player(1).cursorY == 600 && player(2).cursorX == 700);
    onTablePoint(416, 642, 8, 0);
    EXPECT_TRUE(player(2).cursorX == 416 && player(2).cursorY == 0 && player(1).cursorX == 100);
    tableReceiver.points[0] = TablePoint{600, 300, 5, 0};
    onTableMove(10, -20, 5, 0);
    EXPECT_TRUE(player(2).yaw == 0.01f && player(2).pitch == -0.02f && player(1).yaw == 0);
    tableReceiver.points[0] = TablePoint{};
}
