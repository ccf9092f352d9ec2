// Scene composition against the real driver: a player's three layers built from a small
// volume written here, the per-render parameters, the picture mixing read back from the
// pixels, and the level's organ box.
#include "app/LevelTable.h"
#include "app/Levels.h"
#include "app/Scene.h"
#include "classification/PreintTransferFunction1D.h"
#include "classification/TransferFunctionGeometry.h"
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "render/GLSLRaycaster.h"
#include "tests/support/ConsoleCapture.h"
#include "tests/support/GLTestSupport.h"

#include <GL/glu.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ConsoleCapture;

namespace {

constexpr int kW = 24, kH = 20, kD = 16; // voxel spacing 1, 1, 2: z is longest

using Colour = std::array<float, 4>; // premultiplied RGBA
const Colour kNone{0, 0, 0, 0};
constexpr float kShell = 0.6f; // share of the skin's opacity kept outside the lens

GLSLRaycaster* caster(PlayerState& p, int layer)
{
    return std::array<GLSLRaycaster*, 3>{p.skinCaster, p.skeletonCaster, p.organCaster}[layer];
}

// Runs each test in a scratch folder holding the game's run-time files and a small
// volume whose intensities rise along x, so every transfer function finds voxels; the
// player is set up from them unless the test removes a file first.
class Scene : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        char tmpl[] = "/tmp/quillet-scene-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::string here = __FILE__;
        data_ = here.substr(0, here.rfind("/tests/")) + "/data";
        for (const char* name : {"tfn", "raycast.vert", "raycast.frag", "mixpics.vert", "mixpics.frag"})
            fs::create_symlink(data_ / name, dir_ / name);
        writeVolume("MET_UCHAR");
        fs::current_path(dir_);
        p.viewWidth = 416;
        p.viewHeight = 642;
    }
    void TearDown() override
    {
        // The game's players live as long as the process; a test's go with the test.
        glUseProgram(0);
        for (int layer = 0; layer < 3; ++layer)
            delete caster(p, layer);
        for (auto* t : {p.skinTransfer, p.skeletonTransfer, p.organTransfer})
            delete t;
        delete p.mixProgram;
        for (GLSLShader* shader : {p.mixVertexShader, p.mixFragmentShader}) {
            if (shader)
                glDeleteShader(shader->handle);
            delete shader;
        }
        fs::current_path(previous_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
        glActiveTexture(GL_TEXTURE0);
    }

    void writeVolume(const std::string& type)
    {
        std::ofstream(dir_ / "taa.mhd") << "NDims = 3\nDimSize = " << kW << " " << kH << " " << kD
                                        << "\nElementSpacing = 1 1 2\nElementType = " << type
                                        << "\nElementDataFile = taa.raw\n";
        int bytes = type == "MET_UCHAR" ? 1 : type == "MET_FLOAT" || type == "MET_UINT" ? 4 : 2;
        std::vector<unsigned char> raw(size_t(kW) * kH * kD * bytes);
        for (size_t i = 0; i < size_t(kW) * kH * kD; ++i) {
            unsigned v = unsigned((i % kW) * 255 / (kW - 1) * (bytes == 1 ? 1 : 100));
            float f = float(v);
            std::memcpy(&raw[i * bytes], type == "MET_FLOAT" ? static_cast<void*>(&f) : &v, size_t(bytes)); // little-endian
        }
        std::ofstream(dir_ / "taa.raw", std::ios::binary)
            .write(reinterpret_cast<const char*>(raw.data()), std::streamsize(raw.size()));
    }

    void setup()
    {
        ConsoleCapture console;
        setupPlayer(p);
    }

    // Gives the three layer images one colour each and mixes them into the half at
    // window x `left`. From the camera at (1, 0, 0) the lifted organ is farther than the
    // body, one moved towards the camera nearer.
    void mix(const Colour& skin, const Colour& bones, const Colour& organ, bool organNearer, float cursorX,
             float cursorY, int left)
    {
        const Colour* colours[3] = {&skin, &bones, &organ};
        GLint target = gltest::getInteger(GL_FRAMEBUFFER_BINDING);
        GLuint fbo = 0;
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        for (int layer = 0; layer < 3; ++layer) {
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                                   caster(p, layer)->resultTexture->handle, 0);
            const Colour& c = *colours[layer];
            glClearColor(c[0], c[1], c[2], c[3]);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        glClearColor(0, 0, 0, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(target));
        glDeleteFramebuffers(1, &fbo);
        p.eye[0] = 1.0f;
        p.eye[1] = p.eye[2] = 0.0f;
        p.bodyPose = Pose{0, 0, 0, 0, 0};
        p.organPose = organNearer ? Pose{0.5f, 0, 0, 0, 0} : Pose{0, 0.7f, 0, 0, 0};
        p.cursorX = cursorX;
        p.cursorY = cursorY;
        setupMixPass(p);
        glViewport(left, 0, 416, 642);
        drawMixQuad();
    }

    PlayerState p{};
    fs::path dir_, data_, previous_;
};

void expectColour(const std::array<float, 4>& px, float r, float g, float b, const char* where)
{
    SCOPED_TRACE(where);
    EXPECT_NEAR(px[0], r, 0.004f);
    EXPECT_NEAR(px[1], g, 0.004f);
    EXPECT_NEAR(px[2], b, 0.004f);
    EXPECT_EQ(px[3], 1.0f) << "written opaque";
}

} // namespace

TEST_F(Scene, PlayerSetupBuildsThreeLayersWithTheirOwnTransferFunctions)
{
    p.moveBody = true;
    p.eye[1] = 3;
    setup();
    for (int layer = 0; layer < 3; ++layer) {
        SCOPED_TRACE(layer);
        GLSLRaycaster* c = caster(p, layer);
        auto* t = std::array{p.skinTransfer, p.skeletonTransfer, p.organTransfer}[layer];
        ASSERT_TRUE(c && t);
        EXPECT_EQ(c->params.transferFunction, t);
        EXPECT_EQ(t->tableSize, 128);
        EXPECT_EQ(t->lookupTexture.unit, 2);
        EXPECT_EQ(t->preintTexture.unit, 5);
        EXPECT_EQ(t->histogram.dims, (std::vector<int>{kW, kH, kD}));
        EXPECT_FALSE(t->shapes.empty()) << "the layer's file was read";
        EXPECT_EQ(c->resultTexture->width, 416);
        EXPECT_TRUE(c->params.maxSamples == 1024 && !c->params.useJitter && c->params.maxLevel[2] == 5);
        EXPECT_EQ(c->params.clipMax[2], 1.0) << "z is the longest axis";
    }
    EXPECT_NE(p.skinTransfer, p.organTransfer);
    EXPECT_EQ(p.spacing[2], 2.0f);
    EXPECT_FALSE(p.moveBody);
    EXPECT_EQ(p.eye[1], 0.0f);
    EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
}

TEST_F(Scene, LayerRebuildFollowsTheVoxelTypeAndSurvivesAnUnreadableVolume)
{
    // Four-byte voxels arrive as 16-bit values: a float volume renders the picture of
    // the same values stored as MET_SHORT.
    auto castSkin = [&] {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluPerspective(100.0, 416.0 / 642.0, 0.001, 5.0);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        gluLookAt(1, 0.2, 0.3, 0, 0, 0, 0, 1, 0);
        p.skinCaster->render();
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        return gltest::readTexture(GL_TEXTURE_2D, p.skinCaster->resultTexture->handle, 416 * 642);
    };
    std::vector<float> pictures[2];
    for (auto [type, line] : {std::pair{"MET_UCHAR", "\nUCHAR Volume\n"}, {"MET_USHORT", "\nUSHORT Volume\n"},
                              {"MET_UINT", "\nUSHORT Volume\n"}, {"MET_SHORT", "\nSHORT Volume\n"},
                              {"MET_FLOAT", "\nSHORT Volume\n"}}) {
        SCOPED_TRACE(type);
        writeVolume(type);
        ConsoleCapture console;
        setupLayer(p, p.skinCaster, p.skinTransfer, "tfn/CT Skin.tfn");
        std::string out = console.text();
        EXPECT_NE(out.find(line), std::string::npos) << out;
        EXPECT_LT(out.find(line), out.find("computing histogram..."));
        if (std::string(type) == "MET_SHORT" || std::string(type) == "MET_FLOAT")
            pictures[std::string(type) == "MET_FLOAT"] = castSkin();
    }
    EXPECT_GT(*std::max_element(pictures[0].begin(), pictures[0].end()), 0.1f) << "the skin shows";
    EXPECT_TRUE(pictures[0] == pictures[1]);

    // A volume the loader cannot deliver leaves an empty layer, not a crash.
    writeVolume("MET_DOUBLE");
    ConsoleCapture console;
    setupLayer(p, p.skinCaster, p.skinTransfer, "tfn/CT Skin.tfn");
    EXPECT_EQ(console.text().find("Volume\n"), std::string::npos);
    EXPECT_NE(console.text().find("Currently unsupported voxel_type! MET_DOUBLE"), std::string::npos);
    ASSERT_NE(p.skinCaster, nullptr);
    EXPECT_EQ(p.skinTransfer->tableSize, 128);
}

TEST_F(Scene, EachRenderCastsTheNextLayerWithItsPerRenderParameters)
{
    setup();
    p.pitch = 0.3f;
    p.yaw = 1.0f;
    p.organPose = Pose{0, 0.7f, 0, 0, 0};
    glEnable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    gluPerspective(100.0, 416.0 / 642.0, 0.001, 5.0);
    GLint depth = gltest::getInteger(GL_MODELVIEW_STACK_DEPTH);

    for (int call = 0; call < 4; ++call) {
        SCOPED_TRACE(call);
        int expected = call % 3;
        float sent[3][3];
        for (int layer = 0; layer < 3; ++layer)
            std::memcpy(sent[layer], caster(p, layer)->sentEye, sizeof sent[layer]);
        renderNextLayer(p);
        EXPECT_EQ(p.nextLayer, (expected + 1) % 3);
        for (int layer = 0; layer < 3; ++layer) {
            const RenderParameters& params = caster(p, layer)->params;
            EXPECT_FALSE(params.useBlocks);
            EXPECT_EQ(params.usePreint, layer == 0);
            EXPECT_EQ(params.sampleDistance, layer == 2 ? 1.0f / 600.0f : 0.009f);
            if (call < 3) {
                // The eye reaches a program the first time its caster renders; the light
                // is written in eye space for every caster.
                EXPECT_EQ(std::memcmp(sent[layer], caster(p, layer)->sentEye, sizeof sent[layer]) != 0,
                          layer == expected) << "layer " << layer;
                if (layer != expected) {
                    EXPECT_TRUE(params.lightPos[0] == 1.0f && params.lightPos[1] == 0.0f) << "layer " << layer;
                }
            }
        }
        EXPECT_EQ(gltest::getInteger(GL_MATRIX_MODE), GL_MODELVIEW);
        EXPECT_EQ(gltest::getInteger(GL_MODELVIEW_STACK_DEPTH), depth);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
    }
    EXPECT_EQ(p.eye[0], std::cos(1.0f) * std::cos(0.3f));
    EXPECT_EQ(p.eye[1], std::sin(0.3f));
    EXPECT_EQ(p.eye[2], std::sin(1.0f) * std::cos(0.3f));
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(Scene, MixedPictureDrawsItsHalfWithTheNearerInFrontAndLeavesDepthAndUnitsToTheOverlay)
{
    setup();
    gltest::OffscreenTarget target(832, 642);
    // The overlay drawn after the mix has the depth test on and texturing enabled on
    // unit 0: the picture must leave the depth buffer alone and no image bound.
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    mix({1, 0, 0, 1}, kNone, {0, 1, 0, 1}, false, -100, -100, 416);
    EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), 0);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glDisable(GL_DEPTH_TEST);
    float depth = 0;
    glReadPixels(600, 300, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(depth, 1.0f);
    for (int unit = 2; unit >= 0; --unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        EXPECT_EQ(gltest::getInteger(GL_TEXTURE_BINDING_2D), 0) << "unit " << unit;
    }
    EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    expectColour(target.pixel(600, 300), kShell, 1 - kShell, 0, "organ farther: seen through the skin shell");
    EXPECT_EQ(target.pixel(200, 300)[1], 0.0f) << "only the viewport's half is drawn";

    const Colour red{1, 0, 0, 1}, green{0, 1, 0, 1};
    mix(red, kNone, green, true, -100, -100, 0);
    expectColour(target.pixel(208, 321), 0, 1, 0, "organ nearer: drawn over");
    mix(red, kNone, green, false, 208, 321, 0);
    expectColour(target.pixel(208, 321), 0, 1, 0, "in the lens the skin is gone");

    // Translucent layers over a blue background with blending on: still black beneath.
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    mix(kNone, {0.2f, 0.2f, 0.2f, 0.2f}, kNone, false, -100, -100, 0);
    glDisable(GL_BLEND);
    expectColour(target.pixel(208, 321), 0.2f, 0.2f, 0.2f, "blending does not weigh it again");
}

TEST_F(Scene, SkinIsAShellOverTheSkeletonAndTheLensOpensItAtThePointer)
{
    setup();
    gltest::OffscreenTarget target(832, 642);
    const Colour skin{1.0f, 0.8f, 0.6f, 1.0f}, bones{1, 1, 1, 1};
    mix(skin, bones, kNone, false, 600, 300, 416);
    mix(skin, bones, kNone, false, -100, -100, 0);

    // 60 % of the skin over the skeleton: 0.6 skin + 0.4 white.
    const float g = kShell * 0.8f + (1 - kShell), b = kShell * 0.6f + (1 - kShell);
    expectColour(target.pixel(450, 600), 1.0f, g, b, "right half, far from the pointer");
    expectColour(target.pixel(600 + 100, 300), 1.0f, g, b, "100 pixels away");
    expectColour(target.pixel(600, 300), 0.2f, 0.2f, 0.2f, "lens centre: no skin, a fifth of the bones");
    expectColour(target.pixel(200, 300), 1.0f, g, b, "the left half has no lens");

    // The edge is soft: with the skin alone, it comes back gradually from 52 to 80 pixels.
    mix(skin, kNone, kNone, false, 600.5f, 300.5f, 416); // on a pixel centre
    std::vector<float> all = target.read();
    auto blueAt = [&](int d) { return all[(size_t(300 + d) * 832 + 600) * 4 + 2]; };
    for (int d = 0; d <= 84; d += 4) {
        EXPECT_GE(blueAt(d + 4), blueAt(d)) << "d = " << d;
        if (d <= 52) {
            EXPECT_EQ(blueAt(d), 0.0f) << "d = " << d;
        }
    }
    EXPECT_NEAR(blueAt(66), 0.6f * kShell * 0.5f, 0.005f) << "half way";
    EXPECT_NEAR(blueAt(84), 0.6f * kShell, 0.002f) << "outside the lens";

    // The pointer in whole-window pixels: the same cursor in the left half's terms.
    mix(skin, bones, kNone, false, 100, 300, 0);
    expectColour(target.pixel(100, 300), 0.2f, 0.2f, 0.2f, "left half, lens at its pointer");
}

TEST_F(Scene, LevelsMoveTheOrganBoxAndReplaceItsHeartShapeInBothTables)
{
    // An organ file with the shape the levels replace ("Heart") and one they keep.
    fs::remove(dir_ / "tfn");
    fs::create_directory(dir_ / "tfn");
    for (const char* name : {"CT Skin.tfn", "CT Skin 2.tfn"})
        fs::create_symlink(data_ / "tfn" / name, dir_ / "tfn" / name);
    std::ofstream(dir_ / "tfn" / "Heart.tfn") << "2\n1\nHeart\n300\n900\n100\n100\n0.4\nx\n255\n255\n255\n"
                                             << "1\nVessel\n2000\n2400\n50\n50\n0.2\nx\n65280\n65280\n65280\n";
    setup();
    Classification::PreintTransferFunction1D* tf = p.organTransfer;
    ASSERT_NE(tf->getShape("Heart"), nullptr);

    startLevel(p, 0, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p.organCaster->params.clipMin[i], game::kLevels[0].boxMin[i]);
        EXPECT_EQ(p.organCaster->params.clipMax[i], game::kLevels[0].boxMax[i]);
    }
    ASSERT_EQ(tf->shapes.size(), 2u);
    EXPECT_EQ(tf->getShape("Heart"), nullptr);
    ASSERT_NE(tf->getShape("Vessel"), nullptr) << "shapes of other names stay";
    Classification::TransferFunctionGeometry* shape = tf->getShape("test");
    ASSERT_NE(shape, nullptr);
    const game::OrganPreset& preset = *game::findOrganPreset(0);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(shape->points[i].x == preset.points[i][0] && shape->points[i].y == preset.points[i][1]) << i;
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(shape->colours[c][k], preset.colours[c][k]);
    EXPECT_EQ(tf->rangeMin, 0.03f);
    EXPECT_EQ(tf->rangeMax, 2400.0f / 4096.0f);

    // Entry 15 of 128 (intensity 0.118) lies on preset 0's plateau: colour (0.7, 0.4, 0.3)
    // and opacity 0.3, in 16 bits truncated; it reaches the uploaded texture and the
    // pre-integration table, whose segment (15, 15) lies wholly on the plateau.
    const unsigned short* entry = tf->lookupTable + 15 * 4;
    EXPECT_EQ(std::vector<int>(entry, entry + 4), (std::vector<int>{45874, 26214, 19660, 19660}));
    EXPECT_NEAR(gltest::readTexture(GL_TEXTURE_1D, tf->lookupTexture.handle, 128)[15 * 4 + 3], 0.3f, 1e-4f);
    EXPECT_GT(tf->preintTable[(15 * 128 + 15) * 4 + 3], 0);

    // The next level's preset replaces "test" again instead of adding a second one.
    startLevel(p, 1, 0);
    EXPECT_EQ(p.organCaster->params.clipMin[0], game::kLevels[1].boxMin[0]);
    EXPECT_EQ(tf->shapes.size(), 2u);
    EXPECT_EQ(tf->getShape("test")->points[0].x, 0.28f);
    EXPECT_EQ(tf->lookupTable[15 * 4 + 3], 0) << "0.118 is outside preset 5";
    EXPECT_EQ(tf->preintTable[(15 * 128 + 15) * 4 + 3], 0);
    // A preset the table does not hold changes nothing.
    applyOrganPreset(p, 1);
    EXPECT_EQ(tf->getShape("test")->points[0].x, 0.28f);
}

TEST_F(Scene, MissingMixShaderIsReportedAndThePictureStaysDrawable)
{
    fs::remove(dir_ / "mixpics.frag");
    ConsoleCapture errors(std::cerr);
    {
        ConsoleCapture console;
        setupPlayer(p);
        EXPECT_NE(console.text().find("Mix Picture FS\n"), std::string::npos);
    }
    EXPECT_EQ(errors.text(), "could not read mixpics.frag\n");
    EXPECT_TRUE(p.mixVertexShader->compiled);
    EXPECT_FALSE(p.mixFragmentShader->compiled) << "an empty text does not compile";

    // The frame goes on with the program it has.
    gltest::OffscreenTarget target(832, 642);
    setupMixPass(p);
    glViewport(0, 0, 416, 642);
    drawMixQuad();
    EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), 0);
}
