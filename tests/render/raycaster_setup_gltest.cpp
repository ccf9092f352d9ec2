// Ray caster construction and volume upload against the real driver: the ray-setup
// programs, targets and framebuffer, the shared jitter texture, the geometry values and
// one-time uniforms, the stretch of each voxel type and the order of octree build and
// conversion.
#include "gl/FramebufferObject.h"
#include "render/BoundingGeometry.h"
#include "tests/render/raycaster_fixture.h"
#include "tests/render/raycaster_reference.h"
#include "tests/support/GLTestSupport.h"

#include <algorithm>

using raytest::captureStdout;
using raytest::makeCaster;
using raytest::uniformFloats;
using raytest::uniformInt;

namespace {

GLint texLevel(GLenum target, GLuint texture, GLenum name)
{
    GLint v = 0;
    glBindTexture(target, texture);
    glGetTexLevelParameteriv(target, 0, name, &v);
    glBindTexture(target, 0);
    return v;
}

GLint attachedName(GLuint framebuffer, GLenum attachment)
{
    GLint previous = gltest::getInteger(GL_FRAMEBUFFER_BINDING_EXT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    GLint name = 0;
    glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, attachment,
                                             GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &name);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(previous));
    return name;
}

std::vector<unsigned short> readVolume16(const GLTex::GLTex3D* volume)
{
    std::vector<unsigned short> texels(size_t(volume->allocWidth) * volume->allocHeight * volume->allocDepth);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_3D, volume->handle);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_RED, GL_UNSIGNED_SHORT, texels.data());
    glBindTexture(GL_TEXTURE_3D, 0);
    return texels;
}

class RaycasterSetup : public ::testing::Test {
protected:
    void SetUp() override
    {
        tf = raytest::makeTransferFunction({{0.2f, 0}, {0.3f, 0.5f}, {0.6f, 0.5f}, {0.8f, 0}});
    }
    std::unique_ptr<Classification::PreintTransferFunction1D> tf;
};

} // namespace

TEST_F(RaycasterSetup, RayDirectionIsExitMinusEntryScaledByEntryAlphaAndZeroWithoutExit)
{
    using Pixel = std::array<float, 4>;
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
    constexpr int n = int(sizeof cases / sizeof cases[0]), size = 16;
    std::unique_ptr<GLSLRaycaster> caster;
    captureStdout([&] { caster = std::make_unique<GLSLRaycaster>(); });
    GLSLProgram* dir = caster->rayDirectionProgram;

    // One texel per case in a row; the rest of the target has an entry but no exit and
    // must stay 0.
    std::vector<float> texels[2] = {std::vector<float>(size * size * 4, 0.75f),
                                    std::vector<float>(size * size * 4, 0.0f)};
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 4; ++c) {
            texels[0][size_t(i) * 4 + c] = cases[i].entry[c];
            texels[1][size_t(i) * 4 + c] = cases[i].exit[c];
        }
    gltest::OffscreenTarget dirTarget(size, size, GL_RGBA16F_ARB);
    GLuint textures[2];
    glGenTextures(2, textures);
    for (int t = 0; t < 2; ++t) {
        // On units 0 and 1, filtered linearly, as in the caster's direction pass.
        glActiveTexture(GL_TEXTURE0 + t);
        glBindTexture(GL_TEXTURE_2D, textures[t]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, size, size, 0, GL_RGBA, GL_FLOAT, texels[t].data());
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
    EXPECT_TRUE(std::all_of(dirs.begin() + n * 4, dirs.end(), [](float v) { return v == 0.0f; }));
}

TEST_F(RaycasterSetup, ConstructionLogsTheRaySetupAndSizesTargetsThatDestructionReleases)
{
    std::unique_ptr<GLSLRaycaster> caster;
    const std::string out = captureStdout([&] { caster = std::make_unique<GLSLRaycaster>(); });
    auto shaderLog = [](const GLSLShader* s) {
        std::string log;
        getInfoLog(*s, log);
        return log;
    };
    auto programLog = [](GLSLProgram* p) {
        std::string log;
        p->getInfoLog(log);
        return log;
    };
    EXPECT_EQ(out, "Cube VS\n" + shaderLog(caster->cubeVertex) + "\n" +
                   "Near Plane VS\n" + shaderLog(caster->nearPlaneVertex) + "\n" +
                   "Ray Direction VS\n" + shaderLog(caster->rayDirectionVertex) + "\n" +
                   "Cube FS\n" + shaderLog(caster->cubeFragment) + "\n" +
                   "Near Plane FS\n" + shaderLog(caster->nearPlaneFragment) + "\n" +
                   "Ray Direction FS\n" + shaderLog(caster->rayDirectionFragment) + "\n" +
                   "Near Plane Prog. Link Info: \n" + programLog(caster->nearPlaneProgram) + "\n" +
                   "Bounding Geometry Prog. Link Info: \n" + programLog(caster->boundingGeometryProgram) + "\n" +
                   "Ray Direction Prog. Link Info: \n" + programLog(caster->rayDirectionProgram) + "\n");

    // The ray-casting program exists but is left to its owner.
    GLint attached = -1;
    glGetProgramiv(caster->raycastProgram->handle, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 0);

    // Only the ray-direction program lists anything: its two samplers, set to their
    // units in enumeration order. The other two use built-ins only.
    GLSLProgram* dir = caster->rayDirectionProgram;
    ASSERT_EQ(dir->samplers.size(), 2u);
    EXPECT_TRUE(dir->uniforms.empty());
    for (const char* name : {"front_faces", "back_faces"}) {
        const SamplerInfo* s = dir->findSampler(name);
        ASSERT_NE(s, nullptr) << name;
        EXPECT_EQ(uniformInt(dir, name), int(s - dir->samplers.data())) << name;
    }
    for (GLSLProgram* prog : {caster->nearPlaneProgram, caster->boundingGeometryProgram})
        EXPECT_TRUE(prog->uniforms.empty() && prog->samplers.empty());

    // Four RGBA16F targets and the depth buffer, of the target size.
    auto expectSize = [&](int width, int height) {
        for (GLTex::GLTex2D* t : {caster->rayDirTexture, caster->rayStartTexture,
                                  caster->rayEndTexture, caster->resultTexture}) {
            EXPECT_EQ(texLevel(GL_TEXTURE_2D, t->handle, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA16F_ARB);
            EXPECT_EQ(texLevel(GL_TEXTURE_2D, t->handle, GL_TEXTURE_WIDTH), width);
            EXPECT_EQ(texLevel(GL_TEXTURE_2D, t->handle, GL_TEXTURE_HEIGHT), height);
        }
        GLint depthFormat = 0, depthWidth = 0;
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, caster->depthRenderbuffer);
        glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_INTERNAL_FORMAT_EXT, &depthFormat);
        glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_WIDTH_EXT, &depthWidth);
        EXPECT_EQ(depthFormat, GL_DEPTH_COMPONENT24);
        EXPECT_EQ(depthWidth, width);
    };
    expectSize(512, 512);

    // Entry image and depth attached, framebuffer 0 bound again; unit 0 active.
    EXPECT_EQ(attachedName(caster->framebuffer->handle, GL_COLOR_ATTACHMENT0_EXT),
              GLint(caster->rayStartTexture->handle));
    EXPECT_EQ(attachedName(caster->framebuffer->handle, GL_DEPTH_ATTACHMENT_EXT),
              GLint(caster->depthRenderbuffer));
    EXPECT_EQ(gltest::getInteger(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE0);

    // A resize redefines the targets and the depth buffer; the framebuffer stays.
    GLuint framebufferBefore = caster->framebuffer->handle;
    caster->targetWidth = 416;
    caster->targetHeight = 642;
    caster->createTargets();
    expectSize(416, 642);
    EXPECT_EQ(caster->framebuffer->handle, framebufferBefore);

    // Destruction releases the programs, targets, framebuffer and volume texture.
    GLuint program = caster->nearPlaneProgram->handle;
    GLuint result = caster->resultTexture->handle;
    GLuint volume = caster->volumeTexture->handle;
    caster.reset();
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_FALSE(glIsTexture(result));
    EXPECT_FALSE(glIsTexture(volume));
    EXPECT_FALSE(glIsFramebufferEXT(framebufferBefore));
}

TEST_F(RaycasterSetup, NewestCastersJitterTextureIsTheSharedOne)
{
    auto first = makeCaster(tf.get(), 64, 64);
    GLuint firstJitter = GLSLRaycaster::jitterTexture;
    auto second = makeCaster(tf.get(), 64, 64);
    GLuint shared = GLSLRaycaster::jitterTexture;
    ASSERT_NE(shared, firstJitter);

    // 32 x 32 luminance bytes, repeating, nearest; not a constant.
    EXPECT_EQ(texLevel(GL_TEXTURE_2D, shared, GL_TEXTURE_WIDTH), 32);
    EXPECT_EQ(texLevel(GL_TEXTURE_2D, shared, GL_TEXTURE_HEIGHT), 32);
    glBindTexture(GL_TEXTURE_2D, shared);
    for (GLenum name : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER}) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        EXPECT_EQ(value, name == GL_TEXTURE_WRAP_S || name == GL_TEXTURE_WRAP_T ? GL_REPEAT : GL_NEAREST);
    }
    std::vector<unsigned char> bytes(32 * 32);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, bytes.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    auto range = std::minmax_element(bytes.begin(), bytes.end());
    EXPECT_LT(*range.first, 32);
    EXPECT_GT(*range.second, 223);

    // The first caster renders with the second one's jitter on unit 4.
    const int dims[3] = {8, 8, 8};
    std::vector<unsigned char> voxels = raytest::sphereVolume(dims);
    captureStdout([&] { first->setVolume(voxels.data(), 8, 8, 8, 1, 1, 1); });
    raytest::setCamera(60, 1, 0.1, 5, {1.5, 0.5, 1.0});
    first->render();
    glActiveTexture(GL_TEXTURE4);
    EXPECT_EQ(GLuint(gltest::getInteger(GL_TEXTURE_BINDING_2D)), shared);
    glActiveTexture(GL_TEXTURE0);
}

TEST_F(RaycasterSetup, VolumeGeometryAndOneTimeUniforms)
{
    auto caster = makeCaster(tf.get(), 640, 480);
    caster->params.maxLevel[0] = caster->params.maxLevel[1] = caster->params.maxLevel[2] = 2;
    GLSLProgram* program = caster->raycastProgram;

    // 300 x 300 x 113 unit-spaced voxels: longest axis x, power-of-two storage 512 x 512 x 128.
    {
        std::vector<unsigned char> voxels(size_t(300) * 300 * 113);
        for (size_t i = 0; i < voxels.size(); ++i)
            voxels[i] = static_cast<unsigned char>(10 + i % 101);
        for (int i = 0; i < 3; ++i) {
            caster->params.clipMin[i] = 0.25;
            caster->params.clipMax[i] = 0.5;
        }
        std::string out = captureStdout([&] { caster->setVolume(voxels.data(), 300, 300, 113, 1, 1, 1); });
        EXPECT_EQ(out.find("Set general volume parameters in shader!\n"),
                  out.rfind("Set general volume parameters in shader!\n"));
        EXPECT_NE(out.find("Set general volume parameters in shader!\n"), std::string::npos);
        // The stretch runs after the uniforms and reports the range it found.
        EXPECT_GT(out.find("UCHAR Intensity Range [10, 110]"), out.find("Set general volume"));

        EXPECT_EQ(caster->volumeSize[2], 113);
        EXPECT_DOUBLE_EQ(caster->scale[0], 1.0);
        EXPECT_DOUBLE_EQ(caster->scale[1], 1.0);
        EXPECT_DOUBLE_EQ(caster->scale[2], 113.0 / 300.0);
        // The clip box becomes the whole volume, whatever it was.
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(caster->params.clipMin[i], 0.0);
            EXPECT_EQ(caster->params.clipMax[i], caster->scale[i]);
        }

        // Storage 512 x 512 x 128.
        EXPECT_EQ(uniformFloats(program, "dX", 3), (std::vector<float>{1.0f / 512, 0, 0}));
        EXPECT_EQ(uniformFloats(program, "dY", 3), (std::vector<float>{0, 1.0f / 512, 0}));
        EXPECT_EQ(uniformFloats(program, "dZ", 3), (std::vector<float>{0, 0, 1.0f / 128}));
        EXPECT_EQ(uniformFloats(program, "texScaleFactors", 3),
                  (std::vector<float>{0.5859375f, 0.5859375f, 2.34375f}));
        // Both components from the width, in 32-texel tiles: 640 / 32.
        EXPECT_EQ(uniformFloats(program, "tileSize", 2), (std::vector<float>{20, 20}));
        const char* samplers[6] = {"ray_start", "ray_dirTex", "transfer_function", "volume", "jitter",
                                   "preint_function"};
        for (int unit = 0; unit < 6; ++unit)
            EXPECT_EQ(uniformInt(program, samplers[unit]), unit) << samplers[unit];
        EXPECT_EQ(tf->getTexture()->unit, 2);
        EXPECT_EQ(tf->preintTexture.unit, 5);
        EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), 0);
    }

    // 512 x 512 x 100 voxels of spacing (0.5, 0.5, 3): z is physically the longest (300
    // against 256), although it has the fewest voxels. A second volume replaces the
    // storage and the tree but keeps the block geometry object.
    {
        BoundingGeometry* geometry = caster->blockGeometry;
        std::vector<unsigned short> voxels(size_t(512) * 512 * 100, 0);
        voxels[12345] = 4095;
        captureStdout([&] { caster->setVolume(voxels.data(), 512, 512, 100, 0.5f, 0.5f, 3.0f); });
        EXPECT_EQ(voxels[12345], 65535);  // stretched in place
        EXPECT_EQ(caster->blockGeometry, geometry);
        EXPECT_DOUBLE_EQ(caster->scale[0], 256.0 / 300.0);
        EXPECT_DOUBLE_EQ(caster->scale[1], 256.0 / 300.0);
        EXPECT_DOUBLE_EQ(caster->scale[2], 1.0);
        EXPECT_EQ(caster->params.clipMax[0], 256.0 / 300.0);
        EXPECT_EQ(uniformFloats(program, "dZ", 3), (std::vector<float>{0, 0, 1.0f / 128}));
        EXPECT_EQ(uniformFloats(program, "texScaleFactors", 3),
                  (std::vector<float>{1.171875f, 1.171875f, 0.78125f}));
        EXPECT_EQ(caster->volumeTexture->type, GLenum(GL_UNSIGNED_SHORT));
    }
}

TEST_F(RaycasterSetup, ByteVolumeIsStretchedBeforeItsUpload)
{
    auto caster = makeCaster(tf.get(), 32, 32);
    caster->params.maxLevel[0] = caster->params.maxLevel[1] = caster->params.maxLevel[2] = 1;
    // 3 x 5 x 2 voxels ramping over 10..110: storage 4 x 8 x 2, the volume in its corner
    // at the origin, the last voxel at texel (2, 4, 1).
    const int w = 3, h = 5, d = 2, count = w * h * d, last = (1 * 8 + 4) * 4 + 2;
    std::vector<unsigned char> bytes(count);
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(10 + (100 * i) / (count - 1));
    captureStdout([&] { caster->setVolume(bytes.data(), w, h, d, 1, 1, 1); });
    EXPECT_EQ(bytes[count - 1], 255);  // stretched in place
    EXPECT_EQ(caster->volumeTexture->type, GLenum(GL_UNSIGNED_BYTE));
    EXPECT_EQ(texLevel(GL_TEXTURE_3D, caster->volumeTexture->handle, GL_TEXTURE_INTENSITY_SIZE), 8);
    std::vector<unsigned short> t = readVolume16(caster->volumeTexture);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[last], 65535);  // 255 read back as 16 bits
    EXPECT_EQ(t[1], 0x0101 * bytes[1]);
}

TEST_F(RaycasterSetup, SignedVolumeTreeIsRefreshedFromTheConvertedValues)
{
    auto caster = makeCaster(tf.get(), 32, 32);
    caster->params.maxLevel[0] = 1;   // two leaves along x, one along y and z
    caster->params.maxLevel[1] = caster->params.maxLevel[2] = 0;
    // 16 x 2 x 2 voxels: the lower x half holds -1024 only, the upper half 1000..3071.
    // Read as unsigned before the conversion, -1024 is 64512, near the top of the range.
    const int w = 16, h = 2, d = 2;
    std::vector<short> voxels(w * h * d);
    for (int i = 0; i < w * h * d; ++i)
        voxels[i] = i % w < 8 ? -1024 : short(i % w == 15 ? 3071 : 1000);

    std::string out = captureStdout([&] { caster->setVolume(voxels.data(), w, h, d, 1, 1, 1); });
    EXPECT_NE(out.find("SHORT Intensity Range [-1024, 3071]"), std::string::npos);

    // Converted in place: -1024 -> 0, 3071 -> 65535, 1000 -> (2024 / 4095) x 65535.
    const auto* converted = reinterpret_cast<const unsigned short*>(voxels.data());
    const unsigned short middle = static_cast<unsigned short>(2024.0 / 4095.0 * 65535.0);
    EXPECT_EQ(converted[0], 0);
    EXPECT_EQ(converted[15], 65535);
    EXPECT_EQ(converted[8], middle);
    // Uploaded after the conversion (unconverted, -1024 would read as 64512).
    std::vector<unsigned short> t = readVolume16(caster->volumeTexture);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[15], 65535);
    EXPECT_EQ(t[8], middle);

    // refreshSigned ran on the tree built before: its caches carry the 1.1 mark, and the
    // leaves hold the converted ranges (the lower leaf's margin reaches x = 8).
    BoundingGeometry* geometry = caster->blockGeometry;
    ASSERT_NE(geometry, nullptr);
    EXPECT_FLOAT_EQ(geometry->thresholdCache, -1.0f * 1.1f);
    const NodeBox& lower = geometry->root->children[0]->box;
    const NodeBox& upper = geometry->root->children[1]->box;
    EXPECT_FLOAT_EQ(lower.valueMin, 0.0f);
    EXPECT_FLOAT_EQ(lower.valueMax, float(middle / 65535.0));
    EXPECT_FLOAT_EQ(upper.valueMin, 0.0f);   // margin x = 7
    EXPECT_FLOAT_EQ(upper.valueMax, 1.0f);
}

TEST_F(RaycasterSetup, SixteenBitVolumeKeepsEveryStepOfSixteen)
{
    // A ramp in 4096 steps of 16 (its top at 65535, so that the stretch keeps it): an
    // 8-bit texture would merge them sixteen at a time, which terraces surfaces. Each
    // must arrive as its own texel value, and sample as one.
    auto caster = makeCaster(tf.get(), 32, 32);
    caster->params.maxLevel[0] = caster->params.maxLevel[1] = caster->params.maxLevel[2] = 1;
    std::vector<unsigned short> ramp(16 * 16 * 16);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<unsigned short>(16 * i);
    ramp.back() = 65535;
    captureStdout([&] { caster->setVolume(ramp.data(), 16, 16, 16, 1, 1, 1); });
    EXPECT_EQ(texLevel(GL_TEXTURE_3D, caster->volumeTexture->handle, GL_TEXTURE_INTENSITY_SIZE), 16);
    const std::vector<unsigned short> texels = readVolume16(caster->volumeTexture);
    ASSERT_EQ(texels.size(), ramp.size());
    EXPECT_EQ(texels, ramp);  // stretched in place: the same values

    // Sampled at the texel centres through a shader, as the ray caster reads it.
    const char* fragment = R"(#version 120
uniform sampler3D volume;
void main()
{
    vec2 p = floor(gl_FragCoord.xy);  // 64 x 64 pixels: x + 64 y is the voxel number
    float i = p.x + 64.0 * p.y;
    vec3 voxel = vec3(mod(i, 16.0), mod(floor(i / 16.0), 16.0), floor(i / 256.0));
    gl_FragColor = vec4(texture3D(volume, (voxel + 0.5) / 16.0).r);
})";
    const char* vertex = "#version 120\nvoid main() { gl_Position = ftransform(); }\n";
    GLSLProgram* program = nullptr;
    GLSLShader *vs = nullptr, *fs = nullptr;
    captureStdout([&] { buildProgram(program, vs, fs, vertex, fragment); });
    gltest::OffscreenTarget target(64, 64, GL_RGBA32F);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_3D, caster->volumeTexture->handle);
    glUseProgram(program->handle);
    glUniform1i(glGetUniformLocation(program->handle, "volume"), 0);
    GLTex::drawViewportQuad();
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_3D, 0);
    const std::vector<float> sampled = target.read();
    int merged = 0;
    for (size_t i = 1; i < ramp.size(); ++i)
        merged += !(sampled[i * 4] > sampled[(i - 1) * 4]);
    EXPECT_EQ(merged, 0);
    EXPECT_NEAR(sampled[16 * 4], 256.0 / 65535.0, 1e-6);
    for (GLSLShader* shader : {vs, fs}) {
        glDeleteShader(shader->handle);
        delete shader;
    }
    delete program;
}
