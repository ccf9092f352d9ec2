#include "classification/Triangle.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

namespace Classification {

namespace {

constexpr float kHandleOffset = 0.035f;
constexpr float kMinTop = 0.000001f;  // a flatter triangle rasterises nothing

bool inUnit(float v)
{
    return v >= 0.0f && v <= 1.0f;
}

} // namespace

Triangle::Triangle(const std::string& shapeName)
    : TransferFunctionGeometry(shapeName), handleOffset(kHandleOffset)
{
    initialise();
}

ShapePoint Triangle::cutPoint(const std::vector<ShapePoint>& p, int corner)
{
    if (!(p[1].y > 0.0f))
        return p[corner];
    float r = p[3].y / p[1].y;
    return {p[0].x + (p[corner].x - p[0].x) * r, p[0].y + (p[corner].y - p[0].y) * r};
}

void Triangle::setDefaultPoints()
{
    points = {{0.5f, 0.0f}, {0.3f, 0.6f}, {0.7f, 0.6f}, {0.0f, 0.3f}};
    points[3].x = rightCutPoint().x + handleOffset;
}

bool Triangle::isValid(const std::vector<ShapePoint>& c) const
{
    if (c.size() != 4 || c[0].y != 0.0f)
        return false;
    if (!inUnit(c[0].x) || !inUnit(c[1].x) || !inUnit(c[2].x))
        return false;
    if (!inUnit(c[1].y) || !inUnit(c[2].y) || c[1].y != c[2].y)
        return false;
    return c[1].x <= c[2].x && c[3].y >= 0.0f && c[3].y <= c[1].y;
}

void Triangle::clampTop(std::vector<ShapePoint>& c) const
{
    if (c[1].y > 1.0f)
        c[1].y = c[2].y = 1.0f;
    else if (c[1].y < 0.0f)
        c[1].y = c[2].y = 0.0f;
}

void Triangle::keepRelativeCut(std::vector<ShapePoint>& c) const
{
    if (c[1].y != points[1].y && points[1].y > 0.0f)
        c[3].y = c[1].y * (points[3].y / points[1].y);
}

void Triangle::placeHandle(std::vector<ShapePoint>& c) const
{
    // From the shape as it stands, before the candidate is taken.
    c[3].x = rightCutPoint().x + handleOffset;
}

void Triangle::adjustAfterPointMove(std::vector<ShapePoint>& c, int index)
{
    c[0].y = 0.0f;
    if (index == 1) {
        c[2].y = c[1].y;
        c[2].x = std::max(c[2].x, c[1].x);
    } else if (index == 2) {
        c[1].y = c[2].y;
        c[1].x = std::min(c[1].x, c[2].x);
    }
    clampTop(c);
    keepRelativeCut(c);
    if (index == 1 || index == 2)
        c[3].y = std::min({c[3].y, c[1].y, c[2].y});
    c[3].y = std::max(0.0f, std::min(c[3].y, c[1].y));
    placeHandle(c);
}

void Triangle::adjustAfterMove(std::vector<ShapePoint>& c)
{
    c[3].y = std::max(0.0f, c[3].y);
    c[0].y = 0.0f;
    clampTop(c);
    keepRelativeCut(c);
    placeHandle(c);
}

float Triangle::minX() const
{
    if (points[3].y >= points[1].y)
        return 1.0f;
    return std::min(leftCutPoint().x, points[1].x);
}

float Triangle::maxX() const
{
    if (points[3].y >= points[1].y)
        return 0.0f;
    return std::max(rightCutPoint().x, points[2].x);
}

ShapeColour Triangle::evaluate(const std::vector<float>&) const
{
    return {};
}

bool Triangle::dragColour(ShapePoint position)
{
    return shiftColour(0, position);
}

void Triangle::rasterise2D(unsigned char* table, int size)
{
    const ShapePoint *p = points.data();
    if (!table || size <= 0 || !(p[1].y > kMinTop) || p[1].y != p[2].y)
        return;
    const ShapeColour& c = colours[0];
    const int firstRow = std::max(0, int(p[3].y * size));
    const int lastRow = std::min(size - 1, int(p[1].y * size));
    for (int row = firstRow; row <= lastRow; ++row) {
        // Edges at this height, from the apex toward the top corners.
        float r = std::min(1.0f, (row + 0.5f) / size / p[1].y);
        float left = p[0].x + (p[1].x - p[0].x) * r;
        float right = p[0].x + (p[2].x - p[0].x) * r;
        float centre = 0.5f * (left + right), half = 0.5f * (right - left);
        if (!(half > 0.0f))
            continue;
        int x0 = std::max(0, int(std::ceil(left * size - 0.5f)));
        int x1 = std::min(size - 1, int(std::floor(right * size - 0.5f)));
        for (int col = x0; col <= x1; ++col) {
            // A tent: opaque on the centre line, clear at both edges; "over" blending.
            float x = (col + 0.5f) / size;
            float a = std::max(0.0f, 1.0f - std::fabs(x - centre) / half);
            unsigned char* t = table + (size_t(row) * size + col) * 4;
            const float src[3] = {c.r, c.g, c.b};
            for (int ch = 0; ch < 3; ++ch)
                t[ch] = (unsigned char)(std::min(1.0f, src[ch] * a + t[ch] / 255.0f * (1.0f - a)) * 255.0f);
            t[3] = (unsigned char)(std::min(1.0f, a + t[3] / 255.0f * (1.0f - a)) * 255.0f);
        }
    }
}

void Triangle::draw() const
{
    glLineWidth(1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    for (int k = 0; k < 3; ++k)
        vertex(points[k]);
    glEnd();
    glBegin(GL_LINES);
    vertex(rightCutPoint());
    vertex(points[3]);
    glEnd();
    glPointSize(8.0f);
    glBegin(GL_POINTS);
    for (const ShapePoint& q : points)
        vertex(q);
    glEnd();
}

} // namespace Classification
