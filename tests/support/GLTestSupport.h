// Small helpers for tests that run against the real GL driver (see GLTestMain.cpp).
#pragma once

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace gltest {

inline GLint getInteger(GLenum name)
{
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
}

// An RGBA float offscreen target with a depth buffer; bound while alive, and the
// previous framebuffer and viewport come back when it goes.
class OffscreenTarget {
public:
    OffscreenTarget(int width, int height, GLenum internalFormat = GL_RGBA32F) : width_(width), height_(height)
    {
        previous_ = getInteger(GL_FRAMEBUFFER_BINDING);
        glGetIntegerv(GL_VIEWPORT, viewport_.data());
        glGenTextures(1, &colour_);
        glBindTexture(GL_TEXTURE_2D, colour_);
        glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D, 0);
        glGenRenderbuffers(1, &depth_);
        glBindRenderbuffer(GL_RENDERBUFFER, depth_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
        glGenFramebuffers(1, &fbo_);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth_);
        glViewport(0, 0, width, height);
    }
    ~OffscreenTarget()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous_));
        glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        glDeleteFramebuffers(1, &fbo_);
        glDeleteRenderbuffers(1, &depth_);
        glDeleteTextures(1, &colour_);
    }
    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

    // RGBA floats of the whole target, row 0 at the bottom.
    std::vector<float> read() const
    {
        std::vector<float> px(size_t(width_) * height_ * 4);
        GLint was = getInteger(GL_READ_FRAMEBUFFER_BINDING);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width_, height_, GL_RGBA, GL_FLOAT, px.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(was));
        return px;
    }

private:
    int width_, height_;
    GLuint colour_ = 0, depth_ = 0, fbo_ = 0;
    GLint previous_ = 0;
    std::array<GLint, 4> viewport_{};
};

// Reads back a texture level as RGBA floats.
inline std::vector<float> readTexture(GLenum target, GLuint texture, int texels)
{
    std::vector<float> out(size_t(texels) * 4);
    glBindTexture(target, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, GL_RGBA, GL_FLOAT, out.data());
    return out;
}

} // namespace gltest
