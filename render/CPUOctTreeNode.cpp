// Building, classifying, clipping and emitting the min/max octree. Voxels are read only
// while building (and by refreshRanges); the per-frame operations touch nodes only.
#include "render/CPUOctTreeNode.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>
#include <iostream>
#include <limits>

namespace {

// Slack around a leaf's value range for the iso threshold, so that a threshold lying
// on the range's edge survives the float rounding of the stored range.
constexpr double kThresholdTolerance = 0.0001;

// Leaf corners are dyadic fractions of the unit box, far coarser than this grid; it
// lets refreshRanges recover them exactly from the stored, scaled corners.
constexpr double kUnitGrid = 1048576.0; // 2^20

// Smallest and largest voxel of the leaf's unit box plus one voxel layer on every side
// where the volume has one: the sampler interpolates across block borders.
template <typename T>
void scanValueRange(const T* voxels, const int* dims, const double* unitMin, const double* unitMax,
                    NodeBox& box)
{
    int first[3], end[3];
    for (int a = 0; a < 3; ++a) {
        first[a] = std::max(0, static_cast<int>(dims[a] * unitMin[a]) - 1);
        // At its far side the sampler reads voxel ceil(D u - 0.5). Where blocks split the
        // voxels evenly that is the layer after the block; where a border falls past a
        // voxel's middle (113 voxels in 32 blocks) it is one further, which the ray
        // caster's empty-space skipping must not miss.
        const double far = dims[a] * unitMax[a];
        end[a] = std::min(dims[a], std::max(static_cast<int>(far), static_cast<int>(std::ceil(far - 0.5))) + 1);
    }
    T lowest = std::numeric_limits<T>::max();
    T highest = 0;
    for (int z = first[2]; z < end[2]; ++z) {
        for (int y = first[1]; y < end[1]; ++y) {
            const T* row = voxels + std::size_t(dims[0]) * (std::size_t(y) + std::size_t(dims[1]) * z);
            for (int x = first[0]; x < end[0]; ++x) {
                lowest = std::min(lowest, row[x]);
                highest = std::max(highest, row[x]);
            }
        }
    }
    // An empty index box leaves [1, 0], which no range or threshold can meet.
    const double divisor = std::numeric_limits<T>::max();
    box.valueMin = static_cast<float>(lowest / divisor);
    box.valueMax = static_cast<float>(highest / divisor);
}

double unitCoordinate(double corner, double scale)
{
    // A plain division may land an ulp below the grid point, and the truncation in
    // scanValueRange would then drop the leaf's upper margin layer.
    return std::round(corner / scale * kUnitGrid) / kUnitGrid;
}

} // namespace

void writeBoxCorners(const double* lo, const double* hi, float* out)
{
    // Per corner and axis: 1 takes the upper bound. Corners 0-3 lie on z1, 4-7 on z0.
    static const unsigned char upper[8][3] = {
        {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {0, 0, 1},
        {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0},
    };
    for (int c = 0; c < 8; ++c)
        for (int a = 0; a < 3; ++a)
            out[3 * c + a] = static_cast<float>(upper[c][a] ? hi[a] : lo[a]);
}

CPUOctTreeNode::CPUOctTreeNode()
    : type(Inner), box{}, childCount(0), rangeVisible(0), thresholdVisible(0), clipped(0),
      rangeChanged(0), thresholdChanged(0), clipChanged(0)
{
    box.valueMin = 0.0f;
    box.valueMax = 1.0f;
}

CPUOctTreeNode::~CPUOctTreeNode() = default;

unsigned char CPUOctTreeNode::classifyThreshold(float threshold)
{
    thresholdChanged = 0;
    if (isLeaf()) {
        const float lower = static_cast<float>(box.valueMin - kThresholdTolerance);
        const float upper = static_cast<float>(box.valueMax + kThresholdTolerance);
        const unsigned char visible = lower <= threshold && upper >= threshold;
        if (visible != thresholdVisible) {
            thresholdChanged = 1;
            thresholdVisible = visible;
        }
        return thresholdChanged;
    }
    unsigned char all = 1;
    for (auto& child : children) {
        if (!child)
            continue;
        thresholdChanged |= child->classifyThreshold(threshold);
        all = all && child->thresholdVisible;
    }
    thresholdVisible = all;
    return thresholdChanged;
}

unsigned char CPUOctTreeNode::classifyRange(float lower, float upper)
{
    rangeChanged = 0;
    if (isLeaf()) {
        // Closed intervals: a range that only touches the leaf's values still overlaps.
        const unsigned char visible = box.valueMin <= upper && lower <= box.valueMax;
        if (visible != rangeVisible) {
            rangeChanged = 1;
            rangeVisible = visible;
        }
        return rangeChanged;
    }
    unsigned char all = 1;
    for (auto& child : children) {
        if (!child)
            continue;
        rangeChanged |= child->classifyRange(lower, upper);
        all = all && child->rangeVisible;
    }
    rangeVisible = all;
    return rangeChanged;
}

unsigned char CPUOctTreeNode::clip(const double* clipMin, const double* clipMax)
{
    if (isLeaf()) {
        unsigned char outside = 0;
        unsigned char boxMoves = 0;
        for (int a = 0; a < 3; ++a) {
            // Strict comparisons: a block that only touches the clip box stays in.
            if (box.min[a] > clipMax[a] || clipMin[a] > box.max[a]) {
                outside = 1;
                break;
            }
            if (std::max(box.min[a], clipMin[a]) != box.clippedMin[a] ||
                std::min(box.max[a], clipMax[a]) != box.clippedMax[a])
                boxMoves = 1;
        }
        // Only a box that will be emitted is worth recomputing (and reporting).
        clipChanged = !outside && boxMoves;
        if (clipChanged)
            setClippedBox(clipMin, clipMax);
        if (outside != clipped) {
            clipChanged = 1;
            clipped = outside;
        }
        return clipChanged;
    }
    clipChanged = 0;
    unsigned char all = 1;
    for (auto& child : children) {
        if (!child)
            continue;
        clipChanged |= child->clip(clipMin, clipMax);
        all = all && child->clipped;
    }
    clipped = all;
    if (clipChanged)
        setClippedBox(clipMin, clipMax);
    return clipChanged;
}

void CPUOctTreeNode::setClippedBox(const double* clipMin, const double* clipMax)
{
    for (int a = 0; a < 3; ++a) {
        box.clippedMin[a] = std::max(box.min[a], clipMin[a]);
        box.clippedMax[a] = std::min(box.max[a], clipMax[a]);
    }
}

int CPUOctTreeNode::emitBlocks(int mode, float* vertices, int* offset)
{
    if (clipped)
        return 0;
    // Inner flags are the AND of their children's, so a wholly visible region comes out
    // as the one box of its largest node.
    if (((mode & 1) && rangeVisible) || ((mode & 2) && thresholdVisible)) {
        writeBoxCorners(box.clippedMin, box.clippedMax, vertices + *offset);
        *offset += 24;
        return 1;
    }
    int written = 0;
    for (auto& child : children)
        if (child)
            written += child->emitBlocks(mode, vertices, offset);
    return written;
}

template <typename T>
void CPUOctTreeNode::refreshSubtree(const T* voxels, const int* dims, const double* scale)
{
    if (isLeaf()) {
        double unitMin[3], unitMax[3];
        for (int a = 0; a < 3; ++a) {
            unitMin[a] = unitCoordinate(box.min[a], scale[a]);
            unitMax[a] = unitCoordinate(box.max[a], scale[a]);
        }
        scanValueRange(voxels, dims, unitMin, unitMax, box);
        return;
    }
    for (auto& child : children)
        if (child)
            child->refreshSubtree(voxels, dims, scale);
}

template void CPUOctTreeNode::refreshSubtree<unsigned short>(const unsigned short*, const int*,
                                                             const double*);

template <typename T>
CPUOctTreeNodeT<T>::CPUOctTreeNodeT(const T* voxels, const int* dims, const double* unitMin,
                                    const double* unitMax, const double* scale,
                                    const unsigned char* level, const unsigned char* maxLevel)
{
    bool top = true, bottom = true;
    for (int a = 0; a < 3; ++a) {
        box.min[a] = box.clippedMin[a] = unitMin[a] * scale[a];
        box.max[a] = box.clippedMax[a] = unitMax[a] * scale[a];
        top = top && level[a] == 0;
        bottom = bottom && level[a] == maxLevel[a];
    }
    // A leaf at level (0, 0, 0) is still a leaf: a one-block tree.
    type = bottom ? Leaf : top ? Root : Inner;
    if (type == Leaf) {
        scanValueRange(voxels, dims, unitMin, unitMax, box);
        return;
    }

    bool split[3];
    double mid[3];
    for (int a = 0; a < 3; ++a) {
        split[a] = level[a] != maxLevel[a];
        mid[a] = (unitMin[a] + unitMax[a]) * 0.5;
    }
    for (int k = 0; k < 2; ++k) {
        for (int j = 0; j < 2; ++j) {
            for (int i = 0; i < 2; ++i) {
                const int half[3] = {i, j, k};
                if ((i && !split[0]) || (j && !split[1]) || (k && !split[2]))
                    continue;
                double childMin[3], childMax[3];
                unsigned char childLevel[3];
                for (int a = 0; a < 3; ++a) {
                    childMin[a] = split[a] && half[a] ? mid[a] : unitMin[a];
                    childMax[a] = split[a] && !half[a] ? mid[a] : unitMax[a];
                    childLevel[a] = static_cast<unsigned char>(level[a] + (split[a] ? 1 : 0));
                }
                // A subtree that cannot be allocated is left out; every operation skips it.
                try {
                    children[4 * k + 2 * j + i] = std::make_unique<CPUOctTreeNodeT<T>>(
                        voxels, dims, childMin, childMax, scale, childLevel, maxLevel);
                } catch (const std::exception& e) {
                    std::cout << e.what() << std::endl;
                }
            }
        }
    }
    childCount = 8;
}

template class CPUOctTreeNodeT<unsigned char>;
template class CPUOctTreeNodeT<unsigned short>;
