// Diagrams of a volume that a transfer function carries: the intensity histogram that
// the editor draws, and the normalised gradient magnitude. Both work on the stretched
// voxels (0 to 255 or 0 to 65535) and write a percentage progress line while they run.
#pragma once

#include <vector>

namespace ClassificationDiagram {

class Diagram {
public:
    virtual ~Diagram() = default;

    // dims are the volume's extents, x first; their product is the voxel count.
    // normalisedOut receives one float per voxel (the histogram accepts null).
    virtual void compute(const unsigned short* voxels, std::vector<int>& dims, float* normalisedOut) = 0;
    virtual void compute(const unsigned char* voxels, std::vector<int>& dims, float* normalisedOut) = 0;

    // Counts value in bin trunc(value / maxValue * (binCount - 1)); a value outside the
    // bins (before any computation, or above maxValue) is not counted.
    void addSample(unsigned value);
    void updateMaxCount();
    // The count that about a tenth of the occupied bins exceed: the editor's height scale.
    unsigned displayMaximum();

    std::vector<unsigned> bins;        // one count per bin; empty until computed
    std::vector<int> dims;             // extents of the last computed volume, x first
    float maxValue = 0.0f;             // value that falls into the last bin; 0 = not computed
    int binCount = 256;                // bins the next computation creates
    unsigned displayMaximumCache = 0;  // last displayMaximum result; 0 = not computed
    unsigned maxCount = 0;             // largest entry of bins
};

class Histogram : public Diagram {
public:
    void compute(const unsigned short* voxels, std::vector<int>& dims, float* normalisedOut) override;
    void compute(const unsigned char* voxels, std::vector<int>& dims, float* normalisedOut) override;
};

// normalisedOut[i] becomes the voxel's central-difference gradient magnitude divided by
// the largest one; the two voxels nearest each face stay 0. Needs exactly three extents.
class GradientDiagram : public Diagram {
public:
    void compute(const unsigned short* voxels, std::vector<int>& dims, float* normalisedOut) override;
    void compute(const unsigned char* voxels, std::vector<int>& dims, float* normalisedOut) override;
};

} // namespace ClassificationDiagram
