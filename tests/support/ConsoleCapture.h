// Captures what the code under test writes to std::cout (or std::cerr) while alive.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

namespace testsupport {

class ConsoleCapture {
public:
    explicit ConsoleCapture(std::ostream& stream = std::cout) : stream_(stream), was_(stream.rdbuf(captured_.rdbuf())) {}
    ~ConsoleCapture() { stream_.rdbuf(was_); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::string text() const { return captured_.str(); }
    // The text written since the last call of take().
    std::string take()
    {
        std::string fresh = captured_.str().substr(taken_);
        taken_ += fresh.size();
        return fresh;
    }

private:
    std::ostream& stream_;
    std::ostringstream captured_;
    std::streambuf* was_;
    size_t taken_ = 0;
};

} // namespace testsupport
