// Owner of one vertex or index buffer object. Every operation leaves the caller's
// binding of the buffer's target as it found it, also when allocate() throws.
#pragma once

#include <GL/glew.h>

class VertexBufferObject {
public:
    GLuint handle;       // buffer name; 0 = generation failed
    GLint savedBinding;  // caller's binding of `target` while an operation runs
    GLenum target;       // GL_ARRAY_BUFFER or GL_ELEMENT_ARRAY_BUFFER, fixed

    explicit VertexBufferObject(GLenum target);
    virtual ~VertexBufferObject();
    VertexBufferObject(const VertexBufferObject&) = delete;
    VertexBufferObject& operator=(const VertexBufferObject&) = delete;

    // Uninitialised dynamic storage of `bytes`. Throws std::runtime_error
    // "GL_BUFFER_SIZE exceeded" when GL provides less than asked for; more is accepted.
    void allocate(int bytes);
    // Replaces the first `bytes` bytes; the rest of the storage is kept.
    void upload(const void* data, int bytes);
    // Storage size in bytes as GL reports it (0 when unanswered).
    int getSize();

private:
    class BindingGuard;
};
