// Reads a MetaImage header (".mhd") and the raw voxel file it names into a VolumeRecord.
// Only the subset the game needs: one scalar volume of up to four dimensions, stored
// uncompressed in a separate file in the machine's byte order. Nothing is swapped.
#pragma once

#include "volume/VolumeRecord.h"

#include <string>

// The game's volume at the fixed path "./taa.mhd".
void loadMetaImage(VolumeRecord& record);

// Fields the loader does not reach keep the caller's values: set voxels to null and the
// spacings to 1.0 first. An unreadable data file ends the process with status 1.
void loadMetaImage(VolumeRecord& record, const std::string& headerPath);
