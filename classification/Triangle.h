// A triangle standing on its apex p0 with a horizontal top edge p1-p2 and a horizontal
// cut at the height of the handle p3, below which it is empty. Meant for a square 2D
// table (rasterise2D); the 1D lookup table gives it no meaning. Uses colour 0 only.
#pragma once

#include "classification/TransferFunctionGeometry.h"

namespace Classification {

class Triangle : public TransferFunctionGeometry {
public:
    float handleOffset;  // normalised x from the right edge at the cut to the handle, 0.035

    explicit Triangle(const std::string& shapeName);

    void draw() const override;
    void rasterise2D(unsigned char* table, int size) override;
    ShapeColour evaluate(const std::vector<float>& values) const override;
    float minX() const override;  // 1 when the cut leaves nothing
    float maxX() const override;  // 0 when the cut leaves nothing
    int pointCount() const override { return 4; }
    bool isValid(const std::vector<ShapePoint>& candidate) const override;
    void adjustAfterPointMove(std::vector<ShapePoint>& candidate, int index) override;
    void adjustAfterMove(std::vector<ShapePoint>& candidate) override;
    void setDefaultPoints() override;
    // Edits colour 0 whatever part of the triangle was hit.
    bool dragColour(ShapePoint position) override;

    // Where the cut meets the left and the right edge (the top corners when p1.y is 0).
    ShapePoint leftCutPoint() const { return cutPoint(points, 1); }
    ShapePoint rightCutPoint() const { return cutPoint(points, 2); }

private:
    static ShapePoint cutPoint(const std::vector<ShapePoint>& p, int corner);
    // Steps shared by both repairs: apex on the axis, top clamped, the cut kept at its
    // relative height, the handle placed from the current right cut point.
    void clampTop(std::vector<ShapePoint>& c) const;
    void keepRelativeCut(std::vector<ShapePoint>& c) const;
    void placeHandle(std::vector<ShapePoint>& c) const;
};

} // namespace Classification
