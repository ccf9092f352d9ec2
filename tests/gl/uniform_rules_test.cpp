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
    std::string printed(const char* name, GLenum type)
    {
        testing::internal::CaptureStdout();
        add(name, 9, type);
        return testing::internal::GetCapturedStdout();
    }
};

} // namespace

TEST(UniformRules, ArrayEnumeratedElementByElementFoldsIntoOneEntry)
{
    Lists l;
    // A driver that lists w[0], w[1], w[2], w[3] separately, each with size 1.
    for (GLint i = 0; i < 4; ++i)
        l.add(("w[" + std::to_string(i) + "]").c_str(), 4 + i, GL_FLOAT);
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

    // An array the driver reports once keeps the driver's size.
    l.add("x[0]", 7, GL_FLOAT, 3);
    ASSERT_EQ(l.uniforms.size(), 3u);
    EXPECT_EQ(l.uniforms[2].name, "x");
    EXPECT_EQ(l.uniforms[2].arraySize, 3);

    // A later element whose element 0 never came creates nothing.
    l.add("orphan[1]", 30, GL_FLOAT);
    EXPECT_EQ(l.uniforms.size(), 3u);
    EXPECT_TRUE(l.samplers.empty());
}

TEST(UniformRules, MalformedBracketsAreSkippedAndStructArraysFoldOnTheirFirstBracket)
{
    Lists l;
    // "[01]", "[-1]", a bracket at the end, a byte above 127 (negative as a signed char)
    // and a later element of an unregistered "q" register nothing.
    for (const char* name : {"s[01]", "n[-1]", "e[", "h[\xC3\xA9]", "q[1].a"})
        l.add(name, 2, GL_FLOAT);
    EXPECT_TRUE(l.uniforms.empty());
    // Only the first bracket counts: members of a struct array fold into its name.
    l.add("s[0].a", 7, GL_FLOAT);
    l.add("s[1].a", 8, GL_FLOAT);
    ASSERT_EQ(l.uniforms.size(), 1u);
    EXPECT_EQ(l.uniforms[0].name, "s");
    EXPECT_EQ(l.uniforms[0].arraySize, 2);
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
    EXPECT_EQ(l.samplers[0].location, 3);
    EXPECT_EQ(l.samplers[3].name, "tables[1]");
    ASSERT_EQ(l.uniforms.size(), 1u);
    EXPECT_EQ(l.uniforms[0].name, "lights");
}

TEST(UniformRules, TypesOutsideTheTablePrintAndAreDropped)
{
    Lists l;
    for (GLenum type : {GLenum(GL_UNSIGNED_INT), GLenum(GL_INT_SAMPLER_2D), GLenum(GL_DOUBLE)})
        EXPECT_EQ(l.printed("odd", type), "Unknown Uniform Type\n") << type;
    EXPECT_EQ(l.printed("gl_Odd", GL_UNSIGNED_INT), "");  // built-ins are dropped silently
    EXPECT_TRUE(l.uniforms.empty());
    EXPECT_TRUE(l.samplers.empty());
    // The two scalars and the ends of the vector and matrix range are kept.
    for (GLenum type : {GLenum(GL_INT), GLenum(GL_FLOAT), GLenum(GL_FLOAT_VEC2), GLenum(GL_FLOAT_MAT4)})
        EXPECT_EQ(l.printed("value", type), "");
    EXPECT_EQ(l.uniforms.size(), 4u);
}

// A directory opens like a file on Linux and fails only when read: that failure used to
// escape as an exception and end the game.
TEST(ShaderFile, UnreadableFileOrDirectoryLeavesTheTextAndReadableOneReplacesIt)
{
    std::string text = "kept";
    for (std::string unreadable : {std::string("no/such/dir/raycast.vert"), testing::TempDir(), std::string(".")}) {
        EXPECT_FALSE(readShaderFile(unreadable.c_str(), text)) << unreadable;
        EXPECT_EQ(text, "kept");
    }
    const std::string path = testing::TempDir() + "quillet_shader_file.frag";
    const std::string content = "void main()\r\n{\tgl_FragColor = vec4(1.0);}\n\n";
    std::ofstream(path, std::ios::binary) << content;
    EXPECT_TRUE(readShaderFile(path.c_str(), text));
    EXPECT_EQ(text, content);  // replaced, not appended; every byte kept

    std::ofstream(path, std::ios::binary | std::ios::trunc).flush();
    EXPECT_TRUE(readShaderFile(path.c_str(), text));
    EXPECT_EQ(text, "");
    std::remove(path.c_str());
}

TEST(TextureStorage, PowerOfTwoRoundsUpAndNeverBelowOne)
{
    const std::pair<int, int> cases[] = {{-7, 1}, {0, 1}, {1, 1}, {2, 2}, {3, 4}, {113, 128},
                                         {256, 256}, {257, 512}, {300, 512}, {(1 << 30), (1 << 30)}};
    for (auto [value, expected] : cases)
        EXPECT_EQ(GLTex::powerOfTwoAtLeast(value), expected) << value;
}
