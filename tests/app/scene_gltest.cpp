// The game against the real driver: players built from a small volume written here, one
// frame read back from the window, the organ presets and the icons.
#include "app/FrameLoop.h"
#include "app/Icons.h"
#include "app/Levels.h"
#include "app/Scene.h"
#include "classification/PreintTransferFunction1D.h"
#include "classification/TransferFunctionGeometry.h"
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "render/GLSLRaycaster.h"
#include "tests/support/BitmapWriter.h"
#include "tests/support/ConsoleCapture.h"
#include "tests/support/GLTestSupport.h"
#include "tests/support/ScratchDir.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ConsoleCapture;

namespace {

GLSLRaycaster* caster(const PlayerState& p, int layer)
{
    return std::array{p.skinCaster, p.skeletonCaster, p.organCaster}[layer];
}

// A layer image: clear, or opaque with red on its left half, green on its lower half and `blue`.
void paint(GLSLRaycaster* c, bool quadrants, float blue = 0)
{
    std::vector<float> px;
    for (int i = 0; i < 416 * 642; ++i)
        px.insert(px.end(), {float(quadrants && i % 416 < 208), float(quadrants && i / 416 < 321), quadrants * blue,
                             float(quadrants)});
    glBindTexture(GL_TEXTURE_2D, c->resultTexture->handle);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 416, 642, GL_RGBA, GL_FLOAT, px.data());
}

// Each test runs in a scratch folder with the game's run-time files and a 24 x 20 x 16
// volume (spacing 1, 1, 2) whose intensities rise along x, so that every layer finds voxels.
class Scene : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"tfn", "raycast.vert", "raycast.frag", "mixpics.vert", "mixpics.frag"})
            fs::create_symlink(data_ / name, dir_.path() / name);
        writeVolume("MET_UCHAR");
        for (PlayerState& p : appState.players)
            p.viewWidth = 416, p.viewHeight = 642;
    }
    void TearDown() override // the game's players live as long as the process, a test's not
    {
        for (PlayerState& p : appState.players) {
            for (int layer = 0; layer < 3; ++layer)
                delete caster(p, layer), delete std::array{p.skinTransfer, p.skeletonTransfer, p.organTransfer}[layer];
            for (GLSLShader* shader : {p.mixVertexShader, p.mixFragmentShader})
                glDeleteShader(shader ? shader->handle : 0), delete shader;
            delete p.mixProgram;
        }
        appState = AppState{};
    }
    void writeVolume(const std::string& type)
    {
        dir_.write("taa.mhd", "NDims = 3\nDimSize = 24 20 16\nElementSpacing = 1 1 2\nElementType = " + type +
                                  "\nElementDataFile = taa.raw\n");
        std::string raw(24 * 20 * 16 * (type == "MET_UCHAR" ? 1 : 2), 0);
        for (size_t i = 0; i < raw.size(); ++i)
            raw[i] = char(i % 24 * 11);
        dir_.write("taa.raw", raw);
    }
    testfs::ScratchDir dir_;
    testfs::WorkingDirectory cwd_{dir_.path()};
    const fs::path data_ = fs::path(__FILE__).parent_path().parent_path().parent_path() / "data";
    PlayerState &one = appState.players[0], &two = appState.players[1];
};

} // namespace

TEST_F(Scene, FrameCastsOneLayerFromThePlayersCameraAndShowsEachPictureInItsHalfUnderTheText)
{
    one.moveBody = true, one.eye[1] = 3;
    ConsoleCapture console, iconErrors(std::cerr);
    initGL(); // both players, from the files here; no icons
    EXPECT_NE(console.text().find("UCHAR Volume\n"), std::string::npos);
    const auto* t = one.skeletonTransfer; // each layer's own table, with its units, and the caster's settings
    const RenderParameters& r = one.skeletonCaster->params;
    EXPECT_TRUE(r.transferFunction == t && t != one.skinTransfer && t->histogram.dims == std::vector<int>({24, 20, 16}));
    EXPECT_EQ((std::vector<double>{double(t->tableSize), double(t->lookupTexture.unit), double(t->preintTexture.unit),
                                   r.sampleDistance, double(r.maxSamples), double(r.useBlocks), double(r.useJitter),
                                   double(r.maxLevel[1]), double(one.skeletonCaster->resultTexture->width)}),
              (std::vector<double>{128, 2, 5, 0.009f, 1024, 1, 0, 5, 416}));
    EXPECT_TRUE(!one.moveBody && one.eye[1] == 0 && gltest::getInteger(GL_ACTIVE_TEXTURE) == GL_TEXTURE0);

    // The first frame casts player 2's skin. Player 1's organ lies behind an empty body,
    // player 2's in front of its cast skin: each half shows its organ image, and the text.
    two.pitch = 0.3f, two.yaw = 1.0f, two.cursorX = 600, two.cursorY = 300, one.cursorX = one.cursorY = -100;
    two.bodyPose = Pose{0.05f, -0.1f, 0.02f, 20, 10};
    two.organPose = Pose{0.4f, 0.25f, 0.6f, 0, 0};
    for (int layer = 0; layer < 3; ++layer)
        paint(caster(one, layer), layer == 2), paint(caster(two, layer), layer == 2, 1);
    appState.leftMessage = "H", appState.rightMessage = "H\nH";
    appState.leftMessageTime = appState.rightMessageTime = 3000;
    glBindFramebuffer(GL_FRAMEBUFFER, 0), glBindTexture(GL_TEXTURE_2D, 0);
    glEnable(GL_BLEND);
    onReshape(1000, 500);
    std::vector<GLint> viewport(4);
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    EXPECT_TRUE(viewport == std::vector<GLint>({0, 0, 1000, 500}) && appState.windowWidth * appState.windowHeight == 500000);
    onReshape(832, 642);
    onDisplay();

    // Read back after the swap (this driver copies). Boxes (x0, y0, x1, y1) of the pixels unlike
    // the organ images: the frame rate, players 1's and 2's pink messages ("H": 7 x 9, 1 right).
    std::vector<unsigned char> window(832 * 642 * 4);
    glReadPixels(0, 0, 832, 642, GL_RGBA, GL_UNSIGNED_BYTE, window.data());
    std::vector<int> boxes = {832, 642, -1, -1, 832, 642, -1, -1, 832, 642, -1, -1};
    int notPink = 0;
    for (int i = 0; i < 832 * 642; ++i) {
        const int x = i % 832, y = i / 832, region = x >= 416 ? 2 : y >= 30;
        const unsigned char* px = &window[size_t(i) * 4];
        if (px[0] == (x % 416 < 208) * 255 && px[1] == (y < 321) * 255 && px[2] == (x >= 416) * 255)
            continue;
        int* b = &boxes[size_t(region) * 4];
        b[0] = std::min(b[0], x), b[1] = std::min(b[1], y), b[2] = std::max(b[2], x), b[3] = std::max(b[3], y);
        notPink += region > 0 && (px[0] != 255 || px[1] != 128 || px[2] != 128);
    }
    EXPECT_EQ(boxes, (std::vector<int>{6, 5, 33, 16, 51, 50, 57, 58, 467, 35, 473, 58})) << "(5, 8), (50, 50), (466, 50)";
    EXPECT_EQ(notPink, 0);

    // What each mix pass was told: the samplers' units, whether the organ is in front, the pointer.
    for (PlayerState* p : {&one, &two}) {
        const GLuint program = p->mixProgram->handle;
        std::vector<GLint> told;
        for (const char* name : {"skin", "sceleton", "organ", "organNearer"})
            told.push_back(-1), glGetUniformiv(program, glGetUniformLocation(program, name), &told.back());
        float cursor[2];
        glGetUniformfv(program, glGetUniformLocation(program, "cursorPos"), cursor);
        EXPECT_TRUE(told == std::vector<GLint>({0, 1, 2, p == &two}) && cursor[0] == p->cursorX && cursor[1] == p->cursorY);
    }
    // A render sets all three layers: no blocks, pre-integration for the skin, the organ finer, the light.
    std::vector<float> set;
    for (int layer = 0; layer < 3; ++layer) {
        const RenderParameters& r = caster(two, layer)->params;
        set.insert(set.end(), {float(r.useBlocks), float(r.usePreint), r.sampleDistance});
        set.insert(set.end(), r.lightPos, r.lightPos + 3 * (layer > 0)); // the cast layer's is converted
    }
    EXPECT_EQ(set, (std::vector<float>{0, 1, 0.009f, 0, 0, 0.009f, 1, 0, 0, 0, 0, 1.0f / 600, 1, 0, 0}));
    // For the text and the next frame: identity projection, modelview, no blending, no layer image.
    std::vector<float> projection(16);
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    EXPECT_EQ(projection, (std::vector<float>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_TRUE(gltest::getInteger(GL_MATRIX_MODE) == GL_MODELVIEW && !glIsEnabled(GL_BLEND));
    EXPECT_TRUE(gltest::getInteger(GL_ACTIVE_TEXTURE) == GL_TEXTURE0 && gltest::getInteger(GL_TEXTURE_BINDING_2D) == 0);

    // The cast skin is the body pose seen from (cos yaw cos pitch, sin pitch, sin yaw cos pitch) in a half.
    const float eye[3] = {std::cos(1.0f) * std::cos(0.3f), std::sin(0.3f), std::sin(1.0f) * std::cos(0.3f)};
    EXPECT_TRUE(std::equal(eye, eye + 3, two.eye));
    const std::vector<float> cast = gltest::readTexture(GL_TEXTURE_2D, two.skinCaster->resultTexture->handle, 416 * 642);
    EXPECT_GT(*std::max_element(cast.begin(), cast.end()), 0.1f) << "the skin shows";
    glBindTexture(GL_TEXTURE_2D, 0); // texturing is on, as initGL and the overlay leave it: unit 0 as in the cast
    glMatrixMode(GL_PROJECTION);
    gluPerspective(100.0, 416.0 / 642.0, 0.001, 5.0);
    glMatrixMode(GL_MODELVIEW);
    gluLookAt(eye[0], eye[1], eye[2], 0, 0, 0, 0, 1, 0);
    glTranslatef(0.05f, -0.1f, 0.02f);
    glRotatef(20, 0, 0, 1);
    glRotatef(10, 1, 0, 0);
    std::copy_n(std::array{1.0f, 0.0f, 0.0f}.begin(), 3, two.skinCaster->params.lightPos);
    two.skinCaster->render();
    EXPECT_TRUE(gltest::readTexture(GL_TEXTURE_2D, two.skinCaster->resultTexture->handle, 416 * 642) == cast);
}

TEST_F(Scene, LevelsSetTheOrganBoxAndReplaceItsHeartShapeWithThePresetInBothTables)
{
    writeVolume("MET_DOUBLE"); // unreadable: the layer stays empty, and a rebuild replaces it
    ConsoleCapture console;
    setupLayer(one, one.organCaster, one.organTransfer, "tfn/Heart.tfn");
    EXPECT_TRUE(console.take().find("Volume\n") == std::string::npos && one.organTransfer->lookupTexture.unit == 2);
    writeVolume("MET_USHORT");
    setupLayer(one, one.organCaster, one.organTransfer, "tfn/Heart.tfn");
    EXPECT_EQ(one.organTransfer->histogram.dims, std::vector<int>({24, 20, 16})) << "16-bit voxels counted";
    Classification::PreintTransferFunction1D* tf = one.organTransfer;
    startLevel(one, 0, 0);
    const RenderParameters& r = one.organCaster->params;
    EXPECT_EQ((std::vector<double>{r.clipMin[0], r.clipMin[1], r.clipMin[2], r.clipMax[0], r.clipMax[1], r.clipMax[2]}),
              (std::vector<double>{0.06, 0.09, 0.01, 0.591164, 0.451164, 0.47}));
    EXPECT_TRUE(tf->shapes.size() == 1 && tf->getShape("test") && tf->rangeMin == 0.03f);
    // Entry 15 of 128 (intensity 0.118) lies on preset 0's plateau: colour (0.7, 0.4, 0.3)
    // and opacity 0.3 truncated to 16 bits; also in the pre-integration segment (15, 15).
    EXPECT_EQ(std::vector<int>(tf->lookupTable + 60, tf->lookupTable + 64), (std::vector<int>{45874, 26214, 19660, 19660}));
    EXPECT_GT(tf->preintTable[(15 * 128 + 15) * 4 + 3], 0);

    // Colours 0 to 2 (foot, ramp, plateau) and the four points of presets 0, 2 and 5.
    const std::vector<float> presets[3] = {
        {1, .2f, .2f, .5f, .7f, .3f, .4f, .5f, .7f, .4f, .3f, .5f, .03f, 0, .08f, .3f, .2f, .3f, .22f, 0},
        {1, .2f, .2f, .5f, .2f, 1, .2f, .5f, .2f, .2f, 1, .5f, .01f, 0, .15f, .5f, .15f, .5f, .2f, 0},
        {.6f, .4f, .4f, .8f, .6f, .3f, .4f, .8f, .6f, .4f, .3f, .8f, .28f, 0, .28f, .2f, .4f, .2f, .42f, 0}};
    for (int i = 0; i < 3; ++i) {
        applyOrganPreset(one, std::array{0, 2, 5}[i]);
        applyOrganPreset(one, 1); // no such preset: nothing changes
        const Classification::TransferFunctionGeometry* shape = tf->getShape("test");
        std::vector<float> got;
        for (int k = 0; k < 12; ++k)
            got.push_back(shape->colours[k / 4][k % 4]);
        for (const Classification::ShapePoint& point : shape->points)
            got.insert(got.end(), {point.x, point.y});
        EXPECT_TRUE(got == presets[i] && tf->shapes.size() == 1) << i;
    }
    EXPECT_TRUE(tf->lookupTable[63] == 0 && tf->preintTable[(15 * 128 + 15) * 4 + 3] == 0) << "0.118 is outside preset 5";

    // A player without layers or mixing program leaves no image (of its last unit, 2) and no program bound.
    glActiveTexture(GL_TEXTURE2), glBindTexture(GL_TEXTURE_2D, one.organCaster->resultTexture->handle);
    setupMixPass(two);
    EXPECT_TRUE(gltest::getInteger(GL_TEXTURE_BINDING_2D) == 0 && gltest::getInteger(GL_CURRENT_PROGRAM) == 0);
}

TEST_F(Scene, StartUpLoadsAnIconAsItsColoursAndSkipsAMissingOne)
{
    testbmp::Bitmap rotate = testbmp::patternBitmap(3, 2, 24); // 9-byte rows: unpack alignment 1
    dir_.write("rottool.bmp", testbmp::encode(rotate));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    ConsoleCapture quiet(std::cerr);
    loadIcons(appState);
    EXPECT_TRUE(appState.moveToolTexture == -1 && gltest::getInteger(GL_UNPACK_ALIGNMENT) == 4);
    // Texture row 0 is the bitmap's top row; the file's blue-first bytes come out as RGB.
    std::vector<std::uint8_t> expected, texels(18);
    for (int i = 0; i < 18; ++i)
        expected.push_back(rotate.rows[i / 3 * 3 + 2 - i % 3]);
    glBindTexture(GL_TEXTURE_2D, GLuint(appState.rotateToolTexture));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, expected);
    // The other pixel sizes a bitmap may have: palette indices (grey levels without a palette) and BGRA.
    unsigned char indices[2] = {1, 0}, palette[1024] = {0, 0, 0, 0, 10, 20, 30}, bgra[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::tuple<IconImage, GLenum, std::vector<std::uint8_t>> uploads[] = {
        {{indices, 2, 1, 1, palette}, GL_RGB, {30, 20, 10, 0, 0, 0}},
        {{indices, 2, 1, 1, nullptr}, GL_RGB, {1, 1, 1, 0, 0, 0}},
        {{bgra, 2, 1, 4, nullptr}, GL_RGBA, {3, 2, 1, 4, 7, 6, 5, 8}}};
    for (const auto& [image, format, rgb] : uploads) {
        glBindTexture(GL_TEXTURE_2D, GLuint(uploadIcon(image)));
        std::vector<std::uint8_t> read(rgb.size());
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, read.data());
        EXPECT_EQ(read, rgb) << image.bytesPerPixel;
    }
}
