// Fuzz target: the MetaImage header parser with its voxel read, then what the game does
// with the record without GL (octree, intensity stretch, histogram), so that a record that
// lies about its array, or a box the spacings make degenerate, shows as a sanitizer report.
// The input is the header; every file it names as "ElementDataFile" is made with the
// input's bytes (short, exact and long data files all occur). An unreadable data file ends
// the process by design, so inputs naming one that cannot be made here are skipped. The
// loader must refuse what its data file cannot fill before it allocates.
#include "tests/fuzz/FuzzSupport.h"

#include "render/CPUOctTreeNode.h"
#include "render/RenderParameters.h"
#include "volume/Diagram.h"
#include "volume/IntensityRange.h"
#include "volume/MetaImageLoader.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/allocator_interface.h>
#define QUILLET_FUZZ_ALLOCATION_SIZE 1
#endif
#endif

namespace {

const char* const kHeaderName = "fuzz.mhd";

// The names the loader could take as its data file: the rest of a key's line without spaces
// and carriage returns, up to a zero byte. False when one cannot be made into a file here.
bool dataFileNames(const std::string& text, std::vector<std::string>& names)
{
    std::string squeezed = text;
    squeezed.erase(std::remove(squeezed.begin(), squeezed.end(), ' '), squeezed.end());
    // A key at the very end, without "=", names the header's folder.
    const std::string last = "ElementDataFile";
    if (squeezed.size() >= last.size() && squeezed.compare(squeezed.size() - last.size(), last.size(), last) == 0)
        return false;
    const std::string key = last + "=";
    for (std::size_t at = squeezed.find(key); at != std::string::npos; at = squeezed.find(key, at + 1)) {
        std::size_t start = at + key.size();
        std::size_t end = squeezed.find('\n', start);
        std::string name = squeezed.substr(start, end == std::string::npos ? std::string::npos : end - start);
        name.erase(std::remove(name.begin(), name.end(), '\r'), name.end());
        name = name.substr(0, name.find('\0'));
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
            name.size() > 200)
            return false;
        names.push_back(name);
    }
    return true;
}

unsigned bytesPerVoxel(unsigned voxelType) // four-byte types must arrive narrowed to 16 bits
{
    return voxelType == GL_UNSIGNED_BYTE ? 1 : voxelType == GL_SHORT || voxelType == GL_UNSIGNED_SHORT ? 2 : 0;
}

constexpr unsigned kCallerType = 0x7777u;
constexpr int kCallerExtent = -7;

// The volume box as the ray caster scales it: each axis's physical extent over the longest.
void volumeScale(const VolumeRecord& r, double* scale)
{
    double extent[3], longest = 0;
    for (int a = 0; a < 3; ++a)
        longest = std::max(longest, extent[a] = r.extent[a] * double(r.spacing[a]));
    for (int a = 0; a < 3; ++a)
        scale[a] = extent[a] / longest;
}

template <typename TreeVoxel>
CPUOctTreeNodeT<TreeVoxel> buildOctree(const VolumeRecord& r, const double* scale)
{
    const double unitMin[3] = {0, 0, 0}, unitMax[3] = {1, 1, 1};
    const unsigned char level[3] = {0, 0, 0};
    return CPUOctTreeNodeT<TreeVoxel>(reinterpret_cast<const TreeVoxel*>(r.voxels), r.extent, unitMin,
                                      unitMax, scale, level, RenderParameters().maxLevel);
}

// The record must describe its array (extent 0 x 1 x 2 x 3 elements of voxelType). Then the
// octree, stretch and histogram run as in the upload and the scene set-up: a 32-bit count
// of three extents; signed voxels converted to unsigned, their octree refreshed after.
void useAsTheGameDoes(VolumeRecord& r)
{
    if (std::any_of(r.extent, r.extent + 4, [](int e) { return e < 0; }))
        fuzz::finding("a delivered extent is negative");
    const unsigned bytes = bytesPerVoxel(r.voxelType);
    if (bytes == 0)
        fuzz::finding("voxels delivered with a type the game does not upload");
#ifdef QUILLET_FUZZ_ALLOCATION_SIZE
    std::uint64_t described = std::uint64_t(bytes);
    for (int e : r.extent)
        described *= std::uint64_t(e);
    // Narrowed four-byte voxels leave the array twice as large as it needs to be.
    if (__sanitizer_get_allocated_size(r.voxels) < described)
        fuzz::finding("the voxel array is smaller than what extents and voxel type describe");
#endif
    const unsigned count = unsigned(r.extent[0]) * unsigned(r.extent[1]) * unsigned(r.extent[2]);
    std::vector<int> dims = {r.extent[0], r.extent[1], r.extent[2]};
    double scale[3];
    volumeScale(r, scale);
    ClassificationDiagram::Histogram histogram;
    unsigned short* shorts = reinterpret_cast<unsigned short*>(r.voxels);
    if (r.voxelType == GL_UNSIGNED_BYTE) {
        rescaleUnsignedByte(r.voxels, count);
        buildOctree<unsigned char>(r, scale);
        histogram.compute(r.voxels, dims, nullptr);
        return;
    }
    if (r.voxelType == GL_UNSIGNED_SHORT) {
        rescaleUnsignedShort(shorts, count);
        buildOctree<unsigned short>(r, scale);
    } else {
        CPUOctTreeNodeT<unsigned short> tree = buildOctree<unsigned short>(r, scale);
        convertSignedShort(reinterpret_cast<short*>(r.voxels), count);
        tree.refreshRanges(shorts, r.extent, scale);
    }
    histogram.compute(shorts, dims, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names;
    if (!dataFileNames(text, names))
        return -1;

    const testfs::ScratchDir& folder = fuzz::scratch();
    folder.write(kHeaderName, text);
    for (const std::string& name : names)
        if (name != kHeaderName)
            folder.write(name, text);

    VolumeRecord record{kCallerType, {kCallerExtent, kCallerExtent, kCallerExtent, kCallerExtent}, nullptr,
                        {1.0f, 1.0f, 1.0f}};
    {
        fuzz::QuietConsole quiet;
        loadMetaImage(record, folder.file(kHeaderName));
        if (record.voxels)
            useAsTheGameDoes(record);
    }
    const int untouched[4] = {kCallerExtent, kCallerExtent, kCallerExtent, kCallerExtent};
    if (!record.voxels && !std::equal(record.extent, record.extent + 4, untouched))
        fuzz::finding("extents written without a delivered voxel array");
    if (!record.voxels && (record.spacing[0] != 1.0f || record.spacing[1] != 1.0f || record.spacing[2] != 1.0f))
        fuzz::finding("spacings written without a delivered voxel array");
    delete[] record.voxels;
    std::error_code ignored;
    for (const std::string& name : names)
        std::filesystem::remove(folder.path() / name, ignored); // the header too: written again next time
    return 0;
}
