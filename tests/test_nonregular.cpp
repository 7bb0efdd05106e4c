// Non-regular series: nearest-sample search in both directions, ranges,
// and survival of inconsistent content.
#include "TestSupport.h"

#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoSeparator.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

class NonRegular : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { qvTestInit(); }
    void SetUp() override
    {
        node = new qvData1NFloat;
        node->ref();
    }
    void TearDown() override { node->unref(); }

    void fill(std::vector<float> times, std::vector<float> values)
    {
        node->time.setValues(0, (int)times.size(), times.data());
        node->time.setNum((int)times.size());
        node->data.setValues(0, (int)values.size(), values.data());
        node->data.setNum((int)values.size());
    }

    qvData1NFloat *node = nullptr;
};

TEST_F(NonRegular, NearestSampleFromEitherStart)
{
    fill({0, 0.125f, 0.25f, 0.75f}, {3, 4, 5, 6});
    struct {
        float t;
        int from0, from3;
    } cases[] = {
        {-1, 0, 0},    {0.05f, 0, 0}, {0.15f, 1, 1}, {0.2f, 2, 2},
        {0.45f, 2, 2}, {0.55f, 3, 3}, {9, 3, 3},
        // Exactly between two samples: forward takes the later one,
        // backward the earlier one.
        {0.1875f, 2, 1},
        // On a sample and between the two last ones.
        {0.25f, 2, 2}, {0.5f, 3, 2},
    };
    for (auto c : cases) {
        EXPECT_EQ(node->getIndex(c.t, 0), c.from0) << c.t;
        EXPECT_EQ(node->getIndex(c.t, 3), c.from3) << c.t;
    }
    // Every start inside the series finds the same sample away from ties.
    for (int start = 0; start < 4; ++start)
        EXPECT_EQ(node->getIndex(0.6f, start), 3) << start;
}

TEST_F(NonRegular, TimesAndRange)
{
    fill({0, 0.125f, 0.25f, 0.75f}, {3, 4, 5, 6});
    EXPECT_EQ(node->getNum(), 4);
    EXPECT_EQ(node->getTimeMin(), 0.0f);
    EXPECT_EQ(node->getTimeMax(), 0.75f);
    EXPECT_EQ(node->getTime(2), 0.25f);
    EXPECT_FALSE(node->isRegularSampled());
    EXPECT_EQ(node->getRealClassTypeId(), qvData1NFloat::getClassTypeId());
    float min = 7, max = 7;
    node->getValueMinMax(min, max);
    EXPECT_EQ(min, 0.0f);
    EXPECT_EQ(max, 6.0f);
    fill({0, 1}, {-2, -1});
    node->getValueMinMax(min, max);
    EXPECT_EQ(min, -2.0f);
    EXPECT_EQ(max, 0.0f);
}

TEST_F(NonRegular, DefaultHoldsOneSample)
{
    EXPECT_EQ(node->getNum(), 1);
    for (float t : {-5.0f, 0.0f, 5.0f})
        EXPECT_EQ(node->getIndex(t, 0), 0) << t;
    ASSERT_NE(node->getValue(0), nullptr);
    EXPECT_EQ(*node->getValue(0), 0.0f);
}

TEST_F(NonRegular, OutOfRangeAccessStaysInside)
{
    fill({1, 2, 3}, {10, 20, 30});
    CaptureStderr();
    EXPECT_EQ(node->getValue(3), nullptr);
    EXPECT_EQ(node->getValue(-1), nullptr);
    std::string err = GetCapturedStderr();
    EXPECT_EQ(countOccurrences(err, "WARNING! getValue(): index ("), 2) << err;
    EXPECT_EQ(node->getTime(-4), 1.0f);
    EXPECT_EQ(node->getTime(7), 3.0f);
    // A start index outside the series is brought into it.
    EXPECT_EQ(node->getIndex(2.2f, -10), 1);
    EXPECT_EQ(node->getIndex(2.2f, 99), 1);
}

TEST_F(NonRegular, EmptySeriesWarns)
{
    fill({}, {});
    CaptureStderr();
    EXPECT_EQ(node->getIndex(1.5f, 0), -1);
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("WARNING! getIndexByTime: no data in time!1.5"), std::string::npos) << err;
    EXPECT_EQ(node->getNum(), 0);
    EXPECT_EQ(node->getTime(0), 0.0f);
}

TEST_F(NonRegular, MismatchedLengthsReportedAndUseTheShorter)
{
    fill({0, 1, 2, 3}, {5, 6});
    CaptureStderr();
    EXPECT_EQ(node->getNum(), 2);
    // The search never answers a sample that has no value.
    EXPECT_EQ(node->getIndex(2.9f, 0), 1);
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("data.getNum() == time.getNum()"), std::string::npos) << err;
    EXPECT_NE(err.find("time.getNum() == data.getNum()"), std::string::npos) << err;
    EXPECT_NE(err.find("qvData1NFloat.cpp::"), std::string::npos) << err;

    fill({0}, {5, 6, 7});
    CaptureStderr();
    EXPECT_EQ(node->getNum(), 1);
    EXPECT_EQ(node->getIndex(2.9f, 0), 0);
    GetCapturedStderr();
}

// What a reader after the scene's nodes finds in the one-dimensional element.
struct Published {
    const qvDataBase *node = nullptr;
    SoType type;
};

Published publishedAfter(SoNode *content)
{
    Published seen;
    SoSeparator *root = new SoSeparator;
    root->ref();
    root->addChild(content);
    SoCallback *probe = new SoCallback;
    probe->setCallback([](void *d, SoAction *a) {
        Published *p = (Published *)d;
        p->node = qvData1Element::getPtr(a->getState(), nullptr);
        p->type = qvData1Element::getType(a->getState());
    }, &seen);
    root->addChild(probe);
    SoGetBoundingBoxAction bbox(SbViewportRegion(10, 10));
    bbox.apply(root);
    root->unref();
    return seen;
}

TEST_F(NonRegular, PublishesItselfUnlessIgnored)
{
    Published seen = publishedAfter(node);
    EXPECT_EQ(seen.node, node);
    EXPECT_EQ(seen.type, qvData1NFloat::getClassTypeId());
    for (SoMFFloat *field : {&node->time, &node->data}) {
        field->setIgnored(TRUE);
        EXPECT_EQ(publishedAfter(node).node, nullptr);
        field->setIgnored(FALSE);
    }
}

TEST_F(NonRegular, ReadsAndWritesAsSceneText)
{
    SoSeparator *root = readSceneString(
        "#Inventor V2.1 ascii\n"
        "Separator { qvData1NFloat { time [ 0, 0.5, 2 ] data [ 1, -1, 3 ] } }");
    ASSERT_NE(root, nullptr);
    root->ref();
    qvData1NFloat *read = (qvData1NFloat *)root->getChild(0);
    ASSERT_TRUE(read->isOfType(qvData1NFloat::getClassTypeId()));
    EXPECT_EQ(read->getNum(), 3);
    EXPECT_EQ(read->getIndex(1.4f, 0), 2);
    std::string text = writeSceneString(root);
    EXPECT_NE(text.find("qvData1NFloat"), std::string::npos);
    EXPECT_EQ(text.find("node"), std::string::npos) << text;
    root->unref();
}

} // namespace
