// Framebuffer object wrapper: attachments read back from GL, and the caller's binding
// kept through every operation.
#include "gl/FramebufferObject.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

GLint binding()
{
    return gltest::getInteger(GL_FRAMEBUFFER_BINDING_EXT);
}

// Queries an attachment parameter of `fbo` directly, restoring the binding.
GLint attachmentParameter(GLuint fbo, GLenum attachment, GLenum name)
{
    const GLint was = binding();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
    GLint v = -1;
    glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, attachment, name, &v);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(was));
    return v;
}

GLuint makeTexture(GLenum target, int size)
{
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(target, t);
    if (target == GL_TEXTURE_1D)
        glTexImage1D(target, 0, GL_RGBA8, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    else if (target == GL_TEXTURE_3D)
        glTexImage3D(target, 0, GL_RGBA8, size, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    else if (target == GL_TEXTURE_CUBE_MAP)
        for (int face = 0; face < 6; ++face)
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGBA8, size, size, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, nullptr);
    else
        glTexImage2D(target, 0, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(target, 0);
    return t;
}

// Another framebuffer the "caller" has bound while using the wrapper.
class FramebufferTest : public ::testing::Test {
protected:
    GLuint callers = 0;
    void SetUp() override
    {
        glGenFramebuffersEXT(1, &callers);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, callers);
    }
    void TearDown() override
    {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glDeleteFramebuffersEXT(1, &callers);
    }
};

} // namespace

TEST_F(FramebufferTest, TexturesOfEveryTargetAttachToThisObjectOnly)
{
    FramebufferObject fbo;
    EXPECT_TRUE(glIsFramebufferEXT(fbo.handle));  // a name only becomes an object when bound
    EXPECT_EQ(binding(), GLint(callers));
    const GLenum points[4] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT,
                              GL_COLOR_ATTACHMENT2_EXT, GL_COLOR_ATTACHMENT3_EXT};
    const GLuint names[4] = {makeTexture(GL_TEXTURE_2D, 8), makeTexture(GL_TEXTURE_1D, 8),
                             makeTexture(GL_TEXTURE_3D, 8), makeTexture(GL_TEXTURE_CUBE_MAP, 8)};
    fbo.attach_texture(points[0], GL_TEXTURE_2D, names[0], 0, 5);
    fbo.attach_texture(points[1], GL_TEXTURE_1D, names[1], 0, 5);
    fbo.attach_texture(points[2], GL_TEXTURE_3D, names[2], 1, 3);
    fbo.attach_texture(points[3], GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, names[3], 0, 0);
    EXPECT_EQ(binding(), GLint(callers));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(fbo.get_attached_type(points[i]), GL_TEXTURE) << i;
        EXPECT_EQ(attachmentParameter(fbo.handle, points[i], GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT),
                  GLint(names[i])) << i;
        EXPECT_EQ(attachmentParameter(callers, points[i], GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT), GL_NONE)
            << "attached to the caller's framebuffer " << i;
    }
    EXPECT_EQ(attachmentParameter(fbo.handle, points[2], GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_3D_ZOFFSET_EXT), 3);
    EXPECT_EQ(attachmentParameter(fbo.handle, points[2], GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_LEVEL_EXT), 1);
    EXPECT_EQ(attachmentParameter(fbo.handle, points[3], GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_CUBE_MAP_FACE_EXT),
              GL_TEXTURE_CUBE_MAP_NEGATIVE_Y);
    EXPECT_EQ(binding(), GLint(callers));

    // Detaching works whatever the attached texture's target.
    testing::internal::CaptureStderr();
    for (GLenum point : points)
        fbo.unbind_attachment(point);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    for (GLenum point : points)
        EXPECT_EQ(fbo.get_attached_type(point), GL_NONE);
    EXPECT_EQ(binding(), GLint(callers));
    glDeleteTextures(4, names);
}

TEST_F(FramebufferTest, RenderbufferAttachAndDetachKeepTheCallersBinding)
{
    FramebufferObject fbo;
    const GLuint colour = makeTexture(GL_TEXTURE_2D, 16);
    GLuint depth = 0;
    glGenRenderbuffersEXT(1, &depth);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, 16, 16);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);

    fbo.attach_texture(GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0, 0);
    fbo.attach_render_buffer(GL_DEPTH_ATTACHMENT_EXT, depth);
    EXPECT_EQ(binding(), GLint(callers));
    EXPECT_EQ(fbo.get_attached_type(GL_DEPTH_ATTACHMENT_EXT), GL_RENDERBUFFER_EXT);
    EXPECT_EQ(attachmentParameter(fbo.handle, GL_DEPTH_ATTACHMENT_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT),
              GLint(depth));

    // Nested operations inside unbind_attachment must not lose the caller's binding.
    testing::internal::CaptureStderr();
    fbo.unbind_attachment(GL_DEPTH_ATTACHMENT_EXT);
    EXPECT_EQ(binding(), GLint(callers));
    fbo.unbind_attachment(GL_DEPTH_ATTACHMENT_EXT);  // already empty: nothing, silently
    fbo.unbind_attachment(GL_STENCIL_ATTACHMENT_EXT);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(fbo.get_attached_type(GL_DEPTH_ATTACHMENT_EXT), GL_NONE);
    EXPECT_EQ(fbo.get_attached_type(GL_COLOR_ATTACHMENT0_EXT), GL_TEXTURE);
    EXPECT_EQ(binding(), GLint(callers));

    // Already bound by its owner: everything happens on it and it stays bound.
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo.handle);
    fbo.attach_render_buffer(GL_DEPTH_ATTACHMENT_EXT, depth);
    fbo.unbind_attachment(GL_COLOR_ATTACHMENT0_EXT);
    EXPECT_EQ(binding(), GLint(fbo.handle));
    EXPECT_EQ(fbo.get_attached_type(GL_COLOR_ATTACHMENT0_EXT), GL_NONE);
    EXPECT_EQ(fbo.get_attached_type(GL_DEPTH_ATTACHMENT_EXT), GL_RENDERBUFFER_EXT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, callers);

    glDeleteTextures(1, &colour);
    glDeleteRenderbuffersEXT(1, &depth);
}

TEST_F(FramebufferTest, DeletingWhileBoundLeavesTheWindowFramebuffer)
{
    FramebufferObject* fbo = new FramebufferObject();
    const GLuint name = fbo->handle;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, name);
    delete fbo;
    EXPECT_EQ(binding(), 0);
    EXPECT_FALSE(glIsFramebufferEXT(name));

    // Deleting one that is not bound leaves the caller's binding.
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, callers);
    delete new FramebufferObject();
    EXPECT_EQ(binding(), GLint(callers));
}
