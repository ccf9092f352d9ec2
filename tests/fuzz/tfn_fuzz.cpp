// Fuzz target: the ".tfn" reader behind TransferFunction::loadFromFile, from the file to the
// shapes, and the tables the game builds from them: the 256-entry lookup table of the load,
// its pre-integration and the 128-entry table the ray caster asks for (rasterised in memory
// instead of uploaded; nothing else differs).
#include "tests/fuzz/FuzzSupport.h"

#include "classification/LookupTable.h"
#include "classification/PreintegrationTable.h"
#include "classification/TransferFunction.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kPreintegrationSize = 16; // size^3 steps; the arithmetic is the same at any size

class TableTransferFunction : public Classification::TransferFunction {
public:
    int size = 256;
    std::vector<unsigned short> table;

    void draw() override {}
    GLTex::OpenGLTexture* getTexture() override { return nullptr; }
    void setTextureUnit(int) override {}
    void update() override
    {
        table.assign(std::size_t(size) * Classification::kLookupChannels, 0);
        Classification::rasteriseLookupTable(shapes, rangeMin, rangeMax, size, table.data());
    }
};

bool unit(float v) { return v >= 0.0f && v <= 1.0f; }

// What no file may produce: a point outside the unit square, a colour channel outside
// 0..1, or a visible range outside 0..1 (the empty range is 1 to 0).
void checkShapes(const TableTransferFunction& tf)
{
    for (const Classification::TransferFunctionGeometry* shape : tf.shapes) {
        if (shape->points.size() != 4 || shape->colours.size() != 4)
            fuzz::finding("a file shape that is no four-point trapezoid");
        for (const Classification::ShapePoint& p : shape->points)
            if (!unit(p.x) || !unit(p.y))
                fuzz::finding("a shape point outside the unit square");
        for (const Classification::ShapeColour& c : shape->colours)
            for (int k = 0; k < 4; ++k)
                if (!unit(c[k]))
                    fuzz::finding("a colour channel outside 0..1");
    }
    if (!unit(tf.rangeMin) || !unit(tf.rangeMax))
        fuzz::finding("a visible range outside 0..1");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::scratch().write("fuzz.tfn", std::string(reinterpret_cast<const char*>(data), size));

    fuzz::QuietConsole quiet;
    TableTransferFunction tf;
    tf.loadFromFile(fuzz::scratch().file("fuzz.tfn"));
    checkShapes(tf);

    TableTransferFunction small;
    small.size = kPreintegrationSize;
    small.shapes.swap(tf.shapes);
    small.computeVisibleRange();
    small.update();
    std::vector<unsigned short> preintegrated(std::size_t(kPreintegrationSize) * kPreintegrationSize *
                                              Classification::kLookupChannels);
    Classification::integratePreintegrationTable(small.table.data(), kPreintegrationSize, 1.0,
                                                 preintegrated.data());
    small.shapes.swap(tf.shapes);

    tf.size = 128;
    tf.update();
    return 0;
}
