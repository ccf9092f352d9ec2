// A transfer function for tests without a window: update() rasterises into a table of
// its own instead of uploading, and counts its calls.
#pragma once

#include "classification/LookupTable.h"
#include "classification/TransferFunction.h"

#include <vector>

class TableTransferFunction : public Classification::TransferFunction {
public:
    explicit TableTransferFunction(int size = 256) : size(size), table(size_t(size) * 4, 0) {}

    int size;
    std::vector<unsigned short> table;
    int updates = 0;

    void draw() override {}
    GLTex::OpenGLTexture* getTexture() override { return nullptr; }
    void setTextureUnit(int) override {}
    void update() override
    {
        ++updates;
        Classification::rasteriseLookupTable(shapes, rangeMin, rangeMax, size, table.data());
    }
    unsigned short alphaAt(int entry) const { return table[entry * 4 + 3]; }
    unsigned short channel(int entry, int ch) const { return table[entry * 4 + ch]; }
};
