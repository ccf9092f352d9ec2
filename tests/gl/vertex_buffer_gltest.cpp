// Vertex buffer object wrapper: storage read back from GL, and the caller's binding
// kept through every operation, a failing allocation included.
#include "gl/VertexBufferObject.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

GLenum bindingQuery(GLenum target)
{
    return target == GL_ARRAY_BUFFER ? GL_ARRAY_BUFFER_BINDING : GL_ELEMENT_ARRAY_BUFFER_BINDING;
}

std::vector<uint8_t> contents(GLuint buffer, GLenum target, int bytes)
{
    std::vector<uint8_t> out(size_t(bytes), 0xEE);
    const GLint was = gltest::getInteger(bindingQuery(target));
    glBindBuffer(target, buffer);
    glGetBufferSubData(target, 0, bytes, out.data());
    glBindBuffer(target, GLuint(was));
    return out;
}

// A different buffer the "caller" keeps bound on both targets.
class VertexBufferTest : public ::testing::Test {
protected:
    GLuint callers[2] = {0, 0};
    void SetUp() override
    {
        glGenBuffers(2, callers);
        glBindBuffer(GL_ARRAY_BUFFER, callers[0]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, callers[1]);
    }
    void TearDown() override
    {
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glDeleteBuffers(2, callers);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    GLuint callerFor(GLenum target) const { return target == GL_ARRAY_BUFFER ? callers[0] : callers[1]; }
};

} // namespace

TEST_F(VertexBufferTest, EveryOperationKeepsTheCallersBufferBound)
{
    for (GLenum target : {GLenum(GL_ARRAY_BUFFER), GLenum(GL_ELEMENT_ARRAY_BUFFER)}) {
        SCOPED_TRACE(target == GL_ARRAY_BUFFER ? "vertex buffer" : "index buffer");
        const GLint caller = GLint(callerFor(target));
        VertexBufferObject vbo(target);
        EXPECT_EQ(vbo.target, target);
        EXPECT_TRUE(glIsBuffer(vbo.handle));  // created by its first bind
        EXPECT_EQ(gltest::getInteger(bindingQuery(target)), caller);

        vbo.allocate(96);
        EXPECT_EQ(gltest::getInteger(bindingQuery(target)), caller);
        std::vector<uint8_t> bytes(96);
        std::iota(bytes.begin(), bytes.end(), uint8_t(1));
        vbo.upload(bytes.data(), 96);
        EXPECT_EQ(gltest::getInteger(bindingQuery(target)), caller);
        EXPECT_EQ(vbo.getSize(), 96);
        EXPECT_EQ(gltest::getInteger(bindingQuery(target)), caller);
        EXPECT_EQ(vbo.savedBinding, caller);
        EXPECT_EQ(contents(vbo.handle, target, 96), bytes);

        // The caller's buffer got nothing.
        GLint callerSize = -1;
        glGetBufferParameteriv(target, GL_BUFFER_SIZE, &callerSize);
        EXPECT_EQ(callerSize, 0);

        // With the wrapper's own buffer bound it stays bound.
        glBindBuffer(target, vbo.handle);
        vbo.allocate(8);
        EXPECT_EQ(vbo.getSize(), 8);
        EXPECT_EQ(gltest::getInteger(bindingQuery(target)), GLint(vbo.handle));
        glBindBuffer(target, GLuint(caller));
    }
}

TEST_F(VertexBufferTest, PartialUploadKeepsTheRestOfTheBuffer)
{
    VertexBufferObject vbo(GL_ARRAY_BUFFER);
    vbo.allocate(64);
    std::vector<uint8_t> first(64, 0xAB);
    vbo.upload(first.data(), 64);
    const float corner[4] = {0.5f, 1.0f, 0.25f, 2.0f};
    vbo.upload(corner, sizeof corner);

    const std::vector<uint8_t> now = contents(vbo.handle, GL_ARRAY_BUFFER, 64);
    std::vector<uint8_t> expected = first;
    std::memcpy(expected.data(), corner, sizeof corner);
    EXPECT_EQ(now, expected);
    EXPECT_EQ(vbo.getSize(), 64);
}

TEST_F(VertexBufferTest, ZeroBytesAllocateAndImpossibleRequestsThrow)
{
    VertexBufferObject vbo(GL_ELEMENT_ARRAY_BUFFER);
    EXPECT_NO_THROW(vbo.allocate(0));
    EXPECT_EQ(vbo.getSize(), 0);

    vbo.allocate(32);
    // GL refuses a negative size and keeps the old 32 bytes: less than asked for.
    std::string message;
    try {
        vbo.allocate(-1);
    } catch (const std::exception& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "GL_BUFFER_SIZE exceeded");
    EXPECT_EQ(gltest::getInteger(GL_ELEMENT_ARRAY_BUFFER_BINDING), GLint(callers[1]));
    EXPECT_EQ(vbo.savedBinding, GLint(callers[1]));
    EXPECT_EQ(vbo.getSize(), 32);
}

TEST_F(VertexBufferTest, DestructorReleasesTheName)
{
    GLuint name = 0;
    {
        VertexBufferObject vbo(GL_ARRAY_BUFFER);
        name = vbo.handle;
        EXPECT_TRUE(glIsBuffer(name));
    }
    EXPECT_FALSE(glIsBuffer(name));
    EXPECT_EQ(gltest::getInteger(GL_ARRAY_BUFFER_BINDING), GLint(callers[0]));
}
