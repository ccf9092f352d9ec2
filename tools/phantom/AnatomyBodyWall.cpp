// The table, the layers of the trunk wall and the two body cavities, and the order in
// which all parts of the body are painted.
#include "tools/phantom/Anatomy.h"
#include "tools/phantom/Landmarks.h"
#include "tools/phantom/Tissue.h"

namespace phantom {

Anatomy buildAnatomy()
{
    Anatomy body;
    addBodyWall(body);
    addThorax(body);
    addAbdomen(body);
    addMuscles(body);
    addSkeleton(body);
    return body;
}

Shape thoracicCavity()
{
    return torso(0, 1, 1).subtract(abdomenBelowDiaphragm(-4.0));
}

Shape abdominalCavity()
{
    return torso(0, 1, 1).intersect(abdomenBelowDiaphragm(4.0));
}

void addBodyWall(Anatomy& body)
{
    // A board under the back, longer than the scan, with a steel marker bead in it: the
    // one place where the top of the 12-bit range occurs. The bead's centre is a voxel
    // centre, so that voxel is metal through and through.
    body.push_back({"table", Organ::Table, hu::kTable,
                    ellipsoid({200, 20, 320}, {188, 8, 420}, Mat3{}, 6.0, 6.0)});
    body.push_back({"marker", Organ::Marker, hu::kMetal, ellipsoid(Grid::centre(127, 7, 251), {3, 3, 3})});

    // The trunk wall from the outside in, each layer painted over the last.
    body.push_back({"skin", Organ::Skin, hu::kSkin, torso(0, 0, 0)});
    body.push_back({"subcutaneous fat", Organ::Fat, hu::kFat, torso(2.5, 0, 0)});
    body.push_back({"muscle wall", Organ::Muscle, hu::kMuscle, torso(0, 1, 0)});
    body.push_back({"body cavity", Organ::CavityFat, hu::kVisceralFat, torso(0, 1, 1)});
    // The diaphragm is the band left between the thoracic and the abdominal cavity.
    body.push_back({"diaphragm", Organ::Diaphragm, hu::kMuscle,
                    torso(0, 1, 1).intersect(abdomenBelowDiaphragm(-4.0))});
    body.push_back({"abdominal fat", Organ::CavityFat, hu::kVisceralFat, abdominalCavity()});
}

} // namespace phantom
