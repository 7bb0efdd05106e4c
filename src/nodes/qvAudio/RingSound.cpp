#include <nodes/qvAudio/RingSound.h>

#include <soundfile/qvSoundFile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/stat.h>

namespace {

const int kHalfWindow = RingSound::kWindowFrames / 2;
const int kMaxTaps = RingSound::kRotateFrames;

long wrap(long frame, long count)
{
    long r = frame % count;
    return r < 0 ? r + count : r;
}

float *allocFloats(size_t n)
{
    return new (std::nothrow) float[n];
}

} // namespace

RingSound::RingSound(int sincWidth, int sincOversampling)
    : pSincTable(nullptr), pSincTableDiffs(nullptr),
      kSincWidth(std::clamp(sincWidth, 1, kMaxTaps)),
      kSincOversampling(std::clamp(sincOversampling, 1, 1 << 16)), fSoundFile(nullptr),
      fFrameCount(0), fSampleRate(0.0), fChannels(0), pRawFrames(nullptr),
      fCurRawFramesIdx(0.0f), fFileChunkStartFrame(0), fFileChunkEndFrame(0),
      fMaxSpeed(0.0f), pWeights(nullptr)
{
    // One entry more than the kernel holds: positions that rounding puts
    // just past its end read the last value.
    const size_t entries = (size_t)kSincWidth * kSincOversampling + 2;
    pSincTable = allocFloats(entries);
    pSincTableDiffs = allocFloats(entries);
    pWeights = allocFloats(2 * (size_t)kMaxTaps);
    if (pSincTable == nullptr || pSincTableDiffs == nullptr || pWeights == nullptr) {
        std::fprintf(stderr, "Out of Memory! Exiting.\n");
        std::exit(0);
    }
    // The kernel reaches |speed| * kSincWidth frames to each side and one
    // step of the position must stay below one rotation: both inside the
    // window's middle third.
    fMaxSpeed = std::min((float)kMaxTaps / (float)kSincWidth, (float)(kMaxTaps - 1));
    MakeSincTable();
}

RingSound::~RingSound()
{
    delete fSoundFile;
    delete[] pRawFrames;
    delete[] pSincTable;
    delete[] pSincTableDiffs;
    delete[] pWeights;
}

void RingSound::MakeSincTable()
{
    const int w = kSincWidth, m = kSincOversampling;
    pSincTable[0] = 1.0f;
    for (int i = 1; i <= w * m; ++i) {
        float x = (float)i * ((float)M_PI / (float)m);
        float y = (float)i * ((float)M_PI / (float)m) / (float)w;
        pSincTable[i] = (float)(std::sin((double)x) / (double)x * (0.5 * std::cos((double)y) + 0.5));
        pSincTableDiffs[i - 1] = pSincTable[i] - pSincTable[i - 1];
    }
    pSincTableDiffs[w * m] = 0.0f;
    pSincTable[w * m + 1] = pSincTable[w * m];
    pSincTableDiffs[w * m + 1] = 0.0f;
}

inline float RingSound::Weight(float t) const
{
    // t never passes the kernel's end by a whole entry (taps * v is at most
    // kSincWidth * kSincOversampling up to rounding).
    const int j = (int)t;
    return pSincTable[j] + pSincTableDiffs[j] * (t - (float)j);
}

void RingSound::ResetData()
{
    fSoundFile = nullptr;
    fFrameCount = 0;
    fSampleRate = 0.0;
    fChannels = 0;
    fCurRawFramesIdx = 0.0f;
    fFileChunkStartFrame = 0;
    fFileChunkEndFrame = 0;
    delete[] pRawFrames;
    pRawFrames = nullptr;
}

int RingSound::Initialize(const char *name)
{
    delete fSoundFile;
    ResetData();
    if (name == nullptr)
        name = "";

    struct stat st;
    if (stat(name, &st) != 0) {
        std::fprintf(stderr, "\"%s\": can't stat.\n", name);
        return 0;
    }
    qvSoundFile *file = qvSoundFile::open(name);
    if (file == nullptr) {
        std::fprintf(stderr, "\"%s\": unsupported file format.\n", name);
        return 0;
    }
    if (file->getFrameCount() < 1) {
        std::fprintf(stderr, "\"%s\": no samples found.\n", name);
        delete file;
        return 0;
    }
    fSampleRate = file->getRate();
    fChannels = file->getChannels();
    fFrameCount = (long)file->getFrameCount();
    fSoundFile = file;
    file->setVirtualSampleFormat(qvSoundFile::FLOAT32);

    pRawFrames = allocFloats((size_t)kWindowFrames * fChannels);
    if (pRawFrames == nullptr) {
        std::fprintf(stderr, "Can't allocate frame buffer for \"%s\": out of memory!\n", name);
        delete fSoundFile;
        ResetData();
        return 0;
    }
    std::memset(pRawFrames, 0, sizeof(float) * kWindowFrames * fChannels);
    if (SetFilePosition(0) != 0) {
        std::fprintf(stderr, "\"%s\": cant set file read to begin.\n", name);
        delete fSoundFile;
        ResetData();
        return 0;
    }
    return 1;
}

int RingSound::SetFilePosition(long frame)
{
    if (fSoundFile == nullptr || fFrameCount < 1)
        return -1;
    frame = wrap(frame, fFrameCount);
    fFileChunkStartFrame = fFileChunkEndFrame = frame;
    int after = ReadRawFrames(kHalfWindow, kHalfWindow);
    int before = ReadRawFrames(0, -kHalfWindow);
    fCurRawFramesIdx = (float)kHalfWindow;
    return (after != 0 || before != 0) ? -1 : 0;
}

long RingSound::GetFilePosition()
{
    if (fFrameCount < 1)
        return 0;
    return wrap(fFileChunkStartFrame + (long)fCurRawFramesIdx, fFrameCount);
}

int RingSound::ReadRawFrames(int firstWindowFrame, int count)
{
    long start;
    if (count < 0) {
        fFileChunkStartFrame = wrap(fFileChunkStartFrame + count, fFrameCount);
        start = fFileChunkStartFrame;
    } else {
        start = fFileChunkEndFrame;
        fFileChunkEndFrame = wrap(fFileChunkEndFrame + count, fFrameCount);
    }
    const long n = std::labs((long)count);
    if (fSoundFile->seekFrame(start) < 0) {
        std::fprintf(stderr, "Warning: afSeekFrame() to frame %ld failed.\n", start);
        return -1;
    }
    long done = 0;
    bool atStart = start == 0;
    while (done < n) {
        long long got = fSoundFile->readFrames(pRawFrames + (size_t)(firstWindowFrame + done) * fChannels,
                                               n - done);
        if (got < 0) {
            std::fprintf(stderr, "Warning: afReadFrames() failed with error code %d\n", errno);
            return -1;
        }
        done += (long)got;
        if (done >= n)
            break;
        // End of the file: the loop goes on at frame 0.
        if (got == 0 && atStart) {
            std::fprintf(stderr, "Warning: afReadFrames() failed with error code %d\n", errno);
            return -1;
        }
        if (fSoundFile->seekFrame(0) < 0) {
            std::fprintf(stderr, "Warning: afSeekFrame() to frame %d failed.\n", 0);
            return -1;
        }
        atStart = true;
    }
    return 0;
}

void RingSound::RotateRawFrames(long n)
{
    if (n == 0)
        return;
    const size_t ch = (size_t)fChannels;
    if (n > 0) {
        std::memmove(pRawFrames + n * ch, pRawFrames, (kWindowFrames - n) * ch * sizeof(float));
        fFileChunkEndFrame = wrap(fFileChunkEndFrame - n, fFrameCount);
        ReadRawFrames(0, (int)-n);
    } else {
        const long m = -n;
        std::memmove(pRawFrames, pRawFrames + m * ch, (kWindowFrames - m) * ch * sizeof(float));
        fFileChunkStartFrame = wrap(fFileChunkStartFrame + m, fFrameCount);
        ReadRawFrames((int)(kWindowFrames - m), (int)m);
    }
}

void RingSound::EnsureRawFramesIdxInbound()
{
    const int i = (int)fCurRawFramesIdx;
    switch ((i >> 10) & 3) {
    case 0:
        RotateRawFrames(kRotateFrames);
        fCurRawFramesIdx += (float)kRotateFrames;
        break;
    case 2:
        RotateRawFrames(-kRotateFrames);
        fCurRawFramesIdx -= (float)kRotateFrames;
        break;
    default:
        break;
    }
}

void RingSound::GetFrames(float *out, const int nFrames, const float speed)
{
    if (pRawFrames == nullptr || out == nullptr || nFrames <= 0)
        return;
    float s = std::isnan(speed) ? 0.0f : std::clamp(speed, -fMaxSpeed, fMaxSpeed);
    const float absSpeed = std::fabs(s);
    float u = absSpeed > 0.0f ? (float)(1.0 / (double)absSpeed) : 1.0f;
    if (u >= 1.0f)
        u = 1.0f;
    const int taps = std::min((int)((float)kSincWidth / u), kMaxTaps);
    const float v = u * (float)kSincOversampling;
    const int C = fChannels;
    const int m = kSincOversampling;
    // At |speed| <= 1 the step through the table is m entries per frame.
    const bool unitStep = u == 1.0f;
    float *wl = pWeights;
    float *wr = pWeights + kMaxTaps;

    for (int frame = 0; frame < nFrames; ++frame) {
        EnsureRawFramesIdxInbound();
        const int F = (int)fCurRawFramesIdx;
        const float f = fCurRawFramesIdx - (float)F;
        float L = f * v;
        float R = v - f * v;
        if (unitStep) {
            // v is a whole number of entries: every tap has the fraction of
            // the first (the sums L + k * v are exact), so the table index
            // just steps by v.
            const int jl = (int)L, jr = (int)R;
            const float fl = L - (float)jl, fr = R - (float)jr;
            for (int k = 0; k < taps; ++k) {
                const int a = jl + k * m, b = jr + k * m;
                wl[k] = pSincTable[a] + pSincTableDiffs[a] * fl;
                wr[k] = pSincTable[b] + pSincTableDiffs[b] * fr;
            }
        } else {
            for (int k = 0; k < taps; ++k) {
                wl[k] = Weight(L);
                wr[k] = Weight(R);
                L += v;
                R += v;
            }
        }
        const float *left = pRawFrames + (size_t)F * C;
        const float *right = pRawFrames + (size_t)(F + 1) * C;
        float *o = out + (size_t)frame * C;
        if (C == 2) {
            // Both channels in one pass over the kernel (same sums, same order).
            float s0 = 0.0f, s1 = 0.0f;
            for (int k = 0; k < taps; ++k) {
                const float *l = left - 2 * k, *r = right + 2 * k;
                s0 += l[0] * wl[k];
                s0 += r[0] * wr[k];
                s1 += l[1] * wl[k];
                s1 += r[1] * wr[k];
            }
            o[0] = s0 * u;
            o[1] = s1 * u;
        } else {
            for (int ch = 0; ch < C; ++ch) {
                float sum = 0.0f;
                for (int k = 0; k < taps; ++k) {
                    sum += left[ch - k * C] * wl[k];
                    sum += right[ch + k * C] * wr[k];
                }
                o[ch] = sum * u;
            }
        }
        fCurRawFramesIdx += s;
    }
}
