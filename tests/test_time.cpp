// The clock node on the real clock: the time field follows speed × wall
// time, and external writes re-base it.
#include "TestSupport.h"

#include <qvSuiteAll.h>
#include <dmedia/dmedia.h>

#include <Inventor/SoDB.h>
#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/sensors/SoFieldSensor.h>
#include <Inventor/sensors/SoSensorManager.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class Clock : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { qvTestInit(); }
    void SetUp() override
    {
        node = new qvTime;
        node->ref();
    }
    void TearDown() override { node->unref(); }

    // Runs the timer queue for the given wall time.
    static void runFor(double seconds)
    {
        auto end = std::chrono::steady_clock::now() +
                   std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            SoDB::getSensorManager()->processTimerQueue();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        SoDB::getSensorManager()->processTimerQueue();
    }
    double seconds() const { return node->time.getValue().getValue(); }

    qvTime *node = nullptr;
};

TEST_F(Clock, StoppedClockNeverMoves)
{
    node->time = SbTime(3.0);
    runFor(0.2);
    EXPECT_EQ(seconds(), 3.0);
}

TEST_F(Clock, SpeedScalesWallTime)
{
    struct {
        float speed;
        double expected;
    } cases[] = {{1.0f, 0.5}, {-2.0f, -1.0}};
    for (auto c : cases) {
        node->time = SbTime(10.0);
        auto start = std::chrono::steady_clock::now();
        node->speed = c.speed;
        runFor(0.5);
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double moved = seconds() - 10.0;
        // Within one tick of 1/30 s of wall time.
        EXPECT_NEAR(moved, c.speed * wall, std::abs(c.speed) * 0.05) << c.speed;
        EXPECT_NEAR(moved, c.expected, std::abs(c.speed) * 0.15) << c.speed;
        node->speed = 0;
    }
}

TEST_F(Clock, WrittenTimeIsNewReference)
{
    node->speed = 1;
    runFor(0.3);
    node->time = SbTime(5.0);
    runFor(0.3);
    EXPECT_GT(seconds(), 5.2);
    EXPECT_LT(seconds(), 5.45);
    node->speed = 0;
}

TEST_F(Clock, StoppingHoldsTheTime)
{
    node->speed = 1;
    runFor(0.2);
    node->speed = 0;
    double held = seconds();
    runFor(0.2);
    EXPECT_EQ(seconds(), held);
    EXPECT_GT(held, 0.1);
}

TEST_F(Clock, SameSpeedDoesNotRebase)
{
    node->speed = 1;
    runFor(0.3);
    // Writing speed 1 again must not restart the clock from "now": the
    // next tick still integrates from the last reference.
    double before = seconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    node->speed = 1;
    SoDB::getSensorManager()->processTimerQueue();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    SoDB::getSensorManager()->processTimerQueue();
    EXPECT_GT(seconds() - before, 0.2);
    node->speed = 0;
}

TEST_F(Clock, TickWithoutMovementLeavesFieldAlone)
{
    int changes = 0;
    SoFieldSensor watch([](void *d, SoSensor *) { ++*(int *)d; }, &changes);
    watch.setPriority(0);
    watch.attach(&node->time);
    qvTime::updateTimeFieldCB(node, nullptr);
    EXPECT_EQ(changes, 0);
    node->time = SbTime(1.0);
    EXPECT_EQ(changes, 1);
}

TEST_F(Clock, PublishesTimeSpeedAndStamp)
{
    SoSeparator *root = new SoSeparator;
    root->ref();
    root->addChild(node);
    struct Seen {
        SbTime time;
        float speed = 0;
        long long ust = 0;
        SoNode *node = nullptr;
    } seen;
    SoCallback *probe = new SoCallback;
    probe->setCallback([](void *d, SoAction *a) {
        Seen *s = (Seen *)d;
        s->time = qvTimeElement::getTime(a->getState());
        s->speed = qvTimeElement::getSpeed(a->getState());
        s->ust = qvTimeElement::getUST(a->getState());
        s->node = qvTimeElement::getNode(a->getState());
    }, &seen);
    root->addChild(probe);
    node->time = SbTime(2.5);
    node->speed = 0.5f;
    SoGetBoundingBoxAction bbox(SbViewportRegion(10, 10));
    bbox.apply(root);
    EXPECT_EQ(seen.node, node);
    EXPECT_EQ(seen.speed, 0.5f);
    EXPECT_GT(seen.ust, 0);
    EXPECT_NEAR(seen.time.getValue(), 2.5, 1e-6);
    node->speed = 0;
    root->unref();
}

TEST(ClockSource, MonotonicNanoseconds)
{
    stamp_t a = 0, b = 0;
    ASSERT_EQ(dmGetUST(&a), DM_SUCCESS);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(dmGetUST(&b), DM_SUCCESS);
    EXPECT_GT(b - a, 15000000LL);
    EXPECT_LT(b - a, 200000000LL);
    EXPECT_EQ(dmGetUST(nullptr), DM_FAILURE);
}

TEST(MediaError, LastErrorRecord)
{
    dmSetError(42, "cannot %s", "decode");
    int number = 0;
    char detail[DM_MAX_ERROR_DETAIL];
    EXPECT_STREQ(dmGetError(&number, detail), "cannot decode");
    EXPECT_EQ(number, 42);
    EXPECT_STREQ(detail, "cannot decode");
    dmClearError();
    EXPECT_STREQ(dmGetError(&number, nullptr), "");
    EXPECT_EQ(number, 0);
}

TEST(MediaError, CheckedCallReportNamesNumberAndCall)
{
    auto failing = []() {
        dmSetError(7, "no converter");
        QV_DM_CHECK(dmGetUST(nullptr));
    };
    EXPECT_EXIT(failing(), testing::ExitedWithCode(1),
                "test_time.cpp: dmedia Error Nr 7 message:no converter\n"
                "Call: \\([0-9]+\\) dmGetUST\\(nullptr\\)\n");
}

} // namespace
