// A real X window with its own GLX context, for rendering scenes under
// Xvfb and reading the pixels back.
#ifndef QV_TEST_WINDOW_H
#define QV_TEST_WINDOW_H

#include <Inventor/SbColor.h>
#include <Inventor/nodes/SoNode.h>

#include <cstdint>
#include <string>
#include <vector>

class TestWindow {
  public:
    TestWindow(int width = 200, int height = 200);
    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;
    ~TestWindow();

    bool isOpen() const;
    int getWidth() const { return width; }
    int getHeight() const { return height; }

    // Clears to the background and renders the scene; returns after glFinish.
    void render(SoNode *root, const SbColor &background = SbColor(0, 0, 0));
    void makeCurrent();

    struct Pixel {
        uint8_t r, g, b, a;
        bool operator==(const Pixel &o) const
        {
            return r == o.r && g == o.g && b == o.b;
        }
    };
    // Pixel at (x, y), origin at the lower left.
    Pixel at(int x, int y) const;
    // Number of pixels that differ from the background.
    int countNotBackground() const;
    // Number of pixels for which the predicate holds.
    template <class F> int count(F pred) const
    {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (pred(at(x, y)))
                    ++n;
        return n;
    }
    // Columns (x) that hold at least one non-background pixel.
    std::vector<int> litColumns() const;
    void savePPM(const std::string &path) const;
    const std::vector<uint8_t> &getPixels() const { return pixels; }

  private:
    void readBack();

    int width, height;
    // The X and GLX handles stay out of this header: Xlib's macros clash
    // with the test framework's names.
    struct Native;
    Native *native;
    std::vector<uint8_t> pixels;
    Pixel backgroundPixel{0, 0, 0, 255};
};

#endif
