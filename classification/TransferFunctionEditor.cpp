// The transfer-function editor: the mouse handling of TransferFunction and the drawing
// of VornTransferFunction1D (background, histogram, shapes, frame). The game never
// calls it; an owner draws it after the scene and forwards GLUT mouse events.
#include "classification/VornTransferFunction1D.h"

#include <GL/glew.h>

#include <algorithm>

namespace Classification {

namespace {

constexpr float kBackground[4] = {0.0f, 0.0f, 0.0f, 0.5f};
constexpr float kHistogramScale = 1.8f;           // of displayMaximum(): the full height
constexpr float kColumnAlphaBottom = 0.15f;
constexpr float kColumnAlphaRange = 0.65f;        // added at the top of a full column
constexpr float kHistogramLineAlpha = 0.7f;
constexpr float kFrameWidth = 2.0f;

float highestPoint(const TransferFunctionGeometry* shape)
{
    float top = -1.0f;
    for (const ShapePoint& p : shape->points)
        top = std::max(top, p.y);
    return top;
}

// The histogram's bins as heights 0..1 of the editor.
std::vector<float> histogramHeights(ClassificationDiagram::Histogram& histogram)
{
    std::vector<float> heights(histogram.bins.size(), 0.0f);
    const float scale = kHistogramScale * float(histogram.displayMaximum());
    if (scale <= 0.0f)  // nothing counted yet
        return heights;
    for (size_t i = 0; i < heights.size(); ++i)
        heights[i] = std::min(1.0f, std::max(0.0f, float(histogram.bins[i]) / scale));
    return heights;
}

} // namespace

bool TransferFunction::mousePress(int button, int state, int x, int y)
{
    const int flippedY = viewportHeight - y - 1;
    // Only the upper and right bounds are checked: a press left of or below the editor
    // still reaches the shapes, which ignore positions outside their pick area.
    if (!(float(x) < float(marginX) + editorWidth && float(flippedY) < float(marginY) + editorHeight)) {
        // A release ends the grab wherever it happens, or the next forwarded drag would
        // go on editing the shape.
        if (state == kButtonUp)
            for (TransferFunctionGeometry* shape : shapes)
                shape->hitState = kHitNothing;
        return false;
    }

    std::stable_sort(shapes.begin(), shapes.end(),
                     [](const TransferFunctionGeometry* a, const TransferFunctionGeometry* b) {
                         return highestPoint(a) > highestPoint(b);
                     });
    const float px = float(x - int(marginX)), py = float(flippedY - int(marginY));
    for (TransferFunctionGeometry* shape : shapes)
        shape->press(state, button, px, py);

    // A point beats an edge beats an inside hit, whatever the order.
    for (int wanted : {kHitPoint, kHitEdge, kHitInside}) {
        for (size_t i = 0; i < shapes.size(); ++i) {
            if (shapes[i]->hitState == wanted) {
                selectedShape = int(i);
                return true;
            }
        }
    }
    return false;
}

bool TransferFunction::mouseMove(int x, int y)
{
    if (selectedShape < 0 || size_t(selectedShape) >= shapes.size())
        return false;
    TransferFunctionGeometry* shape = shapes[size_t(selectedShape)];
    const ShapePoint position{float(x - int(marginX)) / editorWidth,
                              float(viewportHeight - y - 1 - int(marginY)) / editorHeight};
    bool changed = false;
    if (shape->hitState != kHitNothing) {
        if (shape->editMode == kEditColour)
            changed = shape->dragColour(position);
        else if (shape->editMode == kEditGeometry)
            changed = shape->drag(position);
    }
    // Every step is measured from the previous position, accepted or not.
    shape->lastX = position.x;
    shape->lastY = position.y;
    if (!changed)
        return false;
    update();
    computeVisibleRange();
    return true;
}

void VornTransferFunction1D::draw()
{
    // The groups this drawing changes; depth testing is left enabled on purpose.
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT | GL_CURRENT_BIT | GL_LINE_BIT |
                 GL_POINT_BIT | GL_POLYGON_BIT | GL_TEXTURE_BIT | GL_TRANSFORM_BIT);
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glUseProgram(0);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_3D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const float w = editorWidth, h = editorHeight;
    glViewport(GLint(marginX), GLint(marginY), GLsizei(w), GLsizei(h));
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, w, 0.0, h, 0.0, 2.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    glColor4fv(kBackground);
    glBegin(GL_QUADS);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(w, 0.0f);
    glVertex2f(w, h);
    glVertex2f(0.0f, h);
    glEnd();

    const std::vector<float> heights = histogramHeights(histogram);
    const float binWidth = heights.empty() ? 0.0f : w / float(heights.size());
    glBegin(GL_QUADS);
    for (size_t i = 0; i < heights.size(); ++i) {
        const float x0 = float(i) * binWidth, x1 = x0 + binWidth, top = heights[i] * h;
        const float topAlpha = kColumnAlphaBottom + kColumnAlphaRange * heights[i];
        glColor4f(1.0f, 1.0f, 1.0f, kColumnAlphaBottom);
        glVertex2f(x0, 0.0f);
        glVertex2f(x1, 0.0f);
        glColor4f(1.0f, 1.0f, 1.0f, topAlpha);
        glVertex2f(x1, top);
        glVertex2f(x0, top);
    }
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, kHistogramLineAlpha);
    glBegin(GL_LINE_STRIP);
    for (size_t i = 0; i < heights.size(); ++i)
        glVertex2f(float(i) / float(heights.size()) * w, heights[i] * h);
    glEnd();

    for (const TransferFunctionGeometry* shape : shapes)
        shape->draw();

    glLineWidth(kFrameWidth);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(w, 0.0f);
    glVertex2f(w, h);
    glVertex2f(0.0f, h);
    glEnd();

    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glUseProgram(GLuint(program));
    glPopAttrib();  // also the caller's matrix mode, blending and texture enables
}

} // namespace Classification
