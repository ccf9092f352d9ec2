// Scene composition against the real driver: a player's three layers built from a small
// volume written here, the per-render parameters, the mix pass and the level's organ.
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

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ConsoleCapture;

namespace {

constexpr int kW = 24, kH = 20, kD = 16;  // voxel spacing 1, 1, 2: z is longest

// Runs each test in a scratch folder holding the game's run-time files and a small
// volume whose intensities rise along x, so every transfer function finds voxels.
class Scene : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        char tmpl[] = "/tmp/quillet-scene-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::string here = __FILE__;
        fs::path data = here.substr(0, here.rfind("/tests/")) + "/data";
        for (const char* name : {"tfn", "raycast.vert", "raycast.frag", "mixpics.vert", "mixpics.frag"})
            fs::create_symlink(data / name, dir_ / name);
        writeVolume("MET_UCHAR");
        fs::current_path(dir_);
    }
    void TearDown() override
    {
        // The game's players live as long as the process; a test's go with the test.
        for (PlayerState& p : players_)
            release(p);
        fs::current_path(previous_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
        glUseProgram(0);
        glActiveTexture(GL_TEXTURE0);
    }

    void writeVolume(const std::string& type)
    {
        std::ofstream header(dir_ / "taa.mhd");
        header << "NDims = 3\nDimSize = " << kW << " " << kH << " " << kD
               << "\nElementSpacing = 1 1 2\nElementType = " << type
               << "\nElementDataFile = taa.raw\n";
        int bytes = type == "MET_UCHAR" ? 1 : 2;
        std::vector<unsigned char> raw(size_t(kW) * kH * kD * bytes);
        for (int z = 0; z < kD; ++z)
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    size_t i = size_t(x) + size_t(kW) * (size_t(y) + size_t(kH) * size_t(z));
                    unsigned value = unsigned(x * 255 / (kW - 1));
                    if (bytes == 1) {
                        raw[i] = (unsigned char)value;
                    } else {
                        unsigned short v = (unsigned short)(value * 100);
                        std::memcpy(&raw[i * 2], &v, 2);
                    }
                }
        std::ofstream(dir_ / "taa.raw", std::ios::binary)
            .write(reinterpret_cast<const char*>(raw.data()), std::streamsize(raw.size()));
    }

    // A player of this test, released at its end.
    PlayerState& newPlayer()
    {
        PlayerState& p = players_.emplace_back();
        p.viewWidth = 416;
        p.viewHeight = 642;
        return p;
    }

    static void release(PlayerState& p)
    {
        glUseProgram(0);
        for (GLSLRaycaster* c : {p.skinCaster, p.skeletonCaster, p.organCaster})
            delete c;
        for (Classification::PreintTransferFunction1D* t : {p.skinTransfer, p.skeletonTransfer, p.organTransfer})
            delete t;
        delete p.mixProgram;
        for (GLSLShader* shader : {p.mixVertexShader, p.mixFragmentShader}) {
            if (shader)
                glDeleteShader(shader->handle);
            delete shader;
        }
        p = PlayerState{};
    }

    fs::path dir_, previous_;
    std::deque<PlayerState> players_;  // stable addresses while tests add players
};

// Positions of the markers in `text`, searched one after the other; -1 from the first
// that is missing on.
std::vector<long> inOrder(const std::string& text, const std::vector<std::string>& markers)
{
    std::vector<long> at;
    size_t from = 0;
    for (const auto& m : markers) {
        size_t pos = from == std::string::npos ? std::string::npos : text.find(m, from);
        at.push_back(pos == std::string::npos ? -1 : long(pos));
        from = pos == std::string::npos ? pos : pos + m.size();
    }
    return at;
}

GLSLRaycaster* caster(PlayerState& p, int layer)
{
    GLSLRaycaster* all[3] = {p.skinCaster, p.skeletonCaster, p.organCaster};
    return all[layer];
}
Classification::PreintTransferFunction1D* transfer(PlayerState& p, int layer)
{
    Classification::PreintTransferFunction1D* all[3] = {p.skinTransfer, p.skeletonTransfer, p.organTransfer};
    return all[layer];
}

} // namespace

TEST_F(Scene, PlayerSetupBuildsThreeLayersAndLogsThemInOrder)
{
    PlayerState& p = newPlayer();
    p.moveBody = true;
    p.eye[1] = 3;
    ConsoleCapture console;
    setupPlayer(p);
    std::string out = console.text();

    std::vector<std::string> markers;
    for (int layer = 0; layer < 3; ++layer)
        for (const char* m : {"Cube VS\n", "Ray Direction Prog. Link Info: \n",
                              "Vertex Shader Compile Info Log -- \n",
                              "Fragment Shader Compile Info Log -- \n", "./\n",
                              "MHD Loader >> Loading file ./taa.raw\n", "UCHAR Volume\n",
                              "Set general volume parameters in shader!\n",
                              "computing histogram...", "100%\n"})
            markers.push_back(m);
    markers.push_back("Mix Picture VS\n\nMix Picture FS\n\nMix Picture Prog. Link Info: \n\n");
    std::vector<long> at = inOrder(out, markers);
    for (size_t i = 0; i < at.size(); ++i)
        EXPECT_GE(at[i], 0) << "missing or out of order: " << markers[i] << "\n" << out;
    EXPECT_EQ(out.find("Mix Picture"), size_t(at.back())) << "the mix program comes last";

    for (int layer = 0; layer < 3; ++layer) {
        SCOPED_TRACE(layer);
        GLSLRaycaster* c = caster(p, layer);
        Classification::PreintTransferFunction1D* t = transfer(p, layer);
        ASSERT_NE(c, nullptr);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(c->params.transferFunction, t);
        EXPECT_EQ(c->params.sampleDistance, 0.009f);
        EXPECT_EQ(c->params.maxSamples, 1024);
        EXPECT_FALSE(c->params.useJitter);
        EXPECT_TRUE(c->params.useBlocks);
        EXPECT_EQ(c->params.maxLevel[0], 5);
        EXPECT_EQ(c->params.maxLevel[2], 5);
        EXPECT_EQ(c->targetWidth, 416);
        EXPECT_EQ(c->targetHeight, 642);
        EXPECT_EQ(c->resultTexture->width, 416);
        EXPECT_EQ(c->volumeSize[0], kW);
        EXPECT_EQ(c->params.clipMax[2], 1.0) << "z is the longest axis";
        EXPECT_EQ(t->tableSize, 128);
        EXPECT_EQ(t->lookupTexture.unit, 2);
        EXPECT_EQ(t->preintTexture.unit, 5);
        EXPECT_EQ(t->histogram.binCount, 256);
        EXPECT_EQ(t->histogram.dims, (std::vector<int>{kW, kH, kD}));
        EXPECT_FALSE(t->shapes.empty()) << "the layer's file was read";
    }
    EXPECT_NE(p.skinTransfer, p.organTransfer);
    EXPECT_EQ(p.spacing[2], 2.0f);
    EXPECT_FALSE(p.moveBody);
    EXPECT_EQ(p.eye[1], 0.0f);
    ASSERT_NE(p.mixProgram, nullptr);
    GLint linked = 0;
    glGetProgramiv(p.mixProgram->handle, GL_LINK_STATUS, &linked);
    EXPECT_TRUE(linked);
    EXPECT_TRUE(p.mixVertexShader->compiled);
    EXPECT_TRUE(p.mixFragmentShader->compiled);
    EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
}

TEST_F(Scene, LayerRebuildFollowsTheVoxelTypeAndSurvivesAnUnreadableVolume)
{
    PlayerState& p = newPlayer();
    {
        ConsoleCapture console;
        setupLayer(p, p.skinCaster, p.skinTransfer, "tfn/CT Skin.tfn");
        EXPECT_NE(console.text().find("UCHAR Volume\n"), std::string::npos);
    }
    const struct {
        const char* type;
        const char* line;
    } kinds[] = {{"MET_USHORT", "\nUSHORT Volume\n"}, {"MET_SHORT", "\nSHORT Volume\n"}};
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.type);
        writeVolume(kind.type);
        ConsoleCapture console;
        setupLayer(p, p.skinCaster, p.skinTransfer, "tfn/CT Skin.tfn");
        std::string out = console.text();
        EXPECT_NE(out.find(kind.line), std::string::npos) << out;
        EXPECT_LT(out.find(kind.line), out.find("computing histogram..."));
        EXPECT_EQ(p.skinCaster->params.transferFunction, p.skinTransfer);
        EXPECT_EQ(p.skinTransfer->histogram.dims, (std::vector<int>{kW, kH, kD}));
    }

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
    PlayerState& p = newPlayer();
    {
        ConsoleCapture console;
        setupPlayer(p);
    }
    p.pitch = 0.3f;
    p.yaw = 1.0f;
    p.organPose = Pose{0, 0.7f, 0, 0, 0};
    glEnable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glPushMatrix();
    gluPerspective(100.0, 416.0 / 642.0, 0.001, 5.0);
    GLint depth = gltest::getInteger(GL_MODELVIEW_STACK_DEPTH);

    const int expectedLayer[4] = {0, 1, 2, 0};
    for (int call = 0; call < 4; ++call) {
        SCOPED_TRACE(call);
        float sent[3][3];
        for (int layer = 0; layer < 3; ++layer)
            std::memcpy(sent[layer], caster(p, layer)->sentEye, sizeof sent[layer]);
        renderNextLayer(p);
        EXPECT_EQ(p.nextLayer, (expectedLayer[call] + 1) % 3);
        for (int layer = 0; layer < 3; ++layer) {
            bool cast = std::memcmp(sent[layer], caster(p, layer)->sentEye, sizeof sent[layer]) != 0;
            // The eye reaches a program the first time its caster renders.
            if (call < 3) {
                EXPECT_EQ(cast, layer == expectedLayer[call]) << "layer " << layer;
            }
            const RenderParameters& params = caster(p, layer)->params;
            EXPECT_FALSE(params.useBlocks);
            EXPECT_EQ(params.usePreint, layer == 0);
            EXPECT_EQ(params.sampleDistance, layer == 2 ? 1.0f / 600.0f : 0.009f);
            if (layer != expectedLayer[call] && call < 3) {
                EXPECT_EQ(params.lightPos[0], 1.0f) << "written in eye space for every caster";
                EXPECT_EQ(params.lightPos[1], 0.0f);
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

TEST_F(Scene, MixPassBindsTheThreeImagesAndDrawsThePlayersPicture)
{
    PlayerState& p = newPlayer();
    {
        ConsoleCapture console;
        setupPlayer(p);
    }
    // Known layer images: premultiplied red skin, no skeleton, green organ.
    const float colours[3][4] = {{1, 0, 0, 1}, {0, 0, 0, 0}, {0, 1, 0, 1}};
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    for (int layer = 0; layer < 3; ++layer) {
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                               caster(p, layer)->resultTexture->handle, 0);
        glClearColor(colours[layer][0], colours[layer][1], colours[layer][2], colours[layer][3]);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glClearColor(0, 0, 0, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo);

    gltest::OffscreenTarget target(832, 642);
    p.eye[0] = 1.0f;  // camera at (1, 0, 0): the lifted organ is farther than the body
    p.cursorX = -100;
    p.cursorY = -100;
    setupMixPass(p);
    GLuint program = p.mixProgram->handle;
    EXPECT_EQ(GLuint(gltest::getInteger(GL_CURRENT_PROGRAM)), program);
    for (int layer = 0; layer < 3; ++layer) {
        glActiveTexture(GL_TEXTURE0 + layer);
        EXPECT_EQ(GLuint(gltest::getInteger(GL_TEXTURE_BINDING_2D)), caster(p, layer)->resultTexture->handle);
    }
    GLint value = -1;
    const char* samplers[3] = {"skin", "sceleton", "organ"};
    for (int unit = 0; unit < 3; ++unit) {
        glGetUniformiv(program, glGetUniformLocation(program, samplers[unit]), &value);
        EXPECT_EQ(value, unit) << samplers[unit];
    }
    glGetUniformiv(program, glGetUniformLocation(program, "organNearer"), &value);
    EXPECT_EQ(value, 0);
    glViewport(416, 0, 416, 642);
    // The overlay drawn after the mix has the depth test on and texturing enabled on
    // unit 0: the picture must leave the depth buffer alone and no image bound.
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    drawMixQuad();
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
    auto far = target.pixel(600, 300);
    EXPECT_NEAR(far[0], 0.6f, 0.003f) << "the organ seen through the skin shell";
    EXPECT_NEAR(far[1], 0.4f, 0.003f);
    auto left = target.pixel(200, 300);
    EXPECT_EQ(left[1], 0.0f) << "only the viewport's half is drawn";

    // The organ moved in front of the body, and the pointer opens the lens.
    p.organPose = Pose{0.5f, 0, 0, 0, 0};
    p.cursorX = 600.5f;
    p.cursorY = 300.5f;
    setupMixPass(p);
    glGetUniformiv(program, glGetUniformLocation(program, "organNearer"), &value);
    EXPECT_EQ(value, 1);
    float cursor[2] = {0, 0};
    glGetUniformfv(program, glGetUniformLocation(program, "cursorPos"), cursor);
    EXPECT_EQ(cursor[0], 600.5f);
    EXPECT_EQ(cursor[1], 300.5f);
    glViewport(416, 0, 416, 642);
    drawMixQuad();
    auto near = target.pixel(700, 500);
    EXPECT_NEAR(near[1], 1.0f, 0.003f);
    EXPECT_NEAR(near[0], 0.0f, 0.003f);
}

TEST_F(Scene, LevelsMoveTheOrganBoxAndRebuildTheOrganShape)
{
    PlayerState& p = newPlayer();
    {
        ConsoleCapture console;
        setupPlayer(p);
    }
    Classification::PreintTransferFunction1D* tf = p.organTransfer;
    ASSERT_NE(tf->getShape("Heart"), nullptr) << "the organ's file names its shape Heart";

    startLevel(p, 3, 0);
    const game::LevelRow& row = game::kLevels[3];
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p.organCaster->params.clipMin[i], row.boxMin[i]);
        EXPECT_EQ(p.organCaster->params.clipMax[i], row.boxMax[i]);
    }
    EXPECT_EQ(tf->getShape("Heart"), nullptr);
    Classification::TransferFunctionGeometry* shape = tf->getShape("test");
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->points[1].x, 0.15f);
    EXPECT_EQ(shape->points[1].y, 0.5f);
    EXPECT_EQ(shape->points[3].x, 0.2f);
    EXPECT_EQ(shape->colours[1].g, 1.0f);
    EXPECT_EQ(shape->colours[2].a, 0.5f);
    EXPECT_EQ(tf->rangeMin, 0.01f);
    EXPECT_EQ(tf->rangeMax, 0.2f);

    // Level 0's preset 0: entry 15 of 128 (intensity 0.118) lies on the plateau, with
    // the plateau colour (0.7, 0.4, 0.3) and opacity 0.3 in 16 bits, truncated.
    startLevel(p, 0, 0);
    EXPECT_EQ(tf->shapes.size(), size_t(1)) << "one organ shape, whatever the level";
    const unsigned short* entry = tf->lookupTable + 15 * 4;
    EXPECT_EQ(entry[0], 45874);
    EXPECT_EQ(entry[1], 26214);
    EXPECT_EQ(entry[2], 19660);
    EXPECT_EQ(entry[3], 19660);
    EXPECT_EQ(tf->lookupTable[127 * 4 + 3], 0);
    // The pre-integration table follows the new lookup table.
    bool any = false;
    for (int i = 0; i < 128 * 128 * 4 && !any; ++i)
        any = tf->preintTable[i] != 0;
    EXPECT_TRUE(any);
    std::vector<float> texels = gltest::readTexture(GL_TEXTURE_1D, tf->lookupTexture.handle, 128);
    EXPECT_NEAR(texels[15 * 4 + 3], 0.3f, 1e-4f) << "and was uploaded";
}

TEST_F(Scene, MissingMixShaderIsReportedAndThePictureStaysDrawable)
{
    fs::remove(dir_ / "mixpics.frag");
    PlayerState& p = newPlayer();
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
