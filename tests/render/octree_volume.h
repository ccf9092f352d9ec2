// Small voxel volumes and tree walks shared by the octree and bounding-geometry tests.
#pragma once

#include "render/CPUOctTreeNode.h"

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace octree_test {

template <typename T>
struct Volume {
    int dims[3];
    std::vector<T> voxels;

    Volume(int x, int y, int z, T fill = 0) : dims{x, y, z}, voxels(std::size_t(x) * y * z, fill) {}
    T& at(int x, int y, int z) { return voxels[x + std::size_t(dims[0]) * (y + std::size_t(dims[1]) * z)]; }
    // Sets every voxel whose x lies in [x0, x1).
    void fillX(int x0, int x1, T value)
    {
        for (int z = 0; z < dims[2]; ++z)
            for (int y = 0; y < dims[1]; ++y)
                for (int x = x0; x < x1; ++x)
                    at(x, y, z) = value;
    }
};

inline void forEachNode(CPUOctTreeNode& node, const std::function<void(CPUOctTreeNode&, int)>& f,
                        int depth = 0)
{
    f(node, depth);
    for (auto& child : node.children)
        if (child)
            forEachNode(*child, f, depth + 1);
}

inline std::vector<CPUOctTreeNode*> leaves(CPUOctTreeNode& root)
{
    std::vector<CPUOctTreeNode*> out;
    forEachNode(root, [&](CPUOctTreeNode& n, int) {
        if (n.type == CPUOctTreeNode::Leaf)
            out.push_back(&n);
    });
    return out;
}

// The leaf whose box holds the object-space point (x, y, z); null when none does.
inline CPUOctTreeNode* leafAt(CPUOctTreeNode& root, double x, double y, double z)
{
    const double p[3] = {x, y, z};
    for (CPUOctTreeNode* leaf : leaves(root)) {
        bool inside = true;
        for (int a = 0; a < 3; ++a)
            inside = inside && p[a] >= leaf->box.min[a] && p[a] < leaf->box.max[a];
        if (inside)
            return leaf;
    }
    return nullptr;
}

using Box = std::array<float, 24>;

// The box layout written out corner by corner, independently of the code under test.
inline Box cornersOf(const double* lo, const double* hi)
{
    const float x0 = float(lo[0]), y0 = float(lo[1]), z0 = float(lo[2]);
    const float x1 = float(hi[0]), y1 = float(hi[1]), z1 = float(hi[2]);
    return {x0, y1, z1, x1, y1, z1, x1, y0, z1, x0, y0, z1,
            x0, y1, z0, x1, y1, z0, x1, y0, z0, x0, y0, z0};
}

} // namespace octree_test
