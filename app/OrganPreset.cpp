#include "app/LevelTable.h"
#include "app/Levels.h"

#include "classification/PreintTransferFunction1D.h"
#include "classification/TransferFunctionGeometry.h"

#include <vector>

void applyOrganPreset(PlayerState& p, int presetId)
{
    Classification::PreintTransferFunction1D* tf = p.organTransfer;
    const game::OrganPreset* preset = game::findOrganPreset(presetId);
    if (!tf || !preset)
        return;
    tf->removeShape(game::kOrganFileShapeName);
    tf->removeShape(game::kOrganShapeName);
    tf->addShape(game::kOrganShapeName, "VornTrapez");
    Classification::TransferFunctionGeometry* shape = tf->getShape(game::kOrganShapeName);
    if (shape) {
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 4; ++k)
                shape->colours[c][k] = preset->colours[c][k];
        std::vector<Classification::ShapePoint> points;
        for (const auto& xy : preset->points)
            points.push_back(Classification::ShapePoint{xy[0], xy[1]});
        shape->setPoints(points);
    }
    tf->computeVisibleRange();
    tf->update();
    tf->computePreintegration();
}
