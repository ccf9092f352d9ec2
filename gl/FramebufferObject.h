// Owner of one EXT framebuffer object: attaches and detaches textures and
// renderbuffers and reports what is attached. Every operation leaves the caller's
// framebuffer binding as it found it. Completeness is the owner's business.
#pragma once

#include <GL/glew.h>

class FramebufferObject {
public:
    GLuint handle;       // framebuffer name; 0 = generation failed
    GLint savedBinding;  // caller's binding while an operation runs

    FramebufferObject();
    virtual ~FramebufferObject();  // deleting a bound framebuffer leaves 0 bound
    FramebufferObject(const FramebufferObject&) = delete;
    FramebufferObject& operator=(const FramebufferObject&) = delete;

    // 1D and 3D targets take their own entry points (`zSlice` is used by 3D only);
    // every other target, cube-map faces included, is attached as a 2D image.
    virtual void attach_texture(GLenum attachment, GLenum textureTarget, GLuint texture,
                                int mipLevel, int zSlice);
    virtual void attach_render_buffer(GLenum attachment, GLuint renderbuffer);

    // GL_NONE, GL_TEXTURE or GL_RENDERBUFFER_EXT.
    GLint get_attached_type(GLenum attachment);
    // Detaches whatever is attached; an empty attachment point is left alone.
    void unbind_attachment(GLenum attachment);

private:
    class BindingGuard;
};
