// The example sound scene: its build-time sound file, its waveform
// scrolling with the clock, and its sound following time and speed.
#include <gtest/gtest.h>

#include "SoundFiles.h"
#include "TestSupport.h"
#include "TestWindow.h"

#include <nodes/qvAudio/Scrubber.h>
#include <qvSuiteAll.h>

#include <Inventor/SoInput.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/nodes/SoSeparator.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

TEST(SoundExample, WaveformScrollsAndSoundFollowsTheClock)
{
    qvTestInit();
    SoInput::addDirectoryLast(QV_BINARY_DIR "/examples");
    SoSeparator *root = readSceneFile(sourcePath("examples/sound.iv"));
    ASSERT_NE(root, nullptr);
    root->ref();
    qvTime *clock = (qvTime *)SoNode::getByName("Clock");
    ASSERT_NE(clock, nullptr);
    clock->speed = 0.0f;
    SoSearchAction search;
    search.setType(qvAudio::getClassTypeId());
    search.apply(root);
    ASSERT_NE(search.getPath(), nullptr);
    qvAudio *audio = (qvAudio *)search.getPath()->getTail();

    TestWindow window(400, 200);
    ASSERT_TRUE(window.isOpen());
    auto frameAt = [&](double t) {
        clock->time = SbTime(t);
        testing::internal::CaptureStderr();
        window.render(root);
        testing::internal::GetCapturedStderr();
        return window.getPixels();
    };
    std::vector<uint8_t> first = frameAt(3.0);
    Scrubber *engine = audio->getScrubber();
    EXPECT_EQ(engine->GetChannels(), 2);
    EXPECT_EQ(engine->GetFrameCount(), 12 * 44100);
    EXPECT_NEAR(engine->GetFileTime(), 3.0, 0.06);
    // The waveform fills the window from left to right.
    if (const char *shot = std::getenv("QV_SAVE_FRAME"))
        window.savePPM(shot);
    std::vector<int> lit = window.litColumns();
    ASSERT_FALSE(lit.empty());
    EXPECT_LT(lit.front(), 20);
    EXPECT_GT(lit.back(), 380);
    // A later time shows another stretch, and the sound moves there too.
    std::vector<uint8_t> later = frameAt(3.9);
    EXPECT_NE(first, later);
    EXPECT_NEAR(engine->GetFileTime(), 3.9, 0.06);
    // The scene's speed drives the sound, backward as well.
    clock->speed = -1.0f;
    frameAt(3.9);
    EXPECT_EQ(engine->GetSpeed(), -1.0);
    clock->speed = 0.0f;
    frameAt(3.9);
    EXPECT_EQ(engine->GetSpeed(), 0.0);
    root->unref();
}

} // namespace

namespace {

// The example player, driven from the keyboard as a user does.
class Player {
  public:
    Player(const std::string &scene, const std::string &record) : title("qvScenePlayer: " + scene)
    {
        display = XOpenDisplay(nullptr);
        setenv("QV_AUDIO_DEVICE", ("paced:" + record).c_str(), 1);
        // From the source tree, as a user runs it; placed clear of the
        // other viewers that tests may show on the same display.
        std::string command = "cd '" + sourcePath("") + "' && exec '" + binaryPath("qvScenePlayer") +
                              "' -geometry +480+600 " + scene;
        char *argv[] = {(char *)"/bin/sh", (char *)"-c", (char *)command.c_str(), nullptr};
        if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0)
            pid = -1;
        setenv("QV_AUDIO_DEVICE", "paced:/dev/null", 1);
    }
    ~Player()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (display != nullptr)
            XCloseDisplay(display);
    }
    Window waitForWindow(double seconds)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end && display != nullptr) {
            Window found = find(DefaultRootWindow(display));
            if (found != 0)
                return found;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }
    // A key press and release to every window of the player (the render
    // area takes it; the rest ignore it).
    void press(Window top, KeySym sym)
    {
        std::vector<Window> all;
        collect(top, all);
        for (int type : {KeyPress, KeyRelease})
            for (Window w : all) {
                XEvent e{};
                e.xkey.type = type;
                e.xkey.display = display;
                e.xkey.window = w;
                e.xkey.root = DefaultRootWindow(display);
                e.xkey.time = CurrentTime;
                e.xkey.x = e.xkey.y = 10;
                e.xkey.same_screen = True;
                e.xkey.keycode = XKeysymToKeycode(display, sym);
                XSendEvent(display, w, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &e);
            }
        XFlush(display);
    }
    pid_t pid = -1;
    Display *display = nullptr;

  private:
    std::string title;
    Window find(Window w)
    {
        char *name = nullptr;
        if (XFetchName(display, w, &name) && name != nullptr) {
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
    void collect(Window w, std::vector<Window> &all)
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
};

// Frames of a stereo file as the audio-file library gives them.
std::vector<float> stereoFrames(const std::string &path)
{
    AFfilehandle h = afOpenFile(path.c_str(), "r", AF_NULL_FILESETUP);
    if (h == AF_NULL_FILEHANDLE)
        return {};
    afSetVirtualSampleFormat(h, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
    long frames = (long)afGetFrameCount(h, AF_DEFAULT_TRACK);
    std::vector<float> v((size_t)frames * 2);
    afReadFrames(h, AF_DEFAULT_TRACK, v.data(), (int)frames);
    afCloseFile(h);
    return v;
}

// Where in the file a stretch of the recording comes from: the file frame
// of rec frame k when the next `count` frames run in direction `step`.
long sourceOf(const std::vector<float> &rec, long k, const std::vector<float> &file, int step,
              long count)
{
    const long frames = (long)file.size() / 2;
    for (long p = 0; p < frames; ++p) {
        bool all = true;
        for (long j = 0; j < count && all; ++j) {
            long q = ((p + step * j) % frames + frames) % frames;
            all = std::fabs(rec[(size_t)(k + j) * 2] - file[(size_t)q * 2]) < 1e-5f &&
                  std::fabs(rec[(size_t)(k + j) * 2 + 1] - file[(size_t)q * 2 + 1]) < 1e-5f;
        }
        if (all)
            return p;
    }
    return -1;
}

TEST(SoundExample, PlayerScrubsBackwardAndForwardFromTheKeyboard)
{
    std::string dir = makeTempDir();
    std::string record = dir + "/player.raw";
    Player player("examples/sound.iv", record);
    ASSERT_NE(player.display, nullptr);
    Window w = player.waitForWindow(20);
    ASSERT_NE(w, 0u) << "no player window";
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    player.press(w, XK_b);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    long backwardEnd = (long)readFloats(record).size() / 2;
    player.press(w, XK_f);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    player.press(w, XK_space);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    std::vector<float> rec = readFloats(record);
    // The file the player finds first on the scene's search path.
    std::string sound = sourcePath("build/examples/sound_example.wav");
    if (access(sound.c_str(), R_OK) != 0)
        sound = QV_BINARY_DIR "/examples/sound_example.wav";
    std::vector<float> file = stereoFrames(sound);
    ASSERT_EQ(file.size(), 12u * 44100 * 2);
    const long frames = (long)rec.size() / 2;
    ASSERT_GT(frames, 44100 * 2);
    // Forward at first, from the start of the file.
    EXPECT_NE(sourceOf(rec, 4410, file, +1, 400), -1);
    // Backward after "b": a stretch that runs down through the file.
    EXPECT_NE(sourceOf(rec, backwardEnd - 8820, file, -1, 2000), -1);
    // Forward again after "f", then held after the space bar: the last
    // frames are all one frame.
    EXPECT_NE(sourceOf(rec, frames - (long)(0.95 * 44100), file, +1, 2000), -1);
    for (long k = frames - 2205; k < frames; ++k)
        ASSERT_EQ(rec[(size_t)k * 2], rec[(size_t)(frames - 1) * 2]) << k;
    std::string cleanup = "rm -rf '" + dir + "'";
    EXPECT_EQ(std::system(cleanup.c_str()), 0);
}

} // namespace
