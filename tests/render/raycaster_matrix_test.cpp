// The ray caster's modelview inverse, which places the eye and the light in object space.
#include "render/Matrix4.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void multiply(const double a[16], const double b[16], double out[16])
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += a[4 * k + r] * b[4 * c + k];
            out[4 * c + r] = s;
        }
}

void fromRows(const double (&rows)[4][4], double out[16])
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[4 * c + r] = rows[r][c];
}

void expectIdentity(const double m[16], double tolerance)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m[i], (i % 5 == 0) ? 1.0 : 0.0, tolerance) << "element " << i;
}

} // namespace

TEST(RaycasterMatrix, InverseOfTheStartCameraPlacesTheEye)
{
    // A look-at from (1, 0, 0) to the origin with up +y, then translate(-0.3, -0.25, -0.5):
    // the game's start camera over a centred volume.
    const double camera[16] = {0, 0, 1, 0,  0, 1, 0, 0,  -1, 0, 0, 0,  0, 0, -1, 1};
    const double centre[16] = {1, 0, 0, 0,  0, 1, 0, 0,  0, 0, 1, 0,  -0.3, -0.25, -0.5, 1};
    double modelview[16], inv[16], product[16];
    multiply(camera, centre, modelview);
    ASSERT_TRUE(invertMatrix4(modelview, inv));
    // The eye sits at the translation column: (1, 0, 0) in world, shifted by the centre.
    EXPECT_NEAR(inv[12], 1.3, 1e-12);
    EXPECT_NEAR(inv[13], 0.25, 1e-12);
    EXPECT_NEAR(inv[14], 0.5, 1e-12);
    multiply(modelview, inv, product);
    expectIdentity(product, 1e-12);
}

TEST(RaycasterMatrix, ScaledPivotingKeepsSmallEntriesOfLargeRows)
{
    // Rows (2, 2e20) and (1, 1): plain partial pivoting picks the first row for column 0
    // and rounds the 1 of the second row away, giving 0 for the inverse's first element.
    // Measured against its row's largest element the second row wins, and the inverse
    // comes out exact: (1 / det) (1, -2e20; -1, 2) with det = 2 - 2e20.
    double m[16], inv[16], product[16];
    fromRows({{2, 2e20, 0, 0}, {1, 1, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 4}}, m);
    ASSERT_TRUE(invertMatrix4(m, inv));
    const double det = 2.0 - 2e20;
    EXPECT_NEAR(inv[0], 1.0 / det, 1e-30);            // row 0, column 0
    EXPECT_NEAR(inv[1], -1.0 / det, 1e-30);           // row 1, column 0
    EXPECT_NEAR(inv[4], -2e20 / det, 1e-12);          // row 0, column 1
    EXPECT_NEAR(inv[5], 2.0 / det, 1e-30);            // row 1, column 1
    multiply(m, inv, product);
    expectIdentity(product, 1e-9);
}

TEST(RaycasterMatrix, SingularMatricesGiveTheIdentity)
{
    const double singular[3][4][4] = {
        {{1, 0, 0, 5}, {0, 1, 0, 6}, {0, 0, 0, 0}, {0, 0, 0, 1}},  // an all-zero row
        {{1, 0, 0, 2}, {0, 1, 0, 3}, {0, 0, 1, 0}, {1, 1, 0, 5}},  // zero last pivot: row 3 = row 0 + row 1
        // A zero pivot before the last column (columns 0 and 1 equal) must not divide by
        // zero and spread infinities.
        {{1, 1, 0, 0}, {2, 2, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
    };
    for (const auto& rows : singular) {
        double m[16], inv[16];
        fromRows(rows, m);
        EXPECT_FALSE(invertMatrix4(m, inv));
        expectIdentity(inv, 0);
    }
}
