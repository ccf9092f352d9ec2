// Stretches a voxel array in place so that its smallest value becomes 0 and its largest
// the type's maximum, and writes the range found to standard output. Signed 16-bit
// volumes come out as unsigned 16-bit values.
#pragma once

// Left untouched when the volume already spans 0 to 255.
void rescaleUnsignedByte(unsigned char* voxels, unsigned count);

// Left untouched when the volume already spans 0 to 65535; otherwise the new range is
// reported as well.
void rescaleUnsignedShort(unsigned short* voxels, unsigned count);

// Always converted; afterwards the array holds unsigned 16-bit values.
void convertSignedShort(short* voxels, unsigned count);
