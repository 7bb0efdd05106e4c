// Sound files with known content for the sound tests, and reading back
// what the paced device recorded.
#ifndef QV_TEST_SOUND_FILES_H
#define QV_TEST_SOUND_FILES_H

#include <audiofile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

// Writes interleaved float frames as a float WAV (or AIFF-C) file.
inline bool writeSoundFile(const std::string &path, int channels, double rate,
                           const std::vector<float> &samples, int format = AF_FILE_WAVE)
{
    AFfilesetup setup = afNewFileSetup();
    afInitFileFormat(setup, format);
    afInitChannels(setup, AF_DEFAULT_TRACK, channels);
    afInitRate(setup, AF_DEFAULT_TRACK, rate);
    afInitSampleFormat(setup, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
    AFfilehandle f = afOpenFile(path.c_str(), "w", setup);
    afFreeFileSetup(setup);
    if (f == AF_NULL_FILEHANDLE)
        return false;
    int frames = (int)(samples.size() / (size_t)channels);
    bool ok = frames == 0 || afWriteFrames(f, AF_DEFAULT_TRACK, samples.data(), frames) == frames;
    afCloseFile(f);
    return ok;
}

// A test signal: channel c of frame i, distinct everywhere, within -1 ... 1.
inline float testSample(long i, int c)
{
    return 0.6f * (float)std::sin(0.013 * (double)i * (c + 1) + 0.7 * c) +
           0.3f * (float)std::sin(0.00091 * (double)i + c);
}

inline std::vector<float> testSignal(long frames, int channels)
{
    std::vector<float> s((size_t)(frames * channels));
    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            s[(size_t)(i * channels + c)] = testSample(i, c);
    return s;
}

// Raw native floats (the paced device's recordings, sox's "-t f32").
inline std::vector<float> readFloats(const std::string &path)
{
    std::vector<float> v;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return v;
    float buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, sizeof(float), 4096, f)) > 0)
        v.insert(v.end(), buffer, buffer + n);
    std::fclose(f);
    return v;
}

#endif
