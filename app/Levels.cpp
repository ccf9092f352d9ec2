#include "app/Levels.h"

void startLevel(PlayerState& p, int level, unsigned time)
{
    p.levelStartTime = time;
    p.level = level;
    p.bodyPose = Pose{0, 0, 0, 0, 0};
}
