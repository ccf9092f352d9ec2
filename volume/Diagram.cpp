// The histogram and gradient passes, written once as templates over the voxel type, and
// the progress line both of them print. Per voxel the histogram costs a table look-up and
// the progress line an integer compare: the bins of all values and the next voxel that
// passes a mark are worked out ahead with the same floating-point rules.
#include "volume/Diagram.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <limits>

namespace ClassificationDiagram {

namespace {

// "0%." then roughly every tenth "NN%.", then "100%\n", on one line of standard output.
// Voxel i has progress float(i / N); an item is written when it passes the mark, which
// then moves on by 0.1 (double precision), so the items fall where the roundings put them.
class ProgressLine {
public:
    explicit ProgressLine(std::uint64_t count) : count_(count), total_(double(count)) { next_ = firstAbove(0); }

    void step(std::uint64_t i)
    {
        if (i != next_)
            return;
        float p = fraction(i);
        if (p < 0.01)
            std::cout << "0%.";
        else
            std::cout << p * 100 << "%.";
        mark_ += 0.1;
        next_ = firstAbove(i + 1);
    }

    void finish() { std::cout << "100%\n"; }

private:
    float fraction(std::uint64_t i) const { return float(double(i) / total_); }

    // First voxel from `from` on whose progress exceeds the mark; count_ when none does.
    // The progress never decreases with i, so bisection finds it.
    std::uint64_t firstAbove(std::uint64_t from) const
    {
        std::uint64_t lo = from, hi = count_;
        while (lo < hi) {
            std::uint64_t mid = lo + (hi - lo) / 2;
            if (fraction(mid) > mark_)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }

    std::uint64_t count_;
    double total_;
    double mark_ = 0.0;
    std::uint64_t next_;
};

constexpr std::uint32_t kNoBin = std::numeric_limits<std::uint32_t>::max();

// trunc(value / maxValue * (binCount - 1)) in double precision; kNoBin outside the bins.
std::uint32_t binIndex(const Diagram& d, unsigned value)
{
    double bin = std::trunc(double(value) / double(d.maxValue) * double(d.binCount - 1));
    return bin >= 0.0 && bin < double(d.bins.size()) ? std::uint32_t(bin) : kNoBin;
}

std::uint64_t voxelCount(const std::vector<int>& dims)
{
    std::uint64_t n = 1;
    for (int d : dims)
        n *= std::uint64_t(d);
    return n;
}

template <typename T>
void histogramPass(Diagram& d, const T* voxels, float* normalisedOut, float maxValue)
{
    d.bins.assign(std::size_t(std::max(d.binCount, 0)), 0u);
    d.maxValue = maxValue;
    // addSample's bin for every value the type can hold, worked out once: the same
    // divisions, but not once per voxel.
    std::vector<std::uint32_t> binOf(std::size_t(std::numeric_limits<T>::max()) + 1);
    for (std::size_t value = 0; value < binOf.size(); ++value)
        binOf[value] = binIndex(d, unsigned(value));
    const std::uint64_t n = voxelCount(d.dims);
    ProgressLine progress(n);
    for (std::uint64_t i = 0; i < n; ++i) {
        progress.step(i);
        if (std::uint32_t bin = binOf[voxels[i]]; bin != kNoBin)
            ++d.bins[bin];
        if (normalisedOut)
            normalisedOut[i] = float(voxels[i]) / maxValue;
    }
    progress.finish();
}

template <typename T>
void gradientPass(Diagram& d, const T* voxels, float* normalisedOut, float typeMaximum)
{
    if (d.dims.size() != 3)
        return;
    d.bins.assign(std::size_t(std::max(d.binCount, 0)), 0u);
    d.maxValue = std::sqrt(3.0f) * typeMaximum;  // the largest magnitude possible; nothing is binned

    const std::int64_t X = d.dims[0], Y = d.dims[1], Z = d.dims[2];
    const std::int64_t row = X, slice = X * Y;
    ProgressLine progress(voxelCount(d.dims));
    float largest = 0.0f;
    std::uint64_t i = 0;
    for (std::int64_t z = 0; z < Z; ++z) {
        const bool zInside = z >= 2 && z <= Z - 3;
        for (std::int64_t y = 0; y < Y; ++y) {
            const bool yzInside = zInside && y >= 2 && y <= Y - 3;
            for (std::int64_t x = 0; x < X; ++x, ++i) {
                progress.step(i);
                float magnitude = 0.0f;
                if (yzInside && x >= 2 && x <= X - 3) {
                    std::int64_t gx = std::int64_t(voxels[i + 1]) - voxels[i - 1];
                    std::int64_t gy = std::int64_t(voxels[i + row]) - voxels[i - row];
                    std::int64_t gz = std::int64_t(voxels[i + slice]) - voxels[i - slice];
                    // 64-bit: three squared 16-bit differences overflow an int.
                    magnitude = float(std::sqrt(double(gx * gx + gy * gy + gz * gz)));
                }
                if (normalisedOut)
                    normalisedOut[i] = magnitude;
                largest = std::max(largest, magnitude);
            }
        }
    }
    // A volume without any gradient keeps its zeros instead of dividing 0 by 0.
    if (normalisedOut && largest > 0.0f)
        for (std::uint64_t k = 0; k < i; ++k)
            normalisedOut[k] /= largest;
    progress.finish();
}

template <typename T, typename Pass>
void computeWith(Diagram& d, Pass pass, const T* voxels, std::vector<int>& dims, float* normalisedOut,
                 float typeMaximum)
{
    d.dims = dims;
    pass(d, voxels, normalisedOut, typeMaximum);
    d.updateMaxCount();
    d.displayMaximumCache = 0;
}

} // namespace

void Diagram::addSample(unsigned value)
{
    if (std::uint32_t bin = binIndex(*this, value); bin != kNoBin)
        ++bins[bin];
}

void Diagram::updateMaxCount()
{
    maxCount = bins.empty() ? 0u : *std::max_element(bins.begin(), bins.end());
}

unsigned Diagram::displayMaximum()
{
    if (displayMaximumCache != 0)
        return displayMaximumCache;
    std::vector<unsigned> sorted = bins;
    std::sort(sorted.begin(), sorted.end(), std::greater<unsigned>());
    std::size_t occupied = std::size_t(std::find(sorted.begin(), sorted.end(), 0u) - sorted.begin());
    if (occupied == 0)
        return 0;
    displayMaximumCache = sorted[occupied / 10];
    return displayMaximumCache;
}

void Histogram::compute(const unsigned short* voxels, std::vector<int>& dims, float* normalisedOut)
{
    computeWith(*this, histogramPass<unsigned short>, voxels, dims, normalisedOut, 65535.0f);
}

void Histogram::compute(const unsigned char* voxels, std::vector<int>& dims, float* normalisedOut)
{
    computeWith(*this, histogramPass<unsigned char>, voxels, dims, normalisedOut, 255.0f);
}

void GradientDiagram::compute(const unsigned short* voxels, std::vector<int>& dims, float* normalisedOut)
{
    computeWith(*this, gradientPass<unsigned short>, voxels, dims, normalisedOut, 65535.0f);
}

void GradientDiagram::compute(const unsigned char* voxels, std::vector<int>& dims, float* normalisedOut)
{
    computeWith(*this, gradientPass<unsigned char>, voxels, dims, normalisedOut, 255.0f);
}

} // namespace ClassificationDiagram
