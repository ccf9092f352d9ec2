// Texture wrappers against the real driver: storage sizes, texels, parameters and the
// viewport quad, all read back from GL.
#include "gl/GLTexture.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

GLint levelParameter(GLenum target, GLenum name)
{
    GLint v = -1;
    glGetTexLevelParameteriv(target, 0, name, &v);
    return v;
}

GLint parameter(GLenum target, GLenum name)
{
    GLint v = -1;
    glGetTexParameteriv(target, name, &v);
    return v;
}

// Every test starts and ends on unit 0 with nothing bound there.
class TextureTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        glActiveTexture(GL_TEXTURE0);
        for (GLenum t : {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D})
            glBindTexture(t, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    }
};

} // namespace

TEST_F(TextureTest, VolumeStorageIsRaisedToPowersOfTwoAndFilledAtTheCorner)
{
    // 5 x 3 x 9 voxels in 8 x 4 x 16 storage, rows not 4-byte aligned.
    GLTex::GLTex3D volume;
    volume.internalFormat = GL_LUMINANCE8;
    volume.format = GL_LUMINANCE;
    volume.type = GL_UNSIGNED_BYTE;
    volume.setSize(5, 3, 9);
    std::vector<uint8_t> voxels(5 * 3 * 9);
    for (size_t i = 0; i < voxels.size(); ++i)
        voxels[i] = uint8_t(1 + i);
    glBindTexture(GL_TEXTURE_3D, volume.handle);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    volume.upload(voxels.data());
    EXPECT_EQ(levelParameter(GL_TEXTURE_3D, GL_TEXTURE_WIDTH), 8);
    EXPECT_EQ(levelParameter(GL_TEXTURE_3D, GL_TEXTURE_HEIGHT), 4);
    EXPECT_EQ(levelParameter(GL_TEXTURE_3D, GL_TEXTURE_DEPTH), 16);
    EXPECT_EQ(levelParameter(GL_TEXTURE_3D, GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE8);
    std::vector<uint8_t> texels(8 * 4 * 16);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_RED, GL_UNSIGNED_BYTE, texels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    int mismatches = 0;
    for (int z = 0; z < 9; ++z)
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                mismatches += texels[size_t((z * 4 + y) * 8 + x)] != voxels[size_t((z * 3 + y) * 5 + x)];
    EXPECT_EQ(mismatches, 0);
}

TEST_F(TextureTest, WrapModesFollowTheClampMaskAndOnlyTheTargetsDirections)
{
    // Preset the directions a target must not touch, to see them survive.
    GLTex::GLTex1D t1;
    t1.clampMask = 0;
    glBindTexture(GL_TEXTURE_1D, t1.handle);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
    t1.applyParameters();
    EXPECT_EQ(parameter(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(parameter(GL_TEXTURE_1D, GL_TEXTURE_WRAP_T), GL_MIRRORED_REPEAT);

    GLTex::GLTex2D t2;  // default mask 7
    glBindTexture(GL_TEXTURE_2D, t2.handle);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, GL_MIRRORED_REPEAT);
    t2.applyParameters();
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R), GL_MIRRORED_REPEAT);

    const GLenum names[3] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R};
    for (int bit = 0; bit < 3; ++bit) {  // each bit is its own direction
        GLTex::GLTex3D t3;
        t3.clampMask = 1 << bit;
        glBindTexture(GL_TEXTURE_3D, t3.handle);
        t3.applyParameters();
        for (int d = 0; d < 3; ++d)
            EXPECT_EQ(parameter(GL_TEXTURE_3D, names[d]), d == bit ? GL_CLAMP_TO_EDGE : GL_REPEAT)
                << "bit " << bit << " direction " << d;
    }
}

TEST_F(TextureTest, FiltersAreAppliedAndAnisotropyOnlyOnRequestFor2D)
{
    GLTex::GLTex2D t2;
    t2.minFilter = GL_NEAREST_MIPMAP_LINEAR;
    t2.magFilter = GL_NEAREST;
    glBindTexture(GL_TEXTURE_2D, t2.handle);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 2.0f);
    t2.applyParameters();
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    GLfloat aniso = 0.0f, maximum = 0.0f;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &aniso);
    EXPECT_EQ(aniso, 2.0f);  // not asked for: left as it was

    ASSERT_TRUE(GLEW_EXT_texture_filter_anisotropic);
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maximum);
    ASSERT_GT(maximum, 2.0f);
    t2.anisotropic = true;
    t2.applyParameters();
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &aniso);
    EXPECT_EQ(aniso, maximum);

    GLTex::GLTex3D t3;
    t3.anisotropic = true;
    t3.minFilter = GL_NEAREST;
    glBindTexture(GL_TEXTURE_3D, t3.handle);
    t3.applyParameters();
    glGetTexParameterfv(GL_TEXTURE_3D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &aniso);
    EXPECT_EQ(aniso, 1.0f);
    EXPECT_EQ(parameter(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
}

TEST_F(TextureTest, SettingsCopyGetsItsOwnNameAndResetsUnitFiltersAnisotropy)
{
    GLTex::GLTex2D first;
    first.type = GL_FLOAT;
    first.unit = 3;
    first.minFilter = GL_NEAREST;
    first.anisotropic = true;
    first.clampMask = 2;
    first.allocHeight = 642;
    GLTex::GLTex2D copy(first);  // as the ray caster makes its ray textures
    EXPECT_NE(copy.handle, 0u);
    EXPECT_NE(copy.handle, first.handle);
    EXPECT_EQ(copy.type, GLenum(GL_FLOAT));
    EXPECT_EQ(copy.clampMask, 2);
    EXPECT_EQ(copy.allocHeight, 642);
    EXPECT_EQ(copy.unit, 0);
    EXPECT_EQ(copy.minFilter, GL_LINEAR);
    EXPECT_FALSE(copy.anisotropic);
}

TEST_F(TextureTest, CreateOnUnitAllocatesTheAllocatedSizeAndLeavesTheTargetBoundOnItsUnit)
{
    GLTex::GLTex2D target;
    target.internalFormat = GL_RGBA16F_ARB;
    target.type = GL_FLOAT;
    target.unit = 2;
    target.clampMask = 0;
    target.width = 3;  // logical sizes play no part in the storage
    target.height = 2;
    target.allocWidth = 33;
    target.allocHeight = 17;
    target.createOnUnit();
    EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE2);
    EXPECT_EQ(gltest::getInteger(GL_TEXTURE_BINDING_2D), GLint(target.handle));
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH), 33);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_HEIGHT), 17);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(gltest::getInteger(GL_TEXTURE_BINDING_2D), 0);  // unit 0 untouched
}

TEST_F(TextureTest, NameZeroLeavesTheDefaultTextureAlone)
{
    // The default texture gets a known state first.
    glBindTexture(GL_TEXTURE_2D, 0);
    const float texel[4] = {1, 1, 1, 1};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_FLOAT, texel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);

    GLTex::GLTex2D broken;
    glDeleteTextures(1, &broken.handle);
    broken.handle = 0;  // as when generation failed
    broken.width = broken.allocWidth = 8;
    broken.height = broken.allocHeight = 8;
    broken.unit = 1;
    broken.upload(nullptr);
    broken.allocate();
    broken.applyParameters();
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
    broken.createOnUnit();
    EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE0);

    GLTex::GLTex3D brokenVolume;
    glDeleteTextures(1, &brokenVolume.handle);
    brokenVolume.handle = 0;
    brokenVolume.setSize(4, 4, 4);
    brokenVolume.upload(std::vector<uint8_t>(64 * 4, 7).data());
    EXPECT_EQ(levelParameter(GL_TEXTURE_3D, GL_TEXTURE_WIDTH), 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, 0, GL_RGBA, GL_FLOAT, nullptr);
}

// Where the quad's texels land is checked pixel by pixel by the ray-direction pass tests.
TEST_F(TextureTest, ViewportQuadKeepsMatrixModeStacksAndArrays)
{
    // Distinct matrices and stack depths to compare against afterwards.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glOrtho(-3, 5, -2, 7, -1, 9);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(1, 2, 3);
    glMatrixMode(GL_TEXTURE);
    std::array<GLfloat, 16> projection, modelview, after;
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.data());
    const GLint projectionDepth = gltest::getInteger(GL_PROJECTION_STACK_DEPTH);
    const GLint modelviewDepth = gltest::getInteger(GL_MODELVIEW_STACK_DEPTH);

    GLTex::drawViewportQuad();

    EXPECT_EQ(gltest::getInteger(GL_MATRIX_MODE), GL_TEXTURE);
    EXPECT_EQ(gltest::getInteger(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    EXPECT_EQ(gltest::getInteger(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
    glGetFloatv(GL_PROJECTION_MATRIX, after.data());
    EXPECT_EQ(after, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
    EXPECT_EQ(after, modelview);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
