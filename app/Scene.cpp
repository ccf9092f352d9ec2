#include "app/Scene.h"

#include "app/FrameClock.h"
#include "app/GameConfig.h"
#include "classification/PreintTransferFunction1D.h"
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "render/GLSLRaycaster.h"
#include "volume/MetaImageLoader.h"
#include "volume/VolumeRecord.h"

#include <GL/glu.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <string>
#include <type_traits>
#include <vector>

using Classification::PreintTransferFunction1D;

namespace {

// Settings of every layer's caster at set-up.
constexpr float kSetupSampleDistance = 0.009f;
constexpr int kMaxSamples = 1024;
constexpr unsigned char kOctreeLevels = 5;
// The organ layer is small and is the one the player lines up: sampled more finely.
constexpr float kOrganSampleDistance = 1.0f / 600.0f;
constexpr float kLightInEyeSpace[3] = {1.0f, 0.0f, 0.0f};

// The file is rasterised at 256 entries; the ray caster samples 128.
constexpr int kTableSizeAtLoad = 256;
constexpr int kTableSizeInUse = 128;
constexpr int kHistogramBins = 256;

constexpr const char* kRaycastVertex = "raycast.vert";
constexpr const char* kRaycastFragment = "raycast.frag";
constexpr const char* kMixVertex = "mixpics.vert";
constexpr const char* kMixFragment = "mixpics.frag";

// Layer files, in the order the layers are built and cast (game::Layer).
constexpr const char* kLayerFiles[game::kLayerCount] = {"tfn/CT Skin.tfn", "tfn/CT Skin 2.tfn",
                                                        "tfn/Heart.tfn"};
// Sampler of each layer's image in the mixing program; its texture unit is its index.
constexpr const char* kLayerSamplers[game::kLayerCount] = {"skin", "sceleton", "organ"};

GLSLRaycaster* casterOf(const PlayerState& p, int layer)
{
    GLSLRaycaster* const casters[game::kLayerCount] = {p.skinCaster, p.skeletonCaster, p.organCaster};
    return casters[layer];
}

// Shader text with carriage returns dropped, so files from any platform compile alike.
std::string readShaderText(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        std::cerr << "could not read " << path << "\n";
    std::string text;
    char c;
    while (in.get(c))
        if (c != '\r')
            text += c;
    return text;
}

GLSLShader* newShaderFromFile(GLenum kind, const char* path)
{
    GLSLShader* shader = new GLSLShader(kind);
    shader->setSource(readShaderText(path).c_str());
    return shader;
}

void compileWithLog(GLSLShader* shader, const char* heading)
{
    if (!shader->hasSource)
        return;
    shader->compile();
    std::string log;
    getInfoLog(*shader, log);
    std::cout << heading << log << "\n";
}

void buildMixProgram(PlayerState& p)
{
    if (!p.mixProgram)
        p.mixProgram = new GLSLProgram;
    p.mixVertexShader = newShaderFromFile(GL_VERTEX_SHADER, kMixVertex);
    p.mixFragmentShader = newShaderFromFile(GL_FRAGMENT_SHADER, kMixFragment);
    compileWithLog(p.mixVertexShader, "Mix Picture VS\n");
    compileWithLog(p.mixFragmentShader, "Mix Picture FS\n");
    glAttachShader(p.mixProgram->handle, p.mixVertexShader->handle);
    glAttachShader(p.mixProgram->handle, p.mixFragmentShader->handle);
    p.mixProgram->link();
    std::string log;
    p.mixProgram->getInfoLog(log);
    std::cout << "Mix Picture Prog. Link Info: \n" << log << "\n";
}

// Hands the voxels to the caster (which stretches them in place) and counts them into
// the transfer function's histogram.
template <typename Voxel>
void uploadAndCount(GLSLRaycaster& caster, PreintTransferFunction1D& transfer, Voxel* voxels,
                    const VolumeRecord& v, std::vector<int>& dims)
{
    caster.setVolume(voxels, v.extent[0], v.extent[1], v.extent[2], v.spacing[0], v.spacing[1],
                     v.spacing[2]);
    std::cout << "computing histogram...";
    using Counted = std::conditional_t<sizeof(Voxel) == 1, const unsigned char*, const unsigned short*>;
    transfer.histogram.compute(reinterpret_cast<Counted>(voxels), dims, nullptr);
}

void applyPose(const Pose& pose)
{
    glTranslatef(pose.x, pose.y, pose.z);
    glRotatef(pose.angleZ, 0.0f, 0.0f, 1.0f);
    glRotatef(pose.angleX, 1.0f, 0.0f, 0.0f);
}

// Distance from the camera to a pose's translation, every step in single precision.
float eyeDistance(const float eye[3], const Pose& pose)
{
    float dx = pose.x - eye[0];
    float dy = pose.y - eye[1];
    float dz = pose.z - eye[2];
    float sum = dy * dy + dx * dx;
    sum = sum + dz * dz;
    return std::sqrt(sum);
}

} // namespace

void setupPlayer(PlayerState& p)
{
    p.moveBody = false;
    setupLayer(p, p.skinCaster, p.skinTransfer, kLayerFiles[game::kSkinLayer]);
    setupLayer(p, p.skeletonCaster, p.skeletonTransfer, kLayerFiles[game::kSkeletonLayer]);
    setupLayer(p, p.organCaster, p.organTransfer, kLayerFiles[game::kOrganLayer]);
    buildMixProgram(p);
    glActiveTexture(GL_TEXTURE0);
    p.eye[0] = p.eye[1] = p.eye[2] = 0.0f;
}

void setupLayer(PlayerState& p, GLSLRaycaster*& caster, PreintTransferFunction1D*& transfer,
                const char* tfnPath)
{
    delete transfer;
    transfer = nullptr;
    delete caster;
    caster = nullptr;

    transfer = new PreintTransferFunction1D;
    transfer->setTableSize(kTableSizeAtLoad);
    transfer->setTextureUnit(RaycastUnit::kTransferFunction);
    transfer->preintTexture.unit = RaycastUnit::kPreintegration;
    transfer->loadFromFile(tfnPath);
    transfer->computePreintegration();

    caster = new GLSLRaycaster;
    buildProgramFromFiles(caster->raycastProgram, caster->raycastVertex, caster->raycastFragment,
                          kRaycastVertex, kRaycastFragment);
    RenderParameters& params = caster->params;
    params.sampleDistance = kSetupSampleDistance;
    params.maxSamples = kMaxSamples;
    params.useJitter = false;
    params.transferFunction = transfer;
    for (unsigned char& level : params.maxLevel)
        level = kOctreeLevels;
    params.useBlocks = true;
    if (caster->targetWidth != int(p.viewWidth) || caster->targetHeight != int(p.viewHeight)) {
        caster->targetWidth = int(p.viewWidth);
        caster->targetHeight = int(p.viewHeight);
        caster->createTargets();
    }

    p.spacing[0] = p.spacing[1] = p.spacing[2] = 1.0f;
    VolumeRecord volume{};
    volume.voxels = nullptr;
    volume.spacing[0] = volume.spacing[1] = volume.spacing[2] = 1.0f;
    loadMetaImage(volume);
    for (int i = 0; i < 3; ++i)
        p.spacing[i] = volume.spacing[i];

    transfer->setTableSize(kTableSizeInUse);
    transfer->histogram.binCount = kHistogramBins;
    // An unreadable or unsupported volume leaves no voxels: the layer stays empty
    // rather than handing a null array to the upload.
    if (!volume.voxels)
        return;
    std::vector<int> dims = {volume.extent[0], volume.extent[1], volume.extent[2]};
    if (volume.voxelType == GL_UNSIGNED_BYTE) {
        std::cout << "UCHAR Volume\n";
        uploadAndCount(*caster, *transfer, volume.voxels, volume, dims);
    } else if (volume.voxelType == GL_UNSIGNED_SHORT) {
        std::cout << "USHORT Volume\n";
        uploadAndCount(*caster, *transfer, reinterpret_cast<unsigned short*>(volume.voxels), volume, dims);
    } else {
        // Anything else is taken as signed 16-bit; the caster converts it to unsigned in
        // place, and the histogram counts the converted values.
        std::cout << "SHORT Volume\n";
        uploadAndCount(*caster, *transfer, reinterpret_cast<short*>(volume.voxels), volume, dims);
    }
    delete[] volume.voxels;
}

void renderNextLayer(PlayerState& p)
{
    for (int layer = 0; layer < game::kLayerCount; ++layer) {
        GLSLRaycaster* caster = casterOf(p, layer);
        if (!caster)
            continue;
        RenderParameters& params = caster->params;
        // The body layers were built with block geometry; every render casts over the
        // clipped box instead. The light is written each time: render() converts it.
        params.useBlocks = false;
        params.usePreint = layer == game::kSkinLayer;
        for (int i = 0; i < 3; ++i)
            params.lightPos[i] = kLightInEyeSpace[i];
        if (layer == game::kOrganLayer)
            params.sampleDistance = kOrganSampleDistance;
    }

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    float ex = std::cos(p.yaw) * std::cos(p.pitch);
    float ey = std::sin(p.pitch);
    float ez = std::sin(p.yaw) * std::cos(p.pitch);
    gluLookAt(ex, ey, ez, 0, 0, 0, 0, 1, 0);
    p.eye[0] = ex;
    p.eye[1] = ey;
    p.eye[2] = ez;
    glDisable(GL_BLEND);

    int layer = advanceLayer(p);
    applyPose(layer == game::kOrganLayer ? p.organPose : p.bodyPose);
    if (GLSLRaycaster* caster = casterOf(p, layer))
        caster->render();

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

bool organIsNearer(const PlayerState& p)
{
    return eyeDistance(p.eye, p.bodyPose) > eyeDistance(p.eye, p.organPose);
}

void setupMixPass(PlayerState& p)
{
    GLuint program = p.mixProgram ? p.mixProgram->handle : 0;
    glUseProgram(program);
    for (int layer = 0; layer < game::kLayerCount; ++layer) {
        GLSLRaycaster* caster = casterOf(p, layer);
        glActiveTexture(GL_TEXTURE0 + layer);
        glBindTexture(GL_TEXTURE_2D, caster && caster->resultTexture ? caster->resultTexture->handle : 0);
    }
    bool nearer = organIsNearer(p);
    if (!program)
        return;
    for (int layer = 0; layer < game::kLayerCount; ++layer)
        glUniform1i(glGetUniformLocation(program, kLayerSamplers[layer]), layer);
    glUniform1i(glGetUniformLocation(program, "organNearer"), nearer ? 1 : 0);
    glUniform2f(glGetUniformLocation(program, "cursorPos"), p.cursorX, p.cursorY);
}

void drawMixQuad()
{
    // The picture lies under the overlay, not in front of it: with the depth test on,
    // the quad at depth 0 would hide the frame-rate text drawn later at depth 0.5.
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(1, 0);
    glVertex2f(1, 0);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(0, 1);
    glEnd();
    glPopAttrib();
    glUseProgram(0);
    // The overlay draws its bitmap text with GL_TEXTURE_2D enabled on unit 0; a layer
    // image left bound there would texture the glyphs away.
    for (int unit = game::kLayerCount - 1; unit >= 0; --unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
}

void setOrganBox(PlayerState& p, const double boxMin[3], const double boxMax[3])
{
    if (!p.organCaster)
        return;
    for (int i = 0; i < 3; ++i) {
        p.organCaster->params.clipMin[i] = boxMin[i];
        p.organCaster->params.clipMax[i] = boxMax[i];
    }
}
