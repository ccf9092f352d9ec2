// GLSL program building, console logs and uniform lists against the real driver.
#include "gl/GLSLProgram.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

const char* kPlainVS = "void main(){ gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex; }";
const char* kSamplerFS =
    "#version 120\nuniform sampler3D volume;\nuniform sampler1D transfer_function;\nuniform float w[4];\n"
    "uniform vec3 eye;\nvoid main(){ gl_FragColor = texture3D(volume, vec3(w[0], w[1], w[3]))\n"
    "  + texture1D(transfer_function, w[2]) + vec4(eye, 0.0); }\n";
const std::string kSilentCompiles = "Vertex Shader Compile Info Log -- \n\nFragment Shader Compile Info Log -- \n\n";

// A program and its stage records as the callers keep them.
struct Built {
    GLSLProgram* program = nullptr;
    GLSLShader *vertex = nullptr, *fragment = nullptr;
    ~Built() { glUseProgram(0); delete program; delete vertex; delete fragment; }
    std::string build(const char* vs, const char* fs)
    {
        testing::internal::CaptureStdout();
        buildProgram(program, vertex, fragment, vs, fs);
        return testing::internal::GetCapturedStdout();
    }
    GLint parameter(GLenum name) const
    {
        GLint v = -1;
        glGetProgramiv(program->handle, name, &v);
        return v;
    }
    GLint unit(const char* sampler) const
    {
        GLint unit = -1;
        glGetUniformiv(program->handle, program->findSampler(sampler)->location, &unit);
        return unit;
    }
};

} // namespace

TEST(GLSLProgramTest, LinkedProgramListsSamplersOnUnitsAndValuesByExactName)
{
    Built b;
    ASSERT_EQ(b.build(kPlainVS, kSamplerFS), kSilentCompiles);  // this driver is silent on success
    EXPECT_TRUE(b.vertex->compiled && b.fragment->compiled && b.parameter(GL_VALIDATE_STATUS));
    EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), 0);
    GLSLProgram* p = b.program;
    ASSERT_EQ(p->samplers.size(), 2u);  // in the driver's (declaration) order
    EXPECT_EQ(p->samplers[0].name + " " + p->samplers[1].name, "volume transfer_function");
    EXPECT_EQ(std::pair(b.unit("volume"), b.unit("transfer_function")), std::pair(0, 1));
    ASSERT_EQ(p->uniforms.size(), 2u);  // w and eye; the driver's gl_ names are dropped
    const UniformInfo* w = p->findUniform("w");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::tuple(w->type, w->arraySize, w->location), std::tuple(GLenum(GL_FLOAT), 4, glGetUniformLocation(p->handle, "w[0]")));
    EXPECT_EQ(std::tuple(p->findUniform("w[0]"), p->findUniform("Eye"), p->findSampler("Volume")),
              std::tuple((UniformInfo*)nullptr, (UniformInfo*)nullptr, (SamplerInfo*)nullptr));

    // A rebuild reuses the records and objects and rebuilds the lists and units.
    GLSLShader* const v = b.vertex;
    EXPECT_EQ(b.build(kPlainVS, kSamplerFS), kSilentCompiles);
    EXPECT_EQ(std::tuple(b.program, b.vertex, b.parameter(GL_ATTACHED_SHADERS)), std::tuple(p, v, 2));
    EXPECT_EQ(p->samplers.size() + p->uniforms.size(), 4u);
    EXPECT_EQ(b.unit("transfer_function"), 1);  // linking reset it to 0
}

TEST(GLSLProgramTest, MissingFileStillCompilesAndLinksWithFailureMessages)
{
    const std::string fragmentPath = testing::TempDir() + "quillet_good.frag";
    std::ofstream(fragmentPath) << "void main(){ gl_FragColor = vec4(1.0); }\n";
    Built b;
    testing::internal::CaptureStdout();
    buildProgramFromFiles(b.program, b.vertex, b.fragment, "no_such_raycast.vert", fragmentPath.c_str());
    const std::string out = testing::internal::GetCapturedStdout();
    std::remove(fragmentPath.c_str());
    std::string log;  // the empty text went to the compiler
    getInfoLog(*b.vertex, log);
    EXPECT_TRUE(!b.vertex->compiled && log != "" && b.parameter(GL_LINK_STATUS) == GL_FALSE) << log;
    // Validation has replaced the link log in GL by now: the output is checked around it.
    const std::string head = "Vertex Shader Compile Info Log -- \n" + log + "\nFragment Shader Compile Info Log -- \n\n"
                             "Current program failed to link!\nGLSL Program Link Info Log -- \n";
    const std::string tail = "\nCurrent program is not a valid GLSL program!\n";
    ASSERT_GT(out.size(), head.size() + tail.size()) << out;  // a link log in between
    EXPECT_EQ(out.substr(0, head.size()) + out.substr(out.size() - tail.size()), head + tail);
}
