// The abstract shape of a transfer function: a small polygon over the unit square of
// intensity (x) and opacity (y), with one colour per point, its HSL colour model and
// the mouse editing that every kind shares. The kinds are in Trapez.h, Triangle.h and
// Polygon.h; the lookup table that rasterises shapes is VornTransferFunction1D.
#pragma once

#include <string>
#include <vector>

namespace Classification {

struct ShapePoint {
    float x, y;  // x: normalised intensity, y: opacity, both 0..1
};

// Red, green, blue, alpha, each 0..1; indexable 0..3 in that order.
struct ShapeColour {
    float r, g, b, a;
    float& operator[](int i) { return (&r)[i]; }
    float operator[](int i) const { return (&r)[i]; }
};

struct HSLColour {
    float h, s, l;  // hue 0..1 (1 wraps to 0), saturation and lightness 0..1
};

// Hit test results (hitState).
enum HitState { kHitPoint = 0, kHitEdge = 1, kHitInside = 2, kHitNothing = 3 };
// GLUT's mouse-button states, as the editor receives them.
enum ButtonState { kButtonDown = 0, kButtonUp = 1 };
// What a drag changes (editMode).
enum EditMode { kEditGeometry = 0, kEditColour = 1 };

class TransferFunctionGeometry {
public:
    std::vector<ShapePoint> points;    // pointCount() of them, the kind's order
    std::vector<ShapeColour> colours;  // one per point; black until the creator sets them
    std::string name;                  // unique within the owning transfer function
    float editorWidth, editorHeight;   // editor size in pixels, 256 until the owner sets it
    int editMode;                      // EditMode of the current drag, 0 at construction
    int hitState;                      // HitState of the last press, 3 (nothing) at construction
    int hitIndex;                      // point, edge or colour that was hit
    float pickRadius;                  // normalised units, 0.03
    float lastX, lastY;                // last editor position, normalised; 0 at construction
    std::vector<HSLColour> hslColours; // editable form of colours, (0, 1, 0.5) at construction

    virtual ~TransferFunctionGeometry();
    TransferFunctionGeometry(const TransferFunctionGeometry&) = delete;
    TransferFunctionGeometry& operator=(const TransferFunctionGeometry&) = delete;

    // Draws the shape in editor pixels; the editor has set up the projection.
    virtual void draw() const = 0;
    // Blends the shape into a size x size RGBA8 table; only the triangle does anything.
    virtual void rasterise2D(unsigned char* table, int size);
    // Colour at the first of one or two data values; (0, 0, 0, 0) for any other count.
    virtual ShapeColour evaluate(const std::vector<float>& values) const = 0;
    virtual float minX() const;  // smallest point x, never above 1
    virtual float maxX() const;  // largest point x, never below 0
    virtual int pointCount() const = 0;
    virtual bool isValid(const std::vector<ShapePoint>& candidate) const = 0;
    // Repairs a candidate after point (or edge) `index` moved, or after the whole shape moved.
    virtual void adjustAfterPointMove(std::vector<ShapePoint>& candidate, int index);
    virtual void adjustAfterMove(std::vector<ShapePoint>& candidate);
    virtual void setDefaultPoints() = 0;
    virtual void hitTest(ShapePoint position);
    virtual bool dragColour(ShapePoint position);
    virtual bool drag(ShapePoint position);

    std::string getName() const { return name; }
    // Clamps the candidate into the unit square and takes it if the kind's rules accept it.
    bool setPoints(const std::vector<ShapePoint>& candidate);
    // colours[index] from hslColours[index]; -1 converts every point.
    void updateColour(int index);
    // The editor's press, in editor pixels from its lower-left corner (GLUT button and state).
    void press(int state, int button, float px, float py);

protected:
    explicit TransferFunctionGeometry(const std::string& shapeName);
    // Sizes the lists and writes the default points; every concrete constructor calls it
    // once its own fields are set, since pointCount() is not virtual yet in the base.
    void initialise();
    // Editor pixel position of a normalised point.
    void vertex(ShapePoint p) const;
    void drawOutlineAndDots() const;
    // The colour drag on hslColours[index]: right turns the hue, up darkens.
    bool shiftColour(int index, ShapePoint position);
};

// (red, green, blue) of a hue, saturation, lightness triple; false for a hue outside 0..1.
bool hslToRgb(const HSLColour& hsl, float rgb[3]);

// Distance from p to the segment a-b: perpendicular when p projects onto it.
float distanceToSegment(ShapePoint p, ShapePoint a, ShapePoint b);

} // namespace Classification
