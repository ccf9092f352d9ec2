// The ray-setup programs against the real driver: build logs, uniform lists, and the
// images they draw for a known box and camera, compared with an exact ray-box
// intersection on the CPU. Targets are RGBA 16-bit float, as the caster's are.
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "render/RaySetupPrograms.h"
#include "tests/render/raycaster_reference.h"
#include "tests/support/GLTestSupport.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

using reference::Vec3;
using Pixel = std::array<float, 4>;

constexpr int kSize = 64;  // target edge in pixels
constexpr Vec3 kScale = {1.0, 0.8, 0.6};

// One unit in the last place of a half float (10 stored mantissa bits; the driver
// may truncate rather than round), plus a little interpolation noise.
bool closeInHalf(double gpu, double cpu)
{
    return std::fabs(gpu - cpu) <= std::fabs(cpu) * std::ldexp(1.0, -10) + 5e-5;
}

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

// Faces of the box [0, scale], counter-clockwise seen from outside.
void drawBox(const Vec3& s)
{
    const double v[6][4][3] = {
        {{0, 0, 0}, {0, 0, s[2]}, {0, s[1], s[2]}, {0, s[1], 0}},
        {{s[0], 0, 0}, {s[0], s[1], 0}, {s[0], s[1], s[2]}, {s[0], 0, s[2]}},
        {{0, 0, 0}, {s[0], 0, 0}, {s[0], 0, s[2]}, {0, 0, s[2]}},
        {{0, s[1], 0}, {0, s[1], s[2]}, {s[0], s[1], s[2]}, {s[0], s[1], 0}},
        {{0, 0, 0}, {0, s[1], 0}, {s[0], s[1], 0}, {s[0], 0, 0}},
        {{0, 0, s[2]}, {s[0], 0, s[2]}, {s[0], s[1], s[2]}, {0, s[1], s[2]}},
    };
    glBegin(GL_QUADS);
    for (const auto& face : v)
        for (const auto& corner : face)
            glVertex3dv(corner);
    glEnd();
}

// The current matrices, for un-projecting window positions on the CPU.
struct Camera {
    double modelview[16], projection[16];
    GLint viewport[4];
    Camera()
    {
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
    }
    Vec3 unproject(double x, double y, double windowDepth) const
    {
        Vec3 p{};
        gluUnProject(x, y, windowDepth, modelview, projection, viewport, &p[0], &p[1], &p[2]);
        return p;
    }
    // The exact ray through a window position, cut to the box [0, kScale].
    reference::Ray ray(double x, double y) const
    {
        return reference::castRay(unproject(x, y, 0.0), unproject(x, y, 1.0), {0, 0, 0}, kScale);
    }
    // Pixels whose neighbourhood straddles the silhouette are left to the rasteriser.
    bool coverageIsClear(int px, int py) const
    {
        const bool centre = ray(px + 0.5, py + 0.5).hit;
        for (int c = 0; c < 4; ++c)
            if (ray(px + 0.45 + 0.1 * (c & 1), py + 0.45 + 0.1 * (c >> 1)).hit != centre)
                return false;
        return true;
    }
};

Pixel at(const std::vector<float>& image, int x, int y)
{
    const float* p = &image[(size_t(y) * kSize + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

class RaySetupTest : public ::testing::Test {
protected:
    static Programs programs;
    static std::string buildOutput;

    static void SetUpTestSuite() { buildOutput = programs.build(); }

    void SetUp() override
    {
        ASSERT_NE(programs.rayDirection->findSampler("front_faces"), nullptr) << buildOutput;
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glClearColor(0, 0, 0, 0);
        glDisable(GL_DEPTH_TEST);
    }
    void TearDown() override
    {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glUseProgram(0);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glDepthFunc(GL_LESS);
        glClearDepth(1.0);
    }
};

Programs RaySetupTest::programs;
std::string RaySetupTest::buildOutput;

} // namespace

TEST_F(RaySetupTest, BuildLogsFollowTheWrittenOrder)
{
    Programs& p = programs;
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

TEST_F(RaySetupTest, BoxFacesGiveExactEntryAndExitPoints)
{
    gltest::OffscreenTarget entryTarget(kSize, kSize, GL_RGBA16F_ARB);
    gltest::OffscreenTarget exitTarget(kSize, kSize, GL_RGBA16F_ARB);
    ASSERT_TRUE(exitTarget.complete());

    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, 1.0, 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    gluLookAt(1.4, 1.0, 1.9, 0, 0, 0, 0, 1, 0);
    glTranslated(-kScale[0] / 2, -kScale[1] / 2, -kScale[2] / 2);  // box centred, as cast
    const Camera camera;

    // Entry: nearest front faces. Exit: farthest back faces.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glUseProgram(programs.boundingGeometry->handle);
    entryTarget.bind();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawBox(kScale);
    exitTarget.bind();
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthFunc(GL_GREATER);
    glCullFace(GL_FRONT);
    drawBox(kScale);

    const std::vector<float> entries = entryTarget.read(), exits = exitTarget.read();
    int hits = 0, misses = 0, mismatches = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            if (!camera.coverageIsClear(x, y))
                continue;
            const reference::Ray ray = camera.ray(x + 0.5, y + 0.5);
            const Pixel entry = at(entries, x, y), exit = at(exits, x, y);
            bool ok = ray.hit ? entry[3] == 1.0f && exit[3] == 1.0f : entry == Pixel{} && exit == Pixel{};
            for (int a = 0; ray.hit && a < 3; ++a)
                ok = ok && closeInHalf(entry[a], ray.entry[a]) && closeInHalf(exit[a], ray.exit[a]);
            ++(ray.hit ? hits : misses);
            if (!ok && ++mismatches <= 3)
                ADD_FAILURE() << "pixel " << x << ", " << y << ": entry (" << entry[0] << ", "
                              << entry[1] << ", " << entry[2] << "), exact (" << ray.entry[0] << ", "
                              << ray.entry[1] << ", " << ray.entry[2] << ")";
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(hits, 800);   // the box fills a good part of the view...
    EXPECT_GT(misses, 800); // ...and leaves room around it
}

TEST_F(RaySetupTest, RayDirectionIsExitMinusEntryScaledByEntryAlphaAndZeroWithoutExit)
{
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
    glClear(GL_COLOR_BUFFER_BIT);
    GLSLProgram* dir = programs.rayDirection;
    glUseProgram(dir->handle);
    glUniform1i(dir->findSampler("front_faces")->location, 0);
    glUniform1i(dir->findSampler("back_faces")->location, 1);
    GLTex::drawViewportQuad();
    glUseProgram(0);
    const std::vector<float> dirs = dirTarget.read();
    glDeleteTextures(2, textures);
    glActiveTexture(GL_TEXTURE0);

    for (int i = 0; i < n; ++i) {
        const Pixel got = at(dirs, i, 0);
        for (int c = 0; c < 4; ++c)
            EXPECT_PRED2(closeInHalf, got[c], cases[i].expected[c]) << "case " << i << " channel " << c;
    }
    int nonZero = 0;
    for (size_t i = size_t(n) * 4; i < dirs.size(); ++i)
        nonZero += dirs[i] != 0.0f;
    EXPECT_EQ(nonZero, 0);
}

TEST_F(RaySetupTest, NearPlaneIsUnprojectedClampedToTheUnitCubeWithAlphaZero)
{
    gltest::OffscreenTarget target(kSize, kSize, GL_RGBA16F_ARB);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(60.0, 1.0, 0.5, 10.0);
    glMatrixMode(GL_MODELVIEW);

    // Looking along -z from z = 3 and along +z from z = -3: the near plane lies at
    // z = 2.5 or -2.5, outside the cube, so z clamps to 1 or 0 while x and y (0.21 to
    // 0.79) are un-projected unchanged.
    for (const double eyeZ : {3.0, -3.0}) {
        SCOPED_TRACE(eyeZ);
        const float clampedZ = eyeZ > 0 ? 1.0f : 0.0f;
        glLoadIdentity();
        gluLookAt(0.5, 0.5, eyeZ, 0.5, 0.5, 0.0, 0, 1, 0);
        const Camera camera;
        glClearColor(0.5f, 0.5f, 0.5f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT);
        glUseProgram(programs.nearPlane->handle);
        glBegin(GL_QUADS);
        glVertex3f(-1, 1, -1);
        glVertex3f(-1, -1, -1);
        glVertex3f(1, -1, -1);
        glVertex3f(1, 1, -1);
        glEnd();
        glUseProgram(0);

        const std::vector<float> image = target.read();
        int mismatches = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const Vec3 p = camera.unproject(x + 0.5, y + 0.5, 0.0);
                const Pixel got = at(image, x, y);
                mismatches += !closeInHalf(got[0], p[0]) || !closeInHalf(got[1], p[1]);
                mismatches += got[2] != clampedZ || got[3] != 0.0f;
            }
        EXPECT_EQ(mismatches, 0);
        // The corners really are inside the x/y range of the cube.
        EXPECT_GT(at(image, 0, 0)[0], 0.2f);
        EXPECT_LT(at(image, kSize - 1, kSize - 1)[1], 0.8f);
    }
    glClearColor(0, 0, 0, 0);
}
