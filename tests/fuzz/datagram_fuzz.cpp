// Fuzz target: the table's datagram parser with the game's own handlers, over a whole
// conversation: the input is a series of datagrams separated by lines holding only
// "--". Each goes through the receive buffer as pollTable puts it there (cut to the 511
// bytes a receive takes, then a terminating zero), so the new-point handler moves the
// mixing cursors and the move handler turns the cameras as in the game.
#include "tests/fuzz/FuzzSupport.h"

#include "app/AppState.h"
#include "app/TableReceiver.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

const std::string kSeparator = "\n--\n";

// What no datagram may produce: a point twice in the table, a frame number that went
// down, a stored position the parser should have refused, or a camera or cursor that
// is no longer a number.
void checkState(const TableReceiver& r, int previousFrame)
{
    if (r.currentFrame < previousFrame)
        fuzz::finding("the current frame went down");
    for (int i = 0; i < kTablePointCount; ++i) {
        const TablePoint& p = r.points[i];
        if (p.id == 0)
            continue;
        if (std::abs(p.x) > 1000000 || std::abs(p.y) > 1000000)
            fuzz::finding("a stored point lies far outside any window");
        for (int j = i + 1; j < kTablePointCount; ++j)
            if (r.points[j].id == p.id)
                fuzz::finding("one id holds two entries of the point table");
    }
    for (const PlayerState& player : appState.players)
        if (!std::isfinite(player.pitch) || !std::isfinite(player.yaw) || !std::isfinite(player.cursorX) ||
            !std::isfinite(player.cursorY))
            fuzz::finding("a camera angle or a cursor is no longer a finite number");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const AppState initialApp = appState;
    appState = initialApp;
    TableReceiver& r = tableReceiver;
    r = TableReceiver{};
    r.moveHandler = onTableMove;     // as the entry point installs them
    r.newPointHandler = onTablePoint;

    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzz::QuietConsole quiet;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = input.find(kSeparator, start);
        std::string datagram = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::size_t n = std::min<std::size_t>(datagram.size(), kTableBufferSize - 1);
        std::memcpy(r.buffer, datagram.data(), n);
        r.buffer[n] = 0;
        const int frameBefore = r.currentFrame;
        handleTableDatagram(r, r.buffer, n);
        checkState(r, frameBefore);
        if (end == std::string::npos)
            break;
        start = end + kSeparator.size();
    }
    return 0;
}
