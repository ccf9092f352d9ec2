// One template does the range search and the stretch for all three voxel types; the
// entry points only add their console lines. A volume of one single value has no span
// and becomes all zeros (the plain formula would divide zero by zero).
#include "volume/IntensityRange.h"

#include <cmath>
#include <iostream>
#include <utility>

namespace {

template <typename In>
std::pair<In, In> valueRange(const In* voxels, unsigned count)
{
    In smallest = voxels[0], largest = voxels[0];
    for (unsigned i = 1; i < count; ++i) {
        if (voxels[i] < smallest)
            smallest = voxels[i];
        if (voxels[i] > largest)
            largest = voxels[i];
    }
    return {smallest, largest};
}

// v -> trunc((v - smallest) / span * top), in double precision with a single-precision
// span. Written through Out so a signed array can be rewritten as unsigned in place.
template <typename In, typename Out>
void stretch(In* voxels, unsigned count, std::pair<In, In> range, double top)
{
    Out* out = reinterpret_cast<Out*>(voxels);
    const int smallest = range.first;
    const float span = float(int(range.second) - smallest);
    if (span == 0.0f) {
        for (unsigned i = 0; i < count; ++i)
            out[i] = 0;
        return;
    }
    for (unsigned i = 0; i < count; ++i)
        out[i] = Out(std::trunc(double(int(voxels[i]) - smallest) / span * top));
}

template <typename T>
void reportRange(const char* label, std::pair<T, T> range)
{
    std::cout << label << " [" << int(range.first) << ", " << int(range.second) << "]\n";
}

} // namespace

void rescaleUnsignedByte(unsigned char* voxels, unsigned count)
{
    if (count == 0)
        return;  // no first voxel to start the range from
    std::pair<unsigned char, unsigned char> range = valueRange(voxels, count);
    reportRange("UCHAR Intensity Range", range);
    if (range.first == 0 && range.second == 255)
        return;
    stretch<unsigned char, unsigned char>(voxels, count, range, 255.0);
}

void rescaleUnsignedShort(unsigned short* voxels, unsigned count)
{
    if (count == 0)
        return;
    std::pair<unsigned short, unsigned short> range = valueRange(voxels, count);
    reportRange("USHORT Intensity Range", range);
    if (range.first == 0 && range.second == 65535)
        return;
    stretch<unsigned short, unsigned short>(voxels, count, range, 65535.0);
    reportRange("USHORT Intensity Range after rescale", valueRange(voxels, count));
}

void convertSignedShort(short* voxels, unsigned count)
{
    if (count == 0)
        return;
    std::pair<short, short> range = valueRange(voxels, count);
    reportRange("SHORT Intensity Range", range);
    stretch<short, unsigned short>(voxels, count, range, 65535.0);
}
