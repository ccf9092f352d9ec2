// A transfer function for tests without a window: update() rasterises into a table of
// its own instead of uploading, and counts its calls.
#pragma once

#include "classification/LookupTable.h"
#include "classification/TransferFunction.h"

#include <vector>

class TableTransferFunction : public Classification::TransferFunction {
public:
    static constexpr int kSize = 256;
    std::vector<unsigned short> table = std::vector<unsigned short>(kSize * 4, 0);
    int updates = 0;

    void draw() override {}
    GLTex::OpenGLTexture* getTexture() override { return nullptr; }
    void setTextureUnit(int) override {}
    void update() override
    {
        ++updates;
        Classification::rasteriseLookupTable(shapes, rangeMin, rangeMax, kSize, table.data());
    }
    unsigned short alphaAt(int entry) const { return table[entry * 4 + 3]; }
};
