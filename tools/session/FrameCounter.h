// Counts the frames a window shows. Every buffer swap of a GL window on Xvfb puts the
// new image onto the window, which the X server reports as damage; a test waits for
// frames that way instead of guessing them from elapsed time.
#pragma once

#include <string>

namespace session {

class FrameCounter {
public:
    FrameCounter(const std::string& display, unsigned long window);
    ~FrameCounter();
    FrameCounter(const FrameCounter&) = delete;
    FrameCounter& operator=(const FrameCounter&) = delete;

    bool watching() const { return display_ != nullptr; }
    // Frames shown since construction, at most: swaps that fall between two reads of
    // the server's reports count once, so the count never runs ahead of the frames.
    long frames();

private:
    void* display_ = nullptr; // Display*
    unsigned long damage_ = 0;
    int eventBase_ = 0;
    long count_ = 0;
};

} // namespace session
