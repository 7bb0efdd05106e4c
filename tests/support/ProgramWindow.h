// A program started by a test and the top-level window it shows, looked
// at and driven through the X server as a user would.
#ifndef QV_PROGRAM_WINDOW_H
#define QV_PROGRAM_WINDOW_H

#include <string>
#include <vector>

class ProgramWindow {
  public:
    // Starts argv (argv[0] is the path) in workingDir, if named; its window
    // is the one titled title.
    ProgramWindow(const std::vector<std::string> &argv, const std::string &title,
                  const std::string &workingDir = "");
    ~ProgramWindow(); // kills the program if it still runs
    ProgramWindow(const ProgramWindow &) = delete;
    ProgramWindow &operator=(const ProgramWindow &) = delete;

    bool hasDisplay() const { return display != nullptr; }
    int getPid() const { return pid; }

    // The program's window (an X window id); 0 when it does not show in
    // time or the program ends first.
    unsigned long waitForWindow(double seconds);
    // Pixels of the window as 0xRRGGBB; empty while it is not viewable.
    std::vector<unsigned long> grab(unsigned long window);
    // Grabs until more than min pixels of the colour show; the last grab.
    std::vector<unsigned long> grabWhenShown(unsigned long window, unsigned long rgb,
                                             size_t min, double seconds);
    // A key press and release (keysym name such as "b" or "space") sent
    // to the window and all of its children.
    void pressKey(unsigned long window, const char *keysym);
    // Asks the window to close, as a window manager does.
    void close(unsigned long window);
    // Sends the signal (none: 0) and waits for the exit; the raw wait
    // status, or -1 when the program is still running.
    int stop(int signal, double seconds);
    bool hasExited() const { return exited; }
    int getStatus() const { return status; }

    static size_t countPixels(const std::vector<unsigned long> &pixels, unsigned long rgb);

  private:
    unsigned long find(unsigned long window);
    void collect(unsigned long window, std::vector<unsigned long> &all);

    struct _XDisplay *display = nullptr;
    std::string title;
    int pid = -1;
    int status = 0;
    bool exited = false;
};

#endif
