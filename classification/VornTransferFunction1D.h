// A transfer function with a 1D lookup table of 16-bit RGBA entries rasterised from its
// shapes, uploaded as a 1D texture that the ray caster samples. Also draws the editor.
#pragma once

#include "classification/TransferFunction.h"
#include "gl/GLTexture.h"

namespace Classification {

class VornTransferFunction1D : public TransferFunction {
public:
    GLTex::GLTex1D lookupTexture;  // RGBA, unsigned short, linear, clamped; width = tableSize
    int tableSize;                 // entries N, at least 2; 2 at construction
    unsigned short* lookupTable;   // owned, N x (r, g, b, a), 65535 = 1.0; null until needed
    bool built;                    // set by the first getTexture(), which fills the table

    VornTransferFunction1D();
    ~VornTransferFunction1D() override;

    void draw() override;
    // Fills and uploads the table on the first call; the texture in every case.
    GLTex::OpenGLTexture* getTexture() override;
    void setTextureUnit(int unit) override;
    // Rasterises and uploads unless the visible range lies wholly outside 0..1. Leaves
    // the texture bound on its unit and that unit active.
    void update() override;
    // New table of n entries (contents undefined until update()); sizes below 2 are
    // refused, since entry i lies at i / (n - 1). Nothing is uploaded.
    virtual void setTableSize(int n);

    // The rasterisation of update() without the upload; false when the range guard
    // stopped it and the table was left as it was.
    bool rasterise();
};

} // namespace Classification
