// Throughput of RingSound::GetFrames for a stereo 44.1 kHz file at several
// speeds, side by side with libsamplerate (SRC_SINC_FASTEST) and soxr
// (quick and high quality) converting the same frames at the same ratio;
// then the audio thread's CPU share while playing at speed 1.
//
//   bench_ringsound [seconds of output per measurement, default 20]
#include "SoundFiles.h"
#include "TestSupport.h"

#include <nodes/qvAudio/RingSound.h>
#include <nodes/qvAudio/Scrubber.h>

#include <samplerate.h>
#include <soxr.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

const double kRate = 44100.0;
const int kBlock = 2205;
const long kFileFrames = 10 * 44100;

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

// Output frames per second of wall time, in multiples of real time.
double ringSound(const std::string &file, float speed, long outFrames)
{
    RingSound r(4, 4);
    r.Initialize(file.c_str());
    std::vector<float> out(kBlock * 2);
    auto t0 = std::chrono::steady_clock::now();
    for (long done = 0; done < outFrames; done += kBlock)
        r.GetFrames(out.data(), kBlock, speed);
    double t = seconds(t0, std::chrono::steady_clock::now());
    return (double)outFrames / kRate / t;
}

// The same input frames (looped from memory) through libsamplerate.
double libsamplerate(const std::vector<float> &input, double speed, long outFrames)
{
    int err = 0;
    SRC_STATE *src = src_new(SRC_SINC_FASTEST, 2, &err);
    std::vector<float> out(kBlock * 2);
    const double ratio = 1.0 / std::fabs(speed);
    long inPos = 0, done = 0;
    const long inFrames = (long)input.size() / 2;
    auto t0 = std::chrono::steady_clock::now();
    while (done < outFrames) {
        SRC_DATA d;
        long avail = std::min<long>(inFrames - inPos, (long)(kBlock * std::fabs(speed)) + 64);
        d.data_in = input.data() + inPos * 2;
        d.input_frames = avail;
        d.data_out = out.data();
        d.output_frames = kBlock;
        d.src_ratio = ratio;
        d.end_of_input = 0;
        src_process(src, &d);
        inPos += d.input_frames_used;
        if (inPos >= inFrames)
            inPos = 0;
        done += d.output_frames_gen;
    }
    double t = seconds(t0, std::chrono::steady_clock::now());
    src_delete(src);
    return (double)outFrames / kRate / t;
}

double soxrRate(const std::vector<float> &input, double speed, long outFrames, unsigned long recipe)
{
    soxr_error_t err = nullptr;
    soxr_quality_spec_t q = soxr_quality_spec(recipe, 0);
    soxr_t s = soxr_create(kRate * std::fabs(speed), kRate, 2, &err, nullptr, &q, nullptr);
    std::vector<float> out(kBlock * 2);
    long inPos = 0, done = 0;
    const long inFrames = (long)input.size() / 2;
    auto t0 = std::chrono::steady_clock::now();
    while (done < outFrames) {
        size_t used = 0, made = 0;
        long avail = std::min<long>(inFrames - inPos, (long)(kBlock * std::fabs(speed)) + 64);
        soxr_process(s, input.data() + inPos * 2, (size_t)avail, &used, out.data(), kBlock, &made);
        inPos += (long)used;
        if (inPos >= inFrames)
            inPos = 0;
        done += (long)made;
    }
    double t = seconds(t0, std::chrono::steady_clock::now());
    soxr_delete(s);
    return (double)outFrames / kRate / t;
}

std::string cpuModel()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 10, "model name") == 0)
            return line.substr(line.find(':') + 2);
    return "unknown";
}

double cpuSeconds()
{
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    double outSeconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    const long outFrames = (long)(outSeconds * kRate);
    std::string dir = makeTempDir();
    std::string file = dir + "/stereo.wav";
    std::vector<float> signal = testSignal(kFileFrames, 2);
    if (!writeSoundFile(file, 2, kRate, signal)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    std::printf("machine: %s, %u cores; %g s of stereo 44.1 kHz output per figure\n",
                cpuModel().c_str(), std::thread::hardware_concurrency(), outSeconds);
    std::printf("throughput in multiples of real time (one core)\n");
    std::printf("%8s %12s %18s %12s %12s\n", "speed", "RingSound", "SRC_SINC_FASTEST", "soxr quick",
                "soxr HQ");
    for (float speed : {1.0f, 2.5f, -1.0f, 10.0f}) {
        double ours = ringSound(file, speed, outFrames);
        double src = libsamplerate(signal, speed, outFrames);
        double qq = soxrRate(signal, speed, outFrames, SOXR_QQ);
        double hq = soxrRate(signal, speed, outFrames, SOXR_HQ);
        std::printf("%8g %11.0fx %17.0fx %11.0fx %11.0fx\n", speed, ours, src, qq, hq);
    }
    std::printf("(the peers cannot run backward; at -1 they convert at ratio 1)\n");

    // CPU share of the audio thread playing at speed 1 on the paced device;
    // the main thread sleeps meanwhile.
    setenv("QV_AUDIO_DEVICE", "paced:/dev/null", 1);
    {
        Scrubber s;
        s.SetSpeed(1.0);
        s.ReinitSound(file.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        double c0 = cpuSeconds();
        auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        double c1 = cpuSeconds();
        double wall = seconds(t0, std::chrono::steady_clock::now());
        std::printf("audio thread at speed 1: %.2f %% of one core over %.1f s\n",
                    100.0 * (c1 - c0) / wall, wall);
    }
    std::string cleanup = "rm -rf '" + dir + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 0;
}
