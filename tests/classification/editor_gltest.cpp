// The transfer-function editor drawn by the Mesa driver over a known histogram and
// shape list: background, histogram columns, shape fills and dots, the frame, and the
// GL state the drawing leaves behind.
#include "classification/PreintTransferFunction1D.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <array>

using namespace Classification;

namespace {

constexpr int kWidth = 832, kHeight = 642;
constexpr std::array<float, 3> kClear = {0.2f, 0.4f, 0.6f}, kWhite = {1, 1, 1};
// The clear colour seen through the editor's half-transparent black background.
constexpr std::array<float, 3> kBackground = {0.1f, 0.2f, 0.3f};

class Frame {
public:
    explicit Frame(const gltest::OffscreenTarget& target) : pixels_(target.read()) {}
    // RGBA of a window pixel.
    const float* window(int x, int y) const { return &pixels_[(size_t(y) * kWidth + x) * 4]; }
    // RGBA of an editor pixel (margins 10).
    const float* at(int editorX, int editorY) const { return window(editorX + 10, editorY + 10); }

private:
    std::vector<float> pixels_;
};

void expectRgb(const float* p, const std::array<float, 3>& rgb)
{
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(p[k], rgb[k], 0.01f) << "channel " << k;
}

// A program that paints everything magenta: left bound, it would show through.
GLuint magentaProgram()
{
    const char* texts[2] = {"void main() { gl_Position = ftransform(); }",
                            "void main() { gl_FragColor = vec4(1.0, 0.0, 1.0, 1.0); }"};
    GLuint program = glCreateProgram();
    for (int k = 0; k < 2; ++k) {
        GLuint shader = glCreateShader(k == 0 ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
        glShaderSource(shader, 1, &texts[k], nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
        glDeleteShader(shader);
    }
    glLinkProgram(program);
    return program;
}

} // namespace

TEST(EditorGL, DrawsHistogramShapesAndFrameAndRestoresState)
{
    PreintTransferFunction1D tf;
    // Histogram: 20 bins of 90 (display maximum 90, so height 90 / 162 = 0.5556 of the
    // editor) and one bin far above it, drawn at full height.
    tf.histogram.bins.assign(256, 0);
    for (int b = 10; b < 30; ++b)
        tf.histogram.bins[b] = 90;
    tf.histogram.bins[60] = 400;
    ASSERT_EQ(tf.histogram.displayMaximum(), 90u);
    TransferFunctionGeometry* s = tf.getShape(tf.addShape("test", "VornTrapez"));
    s->colours = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {}};

    gltest::OffscreenTarget target(kWidth, kHeight);
    ASSERT_TRUE(target.complete());
    glClearColor(kClear[0], kClear[1], kClear[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // The caller's state, all of it different from what the editor sets.
    GLuint program = magentaProgram();
    glUseProgram(program);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_DEPTH_TEST);
    glLineWidth(3.0f);
    glPointSize(2.0f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0.25f, 0.0f, 0.0f);
    glMatrixMode(GL_PROJECTION);
    glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
    std::array<GLfloat, 16> projection, modelview, after;
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.data());

    tf.draw();

    // State afterwards: as before, except depth testing, which the editor leaves on.
    EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), GLint(program));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(gltest::getInteger(GL_BLEND_SRC_RGB), GL_ONE);
    EXPECT_EQ(gltest::getInteger(GL_BLEND_DST_RGB), GL_ZERO);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(gltest::getInteger(GL_MATRIX_MODE), GL_PROJECTION);
    std::array<GLint, 4> viewport{};
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, kWidth, kHeight}));
    glGetFloatv(GL_PROJECTION_MATRIX, after.data());
    EXPECT_EQ(after, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
    EXPECT_EQ(after, modelview);
    GLfloat width = 0, size = 0, colour[4];
    GLint polygonMode[2];
    glGetFloatv(GL_LINE_WIDTH, &width);
    glGetFloatv(GL_POINT_SIZE, &size);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    EXPECT_EQ((std::array<float, 3>{width, size, colour[2]}), (std::array<float, 3>{3.0f, 2.0f, 0.3f}));
    EXPECT_EQ(polygonMode[0], GL_LINE);
    glUseProgram(0);
    glDeleteProgram(program);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLineWidth(1.0f);
    glPointSize(1.0f);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    Frame frame(target);
    // Outside the editor: untouched. Inside, where nothing else is: the background.
    expectRgb(frame.window(400, 400), kClear);
    expectRgb(frame.at(240, 240), kBackground);
    EXPECT_NEAR(frame.at(240, 240)[3], 0.75f, 0.01f);

    // Column of bin 20 rises to 142.2; the tall bin is clamped to full height.
    int top = -1;
    for (int y = 250; y >= 0 && top < 0; --y)
        if (frame.at(20, y)[0] > kBackground[0] + 0.05f)
            top = y;
    EXPECT_NEAR(top, 142, 1);
    EXPECT_GT(frame.at(60, 250)[0], 0.5f);
    expectRgb(frame.at(40, 100), kBackground);  // an empty bin

    // The shape: ramps and plateau at half alpha in colours 0, 1, 2, over the background.
    expectRgb(frame.at(95, 50), {0.55f, 0.1f, 0.15f});
    expectRgb(frame.at(128, 100), {0.05f, 0.6f, 0.15f});
    expectRgb(frame.at(160, 50), {0.05f, 0.1f, 0.65f});
    // White dots of 8 pixels on the points (p2 at (153.6, 204.8)); the grey outline between them.
    expectRgb(frame.at(105, 201), kWhite);
    expectRgb(frame.at(153, 204), kWhite);
    expectRgb(frame.at(128, 204), {0.7f, 0.7f, 0.7f});
    expectRgb(frame.at(128, 209), kBackground);

    // The white frame on the editor's border.
    for (const auto& p : {std::array<int, 2>{0, 240}, {255, 240}, {240, 255}, {240, 0}})
        expectRgb(frame.at(p[0], p[1]), kWhite);
    expectRgb(frame.at(240, 4), kBackground);
}

TEST(EditorGL, EveryShapeKindDrawsWithoutHistogram)
{
    PreintTransferFunction1D tf;
    tf.setEditorWidth(200.0f);
    tf.setEditorHeight(100.0f);
    tf.marginX = 300;
    tf.marginY = 50;
    tf.addShape("trapez", "Trapez");
    tf.addShape("polygon", "Polygon");
    tf.addShape("triangle", "Triangle");
    tf.getShape("trapez")->colours.assign(4, {1, 0, 0, 0});

    gltest::OffscreenTarget target(kWidth, kHeight);
    glClearColor(kClear[0], kClear[1], kClear[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    tf.draw();  // no histogram computed: no columns, no division by a zero maximum
    Frame frame(target);

    expectRgb(frame.window(399, 140), kBackground);
    expectRgb(frame.window(427, 80), kWhite);  // the triangle's handle p3 (0.635, 0.3)
    // Trapez fill (red over the polygon's black, both at half alpha) under its plateau.
    EXPECT_GT(frame.window(400, 60)[0], frame.window(400, 60)[1] + 0.2f);
    // The frame of a 200 x 100 editor at (300, 50).
    for (const auto& p : {std::array<int, 2>{300, 100}, {499, 100}, {400, 149}})
        expectRgb(frame.window(p[0], p[1]), kWhite);
    expectRgb(frame.window(510, 100), kClear);
}

TEST(EditorGL, MouseDragUploadsRebuiltTable)
{
    PreintTransferFunction1D tf;
    tf.setTableSize(256);
    tf.setTextureUnit(2);
    tf.viewportHeight = kHeight;
    TransferFunctionGeometry* s = tf.getShape(tf.addShape("test", "VornTrapez"));
    s->colours[2] = {0.0f, 0.0f, 1.0f, 0.0f};
    tf.computeVisibleRange();
    tf.update();
    // Grab the left shoulder (0.4, 0.8) = editor pixel (102, 205) and lift it by 25.6.
    const int x = 10 + 102, y = kHeight - 1 - (10 + 205);
    ASSERT_TRUE(tf.mousePress(0, 0, x, y));
    ASSERT_TRUE(tf.mouseMove(x, y - 26));
    EXPECT_NEAR(s->points[2].y, 0.9f, 0.002f);
    std::vector<unsigned short> texels(256 * 4);
    glBindTexture(GL_TEXTURE_1D, tf.lookupTexture.handle);
    glGetTexImage(GL_TEXTURE_1D, 0, GL_RGBA, GL_UNSIGNED_SHORT, texels.data());
    EXPECT_GT(texels[128 * 4 + 3], 58000);  // was 52428
    EXPECT_EQ(texels[128 * 4 + 3], tf.lookupTable[128 * 4 + 3]);
    EXPECT_EQ(texels[128 * 4 + 2], 65535);
}
