// A trapezoid generalised to `vertexCount` points: the feet on the axis, the inner
// points at any height, x never decreasing. Segment k (point k to k + 1) is drawn and
// colour-edited in colour k.
#pragma once

#include "classification/TransferFunctionGeometry.h"

namespace Classification {

class Polygon : public TransferFunctionGeometry {
public:
    int vertexCount;  // number of points, 5

    explicit Polygon(const std::string& shapeName);

    void draw() const override;
    ShapeColour evaluate(const std::vector<float>& values) const override;
    int pointCount() const override { return vertexCount; }
    bool isValid(const std::vector<ShapePoint>& candidate) const override;
    void adjustAfterMove(std::vector<ShapePoint>& candidate) override;
    void setDefaultPoints() override;
    // A colour press inside the shape picks the colour of the segment under it.
    void hitTest(ShapePoint position) override;
};

} // namespace Classification
