// Shared by the phantom tests: the generated files in data/, a reader for the header
// keys the game uses, and the game's level boxes and organ windows as fixed data.
#pragma once

#include "tools/phantom/Grid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace phantomtest {

inline std::string dataPath(const std::string& name)
{
    return std::string(QUILLET_DATA_DIR) + "/" + name;
}

inline std::vector<unsigned char> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Keys in file order with their values, read as the game reads them: the key is the
// text before "=" with spaces removed, the value the rest of the line.
struct HeaderLine {
    std::string key, value;
};

inline std::vector<HeaderLine> readHeader(const std::string& path)
{
    std::ifstream in(path);
    std::vector<HeaderLine> lines;
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        HeaderLine h;
        for (char c : line.substr(0, eq))
            if (c != ' ')
                h.key += c;
        h.value = line.substr(eq + 1);
        lines.push_back(h);
    }
    return lines;
}

// Little-endian signed 16-bit voxels, decoded byte by byte.
inline std::vector<std::int16_t> readVoxels(const std::string& path)
{
    std::vector<unsigned char> raw = readBytes(path);
    std::vector<std::int16_t> v(raw.size() / 2);
    for (size_t n = 0; n < v.size(); ++n)
        v[n] = static_cast<std::int16_t>(raw[2 * n] | (raw[2 * n + 1] << 8));
    return v;
}

// The game's intensity after its stretch of a volume spanning -1024 .. 3071.
inline double normalised(std::int16_t hu)
{
    return (hu + 1024) / 4095.0;
}

// The organ presets' windows: where their trapezoids have any opacity.
struct Window {
    double lo, hi;
    bool contains(double x) const { return x > lo && x < hi; }
};
constexpr Window kPreset0{0.03, 0.22};
constexpr Window kPreset2{0.01, 0.2};
constexpr Window kPreset5{0.28, 0.42};

struct LevelBox {
    double lo[3], hi[3]; // object coordinates, longest axis 1
    Window window;
};

constexpr LevelBox kLevelBoxes[7] = {
    {{0.06, 0.09, 0.01}, {0.591164, 0.451164, 0.47}, kPreset0},
    {{0.42, 0.11, 0.41}, {0.541164, 0.23, 0.63}, kPreset5},
    {{0.05, 0.22, 0.49}, {0.231164, 0.29, 0.67}, kPreset5},
    {{0.28, 0.361164, 0.41}, {0.41, 0.411164, 0.47}, kPreset2},
    {{0.23, 0.06, 0.81}, {0.401164, 0.221164, 1.0}, kPreset0},
    {{0.27, 0.3, 0.59}, {0.401164, 0.36, 0.78}, kPreset2},
    {{0.2, 0.22, 0.19}, {0.481164, 0.411164, 0.43}, kPreset5},
};

// Whether voxel (i, j, k)'s centre lies in the box moved by `shift`.
inline bool inBox(const LevelBox& b, int i, int j, int k, const double (&shift)[3])
{
    phantom::Vec3 o = phantom::Grid::toObject(phantom::Grid::centre(i, j, k));
    const double c[3] = {o.x, o.y, o.z};
    for (int a = 0; a < 3; ++a)
        if (c[a] < b.lo[a] + shift[a] || c[a] > b.hi[a] + shift[a])
            return false;
    return true;
}

} // namespace phantomtest
