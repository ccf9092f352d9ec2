// The bounding geometry against the real driver: buffer sizes and contents read back,
// when classification and uploads happen, and the drawn blocks and boxes as pixels.
#include "render/BoundingGeometry.h"
#include "tests/render/octree_volume.h"
#include "tests/support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace octree_test;

namespace {

const unsigned char kLevels2[3] = {2, 2, 2};
const float kSentinel = -42.0f;
const double kUnit[3] = {1.0, 1.0, 1.0};
const double kOrigin[3] = {0.0, 0.0, 0.0};

template <typename V>
std::vector<V> readBuffer(const VertexBufferObject& buffer, int bytes)
{
    std::vector<V> out(size_t(bytes) / sizeof(V));
    glBindBuffer(buffer.target, buffer.handle);
    glGetBufferSubData(buffer.target, 0, bytes, out.data());
    glBindBuffer(buffer.target, 0);
    return out;
}

// Overwrites the whole vertex buffer, so that any later upload shows in a read-back.
void poison(BoundingGeometry& g)
{
    std::vector<float> fill(size_t(g.vertexBytes) / sizeof(float), kSentinel);
    g.vertexBuffer->upload(fill.data(), g.vertexBytes);
}

// Whether the vertex buffer holds nothing but the poison from `firstFloat` on.
bool untouched(BoundingGeometry& g, int firstFloat = 0)
{
    const std::vector<float> all = readBuffer<float>(*g.vertexBuffer, g.vertexBytes);
    return std::all_of(all.begin() + firstFloat, all.end(), [](float f) { return f == kSentinel; });
}

// The boxes in the (poisoned, then uploaded) vertex buffer; nothing may lie beyond them.
std::set<Box> uploadedBoxes(BoundingGeometry& g)
{
    const std::vector<float> all = readBuffer<float>(*g.vertexBuffer, g.vertexBytes);
    std::set<Box> boxes;
    for (int b = 0; b < g.blockCount; ++b) {
        Box box;
        std::copy_n(&all[size_t(b) * 24], 24, box.begin());
        boxes.insert(box);
    }
    EXPECT_TRUE(untouched(g, g.blockCount * 24)) << "written beyond " << g.blockCount << " boxes";
    return boxes;
}

Box boxAt(double x, double y, double z, double size, double top = -1)
{
    const double lo[3] = {x, y, z}, hi[3] = {x + size, y + size, top < 0 ? z + size : top};
    return cornersOf(lo, hi);
}

// Both level-1 octants of one x half whole, plus the level-2 leaves of block column bx.
std::set<Box> halfAndColumn(int octantX, int bx)
{
    std::set<Box> boxes;
    for (int i = 0; i < 4; ++i)
        boxes.insert(boxAt(octantX * 0.5, (i & 1) * 0.5, (i >> 1) * 0.5, 0.5));
    for (int i = 0; i < 16; ++i)
        boxes.insert(boxAt(bx * 0.25, (i % 4) * 0.25, (i / 4) * 0.25, 0.25));
    return boxes;
}

// Orthographic view straight down -z onto the unit square; z = 1 is nearest.
void topView()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 1.0, 0.0, 1.0, -2.0, 2.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// A level-(2, 2, 2) geometry over 16 voxels per axis, 255 from x = 8 on: with the
// one-voxel margin, block columns 1 to 3 reach 255 and columns 0 to 2 hold zeros.
class BoundingGeometryGL : public ::testing::Test {
protected:
    void SetUp() override
    {
        Volume<unsigned char> v(16, 16, 16, 0);
        v.fillX(8, 16, 255);
        build(v);
    }
    template <typename T>
    void build(const Volume<T>& v)
    {
        g.build(v.voxels.data(), v.dims, kUnit);
    }
    // The caster's per-frame calls in their order.
    void frame(float lower, float upper, const double* clipMin = kOrigin, const double* clipMax = kUnit)
    {
        g.updateRange(lower, upper);
        g.updateClip(clipMin, clipMax);
        g.updateThreshold(0.3f);
        g.setMode(1);
    }
    BoundingGeometry g{kLevels2};
};

} // namespace

TEST_F(BoundingGeometryGL, BuffersHoldEveryBlockOfTheFullTree)
{
    const unsigned char levels5[3] = {5, 5, 5};
    BoundingGeometry full(levels5);
    EXPECT_EQ(full.maxBlocks, 32768);
    EXPECT_EQ(full.vertexBytes, 3145728);
    EXPECT_EQ(full.indexBytes, 3145728); // 32-bit indices: 96 bytes per block
    EXPECT_EQ(full.vertexBuffer->getSize(), 3145728);
    EXPECT_EQ(full.indexBuffer->getSize(), 3145728);

    // Block 0 is the face table; every block's indices are its own eight corners in the
    // same pattern, up to the last one, beyond what 16-bit indices reach.
    std::vector<GLuint> indices = readBuffer<GLuint>(*full.indexBuffer, full.indexBytes);
    ASSERT_EQ(indices.size(), 32768u * 24u);
    int wrong = 0;
    for (size_t b = 0; b < 32768; ++b)
        for (size_t c = 0; c < 24; ++c)
            wrong += indices[b * 24 + c] != 8 * b + BoundingGeometry::faceTable[c];
    EXPECT_EQ(wrong, 0);

    // Levels whose sizes do not fit the byte counts are refused, not wrapped.
    const unsigned char huge[3] = {9, 9, 9};
    try {
        BoundingGeometry tooBig(huge);
        ADD_FAILURE() << "levels (9, 9, 9) were accepted";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "GL_BUFFER_SIZE exceeded");
    }
}

TEST_F(BoundingGeometryGL, RepeatedInputsClassifyAndUploadNothing)
{
    poison(g);

    // First frame: the visible blocks are uploaded, the right half as two whole octants,
    // block column 1 leaf by leaf.
    g.updateRange(0.5f, 1.0f);
    EXPECT_EQ(g.blockCount, 4 + 16);
    EXPECT_EQ(uploadedBoxes(g), halfAndColumn(1, 1));
    // The whole volume as clip box cuts nothing: no new upload needed.
    poison(g);
    g.updateClip(kOrigin, kUnit);
    EXPECT_TRUE(untouched(g));
    g.updateThreshold(0.3f);
    EXPECT_TRUE(leafAt(*g.root, 0.4, 0.9, 0.9)->thresholdVisible) << "threshold not classified";
    g.setMode(1);
    EXPECT_TRUE(untouched(g));

    // Spoil every leaf's range, and one leaf's clip flag: any classification or clip
    // test would now change them.
    forEachNode(*g.root, [](CPUOctTreeNode& n, int) {
        n.box.valueMin = 1.0f;
        n.box.valueMax = 0.0f;
    });
    CPUOctTreeNode* corner = leafAt(*g.root, 0.1, 0.1, 0.1);
    corner->clipped = 1;
    frame(0.5f, 1.0f);
    EXPECT_TRUE(untouched(g)) << "repeated inputs uploaded";
    EXPECT_EQ(g.blockCount, 20);
    EXPECT_TRUE(corner->clipped) << "repeated clip box tested";
    EXPECT_TRUE(leafAt(*g.root, 0.9, 0.1, 0.1)->rangeVisible) << "repeated range classified";
    EXPECT_TRUE(leafAt(*g.root, 0.4, 0.9, 0.9)->thresholdVisible) << "repeated threshold classified";

    // A changed bound does reach the spoilt tree.
    g.updateRange(0.5f, 0.9f);
    EXPECT_EQ(g.blockCount, 0);
    EXPECT_FALSE(leafAt(*g.root, 0.9, 0.1, 0.1)->rangeVisible);
}

TEST_F(BoundingGeometryGL, ThresholdChangeWaitsForModeTwo)
{
    frame(0.5f, 1.0f);
    ASSERT_EQ(g.blockCount, 20);

    // Mode 1: a new threshold is classified but the range boxes stay.
    poison(g);
    g.updateThreshold(0.0f);
    EXPECT_TRUE(leafAt(*g.root, 0.1, 0.1, 0.1)->thresholdVisible);
    EXPECT_TRUE(untouched(g));
    EXPECT_EQ(g.blockCount, 20);

    // Mode 2: rebuilt from the threshold flags: the zero-holding left half and column 2.
    g.setMode(2);
    EXPECT_EQ(uploadedBoxes(g), halfAndColumn(0, 2));

    // Under mode 2 a range change is classified but not uploaded; a clip change always is.
    poison(g);
    g.updateRange(0.9f, 1.0f);
    EXPECT_TRUE(untouched(g));
    const double clipMax[3] = {1.0, 1.0, 0.4};
    g.updateClip(kOrigin, clipMax);
    std::set<Box> expected;
    for (int oy = 0; oy < 2; ++oy)
        expected.insert(boxAt(0.0, oy * 0.5, 0.0, 0.5, 0.4));
    for (int by = 0; by < 4; ++by) {
        expected.insert(boxAt(0.5, by * 0.25, 0.0, 0.25));
        expected.insert(boxAt(0.5, by * 0.25, 0.25, 0.25, 0.4));
    }
    EXPECT_EQ(uploadedBoxes(g), expected);
}

TEST_F(BoundingGeometryGL, RefreshSignedTouchesOnlySixteenBitTrees)
{
    // An 8-bit tree: neither the ranges nor the caches move.
    frame(0.0f, 0.5f);
    auto ranges = [&] {
        std::vector<float> out;
        for (CPUOctTreeNode* leaf : leaves(*g.root))
            out.insert(out.end(), {leaf->box.valueMin, leaf->box.valueMax});
        return out;
    };
    const std::vector<float> before = ranges();
    Volume<unsigned short> other(16, 16, 16, 30000);
    g.refreshSigned(other.voxels.data());
    EXPECT_EQ(ranges(), before);
    EXPECT_EQ(g.rangeUpperCache, 0.5f);
    EXPECT_EQ(g.thresholdCache, 0.3f);

    // A signed volume: -1000 left of x = 8, +1000 from there, as raw 16-bit patterns. Read
    // unsigned, the left half looks bright; converted (v + 32768) it is the darker one.
    Volume<unsigned short> raw(16, 16, 16, static_cast<unsigned short>(short(-1000)));
    raw.fillX(8, 16, 1000);
    build(raw);
    frame(0.0f, 0.5f);
    ASSERT_EQ(g.blockCount, 20);

    Volume<unsigned short> converted = raw;
    for (auto& value : converted.voxels)
        value = static_cast<unsigned short>(static_cast<short>(value) + 32768);
    g.refreshSigned(converted.voxels.data());
    EXPECT_EQ(leafAt(*g.root, 0.4, 0.1, 0.1)->box.valueMax, float(33768 / 65535.0));
    EXPECT_EQ(g.rangeLowerCache, 0.0f); // 0.0 stays 0.0
    EXPECT_EQ(g.rangeUpperCache, 0.5f * 1.1f);
    EXPECT_EQ(g.thresholdCache, 0.3f * 1.1f);

    // The same inputs again now reach the refreshed tree: the darker left half shows.
    poison(g);
    frame(0.0f, 0.5f);
    EXPECT_EQ(uploadedBoxes(g), halfAndColumn(0, 2));
}

TEST_F(BoundingGeometryGL, SecondBuildIsClassifiedOnTheNextFrame)
{
    frame(0.5f, 1.0f);
    ASSERT_EQ(g.blockCount, 20);

    // A wholly bright volume: the same inputs classify it and show it as one box.
    build(Volume<unsigned char>(16, 16, 16, 255));
    EXPECT_EQ(g.blockCount, 0) << "the old tree's boxes are not the new tree's";
    poison(g);
    frame(0.5f, 1.0f);
    EXPECT_EQ(uploadedBoxes(g), std::set<Box>{cornersOf(kOrigin, kUnit)});
}

TEST_F(BoundingGeometryGL, DrawnBlocksCoverTheVisibleHalf)
{
    // Bright up to x = 6: with the margin, block columns 0 and 1 only, x in [0, 0.5].
    Volume<unsigned char> v(16, 16, 16, 0);
    v.fillX(0, 7, 255);
    build(v);
    frame(0.5f, 1.0f);
    ASSERT_EQ(g.blockCount, 4);

    gltest::OffscreenTarget target(64, 64);
    ASSERT_TRUE(target.complete());
    topView();
    // Drawn the way the entry pass does, each vertex's object position as its colour.
    glBindBuffer(GL_ARRAY_BUFFER, g.vertexBuffer->handle);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.indexBuffer->handle);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glColorPointer(3, GL_FLOAT, 0, nullptr);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDrawElements(GL_QUADS, g.blockCount * BoundingGeometry::indicesPerBox, BoundingGeometry::indexType, nullptr);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

    const std::vector<float> px = target.read();
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float* p = &px[(size_t(y) * 64 + x) * 4];
            // Outside faces wind counter-clockwise: the nearest front face is z = 1.
            if (x < 32)
                wrong += std::abs(p[0] - (x + 0.5f) / 64) > 1e-4f || std::abs(p[1] - (y + 0.5f) / 64) > 1e-4f ||
                         std::abs(p[2] - 1.0f) > 1e-5f;
            else
                wrong += p[0] != 0.0f || p[1] != 0.0f || p[2] != 0.0f;
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(BoundingGeometryGL, VolumeBoxesDrawFromClientMemoryAndKeepTheCallersArrays)
{
    build(Volume<unsigned char>(16, 16, 16, 255));
    const double clipMin[3] = {0.25, 0.25, 0.0}, clipMax[3] = {0.75, 0.5, 0.6};
    frame(0.5f, 1.0f, clipMin, clipMax);

    gltest::OffscreenTarget target(64, 64);
    topView();
    // The caller has the block buffers bound and the vertex array on, as during the ray
    // setup with blocks: the boxes must still come from client memory.
    glBindBuffer(GL_ARRAY_BUFFER, g.vertexBuffer->handle);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.indexBuffer->handle);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);

    // Pixels whose nearest face depth is off; under this projection it is 0.5 - z / 4.
    auto wrongDepths = [&](void (BoundingGeometry::*draw)(), auto expected) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        (g.*draw)();
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        std::vector<float> depth(64 * 64);
        glReadPixels(0, 0, 64, 64, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        int wrong = 0;
        for (int i = 0; i < 64 * 64; ++i)
            wrong += std::abs(depth[size_t(i)] - expected(i % 64, i / 64)) > 1e-5f;
        return wrong;
    };
    auto clippedDepth = [](int x, int y) { return x >= 16 && x < 48 && y >= 16 && y < 32 ? 0.35f : 1.0f; };
    auto wholeDepth = [](int, int) { return 0.25f; };
    EXPECT_EQ(wrongDepths(&BoundingGeometry::drawClippedBox, clippedDepth), 0);
    EXPECT_EQ(wrongDepths(&BoundingGeometry::drawBox, wholeDepth), 0);

    // The caller's array state is as it was.
    EXPECT_EQ(gltest::getInteger(GL_ARRAY_BUFFER_BINDING), GLint(g.vertexBuffer->handle));
    EXPECT_EQ(gltest::getInteger(GL_ELEMENT_ARRAY_BUFFER_BINDING), GLint(g.indexBuffer->handle));
    EXPECT_EQ(gltest::getInteger(GL_VERTEX_ARRAY_BUFFER_BINDING), GLint(g.vertexBuffer->handle));
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    glDisableClientState(GL_VERTEX_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

    // From a clean state the vertex array is off again afterwards.
    wrongDepths(&BoundingGeometry::drawBox, wholeDepth);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));

    // A clip box beside the volume leaves no clipped box to draw; the whole box stays.
    const double awayMin[3] = {2.0, 2.0, 2.0}, awayMax[3] = {3.0, 3.0, 3.0};
    g.updateClip(awayMin, awayMax);
    EXPECT_EQ(g.blockCount, 0);
    EXPECT_EQ(wrongDepths(&BoundingGeometry::drawClippedBox, [](int, int) { return 1.0f; }), 0);
    EXPECT_EQ(wrongDepths(&BoundingGeometry::drawBox, wholeDepth), 0);
}
