// A transfer function for tests without a window: update() rasterises into a table of
// its own instead of uploading, and counts its calls.
#pragma once

#include "classification/LookupTable.h"
#include "classification/TransferFunction.h"

#include <vector>

struct TableTransferFunction : Classification::TransferFunction {
    int updates = 0;
    std::vector<unsigned short> table = std::vector<unsigned short>(256 * 4);  // 256 entries
    void draw() override {}
    GLTex::OpenGLTexture* getTexture() override { return nullptr; }
    void setTextureUnit(int) override {}
    void update() override { ++updates; Classification::rasteriseLookupTable(shapes, rangeMin, rangeMax, 256, table.data()); }
    unsigned short channel(int entry, int ch) const { return table[entry * 4 + ch]; }
};
