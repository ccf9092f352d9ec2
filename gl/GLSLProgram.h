// GLSL program and shader records, the by-name view of a linked program's active
// uniforms, and the routines that build a program from texts or files with their
// console logs. Nothing here throws or queries GL errors: every outcome is a console
// line, and a program that failed to build stays usable (it simply draws nothing).
#pragma once

#include <GL/glew.h>

#include <string>
#include <vector>

// One shader stage. The GL shader object lives as long as the process: it is never
// detached or deleted here.
struct GLSLShader {
    bool compiled;   // last compile succeeded; false again after a new source
    bool hasSource;  // a source text has been given to the shader object
    GLenum kind;     // GL_VERTEX_SHADER or GL_FRAGMENT_SHADER, fixed at creation
    GLuint handle;   // from glCreateShader(kind); 0 = creation failed

    explicit GLSLShader(GLenum kind);

    // Gives the shader object one null-terminated text; resets `compiled`.
    void setSource(const char* text);
    // Compiles when a source is present and records the status.
    void compile();
};

struct UniformInfo {
    std::string name;  // as enumerated, a trailing "[0]" cut off for arrays
    GLint location;    // glGetUniformLocation with the name as enumerated
    GLenum type;       // as reported by glGetActiveUniform
    int arraySize;     // elements: the driver's size, raised by later enumerated elements
};

struct SamplerInfo {
    std::string name;  // exactly as enumerated (sampler arrays are not folded)
    GLint location;
};

class GLSLProgram {
public:
    GLuint handle;                      // from glCreateProgram(); 0 = creation failed
    std::vector<UniformInfo> uniforms;  // in the driver's enumeration order
    std::vector<SamplerInfo> samplers;  // index = texture unit assigned by link()

    GLSLProgram();
    ~GLSLProgram();  // deletes the program; callers unbind it first
    GLSLProgram(const GLSLProgram&) = delete;
    GLSLProgram& operator=(const GLSLProgram&) = delete;

    // Links, then rebuilds both lists and sets every sampler to its unit. Leaves
    // program 0 in use.
    void link();
    void queryUniforms();
    void bindSamplerUnits();

    // Exact, case-sensitive whole-name match; null when absent.
    UniformInfo* findUniform(const char* name);
    SamplerInfo* findSampler(const char* name);

    // Appends the program's info log.
    void getInfoLog(std::string& out);
};

// The list rules for one enumerated uniform, free of GL calls so that every shape of
// enumeration can be checked, also those a given driver never produces (arrays listed
// element by element). Returns the texture unit given to a new sampler, else -1; the
// caller sets that unit in the program. Prints "Unknown Uniform Type" for a type
// outside the known value and sampler types.
int addActiveUniform(std::vector<UniformInfo>& uniforms, std::vector<SamplerInfo>& samplers,
                     const char* name, GLint location, GLenum type, GLint size);

// Appends a shader's compile log.
void getInfoLog(const GLSLShader& shader, std::string& out);

// Builds `program` from the two texts, creating missing records; a null text skips
// that stage. Both compile logs, link failure and validation failure go to stdout.
void buildProgram(GLSLProgram*& program, GLSLShader*& vertexShader, GLSLShader*& fragmentShader,
                  const char* vertexSource, const char* fragmentSource);

// The same from two files. A null name skips the stage; an unreadable file gives an
// empty text, which the compiler then rejects with its own log.
void buildProgramFromFiles(GLSLProgram*& program, GLSLShader*& vertexShader,
                           GLSLShader*& fragmentShader, const char* vertexFile,
                           const char* fragmentFile);

// Replaces `out` with the whole file; false (and `out` untouched) when it cannot be
// opened or read.
bool readShaderFile(const char* path, std::string& out);
