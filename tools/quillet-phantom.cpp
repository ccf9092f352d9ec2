// Generates the game's data that cannot be shipped as files: the CT volume of a body
// (an anatomical phantom, "taa.mhd" and "taa.raw") and the two tool icons. The output
// is the same, byte for byte, on every run. Optionally draws three mid-slices.
//
// The options are in the usage text below.
#include "tools/NumberList.h"
#include "tools/phantom/Bitmap.h"
#include "tools/phantom/MetaImageWriter.h"
#include "tools/phantom/Phantom.h"
#include "tools/phantom/SlicePicture.h"
#include "tools/phantom/Tissue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <string>
#include <thread>

using namespace phantom;

namespace {

const char* kUsage =
    "usage: quillet-phantom [--out DIR] [--slices PICTURE] [--at X,Y,Z] [--window LEVEL,WIDTH] [--threads N]\n"
    "  --out DIR          write taa.mhd, taa.raw, rottool.bmp and movetool.bmp into DIR\n"
    "  --slices PICTURE   coronal, sagittal and axial slice side by side (.png or .pgm)\n"
    "  --at X,Y,Z         where the slices cross, in mm from the volume's corner, inside its\n"
    "                     %g x %g x %g mm (default: the middle)\n"
    "  --window L,W       grey window in HU: level and width (default -150,1700)\n"
    "  --threads N        painting threads, 1 to 64 (default: 2, or 1 on one core)\n"
    "  --help             this text\n";

void printUsage(std::FILE* to)
{
    std::fprintf(to, kUsage, Grid::nx * Grid::sx, Grid::ny * Grid::sy, Grid::nz * Grid::sz);
}

int usage(const std::string& problem)
{
    std::fprintf(stderr, "quillet-phantom: %s\n", problem.c_str());
    printUsage(stderr);
    return 2;
}

// Inside the volume, its faces included: a slice anywhere else would be blank.
bool insideVolume(const Vec3& mm)
{
    return mm.x >= 0 && mm.x <= Grid::nx * Grid::sx && mm.y >= 0 && mm.y <= Grid::ny * Grid::sy && mm.z >= 0 &&
           mm.z <= Grid::nz * Grid::sz;
}

} // namespace

int main(int argc, char** argv)
{
    std::string outDir, slices;
    SliceOptions view;
    int threads = int(std::min(2u, std::max(1u, std::thread::hardware_concurrency())));
    for (int a = 1; a < argc; ++a) {
        std::string arg = argv[a];
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        }
        if (a + 1 >= argc)
            return usage(arg + " needs a value");
        std::string value = argv[++a];
        double v[3];
        if (arg == "--out")
            outDir = value;
        else if (arg == "--slices")
            slices = value;
        else if (arg == "--at" && tools::parseNumberList(value, v, 3)) {
            view.at = {v[0], v[1], v[2]};
            if (!insideVolume(view.at)) {
                char bounds[80];
                std::snprintf(bounds, sizeof bounds, " lies outside the volume (x 0..%g, y 0..%g, z 0..%g mm)",
                              Grid::nx * Grid::sx, Grid::ny * Grid::sy, Grid::nz * Grid::sz);
                return usage("--at " + value + bounds);
            }
        } else if (arg == "--window" && tools::parseNumberList(value, v, 2) && v[1] > 0)
            view.level = v[0], view.width = v[1];
        else if (arg == "--threads" && tools::parseNumberList(value, v, 1) && v[0] >= 1 && v[0] <= 64)
            threads = int(v[0]);
        else
            return usage("cannot use " + arg + " " + value);
    }
    if (outDir.empty() && slices.empty())
        return usage("nothing to do: give --out or --slices");

    try {
        auto start = std::chrono::steady_clock::now();
        PhantomVolume volume = generatePhantom(false, threads);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!outDir.empty()) {
            MetaImage image{{Grid::nx, Grid::ny, Grid::nz}, {Grid::sx, Grid::sy, Grid::sz}, &volume.hu};
            writeMetaImage(image, outDir, "taa");
            writeFileAtomically(outDir + "/rottool.bmp", encodeBitmap(rotateIcon()));
            writeFileAtomically(outDir + "/movetool.bmp", encodeBitmap(moveIcon()));
            std::printf("CT phantom %d x %d x %d voxels of %g x %g x %g mm (MET_SHORT, HU %d..%d) in %.2f s: %s/taa.mhd\n",
                        Grid::nx, Grid::ny, Grid::nz, Grid::sx, Grid::sy, Grid::sz, hu::kMinimum, hu::kMaximum,
                        seconds, outDir.c_str());
        }
        if (!slices.empty()) {
            writePicture(slicePicture(volume.hu, view), slices);
            std::printf("Slices through (%g, %g, %g) mm: %s\n", view.at.x, view.at.y, view.at.z, slices.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillet-phantom: %s\n", e.what());
        return 1;
    }
    return 0;
}
