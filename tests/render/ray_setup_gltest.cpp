// The ray-setup programs against the real driver: build logs, uniform lists and the
// direction rule. Their entry and exit images are checked through the caster, against
// exact ray-box intersections, in raycaster_reference_gltest.cpp.
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "render/RaySetupPrograms.h"
#include "tests/render/raycaster_reference.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

using Pixel = std::array<float, 4>;

constexpr int kSize = 64;  // target edge in pixels

struct Programs {
    GLSLProgram *nearPlane = nullptr, *boundingGeometry = nullptr, *rayDirection = nullptr,
                *raycast = nullptr;
    GLSLShader *nearPlaneVS = nullptr, *nearPlaneFS = nullptr, *cubeVS = nullptr,
               *cubeFS = nullptr, *rayDirectionVS = nullptr, *rayDirectionFS = nullptr;

    std::string build()
    {
        testing::internal::CaptureStdout();
        buildRaySetupPrograms(nearPlane, boundingGeometry, rayDirection, raycast, nearPlaneVS,
                              nearPlaneFS, cubeVS, cubeFS, rayDirectionVS, rayDirectionFS);
        return testing::internal::GetCapturedStdout();
    }
};

std::string shaderLog(const GLSLShader* s)
{
    std::string log;
    getInfoLog(*s, log);
    return log;
}

std::string programLog(GLSLProgram* p)
{
    std::string log;
    p->getInfoLog(log);
    return log;
}

// The three programs, built once for the whole program run, and what building them printed.
Programs& built(std::string* log = nullptr)
{
    static Programs programs;
    static const std::string out = programs.build();
    if (log)
        *log = out;
    return programs;
}

} // namespace

TEST(RaySetup, BuildLogsFollowTheWrittenOrder)
{
    std::string buildOutput;
    Programs& p = built(&buildOutput);
    const std::string expected =
        "Cube VS\n" + shaderLog(p.cubeVS) + "\n" +
        "Near Plane VS\n" + shaderLog(p.nearPlaneVS) + "\n" +
        "Ray Direction VS\n" + shaderLog(p.rayDirectionVS) + "\n" +
        "Cube FS\n" + shaderLog(p.cubeFS) + "\n" +
        "Near Plane FS\n" + shaderLog(p.nearPlaneFS) + "\n" +
        "Ray Direction FS\n" + shaderLog(p.rayDirectionFS) + "\n" +
        "Near Plane Prog. Link Info: \n" + programLog(p.nearPlane) + "\n" +
        "Bounding Geometry Prog. Link Info: \n" + programLog(p.boundingGeometry) + "\n" +
        "Ray Direction Prog. Link Info: \n" + programLog(p.rayDirection) + "\n";
    EXPECT_EQ(buildOutput, expected);

    // The ray-casting program exists but is left to its owner.
    ASSERT_NE(p.raycast, nullptr);
    GLint attached = -1;
    glGetProgramiv(p.raycast->handle, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 0);

    // Only the ray-direction program lists anything: its two samplers, set to their
    // units in enumeration order. The other two use built-ins only.
    GLSLProgram* dir = p.rayDirection;
    ASSERT_EQ(dir->samplers.size(), 2u);
    EXPECT_TRUE(dir->uniforms.empty());
    for (const char* name : {"front_faces", "back_faces"}) {
        const SamplerInfo* s = dir->findSampler(name);
        ASSERT_NE(s, nullptr) << name;
        GLint unit = -1;
        glGetUniformiv(dir->handle, s->location, &unit);
        EXPECT_EQ(unit, GLint(s - dir->samplers.data())) << name;
    }
    for (GLSLProgram* prog : {p.nearPlane, p.boundingGeometry})
        EXPECT_TRUE(prog->uniforms.empty() && prog->samplers.empty());
}

TEST(RaySetup, RayDirectionIsExitMinusEntryScaledByEntryAlphaAndZeroWithoutExit)
{
    std::string buildOutput;
    GLSLProgram* dir = built(&buildOutput).rayDirection;
    ASSERT_NE(dir->findSampler("front_faces"), nullptr) << buildOutput;
    struct Case {
        Pixel entry, exit, expected;
    };
    const float root68 = std::sqrt(0.68f);
    const Case cases[] = {
        {{0.1f, 0.2f, 0.3f, 1}, {0.5f, 0.6f, 0.9f, 1}, {0.4f, 0.4f, 0.6f, root68}},
        {{0.1f, 0.2f, 0.3f, 0.5f}, {0.5f, 0.6f, 0.9f, 1}, {0.4f, 0.4f, 0.6f, 0.5f * root68}},
        // Entry alpha 0 (near plane only): direction kept, length 0.
        {{0.1f, 0.2f, 0.3f, 0}, {0.5f, 0.6f, 0.9f, 1}, {0.4f, 0.4f, 0.6f, 0}},
        // No exit point: all zero even with a full entry point.
        {{0.3f, 0.3f, 0.3f, 1}, {0, 0, 0, 1}, {0, 0, 0, 0}},
        {{0.3f, 0.3f, 0.3f, 1}, {-0.5f, 0, -0.25f, 1}, {0, 0, 0, 0}},
        // One positive component is enough, whatever the exit alpha.
        {{0.25f, 0.5f, 0, 1}, {0, 0, 0.75f, 0}, {-0.25f, -0.5f, 0.75f, std::sqrt(0.875f)}},
        {{0, 0, 0, 1}, {1, 1, 1, 1}, {1, 1, 1, std::sqrt(3.0f)}},
    };
    constexpr int n = int(sizeof cases / sizeof cases[0]);

    // One texel per case in a row; the rest of the target has an entry but no exit and
    // must stay 0.
    std::vector<float> texels[2] = {std::vector<float>(size_t(kSize) * kSize * 4, 0.75f),
                                    std::vector<float>(size_t(kSize) * kSize * 4, 0.0f)};
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 4; ++c) {
            texels[0][size_t(i) * 4 + c] = cases[i].entry[c];
            texels[1][size_t(i) * 4 + c] = cases[i].exit[c];
        }
    gltest::OffscreenTarget dirTarget(kSize, kSize, GL_RGBA16F_ARB);
    GLuint textures[2];
    glGenTextures(2, textures);
    for (int t = 0; t < 2; ++t) {
        // On units 0 and 1, filtered linearly, as in the caster's direction pass.
        glActiveTexture(GL_TEXTURE0 + t);
        glBindTexture(GL_TEXTURE_2D, textures[t]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, kSize, kSize, 0, GL_RGBA, GL_FLOAT, texels[t].data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glUseProgram(dir->handle);
    glUniform1i(dir->findSampler("front_faces")->location, 0);
    glUniform1i(dir->findSampler("back_faces")->location, 1);
    GLTex::drawViewportQuad();
    glUseProgram(0);
    const std::vector<float> dirs = dirTarget.read();
    glDeleteTextures(2, textures);
    glActiveTexture(GL_TEXTURE0);

    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 4; ++c)
            EXPECT_PRED2(reference::closeInHalf, dirs[size_t(i) * 4 + c], cases[i].expected[c])
                << "case " << i << " channel " << c;
    int nonZero = 0;
    for (size_t i = size_t(n) * 4; i < dirs.size(); ++i)
        nonZero += dirs[i] != 0.0f;
    EXPECT_EQ(nonZero, 0);
}
