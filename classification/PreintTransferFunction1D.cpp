#include "classification/PreintTransferFunction1D.h"

#include "classification/LookupTable.h"
#include "classification/PreintegrationTable.h"

namespace Classification {

namespace {

unsigned short* newSquareTable(int n)
{
    return new unsigned short[size_t(n) * size_t(n) * kLookupChannels]();
}

} // namespace

PreintTransferFunction1D::PreintTransferFunction1D()
    : preintTable(newSquareTable(tableSize)), sampleDistance(1.0)
{
    preintTexture.internalFormat = GL_RGBA;
    preintTexture.format = GL_RGBA;
    preintTexture.type = GL_UNSIGNED_SHORT;
    preintTexture.width = preintTexture.height = tableSize;
    preintTexture.allocWidth = preintTexture.allocHeight = tableSize;
}

PreintTransferFunction1D::~PreintTransferFunction1D()
{
    delete[] preintTable;
}

void PreintTransferFunction1D::setTableSize(int n)
{
    if (n == tableSize)
        return;
    VornTransferFunction1D::setTableSize(n);
    if (tableSize != n)  // refused
        return;
    delete[] preintTable;
    preintTable = newSquareTable(n);
    preintTexture.width = preintTexture.height = n;
    preintTexture.allocWidth = preintTexture.allocHeight = n;
}

void PreintTransferFunction1D::computePreintegration()
{
    if (!lookupTable)
        return;
    integratePreintegrationTable(lookupTable, tableSize, sampleDistance, preintTable);
    glActiveTexture(GL_TEXTURE0 + preintTexture.unit);
    glBindTexture(GL_TEXTURE_2D, preintTexture.handle);
    // Set here, not by applyParameters(): this table is clamped with GL_CLAMP.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    preintTexture.upload(preintTable);
}

} // namespace Classification
