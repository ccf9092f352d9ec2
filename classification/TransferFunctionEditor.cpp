// The transfer-function editor: the mouse handling of TransferFunction and the drawing
// of VornTransferFunction1D. Not written yet: nothing is drawn and presses and moves
// change nothing.
#include "classification/VornTransferFunction1D.h"

namespace Classification {

bool TransferFunction::mousePress(int, int, int, int)
{
    return false;
}

bool TransferFunction::mouseMove(int, int)
{
    return false;
}

void VornTransferFunction1D::draw() {}

} // namespace Classification
