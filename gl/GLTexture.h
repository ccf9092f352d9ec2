// Thin owners of GL texture names that remember how their storage is defined and
// sampled, plus the full-viewport textured quad. The owners set the fields, activate
// the unit and bind the texture themselves: nothing here binds except createOnUnit().
// No GL error is queried or reported.
#pragma once

#include <GL/glew.h>

namespace GLTex {

// Smallest power of two not below `value` (1 for values of 1 or less).
int powerOfTwoAtLeast(int value);

class OpenGLTexture {
public:
    GLuint handle;         // texture name; 0 = generation failed (then nothing is defined)
    GLenum target;         // GL_TEXTURE_1D / _2D / _3D, fixed by the class
    GLint internalFormat;  // default GL_RGBA
    GLenum format;         // pixel format of uploaded data, default GL_RGBA
    GLenum type;           // pixel type of uploaded data, default GL_BYTE
    int unit;              // 0-based unit the owner activates before binding
    GLint minFilter;       // default GL_LINEAR
    GLint magFilter;       // default GL_LINEAR
    bool anisotropic;      // maximum anisotropy on 2D targets; default false
    int clampMask;         // bit 0 S, 1 T, 2 R: set = clamp to edge, clear = repeat; default 7

    // Storage at the allocated size with no data.
    virtual void allocate() = 0;
    // Storage from tightly packed rows in `format`/`type`.
    virtual void upload(const void* data) = 0;
    virtual ~OpenGLTexture();

    // Wrap, filter and anisotropy parameters on the texture bound to `target` on the
    // active unit.
    void applyParameters();

    OpenGLTexture& operator=(const OpenGLTexture&) = delete;

protected:
    explicit OpenGLTexture(GLenum target);
    // Settings copy: a new name with the formats, type and wrap modes of `settings`;
    // unit 0, linear filters, no anisotropy.
    OpenGLTexture(const OpenGLTexture& settings);
};

class GLTex1D : public OpenGLTexture {
public:
    int width;       // texels; 0 at construction
    int allocWidth;  // storage texels; 0 at construction

    GLTex1D();
    // Settings copies (see OpenGLTexture); sizes start at 0.
    explicit GLTex1D(const GLTex1D* settings);
    GLTex1D(const GLTex1D& settings);

    void allocate() override;
    void upload(const void* data) override;
};

class GLTex2D : public OpenGLTexture {
public:
    int width, height;            // texels; 0 at construction
    int allocWidth, allocHeight;  // storage texels, not raised to powers of two

    GLTex2D();
    // Settings copies (see OpenGLTexture), the four sizes included.
    explicit GLTex2D(const GLTex2D* settings);
    GLTex2D(const GLTex2D& settings);

    void allocate() override;
    void upload(const void* data) override;

    // Activates the unit, binds, allocates and applies the parameters; leaves the
    // texture bound and its unit active.
    void createOnUnit();
};

class GLTex3D : public OpenGLTexture {
public:
    int width, height, depth;                // logical volume size in voxels; 0 at construction
    int allocWidth, allocHeight, allocDepth; // storage size, powers of two once setSize ran

    GLTex3D();
    // Settings copies (see OpenGLTexture); sizes start at 0.
    explicit GLTex3D(const GLTex3D* settings);
    GLTex3D(const GLTex3D& settings);

    // Logical size; storage raised to powers of two per axis.
    void setSize(int w, int h, int d);

    void allocate() override;
    // Defines the power-of-two storage, then fills the corner at the texel origin with
    // the logical size; the rest of the storage stays undefined.
    void upload(const void* data) override;
};

// One quad over the whole current viewport, texture coordinates 0 to 1 with texture
// row 0 at the bottom. Matrix mode and both matrix stacks are left as found.
void drawViewportQuad();

} // namespace GLTex
