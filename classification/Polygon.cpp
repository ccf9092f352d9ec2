#include "classification/Polygon.h"

#include <GL/glew.h>

namespace Classification {

namespace {

constexpr int kDefaultVertexCount = 5;
constexpr float kFillAlpha = 0.5f;

bool inUnit(float v)
{
    return v >= 0.0f && v <= 1.0f;
}

} // namespace

Polygon::Polygon(const std::string& shapeName)
    : TransferFunctionGeometry(shapeName), vertexCount(kDefaultVertexCount)
{
    initialise();
}

void Polygon::setDefaultPoints()
{
    const int n = vertexCount;
    points.assign(size_t(n), ShapePoint{0.0f, 0.0f});
    if (n < 2)
        return;
    points[0] = {0.2f, 0.0f};
    points[n - 1] = {0.8f, 0.0f};
    for (int k = 1; k <= n - 2; ++k)
        points[k] = {0.2f + k * 0.6f / (n - 1), k % 2 == 1 ? 0.8f : 0.4f};
}

bool Polygon::isValid(const std::vector<ShapePoint>& c) const
{
    const int n = vertexCount;
    if (n < 3 || int(c.size()) != n)
        return false;
    if (c[0].y != 0.0f || c[n - 1].y != 0.0f)
        return false;
    for (int k = 0; k < n; ++k) {
        if (!inUnit(c[k].x) || !inUnit(c[k].y))
            return false;
        if (k > 0 && c[k].x < c[k - 1].x)
            return false;
    }
    return true;
}

void Polygon::adjustAfterMove(std::vector<ShapePoint>& c)
{
    if (c.empty())
        return;
    c.front().y = 0.0f;
    c.back().y = 0.0f;
}

ShapeColour Polygon::evaluate(const std::vector<float>& values) const
{
    if ((values.size() != 1 && values.size() != 2) || points.size() < 2)
        return {};
    const float x = values[0];
    if (x < points.front().x || x > points.back().x)
        return {};
    // Colours blend linearly from point to point, like the chain of points itself.
    for (size_t k = 0; k + 1 < points.size(); ++k) {
        const ShapePoint &a = points[k], &b = points[k + 1];
        if (x <= b.x) {
            float t = b.x > a.x ? (x - a.x) / (b.x - a.x) : 1.0f;
            ShapeColour out;
            for (int ch = 0; ch < 4; ++ch)
                out[ch] = colours[k][ch] + (colours[k + 1][ch] - colours[k][ch]) * t;
            return out;
        }
    }
    return colours.back();
}

void Polygon::hitTest(ShapePoint position)
{
    TransferFunctionGeometry::hitTest(position);
    if (editMode != kEditColour || hitState != kHitInside)
        return;
    for (size_t k = 1; k < points.size(); ++k) {
        if (points[k].x > position.x) {
            hitState = kHitPoint;
            hitIndex = int(k) - 1;
            return;
        }
    }
}

void Polygon::draw() const
{
    const int n = int(points.size());
    for (int k = 0; k + 1 < n; ++k) {
        const ShapePoint &a = points[k], &b = points[k + 1];
        const ShapeColour& c = colours[k];
        glColor4f(c.r, c.g, c.b, kFillAlpha);
        if (k == 0) {
            glBegin(GL_TRIANGLES);
            vertex(a);
            vertex(b);
            vertex({b.x, 0.0f});
        } else if (k == n - 2) {
            glBegin(GL_TRIANGLES);
            vertex(a);
            vertex(b);
            vertex({a.x, 0.0f});
        } else {
            glBegin(GL_QUADS);
            vertex({a.x, 0.0f});
            vertex(a);
            vertex(b);
            vertex({b.x, 0.0f});
        }
        glEnd();
    }
    drawOutlineAndDots();
}

} // namespace Classification
