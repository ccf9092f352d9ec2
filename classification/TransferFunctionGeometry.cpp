#include "classification/TransferFunctionGeometry.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

namespace Classification {

namespace {

constexpr float kPickRadius = 0.03f;
constexpr float kDefaultEditorSize = 256.0f;
constexpr HSLColour kDefaultHSL = {0.0f, 1.0f, 0.5f};  // pure red until the first edit
constexpr float kOutlineGrey[4] = {0.7f, 0.7f, 0.7f, 1.0f};
constexpr float kDotSize = 8.0f;
constexpr int kLeftButton = 0, kRightButton = 2;  // GLUT mouse buttons

float clampUnit(float v)
{
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

float distance(ShapePoint a, ShapePoint b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y));
}

// Even-odd rule, counting the edges crossed by a ray from p toward larger x.
bool insidePolygon(const std::vector<ShapePoint>& poly, ShapePoint p)
{
    bool inside = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const ShapePoint& a = poly[i];
        const ShapePoint& b = poly[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

} // namespace

bool hslToRgb(const HSLColour& hsl, float rgb[3])
{
    float h = hsl.h, s = hsl.s, l = hsl.l;
    if (s == 0.0f) {
        rgb[0] = rgb[1] = rgb[2] = l;
        return true;
    }
    float q = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
    float p = 2.0f * l - q;
    if (h == 1.0f)
        h = 0.0f;
    float h6 = h * 6.0f;
    if (!(h6 >= 0.0f && h6 < 6.0f))  // also rejects NaN before the integer conversion
        return false;
    int sector = int(h6);
    float f = h6 - float(sector);
    float rising = p + f * (q - p);
    float falling = q + (p - q) * f;
    const float table[6][3] = {
        {q, rising, p}, {falling, q, p}, {p, q, rising},
        {p, falling, q}, {rising, p, q}, {q, p, falling},
    };
    std::copy(table[sector], table[sector] + 3, rgb);
    return true;
}

float distanceToSegment(ShapePoint p, ShapePoint a, ShapePoint b)
{
    float dx = b.x - a.x, dy = b.y - a.y;
    float lengthSq = dx * dx + dy * dy;
    if (lengthSq > 0.0f) {
        float t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSq;
        if (t >= 0.0f && t <= 1.0f)
            return std::fabs((p.x - a.x) * dy - (p.y - a.y) * dx) / std::sqrt(lengthSq);
    }
    return std::min(distance(p, a), distance(p, b));
}

TransferFunctionGeometry::TransferFunctionGeometry(const std::string& shapeName)
    : name(shapeName), editorWidth(kDefaultEditorSize), editorHeight(kDefaultEditorSize),
      editMode(kEditGeometry), hitState(kHitNothing), hitIndex(0), pickRadius(kPickRadius),
      lastX(0.0f), lastY(0.0f)
{
}

TransferFunctionGeometry::~TransferFunctionGeometry() = default;

void TransferFunctionGeometry::initialise()
{
    size_t n = size_t(std::max(0, pointCount()));
    points.assign(n, ShapePoint{0.0f, 0.0f});
    colours.assign(n, ShapeColour{0.0f, 0.0f, 0.0f, 0.0f});
    hslColours.assign(n, kDefaultHSL);
    setDefaultPoints();
}

void TransferFunctionGeometry::rasterise2D(unsigned char*, int) {}

float TransferFunctionGeometry::minX() const
{
    float m = 1.0f;
    for (const ShapePoint& p : points)
        m = std::min(m, p.x);
    return m;
}

float TransferFunctionGeometry::maxX() const
{
    float m = 0.0f;
    for (const ShapePoint& p : points)
        m = std::max(m, p.x);
    return m;
}

void TransferFunctionGeometry::adjustAfterPointMove(std::vector<ShapePoint>&, int) {}

void TransferFunctionGeometry::adjustAfterMove(std::vector<ShapePoint>&) {}

bool TransferFunctionGeometry::setPoints(const std::vector<ShapePoint>& candidate)
{
    std::vector<ShapePoint> copy = candidate;
    for (ShapePoint& p : copy) {
        p.x = clampUnit(p.x);
        p.y = clampUnit(p.y);
    }
    if (!isValid(copy))
        return false;
    points = copy;
    return true;
}

void TransferFunctionGeometry::updateColour(int index)
{
    if (index == -1) {
        for (size_t i = 0; i < hslColours.size(); ++i)
            updateColour(int(i));
        return;
    }
    if (index < 0 || size_t(index) >= hslColours.size() || size_t(index) >= colours.size())
        return;
    float rgb[3];
    if (hslToRgb(hslColours[index], rgb))
        colours[index] = ShapeColour{rgb[0], rgb[1], rgb[2], 0.0f};
}

void TransferFunctionGeometry::hitTest(ShapePoint position)
{
    const float r = pickRadius;
    const size_t n = points.size();
    for (size_t i = 0; i < n; ++i) {
        if (distance(points[i], position) < r) {
            hitState = kHitPoint;
            hitIndex = int(i);
            return;
        }
    }
    for (size_t k = 0; k < n; ++k) {
        if (distanceToSegment(position, points[k], points[(k + 1) % n]) < r) {
            hitState = kHitEdge;
            hitIndex = int(k);
            return;
        }
    }
    hitState = n > 0 && insidePolygon(points, position) ? kHitInside : kHitNothing;
    hitIndex = 0;
}

void TransferFunctionGeometry::press(int state, int button, float px, float py)
{
    if (state == kButtonUp) {
        hitState = kHitNothing;
        return;
    }
    if (state != kButtonDown)
        return;
    ShapePoint position{px / editorWidth, py / editorHeight};
    lastX = position.x;
    lastY = position.y;
    const float lo = -pickRadius, hi = 1.0f + pickRadius;
    if (position.x < lo || position.x > hi || position.y < lo || position.y > hi)
        return;
    // The mode is known before the hit test, whose colour overrides depend on it.
    if (button == kLeftButton)
        editMode = kEditGeometry;
    else if (button == kRightButton)
        editMode = kEditColour;
    hitTest(position);
}

bool TransferFunctionGeometry::drag(ShapePoint position)
{
    const float dx = position.x - lastX, dy = position.y - lastY;
    std::vector<ShapePoint> copy = points;
    const int n = int(copy.size());
    auto move = [&](int i) {
        copy[i].x += dx;
        copy[i].y += dy;
    };
    switch (hitState) {
    case kHitPoint:
        if (hitIndex < 0 || hitIndex >= n)
            return false;
        move(hitIndex);
        adjustAfterPointMove(copy, hitIndex);
        break;
    case kHitEdge:
        if (hitIndex < 0 || hitIndex >= n)
            return false;
        move(hitIndex);
        move((hitIndex + 1) % n);
        adjustAfterPointMove(copy, hitIndex);
        break;
    case kHitInside:
        for (int i = 0; i < n; ++i)
            move(i);
        adjustAfterMove(copy);
        break;
    default:
        return false;
    }
    // No clamping: a step that leaves the unit square is rejected whole.
    if (!isValid(copy))
        return false;
    points = copy;
    return true;
}

bool TransferFunctionGeometry::dragColour(ShapePoint position)
{
    return hitState == kHitPoint && shiftColour(hitIndex, position);
}

bool TransferFunctionGeometry::shiftColour(int index, ShapePoint position)
{
    if (index < 0 || size_t(index) >= hslColours.size())
        return false;
    HSLColour& hsl = hslColours[index];
    hsl.h += position.x - lastX;
    hsl.l -= position.y - lastY;
    // Wrapped with floor: adding 1 until non-negative never ends once |h| >= 2^24.
    hsl.h -= std::floor(hsl.h);
    if (hsl.h >= 1.0f)  // a tiny negative hue rounds up to 1
        hsl.h = 0.0f;
    hsl.l = clampUnit(hsl.l);
    updateColour(index);
    return true;
}

void TransferFunctionGeometry::vertex(ShapePoint p) const
{
    glVertex2f(p.x * editorWidth, p.y * editorHeight);
}

void TransferFunctionGeometry::drawOutlineAndDots() const
{
    glLineWidth(1.0f);
    glColor4fv(kOutlineGrey);
    glBegin(GL_LINE_STRIP);
    for (const ShapePoint& p : points)
        vertex(p);
    glEnd();
    glPointSize(kDotSize);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_POINTS);
    for (const ShapePoint& p : points)
        vertex(p);
    glEnd();
}

} // namespace Classification
