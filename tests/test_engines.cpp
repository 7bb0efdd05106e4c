// The colour engine's ramp, its range inputs and its warnings; the
// product engine reads and writes and leaves its outputs alone.
#include "TestSupport.h"

#include <qvSuiteAll.h>

#include <Inventor/nodes/SoPackedColor.h>
#include <Inventor/nodes/SoSeparator.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

class Engines : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { qvTestInit(); }

    void SetUp() override
    {
        series = new qvData2RNFloat;
        series->ref();
        std::vector<float> values;
        for (int v = 0; v <= 10; ++v)
            values.push_back((float)v);
        setData(values);
        engine = new qvData2ToPackedColor;
        engine->ref();
        engine->qvDataNode = series;
        colors = new SoPackedColor;
        colors->ref();
        colors->orderedRGBA.connectFrom(&engine->packedColors);
    }
    void TearDown() override
    {
        colors->unref();
        engine->unref();
        series->unref();
    }
    void setData(const std::vector<float> &values)
    {
        series->data.setNum((int)values.size());
        series->data.setValues(0, (int)values.size(), values.data());
    }
    // Hue of output value k (reading it evaluates the engine).
    float hue(int k)
    {
        SbColor c;
        float transparency;
        c.setPackedValue(colors->orderedRGBA[k], transparency);
        float h, s, v;
        c.getHSVValue(h, s, v);
        EXPECT_FLOAT_EQ(s, 1.0f);
        EXPECT_FLOAT_EQ(v, 1.0f);
        EXPECT_EQ(transparency, 0.0f);
        return h;
    }
    qvData2RNFloat *series;
    qvData2ToPackedColor *engine;
    SoPackedColor *colors;
};

TEST_F(Engines, RampFromBlueToRed)
{
    ASSERT_EQ(colors->orderedRGBA.getNum(), 11);
    EXPECT_NEAR(hue(0), 0.66f, 0.004f);
    EXPECT_NEAR(hue(5), 0.33f, 0.004f);
    EXPECT_EQ(colors->orderedRGBA[10], 0xFF0000FFu); // pure red, opaque
    uint32_t blue = colors->orderedRGBA[0];
    EXPECT_EQ(blue >> 24, 0u);           // no red
    EXPECT_EQ((blue >> 8) & 0xFF, 255u); // full blue
    EXPECT_LT((blue >> 16) & 0xFF, 16u); // next to no green at hue 0.66
    for (int k = 1; k <= 10; ++k)
        EXPECT_LT(hue(k), hue(k - 1)) << k;
}

TEST_F(Engines, SetRangeClamps)
{
    engine->minimum = 2;
    engine->maximum = 4;
    const float blue = 0.66f;
    float expected[] = {blue, blue, blue, 0.33f, 0, 0, 0, 0, 0, 0, 0};
    for (int k = 0; k <= 10; ++k)
        EXPECT_NEAR(hue(k), expected[k], 0.004f) << k;
}

TEST_F(Engines, ZeroWidthRangeGivesStartColour)
{
    engine->minimum = 3;
    engine->maximum = 3;
    for (int k = 0; k <= 10; ++k)
        EXPECT_NEAR(hue(k), 0.66f, 0.004f) << k;
    // A series of one repeated value, range not set, does the same.
    engine->minimum.setDefault(TRUE);
    engine->maximum.setDefault(TRUE);
    engine->minimum.touch();
    setData({0, 0, 0});
    ASSERT_EQ(colors->orderedRGBA.getNum(), 3);
    EXPECT_NEAR(hue(2), 0.66f, 0.004f);
}

TEST_F(Engines, FollowsTheSeries)
{
    setData({0, 1, 2, 3, 4, 5});
    series->dim2.setValues(0, 2, std::vector<float>{0, 1}.data());
    ASSERT_EQ(colors->orderedRGBA.getNum(), 6);
    EXPECT_EQ(colors->orderedRGBA[5], 0xFF0000FFu);
    // An empty series gives an empty output.
    series->data.setNum(0);
    EXPECT_EQ(colors->orderedRGBA.getNum(), 0);
}

TEST_F(Engines, UnconnectedOrWrongNodeWarnsAndKeepsOutput)
{
    ASSERT_EQ(colors->orderedRGBA.getNum(), 11);
    qvData1RFloat *oneDimensional = new qvData1RFloat;
    oneDimensional->ref();
    for (SoNode *input : {(SoNode *)nullptr, (SoNode *)oneDimensional}) {
        // The scene library evaluates the engine as soon as its input changes.
        testing::internal::CaptureStderr();
        engine->qvDataNode = input;
        EXPECT_EQ(colors->orderedRGBA.getNum(), 11);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.find("qvData2ToPackedColor.cpp::"), 0u) << err;
        EXPECT_NE(err.find(": WARNING! evaluate(): ERROR: field 'qvDataNode' is NOT "
                           "connected to node derived from 'qvData2Base'!\n"),
                  std::string::npos) << err;
    }
    oneDimensional->unref();
}

TEST_F(Engines, ScenesReadAndWrite)
{
    const char *scene =
        "#Inventor V2.1 ascii\nSeparator { qvSuite {} DEF S qvData2RNFloat { data [ 1, 2 ] } "
        "PackedColor { orderedRGBA = qvData2ToPackedColor { qvDataNode USE S minimum 1 "
        "maximum 2 } . packedColors } "
        "PackedColor { orderedRGBA [ 7, 8 ] = qvMultFloatVec3f { scalar 2 vector 1 2 3 } "
        ". product2 } }";
    SoSeparator *root = readSceneString(scene);
    ASSERT_NE(root, nullptr);
    root->ref();
    SoPackedColor *mapped = (SoPackedColor *)root->getChild(2);
    SoPackedColor *untouched = (SoPackedColor *)root->getChild(3);
    ASSERT_EQ(mapped->orderedRGBA.getNum(), 2);
    EXPECT_EQ(mapped->orderedRGBA[1], 0xFF0000FFu);
    ASSERT_EQ(untouched->orderedRGBA.getNum(), 2);
    EXPECT_EQ(untouched->orderedRGBA[0], 7u);

    std::string written = writeSceneString(root);
    EXPECT_NE(written.find("qvData2ToPackedColor"), std::string::npos) << written;
    EXPECT_NE(written.find("qvMultFloatVec3f"), std::string::npos) << written;
    SoSeparator *again = readSceneString(written);
    ASSERT_NE(again, nullptr) << written;
    again->ref();
    EXPECT_EQ(((SoPackedColor *)again->getChild(2))->orderedRGBA[1], 0xFF0000FFu);
    again->unref();
    root->unref();
}

} // namespace
