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

GLint level0(GLuint name, GLenum what)
{
    GLint v = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, what, &v);
    return v;
}

// Level 0 as tightly packed bytes, RGB or RGBA (by `channels`), row 0 first.
std::vector<std::uint8_t> texels(GLuint name, int channels, int width, int height)
{
    std::vector<std::uint8_t> out(std::size_t(width) * height * channels);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, out.data());
    return out;
}

// Rows of blue, green, red (file order) as red, green, blue.
std::vector<std::uint8_t> swapRedBlue(std::vector<std::uint8_t> px, int channels)
{
    for (std::size_t i = 0; i + 2 < px.size(); i += std::size_t(channels))
        std::swap(px[i], px[i + 2]);
    return px;
}

// Runs loadIcons in `dir`; returns what it wrote to standard error.
std::string loadIconsIn(const testfs::ScratchDir& dir, AppState& state)
{
    testfs::WorkingDirectory cwd(dir.path());
    testing::internal::CaptureStderr();
    loadIcons(state);
    return testing::internal::GetCapturedStderr();
}

} // namespace

TEST(Icons, StartUpLoadsIconsFromTheWorkingDirectoryAndSkipsMissingOrDamagedOnes)
{
    testfs::ScratchDir dir;
    testbmp::Bitmap rotate = testbmp::patternBitmap(3, 2, 24); // 9-byte rows: needs unpack alignment 1
    dir.write("rottool.bmp", testbmp::encode(rotate));
    AppState state{};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBlendFunc(GL_ONE, GL_ZERO);
    EXPECT_EQ(loadIconsIn(dir, state), "movetool.bmp: getRAWfromDIB file access error\n");
    EXPECT_EQ(state.moveToolTexture, -1);
    ASSERT_GT(state.rotateToolTexture, 0);
    GLuint name = GLuint(state.rotateToolTexture);
    EXPECT_EQ(level0(name, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    // Texture row 0 is the bitmap's top row; the file's blue-first bytes come out as RGB.
    EXPECT_EQ(texels(name, 3, 3, 2), swapRedBlue(rotate.rows, 3));
    EXPECT_EQ(gltest::getInteger(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
    EXPECT_EQ(gltest::getInteger(GL_BLEND_DST_RGB), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(gltest::getInteger(GL_UNPACK_ALIGNMENT), 4) << "restored after the upload";
    glDeleteTextures(1, &name);

    // A damaged icon gives no texture and the loader's message; 32-bit pixels keep alpha.
    testbmp::Bitmap move = testbmp::patternBitmap(2, 2, 32);
    dir.write("rottool.bmp", testbmp::encode(testbmp::patternBitmap(2, 2, 16)));
    dir.write("movetool.bmp", testbmp::encode(move));
    state = AppState{};
    EXPECT_EQ(loadIconsIn(dir, state),
              "rottool.bmp: getRAWfromDIB file incomplete, contains errors or is of wrong type. (2x2:16)\n");
    EXPECT_EQ(state.rotateToolTexture, -1);
    ASSERT_GT(state.moveToolTexture, 0);
    name = GLuint(state.moveToolTexture);
    EXPECT_EQ(level0(name, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(texels(name, 4, 2, 2), swapRedBlue(move.rows, 4));
    glDeleteTextures(1, &name);
}

TEST(Icons, PaletteIconsUploadTheirColoursAndOtherPixelSizesNoImage)
{
    std::vector<std::uint8_t> px = {0, 2, 1, 2, 0, 1}; // 3 x 2, odd row length
    std::vector<std::uint8_t> palette(1024, 0);
    const std::uint8_t colours[3][4] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {1, 2, 3, 0}}; // blue first
    for (int i = 0; i < 3; ++i)
        std::copy(colours[i], colours[i] + 4, palette.begin() + 4 * i);
    GLuint name = GLuint(uploadIcon(IconImage{px.data(), 3, 2, 1, palette.data()}));
    EXPECT_EQ(gltest::getInteger(GL_TEXTURE_BINDING_2D), GLint(name)) << "left bound";
    std::vector<std::uint8_t> expected;
    for (std::uint8_t index : px)
        expected.insert(expected.end(), {colours[index][2], colours[index][1], colours[index][0]});
    EXPECT_EQ(level0(name, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(texels(name, 3, 3, 2), expected);
    glDeleteTextures(1, &name);

    name = GLuint(uploadIcon(IconImage{px.data(), 1, 2, 2, nullptr}));
    EXPECT_TRUE(glIsTexture(name));
    EXPECT_EQ(level0(name, GL_TEXTURE_WIDTH), 0);
    glDeleteTextures(1, &name);
}
