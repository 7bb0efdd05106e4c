// The example sound scene: its build-time sound file, its waveform
// scrolling with the clock, and its sound following time and speed.
#include <gtest/gtest.h>

#include "SoundFiles.h"
#include "ProgramWindow.h"
#include "TestSupport.h"
#include "TestWindow.h"

#include <nodes/qvAudio/Scrubber.h>
#include <qvSuiteAll.h>

#include <Inventor/SoInput.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/nodes/SoSeparator.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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
    // The example player, run from the source tree as a user runs it,
    // placed clear of other windows on the display, recording what it plays.
    setenv("QV_AUDIO_DEVICE", ("paced:" + record).c_str(), 1);
    ProgramWindow player({binaryPath("qvScenePlayer"), "-geometry", "+480+600", "examples/sound.iv"},
                         "qvScenePlayer: examples/sound.iv", sourcePath(""));
    setenv("QV_AUDIO_DEVICE", "paced:/dev/null", 1);
    ASSERT_TRUE(player.hasDisplay());
    unsigned long w = player.waitForWindow(20);
    ASSERT_NE(w, 0u) << "no player window";
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    player.pressKey(w, "b");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    long backwardEnd = (long)readFloats(record).size() / 2;
    player.pressKey(w, "f");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    player.pressKey(w, "space");
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
