// GLSLRaycaster's frame: the four passes that find each pixel's ray through the bounding
// geometry and cast it, the changed-value uniforms and the debug outlines. Construction
// and the volume upload are in GLSLRaycaster.cpp.
#include "render/GLSLRaycaster.h"

#include "classification/PreintTransferFunction1D.h"
#include "gl/FramebufferObject.h"
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "gl/VertexBufferObject.h"
#include "render/BoundingGeometry.h"
#include "render/Matrix4.h"
#include "render/OccupancyGrid.h"
#include "render/RaycasterSupport.h"

#include <GL/glu.h>

#include <algorithm>

float GLSLRaycaster::eyePosition[3] = {0, 0, 0};

using raycast::bindOnUnit;
using raycast::differs;

void GLSLRaycaster::drawBoundingGeometry()
{
    // A clip box thinner than a voxel leaves nothing to cast through; its coincident
    // front and back faces would otherwise leave the rays on the near plane.
    if (!blockGeometry || blockGeometry->clipHidesAll())
        return;
    if (params.useBlocks) {
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        // The block index buffer holds 32-bit indices (indexType): 16-bit ones reach only
        // the first 8192 blocks of the up to 32768 that levels (5, 5, 5) can emit.
        glDrawElements(GL_QUADS, blockGeometry->blockCount * BoundingGeometry::indicesPerBox,
                       BoundingGeometry::indexType, nullptr);
    } else {
        blockGeometry->drawClippedBox();
    }
}

void GLSLRaycaster::render()
{
    updatePreintegration();
    updateBlockGeometry();
    updateOccupancy();

    // The volume box [0, scale] is drawn centred on the modelview origin.
    const bool depthWasEnabled = glIsEnabled(GL_DEPTH_TEST);
    GLint callersCullFace = GL_BACK;
    glGetIntegerv(GL_CULL_FACE_MODE, &callersCullFace);
    if (!depthWasEnabled)
        glEnable(GL_DEPTH_TEST);
    GLint savedViewport[4];
    glGetIntegerv(GL_VIEWPORT, savedViewport);
    glViewport(0, 0, targetWidth, targetHeight);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslated(-halfScale[0], -halfScale[1], -halfScale[2]);
    placeCameraAndLight();

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer->handle);
    drawRayEnds();
    drawRayDirections();
    castRays();
    drawDebugBox();

    glPopMatrix();
    // Opaque white is also what the next frame's entry pass writes as alpha.
    glColor4f(1, 1, 1, 1);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(savedViewport[0], savedViewport[1], savedViewport[2], savedViewport[3]);
    glCullFace(GLenum(callersCullFace));
    if (!depthWasEnabled)
        glDisable(GL_DEPTH_TEST);
}

// The table is costly (cubic in its size), so it follows the distance only while used.
void GLSLRaycaster::updatePreintegration()
{
    if (!differs(params.preintSampleDistance, sentParams.preintSampleDistance))
        return;
    if (Classification::PreintTransferFunction1D* tf = params.transferFunction) {
        tf->sampleDistance = params.preintSampleDistance;
        if (params.usePreint)
            tf->computePreintegration();
    }
    sentParams.preintSampleDistance = params.preintSampleDistance;
}

// Each update rebuilds the block buffers only when its input changed.
void GLSLRaycaster::updateBlockGeometry()
{
    if (!blockGeometry)
        return;
    Classification::TransferFunction* range = params.transferFunction2D;
    if (!range)
        range = params.transferFunction;
    if (range)
        blockGeometry->updateRange(range->rangeMin, range->rangeMax);
    blockGeometry->updateClip(params.clipMin, params.clipMax);
    blockGeometry->updateThreshold(params.isoValue);
    blockGeometry->setMode(params.blockMode);
}

// Classified against the table the ray-casting program will sample this frame; rebuilt
// only when that table, the classification mode or the tree changed.
void GLSLRaycaster::updateOccupancy()
{
    if (occupancy && blockGeometry)
        occupancy->update(blockGeometry->root.get(), blockGeometry->maxLevel, scale,
                          params.transferFunction, params.usePreint);
}

// Eye and light in the object space of the current (centred) modelview.
void GLSLRaycaster::placeCameraAndLight()
{
    double modelview[16], inverse[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    invertMatrix4(modelview, inverse);
    eyePosition[0] = float(inverse[12]);
    eyePosition[1] = float(inverse[13]);
    eyePosition[2] = float(inverse[14]);
    const float eyeSpaceLight[3] = {params.lightPos[0], params.lightPos[1], params.lightPos[2]};
    transformPoint4(inverse, eyeSpaceLight, params.lightPos);
}

// Passes A and B: object-space entry and exit points of every pixel's ray.
void GLSLRaycaster::drawRayEnds()
{
    const bool useBlocks = params.useBlocks && blockGeometry;
    glEnable(GL_CULL_FACE);
    if (useBlocks) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glBindBuffer(GL_ARRAY_BUFFER, blockGeometry->vertexBuffer->handle);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, blockGeometry->indexBuffer->handle);
    }

    // Entry points. The near plane is the fallback for rays that start inside the
    // geometry; the back faces mark (alpha only) where any geometry lies behind it, and
    // the front faces in front of the nearest back face overwrite the position.
    framebuffer->attach_texture(GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, rayStartTexture->handle, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    // The near-plane quad is a front face: whatever face the caller culls, keep it.
    glCullFace(GL_BACK);
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
    // This alpha scales every ray's length: it must be 1, whatever drew between frames.
    glColor4f(1, 1, 1, 1);
    drawBoundingGeometry();

    glCullFace(GL_BACK);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glUseProgram(boundingGeometryProgram->handle);
    drawBoundingGeometry();
    glUseProgram(0);

    // Exit points: the farthest back face.
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

    if (useBlocks) {
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    glDisable(GL_CULL_FACE);
}

// Pass C: direction and length of every ray, in screen space.
void GLSLRaycaster::drawRayDirections()
{
    framebuffer->attach_texture(GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, rayDirTexture->handle, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    rayStartTexture->unit = RaycastUnit::kRayStart;
    rayEndTexture->unit = RaycastUnit::kRayDirection;
    bindOnUnit(rayStartTexture);
    bindOnUnit(rayEndTexture);
    glUseProgram(rayDirectionProgram->handle);
    raycast::setSampler(rayDirectionProgram, "front_faces", RaycastUnit::kRayStart);
    raycast::setSampler(rayDirectionProgram, "back_faces", RaycastUnit::kRayDirection);
    GLTex::drawViewportQuad();
    glUseProgram(0);
    glDepthFunc(GL_LESS);
}

// Pass D: the ray-casting program over a target-filling quad.
void GLSLRaycaster::castRays()
{
    framebuffer->attach_texture(GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, resultTexture->handle, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // No ray leaves the projection of the clipped box, and a pixel without a ray stays
    // as cleared: only the pixels inside it run the program. A software renderer runs
    // the whole program for every pixel it shades, whether its ray is empty or not.
    int rect[4] = {0, 0, targetWidth, targetHeight};
    if (blockGeometry && blockGeometry->root) {
        double modelview[16], projection[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        const NodeBox& box = blockGeometry->root->box;
        if (!projectedBoxRectangle(modelview, projection, box.clippedMin, box.clippedMax, targetWidth,
                                   targetHeight, rect)) {
            rect[0] = rect[1] = 0;
            rect[2] = targetWidth;
            rect[3] = targetHeight;
        }
    }
    const GLboolean scissorWasEnabled = glIsEnabled(GL_SCISSOR_TEST);
    GLint callersScissor[4];
    glGetIntegerv(GL_SCISSOR_BOX, callersScissor);
    glEnable(GL_SCISSOR_TEST);
    glScissor(rect[0], rect[1], rect[2], rect[3]);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, targetWidth, targetHeight, 0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    Classification::PreintTransferFunction1D* tf = params.transferFunction;
    rayStartTexture->unit = RaycastUnit::kRayStart;
    rayDirTexture->unit = RaycastUnit::kRayDirection;
    volumeTexture->unit = RaycastUnit::kVolume;
    bindOnUnit(rayStartTexture);
    bindOnUnit(rayDirTexture);
    if (tf)
        bindOnUnit(tf->getTexture());
    bindOnUnit(volumeTexture);
    bindOnUnit(RaycastUnit::kJitter, GL_TEXTURE_2D, jitterTexture);
    // Before the tables, so that the last unit bound stays the table's.
    if (occupancy)
        bindOnUnit(&occupancy->texture);
    if (tf)
        bindOnUnit(&tf->preintTexture);
    if (params.transferFunction2D)
        bindOnUnit(params.transferFunction2D->getTexture());

    glUseProgram(raycastProgram->handle);
    sendChangedUniforms();
    sendTableSizes();

    // Texture row 0 at the bottom, as in the ray images.
    const GLint quad[8] = {0, 0, targetWidth, 0, targetWidth, targetHeight, 0, targetHeight};
    static const GLfloat quadTexCoords[8] = {0, 1, 1, 1, 1, 0, 0, 0};
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_INT, 0, quad);
    glTexCoordPointer(2, GL_FLOAT, 0, quadTexCoords);
    glDrawArrays(GL_QUADS, 0, 4);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glScissor(callersScissor[0], callersScissor[1], callersScissor[2], callersScissor[3]);
    if (!scissorWasEnabled)
        glDisable(GL_SCISSOR_TEST);

    glUseProgram(0);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

// Sends only what differs from the last frame; a value left at its construction default
// is never sent, so the program keeps its own initial value for it.
void GLSLRaycaster::sendChangedUniforms()
{
    GLSLProgram* program = raycastProgram;
    if (params.usePreint != sentParams.usePreint) {
        raycast::setUniform1i(program, "usePreint", params.usePreint);
        sentParams.usePreint = params.usePreint;
    }
    if (differs(params.sampleDistance, sentParams.sampleDistance)) {
        raycast::setUniform1f(program, "sample_distance", params.sampleDistance);
        sentParams.sampleDistance = params.sampleDistance;
    }
    if (params.maxSamples != sentParams.maxSamples) {
        raycast::setUniform1i(program, "max_samples", params.maxSamples);
        sentParams.maxSamples = params.maxSamples;
    }
    if (params.useShading != sentParams.useShading) {
        raycast::setUniform1i(program, "useShading", params.useShading);
        sentParams.useShading = params.useShading;
    }
    if (params.useJitter != sentParams.useJitter) {
        raycast::setUniform1i(program, "useJitter", params.useJitter);
        sentParams.useJitter = params.useJitter;
    }
    if (raycast::differs3(params.lightPos, sentParams.lightPos)) {
        raycast::setUniform3f(program, "lightPos", params.lightPos[0], params.lightPos[1],
                              params.lightPos[2]);
        std::copy(params.lightPos, params.lightPos + 3, sentParams.lightPos);
    }
    if (differs(params.isoValue, sentParams.isoValue)) {
        raycast::setUniform1f(program, "iso_value", params.isoValue);
        sentParams.isoValue = params.isoValue;
    }
    if (raycast::differs3(eyePosition, sentEye)) {
        raycast::setUniform3f(program, "eye", eyePosition[0], eyePosition[1], eyePosition[2]);
        std::copy(eyePosition, eyePosition + 3, sentEye);
    }
}

// The program reads entry i of a table at intensity i / (N - 1), so it needs N of what
// is stored: the pre-integration table keeps the size it was last computed at when the
// lookup table is resized.
void GLSLRaycaster::sendTableSizes()
{
    Classification::PreintTransferFunction1D* tf = params.transferFunction;
    if (!tf)
        return;
    const struct {
        const char* uniform;
        GLenum target;
        GLuint handle;
    } tables[2] = {{"transferFunctionSize", GL_TEXTURE_1D, tf->getTexture()->handle},
                   {"preintSize", GL_TEXTURE_2D, tf->preintTexture.handle}};
    for (int t = 0; t < 2; ++t) {
        const int stored = raycast::storedWidth(tables[t].target, tables[t].handle);
        if (stored != sentTableSizes[t]) {
            raycast::setUniform1f(raycastProgram, tables[t].uniform, float(stored));
            sentTableSizes[t] = stored;
        }
    }
}

// White outlines over the layer, in object space; the layer between them is kept.
void GLSLRaycaster::drawDebugBox()
{
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
}
