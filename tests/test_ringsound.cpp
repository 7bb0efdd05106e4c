// The ring-buffered reader: kernel table, playback at speeds, looping,
// positions and the loading messages.
#include "SoundFiles.h"
#include "TestSupport.h"

#include <nodes/qvAudio/RingSound.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>

namespace {

class RingSoundTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        dir = new std::string(makeTempDir());
        ASSERT_TRUE(writeSoundFile(path("stereo.wav"), 2, 44100, testSignal(kFrames, 2)));
        ASSERT_TRUE(writeSoundFile(path("short.wav"), 1, 8000, testSignal(kShort, 1)));
        std::vector<float> impulse(4000, 0.0f);
        impulse[kImpulseAt] = 1.0f;
        ASSERT_TRUE(writeSoundFile(path("impulse.wav"), 1, 44100, impulse));
        ASSERT_TRUE(writeSoundFile(path("empty.wav"), 1, 44100, {}));
        std::ofstream(path("text.wav")) << "this is not a sound file\n";
    }
    static std::string path(const std::string &name) { return *dir + "/" + name; }

    static constexpr long kFrames = 10000;
    static constexpr long kShort = 1000;
    static constexpr long kImpulseAt = 2000;
    static std::string *dir;
};
std::string *RingSoundTest::dir = nullptr;

TEST(RingSoundTable, SeventeenWindowedSincEntries)
{
    RingSound r(4, 4);
    ASSERT_EQ(r.GetSincTableSize(), 17);
    const float expected[17] = {1,       0.892f,  0.612f,    0.275f,   0,       -0.14f,
                                -0.147f, -0.0769f, 0,        0.0403f,  0.0393f, 0.0182f,
                                0,       -0.00584f, -0.00346f, -0.000577f, 0};
    const float *t = r.GetSincTable();
    for (int i = 0; i < 17; ++i) {
        if (i % 4 == 0 && i > 0) {
            // Sinc zeros are off only by pi's rounding to single precision.
            EXPECT_NEAR(t[i], 0.0f, 1e-6f) << i;
            EXPECT_NE(t[i], 0.0f) << i;
        } else {
            EXPECT_NEAR(t[i], expected[i], std::fabs(expected[i]) * 0.006f) << i;
        }
    }
}

TEST_F(RingSoundTest, SpeedOneFromWholeFrameReproducesFile)
{
    RingSound r(4, 4);
    ASSERT_NE(r.Initialize(path("stereo.wav").c_str()), 0);
    EXPECT_EQ(r.GetChannels(), 2);
    EXPECT_EQ(r.GetSampleRate(), 44100.0);
    std::vector<float> signal = testSignal(kFrames, 2);
    const long start = 777, n = 8000; // crosses several rotations and the end
    ASSERT_EQ(r.SetFilePosition(start), 0);
    std::vector<float> out((size_t)n * 2);
    r.GetFrames(out.data(), (int)n, 1.0f);
    for (long k = 0; k < n; ++k)
        for (int c = 0; c < 2; ++c)
            ASSERT_NEAR(out[(size_t)(k * 2 + c)], signal[(size_t)(((start + k) % kFrames) * 2 + c)], 2e-6)
                << "frame " << k << " channel " << c;
    EXPECT_EQ(r.GetFilePosition(), (start + n) % kFrames);
}

TEST_F(RingSoundTest, SpeedZeroRepeatsOneFrame)
{
    RingSound r(4, 4);
    ASSERT_NE(r.Initialize(path("stereo.wav").c_str()), 0);
    ASSERT_EQ(r.SetFilePosition(4321), 0);
    std::vector<float> out(3000 * 2);
    r.GetFrames(out.data(), 3000, 0.0f);
    for (int k = 0; k < 3000; ++k)
        for (int c = 0; c < 2; ++c)
            ASSERT_NEAR(out[(size_t)(k * 2 + c)], testSample(4321, c), 2e-6) << k;
    EXPECT_EQ(r.GetFilePosition(), 4321);
}

TEST_F(RingSoundTest, SpeedMinusOneRunsBackwardAcrossFrameZero)
{
    RingSound r(4, 4);
    ASSERT_NE(r.Initialize(path("stereo.wav").c_str()), 0);
    const long n = 5000;
    std::vector<float> out((size_t)n * 2);
    r.GetFrames(out.data(), (int)n, -1.0f);
    for (long k = 0; k < n; ++k) {
        long frame = (kFrames - k) % kFrames; // 0, last, last - 1, ...
        for (int c = 0; c < 2; ++c)
            ASSERT_NEAR(out[(size_t)(k * 2 + c)], testSample(frame, c), 2e-6) << k;
    }
    EXPECT_EQ(r.GetFilePosition(), kFrames - n);
}

// An impulse shows the kernel: its reach in frames (the taps) and its gain.
TEST_F(RingSoundTest, StretchedKernelAboveUnitSpeed)
{
    RingSound r(4, 4);
    const float *table = r.GetSincTable();
    ASSERT_NE(r.Initialize(path("impulse.wav").c_str()), 0);

    // Speed 2: 8 frames each side, sum scaled by 0.5; the kernel is read at
    // 2 table entries per frame of distance.
    ASSERT_EQ(r.SetFilePosition(kImpulseAt - 21), 0);
    std::vector<float> out(21);
    r.GetFrames(out.data(), 21, 2.0f); // positions impulse-21, -19, ..., +19
    for (int k = 0; k < 21; ++k) {
        long distance = std::labs(-21 + 2 * k);
        float expected = distance < 8 ? 0.5f * table[2 * distance] : 0.0f;
        EXPECT_NEAR(out[(size_t)k], expected, 1e-7) << "distance " << distance;
    }
    EXPECT_NEAR(out[7], 0.5f * table[14], 1e-7); // distance 7: only 8 taps reach it
    EXPECT_NE(out[7], 0.0f);

    // Speed 0.5: 4 frames each side, no scaling; half-frame positions.
    ASSERT_EQ(r.SetFilePosition(kImpulseAt - 4), 0);
    std::vector<float> slow(9);
    r.GetFrames(slow.data(), 9, 0.5f); // positions impulse-4, -3.5, ..., 0
    for (int k = 0; k < 9; ++k) {
        int entry = 16 - 2 * k; // distance (4 - k/2) frames, 4 entries each
        EXPECT_NEAR(slow[(size_t)k], table[entry], 1e-6) << k;
    }
    EXPECT_NEAR(slow[8], 1.0f, 1e-6);
}

TEST_F(RingSoundTest, ShortFileLoopsWithoutGaps)
{
    RingSound r(4, 4);
    ASSERT_NE(r.Initialize(path("short.wav").c_str()), 0);
    const long n = 5500;
    std::vector<float> out((size_t)n);
    r.GetFrames(out.data(), (int)n, 1.0f);
    for (long k = 0; k < n; ++k)
        ASSERT_NEAR(out[(size_t)k], testSample(k % kShort, 0), 2e-6) << k;
    std::vector<float> back((size_t)n);
    r.GetFrames(back.data(), (int)n, -1.0f);
    for (long k = 0; k < n; ++k)
        ASSERT_NEAR(back[(size_t)k], testSample(((n - k) % kShort + kShort) % kShort, 0), 2e-6) << k;
}

TEST_F(RingSoundTest, PositionsModuloFrameCount)
{
    RingSound r(4, 4);
    ASSERT_NE(r.Initialize(path("stereo.wav").c_str()), 0);
    struct Case {
        long set, frames, expected;
    } cases[] = {
        {0, 0, 0},          {4999, 0, 4999},       {kFrames, 0, 0},
        {12345, 0, 2345},   {-1, 0, kFrames - 1},  {9000, 3000, 2000},
        {250, 1000, 1250},  {-2500, 4000, 1500},
    };
    std::vector<float> out(4000 * 2);
    for (const Case &c : cases) {
        ASSERT_EQ(r.SetFilePosition(c.set), 0);
        r.GetFrames(out.data(), (int)c.frames, 1.0f);
        EXPECT_EQ(r.GetFilePosition(), c.expected) << c.set << " + " << c.frames;
    }
}

TEST_F(RingSoundTest, SpeedsBeyondTheWindowAreClamped)
{
    RingSound r(4, 4);
    ASSERT_NE(r.Initialize(path("stereo.wav").c_str()), 0);
    EXPECT_EQ(r.GetMaxSpeed(), 256.0f);
    std::vector<float> fast(600 * 2), clamped(600 * 2);
    r.GetFrames(fast.data(), 600, 5000.0f);
    ASSERT_EQ(r.SetFilePosition(0), 0);
    r.GetFrames(clamped.data(), 600, 256.0f);
    EXPECT_EQ(fast, clamped);
    r.GetFrames(fast.data(), 600, -1e30f);
    r.GetFrames(fast.data(), 600, NAN);
    for (float x : fast)
        EXPECT_TRUE(std::isfinite(x));
}

TEST_F(RingSoundTest, LoadingMessages)
{
    struct Case {
        std::string file, message;
    } cases[] = {
        {path("missing.wav"), "\"" + path("missing.wav") + "\": can't stat.\n"},
        {path("text.wav"), "\"" + path("text.wav") + "\": unsupported file format.\n"},
        {path("empty.wav"), "\"" + path("empty.wav") + "\": no samples found.\n"},
    };
    RingSound r(4, 4);
    for (const Case &c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(r.Initialize(c.file.c_str()), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(r.GetChannels(), 0);
        EXPECT_EQ(r.GetFilePosition(), 0);
        EXPECT_NE(r.SetFilePosition(10), 0);
    }
    // A failed load leaves the reader empty but reusable.
    EXPECT_NE(r.Initialize(path("short.wav").c_str()), 0);
    EXPECT_EQ(r.GetFrameCount(), kShort);
}

} // namespace
