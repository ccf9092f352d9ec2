// The table's datagram texts, as the game reads them: a frame message ("frame" and a
// number) and a point message (one "finger" record per tracked point: x, y, a, id and
// an unused field). Shared by the sender tool and its tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace table {

struct TrackedPoint {
    float x, y;  // game window pixels, origin top left
    int id;      // non-zero
    int a;       // handed to the game's handlers unchanged
};

inline std::string frameMessage(int frame) { return "frame " + std::to_string(frame); }

inline std::string pointMessage(const std::vector<TrackedPoint>& points)
{
    std::ostringstream out;
    for (size_t i = 0; i < points.size(); ++i) {
        const TrackedPoint& p = points[i];
        out << (i ? " " : "") << "finger " << p.x << ' ' << p.y << ' ' << p.a << ' ' << p.id
            << " 0";
    }
    return out.str();
}

// Point k of `count` at step `step` of `steps` along the line from (x0, y0) to (x1, y1);
// further points follow the first 40 pixels lower each.
inline TrackedPoint pointOnPath(float x0, float y0, float x1, float y1, int step, int steps,
                                int k, int firstId)
{
    float t = steps > 1 ? float(step) / float(steps - 1) : 0.0f;
    return {x0 + (x1 - x0) * t, y0 + (y1 - y0) * t + 40.0f * float(k), firstId + k, 0};
}

} // namespace table
