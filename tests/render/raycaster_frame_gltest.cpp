// The ray caster's frame against the real driver: uniforms sent only when changed,
// "eye" per caster, the pre-integration distance and the GL state render() leaves.
#include "render/BoundingGeometry.h"
#include "tests/render/raycaster_fixture.h"
#include "tests/support/GLTestSupport.h"

#include <cmath>
#include <limits>

using raytest::captureStdout;
using raytest::makeCaster;
using raytest::uniformFloats;
using raytest::uniformInt;

namespace {

// Declares and uses every uniform the caster may send, each starting at -1, so that a
// value that was never sent shows.
const char* kProbeFragment = R"(#version 120
uniform sampler2D ray_start; uniform sampler2D ray_dirTex; uniform sampler1D transfer_function;
uniform sampler3D volume; uniform sampler2D jitter; uniform sampler2D preint_function;
uniform sampler1D transfer_function2D;
uniform vec3 dX; uniform vec3 dY; uniform vec3 dZ; uniform vec3 texScaleFactors; uniform vec2 tileSize;
uniform int usePreint = -1; uniform float sample_distance = -1.0; uniform int max_samples = -1;
uniform int useShading = -1; uniform int useJitter = -1; uniform vec3 lightPos = vec3(-1.0);
uniform float iso_value = -1.0; uniform vec3 eye = vec3(-1.0);
void main()
{
    vec2 st = gl_TexCoord[0].st;
    float ints = float(usePreint + max_samples + useShading + useJitter);
    vec3 vectors = dX + dY + dZ + texScaleFactors + lightPos + eye;
    float textures = texture2D(ray_start, st).r + texture2D(ray_dirTex, st).r
        + texture1D(transfer_function, st.s).r + texture3D(volume, vec3(st, 0.5)).r
        + texture2D(jitter, st).r + texture2D(preint_function, st).r
        + texture1D(transfer_function2D, st.s).r;
    gl_FragColor = vec4(ints + sample_distance + iso_value, dot(vectors, vec3(1.0)) + tileSize.x, textures, 1.0);
}
)";

const char* kProbeVertex = R"(#version 120
void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }
)";

void buildProbe(GLSLRaycaster& caster)
{
    // A fresh program object: the caster's empty one is replaced by the probe.
    captureStdout([&] {
        buildProgram(caster.raycastProgram, caster.raycastVertex, caster.raycastFragment,
                     kProbeVertex, kProbeFragment);
    });
    ASSERT_NE(caster.raycastProgram->findUniform("iso_value"), nullptr);
    ASSERT_NE(caster.raycastProgram->findSampler("transfer_function2D"), nullptr);
}

// Sets every changed-value uniform to 999, so that what the next frame sends shows.
void overwrite(GLSLProgram* program)
{
    glUseProgram(program->handle);
    for (const char* n : {"usePreint", "max_samples", "useShading", "useJitter"})
        glUniform1i(glGetUniformLocation(program->handle, n), 999);
    for (const char* n : {"sample_distance", "iso_value"})
        glUniform1f(glGetUniformLocation(program->handle, n), 999.0f);
    for (const char* n : {"lightPos", "eye"})
        glUniform3f(glGetUniformLocation(program->handle, n), 999.0f, 999.0f, 999.0f);
    glUseProgram(0);
}

using Vec = std::vector<float>;
const Vec kSentinel3{999, 999, 999};

class RaycasterFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        tf = raytest::makeTransferFunction({{0.2f, 0}, {0.3f, 0.5f}, {0.6f, 0.5f}, {0.8f, 0}});
    }
    // A 16^3 volume spans the unit cube; the caster centres it, so halfScale is 0.5.
    static void giveVolume(GLSLRaycaster& caster)
    {
        const int dims[3] = {16, 16, 16};
        std::vector<unsigned char> voxels = raytest::sphereVolume(dims, 0.4);
        captureStdout([&] { caster.setVolume(voxels.data(), 16, 16, 16, 1, 1, 1); });
    }
    // Camera on +z at `distance`, looking at the origin.
    static void cameraOnZ(double distance)
    {
        raytest::setCamera(60, 1, 0.1, 6, {0, 0, distance});
    }
    std::unique_ptr<Classification::PreintTransferFunction1D> tf;
};

} // namespace

TEST_F(RaycasterFrame, ChangedUniformsAreSentOnceAndNotAgain)
{
    auto caster = makeCaster(tf.get(), 64, 64);
    buildProbe(*caster);
    giveVolume(*caster);
    GLSLProgram* probe = caster->raycastProgram;
    RenderParameters& p = caster->params;

    // Step 1: everything but the iso value differs from the defaults and is sent.
    p.sampleDistance = 0.01f;
    p.maxSamples = 77;
    p.usePreint = true;
    p.useShading = true;
    p.useJitter = true;
    // The light is given in eye space each frame and converted in place.
    auto lightInEyeSpace = [&] { p.lightPos[0] = 1, p.lightPos[1] = 2, p.lightPos[2] = 3; };
    lightInEyeSpace();
    cameraOnZ(2);
    caster->render();
    EXPECT_EQ(uniformInt(probe, "usePreint"), 1);
    EXPECT_EQ(uniformFloats(probe, "sample_distance", 1), Vec{0.01f});
    EXPECT_EQ(uniformInt(probe, "max_samples"), 77);
    EXPECT_EQ(uniformInt(probe, "useShading"), 1);
    EXPECT_EQ(uniformInt(probe, "useJitter"), 1);
    // Object space: the camera sits at (0, 0, 2) in world, the box is shifted by -0.5,
    // and (1, 2, 3) in eye space is right 1, up 2, back 3 of the camera.
    EXPECT_EQ(uniformFloats(probe, "lightPos", 3), (Vec{1.5f, 2.5f, 5.5f}));
    EXPECT_EQ(uniformFloats(probe, "eye", 3), (Vec{0.5f, 0.5f, 2.5f}));
    EXPECT_EQ(uniformFloats(probe, "iso_value", 1), Vec{-1.0f});  // left at its default: never sent

    // Step 2: the same frame again sends nothing.
    overwrite(probe);
    lightInEyeSpace();
    caster->render();
    for (const char* name : {"usePreint", "max_samples", "useShading", "useJitter"})
        EXPECT_EQ(uniformInt(probe, name), 999) << name;
    EXPECT_EQ(uniformFloats(probe, "sample_distance", 1), Vec{999});
    EXPECT_EQ(uniformFloats(probe, "lightPos", 3), kSentinel3);
    EXPECT_EQ(uniformFloats(probe, "eye", 3), kSentinel3);

    // Step 3: one change sends that one value only; switching a flag back sends 0.
    lightInEyeSpace();
    p.maxSamples = 78;
    p.useJitter = false;
    p.isoValue = 0.5f;
    caster->render();
    EXPECT_EQ(uniformInt(probe, "max_samples"), 78);
    EXPECT_EQ(uniformInt(probe, "useJitter"), 0);
    EXPECT_EQ(uniformFloats(probe, "iso_value", 1), Vec{0.5f});
    EXPECT_EQ(uniformInt(probe, "usePreint"), 999);
    EXPECT_EQ(uniformFloats(probe, "lightPos", 3), kSentinel3);

    // Step 4: a NaN never equals what was sent, so it goes out every frame.
    p.sampleDistance = std::numeric_limits<float>::quiet_NaN();
    caster->render();
    EXPECT_TRUE(std::isnan(uniformFloats(probe, "sample_distance", 1)[0]));
    overwrite(probe);
    caster->render();
    EXPECT_TRUE(std::isnan(uniformFloats(probe, "sample_distance", 1)[0]));
}

TEST_F(RaycasterFrame, UnsentDefaultsMatchTheGameProgramsOwnValues)
{
    // A parameter left at its default never reaches the program, so the program's own
    // initial value must be that default; shading alone is on by the program's choice.
    auto caster = makeCaster(tf.get(), 32, 32);
    GLSLProgram* program = caster->raycastProgram;
    const RenderParameters defaults;
    EXPECT_EQ(uniformFloats(program, "sample_distance", 1), Vec{defaults.sampleDistance});
    EXPECT_EQ(uniformInt(program, "max_samples"), defaults.maxSamples);
    EXPECT_EQ(uniformInt(program, "usePreint"), 0);
    EXPECT_EQ(uniformInt(program, "useJitter"), 0);
    EXPECT_EQ(uniformInt(program, "useShading"), 1);
    EXPECT_EQ(uniformFloats(program, "lightPos", 3), (Vec{0, 0, 0}));
    EXPECT_EQ(uniformFloats(program, "eye", 3), (Vec{0, 0, 0}));
}

TEST_F(RaycasterFrame, EyeIsSentToEachCastersOwnProgram)
{
    std::unique_ptr<GLSLRaycaster> casters[3];
    for (auto& c : casters) {
        c = makeCaster(tf.get(), 32, 32);
        giveVolume(*c);
    }

    // The same eye for all three: each program still gets it on its first frame.
    cameraOnZ(2);
    for (auto& c : casters)
        c->render();
    for (auto& c : casters)
        EXPECT_EQ(uniformFloats(c->raycastProgram, "eye", 3), (Vec{0.5f, 0.5f, 2.5f}));

    // An unchanged eye is not sent again; a moved one is, to that caster only.
    overwrite(casters[0]->raycastProgram);
    casters[0]->render();
    EXPECT_EQ(uniformFloats(casters[0]->raycastProgram, "eye", 3), kSentinel3);
    cameraOnZ(3);
    casters[0]->render();
    EXPECT_EQ(uniformFloats(casters[0]->raycastProgram, "eye", 3), (Vec{0.5f, 0.5f, 3.5f}));
    EXPECT_EQ(uniformFloats(casters[1]->raycastProgram, "eye", 3), (Vec{0.5f, 0.5f, 2.5f}));
}

TEST_F(RaycasterFrame, PreintDistanceRecomputesTheTableOnlyWithPreint)
{
    const int n = 64;
    auto table = [&] { return raytest::readTexture(&tf->preintTexture, n * n); };
    const std::vector<float> atDistance1 = table();
    auto caster = makeCaster(tf.get(), 32, 32);
    giveVolume(*caster);
    cameraOnZ(2);

    // Step 1: preint off: the distance is handed on, the table stays.
    caster->params.preintSampleDistance = 3.0f;
    caster->render();
    EXPECT_EQ(tf->sampleDistance, 3.0);
    EXPECT_EQ(table(), atDistance1);

    // Step 2: switching preint on alone does not recompute (the distance did not change).
    caster->params.usePreint = true;
    caster->render();
    EXPECT_EQ(table(), atDistance1);

    // Step 3: a new distance with preint on recomputes: optical depth doubles, so an
    // opacity a becomes 1 - (1 - a)^2 (16-bit storage truncates both).
    caster->params.preintSampleDistance = 2.0f;
    caster->render();
    EXPECT_EQ(tf->sampleDistance, 2.0);
    const std::vector<float> atDistance2 = table();
    int checked = 0;
    for (int i = 0; i < n * n; ++i) {
        float a1 = atDistance1[i * 4 + 3];
        if (a1 < 0.05f)
            continue;
        EXPECT_NEAR(atDistance2[i * 4 + 3], 1 - (1 - a1) * (1 - a1), 1e-4) << "entry " << i;
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

TEST_F(RaycasterFrame, RenderLeavesTheWrittenState)
{
    auto withoutSecond = makeCaster(tf.get(), 48, 40);
    giveVolume(*withoutSecond);
    // A second function on unit 6 makes that the last unit bound.
    auto second = raytest::makeTransferFunction({{0.1f, 0}, {0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, 0}});
    auto withSecond = makeCaster(tf.get(), 48, 40);
    buildProbe(*withSecond);
    withSecond->params.transferFunction2D = second.get();
    giveVolume(*withSecond);
    EXPECT_EQ(uniformInt(withSecond->raycastProgram, "transfer_function2D"), 6);

    using State = std::vector<double>;
    auto state = [](GLenum name, int n) {
        State v(16);
        glGetDoublev(name, v.data());
        v.resize(size_t(n));
        return v;
    };
    for (bool depthOn : {false, true}) {
        for (GLSLRaycaster* caster : {withoutSecond.get(), withSecond.get()}) {
            SCOPED_TRACE(std::string(depthOn ? "depth test on, blocks" : "depth test off") +
                         (caster == withSecond.get() ? ", 2D function" : ""));
            gltest::OffscreenTarget other(8, 8);  // a caller's framebuffer, bound
            glViewport(3, 4, 50, 40);
            depthOn ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
            glEnable(GL_CULL_FACE);
            glDepthFunc(GL_ALWAYS);
            glClearDepth(0.5);
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
            glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
            glActiveTexture(GL_TEXTURE7);
            glUseProgram(caster->nearPlaneProgram->handle);
            raytest::setCamera(70, 1.2, 0.1, 6, {1.2, 0.4, 1.5});
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glTranslatef(0.1f, 0, 0);
            const State modelview = state(GL_MODELVIEW_MATRIX, 16);
            const State projection = state(GL_PROJECTION_MATRIX, 16);
            const GLint modelviewDepth = gltest::getInteger(GL_MODELVIEW_STACK_DEPTH);
            const GLint projectionDepth = gltest::getInteger(GL_PROJECTION_STACK_DEPTH);
            caster->params.useBlocks = depthOn;  // the block buffers are bound during the passes

            caster->render();

            EXPECT_EQ(gltest::getInteger(GL_CURRENT_PROGRAM), 0);
            EXPECT_EQ(gltest::getInteger(GL_FRAMEBUFFER_BINDING_EXT), 0);
            EXPECT_EQ(state(GL_VIEWPORT, 4), (State{3, 4, 50, 40}));
            EXPECT_EQ(bool(glIsEnabled(GL_DEPTH_TEST)), depthOn);
            EXPECT_EQ(gltest::getInteger(GL_MATRIX_MODE), GL_MODELVIEW);
            EXPECT_EQ(gltest::getInteger(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
            EXPECT_EQ(gltest::getInteger(GL_PROJECTION_STACK_DEPTH), projectionDepth);
            EXPECT_EQ(state(GL_MODELVIEW_MATRIX, 16), modelview);
            EXPECT_EQ(state(GL_PROJECTION_MATRIX, 16), projection);
            EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
            EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
            EXPECT_EQ(gltest::getInteger(GL_ARRAY_BUFFER_BINDING), 0);
            EXPECT_EQ(gltest::getInteger(GL_ELEMENT_ARRAY_BUFFER_BINDING), 0);
            EXPECT_EQ(gltest::getInteger(GL_DEPTH_FUNC), GL_LESS);
            EXPECT_EQ(state(GL_DEPTH_CLEAR_VALUE, 1), State{1.0});
            EXPECT_EQ(state(GL_POLYGON_MODE, 2), (State{GL_FILL, GL_FILL}));
            EXPECT_EQ(state(GL_COLOR_WRITEMASK, 4), State(4, 1.0));
            EXPECT_EQ(state(GL_CURRENT_COLOR, 4), State(4, 1.0));
            if (caster == withSecond.get()) {
                EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE6);
                EXPECT_EQ(GLuint(gltest::getInteger(GL_TEXTURE_BINDING_1D)), second->getTexture()->handle);
            } else {
                EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE5);
                EXPECT_EQ(GLuint(gltest::getInteger(GL_TEXTURE_BINDING_2D)), tf->preintTexture.handle);
            }
            // The entry alpha scales each ray's length: 0 or 1, whatever colour was current.
            glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
            caster->render();
            const std::vector<float> start = raytest::readTarget(caster->rayStartTexture);
            int hits = 0, partial = 0;
            for (size_t i = 3; i < start.size(); i += 4)
                start[i] == 1 ? ++hits : partial += start[i] != 0;
            EXPECT_GT(hits, 100);

            EXPECT_EQ(partial, 0);

            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
            glActiveTexture(GL_TEXTURE0);
        }
    }
    glDisable(GL_DEPTH_TEST);
    glViewport(0, 0, 832, 642);
}
