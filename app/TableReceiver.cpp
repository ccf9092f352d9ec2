#include "app/TableReceiver.h"

#include "app/AppState.h"
#include "app/Controls.h"
#include "app/GameConfig.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

TableReceiver tableReceiver;

namespace {

constexpr int kDatagramsPerPoll = 64;   // so a flooding sender cannot hold up the frames
constexpr int kFrameExpiry = 6;         // frames a point may go unseen
constexpr int kMinMove = 4;             // |dx| + |dy| below this is tracking jitter
constexpr float kMaxCoordinate = 1.0e6f; // no window is this large; keeps ints exact

bool isFrameWord(const std::string& w) { return w.size() >= 2 && w[1] == 'r'; }
bool isPointWord(const std::string& w) { return w.size() >= 2 && w[0] == 'f' && w[1] == 'i'; }

void handleFrame(TableReceiver& r, std::istream& in)
{
    int frame = 0;
    in >> frame;
    if (in && frame > r.currentFrame) {
        r.currentFrame = frame;
    } else {
        std::cout << "err warn currentFrame\n";
        // A lower number is a sender that started counting again: follow it, or the
        // points would never expire and a full table would stay full.
        if (in && frame < r.currentFrame) {
            r.currentFrame = frame;
            for (TablePoint& p : r.points)
                p.lastFrame = std::min(p.lastFrame, frame);
        }
    }
    long long oldest = static_cast<long long>(r.currentFrame) - kFrameExpiry; // no overflow at INT_MIN
    for (TablePoint& p : r.points)
        if (p.id != 0 && p.lastFrame < oldest)
            p.id = 0;
}

void handlePoint(TableReceiver& r, float x, float y, int a, int id)
{
    int nx = int(x);
    int ny = int(y);
    for (TablePoint& e : r.points) {
        if (e.id != id)
            continue;
        int dx = nx - e.x;
        int dy = ny - e.y;
        if (std::abs(dx) + std::abs(dy) >= kMinMove) {
            if (r.moveHandler)
                r.moveHandler(dx, dy, id, a);
            e.x = nx;
            e.y = ny;
            e.lastFrame = r.currentFrame;
        }
        return;
    }
    for (TablePoint& e : r.points) {
        if (e.id != 0)
            continue;
        if (r.newPointHandler)
            r.newPointHandler(nx, ny, id, a);
        e = TablePoint{nx, ny, id, r.currentFrame};
        return;
    }
    // A full table drops new points.
}

void handlePoints(TableReceiver& r, std::istream& in)
{
    for (;;) {
        float x = 0, y = 0;
        int a = 0, id = 0, unused = 0;
        if (!(in >> x >> y >> a >> id >> unused))
            return; // an incomplete record ends the datagram
        std::string next;
        in >> next;
        // Id 0 marks free entries, and coordinates must convert to int exactly.
        bool usable = id != 0 && std::fabs(x) < kMaxCoordinate && std::fabs(y) < kMaxCoordinate;
        if (usable)
            handlePoint(r, x, y, a, id);
        if (!isPointWord(next))
            return;
    }
}

// Closes the socket at every process exit, also when it was never opened.
struct SocketCloser {
    ~SocketCloser() { closeTableSocket(); }
} socketCloser;

} // namespace

int openTableSocket()
{
    TableReceiver& r = tableReceiver;
    int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        std::cerr << "could not create socket\n";
        r.socket = -1;
        return -2;
    }
    r.address = sockaddr_in{};
    r.address.sin_family = AF_INET;
    r.address.sin_addr.s_addr = htonl(INADDR_ANY);
    r.address.sin_port = htons(game::kTablePort);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&r.address), sizeof r.address) != 0) {
        std::cerr << "could not bind socket\n";
        ::close(s);
        r.socket = -1;
        return -3;
    }
    // Polled from the idle callback: waiting for a datagram would stop the frames.
    ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK);
    r.socket = s;
    return 0;
}

void pollTable()
{
    TableReceiver& r = tableReceiver;
    std::cout << "try update\n";
    for (int i = 0; i < kDatagramsPerPoll; ++i) {
        ssize_t n = ::recvfrom(r.socket, r.buffer, kTableBufferSize - 1, 0, nullptr, nullptr);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                std::cerr << "recv failed with " << errno << std::endl;
            return;
        }
        r.buffer[n] = 0;
        handleTableDatagram(r, r.buffer, size_t(n));
    }
}

void handleTableDatagram(TableReceiver& r, const char* bytes, size_t size)
{
    std::istringstream in(std::string(bytes, strnlen(bytes, size)));
    std::string word;
    in >> word;
    if (isFrameWord(word))
        handleFrame(r, in);
    else if (isPointWord(word))
        handlePoints(r, in);
}

void onTablePoint(int x, int y, int, int)
{
    AppState& a = appState;
    a.lastMouseX = x;
    a.lastMouseY = y;
    PlayerState& p = a.players[x < int(a.windowWidth / 2) ? 0 : 1];
    p.cursorX = float(x);
    p.cursorY = float(int(a.windowHeight) - y);
}

void onTableMove(int dx, int dy, int id, int)
{
    for (const TablePoint& e : tableReceiver.points) {
        if (e.id != id)
            continue;
        int x = e.x + dx;
        int y = e.y + dy;
        AppState& a = appState;
        dragCamera(a.players[x < int(a.windowWidth / 2) ? 0 : 1], x, y, e.x, e.y);
        return;
    }
}

void closeTableSocket()
{
    if (tableReceiver.socket >= 0)
        ::close(tableReceiver.socket);
    tableReceiver.socket = -1;
}
