// The geometry on whose faces the ray caster's rays start and end: the octree's visible
// blocks as quads in a GPU vertex buffer over a fixed index buffer, reclassified only
// when an input changes, and single boxes round the whole volume. Drawing the blocks
// themselves is the ray caster's business; it binds the two buffers and uses indexType.
#pragma once

#include "gl/VertexBufferObject.h"
#include "render/CPUOctTreeNode.h"

#include <GL/glew.h>

#include <memory>

class BoundingGeometry {
public:
    // Corner indices of a box's six faces, four each, counter-clockwise seen from
    // outside: z1, y1, y0, z0, x1, x0. Also the pattern of every block in indexBuffer.
    static constexpr unsigned char faceTable[24] = {
        3, 2, 1, 0, 0, 1, 5, 4, 7, 6, 2, 3, 6, 7, 4, 5, 2, 6, 5, 1, 7, 3, 0, 4,
    };
    static constexpr int floatsPerBox = 24;   // eight corners of x, y, z
    static constexpr int indicesPerBox = 24;  // six quads
    static constexpr GLenum indexType = GL_UNSIGNED_INT; // type of indexBuffer's entries

    // Creates both buffers at their full size for `maxLevel` (three levels, one per
    // axis). Throws "GL_BUFFER_SIZE exceeded" when they cannot be had.
    explicit BoundingGeometry(const unsigned char* maxLevel);
    ~BoundingGeometry();
    BoundingGeometry(const BoundingGeometry&) = delete;
    BoundingGeometry& operator=(const BoundingGeometry&) = delete;

    // Replaces the tree by one built from `voxels` (unsigned char or unsigned short).
    template <typename T>
    void build(const T* voxels, const int* dims, const double* scale);
    // After a signed 16-bit volume was converted to unsigned values in place: refreshes
    // the leaf ranges of a 16-bit tree; an 8-bit tree is left alone.
    void refreshSigned(const unsigned short* voxels);

    // Per-frame inputs. Each reaches the tree only when it differs from the last one,
    // and the vertex buffer is rewritten only when the blocks it holds changed.
    void updateRange(float lower, float upper);
    void updateClip(const double* clipMin, const double* clipMax);
    void updateThreshold(float threshold);
    void setMode(int mode);
    // Writes the visible boxes to `vertices` and uploads them.
    void rebuildVertexBuffer();

    // Whether the last clip box leaves nothing to draw: it misses the volume, or it is
    // thinner than a voxel along an axis.
    bool clipHidesAll() const;
    // The whole volume's box, cut to the last clip box or not, from client memory.
    void drawClippedBox();
    void drawBox();

    unsigned char maxLevel[3];   // octree levels per axis
    float thresholdCache;        // last iso threshold given to the tree; -1 = none yet
    float rangeLowerCache;       // last lower bound of the visible range; -1 = none yet
    float rangeUpperCache;       // last upper bound of the visible range; -1 = none yet
    double clipMinCache[3];      // last lower clip corner; (1, 1, 1) = none yet
    double clipMaxCache[3];      // last upper clip corner; (-1, -1, -1) = none yet
    double scale[3];             // object-space extent of the volume, longest axis 1
    int dims[3];                 // voxels per axis
    std::unique_ptr<CPUOctTreeNode> root; // null until the first build
    int mode;                    // bit 0: blocks visible by range, bit 1: by threshold
    std::unique_ptr<float[]> vertices;    // staging for up to maxBlocks boxes, 24 floats each
    std::unique_ptr<VertexBufferObject> vertexBuffer; // box corners, 96 bytes per box
    std::unique_ptr<VertexBufferObject> indexBuffer;  // 24 indices per block, for all maxBlocks
    int blockCount;              // boxes in vertexBuffer; 0 = nothing to draw
    int maxBlocks;               // leaves of a full tree
    int indexBytes;              // size of indexBuffer
    int vertexBytes;             // size of vertexBuffer

private:
    void resetCaches();
    void drawFromClient(const double* lo, const double* hi, float* corners);
};

extern template void BoundingGeometry::build<unsigned char>(const unsigned char*, const int*,
                                                            const double*);
extern template void BoundingGeometry::build<unsigned short>(const unsigned short*, const int*,
                                                             const double*);
