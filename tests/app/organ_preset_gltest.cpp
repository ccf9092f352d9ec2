// A level's organ colouring rebuilt on a real transfer function and uploaded.
#include "app/LevelTable.h"
#include "app/Levels.h"
#include "classification/PreintTransferFunction1D.h"
#include "classification/TransferFunctionGeometry.h"
#include "tests/support/GLTestSupport.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace {

// An organ file with the shape the levels replace ("Heart") and one they keep.
std::string writeOrganFile()
{
    std::string path = "/tmp/quillet-organ-" + std::to_string(getpid()) + ".tfn";
    std::ofstream out(path);
    out << "2\n"
        << "1\nHeart\n300\n900\n100\n100\n0.4\nx\n255\n255\n255\n"
        << "1\nVessel\n2000\n2400\n50\n50\n0.2\nx\n65280\n65280\n65280\n";
    return path;
}

} // namespace

TEST(OrganPreset, LevelShapeReplacesHeartKeepsOtherShapesAndReachesBothTables)
{
    std::string file = writeOrganFile();
    auto tf = std::make_unique<Classification::PreintTransferFunction1D>();
    tf->setTableSize(256);
    tf->setTextureUnit(2);
    tf->preintTexture.unit = 5;
    ASSERT_TRUE(tf->loadFromFile(file));
    tf->computePreintegration();
    tf->setTableSize(128);
    std::remove(file.c_str());

    PlayerState p{};
    p.organTransfer = tf.get();
    applyOrganPreset(p, 0);

    ASSERT_EQ(tf->shapes.size(), 2u);
    EXPECT_EQ(tf->getShape("Heart"), nullptr);
    ASSERT_NE(tf->getShape("Vessel"), nullptr) << "shapes of other names stay";
    Classification::TransferFunctionGeometry* shape = tf->getShape("test");
    ASSERT_NE(shape, nullptr);
    const game::OrganPreset& preset = *game::findOrganPreset(0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(shape->points[i].x, preset.points[i][0]);
        EXPECT_EQ(shape->points[i].y, preset.points[i][1]);
    }
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(shape->colours[c][k], preset.colours[c][k]);
    EXPECT_EQ(tf->rangeMin, 0.03f);
    EXPECT_EQ(tf->rangeMax, 2400.0f / 4096.0f);

    // Entry 15 of 128 (intensity 0.118) lies on preset 0's plateau: colour (0.7, 0.4, 0.3)
    // and opacity 0.3, in 16 bits truncated; it reaches the uploaded texture.
    const unsigned short* entry = tf->lookupTable + 15 * 4;
    EXPECT_EQ(entry[0], 45874);
    EXPECT_EQ(entry[1], 26214);
    EXPECT_EQ(entry[2], 19660);
    EXPECT_EQ(entry[3], 19660);
    std::vector<float> texels = gltest::readTexture(GL_TEXTURE_1D, tf->lookupTexture.handle, 128);
    EXPECT_NEAR(texels[15 * 4 + 3], 0.3f, 1e-4f);
    // The pre-integration table was computed from the new lookup table: the segment
    // (15, 15) lies wholly on the plateau.
    const unsigned short* segment = tf->preintTable + (15 * 128 + 15) * 4;
    EXPECT_GT(segment[3], 0);

    // The next level's preset replaces "test" again instead of adding a second one.
    applyOrganPreset(p, 5);
    EXPECT_EQ(tf->shapes.size(), 2u);
    EXPECT_EQ(tf->getShape("test0"), nullptr);
    EXPECT_EQ(tf->getShape("test")->points[0].x, 0.28f);
    EXPECT_EQ(tf->lookupTable[15 * 4 + 3], 0) << "0.118 is outside preset 5";
    EXPECT_EQ(tf->preintTable[(15 * 128 + 15) * 4 + 3], 0);

    // A preset the table does not hold changes nothing.
    applyOrganPreset(p, 1);
    EXPECT_EQ(tf->getShape("test")->points[0].x, 0.28f);
}
