// The transfer function the game creates for every layer: adds the pre-integrated table
// of colour and opacity per pair of lookup entries, uploaded as a 2D texture. It is
// computed from the current lookup table, so it is stale after every table change
// until the next computePreintegration().
#pragma once

#include "classification/VornTransferFunction1D.h"

namespace Classification {

class PreintTransferFunction1D : public VornTransferFunction1D {
public:
    GLTex::GLTex2D preintTexture;  // RGBA, unsigned short, tableSize x tableSize; unit set by the owner
    unsigned short* preintTable;   // owned, N x N x (r, g, b, a); entry (row r, column c) at r N + c
    double sampleDistance;         // ray segment length in the lookup table's opacity units; 1.0

    PreintTransferFunction1D();
    ~PreintTransferFunction1D() override;

    // The same size changes nothing; otherwise both tables are reallocated and the
    // texture sizes follow. Nothing is recomputed or uploaded.
    void setTableSize(int n) override;
    // Integrates the current lookup table and uploads it (clamped, linear). Leaves the
    // texture bound on its unit and that unit active. Does nothing before a lookup
    // table exists.
    void computePreintegration();
};

} // namespace Classification
