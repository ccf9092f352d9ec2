// The transfer functions' GL side against the Mesa driver: the lookup and
// pre-integration textures after their uploads, their parameters, units and when they are
// (not) redefined; and the editor drawn over a known histogram and shape list.
#include "classification/PreintegrationTable.h"
#include "gl/GLSLProgram.h"
#include "tests/classification/OrganLayer.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Classification;
using gltest::getInteger;

namespace {

GLint parameter(GLenum target, GLenum name, bool ofLevel = false)
{
    GLint v = -1;
    ofLevel ? glGetTexLevelParameteriv(target, 0, name, &v) : glGetTexParameteriv(target, name, &v);
    return v;
}

// The bound texture's texels as 16-bit channels: this driver keeps all 16 bits.
std::vector<unsigned short> texels(GLenum target, size_t count)
{
    std::vector<unsigned short> out(count * 4);
    glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_SHORT, out.data());
    return out;
}

} // namespace

TEST(TransferFunctionGL, TablesAreUploadedWholeOnTheirUnitsAndRedefinedOnlyByTheirOwnCalls)
{
    PreintTransferFunction1D fresh;  // no lookup table yet: nothing to integrate, nothing defined
    glActiveTexture(GL_TEXTURE0);
    fresh.computePreintegration();
    EXPECT_EQ(std::tuple(getInteger(GL_ACTIVE_TEXTURE), fresh.lookupTable), std::tuple(GL_TEXTURE0, (unsigned short*)nullptr));
    auto tf = organLayer(64);
    EXPECT_EQ(tf->getTexture(), &tf->lookupTexture);  // the first call fills and uploads
    EXPECT_EQ((std::array{getInteger(GL_ACTIVE_TEXTURE), getInteger(GL_TEXTURE_BINDING_1D), parameter(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S),
                          parameter(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER), parameter(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER),
                          parameter(GL_TEXTURE_1D, GL_TEXTURE_WIDTH, true), GLint(tf->lookupTable[32 * 4]), GLint(tf->lookupTable[32 * 4 + 3])}),
              (std::array{GL_TEXTURE2, GLint(tf->lookupTexture.handle), GL_CLAMP_TO_EDGE, GL_LINEAR, GL_LINEAR, 64, 65535, 52428}));
    EXPECT_EQ(texels(GL_TEXTURE_1D, 64), std::vector(tf->lookupTable, tf->lookupTable + 64 * 4));
    tf->sampleDistance = 2.0;  // as the ray caster sets it
    tf->computePreintegration();
    std::vector<unsigned short> expected(64 * 64 * 4);
    integratePreintegrationTable(tf->lookupTable, 64, 2.0, expected.data());
    EXPECT_EQ(texels(GL_TEXTURE_2D, 64 * 64), expected);
    EXPECT_EQ((std::array{getInteger(GL_ACTIVE_TEXTURE), getInteger(GL_TEXTURE_BINDING_2D), parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S),
                          parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), parameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER),
                          parameter(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), parameter(GL_TEXTURE_2D, GL_TEXTURE_HEIGHT, true)}),
              (std::array{GL_TEXTURE5, GLint(tf->preintTexture.handle), GL_CLAMP, GL_CLAMP, GL_LINEAR, GL_LINEAR, 64}));

    // Later calls do not rasterise; sizes below 2 (entries lie at i / (N - 1)) or the same are refused.
    tf->getShape("test")->points[1].y = tf->getShape("test")->points[2].y = 0.4f;
    tf->getTexture();
    unsigned short *lookup = tf->lookupTable, *preint = tf->preintTable;
    tf->setTableSize(1);
    tf->setTableSize(64);
    EXPECT_EQ(std::tuple(tf->lookupTable, tf->preintTable, tf->lookupTable[32 * 4 + 3], tf->tableSize), std::tuple(lookup, preint, 52428, 64));
    tf->setTableSize(32);  // nothing changes in GL until the tables are redone
    EXPECT_EQ((std::array{tf->lookupTexture.allocWidth, tf->preintTexture.allocWidth, tf->preintTexture.height,
                          parameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH, true)}), (std::array{32, 32, 32, 64}));
    tf->update();
    EXPECT_EQ(std::tuple(parameter(GL_TEXTURE_1D, GL_TEXTURE_WIDTH, true), tf->lookupTable[16 * 4 + 3]), std::tuple(32, 26214));
    const GLuint names[2] = {tf->lookupTexture.handle, tf->preintTexture.handle};
    tf.reset();
    EXPECT_FALSE(glIsTexture(names[0]) || glIsTexture(names[1]));
}

TEST(TransferFunctionGL, EditorDrawsHistogramShapesAndFrameAndPutsTheCallersStateBack)
{
    PreintTransferFunction1D tf, kinds;  // the second: every other kind, 500 x 300 at (300, 50)
    tf.histogram.bins.assign(256, 0);  // 20 bins at the display maximum (0.5556 high), one far above
    std::fill(tf.histogram.bins.begin() + 10, tf.histogram.bins.begin() + 30, 90u);
    tf.histogram.bins[60] = 400;
    ASSERT_EQ(tf.histogram.displayMaximum(), 90u);
    tf.getShape(tf.addShape("test", "VornTrapez"))->colours = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {}};
    kinds.histogram.bins.assign(256, 0);  // only its first bin, wider than the frame line here
    kinds.histogram.bins[0] = 90;
    kinds.setEditorWidth(500.0f);
    kinds.setEditorHeight(300.0f);
    kinds.marginX = 300;
    kinds.marginY = 50;
    TransferFunctionGeometry* trapez = kinds.getShape(kinds.addShape("t", "Trapez"));
    ASSERT_TRUE(trapez->setPoints({{0, 0}, {0.05f, 0.5f}, {0.25f, 0.5f}, {0.3f, 0}}));
    trapez->colours.assign(4, {1, 0, 0, 0});
    TransferFunctionGeometry* polygon = kinds.getShape(kinds.addShape("p", "Polygon"));
    ASSERT_TRUE(polygon->setPoints({{0.35f, 0}, {0.4f, 0.8f}, {0.5f, 0.4f}, {0.6f, 0.8f}, {0.65f, 0}}));
    polygon->colours = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 1, 0, 0}, {}};
    ASSERT_TRUE(kinds.getShape(kinds.addShape("v", "Triangle"))->setPoints({{0.85f, 0}, {0.7f, 0.6f}, {1, 0.6f}, {0.96f, 0.305f}}));

    gltest::OffscreenTarget target(832, 642);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The caller's state, other than what the editor sets; its program would paint magenta.
    GLSLProgram* program = nullptr;
    GLSLShader *vertex = nullptr, *fragment = nullptr;
    buildProgram(program, vertex, fragment, "void main(){ gl_Position = ftransform(); }", "void main(){ gl_FragColor = vec4(1, 0, 1, 1); }");
    glUseProgram(program->handle);
    glEnable(GL_BLEND);
    glLineWidth(3.0f);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0.25f, 0.0f, 0.0f);
    glMatrixMode(GL_PROJECTION);
    auto state = [] {
        const std::pair<GLenum, size_t> queries[] = {{GL_PROJECTION_MATRIX, 0}, {GL_MODELVIEW_MATRIX, 16}, {GL_VIEWPORT, 32},
                                                     {GL_LINE_WIDTH, 36}, {GL_CURRENT_PROGRAM, 37}, {GL_MATRIX_MODE, 38}, {GL_BLEND, 39}};
        std::array<GLfloat, 40> s{};
        for (auto [name, at] : queries)
            glGetFloatv(name, &s[at]);
        return s;
    };
    const auto before = state();
    glDisable(GL_DEPTH_TEST);
    tf.draw();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));  // left on, by design
    kinds.draw();
    EXPECT_EQ(state(), before);
    glUseProgram(0);  // the last test here: the rest of the caller's state may stay
    delete program;
    delete vertex;
    delete fragment;

    // Pixels as RGB in hundredths; the background is the clear colour through the editor's
    // half-transparent black, fills are at half alpha. Outside; background; a histogram
    // column half way up, the tall bin, an empty bin; ramp, plateau, ramp; dots on p1 and
    // p2, the outline between, above it; the frame, inside it. The second editor: the Trapez
    // fill, the polygon's first and third pieces (a triangle and a quad), the triangle's cut
    // line to its handle and the handle's dot, the frame, the histogram's first column.
    const int probes[][2] = {{400, 400}, {250, 250}, {30, 81}, {70, 260}, {50, 110}, {105, 60}, {138, 110}, {170, 60},
                             {115, 211}, {163, 214}, {138, 214}, {138, 219}, {10, 250}, {265, 250}, {250, 265}, {250, 10}, {250, 14},
                             {375, 125}, {495, 80}, {595, 65}, {770, 141}, {780, 144}, {300, 200}, {799, 200}, {301, 100}};
    const std::vector<float> px = target.read();
    std::string seen;
    for (auto [x, y] : probes)
        for (int ch = 0; ch < 3; ++ch)
            seen += std::to_string(std::lround(px[(size_t(y) * 832 + x) * 4 + ch] * 100)) + (ch < 2 ? "," : " ");
    EXPECT_EQ(seen, "20,40,60 10,20,30 40,47,53 98,98,99 10,20,30 55,10,15 5,60,15 5,10,65 100,100,100 100,100,100 70,70,70 "
                    "10,20,30 100,100,100 100,100,100 100,100,100 100,100,100 10,20,30 55,10,15 55,10,15 5,10,65 100,100,100 "
                    "100,100,100 100,100,100 100,100,100 80,82,84 ");
}
