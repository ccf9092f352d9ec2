// The arithmetic of the 1D lookup table: shapes rasterised into N entries of four
// unsigned 16-bit channels (red, green, blue, alpha; 65535 = 1.0, not premultiplied).
// No GL here; VornTransferFunction1D fills its table with it and uploads the result.
#pragma once

#include "classification/TransferFunctionGeometry.h"

#include <vector>

namespace Classification {

constexpr int kLookupChannels = 4;          // red, green, blue, alpha per entry
constexpr float kChannelMax = 65535.0f;     // the stored value of 1.0

// 0..1 to a stored channel, truncated toward zero; out-of-range values saturate.
unsigned short toChannel(float value);

// Rasterises `shapes` (first four points and first three colours of each, read as a
// trapezoid) into `size` entries at x = i / (size - 1). Where shapes overlap the higher
// opacity wins and a tie keeps the earlier shape. Returns false, leaving the table
// untouched, when the visible range lies wholly outside 0..1 or size is below 2.
bool rasteriseLookupTable(const std::vector<TransferFunctionGeometry*>& shapes, float rangeMin,
                          float rangeMax, int size, unsigned short* table);

} // namespace Classification
