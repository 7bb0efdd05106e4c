#include "TestWindow.h"

#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGLRenderAction.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

struct TestWindow::Native {
    Display *display = nullptr;
    Window window = 0;
    GLXContext context = nullptr;
    Colormap colormap = 0;
};

bool TestWindow::isOpen() const { return native->context != nullptr; }

TestWindow::TestWindow(int w, int h) : width(w), height(h), native(new Native)
{
    Display *&display = native->display;
    Window &window = native->window;
    GLXContext &context = native->context;
    Colormap &colormap = native->colormap;
    // A busy X server refuses connections now and then (its listen queue
    // is full): try again for a while before giving up.
    for (int attempt = 0; attempt < 300 && display == nullptr; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (display == nullptr)
            usleep(100000);
    }
    if (display == nullptr)
        return;
    // Drawn into the back buffer and read from there: the back buffer is
    // the context's own, whatever other windows cover this one.
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8,
                        GLX_BLUE_SIZE, 8, GLX_DEPTH_SIZE, 16, None};
    XVisualInfo *visual =
        glXChooseVisual(display, DefaultScreen(display), attributes);
    if (visual == nullptr)
        return;
    Window root = RootWindow(display, visual->screen);
    colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    XSetWindowAttributes swa{};
    swa.colormap = colormap;
    swa.border_pixel = 0;
    swa.event_mask = StructureNotifyMask;
    window = XCreateWindow(display, root, 0, 0, width, height, 0,
                           visual->depth, InputOutput, visual->visual,
                           CWBorderPixel | CWColormap | CWEventMask, &swa);
    XMapWindow(display, window);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify);
    context = glXCreateContext(display, visual, nullptr, True);
    XFree(visual);
    makeCurrent();
}

TestWindow::~TestWindow()
{
    Native *n = native;
    if (n->display != nullptr) {
        if (n->context != nullptr) {
            glXMakeCurrent(n->display, None, nullptr);
            glXDestroyContext(n->display, n->context);
        }
        if (n->window != 0)
            XDestroyWindow(n->display, n->window);
        if (n->colormap != 0)
            XFreeColormap(n->display, n->colormap);
        XCloseDisplay(n->display);
    }
    delete n;
}

void TestWindow::makeCurrent()
{
    if (native->context != nullptr)
        glXMakeCurrent(native->display, native->window, native->context);
}

void TestWindow::render(SoNode *root, const SbColor &background)
{
    if (!isOpen())
        return;
    makeCurrent();
    glViewport(0, 0, width, height);
    glClearColor(background[0], background[1], background[2], 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SoGLRenderAction action(SbViewportRegion(width, height));
    action.apply(root);
    glFinish();
    backgroundPixel = Pixel{(uint8_t)(background[0] * 255 + 0.5f),
                            (uint8_t)(background[1] * 255 + 0.5f),
                            (uint8_t)(background[2] * 255 + 0.5f), 255};
    readBack();
}

void TestWindow::readBack()
{
    pixels.assign((size_t)width * height * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
}

TestWindow::Pixel TestWindow::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height || pixels.empty())
        return backgroundPixel;
    const uint8_t *p = &pixels[((size_t)y * width + x) * 4];
    return Pixel{p[0], p[1], p[2], p[3]};
}

int TestWindow::countNotBackground() const
{
    return count([this](const Pixel &p) { return !(p == backgroundPixel); });
}

std::vector<int> TestWindow::litColumns() const
{
    std::vector<int> columns;
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            if (!(at(x, y) == backgroundPixel)) {
                columns.push_back(x);
                break;
            }
    return columns;
}

void TestWindow::savePPM(const std::string &path) const
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            Pixel p = at(x, y);
            std::fputc(p.r, f);
            std::fputc(p.g, f);
            std::fputc(p.b, f);
        }
    std::fclose(f);
}
