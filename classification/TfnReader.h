// The ".tfn" text format: a count line, then per record a kind line (0 ramp, 1
// trapezoid), a name line, the body and three packed colour lines, one item a line.
// This turns the text into trapezoid records in normalised units; turning records into
// shapes of a transfer function is TransferFunction::loadFromFile.
#pragma once

#include "classification/TransferFunctionGeometry.h"

#include <istream>
#include <string>
#include <vector>

namespace Classification {

constexpr float kScannerUnits = 4096.0f;  // 12-bit scanner intensities / this = normalised
constexpr float kColourByteScale = 256.0f; // colour bytes / this = 0..1 (255 gives 0.99609375)

struct TfnRecord {
    std::string name;                // the whole name line
    std::vector<ShapePoint> points;  // four trapezoid points, x normalised, not yet clamped
    ShapeColour colours[3];          // foot, mid-ramp, plateau; alpha 0
};

enum class TfnReadResult {
    Complete,         // every announced record was read
    Truncated,        // a line was missing or held no number; records before it are kept
    UnsupportedKind,  // a kind other than 0 or 1; "Format not supported" was written
};

// Reads the records of one file in order into `records` (appending). Reading stops at
// the first record that cannot be read completely; that record is not added.
TfnReadResult readTfnRecords(std::istream& in, std::vector<TfnRecord>& records);

} // namespace Classification
