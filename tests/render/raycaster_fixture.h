// Shared set-up of the ray-caster GL tests: casters with the real ray-casting program,
// small transfer functions, synthetic volumes and read-back helpers.
#pragma once

#include "classification/PreintTransferFunction1D.h"
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "render/GLSLRaycaster.h"
#include "tests/support/GLTestSupport.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace raytest {

// A file of the run-time data folder, found from this source file's place.
inline std::string dataFile(const char* name)
{
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/../../data/" + name;
}

inline std::string captureStdout(const std::function<void()>& work)
{
    ::testing::internal::CaptureStdout();
    work();
    return ::testing::internal::GetCapturedStdout();
}

// One VornTrapez "test" shape in a 64-entry table, its colours differing per point
// (feet red, mid-ramp green, plateau blue).
inline std::unique_ptr<Classification::PreintTransferFunction1D>
makeTransferFunction(const std::vector<Classification::ShapePoint>& points)
{
    auto tf = std::make_unique<Classification::PreintTransferFunction1D>();
    tf->setTableSize(64);
    tf->addShape("test", "VornTrapez");
    Classification::TransferFunctionGeometry* shape = tf->getShape("test");
    shape->colours[0] = shape->colours[3] = {1, 0.1f, 0.1f, 1};
    shape->colours[1] = {0.2f, 1, 0.2f, 1};
    shape->colours[2] = {0.2f, 0.3f, 1, 1};
    EXPECT_TRUE(shape->setPoints(points));
    tf->computeVisibleRange();
    tf->update();
    tf->computePreintegration();
    return tf;
}

// A caster with the game's ray-casting program, the transfer function set and its
// targets at the given size; no volume yet.
inline std::unique_ptr<GLSLRaycaster> makeCaster(Classification::PreintTransferFunction1D* tf,
                                                 int width, int height)
{
    std::unique_ptr<GLSLRaycaster> caster;
    captureStdout([&] {
        caster = std::make_unique<GLSLRaycaster>();
        caster->params.transferFunction = tf;
        buildProgramFromFiles(caster->raycastProgram, caster->raycastVertex, caster->raycastFragment,
                              dataFile("raycast.vert").c_str(), dataFile("raycast.frag").c_str());
        caster->targetWidth = width;
        caster->targetHeight = height;
        caster->createTargets();
    });
    return caster;
}

// A sphere in object space (unit spacing, so the volume spans dims / longest dim);
// intensity falls from the centre to 0 at `radius` and rises along x,
// so a mirrored or swapped axis shows. Zero everywhere near the box faces.
inline std::vector<unsigned char> sphereVolume(const int dims[3], double radius = 0.2)
{
    const double longest = std::max(dims[0], std::max(dims[1], dims[2]));
    const double centre[3] = {0.5 * dims[0] / longest, 0.5 * dims[1] / longest, 0.5 * dims[2] / longest};
    std::vector<unsigned char> voxels(size_t(dims[0]) * dims[1] * dims[2]);
    size_t n = 0;
    for (int z = 0; z < dims[2]; ++z)
        for (int y = 0; y < dims[1]; ++y)
            for (int x = 0; x < dims[0]; ++x, ++n) {
                const double p[3] = {(x + 0.5) / longest, (y + 0.5) / longest, (z + 0.5) / longest};
                double r = std::hypot(p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]);
                double v = 0;
                if (r < radius)
                    v = (1 - r / radius) * (0.55 + 0.45 * (p[0] - centre[0] + radius) / (2 * radius));
                voxels[n] = static_cast<unsigned char>(std::lround(v * 250));
            }
    return voxels;
}

// The texels of a texture as RGBA floats, row 0 first; read on unit 0, which the
// caster's passes rebind anyway.
inline std::vector<float> readTexture(const GLTex::OpenGLTexture* texture, int texels)
{
    glActiveTexture(GL_TEXTURE0);
    std::vector<float> out = gltest::readTexture(texture->target, texture->handle, texels);
    glBindTexture(texture->target, 0);
    return out;
}

inline std::vector<float> readTarget(const GLTex::GLTex2D* target)
{
    return readTexture(target, target->width * target->height);
}

// A uniform's current value in a program, n floats (ints and samplers converted).
inline std::vector<float> uniformFloats(GLSLProgram* program, const char* name, int n)
{
    std::vector<float> v(16, -12345.0f);
    GLint location = glGetUniformLocation(program->handle, name);
    EXPECT_GE(location, 0) << name;
    if (location >= 0)
        glGetUniformfv(program->handle, location, v.data());
    v.resize(n);
    return v;
}

inline int uniformInt(GLSLProgram* program, const char* name)
{
    return int(uniformFloats(program, name, 1)[0]);
}

// Perspective camera looking at the origin, on both matrix stacks; modelview selected.
inline void setCamera(double fovy, double aspect, double nearPlane, double farPlane,
                      const std::array<double, 3>& eye, const std::array<double, 3>& centre = {0, 0, 0},
                      const std::array<double, 3>& up = {0, 1, 0})
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, aspect, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye[0], eye[1], eye[2], centre[0], centre[1], centre[2], up[0], up[1], up[2]);
}

} // namespace raytest
