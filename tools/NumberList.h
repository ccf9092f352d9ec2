// Command-line values of the tools: "a,b[,c]" read as exactly that many numbers.
#pragma once

#include <sstream>
#include <string>

namespace tools {

// True when the whole text is exactly `count` comma-separated numbers.
template <typename Number>
bool parseNumberList(const std::string& text, Number* values, int count)
{
    std::istringstream in(text);
    for (int n = 0; n < count; ++n) {
        if (!(in >> values[n]))
            return false;
        if (n + 1 < count && in.get() != ',')
            return false;
    }
    return (in >> std::ws).eof();
}

} // namespace tools
