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

struct ActiveUniform {
    std::string name;
    GLint size;
    GLenum type;
};

// What the driver itself enumerates, for comparing the lists against.
std::vector<ActiveUniform> driverUniforms(GLuint program)
{
    std::vector<ActiveUniform> out;
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256];
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, GLuint(i), sizeof name, &length, &size, &type, name);
        out.push_back({std::string(name, size_t(length)), size, type});
    }
    return out;
}

std::string shaderLog(const GLSLShader* shader)
{
    std::string log;
    if (shader)
        getInfoLog(*shader, log);
    return log;
}

GLint programParameter(const GLSLProgram* program, GLenum name)
{
    GLint v = -1;
    glGetProgramiv(program->handle, name, &v);
    return v;
}

class GLSLProgramTest : public ::testing::Test {
protected:
    GLSLProgram* program = nullptr;
    GLSLShader* vertex = nullptr;
    GLSLShader* fragment = nullptr;

    void TearDown() override
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

    static std::string compileLogs(const GLSLShader* v, const GLSLShader* f)
    {
        return "Vertex Shader Compile Info Log -- \n" + shaderLog(v) + "\n" +
               "Fragment Shader Compile Info Log -- \n" + shaderLog(f) + "\n";
    }
};

} // namespace

TEST_F(GLSLProgramTest, SamplerUnitsFollowEnumerationOrderAndAreSetAtLink)
{
    const std::string out = build(kPlainVS, kSamplerFS);
    ASSERT_EQ(programParameter(program, GL_LINK_STATUS), GL_TRUE) << out;

    std::vector<std::string> enumeratedSamplers;
    for (const ActiveUniform& u : driverUniforms(program->handle))
        if (u.type == GL_SAMPLER_3D || u.type == GL_SAMPLER_1D)
            enumeratedSamplers.push_back(u.name);
    ASSERT_EQ(enumeratedSamplers, (std::vector<std::string>{"volume", "transfer_function"}));

    ASSERT_EQ(program->samplers.size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        const SamplerInfo& s = program->samplers[k];
        EXPECT_EQ(s.name, enumeratedSamplers[k]);
        EXPECT_EQ(s.location, glGetUniformLocation(program->handle, s.name.c_str()));
        GLint unit = -1;
        glGetUniformiv(program->handle, s.location, &unit);
        EXPECT_EQ(unit, GLint(k)) << s.name;
    }
    EXPECT_EQ(program->findSampler("transfer_function"), &program->samplers[1]);
    EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), 0);  // link leaves no program in use

    // A second link rebuilds the lists instead of appending units 2 and 3.
    glUseProgram(program->handle);
    glUniform1i(program->samplers[0].location, 6);
    glUseProgram(0);
    testing::internal::CaptureStdout();
    program->link();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(program->samplers.size(), 2u);
    GLint unit = -1;
    glGetUniformiv(program->handle, program->samplers[0].location, &unit);
    EXPECT_EQ(unit, 0);
    EXPECT_EQ(program->uniforms.size(), 2u);
}

TEST_F(GLSLProgramTest, BuiltinsAreLeftOutAndArraysGiveOneEntry)
{
    const std::string out = build(kPlainVS, kSamplerFS);
    EXPECT_EQ(out, compileLogs(vertex, fragment));  // no "Unknown Uniform Type" for gl_ names

    // This driver does list the built-in matrix, and lists the array once with its size.
    bool driverListsBuiltin = false, driverListsArrayOnce = false;
    for (const ActiveUniform& u : driverUniforms(program->handle)) {
        driverListsBuiltin |= u.name.rfind("gl_", 0) == 0;
        driverListsArrayOnce |= u.name == "w[0]" && u.size == 4;
    }
    EXPECT_TRUE(driverListsBuiltin);
    EXPECT_TRUE(driverListsArrayOnce);

    ASSERT_EQ(program->uniforms.size(), 2u);
    for (const UniformInfo& u : program->uniforms)
        EXPECT_NE(u.name.rfind("gl_", 0), 0u) << u.name;
    const UniformInfo* w = program->findUniform("w");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->type, GLenum(GL_FLOAT));
    EXPECT_EQ(w->arraySize, 4);
    EXPECT_EQ(w->location, glGetUniformLocation(program->handle, "w[0]"));

    // The location addresses the whole array.
    const float values[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    glUseProgram(program->handle);
    glUniform1fv(w->location, 4, values);
    glUseProgram(0);
    float last = 0.0f;
    glGetUniformfv(program->handle, glGetUniformLocation(program->handle, "w[3]"), &last);
    EXPECT_EQ(last, 1.0f);

    // Lookups are exact and case-sensitive.
    EXPECT_NE(program->findUniform("eye"), nullptr);
    EXPECT_EQ(program->findUniform("w[0]"), nullptr);
    EXPECT_EQ(program->findUniform("w[1]"), nullptr);
    EXPECT_EQ(program->findUniform("W"), nullptr);
    EXPECT_EQ(program->findUniform("Eye"), nullptr);
    EXPECT_EQ(program->findUniform("ey"), nullptr);
    EXPECT_EQ(program->findUniform("eye "), nullptr);
    EXPECT_EQ(program->findUniform("gl_ModelViewProjectionMatrix"), nullptr);
    EXPECT_EQ(program->findSampler("Volume"), nullptr);
    EXPECT_EQ(program->findSampler("volume")->name, "volume");
}

TEST_F(GLSLProgramTest, UnlistedTypesPrintOncePerLinkAndCannotBeFound)
{
    const char* fs =
        "#version 130\n"
        "uniform uint count;\n"
        "uniform mat2x3 skew;\n"
        "uniform float gain;\n"
        "void main(){ gl_FragColor = vec4(float(count) * gain + skew[0][0]); }\n";
    const std::string out = build(kPlainVS, fs);
    ASSERT_EQ(programParameter(program, GL_LINK_STATUS), GL_TRUE) << out;
    EXPECT_EQ(out, compileLogs(vertex, fragment) + "Unknown Uniform Type\nUnknown Uniform Type\n");
    EXPECT_EQ(program->findUniform("count"), nullptr);
    EXPECT_EQ(program->findUniform("skew"), nullptr);
    ASSERT_EQ(program->uniforms.size(), 1u);
    EXPECT_EQ(program->uniforms[0].name, "gain");

    testing::internal::CaptureStdout();
    program->link();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unknown Uniform Type\nUnknown Uniform Type\n");
}

TEST_F(GLSLProgramTest, QueryUniformsPutsBackTheCallersProgram)
{
    build(kPlainVS, kSamplerFS);
    GLSLProgram* other = nullptr;
    GLSLShader *ov = nullptr, *of = nullptr;
    testing::internal::CaptureStdout();
    buildProgram(other, ov, of, kPlainVS, "void main(){ gl_FragColor = vec4(1.0); }");
    testing::internal::GetCapturedStdout();

    program->uniforms.clear();
    program->samplers.clear();
    glUseProgram(other->handle);
    program->queryUniforms();
    EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), GLint(other->handle));
    EXPECT_EQ(program->samplers.size(), 2u);

    // With the program itself in use it stays in use.
    program->samplers.clear();
    glUseProgram(program->handle);
    program->queryUniforms();
    EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), GLint(program->handle));

    glUseProgram(0);
    delete other;
    glDeleteShader(ov->handle);
    glDeleteShader(of->handle);
    delete ov;
    delete of;
}

TEST_F(GLSLProgramTest, GoodProgramLogsBothStagesOnlyAndRebuildReusesRecords)
{
    const std::string out = build(kPlainVS, kSamplerFS);
    ASSERT_NE(program, nullptr);
    ASSERT_NE(vertex, nullptr);
    ASSERT_NE(fragment, nullptr);
    EXPECT_EQ(shaderLog(vertex), "");  // this driver is silent on success
    EXPECT_EQ(out, "Vertex Shader Compile Info Log -- \n\nFragment Shader Compile Info Log -- \n\n");
    EXPECT_TRUE(vertex->compiled && vertex->hasSource);
    EXPECT_TRUE(fragment->compiled && fragment->hasSource);
    EXPECT_EQ(vertex->kind, GLenum(GL_VERTEX_SHADER));
    EXPECT_EQ(fragment->kind, GLenum(GL_FRAGMENT_SHADER));
    EXPECT_EQ(programParameter(program, GL_ATTACHED_SHADERS), 2);
    EXPECT_EQ(programParameter(program, GL_VALIDATE_STATUS), GL_TRUE);

    // Filled slots are reused: same records, same GL objects, lists rebuilt.
    GLSLProgram* const p = program;
    GLSLShader* const v = vertex;
    const GLuint vHandle = vertex->handle, pHandle = program->handle;
    const std::string again = build(kPlainVS, kSamplerFS);
    EXPECT_EQ(again, out);
    EXPECT_EQ(program, p);
    EXPECT_EQ(vertex, v);
    EXPECT_EQ(vertex->handle, vHandle);
    EXPECT_EQ(program->handle, pHandle);
    EXPECT_EQ(programParameter(program, GL_ATTACHED_SHADERS), 2);
    EXPECT_EQ(program->samplers.size(), 2u);

    // The info-log readers append.
    std::string log = "kept:";
    program->getInfoLog(log);
    getInfoLog(*vertex, log);
    EXPECT_EQ(log, "kept:");
}

TEST_F(GLSLProgramTest, MissingVertexFileStillCompilesLinksAndReportsFailure)
{
    const std::string fragmentPath = testing::TempDir() + "quillet_good.frag";
    std::ofstream(fragmentPath) << "void main(){ gl_FragColor = vec4(1.0); }\n";

    testing::internal::CaptureStdout();
    buildProgramFromFiles(program, vertex, fragment, "no_such_raycast.vert", fragmentPath.c_str());
    const std::string out = testing::internal::GetCapturedStdout();
    std::remove(fragmentPath.c_str());

    ASSERT_NE(vertex, nullptr);  // the empty text went to the compiler
    EXPECT_TRUE(vertex->hasSource);
    EXPECT_FALSE(vertex->compiled);
    EXPECT_NE(shaderLog(vertex), "");
    EXPECT_TRUE(fragment->compiled);
    EXPECT_EQ(programParameter(program, GL_LINK_STATUS), GL_FALSE);
    // The link log itself is gone from GL by now (validation replaces it), so the
    // output is checked around it.
    const std::string head = compileLogs(vertex, fragment) + "Current program failed to link!\n" +
                             "GLSL Program Link Info Log -- \n";
    const std::string tail = "\nCurrent program is not a valid GLSL program!\n";
    ASSERT_GT(out.size(), head.size() + tail.size()) << out;
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    const std::string linkLog = out.substr(head.size(), out.size() - head.size() - tail.size());
    EXPECT_FALSE(linkLog.empty());
    EXPECT_TRUE(program->uniforms.empty());
    EXPECT_TRUE(program->samplers.empty());
}

TEST_F(GLSLProgramTest, NullStageIsSkippedEntirely)
{
    const std::string out = build(kPlainVS, nullptr);
    EXPECT_EQ(fragment, nullptr);
    EXPECT_EQ(out, "Vertex Shader Compile Info Log -- \n" + shaderLog(vertex) + "\n");
    EXPECT_EQ(programParameter(program, GL_ATTACHED_SHADERS), 1);
    EXPECT_EQ(programParameter(program, GL_LINK_STATUS), GL_TRUE);

    // A null file name is a null stage too; an existing record is left alone.
    GLSLShader* const v = vertex;
    testing::internal::CaptureStdout();
    buildProgramFromFiles(program, vertex, fragment, nullptr, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(vertex, v);
    EXPECT_EQ(fragment, nullptr);
}
