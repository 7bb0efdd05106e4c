#include "ProgramWindow.h"

#include "TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>

ProgramWindow::ProgramWindow(const std::vector<std::string> &argv, const std::string &t,
                             const std::string &workingDir)
    : title(t)
{
    display = XOpenDisplay(nullptr);
    // A window not yet viewable makes XGetImage fail: that grab comes back
    // empty instead of ending the test.
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    pid = spawnProgram(argv, workingDir);
}

ProgramWindow::~ProgramWindow()
{
    if (pid > 0 && !exited) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (display != nullptr)
        XCloseDisplay(display);
}

unsigned long ProgramWindow::waitForWindow(double seconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end && display != nullptr) {
        unsigned long found = find(DefaultRootWindow(display));
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

std::vector<unsigned long> ProgramWindow::grab(unsigned long w)
{
    std::vector<unsigned long> pixels;
    XWindowAttributes a;
    if (display == nullptr || !XGetWindowAttributes(display, w, &a))
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

std::vector<unsigned long> ProgramWindow::grabWhenShown(unsigned long w, unsigned long rgb,
                                                        size_t min, double seconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::vector<unsigned long> pixels = grab(w);
    while (countPixels(pixels, rgb) <= min && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pixels = grab(w);
    }
    return pixels;
}

void ProgramWindow::pressKey(unsigned long top, const char *keysym)
{
    std::vector<unsigned long> all;
    collect(top, all);
    for (int type : {KeyPress, KeyRelease})
        for (unsigned long w : all) {
            XEvent e{};
            e.xkey.type = type;
            e.xkey.display = display;
            e.xkey.window = w;
            e.xkey.root = DefaultRootWindow(display);
            e.xkey.time = CurrentTime;
            e.xkey.x = e.xkey.y = 10;
            e.xkey.same_screen = True;
            e.xkey.keycode = XKeysymToKeycode(display, XStringToKeysym(keysym));
            XSendEvent(display, w, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &e);
        }
    XFlush(display);
}

void ProgramWindow::close(unsigned long w)
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

int ProgramWindow::stop(int signal, double seconds)
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

size_t ProgramWindow::countPixels(const std::vector<unsigned long> &pixels, unsigned long rgb)
{
    size_t n = 0;
    for (unsigned long p : pixels)
        n += p == rgb;
    return n;
}

unsigned long ProgramWindow::find(unsigned long w)
{
    char *name = nullptr;
    if (XFetchName(display, w, &name) && name != nullptr) {
        // Its own window, also when other programs share the display.
        bool match = title == name;
        XFree(name);
        if (match)
            return w;
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    unsigned long found = 0;
    if (XQueryTree(display, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && found == 0; ++i)
            found = find(children[i]);
        if (children != nullptr)
            XFree(children);
    }
    return found;
}

void ProgramWindow::collect(unsigned long w, std::vector<unsigned long> &all)
{
    all.push_back(w);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (XQueryTree(display, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n; ++i)
            collect(children[i], all);
        if (children != nullptr)
            XFree(children);
    }
}
