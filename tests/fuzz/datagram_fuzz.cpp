// Fuzz target: the table's datagram parser with the game's own handlers, over a whole
// conversation: datagrams separated by lines holding only "--", each put in the receive
// buffer as pollTable puts it (cut to the 511 bytes a receive takes, then a zero), so the
// handlers move the mixing cursors and turn the cameras as in the game.
#include "tests/fuzz/FuzzSupport.h"

#include "app/AppState.h"
#include "app/TableReceiver.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

const std::string kSeparator = "\n--\n";

// What no datagram may produce: a point twice in the table, a point seen at a frame after
// the current one (a sender counting again takes its points along), a stored position the
// parser should have refused, or a camera or cursor that is no longer a number.
void checkState(const TableReceiver& r)
{
    for (int i = 0; i < kTablePointCount; ++i) {
        const TablePoint& p = r.points[i];
        if (p.id == 0)
            continue;
        if (p.lastFrame > r.currentFrame)
            fuzz::finding("a point seen at a frame after the current one");
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
    TableReceiver& r = tableReceiver = TableReceiver{};
    r.moveHandler = onTableMove, r.newPointHandler = onTablePoint; // as the entry point installs them

    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzz::QuietConsole quiet;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + kSeparator.size()) {
        end = input.find(kSeparator, start);
        const std::string datagram = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::size_t n = std::min<std::size_t>(datagram.size(), kTableBufferSize - 1);
        std::memcpy(r.buffer, datagram.data(), n);
        r.buffer[n] = 0;
        handleTableDatagram(r, r.buffer, n);
        checkState(r);
    }
    return 0;
}
