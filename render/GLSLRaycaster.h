// GPU ray caster of one volume layer: owns the ray-setup programs, the offscreen
// targets and framebuffer, the volume texture and the block geometry, and renders the
// layer into `resultTexture` in four passes. The ray-casting program itself is built by
// the owner from files; its shader text is data, not part of this class.
#pragma once

#include "render/RenderParameters.h"

#include <GL/glew.h>

class GLSLProgram;
struct GLSLShader;
class FramebufferObject;
class BoundingGeometry;
class OccupancyGrid;
namespace GLTex {
class GLTex2D;
class GLTex3D;
}

// Texture units of the ray-casting program's samplers; the external shader relies on
// them through its sampler uniforms.
namespace RaycastUnit {
constexpr int kRayStart = 0;          // "ray_start" ("front_faces" in the direction pass)
constexpr int kRayDirection = 1;      // "ray_dirTex" ("back_faces": the exit image, direction pass)
constexpr int kTransferFunction = 2;  // "transfer_function"
constexpr int kVolume = 3;            // "volume"
constexpr int kJitter = 4;            // "jitter"
constexpr int kPreintegration = 5;    // "preint_function"
constexpr int kTransferFunction2D = 6; // "transfer_function2D"
constexpr int kOccupancy = 7;         // "occupancy": empty-space skipping inside the rays
}

// The owner's order: construct; set params.transferFunction; build raycastProgram from
// "raycast.vert" and "raycast.frag" into the raycast slots; set params and, for another
// size, targetWidth/targetHeight and createTargets(); setVolume once; render() per frame.
class GLSLRaycaster {
public:
    // Needs a current context with GLSL, framebuffer objects and 3D textures.
    GLSLRaycaster();
    virtual ~GLSLRaycaster();
    GLSLRaycaster(const GLSLRaycaster&) = delete;
    GLSLRaycaster& operator=(const GLSLRaycaster&) = delete;

    // The block geometry (params.useBlocks) or the clipped volume box, in object space,
    // with the current GL state.
    virtual void drawBoundingGeometry();

    // (Re)defines the four targets and the depth buffer at targetWidth x targetHeight.
    void createTargets();

    // Stretch the voxels in place (signed ones become unsigned), upload them and build the
    // octree. x fastest, then y, then z; s* are the voxel spacings.
    void setVolume(unsigned char* data, int w, int h, int d, float sx, float sy, float sz);
    void setVolume(unsigned short* data, int w, int h, int d, float sx, float sy, float sz);
    void setVolume(short* data, int w, int h, int d, float sx, float sy, float sz);

    // Geometry values from the volume texture's sizes and the one-time uniforms.
    void setGeneralVolumeParameters();

    // One frame into resultTexture, with the current modelview and projection. Turns
    // params.lightPos from eye into object space in place, so the owner writes it before
    // every frame. Leaves program 0 and framebuffer 0 bound, the viewport, matrices and
    // depth-test switch as found, culling off, depth function GL_LESS, clear depth 1,
    // fill mode, full colour mask, colour opaque white, and the last unit of the
    // ray-casting pass active (5, or 6 with a 2D transfer function).
    void render();

    int targetWidth, targetHeight;   // pixels of the targets and of the render viewport; 512
    int volumeSize[3];               // voxels of the current volume; 0 = none yet
    double scale[3];                 // object-space extent of the volume, longest axis 1
    double halfScale[3];             // scale / 2: the box is drawn centred on the origin
    double spacing[3];               // physical units per voxel
    float texScaleFactors[3];        // object space -> texture coordinates of the power-of-two storage
    RenderParameters params;         // the owner's settings
    RenderParameters sentParams;     // what the programs and the block geometry last received
    GLSLProgram* nearPlaneProgram;   // owned; the three ray-setup programs are built in the constructor
    GLSLProgram* boundingGeometryProgram;
    GLSLProgram* rayDirectionProgram;
    GLSLProgram* raycastProgram;     // owned; created empty, built by the owner from files
    GLSLShader* nearPlaneVertex;     // owned shader records, one vertex and one fragment per program
    GLSLShader* nearPlaneFragment;
    GLSLShader* cubeVertex;
    GLSLShader* cubeFragment;
    GLSLShader* rayDirectionVertex;
    GLSLShader* rayDirectionFragment;
    GLSLShader* raycastVertex;       // null until the owner builds the ray-casting program
    GLSLShader* raycastFragment;
    GLTex::GLTex2D* rayDirTexture;   // rgb exit - entry, a ray length; RGBA16F, target size
    GLTex::GLTex2D* rayStartTexture; // rgb object-space entry, a 1 where a ray meets the geometry
    GLTex::GLTex2D* rayEndTexture;   // rgb object-space exit, a 1 where present
    GLTex::GLTex2D* resultTexture;   // the rendered layer, premultiplied colour and opacity
    GLTex::GLTex3D* volumeTexture;   // normalised intensities; storage raised to powers of two
    GLuint depthRenderbuffer;        // 24-bit depth of the target size; 0 = not created
    BoundingGeometry* blockGeometry; // owned; null until the first volume
    OccupancyGrid* occupancy;        // owned; one texel per octree leaf; null until the first volume
    FramebufferObject* framebuffer;  // owned; colour attachment 0 swapped per pass
    float sentEye[3];                // "eye" last sent to raycastProgram; (0, 0, 0) at first
    int sentTableSizes[2];           // stored entries of the lookup and pre-integration tables last sent; 0 = none

    // Shared by all casters: the newest caster's 32 x 32 random bytes; 0 = none yet.
    static GLuint jitterTexture;
    // Camera in the object space of the caster rendering now (scratch within render()).
    static float eyePosition[3];

private:
    // Set-up (GLSLRaycaster.cpp).
    void createFramebuffer();
    void createJitterTexture();
    template <typename Voxel>
    void loadVolume(Voxel* data, int w, int h, int d, float sx, float sy, float sz);
    void uploadVolume(const void* data);
    void sendOccupancyParameters();

    // The frame (GLSLRaycasterFrame.cpp), in the order render() runs them.
    void updatePreintegration();
    void updateBlockGeometry();
    void updateOccupancy();
    void placeCameraAndLight();
    void drawRayEnds();
    void drawRayDirections();
    void castRays();
    void sendChangedUniforms();
    void sendTableSizes();
    void drawDebugBox();
};
