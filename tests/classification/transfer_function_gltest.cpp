// The transfer functions' GL side against the Mesa driver: the lookup and
// pre-integration textures read back after their uploads, their parameters, units and
// bindings, and when they are (not) redefined.
#include "classification/PreintTransferFunction1D.h"
#include "classification/PreintegrationTable.h"
#include "tests/classification/OrganLayer.h"
#include "tests/support/GLTestSupport.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace Classification;

namespace {

GLint texParameter(GLenum target, GLenum name)
{
    GLint v = 0;
    glGetTexParameteriv(target, name, &v);
    return v;
}

GLint levelParameter(GLenum target, GLenum name)
{
    GLint v = 0;
    glGetTexLevelParameteriv(target, 0, name, &v);
    return v;
}

// The texture's texels as stored, widened to 16 bits per channel by the driver.
std::vector<unsigned short> readShorts(GLenum target, GLuint texture, size_t texels)
{
    std::vector<unsigned short> out(texels * 4);
    glBindTexture(target, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_SHORT, out.data());
    return out;
}

// The bound texture of `target` holds `table` to the precision the driver keeps.
void expectUploaded(GLenum target, GLuint texture, const unsigned short* table, size_t texels)
{
    const std::vector<unsigned short> stored = readShorts(target, texture, texels);
    const int bits = levelParameter(target, GL_TEXTURE_ALPHA_SIZE);
    ASSERT_GE(bits, 8);
    const int tolerance = bits >= 16 ? 0 : 65535 / ((1 << bits) - 1) / 2 + 1;
    for (size_t v = 0; v < texels * 4; ++v)
        ASSERT_NEAR(stored[v], table[v], tolerance) << "value " << v;
}

} // namespace

TEST(TransferFunctionGL, LookupUploadHoldsRasterisedTableOnItsUnit)
{
    auto tf = organLayer();
    glActiveTexture(GL_TEXTURE0);
    tf->update();
    EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE2);  // bound on unit 2, which stays active
    EXPECT_EQ(GLuint(gltest::getInteger(GL_TEXTURE_BINDING_1D)), tf->lookupTexture.handle);
    EXPECT_EQ(texParameter(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(texParameter(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(texParameter(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(levelParameter(GL_TEXTURE_1D, GL_TEXTURE_WIDTH), 256);
    EXPECT_EQ(tf->lookupTable[128 * 4 + 3], 52428);
    EXPECT_EQ(tf->lookupTable[128 * 4 + 0], 65535);
    expectUploaded(GL_TEXTURE_1D, tf->lookupTexture.handle, tf->lookupTable, 256);
}

TEST(TransferFunctionGL, TextureIsRedefinedOnlyByUpdate)
{
    auto tf = organLayer();
    // The first getTexture() fills and uploads; the second does not even rasterise.
    GLTex::OpenGLTexture* texture = tf->getTexture();
    EXPECT_EQ(texture, &tf->lookupTexture);
    std::vector<unsigned short> first = readShorts(GL_TEXTURE_1D, texture->handle, 256);
    EXPECT_GT(first[128 * 4 + 3], 52000);
    tf->getShape("test")->points[1].y = tf->getShape("test")->points[2].y = 0.4f;
    EXPECT_EQ(tf->getTexture(), texture);
    EXPECT_EQ(readShorts(GL_TEXTURE_1D, texture->handle, 256), first);
    EXPECT_EQ(tf->lookupTable[128 * 4 + 3], 52428);

    // A new size changes nothing in GL until the next update().
    tf->setTableSize(128);
    glBindTexture(GL_TEXTURE_1D, texture->handle);
    EXPECT_EQ(levelParameter(GL_TEXTURE_1D, GL_TEXTURE_WIDTH), 256);
    tf->update();
    EXPECT_EQ(levelParameter(GL_TEXTURE_1D, GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(tf->lookupTable[64 * 4 + 3], 26214);  // 0.4 on the plateau

    // A size below 2 is refused (entry i lies at i / (N - 1)): table, sizes and texture stay.
    unsigned short* table = tf->lookupTable;
    tf->setTableSize(1);
    tf->setTableSize(-5);
    EXPECT_EQ(tf->tableSize, 128);
    EXPECT_EQ(tf->lookupTable, table);
    EXPECT_EQ(tf->preintTexture.width, 128);
    EXPECT_EQ(tf->lookupTexture.allocWidth, 128);

    // A visible range wholly outside 0..1 leaves table and texture alone.
    tf->rangeMin = 1.5f;
    tf->rangeMax = 2.0f;
    tf->lookupTable[0] = 777;
    std::vector<unsigned short> before = readShorts(GL_TEXTURE_1D, texture->handle, 128);
    tf->update();
    EXPECT_EQ(tf->lookupTable[0], 777);
    EXPECT_EQ(readShorts(GL_TEXTURE_1D, texture->handle, 128), before);
}

TEST(TransferFunctionGL, PreintegrationUploadIsClampedSymmetricTable)
{
    auto tf = organLayer(64);
    tf->update();
    glActiveTexture(GL_TEXTURE0);
    tf->computePreintegration();
    EXPECT_EQ(gltest::getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE5);
    EXPECT_EQ(GLuint(gltest::getInteger(GL_TEXTURE_BINDING_2D)), tf->preintTexture.handle);
    EXPECT_EQ(texParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(texParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_CLAMP);
    EXPECT_EQ(texParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH), 64);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_HEIGHT), 64);

    std::vector<unsigned short> expected(64 * 64 * 4);
    integratePreintegrationTable(tf->lookupTable, 64, 1.0, expected.data());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), tf->preintTable));
    expectUploaded(GL_TEXTURE_2D, tf->preintTexture.handle, tf->preintTable, 64 * 64);
    // Texel (x, y) is the pair (column x, row y): (3, 40) and (40, 3) agree, and the
    // clear corner (0, 0) is clear while the plateau diagonal is not.
    std::vector<unsigned short> texels = readShorts(GL_TEXTURE_2D, tf->preintTexture.handle, 64 * 64);
    for (int ch = 0; ch < 4; ++ch)
        EXPECT_EQ(texels[(40 * 64 + 3) * 4 + ch], texels[(3 * 64 + 40) * 4 + ch]);
    EXPECT_EQ(texels[3], 0);
    EXPECT_GT(texels[(32 * 64 + 32) * 4 + 3], 20000);

    tf->sampleDistance = 2.0;  // a longer segment is more opaque
    tf->computePreintegration();
    EXPECT_GT(tf->preintTable[(32 * 64 + 32) * 4 + 3], expected[(32 * 64 + 32) * 4 + 3]);
}

// Before the first update() there is no lookup table: integrating would read a null table.
TEST(TransferFunctionGL, PreintegrationWaitsForLookupTableAndKeepsSameSize)
{
    PreintTransferFunction1D tf;
    tf.preintTexture.unit = 5;
    ASSERT_EQ(tf.lookupTable, nullptr);
    tf.computePreintegration();  // nothing to integrate, nothing defined
    glActiveTexture(GL_TEXTURE5);
    glBindTexture(GL_TEXTURE_2D, tf.preintTexture.handle);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH), 0);

    tf.setTableSize(16);
    tf.update();
    tf.computePreintegration();
    unsigned short *lookup = tf.lookupTable, *preint = tf.preintTable;
    tf.setTableSize(16);  // the same size: both tables stay
    tf.setTableSize(1);   // refused: both tables stay as well
    EXPECT_EQ(tf.lookupTable, lookup);
    EXPECT_EQ(tf.preintTable, preint);
    EXPECT_EQ(tf.preintTexture.height, 16);
    tf.setTableSize(8);
    EXPECT_EQ(tf.preintTexture.allocHeight, 8);
    glBindTexture(GL_TEXTURE_2D, tf.preintTexture.handle);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH), 16);  // until recomputed
}

TEST(TransferFunctionGL, LoadingFileUploadsAndDestructionFreesTextures)
{
    testfs::ScratchDir dir;
    dir.write("CT Skin.tfn", "1\n1\nSkin\n900\n1400\n100\n200\n0.3\n\n16777215\n8421504\n255\n");
    auto tf = std::make_unique<PreintTransferFunction1D>();
    tf->setTableSize(256);
    tf->setTextureUnit(2);
    ASSERT_TRUE(tf->loadFromFile(dir.file("CT Skin.tfn")));
    expectUploaded(GL_TEXTURE_1D, tf->lookupTexture.handle, tf->lookupTable, 256);
    EXPECT_GT(tf->lookupTable[70 * 4 + 3], 19000);  // x = 0.2745, on the skin's plateau at 0.3

    // The game then shrinks the table; the ray caster's first getTexture() refills it.
    tf->setTableSize(128);
    tf->getTexture();
    EXPECT_EQ(levelParameter(GL_TEXTURE_1D, GL_TEXTURE_WIDTH), 128);

    tf->computePreintegration();
    const GLuint lookup = tf->lookupTexture.handle, preint = tf->preintTexture.handle;
    EXPECT_TRUE(glIsTexture(lookup) && glIsTexture(preint));
    tf.reset();
    EXPECT_FALSE(glIsTexture(lookup));
    EXPECT_FALSE(glIsTexture(preint));
}
