// Buffer storage and uploads under a guarded binding.
#include "gl/VertexBufferObject.h"

#include <stdexcept>

// Binds the buffer for one operation and puts the caller's binding back, on a throw
// too. The caller's binding is kept here as well as in `savedBinding`, because
// allocate() runs getSize() inside its own operation.
class VertexBufferObject::BindingGuard {
public:
    explicit BindingGuard(VertexBufferObject& vbo) : vbo_(vbo)
    {
        glGetIntegerv(vbo_.target == GL_ARRAY_BUFFER ? GL_ARRAY_BUFFER_BINDING
                                                     : GL_ELEMENT_ARRAY_BUFFER_BINDING,
                      &saved_);
        vbo_.savedBinding = saved_;
        if (GLuint(saved_) != vbo_.handle)
            glBindBuffer(vbo_.target, vbo_.handle);
    }
    ~BindingGuard()
    {
        vbo_.savedBinding = saved_;
        if (GLuint(saved_) != vbo_.handle)
            glBindBuffer(vbo_.target, GLuint(saved_));
    }
    BindingGuard(const BindingGuard&) = delete;
    BindingGuard& operator=(const BindingGuard&) = delete;

private:
    VertexBufferObject& vbo_;
    GLint saved_ = 0;
};

VertexBufferObject::VertexBufferObject(GLenum target_) : handle(0), savedBinding(0), target(target_)
{
    glGenBuffers(1, &handle);
    BindingGuard create(*this);  // a generated name becomes an object on its first bind
}

VertexBufferObject::~VertexBufferObject()
{
    glDeleteBuffers(1, &handle);
}

void VertexBufferObject::allocate(int bytes)
{
    BindingGuard guard(*this);
    glBufferData(target, bytes, nullptr, GL_DYNAMIC_DRAW);
    // Compared unsigned: a request GL rejects (negative, too large) never passes.
    if (unsigned(getSize()) < unsigned(bytes))
        throw std::runtime_error("GL_BUFFER_SIZE exceeded");
}

void VertexBufferObject::upload(const void* data, int bytes)
{
    BindingGuard guard(*this);
    glBufferSubData(target, 0, bytes, data);
}

int VertexBufferObject::getSize()
{
    BindingGuard guard(*this);
    GLint size = 0;
    glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
    return size;
}
