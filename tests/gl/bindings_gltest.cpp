// Framebuffer and buffer object wrappers against the real driver: what they attach and
// store, read back from GL, while the caller's own bindings stay in place throughout.
#include "gl/FramebufferObject.h"
#include "gl/VertexBufferObject.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

using gltest::getInteger;

// An attachment parameter of `framebuffer`, queried with it bound for the moment.
GLint attachment(GLuint framebuffer, GLenum point, GLenum name = GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT)
{
    const GLint was = getInteger(GL_FRAMEBUFFER_BINDING_EXT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    GLint v = -1;
    glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, point, name, &v);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(was));
    return v;
}

} // namespace

TEST(Bindings, WrappersWorkOnTheirOwnObjectsAndKeepTheCallersBound)
{
    GLuint callers[3];  // framebuffer, vertex buffer, index buffer
    glGenFramebuffersEXT(1, &callers[0]);
    glGenBuffers(2, &callers[1]);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, callers[0]);
    glBindBuffer(GL_ARRAY_BUFFER, callers[1]);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, callers[2]);
    auto bindings = [] {
        return std::array{getInteger(GL_FRAMEBUFFER_BINDING_EXT), getInteger(GL_ARRAY_BUFFER_BINDING),
                          getInteger(GL_ELEMENT_ARRAY_BUFFER_BINDING)};
    };
    const std::array<GLint, 3> kept = bindings();

    auto fbo = std::make_unique<FramebufferObject>();
    EXPECT_TRUE(glIsFramebufferEXT(fbo->handle));  // a name becomes an object when bound
    GLuint names[3];  // a 2D and a 3D texture, a renderbuffer
    glGenTextures(2, names);
    glBindTexture(GL_TEXTURE_2D, names[0]);
    glBindTexture(GL_TEXTURE_3D, names[1]);
    glGenRenderbuffersEXT(1, &names[2]);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, names[2]);
    const GLenum points[3] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_DEPTH_ATTACHMENT_EXT};
    fbo->attach_texture(points[0], GL_TEXTURE_2D, names[0], 0, 5);
    fbo->attach_texture(points[1], GL_TEXTURE_3D, names[1], 1, 3);
    fbo->attach_render_buffer(points[2], names[2]);
    EXPECT_EQ(bindings(), kept);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::tuple(fbo->get_attached_type(points[i]), attachment(fbo->handle, points[i]), attachment(callers[0], points[i])),
                  std::tuple(i < 2 ? GL_TEXTURE : GL_RENDERBUFFER_EXT, GLint(names[i]), 0)) << i;
    EXPECT_EQ(std::pair(attachment(fbo->handle, points[1], GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_3D_ZOFFSET_EXT),
                        attachment(fbo->handle, points[1], GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_LEVEL_EXT)),
              std::pair(3, 1));
    // Detaching nests two operations in one; an empty point is left alone, silently.
    testing::internal::CaptureStderr();
    for (GLenum point : {points[0], points[1], points[2], GLenum(GL_STENCIL_ATTACHMENT_EXT)})
        fbo->unbind_attachment(point);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(bindings(), kept);
    for (GLenum point : points)
        EXPECT_EQ(fbo->get_attached_type(point), GL_NONE);
    GLuint gone = fbo->handle;
    fbo.reset();
    EXPECT_FALSE(glIsFramebufferEXT(gone));

    for (GLenum target : {GLenum(GL_ARRAY_BUFFER), GLenum(GL_ELEMENT_ARRAY_BUFFER)}) {
        auto vbo = std::make_unique<VertexBufferObject>(target);
        const uint8_t all[8] = {1, 2, 3, 4, 5, 6, 7, 8}, head[3] = {9, 9, 9};
        vbo->allocate(8);
        vbo->upload(all, 8);
        vbo->upload(head, 3);
        EXPECT_EQ(std::pair(vbo->getSize(), bindings()), std::pair(8, kept));
        std::vector<uint8_t> stored(8);
        glBindBuffer(target, vbo->handle);
        glGetBufferSubData(target, 0, 8, stored.data());
        glBindBuffer(target, callers[target == GL_ARRAY_BUFFER ? 1 : 2]);
        EXPECT_EQ(stored, (std::vector<uint8_t>{9, 9, 9, 4, 5, 6, 7, 8}));
        vbo->allocate(32);
        std::string message;  // GL refuses a negative size and keeps the old storage
        try {
            vbo->allocate(-1);
        } catch (const std::runtime_error& e) {
            message = e.what();
        }
        EXPECT_EQ(std::tuple(message, vbo->getSize(), bindings()), std::tuple("GL_BUFFER_SIZE exceeded", 32, kept));
        gone = vbo->handle;
        vbo.reset();
        EXPECT_FALSE(glIsBuffer(gone));
    }
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &callers[0]);
    glDeleteBuffers(2, &callers[1]);
    glDeleteTextures(2, names);
    glDeleteRenderbuffersEXT(1, &names[2]);
}
