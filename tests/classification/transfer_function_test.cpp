// Shape management by name, the visible range and loading ".tfn" files into shapes,
// without a window (the table is rasterised but not uploaded).
#include "TableTransferFunction.h"

#include "classification/Polygon.h"
#include "classification/Trapez.h"
#include "classification/Triangle.h"

#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <string>

using namespace Classification;

namespace {

const char* const kSkinRecord = "1\nSkin\n900\n1400\n100\n200\n0.3\nunused\n16777215\n8421504\n255\n";

std::vector<std::string> names(const TransferFunction& tf)
{
    std::vector<std::string> out;
    for (const TransferFunctionGeometry* s : tf.shapes)
        out.push_back(s->getName());
    return out;
}

// Writes `text` as a ".tfn" file and loads it into `tf`.
bool load(TableTransferFunction& tf, const std::string& text)
{
    testfs::ScratchDir dir;
    dir.write("test.tfn", text);
    return tf.loadFromFile(dir.file("test.tfn"));
}

} // namespace

TEST(TransferFunction, ShapeFactoryMakesNamesUniqueAndKnowsFourKinds)
{
    TableTransferFunction tf;
    tf.setEditorWidth(500.0f);
    EXPECT_EQ(tf.addShape("Skin", "VornTrapez"), "Skin");
    EXPECT_EQ(tf.addShape("Skin", "Trapez"), "Skin0");
    EXPECT_EQ(tf.addShape("Skin", "Polygon"), "Skin1");
    EXPECT_EQ(tf.addShape("Skin1", "Triangle"), "Skin10");
    EXPECT_EQ(tf.addShape("Skin", "Circle"), "");
    EXPECT_EQ(tf.addShape("Skin", "vorntrapez"), "");
    EXPECT_EQ(names(tf), (std::vector<std::string>{"Skin", "Skin0", "Skin1", "Skin10"}));
    EXPECT_NE(dynamic_cast<VornTrapez*>(tf.getShape("Skin")), nullptr);
    EXPECT_EQ(dynamic_cast<VornTrapez*>(tf.getShape("Skin0")), nullptr);
    EXPECT_NE(dynamic_cast<Trapez*>(tf.getShape("Skin0")), nullptr);
    EXPECT_NE(dynamic_cast<Polygon*>(tf.getShape("Skin1")), nullptr);
    EXPECT_NE(dynamic_cast<Triangle*>(tf.getShape("Skin10")), nullptr);
    tf.setEditorHeight(300.0f);
    for (const TransferFunctionGeometry* s : tf.shapes) {
        EXPECT_EQ(s->editorWidth, 500.0f);  // the owner's editor size, also for later shapes
        EXPECT_EQ(s->editorHeight, 300.0f);
    }
    EXPECT_EQ(tf.updates, 0);  // adding does not touch the range or the table
    EXPECT_EQ(tf.rangeMin, 1.0f);
}

// Only the names the decimal numbering writes count as taken, and the smallest free
// number wins.
TEST(TransferFunction, UniqueNamesTakeTheSmallestFreeNumberAndOnlyPlainDecimals)
{
    TableTransferFunction tf;
    for (const char* n : {"Skin", "Skin1", "Skin01", "Skin-0", "Skin+0", "Skin 0", "Skin0x", "A12"})
        tf.addShape(n, "VornTrapez");
    EXPECT_EQ(tf.addShape("Skin", "VornTrapez"), "Skin0");
    EXPECT_EQ(tf.addShape("Skin", "VornTrapez"), "Skin2");  // Skin1 was there already
    EXPECT_EQ(tf.addShape("A1", "VornTrapez"), "A1");
    EXPECT_EQ(tf.addShape("A1", "VornTrapez"), "A10");
    EXPECT_EQ(tf.addShape("A1", "VornTrapez"), "A11");
    EXPECT_EQ(tf.addShape("A1", "VornTrapez"), "A13");  // A12 is A1 followed by 2
    EXPECT_EQ(tf.addShape("", "VornTrapez"), "");       // the empty name is free once
    EXPECT_EQ(tf.addShape("", "VornTrapez"), "0");

    TableTransferFunction many;
    for (int i = 0; i < 300; ++i)
        many.addShape("Skin", "VornTrapez");
    EXPECT_EQ(many.shapes[299]->getName(), "Skin298");
    EXPECT_TRUE(many.removeShape("Skin100"));
    EXPECT_EQ(many.addShape("Skin", "Trapez"), "Skin100");  // a freed number is reused first
    EXPECT_EQ(many.addShape("Skin", "Trapez"), "Skin299");
}

TEST(TransferFunction, RemoveShapeDeletesFirstOfNameAndKeepsOrderAndSelection)
{
    TableTransferFunction tf;
    for (const char* n : {"Heart", "test", "Bone", "test"})
        tf.addShape(n, "VornTrapez");
    EXPECT_FALSE(tf.removeShape("Lung"));
    EXPECT_EQ(tf.getShape("Lung"), nullptr);
    tf.selectedShape = 2;  // Bone
    EXPECT_TRUE(tf.removeShape("test"));
    EXPECT_EQ(names(tf), (std::vector<std::string>{"Heart", "Bone", "test0"}));
    EXPECT_EQ(tf.selectedShape, 1);  // still Bone
    EXPECT_TRUE(tf.removeShape("Bone"));
    EXPECT_EQ(tf.selectedShape, -1);
    EXPECT_EQ(tf.addShape("test", "VornTrapez"), "test");  // the name is free again
}

TEST(TransferFunction, VisibleRangeSpansEveryShapeAndIsEmptyWithoutShapes)
{
    TableTransferFunction tf;
    tf.computeVisibleRange();
    EXPECT_EQ(tf.rangeMin, 1.0f);
    EXPECT_EQ(tf.rangeMax, 0.0f);

    tf.getShape(tf.addShape("a", "VornTrapez"))->setPoints({{0.3f, 0.0f}, {0.4f, 0.5f}, {0.5f, 0.5f}, {0.6f, 0.0f}});
    tf.getShape(tf.addShape("b", "VornTrapez"))->setPoints({{0.1f, 0.0f}, {0.2f, 0.5f}, {0.3f, 0.5f}, {0.45f, 0.0f}});
    // A triangle cut to nothing reports (1, 0) and widens nothing.
    TransferFunctionGeometry* t = tf.getShape(tf.addShape("t", "Triangle"));
    ASSERT_TRUE(t->setPoints({{0.0f, 0.0f}, {0.0f, 0.5f}, {0.95f, 0.5f}, {0.99f, 0.5f}}));
    tf.computeVisibleRange();
    EXPECT_FLOAT_EQ(tf.rangeMin, 0.1f);
    EXPECT_FLOAT_EQ(tf.rangeMax, 0.6f);
}

TEST(TransferFunction, LoadedFileBecomesShapesRangeAndTable)
{
    TableTransferFunction tf;
    tf.addShape("Bone", "VornTrapez");  // loading adds to what is there
    ASSERT_TRUE(load(tf, std::string("2\n") + kSkinRecord + kSkinRecord));
    EXPECT_EQ(names(tf), (std::vector<std::string>{"Bone", "Skin", "Skin0"}));
    const TransferFunctionGeometry* skin = tf.getShape("Skin0");
    EXPECT_NE(dynamic_cast<const VornTrapez*>(skin), nullptr);
    EXPECT_EQ(skin->points[1].x, 0.244140625f);
    EXPECT_EQ(skin->colours[2].r, 0.99609375f);
    EXPECT_EQ(skin->colours[3].r, 0.0f);  // the fourth colour is not in the file
    EXPECT_EQ(tf.updates, 1);
    EXPECT_EQ(tf.rangeMin, 0.2f);  // the default "Bone" reaches further left
    EXPECT_EQ(tf.rangeMax, 0.8f);
    // Entry 60 (x = 0.235): the skin's left ramp (0.19) beats the default shape's (0.14).
    EXPECT_GT(tf.alphaAt(60), 12000);
    EXPECT_LT(tf.alphaAt(60), 13000);

    // An empty file still rebuilds (the same table); a missing one changes nothing.
    EXPECT_TRUE(load(tf, "0\n"));
    EXPECT_EQ(tf.updates, 2);
    EXPECT_FALSE(tf.loadFromFile("/nonexistent/quillet/none.tfn"));
    EXPECT_EQ(tf.updates, 2);
    EXPECT_EQ(tf.shapes.size(), 3u);
}

TEST(TransferFunction, UnsupportedKindStopsWithMessageKeepsEarlierShapesAndLeavesTableAlone)
{
    TableTransferFunction tf;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(load(tf, std::string("2\n") + kSkinRecord + "2\nOdd\n"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Format not supported\n");
    EXPECT_EQ(names(tf), (std::vector<std::string>{"Skin"}));
    EXPECT_EQ(tf.updates, 0);
    EXPECT_EQ(tf.rangeMin, 1.0f);  // not recomputed either
}

TEST(TransferFunction, ShortFileKeepsCompleteShapesWithConsistentTable)
{
    // Three records announced, the second cut after its body.
    const std::string second = std::string(kSkinRecord).substr(0, std::string(kSkinRecord).find("16777215"));
    TableTransferFunction tf;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(load(tf, std::string("3\n") + kSkinRecord + second));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::string warning = testing::internal::GetCapturedStdout();
    EXPECT_EQ(warning.rfind("Warning: /", 0), 0u) << warning;
    EXPECT_NE(warning.find("/test.tfn is cut short; 1 complete records read\n"), std::string::npos) << warning;
    EXPECT_EQ(names(tf), (std::vector<std::string>{"Skin"}));
    // Range and table describe the one shape that was read.
    EXPECT_EQ(tf.updates, 1);
    EXPECT_EQ(tf.rangeMin, 0.2197265625f);
    EXPECT_EQ(tf.rangeMax, 0.341796875f);
    EXPECT_GT(tf.alphaAt(60), 0);
    EXPECT_EQ(tf.alphaAt(100), 0);
}

TEST(TransferFunction, RejectedRecordPointsKeepDefaultShapeWithFileColours)
{
    TableTransferFunction tf;
    // The left ramp ends after the right ramp begins.
    EXPECT_TRUE(load(tf, "1\n1\nBad\n900\n1000\n300\n300\n0.5\n\n255\n255\n255\n"));
    const TransferFunctionGeometry* bad = tf.getShape("Bad");
    ASSERT_NE(bad, nullptr);
    EXPECT_FLOAT_EQ(bad->points[0].x, 0.2f);
    EXPECT_FLOAT_EQ(bad->points[1].y, 0.8f);
    EXPECT_EQ(bad->colours[0].r, 0.99609375f);

    // Out-of-range values are clamped into the unit square.
    ASSERT_TRUE(load(tf, "1\n1\nLoud\n-100\n5000\n100\n100\n1.5\n\n0\n0\n0\n"));
    const TransferFunctionGeometry* l = tf.getShape("Loud");
    EXPECT_EQ(l->points[0].x, 0.0f);
    EXPECT_EQ(l->points[1].y, 1.0f);
    EXPECT_EQ(l->points[3].x, 1.0f);
}
