// The renderer viewer driven through its buttons in a real window: "P"
// reads the parameters from the console, "R" renders, a second "R" while
// rendering is refused.
#include "TestSupport.h"

// Before the X headers, whose macros None and Bool it uses as names.
#include <gtest/gtest.h>

#include <Xt/qvRendererViewer.h>

#include <elements/qvTimeElement.h>

#include <Inventor/Xt/SoXt.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoSeparator.h>

#include <Xm/Xm.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

bool finished = false;
void finishedCB(void *, qvRendererViewer *) { finished = true; }

void runUntilFinished(double seconds)
{
    SbTime limit = SbTime::getTimeOfDay() + SbTime(seconds);
    XtAppContext app = SoXt::getAppContext();
    // The sensors run from Xt timers, so waiting for events never stalls.
    while (!finished && SbTime::getTimeOfDay() < limit)
        XtAppProcessEvent(app, XtIMAll);
}

// Handles what the X server has sent meanwhile (map and unmap notices).
void settle()
{
    XtAppContext app = SoXt::getAppContext();
    for (int i = 0; i < 30; ++i) {
        XSync(SoXt::getDisplay(), False);
        while (XtAppPending(app) & XtIMXEvent)
            XtAppProcessEvent(app, XtIMXEvent);
        usleep(10000);
    }
}

int frameCount(const std::string &path)
{
    std::string out = runProgram("ffprobe -v error -count_frames -show_entries stream=nb_read_frames "
                                 "-of default=nw=1 '" + path + "'").out;
    size_t at = out.find("nb_read_frames=");
    return at == std::string::npos ? -1 : std::atoi(out.c_str() + at + 15);
}

Widget topLevel()
{
    static Widget top = SoXt::init("test_rendererviewer", "Inventor");
    return top;
}

TEST(RendererViewer, ButtonsSetParametersAndRender)
{
    Widget top = topLevel();
    ASSERT_NE(top, nullptr);
    qvRendererViewer *viewer = new qvRendererViewer(top, NULL, TRUE, SoXtFullViewer::BUILD_ALL,
                                                    SoXtViewer::BROWSER);
    SoSeparator *root = readSceneFile(sourcePath("tests/data/movie_moving.iv"));
    ASSERT_NE(root, nullptr);
    viewer->setSceneGraph(root);
    viewer->setFinishCallback(finishedCB, nullptr);
    viewer->show();
    SoXt::show(top);
    EXPECT_STREQ(viewer->getMovieName(), "test.mv");

    Widget r = XtNameToWidget(viewer->getAppPushButtonParent(), "R");
    Widget p = XtNameToWidget(viewer->getAppPushButtonParent(), "P");
    ASSERT_NE(r, nullptr);
    ASSERT_NE(p, nullptr);

    // "P" on the console; it starts nothing.
    std::string dir = makeTempDir();
    std::string movie = dir + "/prompted.mv";
    {
        std::ofstream in(dir + "/answers");
        in << "0.2\n0.2\n1\n" << movie << "\n";
    }
    ASSERT_NE(std::freopen((dir + "/answers").c_str(), "r", stdin), nullptr);
    testing::internal::CaptureStdout();
    XtCallCallbacks(p, XmNactivateCallback, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Input start [0.0],  length [1.0],  speed [1.0], and name of movie [\"test.mv\"]\n"
              "start time\t: lenth\t: speed\t: file name\t: ");
    EXPECT_FALSE(viewer->isRendering());
    EXPECT_STREQ(viewer->getMovieName(), movie.c_str());

    testing::internal::CaptureStderr();
    XtCallCallbacks(r, XmNactivateCallback, nullptr);
    EXPECT_TRUE(viewer->isRendering());
    XtCallCallbacks(r, XmNactivateCallback, nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(countOccurrences(err, "a render is running; \"R\" ignored\n"), 1) << err;
    EXPECT_EQ(countOccurrences(err, "ID_Nr: 23"), 1) << err;

    runUntilFinished(30);
    ASSERT_TRUE(finished);
    EXPECT_FALSE(viewer->isRendering());
    settle();
    EXPECT_FALSE(viewer->getRenderArea()->isVisible());
    // 0.2 s to 0.4 s in steps of 1/30 s.
    EXPECT_EQ(frameCount(movie), 7);
    EXPECT_EQ(viewer->getMovieId(), nullptr);

    // The parameters stay for the next render.
    finished = false;
    std::remove(movie.c_str());
    XtCallCallbacks(r, XmNactivateCallback, nullptr);
    runUntilFinished(30);
    ASSERT_TRUE(finished);
    EXPECT_EQ(frameCount(movie), 7);
    runProgram("rm -rf '" + dir + "'");
}

// Drawings of the scene at render times (from 100 s on) while a render
// runs; each takes 50 ms, so the scene's clock ticks between frames.
struct DrawCount {
    qvRendererViewer *viewer = nullptr;
    int draws = 0;
};

void countDrawCB(void *data, SoAction *action)
{
    DrawCount *count = (DrawCount *)data;
    if (!action->isOfType(SoGLRenderAction::getClassTypeId()) || !count->viewer->isRendering() ||
        qvTimeElement::getTime(action->getState()) < SbTime(100.0))
        return;
    ++count->draws;
    usleep(50000);
}

TEST(RendererViewer, EachFrameIsDrawnOnceWhileTheClockRuns)
{
    Widget top = topLevel();
    ASSERT_NE(top, nullptr);
    qvRendererViewer *viewer = new qvRendererViewer(top, NULL, TRUE, SoXtFullViewer::BUILD_ALL,
                                                    SoXtViewer::BROWSER);
    SoSeparator *root = readSceneString("#Inventor V2.1 ascii\n"
                                        "Separator { qvSuite {} qvTime { speed 1 } DEF COUNT Callback {} Cube {} }");
    ASSERT_NE(root, nullptr);
    root->ref();
    DrawCount count;
    count.viewer = viewer;
    ((SoCallback *)SoNode::getByName("COUNT"))->setCallback(countDrawCB, &count);
    std::string dir = makeTempDir();
    viewer->setSceneGraph(root);
    viewer->setStartTime(SbTime(100.0));
    viewer->setLength(SbTime(0.2));
    viewer->setMovieName((dir + "/clock.mv").c_str());
    finished = false;
    viewer->setFinishCallback(finishedCB, nullptr);
    viewer->show();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(viewer->startRender());
    runUntilFinished(30);
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(finished);
    EXPECT_EQ(frameCount(dir + "/clock.mv"), 7);
    EXPECT_EQ(count.draws, 7);
    runProgram("rm -rf '" + dir + "'");
}

} // namespace
