// The small scene viewer as a user meets it: command-line errors, and the
// example scene shown and scrolling in its window until a signal ends it.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

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

// A running viewer and the X connection through which the test looks at it.
class Viewer {
  public:
    explicit Viewer(const std::string &scene) : title("qvview: " + scene)
    {
        display = XOpenDisplay(nullptr);
        std::string program = binaryPath("qvview");
        char *argv[] = {(char *)program.c_str(), (char *)scene.c_str(), nullptr};
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
            pid = -1;
    }
    ~Viewer()
    {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (display != nullptr)
            XCloseDisplay(display);
    }

    // Waits for the viewer's top-level window; 0 when it never shows.
    Window waitForWindow(double seconds)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end && display != nullptr) {
            Window found = find(DefaultRootWindow(display));
            if (found != 0)
                return found;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }

    // Pixels of the window as 0xRRGGBB.
    std::vector<unsigned long> grab(Window w)
    {
        std::vector<unsigned long> pixels;
        XWindowAttributes a;
        if (!XGetWindowAttributes(display, w, &a))
            return pixels;
        XImage *image = XGetImage(display, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
        if (image == nullptr)
            return pixels;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x)
                pixels.push_back(XGetPixel(image, x, y) & 0xffffff);
        XDestroyImage(image);
        return pixels;
    }

    // Asks the window to close, as a window manager does.
    void close(Window w)
    {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, w, False, NoEventMask, &e);
        XFlush(display);
    }

    // Sends the signal (none: 0) and waits up to the given time for the exit.
    int stop(int signal, double seconds)
    {
        if (signal != 0)
            kill(pid, signal);
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                return status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

    pid_t pid = -1;
    Display *display = nullptr;
    int status = 0;
    bool exited = false;

  private:
    std::string title;

    Window find(Window w)
    {
        char *name = nullptr;
        if (XFetchName(display, w, &name) && name != nullptr) {
            // Its own window, also when other viewers share the display.
            bool match = title == name;
            XFree(name);
            if (match)
                return w;
        }
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        Window found = 0;
        if (XQueryTree(display, w, &root, &parent, &children, &n)) {
            for (unsigned i = 0; i < n && found == 0; ++i)
                found = find(children[i]);
            if (children != nullptr)
                XFree(children);
        }
        return found;
    }
};

size_t countPixels(const std::vector<unsigned long> &pixels, unsigned long rgb)
{
    size_t n = 0;
    for (unsigned long p : pixels)
        n += p == rgb;
    return n;
}

// Grabs the window until at least min pixels of the colour show (a loaded
// machine draws the first frames late); returns the last grab.
std::vector<unsigned long> grabWhenShown(Viewer &viewer, Window w, unsigned long rgb,
                                         size_t min, double seconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::vector<unsigned long> pixels = viewer.grab(w);
    while (countPixels(pixels, rgb) <= min && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pixels = viewer.grab(w);
    }
    return pixels;
}

TEST(Qvview, ShowsTheExampleScrollingAndStopsOnSignal)
{
    Viewer viewer(sourcePath("examples/line.iv"));
    ASSERT_NE(viewer.display, nullptr);
    ASSERT_GT(viewer.pid, 0);
    Window w = viewer.waitForWindow(20);
    ASSERT_NE(w, 0u) << "no viewer window; exit status " << viewer.status;
    std::vector<unsigned long> first = grabWhenShown(viewer, w, 0x00ffff, 200, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    std::vector<unsigned long> second = viewer.grab(w);
    ASSERT_FALSE(first.empty());
    // Both series are on screen: the yellow sine and the cyan series.
    EXPECT_GT(countPixels(first, 0xffff00), 200u);
    EXPECT_GT(countPixels(first, 0x00ffff), 200u);
    EXPECT_GT(countPixels(second, 0xffff00), 200u);
    EXPECT_NE(first, second) << "the picture does not move";

    int status = viewer.stop(SIGTERM, 10);
    ASSERT_TRUE(viewer.exited);
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
    ASSERT_GT(viewer.pid, 0);
    Window w = viewer.waitForWindow(20);
    ASSERT_NE(w, 0u) << "no viewer window; exit status " << viewer.status;
    EXPECT_GT(countPixels(grabWhenShown(viewer, w, 0xffff00, 20, 20), 0xffff00), 20u);
    viewer.close(w);
    int status = viewer.stop(0, 10);
    ASSERT_TRUE(viewer.exited);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::remove(path.c_str());
    std::remove(dir.c_str());
}

} // namespace
