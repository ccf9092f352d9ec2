// A private Xvfb display for GL tests, end-to-end tests and headless screenshots.
// The server picks a free display number itself (-displayfd), so any number of
// servers can run side by side; it dies with its owner, also when the owner crashes.
#pragma once

#include <string>
#include <sys/types.h>

namespace session {

class XvfbServer {
public:
    XvfbServer(int width = 1280, int height = 1024);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return pid_ > 0 && !display_.empty(); }
    const std::string& display() const { return display_; } // ":N", empty = failed to start

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Starts `argv` as a child that is killed when this process dies (PR_SET_PDEATHSIG).
// Returns the pid or -1. Used for every process the helpers start.
pid_t spawnChild(const char* const* argv, const char* workDir, const char* display,
                 int stdinFd, int stdoutFd, int stderrFd);

// Sends SIGTERM, waits up to `graceMs`, then SIGKILL; reaps the child and returns its
// raw wait status (or -1 when it was already reaped).
int terminateChild(pid_t pid, int graceMs);

} // namespace session
