// The uniform-list rules and the shader file reader, without GL.
#include "gl/GLSLProgram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

TEST(UniformRules, EachEnumerationGivesItsListsAndMessages)
{
    struct Enumerated {
        const char* name;
        GLenum type;
        GLint size = 1;
    };
    const GLenum F = GL_FLOAT;
    const struct {
        std::vector<Enumerated> enumeration;
        const char* lists;  // units returned | uniforms name@location*arraySize | samplers name@location
        const char* printed;
    } cases[] = {
        // Elements fold into element 0, sized by the last seen; a later element alone is dropped.
        {{{"w[0]", F}, {"w[12]", F}, {"w[2]", F}, {"x[0]", F, 3}, {"z", F, 0}, {"orphan[1]", F}},
         "-1 -1 -1 -1 -1 -1 | w@0*3 x@3*3 z@4*1 |", ""},
        // Malformed brackets register nothing; members of struct arrays fold on the first.
        {{{"s[01]", F}, {"n[-1]", F}, {"e[", F}, {"h[\xC3\xA9]", F}, {"q[1].a", F}, {"s[0].a", F}, {"s[1].a", F}},
         "-1 -1 -1 -1 -1 -1 -1 | s@5*2 |", ""},
        // Samplers take units in arrival order, unfolded and before the built-in check.
        {{{"volume", GL_SAMPLER_3D}, {"lights[0]", F}, {"transfer_function", GL_SAMPLER_1D}, {"t[0]", GL_SAMPLER_2D},
          {"t[1]", GL_SAMPLER_2D}, {"gl_S", GL_SAMPLER_2D_RECT_SHADOW_ARB}, {"gl_M", GL_FLOAT_MAT4}},
         "0 -1 1 2 3 4 -1 | lights@1*1 | volume@0 transfer_function@2 t[0]@3 t[1]@4 gl_S@5", ""},
        // Only the listed value types are kept; a built-in of another type goes silently.
        {{{"u", GL_UNSIGNED_INT}, {"i2", GL_INT_SAMPLER_2D}, {"d", GL_DOUBLE}, {"gl_U", GL_UNSIGNED_INT},
          {"i", GL_INT}, {"v", GL_FLOAT_VEC2}, {"m", GL_FLOAT_MAT4}},
         "-1 -1 -1 -1 -1 -1 -1 | i@4*1 v@5*1 m@6*1 |", "Unknown Uniform Type\nUnknown Uniform Type\nUnknown Uniform Type\n"},
    };
    for (const auto& c : cases) {
        std::vector<UniformInfo> uniforms;
        std::vector<SamplerInfo> samplers;
        std::ostringstream lists;
        testing::internal::CaptureStdout();
        for (const Enumerated& e : c.enumeration)
            lists << addActiveUniform(uniforms, samplers, e.name, GLint(&e - &c.enumeration[0]), e.type, e.size) << ' ';
        lists << '|';
        for (const UniformInfo& u : uniforms)
            lists << ' ' << u.name << '@' << u.location << '*' << u.arraySize;
        lists << " |";
        for (const SamplerInfo& s : samplers)
            lists << ' ' << s.name << '@' << s.location;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed) << c.lists;
        EXPECT_EQ(lists.str(), c.lists);
    }
}

// A directory opens like a file on Linux and fails only when read: that failure used to
// escape as an exception and end the game.
TEST(ShaderFile, UnreadableFileOrDirectoryLeavesTheTextAndReadableOneReplacesIt)
{
    std::string text = "kept";
    EXPECT_FALSE(readShaderFile("no/such/raycast.vert", text) || readShaderFile(testing::TempDir().c_str(), text));
    EXPECT_EQ(text, "kept");
    const std::string path = testing::TempDir() + "quillet_shader_file.frag";
    const std::string content = "void main()\r\n{\tgl_FragColor = vec4(1.0);}\n\n";
    std::ofstream(path, std::ios::binary) << content;
    EXPECT_TRUE(readShaderFile(path.c_str(), text));
    EXPECT_EQ(text, content);  // replaced, not appended; every byte kept
    std::remove(path.c_str());
}
