// The two trapezoid kinds: left foot, left shoulder, right shoulder, right foot, the
// feet on the axis and the shoulders at one height. `Trapez` blends colour k at point k;
// `VornTrapez` (the kind the game uses) colours ramp, plateau and ramp separately and
// lets the colour editor pick those three colours by clicking inside the shape.
#pragma once

#include "classification/TransferFunctionGeometry.h"

namespace Classification {

class Trapez : public TransferFunctionGeometry {
public:
    explicit Trapez(const std::string& shapeName);

    void draw() const override;
    ShapeColour evaluate(const std::vector<float>& values) const override;
    int pointCount() const override { return 4; }
    bool isValid(const std::vector<ShapePoint>& candidate) const override;
    void adjustAfterPointMove(std::vector<ShapePoint>& candidate, int index) override;
    void adjustAfterMove(std::vector<ShapePoint>& candidate) override;
    void setDefaultPoints() override;
};

class VornTrapez : public Trapez {
public:
    explicit VornTrapez(const std::string& shapeName);

    void draw() const override;
    ShapeColour evaluate(const std::vector<float>& values) const override;
    // A colour press inside the shape picks the colour of the part under it:
    // 0 left ramp, 1 plateau, 2 right ramp.
    void hitTest(ShapePoint position) override;
};

} // namespace Classification
