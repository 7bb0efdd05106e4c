// The small scene viewer as a user meets it: command-line errors, and the
// example scene shown and scrolling in its window until a signal ends it.
#include <gtest/gtest.h>

#include "ProgramWindow.h"
#include "TestSupport.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

TEST(Qvview, CommandLineErrors)
{
    ProgramResult r = runProgram(binaryPath("qvview"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
    r = runProgram(binaryPath("qvview") + " /nonexistent/scene.iv");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open /nonexistent/scene.iv"), std::string::npos) << r.err;
}

// The viewer showing a scene, under the title it gives its window.
struct Viewer : ProgramWindow {
    explicit Viewer(const std::string &scene)
        // Placed clear of the movie renderer's windows, which other tests
        // may show on the same display at the same time.
        : ProgramWindow({binaryPath("qvview"), "-geometry", "400x300+860+40", scene},
                        "qvview: " + scene)
    {
    }
};

const auto countPixels = ProgramWindow::countPixels;

TEST(Qvview, ShowsTheExampleScrollingAndStopsOnSignal)
{
    Viewer viewer(sourcePath("examples/line.iv"));
    ASSERT_TRUE(viewer.hasDisplay());
    ASSERT_GT(viewer.getPid(), 0);
    unsigned long w = viewer.waitForWindow(20);
    ASSERT_NE(w, 0u) << "no viewer window; exit status " << viewer.getStatus();
    std::vector<unsigned long> first = viewer.grabWhenShown(w, 0x00ffff, 200, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    std::vector<unsigned long> second = viewer.grabWhenShown(w, 0xffff00, 200, 20);
    ASSERT_FALSE(first.empty());
    // Both series are on screen: the yellow sine and the cyan series.
    EXPECT_GT(countPixels(first, 0xffff00), 200u);
    EXPECT_GT(countPixels(first, 0x00ffff), 200u);
    EXPECT_GT(countPixels(second, 0xffff00), 200u);
    EXPECT_NE(first, second) << "the picture does not move";

    int status = viewer.stop(SIGTERM, 10);
    ASSERT_TRUE(viewer.hasExited());
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Qvview, ReadsSceneWithoutKitNodeAndEndsOnClose)
{
    std::string dir = makeTempDir();
    std::string path = dir + "/nokit.iv";
    std::ofstream(path) << "#Inventor V2.1 ascii\n"
                           "Separator { LightModel { model BASE_COLOR } BaseColor { rgb 1 1 0 }"
                           " qvTime { time 1 } qvData1RFloat { interval 0.1 data [ 0, 1, 0, 1, 0 ] }"
                           " qvLine { past 1 future 1 } }\n";
    Viewer viewer(path);
    ASSERT_GT(viewer.getPid(), 0);
    unsigned long w = viewer.waitForWindow(20);
    ASSERT_NE(w, 0u) << "no viewer window; exit status " << viewer.getStatus();
    EXPECT_GT(countPixels(viewer.grabWhenShown(w, 0xffff00, 20, 20), 0xffff00), 20u);
    viewer.close(w);
    int status = viewer.stop(0, 10);
    ASSERT_TRUE(viewer.hasExited());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::remove(path.c_str());
    std::remove(dir.c_str());
}

} // namespace
