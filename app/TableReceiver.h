// Pointer input from the "table": UDP text datagrams on port 31409 with frame numbers
// and tracked points. New points move a mixing cursor; moved points turn a camera.
// The socket is opened by key "B" and polled from the idle callback; it never blocks.
#pragma once

#include <netinet/in.h>

#include <cstddef>

struct TablePoint {
    int x, y;       // window pixels, origin top left (truncated from the datagram)
    int id;         // 0 = free entry
    int lastFrame;  // currentFrame at the last accepted update
};

using TableHandler = void (*)(int, int, int id, int a);

constexpr int kTablePointCount = 64;
constexpr int kTableBufferSize = 512;   // at most 511 bytes of datagram text and a zero

struct TableReceiver {
    sockaddr_in address{};                     // bound address, filled by openTableSocket
    int socket = -1;                           // -1 = closed
    int currentFrame = 0;                      // highest frame number received
    TablePoint points[kTablePointCount] = {};
    char buffer[kTableBufferSize] = {};
    TableHandler newPointHandler = nullptr;    // (x, y, id, a) of a point seen first
    TableHandler moveHandler = nullptr;        // (dx, dy, id, a), before the entry moves
};

extern TableReceiver tableReceiver;

// 0 when the socket is bound; -2 socket not created, -3 not bound (message on stderr).
int openTableSocket();

// Handles the datagrams waiting on the socket, at most 64 per call.
void pollTable();

// Handles one datagram of `size` bytes; the text ends at the first zero byte or at
// `size`, whichever comes first, and nothing beyond it is read.
void handleTableDatagram(TableReceiver& r, const char* bytes, size_t size);

// New-point handler: the point becomes the mixing cursor of the half it falls into.
void onTablePoint(int x, int y, int id, int a);

// Move handler: a tracked point's movement turns the camera of the half it is in, as
// a mouse drag from the point's last position would.
void onTableMove(int dx, int dy, int id, int a);

// Closes the socket; also runs by itself at process exit.
void closeTableSocket();
