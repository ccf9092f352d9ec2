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
};

} // namespace

TEST_F(VertexBufferTest, EveryOperationKeepsTheCallersBufferBoundAndAPartialUploadKeepsTheRest)
{
    for (GLenum target : {GLenum(GL_ARRAY_BUFFER), GLenum(GL_ELEMENT_ARRAY_BUFFER)}) {
        SCOPED_TRACE(target == GL_ARRAY_BUFFER ? "vertex buffer" : "index buffer");
        const GLint caller = gltest::getInteger(bindingQuery(target));
        GLuint handle = 0;
        {
            VertexBufferObject vbo(target);
            handle = vbo.handle;
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
            const float corner[4] = {0.5f, 1.0f, 0.25f, 2.0f};
            vbo.upload(corner, sizeof corner);
            std::memcpy(bytes.data(), corner, sizeof corner);
            EXPECT_EQ(contents(vbo.handle, target, 96), bytes);

            GLint callerSize = -1;  // the caller's buffer got nothing
            glGetBufferParameteriv(target, GL_BUFFER_SIZE, &callerSize);
            EXPECT_EQ(callerSize, 0);

            // With the wrapper's own buffer bound it stays bound.
            glBindBuffer(target, vbo.handle);
            vbo.allocate(8);
            EXPECT_EQ(vbo.getSize(), 8);
            EXPECT_EQ(gltest::getInteger(bindingQuery(target)), GLint(vbo.handle));
            glBindBuffer(target, GLuint(caller));
        }
        EXPECT_FALSE(glIsBuffer(handle));  // the destructor releases the name
        EXPECT_EQ(gltest::getInteger(bindingQuery(target)), caller);
    }
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
    EXPECT_EQ(vbo.getSize(), 32);
}
