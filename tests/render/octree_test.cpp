// The ray caster's CPU side without a window: the octree's leaf ranges, the occupancy grid
// classified from them, the modelview inverse that places the eye and the light, and the
// rectangle of the target that the rays can reach.
#include "render/CPUOctTreeNode.h"
#include "render/Matrix4.h"
#include "render/OccupancyGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

template <typename T>
std::unique_ptr<CPUOctTreeNodeT<T>> buildTree(const std::vector<T>& voxels, std::array<int, 3> dims,
                                              std::array<unsigned char, 3> maxLevel,
                                              std::array<double, 3> scale = {1, 1, 1})
{
    const double unitMin[3] = {0, 0, 0}, unitMax[3] = {1, 1, 1};
    const unsigned char level[3] = {0, 0, 0};
    return std::make_unique<CPUOctTreeNodeT<T>>(voxels.data(), dims.data(), unitMin, unitMax, scale.data(), level,
                                                maxLevel.data());
}

// The leaf holding an object-space point, by the slot rule 4k + 2j + i.
const CPUOctTreeNode& leafAt(const CPUOctTreeNode& root, double x, double y, double z)
{
    const CPUOctTreeNode* node = &root;
    while (node->type != CPUOctTreeNode::Leaf) {
        const NodeBox& b = node->children[0]->box;
        node = node->children[(z >= b.max[2]) * 4 + (y >= b.max[1]) * 2 + (x >= b.max[0])].get();
    }
    return *node;
}

} // namespace

TEST(Octree, LeavesFollowTheLevelsAndRangeTheirBlockWithTheVoxelsTheSamplerReads)
{
    // 8 x 8 x 7 voxels at levels (1, 1, 2): leaves of 4, 4 and 1.75 voxels, each reaching one voxel into a neighbour.
    std::vector<unsigned char> v(8 * 8 * 7, 20);
    auto at = [&](int x, int y, int z) -> unsigned char& { return v[size_t(x + 8 * (y + 8 * z))]; };
    at(4, 1, 6) = 255;  // the upper x block's first layer: the lower block's margin
    at(3, 6, 6) = 0;    // the lower x block's last layer: the upper block's margin
    at(2, 6, 0) = 0;    // two layers from the upper x block: outside its margin
    at(7, 7, 6) = 51;   // the volume's last voxel on every axis
    at(0, 0, 2) = 153;  // the first z block ends at 1.75 voxels, where the sampler blends in z = 2
    auto tree = buildTree(v, {8, 8, 7}, {1, 1, 2}, {1, 1, 0.875});
    EXPECT_EQ(tree->children[5]->box.min[0] + tree->children[5]->box.min[2], 0.5 + 0.4375);  // slot 5: x and z upper
    EXPECT_EQ(leafAt(*tree, 0.1, 0.1, 0.1).box.max[2], 0.875 / 4);
    EXPECT_EQ(leafAt(*tree, 0.1, 0.1, 0.1).box.valueMax, float(153 / 255.0));
    EXPECT_EQ(leafAt(*tree, 0.1, 0.1, 0.8).box.valueMax, 1.0f);
    EXPECT_EQ(leafAt(*tree, 0.9, 0.9, 0.8).box.valueMin + leafAt(*tree, 0.9, 0.9, 0.8).box.valueMax, float(51 / 255.0));
    EXPECT_EQ(leafAt(*tree, 0.9, 0.9, 0.1).box.valueMin, float(20 / 255.0));
}

TEST(Octree, BoxCornersAreEightTheUpperZFaceFirstAndNothingMore)
{
    const double lo[3] = {1, 2, 3}, hi[3] = {4, 5, 6};
    std::vector<float> out(27, -1.0f);
    writeBoxCorners(lo, hi, out.data());
    EXPECT_EQ(out, (std::vector<float>{1, 5, 6, 4, 5, 6, 4, 2, 6, 1, 2, 6, 1, 5, 3, 4, 5, 3, 4, 2, 3, 1, 2, 3, -1, -1, -1}));
}

TEST(Occupancy, LeavesShowWhereTheTableIsReadAtTheirIntensities)
{
    // Entries for intensities 0, 0.25, 0.5, 0.75 and 1; only 0.5 shows. A leaf at v reads entries
    // floor(4 v) and the next: 0.26 and 0.72 show, read at 5 v - 0.5 neither would.
    const std::vector<unsigned short> table = {0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9, 9, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<int> counts = occupancy::visibleCounts(table.data(), 5, 4);
    EXPECT_EQ(counts, (std::vector<int>{0, 0, 0, 1, 1, 1}));
    const double scale[3] = {1, 1, 1};
    const int one[3] = {1, 1, 1};
    for (const auto& [value, shows] : std::vector<std::pair<double, bool>>{{0.24, false}, {0.26, true}, {0.72, true}, {0.77, false}}) {
        auto leaf = buildTree(std::vector<unsigned char>(8, static_cast<unsigned char>(value * 255 + 0.5)), {2, 2, 2}, {0, 0, 0});
        EXPECT_EQ(occupancy::classifyLeaves(*leaf, scale, one, counts)[0], shows ? 0 : occupancy::kFar) << value;
    }
    // Leaves of 2 x 8 x 8 voxels, grid 1 x 4 x 2, cells x fastest: only leaf (0, 1, 1) holds 0.5.
    std::vector<unsigned char> v(2 * 32 * 16, 0);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = i / 2 % 32 / 8 == 1 && i / 64 / 8 == 1 && i / 2 % 8 > 1 && i / 64 % 8 > 1 && i / 2 % 8 < 6 && i / 64 % 8 < 6 ? 128 : 0;
    const int grid[3] = {1, 4, 2};
    std::vector<unsigned char> expected(8, occupancy::kFar);
    expected[5] = 0;
    EXPECT_EQ(occupancy::classifyLeaves(*buildTree(v, {2, 32, 16}, {0, 2, 1}), scale, grid, counts), expected);
}

TEST(Occupancy, TexelsHoldDistancesToTheNearestShowingAndHiddenLeaf)
{
    // One showing leaf at (0, 1, 1) of 3 x 3 x 3, on the grid's lower x face.
    const int size[3] = {3, 3, 3};
    std::vector<unsigned char> cells(27, occupancy::kFar);
    cells[(1 * 3 + 1) * 3] = 0;
    const std::vector<unsigned char> texels = occupancy::distanceTexels(cells, size);
    for (int c = 0; c < 27; ++c) {
        const int distance = std::max({c % 3, std::abs(c / 3 % 3 - 1), std::abs(c / 9 - 1)});
        EXPECT_EQ(texels[size_t(2 * c)] * 16 + texels[size_t(2 * c + 1)], distance * 16 + (distance ? 0 : 1)) << c;
    }
}

TEST(RaycasterMatrix, InverseUndoesTheMatrixOrGivesTheIdentity)
{
    // Rows, each with its expected inverse's first column (or the identity's).
    const struct {
        const char* name;
        double rows[4][4];
        bool invertible;
        double firstColumn[2];
    } cases[] = {
        // The game's start camera (look-at from (1, 0, 0)) over a centred volume.
        {"start camera", {{0, 0, -1, 0.5}, {0, 1, 0, -0.25}, {1, 0, 0, -1.3}, {0, 0, 0, 1}}, true, {0, 0}},
        // Plain partial pivoting takes row 0 for column 0 and rounds row 1's 1 away;
        // against its row's largest element row 1 wins: (1 / det) (1, -1) with det = 2 - 2e20.
        {"scaled pivoting", {{2, 2e20, 0, 0}, {1, 1, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 4}}, true, {1 / (2 - 2e20), -1 / (2 - 2e20)}},
        {"row scales follow their rows", {{-1, 0, 2e20, 0}, {1, 2, -1, 0}, {1, 1e20, 2e20, 0}, {0, 0, 0, 1}}, true, {2.5e-20, -1e-20}},
        {"all-zero row", {{1, 0, 0, 5}, {0, 1, 0, 6}, {0, 0, 0, 0}, {0, 0, 0, 1}}, false, {1, 0}},
        {"zero last pivot", {{1, 0, 0, 2}, {0, 1, 0, 3}, {0, 0, 1, 0}, {1, 1, 0, 5}}, false, {1, 0}},
        // A zero pivot before the last column must not spread infinities.
        {"zero earlier pivot", {{1, 1, 0, 0}, {2, 2, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}, false, {1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double m[16], inv[16];
        for (int i = 0; i < 16; ++i)
            m[i] = c.rows[i % 4][i / 4];  // column-major
        EXPECT_EQ(invertMatrix4(m, inv), c.invertible);
        EXPECT_LT(std::fabs(inv[0] - c.firstColumn[0]) + std::fabs(inv[1] - c.firstColumn[1]), 1e-30) << inv[0] << " " << inv[1];
        for (int r = 0; r < 4; ++r)
            for (int col = 0; col < 4; ++col) {
                double product = 0;
                for (int k = 0; k < 4; ++k)
                    product += (c.invertible ? c.rows[r][k] : r == k) * inv[4 * col + k];
                EXPECT_NEAR(product, r == col, 1e-9) << r << col;
            }
    }
}

TEST(RaycasterMatrix, ScissorRectangleHoldsTheProjectedBoxAndAPixelMoreWithinTheTarget)
{
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const double perspective[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0}; // w = -z
    const double lo[3] = {-0.5, -0.25, -0.5}, hi[3] = {0.5, 0.75, 0.5}, far[3] = {3, 3, 3};
    int rect[4] = {-1, -1, -1, -1};
    // x 25 to 75 of 100, y 30 to 70 of 80; then cut at the target's far edges.
    EXPECT_TRUE(projectedBoxRectangle(identity, identity, lo, hi, 100, 80, rect));
    EXPECT_EQ(std::vector<int>(rect, rect + 4), (std::vector<int>{24, 29, 52, 42}));
    EXPECT_TRUE(projectedBoxRectangle(identity, identity, lo, far, 100, 80, rect));
    EXPECT_EQ(std::vector<int>(rect, rect + 4), (std::vector<int>{24, 29, 76, 51}));
    EXPECT_FALSE(projectedBoxRectangle(identity, perspective, lo, hi, 100, 80, rect)) << "corners behind the eye";
}
