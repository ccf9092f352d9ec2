// The start-up icon loading against the real driver: bitmaps written by the test into a
// scratch working directory, textures read back texel by texel.
#include "app/Icons.h"

#include "tests/support/BitmapWriter.h"
#include "tests/support/GLTestSupport.h"
#include "tests/support/ScratchDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct TextureInfo {
    GLint width = 0, height = 0, internalFormat = 0, minFilter = 0, magFilter = 0;
};

TextureInfo describe(GLuint name)
{
    TextureInfo t;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &t.internalFormat);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &t.minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &t.magFilter);
    return t;
}

// Level 0 as tightly packed bytes in the given format, row 0 first.
std::vector<std::uint8_t> texels(GLuint name, GLenum format, int channels, int width, int height)
{
    std::vector<std::uint8_t> out(std::size_t(width) * height * channels);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    return out;
}

// Rows of blue, green, red (file order) as red, green, blue.
std::vector<std::uint8_t> swapRedBlue(std::vector<std::uint8_t> px, int channels)
{
    for (std::size_t i = 0; i + 2 < px.size(); i += std::size_t(channels))
        std::swap(px[i], px[i + 2]);
    return px;
}

testbmp::Bitmap pattern(int w, int h, int bits)
{
    testbmp::Bitmap b;
    b.width = w;
    b.height = h;
    b.bitCount = bits;
    b.rows = testbmp::patternRows(w, h, bits / 8);
    return b;
}

TEST(Icons, StartUpLoadsIconsFromTheWorkingDirectoryAndSkipsMissingOnes)
{
    testfs::ScratchDir dir;
    testbmp::Bitmap rotate = pattern(3, 2, 24);  // 9-byte rows: needs unpack alignment 1
    dir.write("rottool.bmp", testbmp::encode(rotate));

    AppState state{};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBlendFunc(GL_ONE, GL_ZERO);
    std::string errors;
    {
        testfs::WorkingDirectory cwd(dir.path());
        testing::internal::CaptureStderr();
        loadIcons(state);
        errors = testing::internal::GetCapturedStderr();
    }
    EXPECT_EQ(errors, "movetool.bmp: getRAWfromDIB file access error\n");
    EXPECT_EQ(state.moveToolTexture, -1);
    ASSERT_GT(state.rotateToolTexture, 0);
    GLuint name = GLuint(state.rotateToolTexture);
    EXPECT_TRUE(glIsTexture(name));

    TextureInfo info = describe(name);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.internalFormat, GL_RGB);
    EXPECT_EQ(info.minFilter, GL_LINEAR);
    EXPECT_EQ(info.magFilter, GL_LINEAR);
    // Texture row 0 is the bitmap's top row; the file's blue-first bytes come out as RGB.
    EXPECT_EQ(texels(name, GL_RGB, 3, 3, 2), swapRedBlue(rotate.rows, 3));

    EXPECT_EQ(gltest::getInteger(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
    EXPECT_EQ(gltest::getInteger(GL_BLEND_DST_RGB), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(gltest::getInteger(GL_UNPACK_ALIGNMENT), 4);  // restored after the upload
    glDeleteTextures(1, &name);
}

TEST(Icons, DamagedIconGivesNoTextureAndTheLoadersMessage)
{
    testfs::ScratchDir dir;
    dir.write("rottool.bmp", testbmp::encode(pattern(2, 2, 16)));
    dir.write("movetool.bmp", testbmp::encode(pattern(2, 2, 32)));
    AppState state{};
    std::string errors;
    {
        testfs::WorkingDirectory cwd(dir.path());
        testing::internal::CaptureStderr();
        loadIcons(state);
        errors = testing::internal::GetCapturedStderr();
    }
    EXPECT_EQ(errors, "rottool.bmp: getRAWfromDIB file incomplete, contains errors or is of wrong type. (2x2:16)\n");
    EXPECT_EQ(state.rotateToolTexture, -1);
    ASSERT_GT(state.moveToolTexture, 0);
    GLuint name = GLuint(state.moveToolTexture);
    EXPECT_EQ(describe(name).internalFormat, GL_RGBA);
    glDeleteTextures(1, &name);
}

TEST(Icons, UploadKeepsColoursForEveryPixelSize)
{
    {
        SCOPED_TRACE("32-bit: blue, green, red, alpha");
        std::vector<std::uint8_t> px = {10, 20, 30, 255, 40, 50, 60, 128, 70, 80, 90, 0};
        IconImage image{px.data(), 3, 1, 4, nullptr};
        GLuint name = GLuint(uploadIcon(image));
        EXPECT_EQ(gltest::getInteger(GL_TEXTURE_BINDING_2D), GLint(name));  // left bound
        TextureInfo info = describe(name);
        EXPECT_EQ(info.width, 3);
        EXPECT_EQ(info.height, 1);
        EXPECT_EQ(texels(name, GL_RGBA, 4, 3, 1), swapRedBlue(px, 4));
        glDeleteTextures(1, &name);
    }
    {
        SCOPED_TRACE("8-bit: palette indices become the palette's colours");
        std::vector<std::uint8_t> px = {0, 2, 1, 2, 0, 1};  // 3 x 2, odd row length
        std::vector<std::uint8_t> palette(1024, 0);
        const std::uint8_t colours[3][4] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {1, 2, 3, 0}};  // blue first
        for (int i = 0; i < 3; ++i)
            std::copy(colours[i], colours[i] + 4, palette.begin() + 4 * i);
        IconImage image{px.data(), 3, 2, 1, palette.data()};
        GLuint name = GLuint(uploadIcon(image));
        std::vector<std::uint8_t> expected;
        for (std::uint8_t index : px)
            expected.insert(expected.end(), {colours[index][2], colours[index][1], colours[index][0]});
        EXPECT_EQ(describe(name).internalFormat, GL_RGB);
        EXPECT_EQ(texels(name, GL_RGB, 3, 3, 2), expected);
        glDeleteTextures(1, &name);
    }
    {
        SCOPED_TRACE("another pixel size: a texture without an image");
        std::vector<std::uint8_t> px(8, 1);
        IconImage image{px.data(), 2, 2, 2, nullptr};
        GLuint name = GLuint(uploadIcon(image));
        EXPECT_TRUE(glIsTexture(name));
        EXPECT_EQ(describe(name).width, 0);
        EXPECT_EQ(describe(name).minFilter, GL_LINEAR);
        glDeleteTextures(1, &name);
    }
}

} // namespace
