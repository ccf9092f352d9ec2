// Writes a volume as a MetaImage pair: a text header and a raw file of little-endian
// signed 16-bit voxels, x fastest. Only keys that the game reads, or skips unharmed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace phantom {

struct MetaImage {
    int size[3];                     // voxels along x, y, z
    double spacing[3];               // mm between voxel centres
    const std::vector<std::int16_t>* voxels;
};

// The header text for a raw file called `rawName` (no directory: the game looks for it
// beside the header).
std::string metaImageHeader(const MetaImage& image, const std::string& rawName);

// Writes `directory`/`name`.mhd and `directory`/`name`.raw. Each file is written under
// a temporary name and renamed when complete, so an interrupted run never leaves a
// truncated volume that looks current. Throws std::runtime_error on failure.
void writeMetaImage(const MetaImage& image, const std::string& directory, const std::string& name);

// Writes `bytes` to `path` through a temporary file and a rename.
void writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes);

} // namespace phantom
