// Texture storage definition, sampling parameters and the viewport quad.
#include "gl/GLTexture.h"

#include <GL/glu.h>

#include <climits>

namespace GLTex {

namespace {

GLint wrapMode(int clampMask, int bit)
{
    return (clampMask & (1 << bit)) ? GL_CLAMP_TO_EDGE : GL_REPEAT;
}

// Rewritten with the viewport size on every call; the texture coordinates put
// texture row 0 at the bottom of the y-down projection.
GLint quadVertices[8];
const GLfloat quadTexCoords[8] = {0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f};

} // namespace

int powerOfTwoAtLeast(int value)
{
    int p = 1;
    while (p < value && p <= INT_MAX / 2)
        p *= 2;
    return p;
}

OpenGLTexture::OpenGLTexture(GLenum target_)
    : handle(0), target(target_), internalFormat(GL_RGBA), format(GL_RGBA), type(GL_BYTE),
      unit(0), minFilter(GL_LINEAR), magFilter(GL_LINEAR), anisotropic(false), clampMask(7)
{
    glGenTextures(1, &handle);
}

OpenGLTexture::OpenGLTexture(const OpenGLTexture& settings)
    : handle(0), target(settings.target), internalFormat(settings.internalFormat),
      format(settings.format), type(settings.type), unit(0), minFilter(GL_LINEAR),
      magFilter(GL_LINEAR), anisotropic(false), clampMask(settings.clampMask)
{
    glGenTextures(1, &handle);
}

OpenGLTexture::~OpenGLTexture()
{
    if (handle != 0)
        glDeleteTextures(1, &handle);
}

void OpenGLTexture::applyParameters()
{
    // With no name of its own the owner has bound the default texture: leave it alone.
    if (handle == 0)
        return;
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrapMode(clampMask, 0));
    if (target != GL_TEXTURE_1D)
        glTexParameteri(target, GL_TEXTURE_WRAP_T, wrapMode(clampMask, 1));
    if (target == GL_TEXTURE_3D)
        glTexParameteri(target, GL_TEXTURE_WRAP_R, wrapMode(clampMask, 2));
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minFilter);
    if (anisotropic && target == GL_TEXTURE_2D && GLEW_EXT_texture_filter_anisotropic) {
        GLfloat maximum = 1.0f;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maximum);
        glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, maximum);
    }
}

GLTex1D::GLTex1D() : OpenGLTexture(GL_TEXTURE_1D), width(0), allocWidth(0) {}

GLTex1D::GLTex1D(const GLTex1D* settings) : OpenGLTexture(*settings), width(0), allocWidth(0) {}

GLTex1D::GLTex1D(const GLTex1D& settings) : GLTex1D(&settings) {}

void GLTex1D::allocate()
{
    upload(nullptr);
}

void GLTex1D::upload(const void* data)
{
    if (handle == 0)
        return;
    glTexImage1D(target, 0, internalFormat, allocWidth, 0, format, type, data);
}

GLTex2D::GLTex2D()
    : OpenGLTexture(GL_TEXTURE_2D), width(0), height(0), allocWidth(0), allocHeight(0)
{
}

GLTex2D::GLTex2D(const GLTex2D* settings)
    : OpenGLTexture(*settings), width(settings->width), height(settings->height),
      allocWidth(settings->allocWidth), allocHeight(settings->allocHeight)
{
}

GLTex2D::GLTex2D(const GLTex2D& settings) : GLTex2D(&settings) {}

void GLTex2D::allocate()
{
    upload(nullptr);
}

void GLTex2D::upload(const void* data)
{
    if (handle == 0)
        return;
    glTexImage2D(target, 0, internalFormat, allocWidth, allocHeight, 0, format, type, data);
}

void GLTex2D::createOnUnit()
{
    if (handle == 0)
        return;
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target, handle);
    allocate();
    applyParameters();
}

GLTex3D::GLTex3D()
    : OpenGLTexture(GL_TEXTURE_3D), width(0), height(0), depth(0), allocWidth(0),
      allocHeight(0), allocDepth(0)
{
}

GLTex3D::GLTex3D(const GLTex3D* settings)
    : OpenGLTexture(*settings), width(0), height(0), depth(0), allocWidth(0), allocHeight(0),
      allocDepth(0)
{
}

GLTex3D::GLTex3D(const GLTex3D& settings) : GLTex3D(&settings) {}

void GLTex3D::setSize(int w, int h, int d)
{
    width = w;
    height = h;
    depth = d;
    allocWidth = powerOfTwoAtLeast(w);
    allocHeight = powerOfTwoAtLeast(h);
    allocDepth = powerOfTwoAtLeast(d);
}

void GLTex3D::allocate()
{
    if (handle == 0)
        return;
    glTexImage3D(target, 0, internalFormat, allocWidth, allocHeight, allocDepth, 0, format, type,
                 nullptr);
}

void GLTex3D::upload(const void* data)
{
    if (handle == 0)
        return;
    allocate();
    glTexSubImage3D(target, 0, 0, 0, 0, width, height, depth, format, type, data);
}

void drawViewportQuad()
{
    GLint matrixMode = GL_MODELVIEW;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const GLint w = viewport[2], h = viewport[3];

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0.0, double(w), double(h), 0.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    const GLint corners[8] = {0, 0, w, 0, w, h, 0, h};
    for (int i = 0; i < 8; ++i)
        quadVertices[i] = corners[i];
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_INT, 0, quadVertices);
    glTexCoordPointer(2, GL_FLOAT, 0, quadTexCoords);
    glDrawArrays(GL_QUADS, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GLenum(matrixMode));
}

} // namespace GLTex
