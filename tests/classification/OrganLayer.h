// The game's organ-layer set-up up to its file: table size, units, one default
// trapezoid. Shared by the GL tests and the classification benchmark.
#pragma once

#include "classification/PreintTransferFunction1D.h"

#include <memory>

inline std::unique_ptr<Classification::PreintTransferFunction1D> organLayer(int tableSize = 256)
{
    auto tf = std::make_unique<Classification::PreintTransferFunction1D>();
    tf->setTableSize(tableSize);
    tf->setTextureUnit(2);
    tf->preintTexture.unit = 5;
    tf->getShape(tf->addShape("test", "VornTrapez"))->colours = {{1, 1, 1, 0}, {0.5f, 0.5f, 0.5f, 0}, {1, 0, 0, 0}, {}};
    tf->computeVisibleRange();
    return tf;
}
