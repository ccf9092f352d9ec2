#include "classification/TfnReader.h"

#include <iostream>
#include <sstream>

namespace Classification {

namespace {

constexpr int kRampKind = 0;
constexpr int kTrapezoidKind = 1;
constexpr float kTopIntensity = 4095.0f;  // the ascending ramp stays opaque up to here
constexpr const char* kDescending = "True";

// One line without its end-of-line characters (a "\r" of a CRLF file included).
bool readLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

// The first whitespace-delimited number of the next line; the rest of it is ignored.
template <typename T>
bool readNumber(std::istream& in, T& value)
{
    std::string line;
    if (!readLine(in, line))
        return false;
    std::istringstream items(line);
    return bool(items >> value);
}

ShapeColour unpackColour(long long packed)
{
    unsigned long long bits = (unsigned long long)packed;
    return {float(bits & 255u) / kColourByteScale, float((bits >> 8) & 255u) / kColourByteScale,
            float((bits >> 16) & 255u) / kColourByteScale, 0.0f};
}

// Body of a ramp record: points in scanner units.
bool readRamp(std::istream& in, std::vector<ShapePoint>& p)
{
    float width, centre, opacity;
    std::string skipped, direction;
    if (!readNumber(in, width) || !readNumber(in, centre) || !readNumber(in, opacity) ||
        !readLine(in, skipped) || !readLine(in, direction))
        return false;
    // Never start below intensity 0.
    const float w = width <= 2.0f * centre ? width : 2.0f * centre;
    if (direction == kDescending)
        p = {{0.0f, 0.0f}, {0.0f, opacity}, {centre - w / 2.0f, opacity}, {centre + w / 2.0f, 0.0f}};
    else
        p = {{centre - w / 2.0f, 0.0f}, {centre + w / 2.0f, opacity},
             {kTopIntensity, opacity}, {kTopIntensity, 0.0f}};
    return true;
}

bool readTrapezoid(std::istream& in, std::vector<ShapePoint>& p)
{
    float start, end, leftRamp, rightRamp, opacity;
    std::string skipped;
    if (!readNumber(in, start) || !readNumber(in, end) || !readNumber(in, leftRamp) ||
        !readNumber(in, rightRamp) || !readNumber(in, opacity) || !readLine(in, skipped))
        return false;
    p = {{start, 0.0f}, {start + leftRamp, opacity}, {end - rightRamp, opacity}, {end, 0.0f}};
    return true;
}

} // namespace

TfnReadResult readTfnRecords(std::istream& in, std::vector<TfnRecord>& records)
{
    long long count;
    if (!readNumber(in, count))
        return TfnReadResult::Truncated;
    for (long long r = 0; r < count; ++r) {
        int kind;
        TfnRecord record;
        if (!readNumber(in, kind))
            return TfnReadResult::Truncated;
        if (kind != kRampKind && kind != kTrapezoidKind) {
            std::cerr << "Format not supported" << std::endl;
            return TfnReadResult::UnsupportedKind;
        }
        if (!readLine(in, record.name))
            return TfnReadResult::Truncated;
        bool body = kind == kRampKind ? readRamp(in, record.points) : readTrapezoid(in, record.points);
        if (!body)
            return TfnReadResult::Truncated;
        for (ShapePoint& p : record.points)
            p.x /= kScannerUnits;
        for (ShapeColour& c : record.colours) {
            long long packed;
            if (!readNumber(in, packed))
                return TfnReadResult::Truncated;
            c = unpackColour(packed);
        }
        records.push_back(record);
    }
    return TfnReadResult::Complete;
}

} // namespace Classification
