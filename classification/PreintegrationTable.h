// The arithmetic of the pre-integration table: for every pair of lookup entries the
// colour and opacity that one ray segment accumulates while the intensity runs linearly
// between them. No GL here; PreintTransferFunction1D fills its table with it and uploads.
#pragma once

namespace Classification {

// Fills `out` (size x size entries of red, green, blue, alpha, 65535 = 1.0; entry (r, c)
// at r * size + c, symmetric) from `lookup` (size entries, same layout) for segments of
// length `sampleDistance`. Double precision; every result is exactly what the plain
// per-sample evaluation gives, only the work that cannot change a rounding is skipped.
void integratePreintegrationTable(const unsigned short* lookup, int size, double sampleDistance,
                                  unsigned short* out);

} // namespace Classification
