#include "tools/phantom/MetaImageWriter.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace phantom {

std::string metaImageHeader(const MetaImage& image, const std::string& rawName)
{
    std::ostringstream h;
    h.precision(9);
    // NDims comes before the keys that carry NDims values; ElementDataFile is last.
    h << "ObjectType = Image\n"
      << "NDims = 3\n"
      << "BinaryData = True\n"
      << "BinaryDataByteOrderMSB = False\n"
      << "CompressedData = False\n"
      << "DimSize = " << image.size[0] << " " << image.size[1] << " " << image.size[2] << "\n"
      << "ElementSpacing = " << image.spacing[0] << " " << image.spacing[1] << " " << image.spacing[2] << "\n"
      << "ElementType = MET_SHORT\n"
      << "ElementDataFile = " << rawName << "\n";
    return h.str();
}

void writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes)
{
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            throw std::runtime_error("cannot write " + temporary);
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot rename " + temporary + " to " + path);
    }
}

void writeMetaImage(const MetaImage& image, const std::string& directory, const std::string& name)
{
    const std::vector<std::int16_t>& v = *image.voxels;
    const size_t expected = size_t(image.size[0]) * image.size[1] * image.size[2];
    if (v.size() != expected)
        throw std::runtime_error("voxel count does not match the volume size");
    std::vector<unsigned char> raw(v.size() * 2);
    for (size_t n = 0; n < v.size(); ++n) {
        auto u = static_cast<std::uint16_t>(v[n]);
        raw[2 * n] = static_cast<unsigned char>(u & 0xFF); // little-endian whatever the host
        raw[2 * n + 1] = static_cast<unsigned char>(u >> 8);
    }
    const std::string base = directory.empty() ? name : directory + "/" + name;
    // Data first: a header only ever names a complete raw file.
    writeFileAtomically(base + ".raw", raw);
    std::string header = metaImageHeader(image, name + ".raw");
    writeFileAtomically(base + ".mhd", std::vector<unsigned char>(header.begin(), header.end()));
}

} // namespace phantom
