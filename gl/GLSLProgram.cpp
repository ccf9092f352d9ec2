// Program linking, uniform enumeration and the build routines with their console logs.
#include "gl/GLSLProgram.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <utility>

namespace {

bool isSamplerType(GLenum type)
{
    // GL_SAMPLER_1D .. GL_SAMPLER_2D_RECT_SHADOW_ARB
    return type >= 0x8B5D && type <= 0x8B64;
}

bool isValueType(GLenum type)
{
    // GL_FLOAT_VEC2 .. GL_FLOAT_MAT4, plus the two scalars outside that range
    return type == GL_INT || type == GL_FLOAT || (type >= 0x8B50 && type <= 0x8B5C);
}

void appendLog(std::string& out, GLint length,
               void (*fetch)(GLuint, GLsizei, GLsizei*, GLchar*), GLuint object)
{
    if (length <= 0)
        return;
    std::vector<GLchar> buffer(size_t(length), '\0');
    GLsizei written = 0;
    fetch(object, length, &written, buffer.data());
    if (written > 0)
        out.append(buffer.data(), size_t(written));
}

void compileStage(GLSLProgram& program, GLSLShader*& shader, GLenum kind, const char* source,
                  const char* heading)
{
    if (!shader)
        shader = new GLSLShader(kind);
    shader->setSource(source);
    shader->compile();
    std::string log;
    getInfoLog(*shader, log);
    std::cout << heading << log << "\n";
    glAttachShader(program.handle, shader->handle);
}

} // namespace

GLSLShader::GLSLShader(GLenum kind_)
    : compiled(false), hasSource(false), kind(kind_), handle(glCreateShader(kind_))
{
}

void GLSLShader::setSource(const char* text)
{
    glShaderSource(handle, 1, &text, nullptr);
    compiled = false;
    hasSource = true;
}

void GLSLShader::compile()
{
    if (!hasSource)
        return;
    glCompileShader(handle);
    GLint status = 0;
    glGetShaderiv(handle, GL_COMPILE_STATUS, &status);
    compiled = status != 0;
}

GLSLProgram::GLSLProgram() : handle(glCreateProgram()) {}

GLSLProgram::~GLSLProgram()
{
    glDeleteProgram(handle);
}

void GLSLProgram::link()
{
    glLinkProgram(handle);
    // Both lists: a second link must not append the samplers again under new units.
    uniforms.clear();
    samplers.clear();
    glUseProgram(handle);
    queryUniforms();
    bindSamplerUnits();
    glUseProgram(0);
}

void GLSLProgram::queryUniforms()
{
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    if (GLuint(previous) != handle)
        glUseProgram(handle);

    GLint count = 0, maxLength = 0;
    glGetProgramiv(handle, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(handle, GL_ACTIVE_UNIFORM_MAX_LENGTH, &maxLength);
    std::vector<GLchar> name(size_t(maxLength > 0 ? maxLength : 1), '\0');

    for (GLint i = 0; i < count; ++i) {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        name[0] = '\0';
        glGetActiveUniform(handle, GLuint(i), GLsizei(name.size()), &length, &size, &type,
                           name.data());
        GLint location = glGetUniformLocation(handle, name.data());
        int unit = addActiveUniform(uniforms, samplers, name.data(), location, type, size);
        if (unit >= 0)
            glUniform1i(location, unit);
    }

    if (GLuint(previous) != handle)
        glUseProgram(GLuint(previous));
}

void GLSLProgram::bindSamplerUnits()
{
    for (size_t k = 0; k < samplers.size(); ++k)
        glUniform1i(samplers[k].location, GLint(k));
}

UniformInfo* GLSLProgram::findUniform(const char* name)
{
    for (UniformInfo& u : uniforms)
        if (u.name == name)
            return &u;
    return nullptr;
}

SamplerInfo* GLSLProgram::findSampler(const char* name)
{
    for (SamplerInfo& s : samplers)
        if (s.name == name)
            return &s;
    return nullptr;
}

void GLSLProgram::getInfoLog(std::string& out)
{
    GLint length = 0;
    glGetProgramiv(handle, GL_INFO_LOG_LENGTH, &length);
    appendLog(out, length, glGetProgramInfoLog, handle);
}

int addActiveUniform(std::vector<UniformInfo>& uniforms, std::vector<SamplerInfo>& samplers,
                     const char* name, GLint location, GLenum type, GLint size)
{
    if (isSamplerType(type)) {
        samplers.push_back(SamplerInfo{name, location});
        return int(samplers.size()) - 1;
    }
    if (std::strncmp(name, "gl_", 3) == 0)
        return -1;

    std::string base = name;
    if (const char* bracket = std::strchr(name, '[')) {
        const char next = bracket[1];
        base.assign(name, size_t(bracket - name));
        if (next == '0') {
            if (bracket[2] != ']')
                return -1;
        } else if (static_cast<signed char>(next) <= static_cast<signed char>('0')) {
            return -1;
        } else {
            // A later element of an array whose element 0 was registered before.
            for (UniformInfo& u : uniforms) {
                if (u.name == base) {
                    u.arraySize = std::atoi(bracket + 1) + 1;
                    break;
                }
            }
            return -1;
        }
    }

    if (!isValueType(type)) {
        std::cout << "Unknown Uniform Type" << std::endl;
        return -1;
    }
    uniforms.push_back(UniformInfo{base, location, type, size > 0 ? int(size) : 1});
    return -1;
}

void getInfoLog(const GLSLShader& shader, std::string& out)
{
    GLint length = 0;
    glGetShaderiv(shader.handle, GL_INFO_LOG_LENGTH, &length);
    appendLog(out, length, glGetShaderInfoLog, shader.handle);
}

void buildProgram(GLSLProgram*& program, GLSLShader*& vertexShader, GLSLShader*& fragmentShader,
                  const char* vertexSource, const char* fragmentSource)
{
    if (!program)
        program = new GLSLProgram();
    if (vertexSource)
        compileStage(*program, vertexShader, GL_VERTEX_SHADER, vertexSource,
                     "Vertex Shader Compile Info Log -- \n");
    if (fragmentSource)
        compileStage(*program, fragmentShader, GL_FRAGMENT_SHADER, fragmentSource,
                     "Fragment Shader Compile Info Log -- \n");

    program->link();

    GLint status = 0;
    glGetProgramiv(program->handle, GL_LINK_STATUS, &status);
    if (status == 0) {
        std::string log;
        program->getInfoLog(log);
        std::cout << "Current program failed to link!\n"
                  << "GLSL Program Link Info Log -- \n" << log << "\n";
    }

    glValidateProgram(program->handle);
    status = 0;
    glGetProgramiv(program->handle, GL_VALIDATE_STATUS, &status);
    if (status == 0)
        std::cout << "Current program is not a valid GLSL program!\n";
    std::cout.flush();
}

void buildProgramFromFiles(GLSLProgram*& program, GLSLShader*& vertexShader,
                           GLSLShader*& fragmentShader, const char* vertexFile,
                           const char* fragmentFile)
{
    std::string vertexText, fragmentText;
    if (vertexFile)
        readShaderFile(vertexFile, vertexText);
    if (fragmentFile)
        readShaderFile(fragmentFile, fragmentText);
    buildProgram(program, vertexShader, fragmentShader, vertexFile ? vertexText.c_str() : nullptr,
                 fragmentFile ? fragmentText.c_str() : nullptr);
}

bool readShaderFile(const char* path, std::string& out)
{
    std::ifstream file(path);
    if (!file.good())
        return false;
    // Read through the stream, not its buffer: a read error (a directory opens like a
    // file) then sets the stream's state instead of throwing out of the game.
    std::string text;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0)
        text.append(chunk, size_t(file.gcount()));
    if (file.bad())
        return false;
    out = std::move(text);
    return true;
}
