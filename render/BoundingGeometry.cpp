// Caches, buffers and box drawing of the bounding geometry. The octree does the
// classification; this class decides when it runs and when the GPU copy is rewritten.
#include "render/BoundingGeometry.h"

#include <climits>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kBytesPerBox = BoundingGeometry::floatsPerBox * sizeof(float);
constexpr int kIndexBytesPerBox = BoundingGeometry::indicesPerBox * sizeof(GLuint);

} // namespace

BoundingGeometry::BoundingGeometry(const unsigned char* maxLevel_)
    : maxLevel{maxLevel_[0], maxLevel_[1], maxLevel_[2]}, scale{1.0, 1.0, 1.0},
      dims{256, 256, 256}, mode(1), blockCount(0)
{
    resetCaches();
    vertexBuffer = std::make_unique<VertexBufferObject>(GL_ARRAY_BUFFER);
    indexBuffer = std::make_unique<VertexBufferObject>(GL_ELEMENT_ARRAY_BUFFER);

    // Levels beyond what an int byte count can hold would overflow the sizes below;
    // refuse them the way a buffer that cannot be had is refused.
    const int levelSum = maxLevel[0] + maxLevel[1] + maxLevel[2];
    if (levelSum > 30 || (static_cast<long long>(kIndexBytesPerBox) << levelSum) > INT_MAX)
        throw std::runtime_error("GL_BUFFER_SIZE exceeded");
    maxBlocks = 1 << levelSum;
    vertexBytes = kBytesPerBox * maxBlocks;
    indexBytes = kIndexBytesPerBox * maxBlocks;
    vertices = std::make_unique<float[]>(std::size_t(floatsPerBox) * maxBlocks);

    vertexBuffer->allocate(vertexBytes);
    indexBuffer->allocate(indexBytes);

    // 32-bit indices: 16-bit ones reach the corners of blocks 0 to 8191 only, while
    // the levels (5, 5, 5) emit up to 32768 blocks. The ray caster draws with indexType.
    std::vector<GLuint> indices(std::size_t(indicesPerBox) * maxBlocks);
    for (int b = 0; b < maxBlocks; ++b)
        for (int c = 0; c < indicesPerBox; ++c)
            indices[std::size_t(b) * indicesPerBox + c] = GLuint(8 * b + faceTable[c]);
    indexBuffer->upload(indices.data(), indexBytes);
}

BoundingGeometry::~BoundingGeometry() = default;

void BoundingGeometry::resetCaches()
{
    // Outside anything a caller passes, so the next inputs always reach the tree.
    thresholdCache = -1.0f;
    rangeLowerCache = -1.0f;
    rangeUpperCache = -1.0f;
    for (int a = 0; a < 3; ++a) {
        clipMinCache[a] = 1.0;
        clipMaxCache[a] = -1.0;
    }
}

template <typename T>
void BoundingGeometry::build(const T* voxels, const int* dims_, const double* scale_)
{
    root.reset();
    for (int a = 0; a < 3; ++a) {
        scale[a] = scale_[a];
        dims[a] = dims_[a];
    }
    // The new tree is unclassified: the next frame's inputs must reach it, and the old
    // tree's boxes must not be drawn should the new one show nothing.
    resetCaches();
    blockCount = 0;
    const double unitMin[3] = {0.0, 0.0, 0.0};
    const double unitMax[3] = {1.0, 1.0, 1.0};
    const unsigned char level[3] = {0, 0, 0};
    root = std::make_unique<CPUOctTreeNodeT<T>>(voxels, dims, unitMin, unitMax, scale, level,
                                                maxLevel);
}

template void BoundingGeometry::build<unsigned char>(const unsigned char*, const int*, const double*);
template void BoundingGeometry::build<unsigned short>(const unsigned short*, const int*,
                                                      const double*);

void BoundingGeometry::refreshSigned(const unsigned short* voxels)
{
    auto* tree = dynamic_cast<CPUOctTreeNodeT<unsigned short>*>(root.get());
    if (!tree)
        return;
    tree->refreshRanges(voxels, dims, scale);
    // Moving the caches off the last inputs makes the next update classify the
    // refreshed tree (a cached 0.0 stays 0.0).
    thresholdCache = thresholdCache * 1.1f;
    rangeLowerCache = rangeLowerCache * 1.1f;
    rangeUpperCache = rangeUpperCache * 1.1f;
}

void BoundingGeometry::updateRange(float lower, float upper)
{
    if (!root || (lower == rangeLowerCache && upper == rangeUpperCache))
        return;
    rangeLowerCache = lower;
    rangeUpperCache = upper;
    if (root->classifyRange(lower, upper) && (mode & 1))
        rebuildVertexBuffer();
}

void BoundingGeometry::updateClip(const double* clipMin, const double* clipMax)
{
    if (!root)
        return;
    bool same = true;
    for (int a = 0; a < 3; ++a)
        same = same && clipMin[a] == clipMinCache[a] && clipMax[a] == clipMaxCache[a];
    if (same)
        return;
    for (int a = 0; a < 3; ++a) {
        clipMinCache[a] = clipMin[a];
        clipMaxCache[a] = clipMax[a];
    }
    // Clipping shapes the boxes of every mode.
    if (root->clip(clipMin, clipMax))
        rebuildVertexBuffer();
}

void BoundingGeometry::updateThreshold(float threshold)
{
    if (!root || threshold == thresholdCache)
        return;
    thresholdCache = threshold;
    if (root->classifyThreshold(threshold) && (mode & 2))
        rebuildVertexBuffer();
}

void BoundingGeometry::setMode(int mode_)
{
    if (mode_ == mode)
        return;
    mode = mode_;
    rebuildVertexBuffer();
}

void BoundingGeometry::rebuildVertexBuffer()
{
    int offset = 0;
    blockCount = root ? root->emitBlocks(mode, vertices.get(), &offset) : 0;
    vertexBuffer->upload(vertices.get(), blockCount * kBytesPerBox);
}

bool BoundingGeometry::clipHidesAll() const
{
    if (!root || root->clipped)
        return true;
    for (int a = 0; a < 3; ++a)
        if (root->box.clippedMax[a] - root->box.clippedMin[a] < scale[a] / dims[a])
            return true;
    return false;
}

void BoundingGeometry::drawClippedBox()
{
    // A clip box that misses the volume leaves an inverted box, which would send rays
    // through the space beside the volume, and one thinner than a voxel has front and
    // back faces that no depth test tells apart: draw nothing instead.
    if (clipHidesAll())
        return;
    static float corners[floatsPerBox];
    drawFromClient(root->box.clippedMin, root->box.clippedMax, corners);
}

void BoundingGeometry::drawBox()
{
    if (!root)
        return;
    static float corners[floatsPerBox];
    drawFromClient(root->box.min, root->box.max, corners);
}

void BoundingGeometry::drawFromClient(const double* lo, const double* hi, float* corners)
{
    writeBoxCorners(lo, hi, corners);
    // Client pointers mean buffer offsets while a buffer is bound (the block buffers
    // may be), so unbind both for the draw; the caller's array state comes back after.
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, corners);
    glDrawElements(GL_QUADS, indicesPerBox, GL_UNSIGNED_BYTE, faceTable);
    glPopClientAttrib();
}
