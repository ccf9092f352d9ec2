// Which of organ and body the mix pass puts in front, without GL.
#include "app/Scene.h"

#include <gtest/gtest.h>

TEST(OrganNearness, OrganInFrontOnlyWhenStrictlyNearerTheLastCamera)
{
    PlayerState p{};
    p.eye[0] = 1.0f;  // the start camera, at (1, 0, 0)
    p.organPose = Pose{0, 0.7f, 0, 0, 0};
    EXPECT_FALSE(organIsNearer(p)) << "the lifted organ is farther than the body";

    p.organPose = Pose{0.5f, 0, 0, 0, 0};
    EXPECT_TRUE(organIsNearer(p));
    p.bodyPose = p.organPose;
    EXPECT_FALSE(organIsNearer(p)) << "equal poses: a tie is not nearer";

    // Same distance from different places is a tie too; rotations do not count.
    p.bodyPose = Pose{1, 1, 0, 0, 0};
    p.organPose = Pose{0, 0, 0, 90, 45};
    EXPECT_FALSE(organIsNearer(p));

    // The camera the last render used decides: from above, the lifted organ is nearer.
    p.bodyPose = Pose{0, 0, 0, 0, 0};
    p.organPose = Pose{0, 0.7f, 0, 0, 0};
    p.eye[0] = 0;
    p.eye[1] = 1;
    EXPECT_TRUE(organIsNearer(p));
}
