#include "classification/Trapez.h"

#include <GL/glew.h>

namespace Classification {

namespace {

constexpr float kFillAlpha = 0.5f;
constexpr ShapePoint kDefaultPoints[4] = {{0.2f, 0.0f}, {0.4f, 0.8f}, {0.6f, 0.8f}, {0.8f, 0.0f}};

void fillColour(const ShapeColour& c)
{
    glColor4f(c.r, c.g, c.b, kFillAlpha);
}

ShapeColour mix(const ShapeColour& a, const ShapeColour& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

bool inUnit(float v)
{
    return v >= 0.0f && v <= 1.0f;
}

} // namespace

Trapez::Trapez(const std::string& shapeName) : TransferFunctionGeometry(shapeName)
{
    initialise();
}

void Trapez::setDefaultPoints()
{
    points.assign(kDefaultPoints, kDefaultPoints + 4);
}

bool Trapez::isValid(const std::vector<ShapePoint>& c) const
{
    if (c.size() != 4)
        return false;
    if (c[0].y != 0.0f || c[3].y != 0.0f)
        return false;
    for (const ShapePoint& p : c)
        if (!inUnit(p.x))
            return false;
    if (!inUnit(c[1].y) || !inUnit(c[2].y) || c[1].y != c[2].y)
        return false;
    return c[0].x <= c[1].x && c[1].x <= c[2].x && c[2].x <= c[3].x;
}

void Trapez::adjustAfterPointMove(std::vector<ShapePoint>& c, int index)
{
    // One shoulder drags the whole plateau up or down.
    if (index == 1)
        c[2].y = c[1].y;
    else if (index == 2)
        c[1].y = c[2].y;
}

void Trapez::adjustAfterMove(std::vector<ShapePoint>& c)
{
    c[0].y = 0.0f;
    c[3].y = 0.0f;
}

ShapeColour Trapez::evaluate(const std::vector<float>& values) const
{
    if (values.size() != 1 && values.size() != 2)
        return {};
    const float x = values[0];
    const ShapePoint *p = points.data();
    if (x < p[0].x || x > p[3].x)
        return {};
    // Colour k sits at point k and blends linearly between neighbouring points.
    for (int k = 0; k < 3; ++k) {
        if (x <= p[k + 1].x) {
            float width = p[k + 1].x - p[k].x;
            return mix(colours[k], colours[k + 1], width > 0.0f ? (x - p[k].x) / width : 1.0f);
        }
    }
    return colours[3];
}

void Trapez::draw() const
{
    glBegin(GL_QUADS);
    for (int k = 0; k < 4; ++k) {
        fillColour(colours[k]);
        vertex(points[k]);
    }
    glEnd();
    drawOutlineAndDots();
}

VornTrapez::VornTrapez(const std::string& shapeName) : Trapez(shapeName) {}

ShapeColour VornTrapez::evaluate(const std::vector<float>& values) const
{
    if (values.size() != 1 && values.size() != 2)
        return {};
    const float x = values[0];
    if (x < points[0].x || x > points[3].x)
        return {};
    if (x < points[1].x)
        return colours[0];
    if (x <= points[2].x)
        return colours[1];
    return colours[3];
}

void VornTrapez::hitTest(ShapePoint position)
{
    Trapez::hitTest(position);
    if (editMode != kEditColour || hitState != kHitInside)
        return;
    hitState = kHitPoint;
    hitIndex = position.x < points[1].x ? 0 : (position.x < points[2].x ? 1 : 2);
}

void VornTrapez::draw() const
{
    const ShapePoint* p = points.data();
    const ShapePoint under1{p[1].x, 0.0f}, under2{p[2].x, 0.0f};
    glBegin(GL_TRIANGLES);
    fillColour(colours[0]);
    vertex(p[0]);
    vertex(p[1]);
    vertex(under1);
    fillColour(colours[2]);
    vertex(p[2]);
    vertex(p[3]);
    vertex(under2);
    glEnd();
    glBegin(GL_QUADS);
    fillColour(colours[1]);
    vertex(under1);
    vertex(p[1]);
    vertex(p[2]);
    vertex(under2);
    glEnd();
    drawOutlineAndDots();
}

} // namespace Classification
