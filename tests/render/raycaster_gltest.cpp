// The ray caster against the real driver: upload, uniforms and state of a frame, ray images and
// layers against CPU results, lighting, and skipping on the game's own volume.
#include "classification/PreintTransferFunction1D.h"
#include "gl/GLSLProgram.h"
#include "render/BoundingGeometry.h"
#include "render/GLSLRaycaster.h"
#include "render/OccupancyGrid.h"
#include "tests/render/raycaster_reference.h"
#include "tests/support/GLTestSupport.h"
#include "volume/MetaImageLoader.h"

#include <GL/glu.h>

#include <functional>
#include <memory>

using reference::Vec3;
using Floats = std::vector<float>;
using TransferFunction = std::unique_ptr<Classification::PreintTransferFunction1D>;

namespace {

// The build's run folder: the generated volume beside links to data/.
std::string dataFile(const char* name) { return std::string(QUILLET_DATA_DIR "/") + name; }

void quietly(const std::function<void()>& work)
{
    ::testing::internal::CaptureStdout();
    work();
    ::testing::internal::GetCapturedStdout();
}

// One trapezoid in a 64-entry table, coloured differently at feet, ramps and plateau.
TransferFunction makeTransferFunction(const std::vector<Classification::ShapePoint>& points)
{
    auto tf = std::make_unique<Classification::PreintTransferFunction1D>();
    tf->setTableSize(64);
    tf->addShape("test", "VornTrapez");
    Classification::TransferFunctionGeometry* shape = tf->getShape("test");
    shape->colours = {{1, 0.1f, 0.1f, 1}, {0.2f, 1, 0.2f, 1}, {0.2f, 0.3f, 1, 1}, {1, 0.1f, 0.1f, 1}};
    EXPECT_TRUE(shape->setPoints(points));
    tf->computeVisibleRange();
    tf->update();
    tf->computePreintegration();
    return tf;
}
const std::vector<Classification::ShapePoint> kShell = {{0.15f, 0}, {0.35f, 0.3f}, {0.6f, 0.3f}, {0.9f, 0}};

// A caster with the game's program and, if given, a unit-spaced volume in an octree of these levels.
template <typename Voxel = unsigned char>
std::unique_ptr<GLSLRaycaster> makeCaster(Classification::PreintTransferFunction1D* tf, int width, int height,
                                          std::vector<Voxel>* voxels = nullptr, const int* dims = nullptr,
                                          unsigned char levels = 4)
{
    std::unique_ptr<GLSLRaycaster> caster;
    quietly([&] {
        caster = std::make_unique<GLSLRaycaster>();
        caster->params.transferFunction = tf;
        std::fill(caster->params.maxLevel, caster->params.maxLevel + 3, levels);
        buildProgramFromFiles(caster->raycastProgram, caster->raycastVertex, caster->raycastFragment,
                              dataFile("raycast.vert").c_str(), dataFile("raycast.frag").c_str());
        caster->targetWidth = width;
        caster->targetHeight = height;
        caster->createTargets();
        if (voxels)
            caster->setVolume(voxels->data(), dims[0], dims[1], dims[2], 1, 1, 1);
    });
    return caster;
}

// A sphere of unit-spaced voxels, falling to 0 at `radius` and rising along x so that a swapped axis shows.
std::vector<unsigned char> sphereVolume(const int dims[3], double radius = 0.2)
{
    const double longest = std::max(dims[0], std::max(dims[1], dims[2]));
    std::vector<unsigned char> voxels(size_t(dims[0]) * dims[1] * dims[2]);
    for (size_t n = 0; n < voxels.size(); ++n) {
        const double x = (n % dims[0] + 0.5 - 0.5 * dims[0]) / longest, y = (n / dims[0] % dims[1] + 0.5 - 0.5 * dims[1]) / longest,
                     z = (n / dims[0] / dims[1] + 0.5 - 0.5 * dims[2]) / longest, r = std::sqrt(x * x + y * y + z * z);
        if (r < radius)
            voxels[n] = static_cast<unsigned char>(std::lround(250 * (1 - r / radius) * (0.775 + 0.45 * x / (2 * radius))));
    }
    return voxels;
}

Floats readTarget(const GLTex::OpenGLTexture* texture, int texels = 0)
{
    glActiveTexture(GL_TEXTURE0);
    const auto* target = dynamic_cast<const GLTex::GLTex2D*>(texture);
    return gltest::readTexture(texture->target, texture->handle, texels ? texels : target->width * target->height);
}

GLint level(GLenum target, GLuint texture, GLenum name)
{
    GLint v = 0;
    glBindTexture(target, texture);
    glGetTexLevelParameteriv(target, 0, name, &v);
    return v;
}

// A uniform's current value, n floats (ints converted).
Floats uniformFloats(GLSLProgram* program, const char* name, int n = 1)
{
    Floats v(16, -12345.0f);
    glGetUniformfv(program->handle, glGetUniformLocation(program->handle, name), v.data());
    return Floats(v.begin(), v.begin() + n);
}

void setUniform(GLSLProgram* program, const char* name, int value)
{
    glUseProgram(program->handle);
    glUniform1i(glGetUniformLocation(program->handle, name), value);
    glUseProgram(0);
}

// Perspective camera looking at `centre`, on both stacks; modelview selected.
void setCamera(double fovy, double aspect, double nearPlane, const Vec3& eye, const Vec3& centre = {0, 0, 0},
               const Vec3& up = {0, 1, 0})
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, aspect, nearPlane, 5.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye[0], eye[1], eye[2], centre[0], centre[1], centre[2], up[0], up[1], up[2]);
}

} // namespace

TEST(RaycasterSetup, SixteenBitVoxelsAreStretchedThenUploadedAtSixteenBitsIntoTargetsOfTheirSize)
{
    auto tf = makeTransferFunction(kShell);
    auto texels = [](const GLSLRaycaster& c, int bits) {
        const GLTex::GLTex3D* v = c.volumeTexture;
        EXPECT_EQ(level(GL_TEXTURE_3D, v->handle, GL_TEXTURE_INTENSITY_SIZE), bits);
        std::vector<unsigned short> out(size_t(v->allocWidth) * v->allocHeight * v->allocDepth);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_3D, 0, GL_RED, GL_UNSIGNED_SHORT, out.data());
        return out;
    };
    // A ramp in steps of 16: 8 bits would merge them sixteen at a time (terraced surfaces).
    std::vector<unsigned short> ramp(16 * 16 * 16);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<unsigned short>(i + 1 == ramp.size() ? 65535 : 16 * i);
    const int cube[3] = {16, 16, 16};
    EXPECT_EQ(texels(*makeCaster(tf.get(), 8, 8, &ramp, cube, 1), 16), ramp);
    // Signed: -1024 below x = 8, 1000 and 3071 above; uploaded and ranged after the conversion.
    std::vector<short> hu(16 * 2 * 2);
    for (size_t i = 0; i < hu.size(); ++i)
        hu[i] = i % 16 < 8 ? -1024 : short(i % 16 == 15 ? 3071 : 1000);
    const int flat[3] = {16, 2, 2};
    auto caster = makeCaster(tf.get(), 416, 642, &hu, flat, 1);
    const std::vector<unsigned short> signedTexels = texels(*caster, 16);
    const unsigned short middle = static_cast<unsigned short>(2024.0 / 4095.0 * 65535.0);
    EXPECT_EQ((std::vector<unsigned short>{signedTexels[0], signedTexels[8], signedTexels[15]}),
              (std::vector<unsigned short>{0, middle, 65535}));
    const NodeBox& lower = caster->blockGeometry->root->children[0]->box;  // reaching x = 8
    EXPECT_EQ(std::pair(lower.valueMin, lower.valueMax), std::pair(0.0f, float(middle / 65535.0)));

    GLSLRaycaster& c = *caster;
    for (GLTex::GLTex2D* t : {c.rayDirTexture, c.rayStartTexture, c.rayEndTexture, c.resultTexture})
        EXPECT_EQ(level(GL_TEXTURE_2D, t->handle, GL_TEXTURE_WIDTH) * level(GL_TEXTURE_2D, t->handle, GL_TEXTURE_HEIGHT) *
                      (level(GL_TEXTURE_2D, t->handle, GL_TEXTURE_INTERNAL_FORMAT) == GL_RGBA16F_ARB), 416 * 642);
    EXPECT_EQ(uniformFloats(c.raycastProgram, "tileSize", 2), (Floats{13, 13}));  // both from the width
}

namespace {

// Casters of a 16^3 sphere, which spans the unit cube and is centred by the caster.
struct FrameTest : ::testing::Test {
    std::unique_ptr<GLSLRaycaster> caster()
    {
        const int dims[3] = {16, 16, 16};
        std::vector<unsigned char> voxels = sphereVolume(dims, 0.4);
        return makeCaster(tf.get(), 48, 40, &voxels, dims);
    }
    TransferFunction tf = makeTransferFunction({{0.2f, 0}, {0.3f, 0.5f}, {0.6f, 0.5f}, {0.8f, 0}});
};

} // namespace

TEST_F(FrameTest, ChangedUniformsAreSentOnceAndUnsentOnesKeepTheProgramsOwnDefaults)
{
    auto c = caster();
    GLSLProgram* program = c->raycastProgram;
    const std::pair<const char*, int> sent[] = {{"usePreint", 1}, {"useJitter", 1},       {"useShading", 1}, {"max_samples", 1},
                                                {"sample_distance", 1}, {"lightPos", 3}, {"eye", 3}};
    auto values = [&] {
        Floats out;
        for (const auto& [name, n] : sent)
            for (float v : uniformFloats(program, name, n))
                out.push_back(v);
        return out;
    };
    // What is never sent must start at the caster's default; shading alone is on by the program's choice.
    const RenderParameters d;
    EXPECT_EQ(values(), (Floats{0, 0, 1, float(d.maxSamples), d.sampleDistance, 0, 0, 0, 0, 0, 0}));
    // Every changed-value uniform at 999, so that what the next frame sends shows.
    auto overwrite = [&] {
        glUseProgram(program->handle);
        for (const auto& [name, n] : sent) {
            const GLint location = glGetUniformLocation(program->handle, name);
            n == 3 ? glUniform3f(location, 999, 999, 999) : name[0] == 's' ? glUniform1f(location, 999) : glUniform1i(location, 999);
        }
        glUseProgram(0);
    };
    RenderParameters& p = c->params;
    p.sampleDistance = 0.01f;
    p.maxSamples = 77;
    p.usePreint = p.useJitter = true;
    auto frame = [&](double distance) {
        overwrite();
        p.lightPos[0] = 1, p.lightPos[1] = 2, p.lightPos[2] = 3;  // eye space, converted in place
        setCamera(60, 1, 0.1, {0, 0, distance});
        c->render();
        return values();
    };
    // Object space: camera at (0, 0, 2), box shifted by -0.5, light right 1, up 2, back 3 of the camera.
    EXPECT_EQ(frame(2), (Floats{1, 1, 999, 77, 0.01f, 1.5f, 2.5f, 5.5f, 0.5f, 0.5f, 2.5f}));
    // The same frame again sends nothing; a change sends that value only (the camera moves the light).
    EXPECT_EQ(frame(2), Floats(11, 999));
    p.maxSamples = 78;
    p.useJitter = false;
    EXPECT_EQ(frame(3), (Floats{999, 0, 999, 78, 999, 1.5f, 2.5f, 6.5f, 0.5f, 0.5f, 3.5f}));
}

TEST_F(FrameTest, RenderLeavesTheWrittenStateAndEntryAlphaZeroOrOne)
{
    auto c = caster();
    auto second = makeTransferFunction({{0.1f, 0}, {0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, 0}});
    for (bool blocks : {false, true}) {
        SCOPED_TRACE(blocks ? "blocks, depth test on, a 2D function" : "depth test off");
        c->params.useBlocks = blocks;  // the block buffers are bound during the passes
        c->params.transferFunction2D = blocks ? second.get() : nullptr;  // then unit 6 is the last
        quietly([&] { c->setGeneralVolumeParameters(); });
        gltest::OffscreenTarget callers(8, 8);
        glViewport(3, 4, 50, 40);
        blocks ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glUseProgram(c->nearPlaneProgram->handle);
        setCamera(70, 1.2, 0.1, {1.2, 0.4, 1.5});
        double modelview[16], after[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        glColor4f(0.2f, 0.3f, 0.4f, 0.5f);  // the entry alpha, which scales each ray's length, stays 0 or 1
        c->render();
        glGetDoublev(GL_MODELVIEW_MATRIX, after);
        EXPECT_TRUE(std::equal(modelview, modelview + 16, after));
        GLint viewport[4], polygonMode[2];
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_POLYGON_MODE, polygonMode);
        EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{3, 4, 50, 40}));
        EXPECT_EQ(polygonMode[0] + polygonMode[1], 2 * GL_FILL);
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);  // opaque white
        EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM) + gltest::getInteger(GL_FRAMEBUFFER_BINDING_EXT), 0);
        EXPECT_EQ(bool(glIsEnabled(GL_DEPTH_TEST)), blocks);
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE) || glIsEnabled(GL_VERTEX_ARRAY) || glIsEnabled(GL_SCISSOR_TEST));
        EXPECT_EQ(gltest::getInteger(GL_ARRAY_BUFFER_BINDING) + gltest::getInteger(GL_ELEMENT_ARRAY_BUFFER_BINDING), 0);
        EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), blocks ? GL_TEXTURE6 : GL_TEXTURE5);
        EXPECT_EQ(GLuint(gltest::getInteger(blocks ? GL_TEXTURE_BINDING_1D : GL_TEXTURE_BINDING_2D)),
                  blocks ? second->getTexture()->handle : tf->preintTexture.handle);
        int hits = 0, partial = 0;
        const Floats start = readTarget(c->rayStartTexture);
        for (size_t i = 3; i < start.size(); i += 4)
            start[i] == 1 ? ++hits : partial += start[i] != 0;
        EXPECT_GT(hits, 100);
        EXPECT_EQ(partial, 0);
    }
    glDisable(GL_DEPTH_TEST);
}

namespace {

constexpr int kSize = 88;           // square target: jitter texels fall on whole pixels
const int kDims[3] = {60, 60, 30};  // unit spacing: the box is 1 x 1 x 0.5, stored 64 x 64 x 32

// The sphere in an 88 x 88 target, and the CPU's view of the same camera.
struct SphereScene : ::testing::Test {
    void SetUp() override
    {
        tf = makeTransferFunction(kShell);
        tf->setTableSize(32);  // as in the game: the pre-integration table keeps its 64 entries
        std::vector<unsigned char> voxels = sphereVolume(kDims);
        caster = makeCaster(tf.get(), kSize, kSize, &voxels, kDims);
    }
    void placeCamera(double fovy, double nearPlane, const Vec3& eye, const Vec3& centre = {0, 0, 0})
    {
        setCamera(fovy, 1.0, nearPlane, eye, centre);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glTranslated(-0.5, -0.5, -0.25);  // the caster's centring, undone at once
        glGetDoublev(GL_MODELVIEW_MATRIX, objectModelview);
        glTranslated(0.5, 0.5, 0.25);
    }
    // The ray through a point of the target by GLU's own unprojection, cut to the box's x range `clip`.
    reference::Ray rayAt(double x, double y) const
    {
        const GLint viewport[4] = {0, 0, kSize, kSize};
        Vec3 ends[2];
        for (int e = 0; e < 2; ++e)
            gluUnProject(x, y, e, objectModelview, projection, viewport, &ends[e][0], &ends[e][1], &ends[e][2]);
        return reference::castRay(ends[0], ends[1], {clip[0], 0, 0}, {clip[1], 1, 0.5});
    }
    Floats render(const Vec3& light = {0, 0, 0})
    {
        std::copy(light.begin(), light.end(), caster->params.lightPos);
        caster->params.clipMin[0] = clip[0], caster->params.clipMax[0] = clip[1];
        caster->render();
        return readTarget(caster->resultTexture);
    }
    TransferFunction tf;
    std::unique_ptr<GLSLRaycaster> caster;
    GLdouble projection[16], objectModelview[16];
    std::array<double, 2> clip = {0, 1};
};

} // namespace

TEST_F(SphereScene, RayImagesMatchExactBoxIntersections)
{
    enum Coverage { Partial, Full, None };
    const struct {
        const char* name;
        Coverage coverage;
        double fovy, nearPlane;
        Vec3 eye, centre;
        GLenum callersCullFace;  // left by the caller; the passes must not depend on it
        std::array<double, 2> clip;
    } views[] = {{"camera outside", Partial, 50, 0.1, {1.1, 0.7, 1.5}, {0, 0, 0}, GL_BACK, {0, 1}},
                 {"camera inside", Full, 80, 0.01, {0.1, 0.05, 0.02}, {0.5, 0.2, -0.1}, GL_BACK, {0, 1}},
                 {"caller culls front faces", Full, 80, 0.01, {0.1, 0.05, 0.02}, {0.5, 0.2, -0.1}, GL_FRONT, {0, 1}},
                 // Its coincident faces would start the rays on the near plane, through the whole volume.
                 {"clip box without thickness", None, 50, 0.1, {1.1, 0.7, 1.5}, {0, 0, 0}, GL_BACK, {0.3, 0.3}}};
    for (const auto& view : views) {
        SCOPED_TRACE(view.name);
        placeCamera(view.fovy, view.nearPlane, view.eye, view.centre);
        clip = view.clip;
        glCullFace(view.callersCullFace);
        render();
        EXPECT_EQ(gltest::getInteger(GL_CULL_FACE_MODE), GLint(view.callersCullFace));
        glCullFace(GL_BACK);
        const Floats start = readTarget(caster->rayStartTexture), end = readTarget(caster->rayEndTexture),
                     dir = readTarget(caster->rayDirTexture);
        int hits = 0, misses = 0, mismatches = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                // Only where the pixel's corners agree is the rasteriser's coverage certain.
                const reference::Ray ray = rayAt(x + 0.5, y + 0.5);
                bool ok = true;
                for (int c = 0; c < 4; ++c)
                    ok = ok && rayAt(x + (c & 1), y + (c >> 1)).hit == ray.hit;
                if (!ok)
                    continue;
                const size_t i = (size_t(y) * kSize + x) * 4;
                // A miss: the direction pass filters linearly, so a neighbouring hit may leak
                // into the direction, but the length, which the march goes by, stays 0.
                ok = ray.hit ? start[i + 3] == 1 && end[i + 3] == 1
                             : start[i + 3] == 0 && end[i + 3] == 0 && std::fabs(dir[i + 3]) < 1e-4f;
                double length = 0;
                for (int a = 0; a < 3; ++a) {
                    const double d = ray.exit[a] - ray.entry[a];
                    length += d * d;
                    ok = ok && (ray.hit ? reference::closeInHalf(start[i + a], ray.entry[a]) &&
                                              reference::closeInHalf(end[i + a], ray.exit[a]) && std::fabs(dir[i + a] - d) < 2e-3
                                        : end[i + a] == 0);
                }
                ok = ok && (!ray.hit || std::fabs(dir[i + 3] - std::sqrt(length)) < 4e-3);
                ray.hit ? ++hits : ++misses;
                if (!ok && ++mismatches <= 3)
                    ADD_FAILURE() << "pixel " << x << ", " << y << " (hit " << ray.hit << ")";
            }
        EXPECT_EQ(mismatches, 0);
        EXPECT_TRUE(view.coverage == None ? hits == 0 : hits > kSize * kSize / 4) << hits;
        EXPECT_TRUE(view.coverage == Full ? misses == 0 : misses > kSize * kSize / 10) << misses;
    }
}

TEST_F(SphereScene, LayerMatchesCpuRayCaster)
{
    placeCamera(40, 0.1, {0.65, 0.45, 0.9});
    setUniform(caster->raycastProgram, "useShading", 0);
    // Each table read with entry i at intensity i / (n - 1) of its own n.
    const reference::Texels table{{32, 1, 1}, 4, readTarget(tf->getTexture(), 32)};
    const reference::Texels preint{{64, 64, 1}, 4, readTarget(&tf->preintTexture, 64 * 64)};
    const Floats jitter = gltest::readTexture(GL_TEXTURE_2D, GLSLRaycaster::jitterTexture, 32 * 32);
    reference::Texels volume{{64, 64, 32}, 1, Floats(64 * 64 * 32)};
    glBindTexture(GL_TEXTURE_3D, caster->volumeTexture->handle);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_RED, GL_FLOAT, volume.data.data());

    // Jittered with long steps, so that offsets show; clipped through the sphere, where a sample past the exit adds.
    const struct {
        const char* name;
        bool usePreint, useJitter;
        float step;
        std::array<double, 2> clip;
    } cases[] = {{"single samples", false, false, 0.01f, {0, 1}},
                 {"pre-integrated", true, false, 0.01f, {0, 1}},
                 {"jittered", false, true, 0.04f, {0, 1}},
                 {"cut by the clip box", false, false, 0.01f, {0.1, 0.6}}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        caster->params.usePreint = k.usePreint;
        caster->params.useJitter = k.useJitter;
        caster->params.sampleDistance = k.step;
        clip = k.clip;
        const Floats gpu = render();
        // The CPU's own texture scale: 60 voxels of 64 stored along x and y, 30 of 32 along z.
        reference::MarchSettings s{k.step, {60.0 / 64, 60.0 / 64, 60.0 / 32}, &table, k.usePreint ? &preint : nullptr};
        float maxError = 0, maxAlpha = 0;
        double meanError = 0, meanWithoutJitter = 0;
        int opaque = 0, visible = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const reference::Ray ray = rayAt(x + 0.5, y + 0.5);
                s.startOffset = 0;
                const reference::RGBA plain = reference::march(ray, volume, s);
                s.startOffset = k.useJitter ? jitter[((y % 32) * 32 + x % 32) * 4] * k.step : 0.0;
                const reference::RGBA cpu = reference::march(ray, volume, s);
                const float* g = &gpu[(size_t(y) * kSize + x) * 4];
                for (int c = 0; c < 4; ++c) {
                    maxError = std::max(maxError, std::fabs(g[c] - cpu[c]));
                    meanError += std::fabs(g[c] - cpu[c]) / (kSize * kSize * 4);
                    meanWithoutJitter += std::fabs(g[c] - plain[c]) / (kSize * kSize * 4);
                }
                maxAlpha = std::max(maxAlpha, g[3]);
                opaque += cpu[3] > 0.99f;
                visible += cpu[3] > 0.2f;
            }
        // Entry points and directions in half floats move the samples by up to about 5e-4
        // (measured worst case 0.03).
        EXPECT_LE(maxError, 0.04f);
        EXPECT_LE(meanError, 0.001);
        EXPECT_GT(visible, 700);
        EXPECT_GT(opaque, k.useJitter ? -1 : 150);  // rays that stop early are part of the comparison...
        EXPECT_LT(maxAlpha, 0.995f);  // ...and stop once past 0.99
        // Without the offsets the CPU is clearly further off, or the jitter row proves nothing.
        EXPECT_TRUE(!k.useJitter || meanWithoutJitter > 3 * meanError) << meanWithoutJitter;
    }
}

TEST_F(SphereScene, LightComesFromTheLightPositionAndKeepsOpacity)
{
    // Seen head-on, a light far right brightens the left and right limbs (two-sided), one far above the top and bottom.
    placeCamera(30, 0.5, {0, 0, 2});
    caster->params.sampleDistance = 0.005f;
    const Floats right = render({10, 0, 0}), above = render({0, 10, 0});
    setUniform(caster->raycastProgram, "useShading", 0);
    const Floats flat = render({10, 0, 0});
    int lit = 0, horizontal = 0, vertical = 0, rightBrighter = 0, aboveBrighter = 0, wrong = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const size_t i = (size_t(y) * kSize + x) * 4;
            wrong += std::fabs(right[i + 3] - flat[i + 3]) > 1e-3f;
            for (int c = 0; c < 3; ++c)
                wrong += right[i + c] > right[i + 3] + 1e-3f;  // stays premultiplied
            if (flat[i + 3] < 0.3f)
                continue;
            ++lit;
            const float r = right[i] + right[i + 1] + right[i + 2], a = above[i] + above[i + 1] + above[i + 2];
            const int dx = std::abs(2 * x + 1 - kSize), dy = std::abs(2 * y + 1 - kSize);
            horizontal += dx > 3 * dy;
            rightBrighter += dx > 3 * dy && r > a + 0.02f;
            vertical += dy > 3 * dx;
            aboveBrighter += dy > 3 * dx && a > r + 0.02f;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(lit, 400);
    EXPECT_GT(rightBrighter, horizontal * 8 / 10) << horizontal;
    EXPECT_GT(aboveBrighter, vertical * 8 / 10) << vertical;
}

TEST(RaycasterSkipping, GameLayersEqualTheirUnskippedPictures)
{
    // The game's volume and layers from the start camera: skin pre-integrated, skeleton jittered (the
    // lattice does not start at the entry point), the organ in level 0's box at its pose. Filled with
    // zeros, the occupancy makes every lattice point a sample; skipping leaves out only samples that add
    // nothing, the others are the same in the same order, so the pictures are equal, not merely close.
    VolumeRecord volume{};
    quietly([&] { loadMetaImage(volume, dataFile("taa.mhd")); });
    ASSERT_TRUE(volume.voxels && volume.voxelType == GL_SHORT) << "the build generates taa.mhd into its run folder";
    const std::unique_ptr<unsigned char[]> owned(volume.voxels);
    const short* hu = reinterpret_cast<const short*>(volume.voxels);
    const int width = 104, height = 160;  // a quarter of a window half
    const struct {
        const char* tfn;
        bool usePreint, useJitter;
        float step;
        std::array<double, 6> clip;  // the whole volume, or level 0's box
        float raise;
        double empty;                // share of the blocks that show nothing, at least
    } layers[] = {{"tfn/CT Skin.tfn", true, false, 0.009f, {0, 0, 0, 1, 1, 1}, 0, 0.5},
                  {"tfn/CT Skin 2.tfn", false, true, 0.009f, {0, 0, 0, 1, 1, 1}, 0, 0.5},
                  {"tfn/Heart.tfn", false, false, 1.0f / 600, {0.06, 0.09, 0.01, 0.591164, 0.451164, 0.47}, 0.7f, 0.8}};
    for (const auto& l : layers) {
        SCOPED_TRACE(l.tfn);
        Classification::PreintTransferFunction1D tf;
        tf.setTableSize(256);
        ASSERT_TRUE(tf.loadFromFile(dataFile(l.tfn)));
        tf.computePreintegration();
        tf.setTableSize(128);
        auto caster = makeCaster(&tf, width, height);
        RenderParameters& p = caster->params;
        std::fill(p.maxLevel, p.maxLevel + 3, 5);
        std::vector<short> voxels(hu, hu + size_t(volume.extent[0]) * volume.extent[1] * volume.extent[2]);
        quietly([&] {
            caster->setVolume(voxels.data(), volume.extent[0], volume.extent[1], volume.extent[2], volume.spacing[0],
                              volume.spacing[1], volume.spacing[2]);
        });
        p.sampleDistance = l.step;
        p.maxSamples = 1024;
        p.usePreint = l.usePreint, p.useJitter = l.useJitter;
        for (int a = 0; a < 6; ++a)
            (a < 3 ? p.clipMin : p.clipMax)[a % 3] = std::min(l.clip[size_t(a)], caster->scale[a % 3]);
        setCamera(100, double(width) / height, 0.001, {1, 0, 0});
        glTranslatef(0, l.raise, 0);
        auto render = [&] {
            p.lightPos[0] = 1, p.lightPos[1] = 0, p.lightPos[2] = 0;
            caster->render();
            return readTarget(caster->resultTexture);
        };
        const Floats skipped = render();
        const std::vector<unsigned char>& cells = caster->occupancy->cells;
        EXPECT_GT(std::count_if(cells.begin(), cells.end(), [](unsigned char c) { return c > 0; }), l.empty * cells.size());

        const std::vector<unsigned char> zeros(2 * cells.size(), 0);
        const int* blocks = caster->occupancy->size;
        glBindTexture(GL_TEXTURE_3D, caster->occupancy->texture.handle);
        glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, 0, blocks[0], blocks[1], blocks[2], GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, zeros.data());
        const Floats unskipped = render();
        float maxDifference = 0;
        int visible = 0;
        for (size_t i = 0; i < skipped.size(); ++i) {
            maxDifference = std::max(maxDifference, std::fabs(skipped[i] - unskipped[i]));
            visible += i % 4 == 3 && unskipped[i] > 0.2f;
        }
        EXPECT_GT(visible, width * height / 50);
        EXPECT_EQ(maxDifference, 0.0f);
    }
}

// Without a table every block may show; a range that comes before the tree waits for it.
TEST(RaycasterSkipping, WithoutATableNothingIsSkippedAndARangeBeforeTheTreeWaits)
{
    const unsigned char levels[3] = {1, 2, 0}, top[3] = {0, 0, 0};
    BoundingGeometry geometry(levels);
    geometry.updateRange(0.2f, 0.4f);
    const std::vector<unsigned char> voxels(4 * 8 * 2, 200);
    const int dims[3] = {4, 8, 2};
    const double unitMin[3] = {0, 0, 0}, unitMax[3] = {1, 1, 1}, scale[3] = {1, 1, 1};
    CPUOctTreeNodeT<unsigned char> tree(voxels.data(), dims, unitMin, unitMax, scale, top, levels);
    OccupancyGrid grid;
    EXPECT_TRUE(grid.update(&tree, levels, scale, nullptr, false));
    EXPECT_EQ(grid.cells, std::vector<unsigned char>(8, 0));
}

TEST(RaycasterEdges, VolumeOfTwentyVoxelsLooksAlikeFromEverySide)
{
    // 20^3 voxels in a 32^3 texture whose padding is undefined, which a sample at a far face must not
    // blend in: 200 but for the eight corners (0, so that the stretch keeps 200) and a hidden 255.
    const int n = 20, dims[3] = {n, n, n};
    std::vector<unsigned char> voxels(size_t(n) * n * n, 200);
    for (size_t i = 0, x = 0, y = 0, z = 0; i < voxels.size(); ++i, x = i % n, y = i / n % n, z = i / n / n)
        voxels[i] = x % (n - 1) + y % (n - 1) + z % (n - 1) == 0 ? 0 : x / 2 == 5 && y / 2 == 5 && z / 2 == 5 ? 255 : 200;
    auto tf = makeTransferFunction({{0.3f, 0}, {0.5f, 0.5f}, {0.9f, 0.5f}, {1, 0}});
    auto caster = makeCaster(tf.get(), 48, 48, &voxels, dims);
    setUniform(caster->raycastProgram, "useShading", 0);
    caster->params.sampleDistance = 0.01f;
    Floats first;
    for (int face = 0; face < 6; ++face) {
        Vec3 eye{0, 0, 0};
        eye[size_t(face / 2)] = face % 2 ? 2.5 : -2.5;
        setCamera(40, 1, 0.5, eye, {0, 0, 0}, face / 2 == 1 ? Vec3{0, 0, 1} : Vec3{0, 1, 0});
        caster->render();
        const Floats picture = readTarget(caster->resultTexture);
        if (face == 0)
            first = picture;
        EXPECT_GT(std::count_if(picture.begin(), picture.end(), [](float v) { return v > 0.9f; }), 48 * 48 / 4);
        float worst = 0;
        for (size_t i = 0; i < picture.size(); ++i)
            worst = std::max(worst, std::fabs(picture[i] - first[i]));
        // Entry points in half floats are coarser near 1 than near 0 (0.007 measured);
        // blending in the padding changed pixels by 0.35 and more.
        EXPECT_LT(worst, 0.02f) << "face " << face;
    }
}
