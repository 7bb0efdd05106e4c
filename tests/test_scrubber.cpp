// The scrubbing engine heard through the paced recording device, and the
// audio-port layer over ALSA.
#include "SoundFiles.h"
#include "TestSupport.h"

#include <audio/audio.h>
#include <nodes/qvAudio/Scrubber.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

void sleepSeconds(double s)
{
    std::this_thread::sleep_for(std::chrono::microseconds((long)(s * 1e6)));
}

long fileFrames(const std::string &path, int channels)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return 0;
    return (long)(st.st_size / (off_t)(sizeof(float) * channels));
}

class ScrubberTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        dir = new std::string(makeTempDir());
        ASSERT_TRUE(writeSoundFile(file("stereo.wav"), 2, 44100, testSignal(kFrames, 2)));
        ASSERT_TRUE(writeSoundFile(file("mono48k.wav"), 1, 48000, testSignal(2 * 48000, 1)));
        for (int channels : {12, 16}) {
            std::vector<float> s(4410 * (size_t)channels);
            for (size_t i = 0; i < s.size(); ++i)
                s[i] = (float)(i % (size_t)channels + 1) / 32.0f; // channel c holds (c + 1) / 32
            ASSERT_TRUE(writeSoundFile(file("ch" + std::to_string(channels) + ".wav"), channels,
                                       44100, s));
        }
    }
    void SetUp() override
    {
        static int n = 0;
        record = *dir + "/rec" + std::to_string(++n) + ".raw";
        useDevice("paced:" + record);
    }
    void TearDown() override { setenv("QV_AUDIO_DEVICE", "paced:/dev/null", 1); }
    void useDevice(const std::string &spec) { setenv("QV_AUDIO_DEVICE", spec.c_str(), 1); }
    static std::string file(const std::string &name) { return *dir + "/" + name; }

    static constexpr long kFrames = 3 * 44100;
    static std::string *dir;
    std::string record;
};
std::string *ScrubberTest::dir = nullptr;

TEST_F(ScrubberTest, SpeedOnePlaysFileInRealTime)
{
    auto s = std::make_unique<Scrubber>();
    EXPECT_EQ(s->SetSpeed(1.0), 1);
    Clock::time_point start = Clock::now();
    s->ReinitSound(file("stereo.wav").c_str());
    EXPECT_EQ(s->GetQueueFrames(), 4410);
    EXPECT_EQ(s->GetBlockFrames(), 2205);
    EXPECT_EQ(s->GetOpenPortCount(), 1);
    sleepSeconds(0.6);
    long played = s->GetFilePos();
    s.reset();
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<float> rec = readFloats(record);
    long frames = (long)rec.size() / 2;
    // The device consumes at 44 100 frames a second; the queue and one
    // computed block run ahead of it.
    EXPECT_GE(frames, (long)(0.5 * 44100));
    EXPECT_LE(frames, (long)(elapsed * 44100) + 4410 + 2205);
    EXPECT_NEAR(played, frames, 2205 + 4410);
    for (long k = 0; k < frames; ++k)
        for (int c = 0; c < 2; ++c)
            ASSERT_NEAR(rec[(size_t)(k * 2 + c)], testSample(k % kFrames, c), 2e-6) << k;
}

TEST_F(ScrubberTest, SpeedZeroHoldsTheLastFrame)
{
    auto s = std::make_unique<Scrubber>();
    s->SetSpeed(1.0);
    s->ReinitSound(file("stereo.wav").c_str());
    sleepSeconds(0.25);
    s->SetSpeed(0.0);
    long atCommand = fileFrames(record, 2);
    long position = s->GetFilePos();
    sleepSeconds(0.25);
    EXPECT_EQ(s->GetFilePos(), position);
    s.reset();

    std::vector<float> rec = readFloats(record);
    long frames = (long)rec.size() / 2;
    ASSERT_GT(frames, atCommand + 4410);
    // The held run starts at a block boundary, within one block of the command.
    long h = frames - 1;
    while (h > 0 && rec[(size_t)(h - 1) * 2] == rec[(size_t)h * 2] &&
           rec[(size_t)(h - 1) * 2 + 1] == rec[(size_t)h * 2 + 1])
        --h;
    // rec[h] is the last computed frame; everything after it repeats it.
    EXPECT_LE(h, atCommand + 2205);
    EXPECT_EQ((h + 1) % 2205, 0) << h;
    EXPECT_NEAR(rec[(size_t)h * 2], testSample(h, 0), 2e-6);
}

TEST_F(ScrubberTest, PositionChangeTakesEffectWithinOneBlock)
{
    auto s = std::make_unique<Scrubber>();
    s->SetSpeed(1.0);
    s->ReinitSound(file("stereo.wav").c_str());
    sleepSeconds(0.2);
    const long target = 100000;
    EXPECT_EQ(s->SetFilePos(target), 1);
    long atCommand = fileFrames(record, 2);
    sleepSeconds(0.2);
    s.reset();

    std::vector<float> rec = readFloats(record);
    long frames = (long)rec.size() / 2;
    long jump = -1;
    for (long k = atCommand - 2205; k <= atCommand + 2205 && k < frames; ++k)
        if (k >= 0 && std::fabs(rec[(size_t)k * 2] - testSample(target, 0)) < 2e-6 &&
            std::fabs(rec[(size_t)k * 2 + 1] - testSample(target, 1)) < 2e-6) {
            jump = k;
            break;
        }
    ASSERT_GE(jump, 0) << "the new position never played";
    EXPECT_GE(jump, atCommand - 2205);
    for (long k = jump; k < frames; ++k)
        ASSERT_NEAR(rec[(size_t)k * 2], testSample(target + k - jump, 0), 2e-6) << k;
}

TEST_F(ScrubberTest, UnchangedSpeedOrPositionSendsNothing)
{
    Scrubber s;
    s.ReinitSound(file("mono48k.wav").c_str());
    long commands = s.GetCommandCount();
    EXPECT_EQ(s.SetSpeed(0.0), 0);
    EXPECT_EQ(s.SetFilePos(0), 0);
    EXPECT_EQ(s.SetIORateRatio(1.0), 0);
    EXPECT_EQ(s.GetCommandCount(), commands);
    EXPECT_EQ(s.SetFileTime(1.5), 1);
    EXPECT_EQ(s.GetFilePos(), 72000);
    EXPECT_DOUBLE_EQ(s.GetFileTime(), 1.5);
    EXPECT_EQ(s.SetFileTime(1.5), 0);
    EXPECT_EQ(s.SetSpeed(-1.0), 1);
    EXPECT_EQ(s.GetSpeed(), -1.0);
    EXPECT_EQ(s.GetCommandCount(), commands + 2);
    EXPECT_EQ(s.GetQueueFrames(), 4800);
    EXPECT_EQ(s.GetBlockFrames(), 2400);
}

TEST_F(ScrubberTest, WideFilesUsePortsOfEightChannels)
{
    struct Case {
        int channels, ports;
        const char *printed;
    } cases[] = {{16, 2, "setting up 2 ports\n"}, {12, 1, ""}, {2, 1, ""}};
    for (const Case &c : cases) {
        SetUp();
        auto s = std::make_unique<Scrubber>();
        s->SetSpeed(1.0);
        testing::internal::CaptureStdout();
        s->ReinitSound(file(c.channels == 2 ? "stereo.wav" : "ch" + std::to_string(c.channels) + ".wav").c_str());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed) << c.channels;
        EXPECT_EQ(s->GetPortCount(), c.ports);
        EXPECT_EQ(s->GetOpenPortCount(), c.ports);
        sleepSeconds(0.15);
        s.reset();
        if (c.channels == 2)
            continue;
        int perPort = c.channels / c.ports;
        for (int p = 0; p < c.ports; ++p) {
            std::string path = p == 0 ? record : record + "." + std::to_string(p);
            std::vector<float> rec = readFloats(path);
            ASSERT_GT(rec.size(), (size_t)perPort * 4410) << path;
            ASSERT_EQ(rec.size() % (size_t)perPort, 0u);
            // Port p carries channels p * 8 ...; the ports start aligned
            // (the first port's leading silence is what aligns them).
            size_t last = rec.size() - (size_t)perPort;
            for (int ch = 0; ch < perPort; ++ch)
                EXPECT_NEAR(rec[last + (size_t)ch], (float)(p * perPort + ch + 1) / 32.0f, 1e-6)
                    << "port " << p << " channel " << ch;
        }
    }
}

TEST_F(ScrubberTest, DeviceRateReadBackKeepsRealTime)
{
    useDevice("paced,rate=48000:" + record);
    auto s = std::make_unique<Scrubber>();
    s->SetSpeed(1.0);
    s->ReinitSound(file("stereo.wav").c_str());
    EXPECT_DOUBLE_EQ(s->GetIORateRatio(), 44100.0 / 48000.0);
    EXPECT_EQ(s->GetBlockFrames(), 2205);
    EXPECT_EQ(s->SetOutputRate(44100), 0); // asked for already
    EXPECT_EQ(s->SetOutputRate(96000), 1);
    EXPECT_DOUBLE_EQ(s->GetIORateRatio(), 44100.0 / 48000.0);
    Clock::time_point start = Clock::now();
    long before = s->GetFilePos();
    sleepSeconds(0.5);
    long advanced = s->GetFilePos() - before;
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    // Real time in file frames, give or take a block.
    EXPECT_NEAR((double)advanced, elapsed * 44100, 2205 + 1000);
    // A device that takes every rate follows a new ratio.
    s.reset();
    useDevice("paced:" + record + ".free");
    s = std::make_unique<Scrubber>();
    s->ReinitSound(file("stereo.wav").c_str());
    EXPECT_DOUBLE_EQ(s->GetIORateRatio(), 1.0);
    EXPECT_EQ(s->SetIORateRatio(2.0), 1);
    EXPECT_DOUBLE_EQ(s->GetIORateRatio(), 0.5);
    EXPECT_EQ(s->SetOutputRate(88200), 0);
}

TEST_F(ScrubberTest, FailedLoadPlaysNothingAndStaysUsable)
{
    auto s = std::make_unique<Scrubber>();
    s->SetSpeed(1.0);
    testing::internal::CaptureStderr();
    s->ReinitSound(file("missing.wav").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\"" + file("missing.wav") + "\": can't stat.\n");
    EXPECT_EQ(s->GetOpenPortCount(), 0);
    EXPECT_EQ(s->SetFilePos(100), 1);
    EXPECT_EQ(s->SetSpeed(2.0), 1);
    EXPECT_EQ(s->GetFileTime(), 0.0);
    sleepSeconds(0.05);
    EXPECT_EQ(fileFrames(record, 2), 0);
    s->ReinitSound(file("stereo.wav").c_str());
    EXPECT_EQ(s->GetOpenPortCount(), 1);
    sleepSeconds(0.05);
    s.reset();
    EXPECT_GT(fileFrames(record, 2), 0);
}

TEST_F(ScrubberTest, FilesBeyondTheEnginesRangeAreNotPlayed)
{
    struct Case {
        int channels;
        double rate;
        const char *message;
    } cases[] = {{40, 44100, "40 channels are more than 4 ports of 8; not played.\n"},
                 {1, 15, "a rate of 15 Hz is too low to play; not played.\n"}};
    for (const Case &c : cases) {
        std::string name = file("range" + std::to_string(c.channels) + ".wav");
        ASSERT_TRUE(writeSoundFile(name, c.channels, c.rate, testSignal(100, c.channels)));
        Scrubber s;
        s.SetSpeed(1.0);
        testing::internal::CaptureStderr();
        s.ReinitSound(name.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "\"" + name + "\": " + c.message);
        EXPECT_EQ(s.GetOpenPortCount(), 0);
        EXPECT_EQ(s.SetFilePos(10), 1);
    }
}

TEST_F(ScrubberTest, MissingDeviceSkipsPlayback)
{
    useDevice("qv_no_such_device");
    auto s = std::make_unique<Scrubber>();
    s->SetSpeed(1.0);
    testing::internal::CaptureStderr();
    s->ReinitSound(file("stereo.wav").c_str());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("error opening port: "), std::string::npos) << err;
    EXPECT_NE(err.find("qv_no_such_device"), std::string::npos) << err;
    EXPECT_EQ(s->GetOpenPortCount(), 0);
    EXPECT_EQ(s->SetFilePos(1000), 1);
    EXPECT_EQ(s->GetFilePos(), 1000);
}

TEST_F(ScrubberTest, DestroyingWhilePlayingEndsTheThread)
{
    for (int i = 0; i < 3; ++i) {
        auto s = std::make_unique<Scrubber>();
        s->SetSpeed(2.5);
        s->ReinitSound(file("stereo.wav").c_str());
        sleepSeconds(0.02);
    }
    Scrubber idle; // never loaded
}

// The port layer over ALSA, through a file PCM over the null device.
TEST_F(ScrubberTest, AlsaFilePortWritesFloatFrames)
{
    std::string raw = *dir + "/alsa.raw";
    useDevice("file:'" + raw + "',raw");
    ALpv pv;
    pv.param = AL_RATE;
    pv.value.ll = alDoubleToFixed(44100.0);
    ASSERT_EQ(alSetParams(AL_DEFAULT_OUTPUT, &pv, 1), 0);
    ALconfig config = alNewConfig();
    ASSERT_EQ(alSetChannels(config, 2), 0);
    ASSERT_EQ(alSetSampFmt(config, AL_SAMPFMT_FLOAT), 0);
    ASSERT_EQ(alSetFloatMax(config, 1.0), 0);
    ASSERT_EQ(alSetQueueSize(config, 4410), 0);
    ALport port = alOpenPort("Output Port", "w", config);
    ASSERT_NE(port, nullptr) << alGetErrorString(errno);
    alFreeConfig(config);
    ASSERT_EQ(alGetParams(AL_DEFAULT_OUTPUT, &pv, 1), 0);
    EXPECT_DOUBLE_EQ(alFixedToDouble(pv.value.ll), 44100.0);
    EXPECT_GE(alGetFD(port), 0);
    EXPECT_EQ(alSetFillPoint(port, 2205), 0);
    std::vector<float> frames = testSignal(3000, 2);
    ASSERT_EQ(alWriteFrames(port, frames.data(), 3000), 0);
    ASSERT_EQ(alZeroFrames(port, 100), 0);
    stamp_t msc = 0, ust = 0;
    EXPECT_EQ(alGetFrameNumber(port, &msc), 0);
    EXPECT_EQ(msc, 3100);
    EXPECT_EQ(alGetFrameTime(port, &msc, &ust), 0);
    EXPECT_GT(ust, 0);
    ASSERT_EQ(alClosePort(port), 0);

    std::vector<float> rec = readFloats(raw);
    ASSERT_EQ(rec.size(), 3100u * 2);
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(rec[i], frames[i]) << i;
    for (size_t i = frames.size(); i < rec.size(); ++i)
        ASSERT_EQ(rec[i], 0.0f);
}

TEST_F(ScrubberTest, PortErrorsCarryTheirText)
{
    ALconfig config = alNewConfig();
    EXPECT_LT(alSetChannels(config, 0), 0);
    EXPECT_EQ(errno, AL_BAD_CHANNELS);
    EXPECT_LT(alSetQueueSize(config, 0), 0);
    EXPECT_STREQ(alGetErrorString(errno), "bad queue size 0");
    EXPECT_EQ(alOpenPort("x", "r", config), nullptr);
    alFreeConfig(config);
}

} // namespace
