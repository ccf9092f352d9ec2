// GLSL program building, logs and uniform lists against the real driver.
#include "gl/GLSLProgram.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char* kPlainVS = "void main(){ gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex; }";

const char* kSamplerFS =
    "#version 120\n"
    "uniform sampler3D volume;\n"
    "uniform sampler1D transfer_function;\n"
    "uniform float w[4];\n"
    "uniform vec3 eye;\n"
    "void main(){\n"
    "  vec4 c = texture3D(volume, vec3(w[0], w[1], w[3]));\n"
    "  gl_FragColor = c + texture1D(transfer_function, w[2]) + vec4(eye, 0.0);\n"
    "}\n";

std::string shaderLog(const GLSLShader* shader)
{
    std::string log;
    if (shader)
        getInfoLog(*shader, log);
    return log;
}

GLint unitOf(const GLSLProgram* program, const SamplerInfo& s)
{
    GLint unit = -1;
    glGetUniformiv(program->handle, s.location, &unit);
    return unit;
}

// A program and its two stage records, as the callers keep them; deleted with the object.
struct Built {
    GLSLProgram* program = nullptr;
    GLSLShader* vertex = nullptr;
    GLSLShader* fragment = nullptr;

    ~Built()
    {
        glUseProgram(0);
        delete program;
        for (GLSLShader* s : {vertex, fragment}) {
            if (s)
                glDeleteShader(s->handle);
            delete s;
        }
    }
    std::string build(const char* vs, const char* fs)
    {
        testing::internal::CaptureStdout();
        buildProgram(program, vertex, fragment, vs, fs);
        return testing::internal::GetCapturedStdout();
    }
    std::string compileLogs() const
    {
        return "Vertex Shader Compile Info Log -- \n" + shaderLog(vertex) + "\n" +
               "Fragment Shader Compile Info Log -- \n" + shaderLog(fragment) + "\n";
    }
    GLint parameter(GLenum name) const
    {
        GLint v = -1;
        glGetProgramiv(program->handle, name, &v);
        return v;
    }
};

} // namespace

TEST(GLSLProgramTest, LinkListsSamplersOnUnitsInEnumerationOrderAndArraysOnceWithoutBuiltins)
{
    Built b;
    const std::string out = b.build(kPlainVS, kSamplerFS);
    ASSERT_EQ(b.parameter(GL_LINK_STATUS), GL_TRUE) << out;
    EXPECT_EQ(out, b.compileLogs());  // no "Unknown Uniform Type" for the driver's gl_ names
    GLSLProgram* p = b.program;

    // The samplers in the driver's enumeration order (it also lists gl_ModelViewProjectionMatrix).
    std::vector<std::string> enumeratedSamplers;
    GLint count = 0;
    glGetProgramiv(p->handle, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256];
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(p->handle, GLuint(i), sizeof name, nullptr, &size, &type, name);
        if (type == GL_SAMPLER_3D || type == GL_SAMPLER_1D)
            enumeratedSamplers.push_back(name);
    }
    ASSERT_EQ(p->samplers.size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(p->samplers[k].name, enumeratedSamplers.at(k));
        EXPECT_EQ(p->samplers[k].location, glGetUniformLocation(p->handle, enumeratedSamplers[k].c_str()));
        EXPECT_EQ(unitOf(p, p->samplers[k]), GLint(k));
    }
    EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), 0);  // link leaves no program in use

    ASSERT_EQ(p->uniforms.size(), 2u);  // w and eye
    const UniformInfo* w = p->findUniform("w");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->type, GLenum(GL_FLOAT));
    EXPECT_EQ(w->arraySize, 4);
    EXPECT_EQ(w->location, glGetUniformLocation(p->handle, "w[0]"));
    // Lookups are exact and case-sensitive.
    EXPECT_NE(p->findUniform("eye"), nullptr);
    for (const char* near : {"w[0]", "W", "Eye", "ey", "eye ", "gl_ModelViewProjectionMatrix"})
        EXPECT_EQ(p->findUniform(near), nullptr) << near;
    EXPECT_EQ(p->findSampler("transfer_function"), &p->samplers[1]);
    EXPECT_EQ(p->findSampler("Volume"), nullptr);

    // A second link rebuilds the lists and units instead of appending units 2 and 3.
    glUseProgram(p->handle);
    glUniform1i(p->samplers[0].location, 6);
    glUseProgram(0);
    testing::internal::CaptureStdout();
    p->link();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(p->samplers.size(), 2u);
    EXPECT_EQ(unitOf(p, p->samplers[0]), 0);
    EXPECT_EQ(p->uniforms.size(), 2u);
}

TEST(GLSLProgramTest, UnlistedTypesPrintOncePerLinkAndCannotBeFound)
{
    Built b;
    const std::string out = b.build(kPlainVS, "#version 130\nuniform uint count;\nuniform mat2x3 skew;\n"
                                              "uniform float gain;\n"
                                              "void main(){ gl_FragColor = vec4(float(count) * gain + skew[0][0]); }\n");
    ASSERT_EQ(b.parameter(GL_LINK_STATUS), GL_TRUE) << out;
    EXPECT_EQ(out, b.compileLogs() + "Unknown Uniform Type\nUnknown Uniform Type\n");
    EXPECT_EQ(b.program->findUniform("count"), nullptr);
    EXPECT_EQ(b.program->findUniform("skew"), nullptr);
    ASSERT_EQ(b.program->uniforms.size(), 1u);
    EXPECT_EQ(b.program->uniforms[0].name, "gain");

    testing::internal::CaptureStdout();
    b.program->link();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unknown Uniform Type\nUnknown Uniform Type\n");
}

TEST(GLSLProgramTest, QueryUniformsPutsBackTheCallersProgram)
{
    Built b, other;
    b.build(kPlainVS, kSamplerFS);
    other.build(kPlainVS, "void main(){ gl_FragColor = vec4(1.0); }");
    for (GLSLProgram* inUse : {other.program, b.program}) {  // the program itself stays in use too
        b.program->uniforms.clear();
        b.program->samplers.clear();
        glUseProgram(inUse->handle);
        b.program->queryUniforms();
        EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), GLint(inUse->handle));
        EXPECT_EQ(b.program->samplers.size(), 2u);
    }
}

TEST(GLSLProgramTest, GoodProgramLogsBothStagesOnlyAndRebuildReusesRecords)
{
    Built b;
    const std::string out = b.build(kPlainVS, kSamplerFS);
    ASSERT_NE(b.fragment, nullptr);
    // This driver is silent on success.
    EXPECT_EQ(out, "Vertex Shader Compile Info Log -- \n\nFragment Shader Compile Info Log -- \n\n");
    EXPECT_TRUE(b.vertex->compiled && b.fragment->compiled);
    EXPECT_EQ(b.parameter(GL_VALIDATE_STATUS), GL_TRUE);

    // Filled slots are reused: same records, same GL objects, lists rebuilt.
    GLSLProgram* const p = b.program;
    GLSLShader* const v = b.vertex;
    const GLuint vHandle = v->handle, pHandle = p->handle;
    EXPECT_EQ(b.build(kPlainVS, kSamplerFS), out);
    EXPECT_EQ(b.program, p);
    EXPECT_EQ(b.vertex, v);
    EXPECT_EQ(v->handle, vHandle);
    EXPECT_EQ(p->handle, pHandle);
    EXPECT_EQ(b.parameter(GL_ATTACHED_SHADERS), 2);  // not attached twice
    EXPECT_EQ(p->samplers.size(), 2u);                // lists rebuilt, not appended
}

TEST(GLSLProgramTest, MissingVertexFileStillCompilesLinksAndReportsFailure)
{
    const std::string fragmentPath = testing::TempDir() + "quillet_good.frag";
    std::ofstream(fragmentPath) << "void main(){ gl_FragColor = vec4(1.0); }\n";
    Built b;
    testing::internal::CaptureStdout();
    buildProgramFromFiles(b.program, b.vertex, b.fragment, "no_such_raycast.vert", fragmentPath.c_str());
    const std::string out = testing::internal::GetCapturedStdout();
    std::remove(fragmentPath.c_str());

    ASSERT_NE(b.vertex, nullptr);  // the empty text went to the compiler
    EXPECT_TRUE(b.vertex->hasSource);
    EXPECT_FALSE(b.vertex->compiled);
    EXPECT_NE(shaderLog(b.vertex), "");
    EXPECT_EQ(b.parameter(GL_LINK_STATUS), GL_FALSE);
    // The link log itself is gone from GL by now (validation replaces it), so the
    // output is checked around it.
    const std::string head = b.compileLogs() + "Current program failed to link!\nGLSL Program Link Info Log -- \n";
    const std::string tail = "\nCurrent program is not a valid GLSL program!\n";
    ASSERT_GT(out.size(), head.size() + tail.size()) << out;  // a link log in between
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    EXPECT_TRUE(b.program->uniforms.empty());
    EXPECT_TRUE(b.program->samplers.empty());
}

TEST(GLSLProgramTest, NullStageIsSkippedEntirely)
{
    Built b;
    const std::string out = b.build(kPlainVS, nullptr);
    EXPECT_EQ(b.fragment, nullptr);
    EXPECT_EQ(out, "Vertex Shader Compile Info Log -- \n" + shaderLog(b.vertex) + "\n");
    EXPECT_EQ(b.parameter(GL_ATTACHED_SHADERS), 1);
    EXPECT_EQ(b.parameter(GL_LINK_STATUS), GL_TRUE);

    // A null file name is a null stage too; an existing record is left alone.
    GLSLShader* const v = b.vertex;
    testing::internal::CaptureStdout();
    buildProgramFromFiles(b.program, b.vertex, b.fragment, nullptr, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(b.vertex, v);
    EXPECT_EQ(b.fragment, nullptr);
}
