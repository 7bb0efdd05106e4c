// The sound-file layer: samples as the audio-file library maps them, read
// directly or through the library; mixing, resampling, 16-bit delivery,
// seeking; and a real-time reader that allocates nothing while it plays.
#include "SoundFiles.h"
#include "TestSupport.h"

#include <dmedia/dmedia.h>
#include <nodes/qvAudio/RingSound.h>
#include <soundfile/qvSoundFile.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Counts every operator new of the process (the audio-file library's
// included), for the allocation test.
static std::atomic<long> newCount{0};
void *operator new(std::size_t n)
{
    ++newCount;
    if (void *p = std::malloc(n == 0 ? 1 : n))
        return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t n) { return operator new(n); }
void *operator new(std::size_t n, const std::nothrow_t &) noexcept
{
    ++newCount;
    return std::malloc(n == 0 ? 1 : n);
}
void *operator new[](std::size_t n, const std::nothrow_t &t) noexcept { return operator new(n, t); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

namespace {

class SoundFileLayer : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        dir = new std::string(makeTempDir());
        // One stereo signal in the layouts sox writes.
        sox("-n -r 22050 -c 2 " + path("source.wav") + " synth 0.5 sine 300 sine 1100 gain -1");
        for (const char *f : {"u8.wav -e unsigned -b 8", "s16.aiff -b 16", "s24.wav -b 24",
                              "s32.aiff -e signed -b 32", "f32.wav -e float -b 32",
                              "f64.wav -e float -b 64", "s16.au -b 16", "s8.aiff -b 8"}) {
            std::string spec = f;
            std::string name = spec.substr(0, spec.find(' '));
            sox(path("source.wav") + " " + spec.substr(spec.find(' ') + 1) + " " + path(name));
        }
    }
    static void sox(const std::string &args)
    {
        ProgramResult r = runProgram("sox " + args);
        ASSERT_EQ(r.status, 0) << args << "\n" << r.err;
    }
    static std::string path(const std::string &name) { return *dir + "/" + name; }

    // The audio-file library's own float frames of a file.
    static std::vector<float> libraryFrames(const std::string &file, int *channels)
    {
        AFfilehandle h = afOpenFile(file.c_str(), "r", AF_NULL_FILESETUP);
        if (h == AF_NULL_FILEHANDLE)
            return {};
        afSetVirtualSampleFormat(h, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
        *channels = afGetChannels(h, AF_DEFAULT_TRACK);
        long frames = (long)afGetFrameCount(h, AF_DEFAULT_TRACK);
        std::vector<float> v((size_t)(frames * *channels));
        int got = afReadFrames(h, AF_DEFAULT_TRACK, v.data(), (int)frames);
        v.resize((size_t)(std::max(got, 0) * *channels));
        afCloseFile(h);
        return v;
    }
    static std::string *dir;
};
std::string *SoundFileLayer::dir = nullptr;

TEST_F(SoundFileLayer, SamplesAsTheLibraryMapsThemInEveryLayout)
{
    for (const char *name : {"u8.wav", "s8.aiff", "s16.aiff", "s24.wav", "s32.aiff", "f32.wav",
                             "f64.wav", "s16.au"}) {
        int channels = 0;
        std::vector<float> expected = libraryFrames(path(name), &channels);
        ASSERT_EQ(channels, 2) << name;
        ASSERT_EQ(expected.size(), 11025u * 2) << name;
        std::unique_ptr<qvSoundFile> f(qvSoundFile::open(path(name).c_str()));
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(f->getFrameCount(), 11025) << name;
        EXPECT_EQ(f->getRate(), 22050.0) << name;
        // Read in two pieces around a seek back, as the reader does.
        std::vector<float> got(expected.size());
        ASSERT_EQ(f->seekFrame(6000), 6000);
        ASSERT_EQ(f->readFrames(got.data() + 6000 * 2, 6000), 11025 - 6000) << name;
        ASSERT_EQ(f->seekFrame(0), 0);
        ASSERT_EQ(f->readFrames(got.data(), 6000), 6000) << name;
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(got[i], expected[i]) << name << " sample " << i;
    }
}

TEST_F(SoundFileLayer, MixingResamplingAndSixteenBits)
{
    int channels = 0;
    std::vector<float> stereo = libraryFrames(path("s16.aiff"), &channels);
    std::unique_ptr<qvSoundFile> f(qvSoundFile::open(path("s16.aiff").c_str()));
    ASSERT_NE(f, nullptr);
    std::vector<float> head(100 * 2);
    ASSERT_EQ(f->readFrames(head.data(), 100), 100); // directly, then through the library
    ASSERT_EQ(f->setVirtualChannels(1), 0);
    EXPECT_EQ(f->getVirtualChannels(), 1);
    std::vector<float> mono(11025);
    ASSERT_EQ(f->readFrames(mono.data(), 11025), 11025 - 100);
    for (int i = 0; i < 11025 - 100; ++i)
        ASSERT_NEAR(mono[(size_t)i], 0.5f * (stereo[(size_t)(i + 100) * 2] + stereo[(size_t)(i + 100) * 2 + 1]), 1e-6) << i;

    ASSERT_EQ(f->setVirtualRate(1000.0), 0);
    EXPECT_EQ(f->getVirtualFrameCount(), 500);
    ASSERT_EQ(f->seekFrame(0), 0);
    std::vector<float> slow(600);
    EXPECT_EQ(f->readFrames(slow.data(), 600), 500);
    EXPECT_EQ(f->readFrames(slow.data(), 600), 0);
    // 16-bit frames are the float frames rounded to the 16-bit grid.
    ASSERT_EQ(f->seekFrame(250), 250);
    std::vector<float> floats(10);
    ASSERT_EQ(f->readFrames(floats.data(), 10), 10);
    ASSERT_EQ(f->setVirtualSampleFormat(qvSoundFile::INT16), 0);
    EXPECT_EQ(f->getVirtualFrameSize(), 2);
    ASSERT_EQ(f->seekFrame(250), 250);
    short shorts[10];
    ASSERT_EQ(f->readFrames(shorts, 10), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_NEAR(shorts[i], floats[(size_t)i] * 32768.0f, 0.51f) << i;
}

TEST_F(SoundFileLayer, FailuresAreRecorded)
{
    EXPECT_EQ(qvSoundFile::open(path("missing.wav").c_str()), nullptr);
    int number = 0;
    EXPECT_STRNE(dmGetError(&number, nullptr), "");
    EXPECT_NE(number, 0);
    std::unique_ptr<qvSoundFile> f(qvSoundFile::open(path("f32.wav").c_str()));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->seekFrame(-1), -1);
    EXPECT_EQ(f->seekFrame(11026), -1);
    EXPECT_EQ(f->setVirtualRate(0.0), -1);
    EXPECT_EQ(f->setVirtualChannels(0), -1);
    EXPECT_EQ(f->readFrames(nullptr, 10), -1);
}

TEST_F(SoundFileLayer, ReaderAllocatesNothingWhilePlaying)
{
    for (const char *name : {"s16.aiff", "f32.wav"}) {
        RingSound r(4, 4);
        ASSERT_NE(r.Initialize(path(name).c_str()), 0);
        std::vector<float> out(2205 * 2);
        for (float speed : {1.0f, 2.5f, -1.0f, 10.0f, 0.0f, -37.0f}) {
            long before = newCount;
            for (int block = 0; block < 40; ++block)
                r.GetFrames(out.data(), 2205, speed);
            EXPECT_EQ(newCount - before, 0) << name << " at speed " << speed;
        }
    }
}

} // namespace
