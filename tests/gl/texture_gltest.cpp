// Texture wrappers against the real driver: storage, texels and parameters read back
// from GL. Where the viewport quad's texels land is checked by the render tests.
#include "gl/GLTexture.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

GLint parameter(GLenum target, GLenum name, bool ofLevel = false)
{
    GLint v = -1;
    ofLevel ? glGetTexLevelParameteriv(target, 0, name, &v) : glGetTexParameteriv(target, name, &v);
    return v;
}

} // namespace

TEST(TextureTest, VolumeStorageIsRaisedToPowersOfTwoAndFilledAtTheCorner)
{
    GLTex::GLTex3D volume;  // 5 x 4 x 9 voxels, rows not 4-byte aligned
    volume.internalFormat = GL_LUMINANCE8;
    volume.format = GL_LUMINANCE;
    volume.type = GL_UNSIGNED_BYTE;
    volume.setSize(5, 4, 9);
    std::vector<uint8_t> voxels(5 * 4 * 9), texels(8 * 4 * 16), corner;
    std::iota(voxels.begin(), voxels.end(), uint8_t(1));
    glBindTexture(GL_TEXTURE_3D, volume.handle);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    volume.applyParameters();  // the default mask clamps R too
    volume.upload(voxels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_RED, GL_UNSIGNED_BYTE, texels.data());  // 8-byte rows
    for (size_t row = 0; row < 9 * 4; ++row)
        corner.insert(corner.end(), &texels[row * 8], &texels[row * 8 + 5]);
    EXPECT_EQ(corner, voxels);
    EXPECT_EQ((std::array{parameter(GL_TEXTURE_3D, GL_TEXTURE_WIDTH, true), parameter(GL_TEXTURE_3D, GL_TEXTURE_HEIGHT, true),
                          parameter(GL_TEXTURE_3D, GL_TEXTURE_DEPTH, true), parameter(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R)}),
              (std::array{8, 4, 16, GL_CLAMP_TO_EDGE}));
    EXPECT_EQ((std::array{GLTex::powerOfTwoAtLeast(-7), GLTex::powerOfTwoAtLeast(1), GLTex::powerOfTwoAtLeast(1 << 30)}),
              (std::array{1, 1, 1 << 30}));
}

TEST(TextureTest, SettingsCopyCreatedOnItsUnitHasItsOwnStorageAndNoAnisotropy)
{
    GLTex::GLTex2D first;  // as the ray caster's first target, which the others copy
    first.internalFormat = GL_RGBA16F_ARB;
    first.unit = 3;
    first.minFilter = GL_NEAREST;
    first.anisotropic = true;
    first.clampMask = 2;
    first.allocWidth = 33;
    first.allocHeight = 17;
    GLTex::GLTex2D copy(first);
    EXPECT_NE(copy.handle, first.handle);
    copy.unit = 2;
    copy.createOnUnit();
    GLfloat anisotropy = 0.0f;  // never set unless asked for
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    EXPECT_EQ((std::array{gltest::getInteger(GL_ACTIVE_TEXTURE), gltest::getInteger(GL_TEXTURE_BINDING_2D),
                          parameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH, true), parameter(GL_TEXTURE_2D, GL_TEXTURE_HEIGHT, true),
                          parameter(GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT, true), parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S),
                          parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), parameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), int(anisotropy)}),
              (std::array{GL_TEXTURE2, GLint(copy.handle), 33, 17, GL_RGBA16F_ARB, GL_REPEAT, GL_CLAMP_TO_EDGE, GL_LINEAR, 1}));
    glActiveTexture(GL_TEXTURE0);
}

TEST(TextureTest, ViewportQuadLeavesMatrixModeMatricesAndArraysAsFound)
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(1, 2, 3);  // the quad loads identity here: a lost push would go unseen
    glMatrixMode(GL_TEXTURE);
    auto state = [] {
        std::array<GLfloat, 34> m{};
        glGetFloatv(GL_PROJECTION_MATRIX, &m[0]);
        glGetFloatv(GL_MODELVIEW_MATRIX, &m[16]);
        m[32] = float(gltest::getInteger(GL_MATRIX_MODE));
        m[33] = float(glIsEnabled(GL_VERTEX_ARRAY) || glIsEnabled(GL_TEXTURE_COORD_ARRAY));
        return m;
    };
    const std::array<GLfloat, 34> before = state();
    GLTex::drawViewportQuad();
    EXPECT_EQ(state(), before);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
