#include "render/GLSLRaycaster.h"

#include "classification/PreintTransferFunction1D.h"
#include "gl/FramebufferObject.h"
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "gl/VertexBufferObject.h"
#include "render/BoundingGeometry.h"
#include "render/Matrix4.h"
#include "render/RaySetupPrograms.h"
#include "volume/IntensityRange.h"

#include <GL/glu.h>

#include <cstdlib>
#include <ctime>
#include <iostream>
#include <type_traits>
#include <vector>

GLuint GLSLRaycaster::jitterTexture = 0;
float GLSLRaycaster::eyePosition[3] = {0, 0, 0};

namespace {

constexpr int kJitterSize = 32;         // texels per side of the jitter tile
constexpr float kJitterTilesPerPixel = 1.0f / kJitterSize;

// Exact comparison in which a NaN always counts as a change.
bool differs(float a, float b) { return !(a == b); }

bool differs3(const float* a, const float* b)
{
    return differs(a[0], b[0]) || differs(a[1], b[1]) || differs(a[2], b[2]);
}

void stretchRange(unsigned char* voxels, unsigned count) { rescaleUnsignedByte(voxels, count); }
void stretchRange(unsigned short* voxels, unsigned count) { rescaleUnsignedShort(voxels, count); }

void setSampler(GLSLProgram* program, const char* name, int unit)
{
    if (SamplerInfo* s = program->findSampler(name))
        glUniform1i(s->location, unit);
}

void setUniform3f(GLSLProgram* program, const char* name, float x, float y, float z)
{
    if (UniformInfo* u = program->findUniform(name))
        glUniform3f(u->location, x, y, z);
}

void bindOnUnit(int unit, GLenum target, GLuint handle)
{
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target, handle);
}

void bindOnUnit(const GLTex::OpenGLTexture* texture)
{
    bindOnUnit(texture->unit, texture->target, texture->handle);
}

} // namespace

GLSLRaycaster::GLSLRaycaster()
    : targetWidth(512), targetHeight(512), volumeSize{0, 0, 0}, scale{0, 0, 0},
      halfScale{0, 0, 0}, spacing{0, 0, 0}, texScaleFactors{0, 0, 0},
      nearPlaneProgram(nullptr), boundingGeometryProgram(nullptr), rayDirectionProgram(nullptr),
      raycastProgram(nullptr), nearPlaneVertex(nullptr), nearPlaneFragment(nullptr),
      cubeVertex(nullptr), cubeFragment(nullptr), rayDirectionVertex(nullptr),
      rayDirectionFragment(nullptr), raycastVertex(nullptr), raycastFragment(nullptr),
      rayDirTexture(nullptr), rayStartTexture(nullptr), rayEndTexture(nullptr),
      resultTexture(nullptr), volumeTexture(nullptr), depthRenderbuffer(0),
      blockGeometry(nullptr), framebuffer(nullptr), sentEye{0, 0, 0}
{
    sentParams = params;
    params.blockMode = 1;

    buildRaySetupPrograms(nearPlaneProgram, boundingGeometryProgram, rayDirectionProgram,
                          raycastProgram, nearPlaneVertex, nearPlaneFragment, cubeVertex,
                          cubeFragment, rayDirectionVertex, rayDirectionFragment);

    createTargets();
    createFramebuffer();
    createJitterTexture();

    volumeTexture = new GLTex::GLTex3D();
    volumeTexture->minFilter = GL_LINEAR;
    volumeTexture->magFilter = GL_LINEAR;
    volumeTexture->clampMask = 7;
    volumeTexture->unit = RaycastUnit::kVolume;
    volumeTexture->format = GL_LUMINANCE;
    volumeTexture->internalFormat = GL_INTENSITY;
    volumeTexture->setSize(2, 2, 2);
}

GLSLRaycaster::~GLSLRaycaster()
{
    for (GLSLProgram* program : {nearPlaneProgram, boundingGeometryProgram, rayDirectionProgram,
                                 raycastProgram}) {
        glUseProgram(0);
        delete program;
    }
    framebuffer->unbind_attachment(GL_COLOR_ATTACHMENT0_EXT);
    framebuffer->unbind_attachment(GL_DEPTH_ATTACHMENT_EXT);
    delete framebuffer;
    delete rayDirTexture;
    delete rayStartTexture;
    delete rayEndTexture;
    delete resultTexture;

    // Nothing else refers to these once the caster is gone. The jitter texture is shared
    // and stays.
    delete volumeTexture;
    delete blockGeometry;
    glDeleteRenderbuffersEXT(1, &depthRenderbuffer);
    for (GLSLShader* shader : {nearPlaneVertex, nearPlaneFragment, cubeVertex, cubeFragment,
                               rayDirectionVertex, rayDirectionFragment, raycastVertex,
                               raycastFragment}) {
        if (shader) {
            glDeleteShader(shader->handle);
            delete shader;
        }
    }
}

void GLSLRaycaster::createTargets()
{
    if (!rayDirTexture) {
        rayDirTexture = new GLTex::GLTex2D();
        rayDirTexture->format = GL_RGBA;
        rayDirTexture->internalFormat = GL_RGBA16F_ARB;
        rayDirTexture->type = GL_FLOAT;
        rayDirTexture->unit = 0;
        rayStartTexture = new GLTex::GLTex2D(*rayDirTexture);
        rayStartTexture->unit = 1;
        rayEndTexture = new GLTex::GLTex2D(*rayDirTexture);
        resultTexture = new GLTex::GLTex2D(*rayDirTexture);
    }
    for (GLTex::GLTex2D* target : {rayDirTexture, rayStartTexture, rayEndTexture, resultTexture}) {
        target->width = target->allocWidth = targetWidth;
        target->height = target->allocHeight = targetHeight;
        target->createOnUnit();
    }
    if (!depthRenderbuffer)
        glGenRenderbuffersEXT(1, &depthRenderbuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthRenderbuffer);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, targetWidth, targetHeight);
}

void GLSLRaycaster::createFramebuffer()
{
    framebuffer = new FramebufferObject();
    framebuffer->attach_texture(GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, rayStartTexture->handle, 0, 0);
    framebuffer->attach_render_buffer(GL_DEPTH_ATTACHMENT_EXT, depthRenderbuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void GLSLRaycaster::createJitterTexture()
{
    std::srand(unsigned(std::time(nullptr)));
    std::vector<unsigned char> bytes(kJitterSize * kJitterSize);
    for (unsigned char& b : bytes) {
        // r in 0..32767 whatever the C library's RAND_MAX.
        int r = std::rand() % 32768;
        b = static_cast<unsigned char>(r * 255.0 / 32767.0);
    }
    glGenTextures(1, &jitterTexture);
    glActiveTexture(GL_TEXTURE0 + RaycastUnit::kJitter);
    glBindTexture(GL_TEXTURE_2D, jitterTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, kJitterSize, kJitterSize, 0, GL_LUMINANCE,
                 GL_UNSIGNED_BYTE, bytes.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glActiveTexture(GL_TEXTURE0);
}

void GLSLRaycaster::setVolume(unsigned char* data, int w, int h, int d, float sx, float sy, float sz)
{
    loadVolume(data, w, h, d, sx, sy, sz);
}

void GLSLRaycaster::setVolume(unsigned short* data, int w, int h, int d, float sx, float sy, float sz)
{
    loadVolume(data, w, h, d, sx, sy, sz);
}

void GLSLRaycaster::setVolume(short* data, int w, int h, int d, float sx, float sy, float sz)
{
    loadVolume(data, w, h, d, sx, sy, sz);
}

template <typename Voxel>
void GLSLRaycaster::loadVolume(Voxel* data, int w, int h, int d, float sx, float sy, float sz)
{
    constexpr bool isByte = std::is_same<Voxel, unsigned char>::value;
    constexpr bool isSigned = std::is_same<Voxel, short>::value;
    // The octree reads 16-bit volumes as unsigned, signed ones before their conversion.
    using TreeVoxel = typename std::conditional<isByte, unsigned char, unsigned short>::type;

    volumeTexture->type = isByte ? GL_UNSIGNED_BYTE : GL_UNSIGNED_SHORT;
    volumeTexture->setSize(w, h, d);
    spacing[0] = sx;
    spacing[1] = sy;
    spacing[2] = sz;
    setGeneralVolumeParameters();

    const unsigned count = unsigned(w) * unsigned(h) * unsigned(d);
    if constexpr (!isSigned) {
        stretchRange(data, count);
        uploadVolume(data);
    }
    if (!blockGeometry)
        blockGeometry = new BoundingGeometry(params.maxLevel);
    blockGeometry->build(reinterpret_cast<const TreeVoxel*>(data), volumeSize, scale);
    if constexpr (isSigned) {
        convertSignedShort(data, count);
        blockGeometry->refreshSigned(reinterpret_cast<const unsigned short*>(data));
        uploadVolume(data);
    }
}

void GLSLRaycaster::uploadVolume(const void* data)
{
    glActiveTexture(GL_TEXTURE0 + volumeTexture->unit);
    glBindTexture(GL_TEXTURE_3D, volumeTexture->handle);
    volumeTexture->applyParameters();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    volumeTexture->upload(data);
}

void GLSLRaycaster::setGeneralVolumeParameters()
{
    volumeSize[0] = volumeTexture->width;
    volumeSize[1] = volumeTexture->height;
    volumeSize[2] = volumeTexture->depth;
    const int allocated[3] = {volumeTexture->allocWidth, volumeTexture->allocHeight,
                              volumeTexture->allocDepth};

    double extent[3];
    double longest = 0;
    for (int i = 0; i < 3; ++i) {
        extent[i] = volumeSize[i] * spacing[i];
        if (extent[i] > longest)
            longest = extent[i];
    }
    for (int i = 0; i < 3; ++i) {
        scale[i] = extent[i] / longest;
        halfScale[i] = 0.5 * scale[i];
        texScaleFactors[i] = float(longest / (allocated[i] * spacing[i]));
        params.clipMin[i] = 0.0;
        params.clipMax[i] = scale[i];
    }

    rayStartTexture->unit = RaycastUnit::kRayStart;
    rayDirTexture->unit = RaycastUnit::kRayDirection;
    volumeTexture->unit = RaycastUnit::kVolume;
    Classification::PreintTransferFunction1D* tf = params.transferFunction;
    if (tf) {
        tf->setTextureUnit(RaycastUnit::kTransferFunction);
        tf->preintTexture.unit = RaycastUnit::kPreintegration;
    }
    if (params.transferFunction2D)
        params.transferFunction2D->setTextureUnit(RaycastUnit::kTransferFunction2D);

    GLSLProgram* program = raycastProgram;
    glUseProgram(program->handle);
    setUniform3f(program, "dX", 1.0f / allocated[0], 0, 0);
    setUniform3f(program, "dY", 0, 1.0f / allocated[1], 0);
    setUniform3f(program, "dZ", 0, 0, 1.0f / allocated[2]);
    setSampler(program, "ray_start", RaycastUnit::kRayStart);
    setSampler(program, "ray_dirTex", RaycastUnit::kRayDirection);
    if (tf) {
        setSampler(program, "transfer_function", tf->getTexture()->unit);
        setSampler(program, "preint_function", tf->preintTexture.unit);
    }
    if (params.transferFunction2D)
        setSampler(program, "transfer_function2D", params.transferFunction2D->getTexture()->unit);
    setSampler(program, "jitter", RaycastUnit::kJitter);
    setSampler(program, "volume", RaycastUnit::kVolume);
    if (UniformInfo* u = program->findUniform("tileSize")) {
        // Both components from the width: the tile is square in texels of the width.
        const float tiles = targetWidth * kJitterTilesPerPixel;
        glUniform2f(u->location, tiles, tiles);
    }
    setUniform3f(program, "texScaleFactors", texScaleFactors[0], texScaleFactors[1],
                 texScaleFactors[2]);
    glUseProgram(0);
    std::cout << "Set general volume parameters in shader!\n";
}

void GLSLRaycaster::drawBoundingGeometry()
{
    if (!blockGeometry)
        return;
    if (params.useBlocks) {
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        // The block index buffer holds 32-bit indices: 16-bit ones reach only the first
        // 8192 blocks of the up to 32768 that levels (5, 5, 5) can emit.
        glDrawElements(GL_QUADS, blockGeometry->blockCount * 24, GL_UNSIGNED_INT, nullptr);
    } else {
        blockGeometry->drawClippedBox();
    }
}

void GLSLRaycaster::render()
{
    Classification::PreintTransferFunction1D* tf = params.transferFunction;
    const bool useBlocks = params.useBlocks && blockGeometry;

    // 1. Pre-integration distance: the table is costly, so it follows only while used.
    if (differs(params.preintSampleDistance, sentParams.preintSampleDistance)) {
        if (tf) {
            tf->sampleDistance = params.preintSampleDistance;
            if (params.usePreint)
                tf->computePreintegration();
        }
        sentParams.preintSampleDistance = params.preintSampleDistance;
    }

    // 2. Block geometry; each update rebuilds only when its input changed.
    if (blockGeometry) {
        Classification::TransferFunction* range =
            params.transferFunction2D ? params.transferFunction2D : tf;
        if (range)
            blockGeometry->updateRange(range->rangeMin, range->rangeMax);
        blockGeometry->updateClip(params.clipMin, params.clipMax);
        blockGeometry->updateThreshold(params.isoValue);
        blockGeometry->setMode(params.blockMode);
    }

    // 3. State for the passes; the volume box is centred on the modelview origin.
    const bool depthWasEnabled = glIsEnabled(GL_DEPTH_TEST);
    if (!depthWasEnabled)
        glEnable(GL_DEPTH_TEST);
    GLint savedViewport[4];
    glGetIntegerv(GL_VIEWPORT, savedViewport);
    glViewport(0, 0, targetWidth, targetHeight);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslated(-halfScale[0], -halfScale[1], -halfScale[2]);

    // 4. Camera and light in object space.
    double modelview[16], inverse[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    invertMatrix4(modelview, inverse);
    eyePosition[0] = float(inverse[12]);
    eyePosition[1] = float(inverse[13]);
    eyePosition[2] = float(inverse[14]);
    const float eyeSpaceLight[3] = {params.lightPos[0], params.lightPos[1], params.lightPos[2]};
    transformPoint4(inverse, eyeSpaceLight, params.lightPos);

    // 5.
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer->handle);
    glEnable(GL_CULL_FACE);
    if (useBlocks) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glBindBuffer(GL_ARRAY_BUFFER, blockGeometry->vertexBuffer->handle);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, blockGeometry->indexBuffer->handle);
    }

    // 6. Pass A, entry points. The near plane is the fallback for rays that start inside
    // the geometry; the back faces mark where any geometry lies behind it (alpha only),
    // and the front faces in front of the nearest back face overwrite the position.
    framebuffer->attach_texture(GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, rayStartTexture->handle, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glUseProgram(nearPlaneProgram->handle);
    glBegin(GL_QUADS);
    glVertex3f(-1, 1, -1);
    glVertex3f(-1, -1, -1);
    glVertex3f(1, -1, -1);
    glVertex3f(1, 1, -1);
    glEnd();
    glUseProgram(0);

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glCullFace(GL_FRONT);
    // The alpha written here scales every ray's length; whatever drew between frames,
    // it must be 1.
    glColor4f(1, 1, 1, 1);
    drawBoundingGeometry();

    glCullFace(GL_BACK);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glUseProgram(boundingGeometryProgram->handle);
    drawBoundingGeometry();
    glUseProgram(0);

    // 7. Pass B, exit points: the farthest back face.
    framebuffer->attach_texture(GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, rayEndTexture->handle, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthFunc(GL_GREATER);
    glCullFace(GL_FRONT);
    glUseProgram(boundingGeometryProgram->handle);
    drawBoundingGeometry();
    glUseProgram(0);
    glCullFace(GL_BACK);
    glDepthFunc(GL_LESS);
    glClearDepth(1.0);

    // 8.
    if (useBlocks) {
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    glDisable(GL_CULL_FACE);

    // 9. Pass C, ray directions and lengths.
    framebuffer->attach_texture(GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, rayDirTexture->handle, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    rayStartTexture->unit = RaycastUnit::kRayStart;
    rayEndTexture->unit = RaycastUnit::kRayDirection;
    bindOnUnit(rayStartTexture);
    bindOnUnit(rayEndTexture);
    glUseProgram(rayDirectionProgram->handle);
    setSampler(rayDirectionProgram, "front_faces", RaycastUnit::kRayStart);
    setSampler(rayDirectionProgram, "back_faces", RaycastUnit::kRayDirection);
    GLTex::drawViewportQuad();
    glUseProgram(0);
    glDepthFunc(GL_LESS);

    // 10. Pass D, ray casting over a target-filling quad.
    framebuffer->attach_texture(GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, resultTexture->handle, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, targetWidth, targetHeight, 0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    rayStartTexture->unit = RaycastUnit::kRayStart;
    rayDirTexture->unit = RaycastUnit::kRayDirection;
    volumeTexture->unit = RaycastUnit::kVolume;
    bindOnUnit(rayStartTexture);
    bindOnUnit(rayDirTexture);
    if (tf)
        bindOnUnit(tf->getTexture());
    bindOnUnit(volumeTexture);
    bindOnUnit(RaycastUnit::kJitter, GL_TEXTURE_2D, jitterTexture);
    if (tf)
        bindOnUnit(&tf->preintTexture);
    if (params.transferFunction2D)
        bindOnUnit(params.transferFunction2D->getTexture());

    glUseProgram(raycastProgram->handle);
    sendChangedUniforms();

    const GLint quad[8] = {0, 0, targetWidth, 0, targetWidth, targetHeight, 0, targetHeight};
    static const GLfloat quadTexCoords[8] = {0, 1, 1, 1, 1, 0, 0, 0};
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_INT, 0, quad);
    glTexCoordPointer(2, GL_FLOAT, 0, quadTexCoords);
    glDrawArrays(GL_QUADS, 0, 4);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);

    glUseProgram(0);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    // 11. Debug outlines over the layer, still in object space.
    glColor4f(1, 1, 1, 1);
    glClear(GL_DEPTH_BUFFER_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glColor3f(1, 1, 1);
    if (blockGeometry) {
        if (params.debugBoxMode == 1)
            blockGeometry->drawBox();
        else if (params.debugBoxMode == 2)
            blockGeometry->drawClippedBox();
    }
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    // 12. The opaque white colour is what pass A's back-face step writes next frame.
    glPopMatrix();
    glColor4f(1, 1, 1, 1);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(savedViewport[0], savedViewport[1], savedViewport[2], savedViewport[3]);
    if (!depthWasEnabled)
        glDisable(GL_DEPTH_TEST);
}

// Sends only what differs from the last frame; a value left at its construction default
// is never sent, so the program keeps its own initial value for it.
void GLSLRaycaster::sendChangedUniforms()
{
    GLSLProgram* program = raycastProgram;
    auto sendInt = [program](const char* name, int value) {
        if (UniformInfo* u = program->findUniform(name))
            glUniform1i(u->location, value);
    };
    auto sendFloat = [program](const char* name, float value) {
        if (UniformInfo* u = program->findUniform(name))
            glUniform1f(u->location, value);
    };

    if (params.usePreint != sentParams.usePreint) {
        sendInt("usePreint", params.usePreint);
        sentParams.usePreint = params.usePreint;
    }
    if (differs(params.sampleDistance, sentParams.sampleDistance)) {
        sendFloat("sample_distance", params.sampleDistance);
        sentParams.sampleDistance = params.sampleDistance;
    }
    if (params.maxSamples != sentParams.maxSamples) {
        sendInt("max_samples", params.maxSamples);
        sentParams.maxSamples = params.maxSamples;
    }
    if (params.useShading != sentParams.useShading) {
        sendInt("useShading", params.useShading);
        sentParams.useShading = params.useShading;
    }
    if (params.useJitter != sentParams.useJitter) {
        sendInt("useJitter", params.useJitter);
        sentParams.useJitter = params.useJitter;
    }
    if (differs3(params.lightPos, sentParams.lightPos)) {
        setUniform3f(program, "lightPos", params.lightPos[0], params.lightPos[1], params.lightPos[2]);
        for (int i = 0; i < 3; ++i)
            sentParams.lightPos[i] = params.lightPos[i];
    }
    if (differs(params.isoValue, sentParams.isoValue)) {
        sendFloat("iso_value", params.isoValue);
        sentParams.isoValue = params.isoValue;
    }
    if (differs3(eyePosition, sentEye)) {
        setUniform3f(program, "eye", eyePosition[0], eyePosition[1], eyePosition[2]);
        for (int i = 0; i < 3; ++i)
            sentEye[i] = eyePosition[i];
    }
}
