// Building and logging of the ray-setup programs.
#include "render/RaySetupPrograms.h"

#include "gl/GLSLProgram.h"

#include <GL/glew.h>

#include <iostream>
#include <string>

namespace {

GLSLShader* newShader(GLenum kind, const char* text)
{
    GLSLShader* shader = new GLSLShader(kind);
    shader->setSource(text);
    return shader;
}

void compileAndLog(GLSLShader& shader, const char* heading)
{
    shader.compile();
    std::string log;
    getInfoLog(shader, log);
    std::cout << heading << log << "\n";
}

void linkAndLog(GLSLProgram& program, const GLSLShader& vertex, const GLSLShader& fragment,
                const char* logName)
{
    glAttachShader(program.handle, vertex.handle);
    glAttachShader(program.handle, fragment.handle);
    program.link();
    std::string log;
    program.getInfoLog(log);
    std::cout << logName << log << "\n";
}

} // namespace

void buildRaySetupPrograms(GLSLProgram*& nearPlaneProgram, GLSLProgram*& boundingGeometryProgram,
                           GLSLProgram*& rayDirectionProgram, GLSLProgram*& raycastProgram,
                           GLSLShader*& nearPlaneVertex, GLSLShader*& nearPlaneFragment,
                           GLSLShader*& cubeVertex, GLSLShader*& cubeFragment,
                           GLSLShader*& rayDirectionVertex, GLSLShader*& rayDirectionFragment)
{
    for (GLSLProgram** slot :
         {&nearPlaneProgram, &boundingGeometryProgram, &rayDirectionProgram, &raycastProgram})
        if (!*slot)
            *slot = new GLSLProgram();

    nearPlaneVertex = newShader(GL_VERTEX_SHADER, kNearPlaneVS);
    cubeVertex = newShader(GL_VERTEX_SHADER, kCubeVS);
    rayDirectionVertex = newShader(GL_VERTEX_SHADER, kRayDirectionVS);
    compileAndLog(*cubeVertex, "Cube VS\n");
    compileAndLog(*nearPlaneVertex, "Near Plane VS\n");
    compileAndLog(*rayDirectionVertex, "Ray Direction VS\n");

    cubeFragment = newShader(GL_FRAGMENT_SHADER, kCubeFS);
    rayDirectionFragment = newShader(GL_FRAGMENT_SHADER, kRayDirectionFS);
    nearPlaneFragment = newShader(GL_FRAGMENT_SHADER, kNearPlaneFS);
    compileAndLog(*cubeFragment, "Cube FS\n");
    compileAndLog(*nearPlaneFragment, "Near Plane FS\n");
    compileAndLog(*rayDirectionFragment, "Ray Direction FS\n");

    linkAndLog(*nearPlaneProgram, *nearPlaneVertex, *nearPlaneFragment,
               "Near Plane Prog. Link Info: \n");
    linkAndLog(*boundingGeometryProgram, *cubeVertex, *cubeFragment,
               "Bounding Geometry Prog. Link Info: \n");
    linkAndLog(*rayDirectionProgram, *rayDirectionVertex, *rayDirectionFragment,
               "Ray Direction Prog. Link Info: \n");
    std::cout.flush();
}
