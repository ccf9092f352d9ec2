// The uniform-list rules and file reading, without a GL context.
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Lists {
    std::vector<UniformInfo> uniforms;
    std::vector<SamplerInfo> samplers;
    int add(const char* name, GLint location, GLenum type, GLint size = 1)
    {
        return addActiveUniform(uniforms, samplers, name, location, type, size);
    }
};

std::string captureStdout(Lists& lists, const char* name, GLenum type)
{
    testing::internal::CaptureStdout();
    lists.add(name, 9, type);
    return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(UniformRules, ArrayEnumeratedElementByElementFoldsIntoOneEntry)
{
    Lists l;
    // A driver that lists w[0], w[1], w[2], w[3] separately, each with size 1.
    l.add("w[0]", 4, GL_FLOAT);
    l.add("w[1]", 5, GL_FLOAT);
    l.add("w[2]", 6, GL_FLOAT);
    l.add("w[3]", 7, GL_FLOAT);
    ASSERT_EQ(l.uniforms.size(), 1u);
    EXPECT_EQ(l.uniforms[0].name, "w");
    EXPECT_EQ(l.uniforms[0].location, 4);  // element 0's location
    EXPECT_EQ(l.uniforms[0].arraySize, 4);

    // Elements out of order: the size follows the element seen last, as read by atoi.
    l.add("v[0]", 10, GL_FLOAT_VEC3);
    l.add("v[12]", 22, GL_FLOAT_VEC3);
    l.add("v[2]", 12, GL_FLOAT_VEC3);
    ASSERT_EQ(l.uniforms.size(), 2u);
    EXPECT_EQ(l.uniforms[1].arraySize, 3);

    // A later element whose element 0 never came creates nothing.
    l.add("orphan[1]", 30, GL_FLOAT);
    EXPECT_EQ(l.uniforms.size(), 2u);
    EXPECT_TRUE(l.samplers.empty());
}

TEST(UniformRules, ArrayReportedOnceKeepsTheDriversSize)
{
    Lists l;
    l.add("x[0]", 7, GL_FLOAT, 3);
    ASSERT_EQ(l.uniforms.size(), 1u);
    EXPECT_EQ(l.uniforms[0].name, "x");
    EXPECT_EQ(l.uniforms[0].arraySize, 3);
    l.add("plain", 8, GL_INT);
    EXPECT_EQ(l.uniforms[1].arraySize, 1);
}

TEST(UniformRules, MalformedBracketsAreSkippedAndStructArraysFoldOnTheirFirstBracket)
{
    Lists l;
    l.add("s[01]", 2, GL_FLOAT);        // zero followed by something other than ']'
    l.add("s[0x]", 2, GL_FLOAT);
    l.add("n[-1]", 3, GL_FLOAT);        // at or below '0'
    l.add("e[", 4, GL_FLOAT);           // terminator right after the bracket
    l.add("h[\xC3\xA9]", 5, GL_FLOAT);  // negative as a signed byte
    l.add("q[1].a", 6, GL_FLOAT);       // later element of an unregistered "q"
    EXPECT_TRUE(l.uniforms.empty());
    EXPECT_TRUE(l.samplers.empty());

    // Only the first bracket counts: members of a struct array fold into its name.
    l.add("s[0].a", 7, GL_FLOAT);
    l.add("s[1].a", 8, GL_FLOAT);
    // A struct member without brackets is registered under its full name.
    l.add("t.a", 9, GL_FLOAT);
    ASSERT_EQ(l.uniforms.size(), 2u);
    EXPECT_EQ(l.uniforms[0].name, "s");
    EXPECT_EQ(l.uniforms[0].location, 7);
    EXPECT_EQ(l.uniforms[0].arraySize, 2);
    EXPECT_EQ(l.uniforms[1].name, "t.a");
}

TEST(UniformRules, SamplersTakeUnitsInArrivalOrderAndKeepTheirNames)
{
    Lists l;
    EXPECT_EQ(l.add("volume", 3, GL_SAMPLER_3D), 0);
    EXPECT_EQ(l.add("lights[0]", 0, GL_FLOAT), -1);
    EXPECT_EQ(l.add("transfer_function", 1, GL_SAMPLER_1D), 1);
    // Sampler array elements are not folded: each is its own sampler and unit.
    EXPECT_EQ(l.add("tables[0]", 5, GL_SAMPLER_2D), 2);
    EXPECT_EQ(l.add("tables[1]", 6, GL_SAMPLER_2D), 3);
    // Built-in names are only dropped after the sampler check.
    EXPECT_EQ(l.add("gl_Shadow", 8, GL_SAMPLER_2D_RECT_SHADOW_ARB), 4);
    ASSERT_EQ(l.samplers.size(), 5u);
    EXPECT_EQ(l.samplers[0].name, "volume");
    EXPECT_EQ(l.samplers[0].location, 3);
    EXPECT_EQ(l.samplers[2].name, "tables[0]");
    EXPECT_EQ(l.samplers[3].name, "tables[1]");
    ASSERT_EQ(l.uniforms.size(), 1u);
    EXPECT_EQ(l.uniforms[0].name, "lights");
}

TEST(UniformRules, TypesOutsideTheTablePrintAndAreDropped)
{
    Lists l;
    EXPECT_EQ(captureStdout(l, "count", GL_UNSIGNED_INT), "Unknown Uniform Type\n");
    EXPECT_EQ(captureStdout(l, "m", GL_FLOAT_MAT2x3), "Unknown Uniform Type\n");
    EXPECT_EQ(captureStdout(l, "ids", GL_INT_SAMPLER_2D), "Unknown Uniform Type\n");
    EXPECT_EQ(captureStdout(l, "d", GL_DOUBLE), "Unknown Uniform Type\n");
    // Built-ins are dropped silently whatever their type.
    EXPECT_EQ(captureStdout(l, "gl_DepthRange.near", GL_FLOAT), "");
    EXPECT_EQ(captureStdout(l, "gl_Odd", GL_UNSIGNED_INT), "");
    EXPECT_TRUE(l.uniforms.empty());
    EXPECT_TRUE(l.samplers.empty());

    // Every listed value type is kept: the table's ends and the two scalars.
    for (GLenum type : {GLenum(GL_INT), GLenum(GL_FLOAT), GLenum(GL_FLOAT_VEC2),
                        GLenum(GL_BOOL_VEC4), GLenum(GL_FLOAT_MAT4)})
        EXPECT_EQ(captureStdout(l, "value", type), "");
    EXPECT_EQ(l.uniforms.size(), 5u);
}

TEST(ShaderFile, UnreadableFileLeavesTheTextAndReadableOneReplacesIt)
{
    std::string text = "kept";
    EXPECT_FALSE(readShaderFile("no/such/dir/raycast.vert", text));
    EXPECT_EQ(text, "kept");

    const std::string path = testing::TempDir() + "quillet_shader_file.frag";
    const std::string content = "void main()\r\n{\tgl_FragColor = vec4(1.0);}\n\n";
    {
        std::ofstream out(path, std::ios::binary);
        out << content;
    }
    EXPECT_TRUE(readShaderFile(path.c_str(), text));
    EXPECT_EQ(text, content);  // replaced, not appended; every byte kept

    std::ofstream(path, std::ios::binary | std::ios::trunc).flush();
    EXPECT_TRUE(readShaderFile(path.c_str(), text));
    EXPECT_EQ(text, "");
    std::remove(path.c_str());
}

// A directory opens like a file on Linux and fails only when read: that failure used to
// escape as an exception and end the game.
TEST(ShaderFile, DirectoryInPlaceOfAShaderIsUnreadableNotACrash)
{
    std::string text = "kept";
    EXPECT_FALSE(readShaderFile(testing::TempDir().c_str(), text));
    EXPECT_EQ(text, "kept");
    EXPECT_FALSE(readShaderFile(".", text));
    EXPECT_EQ(text, "kept");
}

TEST(TextureStorage, PowerOfTwoRoundsUpAndNeverBelowOne)
{
    const std::vector<std::pair<int, int>> cases = {
        {-7, 1}, {0, 1}, {1, 1}, {2, 2}, {3, 4}, {113, 128}, {200, 256}, {256, 256}, {257, 512},
        {300, 512}, {(1 << 30), (1 << 30)}};
    for (auto [value, expected] : cases)
        EXPECT_EQ(GLTex::powerOfTwoAtLeast(value), expected) << value;
}
