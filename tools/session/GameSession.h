// Drives the real game as a player would: a private Xvfb, the executable in a working
// directory, keys and mouse through xdotool, screenshots through ImageMagick, and the
// console captured to files. Everything it starts ends with it, also on a failed test.
#pragma once

#include "tools/session/FrameCounter.h"
#include "tools/session/XvfbServer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace session {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// 8-bit RGB picture, row 0 at the top (X11 order).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    bool empty() const { return width == 0 || height == 0; }
    Rgb at(int x, int y) const;
    // Same pixel addressed the GL way: y counted from the bottom row.
    Rgb atFromBottom(int x, int y) const { return at(x, height - 1 - y); }
    Image crop(int x, int y, int w, int h) const;
    bool savePng(const std::string& path) const;
    static Image fromPpm(const std::string& bytes);
};

struct SessionOptions {
    std::string executable;        // the game
    std::string dataDir;           // where the run-time files come from
    std::vector<std::string> omit; // data entries left out of the scratch directory
    std::string workDir;           // run here instead of a scratch directory (no copying)
    bool inheritConsole = false;   // game output to our console instead of capture files
    std::vector<std::string> environment; // NAME=value entries set for the game only
    int screenWidth = 1280;
    int screenHeight = 1024;
};

class GameSession {
public:
    explicit GameSession(SessionOptions options);
    ~GameSession();
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    bool start();
    const std::string& display() const { return display_; }
    const std::string& workDir() const { return workDir_; }

    // Window of the given title, or an empty id after the timeout.
    std::string waitForWindow(const std::string& title, double timeoutSeconds);
    std::string findWindow(const std::string& title);
    bool windowGeometry(int& x, int& y, int& w, int& h);

    void key(const std::string& keysym);           // e.g. "x", "Escape", "shift+b"
    void keyDown(const std::string& keysym);       // held until keyUp: the server repeats it
    void keyUp(const std::string& keysym);
    void keys(const std::string& keysyms, int delayMs = 40); // space-separated, one xdotool run
    void mouseMove(int x, int y);                   // window coordinates
    void mouseDown(int button);
    void mouseUp(int button);
    void drag(int x0, int y0, int x1, int y1, int steps = 10);
    void resize(int width, int height);
    void hideWindow();   // unmapped: GLUT draws no frames for it
    void showWindow();

    // Frames the game window has shown since the first call, at most (see FrameCounter);
    // -1 without a window.
    long framesShown();

    Image screenshot();       // whole screen
    Image windowShot();       // just the game window

    void writeStdin(const std::string& text);
    std::string standardOutput() const;
    std::string standardError() const;
    // The game's standard error from the first sanitizer report on (AddressSanitizer,
    // LeakSanitizer, UndefinedBehaviorSanitizer); empty when there is none.
    std::string sanitizerReport() const;
    bool waitForOutput(const std::string& needle, double timeoutSeconds, size_t from = 0);

    double cpuSeconds() const;          // processor time the game has used so far
    bool exited();                      // the game has ended (status then valid)
    int waitForExit(double timeoutSeconds); // exit status, or -1000 on time-out
    int stop();                         // ends the game (if still running), returns status
    int exitStatus() const { return status_; } // WEXITSTATUS-style, -1 = killed by signal

    // Runs a command with DISPLAY set to this session's screen and returns its stdout.
    std::string runOnDisplay(const std::vector<std::string>& argv, int* exitCode = nullptr);

private:
    void recordStatus(int rawStatus);

    SessionOptions options_;
    std::unique_ptr<XvfbServer> xvfb_;
    std::string display_;
    std::string workDir_;
    bool ownsWorkDir_ = false;
    std::string outPath_, errPath_;
    int stdinFd_ = -1;
    pid_t pid_ = -1;
    int status_ = -1000;
    std::string window_;
    std::unique_ptr<FrameCounter> frames_;
};

// Sanitizer reports of every game session of this process that has ended, so that a
// test program can fail on them whatever its tests checked.
const std::vector<std::string>& sanitizerReports();

// Microseconds-free helpers for tests.
void sleepMs(int ms);
std::string readFile(const std::string& path);

} // namespace session
