// The min/max octree without a window: shape, value ranges, classification rules,
// clipping, change flags and block output.
#include "render/CPUOctTreeNode.h"
#include "tests/render/octree_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

namespace {

using namespace octree_test;
using Levels = std::array<unsigned char, 3>;

template <typename T>
std::unique_ptr<CPUOctTreeNodeT<T>> buildTree(const Volume<T>& v, Levels maxLevel,
                                              std::array<double, 3> scale = {1.0, 1.0, 1.0})
{
    const double unitMin[3] = {0.0, 0.0, 0.0};
    const double unitMax[3] = {1.0, 1.0, 1.0};
    const unsigned char level[3] = {0, 0, 0};
    return std::make_unique<CPUOctTreeNodeT<T>>(v.voxels.data(), v.dims, unitMin, unitMax,
                                                scale.data(), level, maxLevel.data());
}

std::vector<Box> emit(CPUOctTreeNode& root, int mode, int capacity)
{
    std::vector<float> vertices(size_t(capacity) * 24 + 24, -7.0f);
    int offset = 0;
    const int count = root.emitBlocks(mode, vertices.data(), &offset);
    EXPECT_EQ(offset, count * 24);
    EXPECT_EQ(vertices[size_t(offset)], -7.0f) << "wrote past the boxes it counted";
    std::vector<Box> boxes(static_cast<size_t>(count));
    for (int b = 0; b < count; ++b)
        std::copy_n(&vertices[size_t(b) * 24], 24, boxes[size_t(b)].begin());
    return boxes;
}

bool anyChanged(CPUOctTreeNode& root, unsigned char CPUOctTreeNode::*flag)
{
    bool any = false;
    forEachNode(root, [&](CPUOctTreeNode& n, int) { any = any || n.*flag; });
    return any;
}

} // namespace

TEST(Octree, NodeTypesAndSlotsFollowTheLevels)
{
    Volume<unsigned char> v(32, 32, 32, 10);

    // (0, 0, 0): the root itself is the only leaf.
    auto single = buildTree(v, {0, 0, 0}, {0.5, 0.75, 1.0});
    EXPECT_EQ(single->type, CPUOctTreeNode::Leaf);
    EXPECT_EQ(single->childCount, 0);
    EXPECT_EQ(single->children[0], nullptr);
    EXPECT_EQ(single->box.clippedMax[1], 0.75);

    // (5, 5, 5): a full tree of 32768 leaves, all at depth 5; only the root has type 0.
    auto full = buildTree(v, {5, 5, 5});
    int leafCount = 0, rootCount = 0, innerCount = 0;
    forEachNode(*full, [&](CPUOctTreeNode& n, int depth) {
        if (n.type == CPUOctTreeNode::Leaf) {
            ++leafCount;
            EXPECT_EQ(depth, 5);
            EXPECT_EQ(n.childCount, 0);
            EXPECT_DOUBLE_EQ(n.box.max[0] - n.box.min[0], 1.0 / 32);
        } else {
            n.type == CPUOctTreeNode::Root ? ++rootCount : ++innerCount;
            EXPECT_EQ(n.childCount, 8);
            EXPECT_EQ(std::count(std::begin(n.children), std::end(n.children), nullptr), 0);
        }
    });
    EXPECT_EQ(leafCount, 32768);
    EXPECT_EQ(rootCount, 1);
    EXPECT_EQ(innerCount, 8 + 64 + 512 + 4096);
    EXPECT_EQ(full->type, CPUOctTreeNode::Root);
    // Slot 4k + 2j + i holds half k along z, j along y, i along x.
    const CPUOctTreeNode& slot5 = *full->children[5];
    EXPECT_EQ(slot5.box.min[0], 0.5);
    EXPECT_EQ(slot5.box.max[1], 0.5);
    EXPECT_EQ(slot5.box.min[2], 0.5);
    EXPECT_EQ(full->children[2]->box.min[1], 0.5);

    // (5, 5, 4): z stops splitting one level early, so the last inner level fills only
    // slots 0 to 3 and still counts 8 slots.
    auto flat = buildTree(v, {5, 5, 4}, {1.0, 1.0, 0.5});
    EXPECT_EQ(leaves(*flat).size(), 32u * 32u * 16u);
    forEachNode(*flat, [&](CPUOctTreeNode& n, int depth) {
        if (depth != 4)
            return;
        EXPECT_EQ(n.childCount, 8);
        for (int s = 0; s < 8; ++s)
            ASSERT_EQ(n.children[s] != nullptr, s < 4) << "slot " << s;
    });
    EXPECT_DOUBLE_EQ(leafAt(*flat, 0.99, 0.99, 0.49)->box.min[2], 0.5 - 0.5 / 16);
}

TEST(Octree, LeafRangeTakesOneVoxelMarginAndTheLastLayer)
{
    // 8 voxels per axis and levels (1, 1, 1): leaves of 4 voxels, each scanning one
    // voxel more on the side where it has a neighbour.
    Volume<unsigned char> v(8, 8, 8, 20);
    v.at(4, 1, 1) = 255; // first layer of the upper x block: margin of the lower one
    v.at(3, 6, 6) = 0;   // last layer of the lower x block: margin of the upper one
    v.at(2, 6, 1) = 0;   // two layers away from the upper x block: outside its margin
    v.at(7, 7, 7) = 51;  // the volume's last voxel layer on every axis
    auto tree = buildTree(v, {1, 1, 1});

    EXPECT_EQ(leafAt(*tree, 0.1, 0.1, 0.1)->box.valueMax, 1.0f);
    CPUOctTreeNode* highX = leafAt(*tree, 0.9, 0.9, 0.9);
    EXPECT_EQ(highX->box.valueMin, 0.0f);              // from x = 3
    EXPECT_EQ(highX->box.valueMax, float(51 / 255.0)); // x = 7 is scanned, 255 at x = 4 is not here
    EXPECT_EQ(leafAt(*tree, 0.9, 0.9, 0.1)->box.valueMin, float(20 / 255.0)) << "x = 2 lies outside the upper block's margin";

    // 7 voxels in 4 leaves: the first leaf ends at x = 1.75 voxels, where the sampler
    // blends voxels 1 and 2, so voxel 2 belongs to its range.
    Volume<unsigned char> uneven(7, 2, 2, 0);
    uneven.fillX(2, 3, 255);
    EXPECT_EQ(leafAt(*buildTree(uneven, {2, 0, 0}), 0.1, 0.1, 0.1)->box.valueMax, 1.0f);

    // 16-bit voxels divide by 65535.
    Volume<unsigned short> wide(4, 4, 4, 1000);
    EXPECT_EQ(buildTree(wide, {0, 0, 0})->box.valueMin, float(1000 / 65535.0));
}

TEST(Octree, RangeAndThresholdRulesHoldAtTheirEdges)
{
    Volume<unsigned char> v(4, 4, 4, 51); // 0.2
    v.at(2, 2, 2) = 153;                  // 0.6
    auto leaf = buildTree(v, {0, 0, 0});
    const float lo = leaf->box.valueMin, hi = leaf->box.valueMax;
    ASSERT_EQ(lo, float(0.2));
    ASSERT_EQ(hi, float(0.6));

    struct RangeCase { float lower, upper; bool visible; };
    const RangeCase ranges[] = {
        {0.0f, lo, true},                  // touches from below
        {hi, 1.0f, true},                  // touches from above
        {0.0f, std::nextafter(lo, 0.0f), false},
        {std::nextafter(hi, 1.0f), 1.0f, false},
        {0.3f, 0.4f, true},                // inside
        {0.0f, 1.0f, true},                // around
    };
    for (const RangeCase& c : ranges) {
        leaf->classifyRange(c.lower, c.upper);
        EXPECT_EQ(bool(leaf->rangeVisible), c.visible) << "[" << c.lower << ", " << c.upper << "]";
    }

    struct ThresholdCase { float threshold; bool visible; };
    const ThresholdCase thresholds[] = {
        {hi + 0.00009f, true}, {hi + 0.001f, false},
        {lo - 0.00009f, true}, {lo - 0.001f, false},
        {0.4f, true},          {0.0f, false},
    };
    for (const ThresholdCase& c : thresholds) {
        leaf->classifyThreshold(c.threshold);
        EXPECT_EQ(bool(leaf->thresholdVisible), c.visible) << c.threshold;
    }
}

TEST(Octree, TouchingClipBoxDoesNotClip)
{
    // Two blocks of 8 voxels along x; only the right one reaches 200.
    Volume<unsigned char> v(16, 8, 4, 100);
    v.fillX(10, 16, 200);
    auto tree = buildTree(v, {1, 0, 0}, {1.0, 0.5, 0.25});
    CPUOctTreeNode& left = *tree->children[0];
    CPUOctTreeNode& right = *tree->children[1];
    ASSERT_EQ(right.box.min[0], 0.5);

    // Upper clip x on the right block's lower face: flat, but still there.
    const double min1[3] = {0.0, 0.0, 0.0}, max1[3] = {0.5, 0.5, 0.25};
    EXPECT_TRUE(tree->clip(min1, max1));
    EXPECT_FALSE(right.clipped);
    EXPECT_EQ(right.box.clippedMax[0], 0.5);

    // A hair less and it is gone; the root still holds the left block.
    const double max2[3] = {std::nextafter(0.5, 0.0), 0.5, 0.25};
    EXPECT_TRUE(tree->clip(min1, max2));
    EXPECT_TRUE(right.clipped);
    EXPECT_FALSE(left.clipped || tree->clipped);
    tree->classifyRange(0.7f, 1.0f);
    ASSERT_TRUE(right.rangeVisible);
    EXPECT_TRUE(emit(*tree, 1, 2).empty()) << "a visible block is not written once clipped";
    tree->classifyRange(0.0f, 1.0f);
    std::vector<Box> boxes = emit(*tree, 1, 2);
    ASSERT_EQ(boxes.size(), 1u);
    const double expectLo[3] = {0, 0, 0}, expectHi[3] = {max2[0], 0.5, 0.25};
    EXPECT_EQ(boxes[0], cornersOf(expectLo, expectHi));

    // Lower clip x on the left block's upper face, on y and z too: nothing is clipped.
    const double min3[3] = {0.5, 0.5, 0.25}, max3[3] = {1.0, 0.5, 0.25};
    tree->clip(min3, max3);
    EXPECT_FALSE(left.clipped || right.clipped);
    // A clip box that misses the volume clips the root as well.
    const double min4[3] = {2.0, 2.0, 2.0}, max4[3] = {3.0, 3.0, 3.0};
    EXPECT_TRUE(tree->clip(min4, max4));
    EXPECT_TRUE(tree->clipped);
    EXPECT_TRUE(emit(*tree, 3, 2).empty());
}

TEST(Octree, RepeatedClassificationReportsNoChange)
{
    // A ramp along x gives every leaf column its own range.
    Volume<unsigned char> v(32, 16, 16);
    for (int x = 0; x < 32; ++x)
        v.fillX(x, x + 1, static_cast<unsigned char>(x * 8));
    auto tree = buildTree(v, {3, 2, 2}, {1.0, 0.5, 0.5});
    using Flag = unsigned char CPUOctTreeNode::*;

    // Range: the first call changes, the same call again changes nothing anywhere.
    EXPECT_TRUE(tree->classifyRange(0.5f, 1.0f));
    EXPECT_FALSE(tree->classifyRange(0.5f, 1.0f));
    EXPECT_FALSE(anyChanged(*tree, Flag(&CPUOctTreeNode::rangeChanged)));

    // A bound that moves one column of leaves reports only that column and its ancestors.
    // Leaves with x in [12, 16) (+ margin: values 88..128) are the left edge of [0.5, 1].
    const float justAbove = 129 / 255.0f;
    EXPECT_TRUE(tree->classifyRange(justAbove, 1.0f));
    int changedLeaves = 0;
    forEachNode(*tree, [&](CPUOctTreeNode& n, int) {
        if (n.type == CPUOctTreeNode::Leaf && n.rangeChanged) {
            ++changedLeaves;
            EXPECT_EQ(n.box.min[0], 12.0 / 32);
        }
    });
    EXPECT_EQ(changedLeaves, 16);
    EXPECT_TRUE(tree->children[0]->rangeChanged);
    EXPECT_FALSE(tree->children[1]->rangeChanged) << "upper x half: no leaf moved";
    EXPECT_FALSE(tree->rangeVisible);
    EXPECT_TRUE(tree->children[1]->rangeVisible) << "an inner node is the AND of its children";

    // Threshold.
    EXPECT_TRUE(tree->classifyThreshold(0.25f));
    EXPECT_FALSE(tree->classifyThreshold(0.25f));
    EXPECT_FALSE(anyChanged(*tree, Flag(&CPUOctTreeNode::thresholdChanged)));

    // Clip: the whole volume as clip box cuts no block, so nothing changes even the first
    // time; a real cut changes once, and repeating it changes nothing.
    const double whole0[3] = {0, 0, 0}, whole1[3] = {1.0, 0.5, 0.5};
    EXPECT_FALSE(tree->clip(whole0, whole1));
    const double cut0[3] = {0.1, 0.0, 0.2}, cut1[3] = {0.9, 0.3, 0.5};
    EXPECT_TRUE(tree->clip(cut0, cut1));
    EXPECT_FALSE(tree->clip(cut0, cut1));
    EXPECT_FALSE(anyChanged(*tree, Flag(&CPUOctTreeNode::clipChanged)));
    EXPECT_EQ(tree->box.clippedMax[1], 0.3);
    // Back to the whole volume: every clipped box returns to its block.
    EXPECT_TRUE(tree->clip(whole0, whole1));
    forEachNode(*tree, [&](CPUOctTreeNode& n, int) {
        EXPECT_FALSE(n.clipped);
        EXPECT_EQ(cornersOf(n.box.clippedMin, n.box.clippedMax), cornersOf(n.box.min, n.box.max));
    });
}

TEST(Octree, VisibleRegionsMergeIntoTheirLargestNode)
{
    // A fully visible (5, 5, 5) tree is one box: the root.
    Volume<unsigned char> v(64, 64, 32, 128);
    auto full = buildTree(v, {5, 5, 5}, {1.0, 1.0, 0.5});
    EXPECT_TRUE(emit(*full, 3, 32768).empty()) << "nothing is visible before a classification";
    full->classifyRange(0.0f, 1.0f);
    std::vector<Box> one = emit(*full, 1, 32768);
    ASSERT_EQ(one.size(), 1u);
    const double lo[3] = {0, 0, 0}, hi[3] = {1.0, 1.0, 0.5};
    EXPECT_EQ(one[0], cornersOf(lo, hi));
    EXPECT_TRUE(emit(*full, 2, 32768).empty()) << "mode 2 reads the threshold flags only";

    // Levels (2, 2, 2) over 16 voxels: blocks of 4. Checkerboard blocks hold 200 inside
    // (not on their border, which the neighbours' margins read); octant 0 is fully lit.
    Volume<unsigned char> c(16, 16, 16, 0);
    std::set<Box> expected;
    const double octLo[3] = {0, 0, 0}, octHi[3] = {0.5, 0.25, 0.125};
    expected.insert(cornersOf(octLo, octHi));
    for (int bz = 0; bz < 4; ++bz)
        for (int by = 0; by < 4; ++by)
            for (int bx = 0; bx < 4; ++bx) {
                const bool octant0 = bx < 2 && by < 2 && bz < 2;
                if (!octant0 && (bx + by + bz) % 2 != 0)
                    continue;
                for (int i = 0; i < 8; ++i)
                    c.at(4 * bx + 1 + (i & 1), 4 * by + 1 + (i >> 1 & 1), 4 * bz + 1 + (i >> 2)) = 200;
                const double bLo[3] = {bx * 0.25, by * 0.125, bz * 0.0625};
                const double bHi[3] = {bLo[0] + 0.25, bLo[1] + 0.125, bLo[2] + 0.0625};
                if (!octant0)
                    expected.insert(cornersOf(bLo, bHi));
            }
    auto board = buildTree(c, {2, 2, 2}, {1.0, 0.5, 0.25});
    board->classifyThreshold(0.7f);
    std::vector<Box> boxes = emit(*board, 2, 64);
    EXPECT_EQ(expected.size(), 1u + 28u); // 32 checkerboard blocks, 4 of them in octant 0
    EXPECT_EQ(boxes.size(), expected.size());
    EXPECT_EQ(std::set<Box>(boxes.begin(), boxes.end()), expected);

    // Mode 3 writes a block visible by either rule once, never twice.
    board->classifyRange(0.0f, 0.0f); // every block has a zero somewhere: all visible
    EXPECT_EQ(emit(*board, 3, 64).size(), 1u);
}

TEST(Octree, RefreshRangesMatchesAFreshBuildAfterSignedConversion)
{
    // Signed voxels seen as raw 16-bit patterns, then converted to unsigned ones
    // (v + 32768). x is 0.7 long, so some leaf corners divided by
    // scale come out an ulp below their grid point.
    Volume<unsigned short> raw(8, 8, 8);
    for (int i = 0; i < 512; ++i)
        raw.voxels[size_t(i)] = static_cast<unsigned short>(short(-100 + i % 8 + 10 * (i / 8 % 8) + 50 * (i / 64)));
    raw.at(6, 3, 3) = static_cast<unsigned short>(short(30000)); // margin of the leaf x in [4, 6)
    const std::array<double, 3> scale = {0.7, 1.0, 0.35};
    auto tree = buildTree(raw, {2, 1, 2}, scale);
    tree->classifyRange(0.0f, 0.2f);
    const double cut0[3] = {0.1, 0.1, 0.1}, cut1[3] = {0.6, 0.9, 0.3};
    tree->clip(cut0, cut1);

    Volume<unsigned short> converted = raw;
    for (auto& value : converted.voxels)
        value = static_cast<unsigned short>(static_cast<short>(value) + 32768);
    auto fresh = buildTree(converted, {2, 1, 2}, scale);

    std::vector<std::array<unsigned char, 3>> flagsBefore;
    forEachNode(*tree, [&](CPUOctTreeNode& n, int) {
        flagsBefore.push_back({n.rangeVisible, n.clipped, n.rangeChanged});
    });
    tree->refreshRanges(converted.voxels.data(), converted.dims, scale.data());

    std::vector<CPUOctTreeNode*> a = leaves(*tree), b = leaves(*fresh);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i]->box.valueMin, b[i]->box.valueMin) << "leaf " << i;
        EXPECT_EQ(a[i]->box.valueMax, b[i]->box.valueMax) << "leaf " << i;
    }
    EXPECT_EQ(leafAt(*tree, 0.4, 0.1, 0.1)->box.valueMax, float((30000 + 32768) / 65535.0));

    // Boxes, flags and clipped corners are left as the last classification set them.
    size_t i = 0;
    forEachNode(*tree, [&](CPUOctTreeNode& n, int) {
        const std::array<unsigned char, 3> now = {n.rangeVisible, n.clipped, n.rangeChanged};
        EXPECT_EQ(now, flagsBefore[i++]);
    });
    EXPECT_EQ(tree->box.clippedMax[2], 0.3);
}
