// Framebuffer attachments under a guarded binding.
#include "gl/FramebufferObject.h"

#include <iostream>

// Binds the framebuffer for one operation and puts the caller's binding back. The
// caller's binding is kept here as well as in `savedBinding`, because operations nest
// (unbind_attachment runs two others) and the inner ones overwrite the field.
class FramebufferObject::BindingGuard {
public:
    explicit BindingGuard(FramebufferObject& fbo) : fbo_(fbo)
    {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &saved_);
        fbo_.savedBinding = saved_;
        if (GLuint(saved_) != fbo_.handle)
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_.handle);
    }
    ~BindingGuard()
    {
        fbo_.savedBinding = saved_;
        if (GLuint(saved_) != fbo_.handle)
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(saved_));
    }
    BindingGuard(const BindingGuard&) = delete;
    BindingGuard& operator=(const BindingGuard&) = delete;

private:
    FramebufferObject& fbo_;
    GLint saved_ = 0;
};

FramebufferObject::FramebufferObject() : handle(0), savedBinding(0)
{
    glGenFramebuffersEXT(1, &handle);
    BindingGuard create(*this);  // a generated name becomes an object on its first bind
}

FramebufferObject::~FramebufferObject()
{
    glDeleteFramebuffersEXT(1, &handle);
}

void FramebufferObject::attach_texture(GLenum attachment, GLenum textureTarget, GLuint texture,
                                       int mipLevel, int zSlice)
{
    BindingGuard guard(*this);
    if (textureTarget == GL_TEXTURE_1D)
        glFramebufferTexture1DEXT(GL_FRAMEBUFFER_EXT, attachment, GL_TEXTURE_1D, texture, mipLevel);
    else if (textureTarget == GL_TEXTURE_3D)
        glFramebufferTexture3DEXT(GL_FRAMEBUFFER_EXT, attachment, GL_TEXTURE_3D, texture, mipLevel,
                                  zSlice);
    else
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, textureTarget, texture, mipLevel);
}

void FramebufferObject::attach_render_buffer(GLenum attachment, GLuint renderbuffer)
{
    BindingGuard guard(*this);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, attachment, GL_RENDERBUFFER_EXT, renderbuffer);
}

GLint FramebufferObject::get_attached_type(GLenum attachment)
{
    BindingGuard guard(*this);
    GLint type = 0;
    glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, attachment,
                                             GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT, &type);
    return type;
}

void FramebufferObject::unbind_attachment(GLenum attachment)
{
    BindingGuard guard(*this);
    switch (get_attached_type(attachment)) {
    case GL_NONE:
        break;
    case GL_TEXTURE:
        // Texture 0 detaches whatever the attached texture's target.
        attach_texture(attachment, GL_TEXTURE_2D, 0, 0, 0);
        break;
    case GL_RENDERBUFFER_EXT:
        attach_render_buffer(attachment, 0);
        break;
    default:
        std::cerr << "FramebufferObject::unbind_attachment ERROR: Unknown attached resource type\n";
        break;
    }
}
