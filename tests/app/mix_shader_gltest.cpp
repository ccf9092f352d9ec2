// The picture-mixing shader against the real driver: layer order, the nearer flag and
// the lens around the pointer, read back from the pixels.
#include "tests/support/GLTestSupport.h"

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string dataFile(const char* name)
{
    std::string here = __FILE__;
    std::ifstream in(here.substr(0, here.rfind("/tests/")) + "/data/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

GLuint compile(GLenum kind, const std::string& source)
{
    GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    EXPECT_TRUE(ok) << source;
    return shader;
}

// A 4 x 4 texture of one premultiplied colour.
GLuint layer(float r, float g, float b, float a)
{
    std::vector<float> texels(16 * 4);
    for (int i = 0; i < 16; ++i) {
        texels[i * 4 + 0] = r;
        texels[i * 4 + 1] = g;
        texels[i * 4 + 2] = b;
        texels[i * 4 + 3] = a;
    }
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F, 4, 4, 0, GL_RGBA, GL_FLOAT, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return t;
}

class MixShader : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = glCreateProgram();
        glAttachShader(program, compile(GL_VERTEX_SHADER, dataFile("mixpics.vert")));
        glAttachShader(program, compile(GL_FRAGMENT_SHADER, dataFile("mixpics.frag")));
        glLinkProgram(program);
        GLint ok = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        ASSERT_TRUE(ok);
    }
    void TearDown() override
    {
        glUseProgram(0);
        glDeleteProgram(program);
        glDeleteTextures(3, textures);
        glActiveTexture(GL_TEXTURE0);
    }

    // Mixes the layers into the half starting at window x `left`, as the game does.
    void mix(const float skin[4], const float bones[4], const float organ[4], int nearer,
             float cursorX, float cursorY, int left)
    {
        const float* colours[3] = {skin, bones, organ};
        for (int unit = 0; unit < 3; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glDeleteTextures(1, &textures[unit]);
            textures[unit] = layer(colours[unit][0], colours[unit][1], colours[unit][2], colours[unit][3]);
        }
        glUseProgram(program);
        glUniform1i(glGetUniformLocation(program, "skin"), 0);
        glUniform1i(glGetUniformLocation(program, "sceleton"), 1);
        glUniform1i(glGetUniformLocation(program, "organ"), 2);
        glUniform1i(glGetUniformLocation(program, "organNearer"), nearer);
        glUniform2f(glGetUniformLocation(program, "cursorPos"), cursorX, cursorY);
        glViewport(left, 0, 416, 642);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 1, 0, 1, 0, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0); glVertex2f(0, 0);
        glTexCoord2f(1, 0); glVertex2f(1, 0);
        glTexCoord2f(1, 1); glVertex2f(1, 1);
        glTexCoord2f(0, 1); glVertex2f(0, 1);
        glEnd();
        glUseProgram(0);
    }

    GLuint program = 0;
    GLuint textures[3] = {0, 0, 0};
};

void expectColour(const std::array<float, 4>& px, float r, float g, float b, const char* where)
{
    SCOPED_TRACE(where);
    EXPECT_NEAR(px[0], r, 0.004f);
    EXPECT_NEAR(px[1], g, 0.004f);
    EXPECT_NEAR(px[2], b, 0.004f);
    EXPECT_EQ(px[3], 1.0f) << "written opaque";
}

const float kNone[4] = {0, 0, 0, 0};
constexpr float kShell = 0.6f;  // share of the skin's opacity kept outside the lens

} // namespace

TEST_F(MixShader, SkinIsAShellOverTheSkeletonAndTheLensOpensItAtThePointer)
{
    gltest::OffscreenTarget target(832, 642);
    const float skin[4] = {1.0f, 0.8f, 0.6f, 1.0f};
    const float bones[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    mix(skin, bones, kNone, 0, 600, 300, 416);
    mix(skin, bones, kNone, 0, -100, -100, 0);

    // 60 % of the skin over the skeleton: 0.6 skin + 0.4 white.
    const float g = kShell * 0.8f + (1 - kShell), b = kShell * 0.6f + (1 - kShell);
    expectColour(target.pixel(450, 600), 1.0f, g, b, "right half, far from the pointer");
    expectColour(target.pixel(600 + 100, 300), 1.0f, g, b, "100 pixels away");
    expectColour(target.pixel(600, 300), 0.2f, 0.2f, 0.2f, "lens centre: no skin, a fifth of the bones");
    expectColour(target.pixel(200, 300), 1.0f, g, b, "the left half has no lens");

    // The edge is soft: with the skin alone, it comes back gradually from 52 to 80 pixels.
    mix(skin, kNone, kNone, 0, 600.5f, 300.5f, 416);  // on a pixel centre
    float previous = -1.0f;
    for (int d = 0; d <= 84; d += 4) {
        float blue = target.pixel(600, 300 + d)[2];
        EXPECT_GE(blue, previous) << "d = " << d;
        if (d <= 52) {
            EXPECT_EQ(blue, 0.0f) << "d = " << d;
        }
        previous = blue;
    }
    EXPECT_NEAR(target.pixel(600, 300 + 66)[2], 0.6f * kShell * 0.5f, 0.005f) << "half way";
    EXPECT_NEAR(previous, 0.6f * kShell, 0.002f) << "outside the lens";

    // The pointer in whole-window pixels: the same cursor in the left half's terms.
    mix(skin, bones, kNone, 0, 100, 300, 0);
    expectColour(target.pixel(100, 300), 0.2f, 0.2f, 0.2f, "left half, lens at its pointer");
}

TEST_F(MixShader, OrganLiesOverOrUnderTheBodyByNearness)
{
    gltest::OffscreenTarget target(832, 642);
    const float red[4] = {1, 0, 0, 1};
    const float green[4] = {0, 1, 0, 1};

    mix(red, kNone, green, 1, -100, -100, 0);
    expectColour(target.pixel(208, 321), 0, 1, 0, "organ nearer: drawn over");
    mix(red, kNone, green, 0, -100, -100, 0);
    expectColour(target.pixel(208, 321), kShell, 1 - kShell, 0, "organ farther: seen through the skin");
    mix(red, kNone, green, 0, 208, 321, 0);
    expectColour(target.pixel(208, 321), 0, 1, 0, "in the lens the skin is gone");

    // Translucent layers over a blue background with blending on: still black beneath.
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float faint[4] = {0.2f, 0.2f, 0.2f, 0.2f};
    mix(kNone, faint, kNone, 0, -100, -100, 0);
    glDisable(GL_BLEND);
    expectColour(target.pixel(208, 321), 0.2f, 0.2f, 0.2f, "blending does not weigh it again");
}
