// The ray-setup programs against the real driver: build logs, uniform lists, and the
// images they draw for a known box and camera, compared with an exact ray-box
// intersection on the CPU. Targets are RGBA 16-bit float, as the caster's are.
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "render/RaySetupPrograms.h"
#include "tests/support/GLTestSupport.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

using Vec3 = std::array<double, 3>;
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
    GLSLProgram* nearPlane = nullptr;
    GLSLProgram* boundingGeometry = nullptr;
    GLSLProgram* rayDirection = nullptr;
    GLSLProgram* raycast = nullptr;
    GLSLShader* nearPlaneVS = nullptr;
    GLSLShader* nearPlaneFS = nullptr;
    GLSLShader* cubeVS = nullptr;
    GLSLShader* cubeFS = nullptr;
    GLSLShader* rayDirectionVS = nullptr;
    GLSLShader* rayDirectionFS = nullptr;

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

GLint programParameter(const GLSLProgram* p, GLenum name)
{
    GLint v = -1;
    glGetProgramiv(p->handle, name, &v);
    return v;
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
};

// Exact slab intersection of the ray through a window position with the box; false
// when the ray misses or only grazes it.
bool intersectBox(const Camera& camera, double x, double y, Vec3& entry, Vec3& exit)
{
    const Vec3 from = camera.unproject(x, y, 0.0), to = camera.unproject(x, y, 1.0);
    double tNear = 0.0, tFar = 1.0;
    for (int a = 0; a < 3; ++a) {
        const double d = to[a] - from[a];
        if (std::fabs(d) < 1e-12) {
            if (from[a] < 0.0 || from[a] > kScale[a])
                return false;
            continue;
        }
        double t0 = (0.0 - from[a]) / d, t1 = (kScale[a] - from[a]) / d;
        if (t0 > t1)
            std::swap(t0, t1);
        tNear = std::max(tNear, t0);
        tFar = std::min(tFar, t1);
    }
    if (tNear >= tFar)
        return false;
    for (int a = 0; a < 3; ++a) {
        entry[a] = from[a] + tNear * (to[a] - from[a]);
        exit[a] = from[a] + tFar * (to[a] - from[a]);
    }
    return true;
}

enum class Coverage { Hit, Miss, Edge };

// Pixels whose neighbourhood straddles the silhouette are left to the rasteriser.
Coverage classify(const Camera& camera, int px, int py, Vec3& entry, Vec3& exit)
{
    const bool centre = intersectBox(camera, px + 0.5, py + 0.5, entry, exit);
    const double offsets[4][2] = {{0.45, 0.45}, {0.55, 0.45}, {0.45, 0.55}, {0.55, 0.55}};
    for (const auto& o : offsets) {
        Vec3 a, b;
        if (intersectBox(camera, px + o[0], py + o[1], a, b) != centre)
            return Coverage::Edge;
    }
    return centre ? Coverage::Hit : Coverage::Miss;
}

Pixel at(const std::vector<float>& image, int x, int y)
{
    const float* p = &image[(size_t(y) * kSize + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// Runs the ray-direction program over the whole of `out` with the two images on
// units 0 and 1, as the caster's direction pass does.
void drawRayDirections(GLSLProgram* program, GLuint entry, GLuint exit, gltest::OffscreenTarget& out)
{
    out.bind();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, entry);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, exit);
    glUseProgram(program->handle);
    glUniform1i(program->findSampler("front_faces")->location, 0);
    glUniform1i(program->findSampler("back_faces")->location, 1);
    glDisable(GL_DEPTH_TEST);
    GLTex::drawViewportQuad();
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// What the ray-direction program must write for one pair of entry and exit texels.
Pixel expectedDirection(const Pixel& entry, const Pixel& exit)
{
    if (!(exit[0] > 0.0f || exit[1] > 0.0f || exit[2] > 0.0f))
        return {0, 0, 0, 0};
    const double d[3] = {double(exit[0]) - entry[0], double(exit[1]) - entry[1],
                         double(exit[2]) - entry[2]};
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    return {float(d[0]), float(d[1]), float(d[2]), float(length * entry[3])};
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

    // Each shader is of its kind, compiled, and attached to its own program.
    const struct {
        GLSLProgram* program;
        GLSLShader* vertex;
        GLSLShader* fragment;
    } table[3] = {{p.nearPlane, p.nearPlaneVS, p.nearPlaneFS},
                  {p.boundingGeometry, p.cubeVS, p.cubeFS},
                  {p.rayDirection, p.rayDirectionVS, p.rayDirectionFS}};
    for (const auto& row : table) {
        EXPECT_EQ(programParameter(row.program, GL_LINK_STATUS), GL_TRUE);
        EXPECT_EQ(row.vertex->kind, GLenum(GL_VERTEX_SHADER));
        EXPECT_EQ(row.fragment->kind, GLenum(GL_FRAGMENT_SHADER));
        EXPECT_TRUE(row.vertex->compiled && row.fragment->compiled);
        GLuint attached[4] = {0, 0, 0, 0};
        GLsizei count = 0;
        glGetAttachedShaders(row.program->handle, 4, &count, attached);
        ASSERT_EQ(count, 2);
        std::sort(attached, attached + 2);
        GLuint own[2] = {row.vertex->handle, row.fragment->handle};
        std::sort(own, own + 2);
        EXPECT_TRUE(std::equal(own, own + 2, attached));
    }

    // The ray-casting program exists but is left to its owner.
    ASSERT_NE(p.raycast, nullptr);
    EXPECT_TRUE(glIsProgram(p.raycast->handle));
    EXPECT_EQ(programParameter(p.raycast, GL_ATTACHED_SHADERS), 0);
    EXPECT_EQ(programParameter(p.raycast, GL_LINK_STATUS), GL_FALSE);
}

TEST_F(RaySetupTest, FilledProgramSlotsAreKeptAndShaderRecordsAreNew)
{
    Programs again;
    again.raycast = new GLSLProgram();
    GLSLProgram* const raycast = again.raycast;
    GLSLShader* const oldCube = again.cubeVS = new GLSLShader(GL_VERTEX_SHADER);
    const std::string out = again.build();
    EXPECT_EQ(again.raycast, raycast);
    EXPECT_NE(again.cubeVS, oldCube);
    EXPECT_EQ(again.cubeVS->handle != oldCube->handle, true);
    EXPECT_EQ(out.substr(0, 8), "Cube VS\n");

    for (GLSLProgram* prog : {again.nearPlane, again.boundingGeometry, again.rayDirection, again.raycast})
        delete prog;
    for (GLSLShader* s : {again.nearPlaneVS, again.nearPlaneFS, again.cubeVS, again.cubeFS,
                          again.rayDirectionVS, again.rayDirectionFS, oldCube}) {
        glDeleteShader(s->handle);
        delete s;
    }
}

TEST_F(RaySetupTest, OnlyTheRayDirectionProgramListsUniformsAndThoseAreItsTwoSamplers)
{
    GLSLProgram* dir = programs.rayDirection;
    ASSERT_EQ(dir->samplers.size(), 2u);
    EXPECT_TRUE(dir->uniforms.empty());
    for (const char* name : {"front_faces", "back_faces"}) {
        const SamplerInfo* s = dir->findSampler(name);
        ASSERT_NE(s, nullptr) << name;
        GLint unit = -1;
        glGetUniformiv(dir->handle, s->location, &unit);
        EXPECT_EQ(unit, GLint(s - dir->samplers.data())) << name;
    }
    // The other two use only built-ins, which stay out of the lists.
    for (GLSLProgram* prog : {programs.nearPlane, programs.boundingGeometry}) {
        EXPECT_TRUE(prog->uniforms.empty());
        EXPECT_TRUE(prog->samplers.empty());
    }
}

TEST_F(RaySetupTest, BoxFacesGiveExactEntryAndExitPointsAndTheirRayDirections)
{
    gltest::OffscreenTarget entryTarget(kSize, kSize, GL_RGBA16F_ARB);
    gltest::OffscreenTarget exitTarget(kSize, kSize, GL_RGBA16F_ARB);
    gltest::OffscreenTarget dirTarget(kSize, kSize, GL_RGBA16F_ARB);
    ASSERT_TRUE(dirTarget.complete());

    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, 1.0, 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    gluLookAt(1.4, 1.0, 1.9, 0, 0, 0, 0, 1, 0);
    glTranslated(-kScale[0] / 2, -kScale[1] / 2, -kScale[2] / 2);  // box centred, as cast
    glViewport(0, 0, kSize, kSize);
    const Camera camera;

    // Entry: nearest front faces.
    entryTarget.bind();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glUseProgram(programs.boundingGeometry->handle);
    drawBox(kScale);
    // Exit: farthest back faces.
    exitTarget.bind();
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthFunc(GL_GREATER);
    glCullFace(GL_FRONT);
    drawBox(kScale);
    glUseProgram(0);
    glClearDepth(1.0);
    glDepthFunc(GL_LESS);
    glCullFace(GL_BACK);
    glDisable(GL_CULL_FACE);

    const std::vector<float> entries = entryTarget.read(), exits = exitTarget.read();
    int hits = 0, misses = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            Vec3 entry, exit;
            const Coverage c = classify(camera, x, y, entry, exit);
            const Pixel gotEntry = at(entries, x, y), gotExit = at(exits, x, y);
            if (c == Coverage::Miss) {
                ++misses;
                EXPECT_EQ(gotEntry, (Pixel{0, 0, 0, 0})) << x << "," << y;
                EXPECT_EQ(gotExit, (Pixel{0, 0, 0, 0})) << x << "," << y;
            } else if (c == Coverage::Hit) {
                ++hits;
                for (int a = 0; a < 3; ++a) {
                    EXPECT_PRED2(closeInHalf, gotEntry[a], entry[a]) << "entry " << x << "," << y << " axis " << a;
                    EXPECT_PRED2(closeInHalf, gotExit[a], exit[a]) << "exit " << x << "," << y << " axis " << a;
                }
                EXPECT_EQ(gotEntry[3], 1.0f);
                EXPECT_EQ(gotExit[3], 1.0f);
            }
        }
    EXPECT_GT(hits, 800);   // the box fills a good part of the view...
    EXPECT_GT(misses, 800); // ...and leaves room around it

    // Directions from the two images just drawn.
    drawRayDirections(programs.rayDirection, entryTarget.texture(), exitTarget.texture(), dirTarget);
    const std::vector<float> dirs = dirTarget.read();
    int mismatches = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const Pixel want = expectedDirection(at(entries, x, y), at(exits, x, y));
            const Pixel got = at(dirs, x, y);
            for (int c = 0; c < 4; ++c)
                mismatches += !closeInHalf(got[c], want[c]);
        }
    EXPECT_EQ(mismatches, 0);
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
        {{0, 0, 0, 1}, {0, 0.125f, 0, 1}, {0, 0.125f, 0, 0.125f}},
        {{0, 0, 0, 1}, {1, 1, 1, 1}, {1, 1, 1, std::sqrt(3.0f)}},
    };
    constexpr int n = int(sizeof cases / sizeof cases[0]);

    // One texel per case in a row; the rest of the target gets no exit and must stay 0.
    std::vector<float> entryTexels(size_t(kSize) * kSize * 4, 0.0f), exitTexels = entryTexels;
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 4; ++c) {
            entryTexels[size_t(i) * 4 + c] = cases[i].entry[c];
            exitTexels[size_t(i) * 4 + c] = cases[i].exit[c];
        }
    for (size_t i = size_t(n) * 4; i < entryTexels.size(); ++i)
        entryTexels[i] = 0.75f;  // entry everywhere, exit nowhere
    GLuint textures[2];
    glGenTextures(2, textures);
    for (int t = 0; t < 2; ++t) {
        glBindTexture(GL_TEXTURE_2D, textures[t]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, kSize, kSize, 0, GL_RGBA, GL_FLOAT,
                     t == 0 ? entryTexels.data() : exitTexels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);  // as the caster's
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    glBindTexture(GL_TEXTURE_2D, 0);

    gltest::OffscreenTarget dirTarget(kSize, kSize, GL_RGBA16F_ARB);
    drawRayDirections(programs.rayDirection, textures[0], textures[1], dirTarget);
    const std::vector<float> dirs = dirTarget.read();
    glDeleteTextures(2, textures);

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
    const struct {
        double eyeZ, clampedZ;
    } views[2] = {{3.0, 1.0}, {-3.0, 0.0}};
    for (const auto& view : views) {
        SCOPED_TRACE(view.eyeZ);
        glLoadIdentity();
        gluLookAt(0.5, 0.5, view.eyeZ, 0.5, 0.5, 0.0, 0, 1, 0);
        const Camera camera;
        target.bind();
        glClearColor(0.5f, 0.5f, 0.5f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
        glDisable(GL_DEPTH_TEST);
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
                mismatches += got[2] != float(view.clampedZ) || got[3] != 0.0f;
            }
        EXPECT_EQ(mismatches, 0);
        // The corners really are inside the x/y range of the cube.
        EXPECT_GT(at(image, 0, 0)[0], 0.2f);
        EXPECT_LT(at(image, kSize - 1, kSize - 1)[1], 0.8f);
    }
}
