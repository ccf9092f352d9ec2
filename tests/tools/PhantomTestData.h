// Shared by the phantom tests: the generated files in data/, and the game's level boxes
// with the windows of their organ presets.
#pragma once

#include "app/LevelTable.h"
#include "tools/phantom/Grid.h"

#include <cstdint>
#include <fstream>
#include <iterator>
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

// Where the organ presets' trapezoids have any opacity (their outer corners).
struct Window {
    double lo, hi;
    bool contains(double x) const { return x > lo && x < hi; }
};
constexpr Window kPreset0{0.03, 0.22}, kPreset2{0.01, 0.2}, kPreset5{0.28, 0.42};
inline Window presetWindow(int id)
{
    return id == 0 ? kPreset0 : id == 2 ? kPreset2 : kPreset5;
}

// Whether voxel (i, j, k)'s centre lies in the level's box moved by `shift`.
inline bool inBox(const game::LevelRow& b, int i, int j, int k, const double (&shift)[3] = {0, 0, 0})
{
    phantom::Vec3 o = phantom::Grid::toObject(phantom::Grid::centre(i, j, k));
    const double c[3] = {o.x, o.y, o.z};
    for (int a = 0; a < 3; ++a)
        if (c[a] < b.boxMin[a] + shift[a] || c[a] > b.boxMax[a] + shift[a])
            return false;
    return true;
}

} // namespace phantomtest
