// The volume as the loader delivers it: voxel type, extents, the voxel array and the
// spacings. A plain record; the caller owns the voxel array once the loader returns.
#pragma once

struct VolumeRecord {
    unsigned voxelType;     // GL data type (GL_UNSIGNED_BYTE, GL_SHORT, ...); caller's value until "ElementType"
    int extent[4];          // voxels along x, y, z and a fourth axis; an axis the header omits is 1
    unsigned char* voxels;  // x fastest, then y, then z; new[]-allocated, caller frees with delete[]; null = none
    float spacing[3];       // voxel centre distance along x, y, z in header units; 1.0 = not given
};
