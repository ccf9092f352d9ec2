// MetaImage header parsing and the single-block voxel read. A header that would overrun
// the four-entry working arrays, ask for an empty volume, a box without length along an
// axis or a volume beyond 32-bit counts, or end with a type its data was not read with
// is refused, and the record is then handed back exactly as the caller gave it.
#include "volume/MetaImageLoader.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <new>
#include <string>
#include <utility>

namespace {

const char* const kLoaderTag = "MHD Loader >> ";
const char* const kCommonTag = "Common >> ";
const char* const kFixedHeaderPath = "./taa.mhd";

constexpr int kMaxDims = 4;

struct VoxelTypeName {
    const char* name;       // "ElementType" value
    unsigned glType;
    unsigned bytesPerVoxel;
};

constexpr VoxelTypeName kVoxelTypes[] = {
    {"MET_UCHAR", GL_UNSIGNED_BYTE, 1}, {"MET_SHORT", GL_SHORT, 2},
    {"MET_USHORT", GL_UNSIGNED_SHORT, 2}, {"MET_UINT", GL_UNSIGNED_INT, 4},
    {"MET_FLOAT", GL_FLOAT, 4},
};

// Working values while the header is parsed; only some of them reach the record.
struct HeaderValues {
    int nDims = 0;
    int extents[kMaxDims] = {1, 1, 1, 1};
    float spacings[kMaxDims] = {1.0f, 1.0f, 1.0f, 1.0f};
    float position[kMaxDims] = {};         // read, not used
    int channels = 1;                      // read, not used: the voxel count ignores it
    int headerSize = 0;                    // only warned about; data is read from byte 0
    std::string byteOrder;                 // read, not used: voxels stay in machine order
    unsigned bytesPerVoxel = 0;            // 0 until a supported "ElementType" was met
    const char* typeName = "";             // header name of that type
};

enum class Step { Continue, Stop, Refuse };

// The header path up to and including its last "/" or "\"; empty without either.
std::string headerDirectory(const std::string& path)
{
    std::string::size_type slash = path.rfind('/');
    std::string::size_type backslash = path.rfind('\\');
    std::string::size_type last;
    if (slash == std::string::npos)
        last = backslash;
    else if (backslash == std::string::npos)
        last = slash;
    else
        last = slash > backslash ? slash : backslash;
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

void removeAll(std::string& text, char c)
{
    std::string::size_type kept = 0;
    for (char ch : text)
        if (ch != c)
            text[kept++] = ch;
    text.resize(kept);
}

void skipLine(std::istream& in) { in.ignore(std::numeric_limits<std::streamsize>::max(), '\n'); }

std::string readTextValue(std::istream& in)
{
    std::string value;
    std::getline(in, value);
    removeAll(value, ' ');
    removeAll(value, '\r');
    return value;
}

// Reads `count` numbers; false, after the refusal line naming the key, when the text
// does not hold them. A malformed number would otherwise stop the parsing without a word.
template <typename T>
bool readValues(std::istream& in, const std::string& key, T* out, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!(in >> out[i])) {
            std::cout << kLoaderTag << "Header refused: " << key << " does not hold " << count
                      << (count == 1 ? " number" : " numbers") << std::endl;
            return false;
        }
    }
    return true;
}

// The voxel count and the byte count must both fit in 32 bits, as the rest of the
// system counts voxels that way. Multiplied step by step so that nothing wraps.
bool byteCountFits(const HeaderValues& h, std::uint64_t& byteCount)
{
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
    byteCount = 0;
    std::uint64_t voxelCount = 1;
    for (int extent : h.extents) {
        voxelCount *= std::uint64_t(extent);  // both factors below 2^32: no wrap
        if (voxelCount > kLimit)
            return false;
    }
    byteCount = voxelCount * h.bytesPerVoxel;
    return byteCount <= kLimit;
}

// Reads the voxel file into a fresh zeroed block. Returns null when the data is refused;
// an unopenable or unreadable file ends the process. The file is looked at before the
// block is allocated: a tiny header must not make the loader zero gigabytes for a file
// that cannot fill them.
unsigned char* readVoxels(const HeaderValues& h, const std::string& dataPath)
{
    std::cout << kLoaderTag << "Loading file " << dataPath << std::endl;
    if (h.bytesPerVoxel == 0) {
        std::cout << kLoaderTag << "Data refused: \"ElementDataFile\" comes before a supported \"ElementType\""
                  << std::endl;
        return nullptr;
    }
    std::uint64_t byteCount = 0;
    if (!byteCountFits(h, byteCount)) {
        std::cout << kLoaderTag << "Data refused: " << h.extents[0] << " x " << h.extents[1] << " x "
                  << h.extents[2] << " x " << h.extents[3] << " voxels of " << h.bytesPerVoxel
                  << " bytes do not fit in 32-bit counts" << std::endl;
        return nullptr;
    }

    std::ifstream data(dataPath, std::ios::in | std::ios::binary);
    if (data.bad()) {
        std::cout << "Warning: could not load image data! Reading error occured" << std::endl;
        std::exit(1);
    }
    if (!data.is_open()) {
        std::cout << "Warning: could not load image data!" << std::endl;
        std::exit(1);
    }
    // A directory opens but has no size; its read below takes the reading-error exit.
    data.seekg(0, std::ios::end);
    std::streamoff fileSize = data.tellg();
    data.clear();
    data.seekg(0);
    if (fileSize >= 0 && std::uint64_t(fileSize) < byteCount / 2 + byteCount % 2) {
        std::cout << kLoaderTag << "Header refused: DimSize and ElementType ask for " << byteCount << " bytes, but "
                  << dataPath << " holds " << fileSize << std::endl;
        return nullptr;
    }

    // Zeroed for every type, so a short file never hands uninitialised memory to the GPU.
    unsigned char* voxels = new (std::nothrow) unsigned char[byteCount]();
    if (!voxels) {
        std::cout << kLoaderTag << "Header refused: no memory for " << byteCount << " bytes of voxels" << std::endl;
        return nullptr;
    }
    data.read(reinterpret_cast<char*>(voxels), std::streamsize(byteCount));
    if (data.bad()) {  // an I/O error (a directory, a failing disk), not merely a short file
        delete[] voxels;
        std::cout << "Warning: could not load image data! Reading error occured" << std::endl;
        std::exit(1);
    }
    std::uint64_t missing = byteCount - std::uint64_t(data.gcount());
    if (missing > 0)
        std::cout << kCommonTag << "Warning: " << dataPath << " is " << missing
                  << " bytes short; the missing voxels are 0" << std::endl;
    return voxels;
}

class HeaderParser {
public:
    HeaderParser(VolumeRecord& record, std::string directory)
        : record_(record), caller_(record), directory_(std::move(directory))
    {
    }

    void run(std::istream& in)
    {
        while (!in.fail() && !in.eof()) {
            std::string key;
            std::getline(in, key, '=');
            removeAll(key, ' ');
            Step step = handle(key, in);
            if (step == Step::Refuse) {
                refuse();
                return;
            }
            if (step == Step::Stop)
                break;
        }
        // A later "ElementType" still sets the type, but the array must hold what the
        // record describes, or the stretch and the upload run past its end.
        if (allocated_ && h_.bytesPerVoxel != deliveredBytesPerVoxel_) {
            std::cout << kLoaderTag << "Data refused: it was read as " << deliveredBytesPerVoxel_
                      << "-byte voxels, but \"ElementType\" is now " << h_.typeName << std::endl;
            refuse();
            return;
        }
        if (allocated_)
            narrowWideVoxels();
    }

private:
    // Four-byte voxels become the 16-bit types that the rest of the system handles; the
    // scene would otherwise send them down the signed 16-bit path and render their bytes
    // as noise. Narrowed in place: voxel i moves to a lower offset than it was read from.
    void narrowWideVoxels()
    {
        std::uint64_t count = 1;
        for (int extent : record_.extent)
            count *= std::uint64_t(extent);
        if (record_.voxelType == GL_FLOAT) {
            narrow<float, std::int16_t>(count, [](float v) {
                if (!(v > -32768.0f))  // NaN too: the lowest value, nothing in a CT
                    return std::int16_t(-32768);
                return std::int16_t(v >= 32767.0f ? 32767 : std::lround(v));
            });
            record_.voxelType = GL_SHORT;
            std::cout << kLoaderTag << "MET_FLOAT voxels converted to 16-bit signed (rounded, clamped to -32768..32767)"
                      << std::endl;
        } else if (record_.voxelType == GL_UNSIGNED_INT) {
            narrow<std::uint32_t, std::uint16_t>(
                count, [](std::uint32_t v) { return std::uint16_t(v > 65535u ? 65535u : v); });
            record_.voxelType = GL_UNSIGNED_SHORT;
            std::cout << kLoaderTag << "MET_UINT voxels converted to 16-bit unsigned (clamped to 0..65535)" << std::endl;
        }
    }

    template <typename Wide, typename Narrow, typename Convert>
    void narrow(std::uint64_t count, Convert convert)
    {
        for (std::uint64_t i = 0; i < count; ++i) {
            Wide wide;
            std::memcpy(&wide, allocated_ + i * sizeof(Wide), sizeof wide);
            Narrow value = convert(wide);
            std::memcpy(allocated_ + i * sizeof(Narrow), &value, sizeof value);
        }
    }

    Step handle(const std::string& key, std::istream& in)
    {
        if (key.empty())
            return Step::Continue;
        if (key == "NDims") {
            if (!readValues(in, key, &h_.nDims, 1))
                return Step::Refuse;
            if (h_.nDims < 0 || h_.nDims > kMaxDims) {
                std::cout << kLoaderTag << "Header refused: NDims " << h_.nDims << " is outside 0 to "
                          << kMaxDims << std::endl;
                return Step::Refuse;
            }
            skipLine(in);
        } else if (key == "DimSize") {
            if (!readValues(in, key, h_.extents, h_.nDims))
                return Step::Refuse;
            for (int i = 0; i < h_.nDims; ++i) {
                if (h_.extents[i] < 0) {
                    std::cout << kLoaderTag << "Header refused: negative DimSize " << h_.extents[i]
                              << std::endl;
                    return Step::Refuse;
                }
                // The game counts voxels over three extents and the array over four: an
                // empty axis would leave an array smaller than the count.
                if (h_.extents[i] == 0) {
                    std::cout << kLoaderTag << "Header refused: DimSize 0 leaves the volume empty" << std::endl;
                    return Step::Refuse;
                }
            }
            skipLine(in);
        } else if (key == "ElementSpacing") {
            if (!readValues(in, key, h_.spacings, h_.nDims))
                return Step::Refuse;
            // The volume box is each axis's extent times its spacing over the longest
            // one: an axis of no length (or all of them) leaves the renderer nothing.
            for (int i = 0; i < h_.nDims && i < 3; ++i) {
                if (!(h_.spacings[i] > 0.0f)) {
                    std::cout << kLoaderTag << "Header refused: ElementSpacing " << h_.spacings[i]
                              << " is not positive" << std::endl;
                    return Step::Refuse;
                }
            }
            skipLine(in);
        } else if (key == "Position") {
            if (!readValues(in, key, h_.position, h_.nDims))
                return Step::Refuse;
            skipLine(in);
        } else if (key == "ElementByteOrderMSB") {
            h_.byteOrder = readTextValue(in);
        } else if (key == "ElementNumberOfChannels") {
            if (!readValues(in, key, &h_.channels, 1))
                return Step::Refuse;
            skipLine(in);
        } else if (key == "ElementType") {
            return elementType(readTextValue(in));
        } else if (key == "HeaderSize") {
            if (!readValues(in, key, &h_.headerSize, 1))
                return Step::Refuse;
            skipLine(in);
            if (h_.headerSize != 0 && h_.headerSize != -1)
                std::cout << kCommonTag << "Warning: " << h_.headerSize << " bytes header" << std::endl;
        } else if (key == "ElementDataFile") {
            return elementDataFile(readTextValue(in));
        } else {
            skipLine(in);  // "ImagePositionPatient" and every key this loader does not use
        }
        return Step::Continue;
    }

    Step elementType(const std::string& value)
    {
        for (const VoxelTypeName& type : kVoxelTypes) {
            if (value == type.name) {
                record_.voxelType = type.glType;
                h_.bytesPerVoxel = type.bytesPerVoxel;
                h_.typeName = type.name;
                return Step::Continue;
            }
        }
        std::cout << "Currently unsupported voxel_type! " << value << std::endl;
        return Step::Stop;
    }

    Step elementDataFile(const std::string& fileName)
    {
        unsigned char* voxels = readVoxels(h_, directory_ + fileName);
        if (!voxels)
            return Step::Refuse;
        // A second data file in the same header replaces the first, which nobody else has seen.
        delete[] allocated_;
        allocated_ = voxels;
        deliveredBytesPerVoxel_ = h_.bytesPerVoxel;
        for (int i = 0; i < kMaxDims; ++i)
            record_.extent[i] = h_.extents[i];
        for (int i = 0; i < 3; ++i)
            record_.spacing[i] = h_.spacings[i];
        record_.voxels = voxels;
        return Step::Continue;
    }

    void refuse()
    {
        delete[] allocated_;
        allocated_ = nullptr;
        record_ = caller_;
    }

    VolumeRecord& record_;
    const VolumeRecord caller_;
    const std::string directory_;
    HeaderValues h_;
    unsigned char* allocated_ = nullptr;  // the array this call delivered, if any
    unsigned deliveredBytesPerVoxel_ = 0; // the voxel size it was read with
};

} // namespace

void loadMetaImage(VolumeRecord& record) { loadMetaImage(record, kFixedHeaderPath); }

void loadMetaImage(VolumeRecord& record, const std::string& headerPath)
{
    std::ifstream header(headerPath);
    if (!header.is_open())
        return;
    std::string directory = headerDirectory(headerPath);
    std::cout << directory << std::endl;
    HeaderParser(record, directory).run(header);
}
