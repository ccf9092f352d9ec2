// The min/max octree of empty-space skipping: leaves keep the intensity range of their
// voxel block, and each frame the tree is classified against the transfer function's
// visible range, the iso threshold and the clip box, then writes out the visible boxes.
// It knows nothing of GL; the buffers and the drawing live in BoundingGeometry.
#pragma once

#include <memory>
#include <type_traits>

// Box of one node in normalised object coordinates (the volume spans [0, scale]).
struct NodeBox {
    double min[3];        // lower corner of the node's block
    double max[3];        // upper corner of the node's block
    float valueMin;       // smallest normalised intensity in the block (leaves); 0.0 until scanned
    float valueMax;       // largest normalised intensity in the block (leaves); 1.0 until scanned
    double clippedMin[3]; // lower corner cut by the clip box; equals min until clipped
    double clippedMax[3]; // upper corner cut by the clip box; equals max until clipped
};

// Writes the eight corners of the box [lo, hi] as 24 floats in the box layout shared by
// the emitted blocks, the whole-volume boxes and the face table of BoundingGeometry.
void writeBoxCorners(const double* lo, const double* hi, float* out);

// A node of the tree. Nodes are only built through CPUOctTreeNodeT<T>; every per-frame
// operation lives here and treats root and inner nodes alike.
class CPUOctTreeNode {
public:
    enum Type { Root = 0, Inner = 1, Leaf = 2 };

    virtual ~CPUOctTreeNode();
    CPUOctTreeNode(const CPUOctTreeNode&) = delete;
    CPUOctTreeNode& operator=(const CPUOctTreeNode&) = delete;

    // Each returns true when a visibility flag (or, for clip, a clipped box) in this
    // subtree changed, so the caller can skip rewriting unchanged geometry.
    virtual unsigned char classifyThreshold(float threshold);
    virtual unsigned char classifyRange(float lower, float upper);
    virtual unsigned char clip(const double* clipMin, const double* clipMax);
    // mode bit 0: emit range-visible blocks, bit 1: threshold-visible blocks. Writes 24
    // floats per box at vertices + *offset and advances *offset (counted in floats).
    virtual int emitBlocks(int mode, float* vertices, int* offset);

    int type;                                  // Root, Inner or Leaf
    NodeBox box;                               // object-space block of this node
    unsigned char childCount;                  // slots in use: 8 for root and inner nodes, 0 for leaves
    std::unique_ptr<CPUOctTreeNode> children[8]; // slot 4k + 2j + i = half k in z, j in y, i in x; null = none
    unsigned char rangeVisible;                // last range classification
    unsigned char thresholdVisible;            // last threshold classification
    unsigned char clipped;                     // the block lies entirely outside the last clip box
    unsigned char rangeChanged;                // last range classification changed this subtree
    unsigned char thresholdChanged;            // last threshold classification changed this subtree
    unsigned char clipChanged;                 // last clip test changed a flag or clipped box here

protected:
    CPUOctTreeNode();

    bool isLeaf() const { return type == Leaf; }
    // Recomputes every leaf's value range from new voxel contents of type T.
    template <typename T>
    void refreshSubtree(const T* voxels, const int* dims, const double* scale);

private:
    void setClippedBox(const double* clipMin, const double* clipMax);
};

// The building constructor for one voxel type (unsigned char or unsigned short).
template <typename T>
class CPUOctTreeNodeT : public CPUOctTreeNode {
    static_assert(std::is_same<T, unsigned char>::value || std::is_same<T, unsigned short>::value,
                  "the octree is built from 8-bit or 16-bit unsigned voxels");

public:
    // Builds the node for the unit box [unitMin, unitMax] (each axis within [0, 1]) at
    // `level` and, recursively, its subtree down to `maxLevel`. The voxel at x, y, z is
    // voxels[x + dims[0] * (y + dims[1] * z)]; boxes are stored multiplied by `scale`.
    CPUOctTreeNodeT(const T* voxels, const int* dims, const double* unitMin, const double* unitMax,
                    const double* scale, const unsigned char* level, const unsigned char* maxLevel);

    // Signed 16-bit volumes: the tree is built before their conversion to unsigned
    // values and its leaf ranges are refreshed afterwards; shape, boxes and flags stay.
    template <typename U = T, typename = std::enable_if_t<std::is_same<U, unsigned short>::value>>
    void refreshRanges(const unsigned short* voxels, const int* dims, const double* scale)
    {
        refreshSubtree(voxels, dims, scale);
    }
};

extern template class CPUOctTreeNodeT<unsigned char>;
extern template class CPUOctTreeNodeT<unsigned short>;
