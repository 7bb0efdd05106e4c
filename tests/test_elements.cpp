// Traversal state: what a reader placed after data, time and normal
// nodes finds, and the render-cache match rules.
#include "TestSupport.h"

#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoGetMatrixAction.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoSeparator.h>

#include <gtest/gtest.h>

namespace {

// What a reader at the probe's place sees.
struct Seen {
    const qvDataBase *data1 = nullptr, *data2 = nullptr, *marks = nullptr;
    SoType type1;
    SbTime time;
    float speed = -1;
    long long ust = -1;
    SoNode *timeNode = nullptr;
};

void probeCB(void *userData, SoAction *action)
{
    Seen *seen = (Seen *)userData;
    SoState *state = action->getState();
    seen->data1 = qvData1Element::getPtr(state, nullptr);
    seen->type1 = qvData1Element::getType(state);
    seen->data2 = qvData2Element::getPtr(state, nullptr);
    seen->marks = qvDataMarksElement::getPtr(state, nullptr);
    seen->time = qvTimeElement::getTime(state);
    seen->speed = qvTimeElement::getSpeed(state);
    seen->ust = qvTimeElement::getUST(state);
    seen->timeNode = qvTimeElement::getNode(state);
}

class Elements : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { qvTestInit(); }

    // Reads the scene, puts a probe where "PROBE" names it and traverses.
    Seen traverse(const std::string &body)
    {
        root = readSceneString("#Inventor V2.1 ascii\nSeparator { " + body + " }");
        EXPECT_NE(root, nullptr) << body;
        Seen seen;
        if (root == nullptr)
            return seen;
        root->ref();
        SoCallback *probe = new SoCallback;
        probe->setCallback(probeCB, &seen);
        root->addChild(probe);
        SoGetBoundingBoxAction bbox(SbViewportRegion(10, 10));
        bbox.apply(root);
        return seen;
    }
    void TearDown() override
    {
        if (root != nullptr)
            root->unref();
    }
    const qvDataBase *child(int i) { return (const qvDataBase *)root->getChild(i); }
    SoSeparator *root = nullptr;
};

TEST_F(Elements, NothingPublishedReadsAsDefaults)
{
    Seen seen = traverse("");
    EXPECT_EQ(seen.data1, nullptr);
    EXPECT_TRUE(seen.type1.isBad());
    EXPECT_EQ(seen.time, SbTime::zero());
    EXPECT_EQ(seen.speed, 0.0f);
    EXPECT_EQ(seen.ust, 0);
    EXPECT_EQ(seen.timeNode, nullptr);
}

TEST_F(Elements, DataNodeInsideSeparatorIsForgotten)
{
    Seen seen = traverse("Separator { qvData1RFloat { } }");
    EXPECT_EQ(seen.data1, nullptr);
}

TEST_F(Elements, SecondDataNodeOfAKindIsCurrent)
{
    Seen seen = traverse("qvData1RFloat { } qvData1RFloat { data [ 1, 2 ] }");
    EXPECT_EQ(seen.data1, child(1));
    EXPECT_EQ(seen.type1, qvData1RFloat::getClassTypeId());
}

TEST_F(Elements, KindsHaveSeparateStacks)
{
    Seen seen = traverse("qvData1RFloat { } qvData2RNFloat { }");
    EXPECT_EQ(seen.data1, child(0));
    EXPECT_EQ(seen.data2, child(1));
    EXPECT_EQ(seen.marks, nullptr);
}

TEST_F(Elements, IgnoredFieldPublishesNothing)
{
    for (const char *field : {"data [ 2 ] ~", "startTime 1 ~", "interval 1 ~"}) {
        Seen seen = traverse(std::string("qvData1RFloat { } qvData1RFloat { ") + field + " }");
        EXPECT_EQ(seen.data1, child(0)) << field;
        root->unref();
        root = nullptr;
    }
}

TEST_F(Elements, TimeStaysInForceAfterItsSeparator)
{
    Seen seen = traverse("Separator { qvTime { time 5.25 } }");
    EXPECT_EQ(seen.time, SbTime(5.25));
    EXPECT_EQ(seen.speed, 0.0f);
    EXPECT_EQ(seen.timeNode, ((SoSeparator *)root->getChild(0))->getChild(0));
}

TEST_F(Elements, LaterTimeNodeOverwritesEarlier)
{
    Seen seen = traverse("qvTime { time 1 } Separator { qvTime { time 2 } }");
    EXPECT_EQ(seen.time, SbTime(2.0));
}

TEST_F(Elements, IgnoredTimePublishesNothing)
{
    Seen seen = traverse("qvTime { time 1 } qvTime { time 2 ~ }");
    EXPECT_EQ(seen.time, SbTime(1.0));
    EXPECT_EQ(seen.timeNode, root->getChild(0));
}

// Elements made the way the traversal state makes them.
template <class E> E *makeElement()
{
    return (E *)E::getClassTypeId().createInstance();
}

TEST_F(Elements, NodeElementCacheMatchComparesNodeOnly)
{
    qvData1RFloat *a = new qvData1RFloat, *b = new qvData1RFloat;
    a->ref();
    b->ref();
    qvData1Element *e = makeElement<qvData1Element>();
    e->setElt(a, qvData1RFloat::getClassTypeId());
    SoElement *copy = e->copyMatchInfo();
    EXPECT_EQ(copy->getTypeId(), qvData1Element::getClassTypeId());
    EXPECT_TRUE(e->matches(copy));
    e->setElt(a, qvData2RNFloat::getClassTypeId());
    EXPECT_TRUE(e->matches(copy)) << "type is not compared";
    e->setElt(b, qvData1RFloat::getClassTypeId());
    EXPECT_FALSE(e->matches(copy));
    EXPECT_FALSE(e->matches(nullptr));
    delete copy;
    delete e;
    a->unref();
    b->unref();
}

TEST_F(Elements, TimeElementCacheMatchComparesEverything)
{
    qvTime *node = new qvTime, *other = new qvTime;
    node->ref();
    other->ref();
    qvTimeElement *e = makeElement<qvTimeElement>();
    e->setElt(SbTime(1.5), 1.0f, 1000, node);
    SoElement *copy = e->copyMatchInfo();
    EXPECT_TRUE(e->matches(copy));
    struct Change {
        SbTime t;
        float speed;
        long long ust;
        SoNode *node;
    } changes[] = {{SbTime(1.500001), 1, 1000, node},
                   {SbTime(1.5), 2, 1000, node},
                   {SbTime(1.5), 1, 1001, node},
                   {SbTime(1.5), 1, 1000, other}};
    for (const Change &c : changes) {
        e->setElt(c.t, c.speed, c.ust, c.node);
        EXPECT_FALSE(e->matches(copy));
    }
    delete copy;
    delete e;
    node->unref();
    other->unref();
}

TEST_F(Elements, PublishingNoNodeWarnsAndKeepsValue)
{
    testing::internal::CaptureStderr();
    Seen seen;
    root = new SoSeparator;
    root->ref();
    qvData1RFloat *data = new qvData1RFloat;
    root->addChild(data);
    SoCallback *nullPublisher = new SoCallback;
    nullPublisher->setCallback(
        [](void *, SoAction *action) {
            qvData1Element::set(action->getState(), nullptr, SoType::badType());
        },
        nullptr);
    root->addChild(nullPublisher);
    SoCallback *probe = new SoCallback;
    probe->setCallback(probeCB, &seen);
    root->addChild(probe);
    SoGetBoundingBoxAction bbox(SbViewportRegion(10, 10));
    bbox.apply(root);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(seen.data1, data);
    EXPECT_NE(err.find(": WARNING! setDataFloatNode qvData1RFloat *floatNode is NULL!! return!"),
              std::string::npos) << err;
}

TEST_F(Elements, TimeReadWithoutElementEndsWithReport)
{
    auto readTimeInMatrixAction = []() {
        SoCallback *probe = new SoCallback;
        probe->ref();
        probe->setCallback([](void *, SoAction *action) {
            qvTimeElement::getTime(action->getState());
        }, nullptr);
        SoGetMatrixAction matrix(SbViewportRegion(10, 10));
        matrix.apply(probe);
    };
    EXPECT_EXIT(readTimeInMatrixAction(), testing::ExitedWithCode(1),
                "qvTimeElement.cpp: .*\nCall: \\([0-9]+\\) elt\n");
}

} // namespace
