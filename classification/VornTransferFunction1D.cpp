#include "classification/VornTransferFunction1D.h"

#include "classification/LookupTable.h"

namespace Classification {

namespace {

constexpr int kInitialTableSize = 2;
constexpr float kEditorSize = 256.0f;
constexpr int kClampAll = 7;

} // namespace

VornTransferFunction1D::VornTransferFunction1D()
    : tableSize(kInitialTableSize), lookupTable(nullptr), built(false)
{
    lookupTexture.internalFormat = GL_RGBA;
    lookupTexture.format = GL_RGBA;
    lookupTexture.type = GL_UNSIGNED_SHORT;
    lookupTexture.unit = 0;
    lookupTexture.minFilter = GL_LINEAR;
    lookupTexture.magFilter = GL_LINEAR;
    lookupTexture.clampMask = kClampAll;
    lookupTexture.width = lookupTexture.allocWidth = tableSize;
    setEditorWidth(kEditorSize);
    setEditorHeight(kEditorSize);
}

VornTransferFunction1D::~VornTransferFunction1D()
{
    delete[] lookupTable;
}

void VornTransferFunction1D::setTableSize(int n)
{
    if (n < 2)
        return;
    tableSize = n;
    lookupTexture.width = lookupTexture.allocWidth = n;
    delete[] lookupTable;
    lookupTable = new unsigned short[size_t(n) * kLookupChannels]();
}

void VornTransferFunction1D::setTextureUnit(int unit)
{
    lookupTexture.unit = unit;
}

GLTex::OpenGLTexture* VornTransferFunction1D::getTexture()
{
    if (!built) {
        if (!lookupTable)
            lookupTable = new unsigned short[size_t(tableSize) * kLookupChannels]();
        update();
        built = true;
    }
    return &lookupTexture;
}

bool VornTransferFunction1D::rasterise()
{
    if (!lookupTable)
        lookupTable = new unsigned short[size_t(tableSize) * kLookupChannels]();
    return rasteriseLookupTable(shapes, rangeMin, rangeMax, tableSize, lookupTable);
}

void VornTransferFunction1D::update()
{
    if (!rasterise())
        return;
    glActiveTexture(GL_TEXTURE0 + lookupTexture.unit);
    glBindTexture(GL_TEXTURE_1D, lookupTexture.handle);
    lookupTexture.applyParameters();
    lookupTexture.upload(lookupTable);
}

} // namespace Classification
