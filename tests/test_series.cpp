// Regular series: the step of a time, the time of a step, values and
// their range, with the warnings users see.
#include "TestSupport.h"

#include <qvSuiteAll.h>

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

class Series : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { qvTestInit(); }

    template <class T> T *make() { return nodes.make<T>(); }
    NodeKeeper nodes;
};

qvData1RFloat *fill(qvData1RFloat *n, float start, float interval, std::vector<float> values)
{
    n->startTime = start;
    n->interval = interval;
    n->data.setValues(0, (int)values.size(), values.data());
    n->data.setNum((int)values.size());
    return n;
}

TEST_F(Series, RegularDefaults)
{
    qvData1RFloat *n = make<qvData1RFloat>();
    float min = 7, max = 7;
    n->getValueMinMax(min, max);
    EXPECT_EQ(n->getNum(), 1);
    EXPECT_EQ(n->getTimeMin(), 0.0f);
    EXPECT_EQ(n->getTimeMax(), 0.0f);
    EXPECT_EQ(min, 0.0f);
    EXPECT_EQ(max, 0.0f);
    EXPECT_TRUE(n->isRegularSampled());
    EXPECT_EQ(n->getRealClassTypeId(), qvData1RFloat::getClassTypeId());
}

TEST_F(Series, RegularIndexOfTime)
{
    qvData1RFloat *n = fill(make<qvData1RFloat>(), 10, 0.5f, {1, 2, 3, 4});
    EXPECT_FLOAT_EQ(n->getTimeMax(), 11.5f);
    struct {
        float time;
        int index;
    } cases[] = {{10.0f, 0}, {10.24f, 0}, {10.25f, 1}, {11.5f, 3}, {11.9f, 4}, {12.0f, 4}};
    for (auto c : cases)
        EXPECT_EQ(n->getIndex(c.time, 0), c.index) << c.time;
    for (float outside : {12.01f, 9.99f}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(n->getIndex(outside, 0), -1);
        std::string err = testing::internal::GetCapturedStderr();
        std::ostringstream expected;
        expected << ": WARNING! getIndex(): time (" << outside << ")out of Range,  return -1!\n";
        EXPECT_NE(err.find(expected.str()), std::string::npos) << err;
        EXPECT_EQ(err.find("qvData1RFloat.cpp::"), 0u) << err;
    }
}

TEST_F(Series, RegularZeroIntervalAtStart)
{
    qvData1RFloat *n = fill(make<qvData1RFloat>(), 3, 0, {5, 6});
    EXPECT_EQ(n->getIndex(3, 0), 0);
}

TEST_F(Series, RegularValueRangeAlwaysHoldsZero)
{
    struct {
        std::vector<float> values;
        float min, max;
    } cases[] = {{{2, 5, 3}, 0, 5}, {{-1, -4}, -4, 0}, {{}, 0, 0}};
    for (auto &c : cases) {
        qvData1RFloat *n = fill(make<qvData1RFloat>(), 0, 1, c.values);
        float min = 9, max = 9;
        n->getValueMinMax(min, max);
        EXPECT_EQ(min, c.min);
        EXPECT_EQ(max, c.max);
    }
}

TEST_F(Series, RegularValueAccess)
{
    qvData1RFloat *n = fill(make<qvData1RFloat>(), 0, 1, {7, 8});
    ASSERT_NE(n->getValue(1), nullptr);
    EXPECT_EQ(*n->getValue(1), 8.0f);
    for (int bad : {-1, 2}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(n->getValue(bad), nullptr);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("WARNING! getValue(): index (" + std::to_string(bad) +
                           ") out of range,  return -1!\n"), std::string::npos) << err;
    }
}

TEST_F(Series, RegularEmpty)
{
    qvData1RFloat *n = fill(make<qvData1RFloat>(), 2, 0.5f, {});
    EXPECT_EQ(n->getNum(), 0);
    EXPECT_FLOAT_EQ(n->getTimeMax(), 1.5f);
    testing::internal::CaptureStderr();
    EXPECT_EQ(n->getValue(0), nullptr);
    testing::internal::GetCapturedStderr();
}

TEST_F(Series, RegularTimeExtrapolates)
{
    qvData1RFloat *n = fill(make<qvData1RFloat>(), 1, 0.25f, {0, 0});
    EXPECT_FLOAT_EQ(n->getTime(8), 3.0f);
    EXPECT_FLOAT_EQ(n->getTime(-4), 0.0f);
}

qvData2RNFloat *fill2(qvData2RNFloat *n, float start, float interval, int values,
                      std::vector<float> dim2)
{
    n->startTime = start;
    n->interval = interval;
    n->data.setNum(values);
    for (int k = 0; k < values; ++k)
        n->data.set1Value(k, (float)k);
    n->dim2.setValues(0, (int)dim2.size(), dim2.data());
    n->dim2.setNum((int)dim2.size());
    return n;
}

TEST_F(Series, VectorLayout)
{
    qvData2RNFloat *n = fill2(make<qvData2RNFloat>(), 0, 1, 12, {0, 1, 2, 3});
    EXPECT_EQ(n->getNum(), 3);
    EXPECT_EQ(n->getNumValues(), 12);
    EXPECT_EQ(n->getNum2(), 4);
    ASSERT_NE(n->getValue(2, 1), nullptr);
    EXPECT_EQ(*n->getValue(2, 1), 9.0f);
    EXPECT_EQ(n->getIndex2(123.0f, 7), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(n->getValue(3, 0), nullptr);
    EXPECT_EQ(n->getValue(0, 4), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("getValue(): index (3) out of range,  return -1!"), std::string::npos) << err;
    EXPECT_NE(err.find("getValue(): index2 (4) out of range,  return -1!"), std::string::npos) << err;
}

TEST_F(Series, VectorMismatchWarnsEveryCall)
{
    qvData2RNFloat *n = fill2(make<qvData2RNFloat>(), 0, 1, 10, {0, 1, 2, 3});
    testing::internal::CaptureStderr();
    EXPECT_EQ(n->getNum(), 2);
    EXPECT_EQ(n->getNum(), 2);
    std::string err = testing::internal::GetCapturedStderr();
    const std::string text =
        "getNum():Number of values in field data (10) does not fit to number of values in field dim2 (4) remain:2\n";
    EXPECT_EQ(countOccurrences(err, text), 2) << err;
}

TEST_F(Series, VectorIndexOfTime)
{
    qvData2RNFloat *n = fill2(make<qvData2RNFloat>(), 1, 0.25f, 6, {0, 1});
    EXPECT_FLOAT_EQ(n->getTimeMax(), 1.5f);
    struct {
        float time;
        int index;
    } cases[] = {{1.1f, 0}, {1.125f, 1}, {1.7f, 3}, {1.8f, -1}, {0.9f, -1}};
    testing::internal::CaptureStderr();
    for (auto c : cases)
        EXPECT_EQ(n->getIndex(c.time, 0), c.index) << c.time;
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(countOccurrences(err, ")out of Range,  return -1!"), 2) << err;
}

TEST_F(Series, VectorRanges)
{
    qvData2RNFloat *n = fill2(make<qvData2RNFloat>(), 0, 1, 6, {100, 50, 400});
    float min, max;
    n->getDim2MinMax(min, max);
    EXPECT_EQ(min, 50.0f);
    EXPECT_EQ(max, 400.0f);
    n->data.set1Value(0, 3.0f);
    n->getValueMinMax(min, max);
    EXPECT_EQ(min, 0.0f) << "positive values still give min 0";
    EXPECT_EQ(max, 5.0f);
}

TEST_F(Series, VectorEmptyScaleHasNoSteps)
{
    qvData2RNFloat *n = fill2(make<qvData2RNFloat>(), 0, 1, 4, {});
    float min = 1, max = 1;
    testing::internal::CaptureStderr();
    EXPECT_EQ(n->getNum(), 0);
    n->getDim2MinMax(min, max);
    EXPECT_EQ(n->getValue(0, 0), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("WARNING! getNum()"), std::string::npos) << err;
    EXPECT_EQ(min, 0.0f);
    EXPECT_EQ(max, 0.0f);
}

} // namespace
