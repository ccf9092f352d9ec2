// GLSLRaycaster's set-up: construction of programs, targets, framebuffer, jitter and
// volume texture, the volume upload with its stretch and octree, the one-time uniforms
// and destruction. The frame is in GLSLRaycasterFrame.cpp.
#include "render/GLSLRaycaster.h"

#include "classification/PreintTransferFunction1D.h"
#include "gl/FramebufferObject.h"
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "render/BoundingGeometry.h"
#include "render/OccupancyGrid.h"
#include "render/RaySetupPrograms.h"
#include "render/RaycasterSupport.h"
#include "volume/IntensityRange.h"

#include <cstdlib>
#include <ctime>
#include <iostream>
#include <type_traits>
#include <vector>

GLuint GLSLRaycaster::jitterTexture = 0;

namespace {

constexpr int kJitterSize = 32;         // texels per side of the jitter tile
constexpr float kJitterTilesPerPixel = 1.0f / kJitterSize;

void stretchRange(unsigned char* voxels, unsigned count) { rescaleUnsignedByte(voxels, count); }
void stretchRange(unsigned short* voxels, unsigned count) { rescaleUnsignedShort(voxels, count); }

} // namespace

using raycast::setSampler;
using raycast::setUniform3f;

GLSLRaycaster::GLSLRaycaster()
    : targetWidth(512), targetHeight(512), volumeSize{0, 0, 0}, scale{0, 0, 0},
      halfScale{0, 0, 0}, spacing{0, 0, 0}, texScaleFactors{0, 0, 0},
      nearPlaneProgram(nullptr), boundingGeometryProgram(nullptr), rayDirectionProgram(nullptr),
      raycastProgram(nullptr), nearPlaneVertex(nullptr), nearPlaneFragment(nullptr),
      cubeVertex(nullptr), cubeFragment(nullptr), rayDirectionVertex(nullptr),
      rayDirectionFragment(nullptr), raycastVertex(nullptr), raycastFragment(nullptr),
      rayDirTexture(nullptr), rayStartTexture(nullptr), rayEndTexture(nullptr),
      resultTexture(nullptr), volumeTexture(nullptr), depthRenderbuffer(0),
      blockGeometry(nullptr), occupancy(nullptr), framebuffer(nullptr), sentEye{0, 0, 0},
      sentTableSizes{0, 0}
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
    delete occupancy;
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
    // Unsized GL_INTENSITY is stored with 8 bits: a 16-bit CT would lose its low bits
    // (terraced surfaces), so 16-bit volumes get 16-bit texels.
    volumeTexture->internalFormat = isByte ? GL_INTENSITY : GL_INTENSITY16;
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
    if (!occupancy) {
        occupancy = new OccupancyGrid();
        occupancy->texture.unit = RaycastUnit::kOccupancy;
    }
    occupancy->invalidate();
    sendOccupancyParameters();
}

// The occupancy grid has one texel per leaf of the octree, whose levels are fixed when
// the block geometry is created.
void GLSLRaycaster::sendOccupancyParameters()
{
    GLSLProgram* program = raycastProgram;
    float blocks[3], toBlocks[3], lastTexel[3];
    const int allocated[3] = {volumeTexture->allocWidth, volumeTexture->allocHeight,
                              volumeTexture->allocDepth};
    for (int a = 0; a < 3; ++a) {
        blocks[a] = float(1 << blockGeometry->maxLevel[a]);
        toBlocks[a] = float(blocks[a] / scale[a]);
        lastTexel[a] = float((volumeSize[a] - 0.5) / allocated[a]);
    }
    glUseProgram(program->handle);
    setSampler(program, "occupancy", RaycastUnit::kOccupancy);
    setUniform3f(program, "occupancySize", blocks[0], blocks[1], blocks[2]);
    setUniform3f(program, "occupancyScale", toBlocks[0], toBlocks[1], toBlocks[2]);
    setUniform3f(program, "volumeTexelMax", lastTexel[0], lastTexel[1], lastTexel[2]);
    glUseProgram(0);
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
        // Both components from the width, in 32-texel tiles: on a target that is not
        // square the tiles stretch vertically, which random offsets do not mind.
        const float tiles = targetWidth * kJitterTilesPerPixel;
        glUniform2f(u->location, tiles, tiles);
    }
    setUniform3f(program, "texScaleFactors", texScaleFactors[0], texScaleFactors[1],
                 texScaleFactors[2]);
    glUseProgram(0);
    std::cout << "Set general volume parameters in shader!\n";
}
