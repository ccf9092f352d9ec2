// The coarse occupancy volume that lets the ray-casting shader skip empty space inside
// its rays: one texel per octree leaf, 0 where the leaf's intensities (with their
// interpolation margin) can show through the layer's table, elsewhere the Chebyshev
// distance in leaves to the nearest leaf that can (at most 255). A ray in a leaf holding
// n passes the whole cube of (2n - 1)^3 leaves around it. It is rebuilt only when the
// table it was classified with, the classification mode or the tree changes.
#pragma once

#include "gl/GLTexture.h"

#include <vector>

class CPUOctTreeNode;
namespace Classification {
class PreintTransferFunction1D;
}

namespace occupancy {

constexpr unsigned char kFar = 255;  // distance of a leaf with nothing visible near it

// Whether each table entry shows at all (any channel non-zero), as running counts:
// counts[k] = entries below k that show. `rgba` holds `entries` entries of four
// channels, `stride` channels apart.
std::vector<int> visibleCounts(const unsigned short* rgba, int entries, int stride);

// Cells of a grid of `size` leaves (x fastest): 0 where a leaf of the tree may show
// through a table of `entries` entries with the given counts, kFar where it cannot.
// Cells without a leaf (a subtree that could not be built) count as showing.
std::vector<unsigned char> classifyLeaves(const CPUOctTreeNode& root, const double* scale,
                                          const int* size, const std::vector<int>& counts);

// Turns cells of 0 (showing) and kFar into the Chebyshev distance to the nearest 0,
// capped at kFar. Space beyond the grid counts as empty.
void chebyshevDistances(std::vector<unsigned char>& cells, const int* size);

// The texels of the grid from classified cells (which become their distances): per
// leaf the distance to the nearest showing leaf (0 where it shows itself) and the
// distance to the nearest leaf that does not show (0 where it does not show).
std::vector<unsigned char> distanceTexels(std::vector<unsigned char>& cells, const int* size);

} // namespace occupancy

class OccupancyGrid {
public:
    // Creates the (empty) texture; needs a current context.
    OccupancyGrid();

    // Rebuilds and uploads the grid when the tree (see invalidate), the transfer
    // function, its table contents, the pre-integration table or `usePreint` differ
    // from the last build. Returns whether it rebuilt. Uses the texture's own unit and
    // leaves it active with this texture bound.
    bool update(const CPUOctTreeNode* root, const unsigned char* maxLevel, const double* scale,
                Classification::PreintTransferFunction1D* tf, bool usePreint);
    // The tree was replaced: the next update rebuilds.
    void invalidate() { built = false; }

    GLTex::GLTex3D texture;          // LUMINANCE8_ALPHA8, one texel per leaf, nearest, clamped
    int size[3];                     // leaves per axis; 0 until the first build
    std::vector<unsigned char> cells; // per leaf the distance to the nearest showing one, x fastest
    std::vector<unsigned char> texels; // uploaded: that distance and the run of showing leaves

private:
    bool inputsChanged(Classification::PreintTransferFunction1D* tf, bool usePreint, int preintWidth) const;

    // What the last build used.
    bool built;
    Classification::PreintTransferFunction1D* builtFunction;
    bool builtPreint;
    std::vector<unsigned short> builtTable;  // the CPU lookup table, compared every frame
    double builtPreintDistance;
    int builtPreintWidth;
};
