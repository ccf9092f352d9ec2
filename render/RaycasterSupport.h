// GL helpers shared by the ray caster's set-up and frame code. Internal to render/.
#pragma once

#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"

#include <GL/glew.h>

namespace raycast {

// Exact comparison in which a NaN always counts as a change.
inline bool differs(float a, float b) { return !(a == b); }

inline bool differs3(const float* a, const float* b)
{
    return differs(a[0], b[0]) || differs(a[1], b[1]) || differs(a[2], b[2]);
}

// Uniform setters that skip a name the program does not have.
inline void setSampler(GLSLProgram* program, const char* name, int unit)
{
    if (SamplerInfo* s = program->findSampler(name))
        glUniform1i(s->location, unit);
}

inline void setUniform1i(GLSLProgram* program, const char* name, int value)
{
    if (UniformInfo* u = program->findUniform(name))
        glUniform1i(u->location, value);
}

inline void setUniform1f(GLSLProgram* program, const char* name, float value)
{
    if (UniformInfo* u = program->findUniform(name))
        glUniform1f(u->location, value);
}

inline void setUniform3f(GLSLProgram* program, const char* name, float x, float y, float z)
{
    if (UniformInfo* u = program->findUniform(name))
        glUniform3f(u->location, x, y, z);
}

// Texels along the first axis of a texture's level 0, as the driver stores it. The
// active unit keeps its binding.
inline int storedWidth(GLenum target, GLuint handle)
{
    GLint bound = 0, width = 0;
    glGetIntegerv(target == GL_TEXTURE_1D ? GL_TEXTURE_BINDING_1D : GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(target, handle);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &width);
    glBindTexture(target, GLuint(bound));
    return width;
}

inline void bindOnUnit(int unit, GLenum target, GLuint handle)
{
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target, handle);
}

inline void bindOnUnit(const GLTex::OpenGLTexture* texture)
{
    bindOnUnit(texture->unit, texture->target, texture->handle);
}

} // namespace raycast
