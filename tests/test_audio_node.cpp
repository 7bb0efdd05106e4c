// The audio node in rendered scenes: loading, position correction against
// scene time, speed, reloading and the scenes it refuses.
#include <gtest/gtest.h>

#include "SoundFiles.h"
#include "TestSupport.h"
#include "TestWindow.h"

#include <nodes/qvAudio/Scrubber.h>
#include <qvSuiteAll.h>

#include <Inventor/nodes/SoSeparator.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

class AudioNode : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        qvTestInit();
        dir = new std::string(makeTempDir());
        ASSERT_TRUE(writeSoundFile(path("mono.wav"), 1, 44100, testSignal(3 * 44100, 1)));
        ASSERT_TRUE(writeSoundFile(path("stereo.wav"), 2, 44100, testSignal(44100, 2)));
    }
    static std::string path(const std::string &name) { return *dir + "/" + name; }

    void SetUp() override
    {
        window = std::make_unique<TestWindow>(32, 32);
        ASSERT_TRUE(window->isOpen());
    }
    void TearDown() override
    {
        if (root != nullptr)
            root->unref();
    }
    void read(const std::string &data)
    {
        root = readSceneString("#Inventor V2.1 ascii\n Separator { qvSuite {}\n DEF T qvTime {}\n " +
                               data + "\n DEF A qvAudio {} }\n");
        ASSERT_NE(root, nullptr);
        root->ref();
        clock = (qvTime *)SoNode::getByName("T");
        audio = (qvAudio *)SoNode::getByName("A");
        ASSERT_NE(clock, nullptr);
        ASSERT_NE(audio, nullptr);
    }
    // Renders at a scene time; answers what went to the error stream.
    std::string renderAt(double seconds, float speed = 0.0f)
    {
        if (clock->speed.getValue() != speed)
            clock->speed = speed;
        clock->time = SbTime(seconds);
        testing::internal::CaptureStderr();
        window->render(root);
        return testing::internal::GetCapturedStderr();
    }
    Scrubber *engine() { return audio->getScrubber(); }

    static std::string *dir;
    std::unique_ptr<TestWindow> window;
    SoSeparator *root = nullptr;
    qvTime *clock = nullptr;
    qvAudio *audio = nullptr;
};
std::string *AudioNode::dir = nullptr;

const char *kPositioning = "WARNING! GLRender: Positioning of play position neccessary!\n";

TEST_F(AudioNode, CorrectsOnlyDriftAboveATenthOfASecond)
{
    read("qvData1RFloatFile { filename \"" + path("mono.wav") + "\" }");
    std::string err = renderAt(2.0);
    EXPECT_EQ(countOccurrences(err, kPositioning), 1) << err;
    EXPECT_EQ(engine()->GetChannels(), 1);
    EXPECT_EQ(engine()->GetFilePos(), 88200);

    err = renderAt(2.05);
    EXPECT_EQ(err, "");
    EXPECT_EQ(engine()->GetFilePos(), 88200);

    err = renderAt(2.2);
    EXPECT_EQ(countOccurrences(err, kPositioning), 1) << err;
    EXPECT_EQ(engine()->GetFilePos(), 97020);

    err = renderAt(1.9);
    EXPECT_EQ(countOccurrences(err, kPositioning), 1) << err;
    EXPECT_EQ(engine()->GetFilePos(), 83790);
}

TEST_F(AudioNode, TimeZeroAlwaysPositionsAtFrameZero)
{
    read("qvData1RFloatFile { filename \"" + path("mono.wav") + "\" }");
    renderAt(1.0);
    EXPECT_EQ(engine()->GetFilePos(), 44100);
    long commands = engine()->GetCommandCount();
    EXPECT_EQ(renderAt(0.0), "");
    EXPECT_EQ(engine()->GetFilePos(), 0);
    EXPECT_EQ(engine()->GetCommandCount(), commands + 1);
    // Playing: the position runs on between renders; time 0 brings it back.
    renderAt(0.0, 1.0f);
    EXPECT_EQ(engine()->GetSpeed(), 1.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_GT(engine()->GetFilePos(), 0);
    clock->time = SbTime::zero();
    testing::internal::CaptureStderr();
    window->render(root);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_LT(engine()->GetFilePos(), 2205 * 2);
}

TEST_F(AudioNode, SpeedFromTheSceneAndTimesPastTheEnd)
{
    read("qvData1RFloatFile { filename \"" + path("mono.wav") + "\" }");
    renderAt(1.0, -1.0f);
    EXPECT_EQ(engine()->GetSpeed(), -1.0);
    renderAt(1.0, 0.0f);
    EXPECT_EQ(engine()->GetSpeed(), 0.0);
    // 3.5 s in a 3 s file is 0.5 s into the loop: no correction needed.
    engine()->SetFileTime(0.5);
    EXPECT_EQ(renderAt(3.5), "");
}

TEST_F(AudioNode, ChangedFilenameReloads)
{
    read("DEF D qvData1RFloatFile { filename \"" + path("mono.wav") + "\" }");
    qvData1RFloatFile *data = (qvData1RFloatFile *)SoNode::getByName("D");
    renderAt(0.0);
    EXPECT_EQ(engine()->GetChannels(), 1);
    data->filename = path("stereo.wav").c_str();
    data->data.setValue(0.0f); // the series itself keeps its samples
    data->data.setDefault(TRUE);
    renderAt(0.0);
    EXPECT_EQ(engine()->GetChannels(), 2);
    data->filename = path("mono.wav").c_str();
    renderAt(0.0);
    EXPECT_EQ(engine()->GetChannels(), 1);
    EXPECT_EQ(engine()->GetFrameCount(), 3 * 44100);
}

TEST_F(AudioNode, RefusesOtherSeriesWithoutEndingTheProcess)
{
    const char *warning = "WARNING! GLRender:: Wrong class type of qvData node:qvData1RFloatFile\n"
                          "No audio playback! Only nodes of type 'qvData1RFloatFile' accepted!\n";
    read("qvData1RFloat { data [1, 2, 3] }");
    for (int i = 0; i < 2; ++i) {
        std::string err = renderAt(1.0, 1.0f);
        EXPECT_EQ(countOccurrences(err, warning), 1) << err;
    }
    EXPECT_EQ(engine()->GetSpeed(), 0.0);
    EXPECT_EQ(engine()->GetChannels(), 0);
    TearDown();
    read("Separator { qvData1RFloatFile { filename \"" + path("mono.wav") + "\" } }");
    EXPECT_EQ(countOccurrences(renderAt(1.0), warning), 1);
}

TEST_F(AudioNode, FileThatDoesNotLoadIsNotRetried)
{
    read("qvData1RFloatFile { data [0, 1] filename \"" + path("missing.wav") + "\" }");
    std::string err = renderAt(1.0);
    EXPECT_EQ(countOccurrences(err, "missing.wav\": can't stat.\n"), 1) << err;
    EXPECT_EQ(renderAt(1.0), "");
    EXPECT_EQ(engine()->GetOpenPortCount(), 0);
}

TEST_F(AudioNode, LongFileNamesWork)
{
    std::string deep = *dir + "/" + std::string(120, 'd');
    std::string name = deep + "/" + std::string(150, 'n') + ".wav";
    ASSERT_EQ(runProgram("mkdir -p '" + deep + "'").status, 0);
    ASSERT_TRUE(writeSoundFile(name, 2, 44100, testSignal(1000, 2)));
    read("qvData1RFloatFile { filename \"" + name + "\" }");
    renderAt(0.0);
    EXPECT_EQ(engine()->GetChannels(), 2);
    EXPECT_EQ(engine()->GetFrameCount(), 1000);
}

} // namespace
