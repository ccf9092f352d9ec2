// Classification of the octree's leaves against the table the shader samples, the
// distance transform and the upload of the occupancy grid.
#include "render/OccupancyGrid.h"

#include "classification/PreintTransferFunction1D.h"
#include "render/CPUOctTreeNode.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace occupancy {

namespace {

// Widens a leaf's range by half an 8-bit step: what the shader samples may differ from
// the voxels by the texture's rounding and the filter's arithmetic.
constexpr double kValueSlack = 0.5 / 255.0;

void markLeaves(const CPUOctTreeNode& node, const double* scale, const int* size,
                const std::vector<int>& counts, std::vector<unsigned char>& cells)
{
    if (node.type != CPUOctTreeNode::Leaf) {
        for (const auto& child : node.children)
            if (child)
                markLeaves(*child, scale, size, counts, cells);
        return;
    }
    int at[3];
    for (int a = 0; a < 3; ++a)
        at[a] = std::clamp(int(std::lround(node.box.min[a] / scale[a] * size[a])), 0, size[a] - 1);
    const int entries = int(counts.size()) - 1;
    const double lo = node.box.valueMin - kValueSlack, hi = node.box.valueMax + kValueSlack;
    bool shows = false;
    if (lo <= hi) {
        // A linear lookup at v reads the entries either side of v * (entries - 1).
        const int first = std::clamp(int(std::floor(lo * (entries - 1))), 0, entries - 1);
        const int last = std::clamp(int(std::floor(hi * (entries - 1))) + 1, 0, entries - 1);
        shows = counts[last + 1] > counts[first];
    }
    cells[(size_t(at[2]) * size[1] + at[1]) * size[0] + at[0]] = shows ? 0 : kFar;
}

} // namespace

std::vector<int> visibleCounts(const unsigned short* rgba, int entries, int stride)
{
    std::vector<int> counts(size_t(entries) + 1, 0);
    for (int k = 0; k < entries; ++k) {
        const unsigned short* e = rgba + size_t(k) * stride;
        counts[k + 1] = counts[k] + ((e[0] | e[1] | e[2] | e[3]) != 0);
    }
    return counts;
}

std::vector<unsigned char> classifyLeaves(const CPUOctTreeNode& root, const double* scale,
                                          const int* size, const std::vector<int>& counts)
{
    std::vector<unsigned char> cells(size_t(size[0]) * size[1] * size[2], 0);
    markLeaves(root, scale, size, counts, cells);
    return cells;
}

void chebyshevDistances(std::vector<unsigned char>& cells, const int* size)
{
    // Two raster passes over the 26-neighbourhood with unit steps: exact for the
    // chessboard metric.
    const int sx = size[0], sy = size[1], sz = size[2];
    auto pass = [&](int dir) {
        const int z0 = dir > 0 ? 0 : sz - 1, y0 = dir > 0 ? 0 : sy - 1, x0 = dir > 0 ? 0 : sx - 1;
        for (int z = z0; z >= 0 && z < sz; z += dir)
            for (int y = y0; y >= 0 && y < sy; y += dir)
                for (int x = x0; x >= 0 && x < sx; x += dir) {
                    unsigned char& cell = cells[(size_t(z) * sy + y) * sx + x];
                    int best = cell;
                    // The 13 neighbours the pass has already visited.
                    for (int dz = -1; dz <= 0; ++dz)
                        for (int dy = -1; dy <= 1; ++dy)
                            for (int dx = -1; dx <= 1; ++dx) {
                                if (dz == 0 && (dy > 0 || (dy == 0 && dx >= 0)))
                                    continue;
                                const int nx = x + dir * dx, ny = y + dir * dy, nz = z + dir * dz;
                                if (nx < 0 || ny < 0 || nz < 0 || nx >= sx || ny >= sy || nz >= sz)
                                    continue;
                                best = std::min(best, cells[(size_t(nz) * sy + ny) * sx + nx] + 1);
                            }
                    cell = static_cast<unsigned char>(std::min<int>(best, kFar));
                }
    };
    pass(1);
    pass(-1);
}

std::vector<unsigned char> distanceTexels(std::vector<unsigned char>& cells, const int* size)
{
    // The runs of showing blocks, from the inverted grid.
    std::vector<unsigned char> shown(cells.size());
    for (size_t c = 0; c < cells.size(); ++c)
        shown[c] = cells[c] ? 0 : kFar;
    chebyshevDistances(cells, size);
    chebyshevDistances(shown, size);
    std::vector<unsigned char> texels(2 * cells.size());
    for (size_t c = 0; c < cells.size(); ++c) {
        texels[2 * c] = cells[c];
        texels[2 * c + 1] = shown[c];
    }
    return texels;
}

} // namespace occupancy

namespace {

std::vector<unsigned short> readTable(GLenum target, GLuint handle, int texels)
{
    std::vector<unsigned short> rgba(size_t(texels) * 4);
    glBindTexture(target, handle);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_SHORT, rgba.data());
    glBindTexture(target, 0);
    return rgba;
}

int storedWidth(GLenum target, GLuint handle)
{
    GLint width = 0;
    glBindTexture(target, handle);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &width);
    glBindTexture(target, 0);
    return width;
}

} // namespace

OccupancyGrid::OccupancyGrid()
    : size{0, 0, 0}, built(false), builtFunction(nullptr), builtPreint(false),
      builtPreintDistance(0), builtPreintWidth(0)
{
    texture.internalFormat = GL_LUMINANCE8_ALPHA8;
    texture.format = GL_LUMINANCE_ALPHA;
    texture.type = GL_UNSIGNED_BYTE;
    texture.minFilter = texture.magFilter = GL_NEAREST;
    texture.clampMask = 7;
}

bool OccupancyGrid::inputsChanged(Classification::PreintTransferFunction1D* tf, bool usePreint,
                                  int preintWidth) const
{
    if (!built || tf != builtFunction || usePreint != builtPreint)
        return true;
    if (!tf)
        return false;
    const size_t values = tf->lookupTable ? size_t(tf->tableSize) * 4 : 0;
    if (values != builtTable.size() ||
        (values && std::memcmp(tf->lookupTable, builtTable.data(), values * sizeof(unsigned short))))
        return true;
    return usePreint && (tf->sampleDistance != builtPreintDistance || preintWidth != builtPreintWidth);
}

bool OccupancyGrid::update(const CPUOctTreeNode* root, const unsigned char* maxLevel,
                           const double* scale, Classification::PreintTransferFunction1D* tf,
                           bool usePreint)
{
    if (!root)
        return false;
    glActiveTexture(GL_TEXTURE0 + texture.unit);
    // The pre-integration table may hold another size than the lookup table (it keeps
    // its last upload until recomputed): what the shader samples counts.
    const int preintWidth = tf && usePreint ? storedWidth(GL_TEXTURE_2D, tf->preintTexture.handle) : 0;
    if (!inputsChanged(tf, usePreint, preintWidth)) {
        glBindTexture(GL_TEXTURE_3D, texture.handle);
        return false;
    }

    for (int a = 0; a < 3; ++a)
        size[a] = 1 << maxLevel[a];
    if (!tf) {
        cells.assign(size_t(size[0]) * size[1] * size[2], 0);  // unknown: everything may show
    } else {
        std::vector<int> counts;
        if (usePreint) {
            // A segment shows only if an entry between its two intensities does, and the
            // diagonal (both ends equal) holds each entry's own share.
            const std::vector<unsigned short> table =
                readTable(GL_TEXTURE_2D, tf->preintTexture.handle, preintWidth * preintWidth);
            counts = occupancy::visibleCounts(table.data(), preintWidth, 4 * (preintWidth + 1));
        } else {
            GLTex::OpenGLTexture* lookup = tf->getTexture();
            glActiveTexture(GL_TEXTURE0 + texture.unit);
            const int width = storedWidth(GL_TEXTURE_1D, lookup->handle);
            const std::vector<unsigned short> table = readTable(GL_TEXTURE_1D, lookup->handle, width);
            counts = occupancy::visibleCounts(table.data(), width, 4);
        }
        if (counts.size() < 2)
            cells.assign(size_t(size[0]) * size[1] * size[2], 0);
        else
            cells = occupancy::classifyLeaves(*root, scale, size, counts);
    }
    texels = occupancy::distanceTexels(cells, size);

    built = true;
    builtFunction = tf;
    builtPreint = usePreint;
    builtTable.assign(tf && tf->lookupTable ? tf->lookupTable : nullptr,
                      tf && tf->lookupTable ? tf->lookupTable + size_t(tf->tableSize) * 4 : nullptr);
    builtPreintDistance = tf ? tf->sampleDistance : 0;
    builtPreintWidth = preintWidth;

    texture.setSize(size[0], size[1], size[2]);
    glBindTexture(GL_TEXTURE_3D, texture.handle);
    texture.applyParameters();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    texture.upload(texels.data());
    return true;
}
