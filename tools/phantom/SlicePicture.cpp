#include "tools/phantom/SlicePicture.h"

#include "tools/phantom/MetaImageWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>

extern char** environ;

namespace phantom {

namespace {

constexpr double kPixel = Grid::sx; // mm per picture pixel
constexpr int kGap = 4;

// Trilinear HU at a point in mm (voxel centres at (i + 0.5) * spacing), clamped.
double sample(const std::vector<std::int16_t>& hu, Vec3 p)
{
    double f[3] = {p.x / Grid::sx - 0.5, p.y / Grid::sy - 0.5, p.z / Grid::sz - 0.5};
    const int n[3] = {Grid::nx, Grid::ny, Grid::nz};
    int i0[3];
    double t[3];
    for (int a = 0; a < 3; ++a) {
        f[a] = std::clamp(f[a], 0.0, double(n[a] - 1));
        i0[a] = std::min(int(f[a]), n[a] - 2);
        t[a] = f[a] - i0[a];
    }
    double v = 0;
    for (int c = 0; c < 8; ++c) {
        int i = i0[0] + (c & 1), j = i0[1] + ((c >> 1) & 1), k = i0[2] + ((c >> 2) & 1);
        double w = ((c & 1) ? t[0] : 1 - t[0]) * (((c >> 1) & 1) ? t[1] : 1 - t[1]) * (((c >> 2) & 1) ? t[2] : 1 - t[2]);
        v += w * hu[Grid::index(i, j, k)];
    }
    return v;
}

} // namespace

GreyImage slicePicture(const std::vector<std::int16_t>& hu, const SliceOptions& o)
{
    const double ex = Grid::nx * Grid::sx, ey = Grid::ny * Grid::sy, ez = Grid::nz * Grid::sz;
    const int wx = int(ex / kPixel), wy = int(ey / kPixel), wz = int(ez / kPixel);
    GreyImage img;
    img.width = wx + kGap + wy + kGap + wx;
    img.height = wz;
    img.grey.assign(size_t(img.width) * img.height, 0);
    auto grey = [&](double v) {
        double g = (v - (o.level - o.width / 2)) / o.width * 255.0;
        return std::uint8_t(std::lround(std::clamp(g, 0.0, 255.0)));
    };
    auto put = [&](int x, int y, double v) { img.grey[size_t(y) * img.width + x] = grey(v); };
    for (int row = 0; row < wz; ++row) {
        double z = (row + 0.5) * kPixel;
        for (int c = 0; c < wx; ++c) // coronal: x to the right, at the chosen y
            put(c, row, sample(hu, {(c + 0.5) * kPixel, o.at.y, z}));
        for (int c = 0; c < wy; ++c) // sagittal: front on the left
            put(wx + kGap + c, row, sample(hu, {o.at.x, ey - (c + 0.5) * kPixel, z}));
    }
    for (int row = 0; row < wy; ++row) // axial: front up
        for (int c = 0; c < wx; ++c)
            put(wx + kGap + wy + kGap + c, row, sample(hu, {(c + 0.5) * kPixel, ey - (row + 0.5) * kPixel, o.at.z}));
    return img;
}

void writePicture(const GreyImage& image, const std::string& path)
{
    std::string header = "P5\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<unsigned char> pgm(header.begin(), header.end());
    pgm.insert(pgm.end(), image.grey.begin(), image.grey.end());
    auto endsWith = [&](const char* s) {
        std::string e(s);
        return path.size() >= e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0;
    };
    if (endsWith(".pgm")) {
        writeFileAtomically(path, pgm);
        return;
    }
    // Hand the conversion to ImageMagick, without a shell between us and the path.
    const std::string temporary = path + ".pgm";
    writeFileAtomically(temporary, pgm);
    // A leading "-" would read as an option.
    std::string input = temporary[0] == '-' ? "./" + temporary : temporary;
    std::string output = path[0] == '-' ? "./" + path : path;
    char* argv[] = {const_cast<char*>("convert"), input.data(), output.data(), nullptr};
    pid_t pid = 0;
    int status = 0;
    int spawned = posix_spawnp(&pid, "convert", nullptr, nullptr, argv, environ);
    bool ok = spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::remove(temporary.c_str());
    if (!ok)
        throw std::runtime_error("ImageMagick's convert could not write " + path);
}

} // namespace phantom
