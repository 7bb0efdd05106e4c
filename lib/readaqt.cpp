#include "readaqt.h"

#include "genutils.h"

#include <misc/byteorder.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const float PI_F = 3.1415927f;
const float INV_PI_F = 0.31830987f;

// Frame cache of ReadCQTFileFrame.
FILE *cacheFile = nullptr;
cpx *cacheBuf = nullptr;
long cacheBufSize = 0;  // cells
long baseFrame = -1;
long nFrames = 0;
int cacheAtEof = 0;
long framesFromFile = 0;

cpx *rdBuffer = nullptr;
const long rdBufPts = CQT_RDBUF_PTS;
cpx *simpleBuffer = nullptr;
long simpleBufPts = 0;

float *interpBuf = nullptr;
int interpBufFill = 0;

// A float turned into a whole number without leaving the range of long.
long toWhole(double x)
{
    if (!(x == x))
        return 0;
    if (x > 1e15)
        return 1000000000000000L;
    if (x < -1e15)
        return -1000000000000000L;
    return (long)x;
}

// Reads count consecutive file frames from frame first; returns how many
// came back complete.
long ReadFrames(CQTINFO *cqi, long first, long count, cpx *dest)
{
    const long frameBytes = 8L * cqi->nBins;
    if (count <= 0 || frameBytes <= 0 || first > (1L << 40))
        return 0;
    if (fseek(cqi->pvFile, cqi->pvh->headBsize + frameBytes * first, SEEK_SET) != 0)
        return 0;
    long got = (long)fread(dest, (size_t)frameBytes, (size_t)count, cqi->pvFile);
    qvByteOrder::bigEndianWords(dest, (size_t)(got * 2 * cqi->nBins));
    framesFromFile += got;
    return got;
}

void emptyCache()
{
    baseFrame = -1;
    nFrames = 0;
    cacheAtEof = 0;
}

// Refills an empty cache from the aligned frame at or below k.
void fillCache(CQTINFO *cqi, long k, long capacity)
{
    cacheFile = cqi->pvFile;
    baseFrame = k / CQT_CACHE_ALIGN * CQT_CACHE_ALIGN;
    nFrames = ReadFrames(cqi, baseFrame, capacity, cacheBuf);
    cacheAtEof = nFrames < capacity;
}

// Octave o, frame j of the octave, as a file frame; frames far beyond
// any file stay far beyond it without overflowing.
long fileFrameOf(int octave, long j)
{
    if (j < -1)
        j = -1;
    if (j > (1L << 31))
        j = 1L << 31;
    return (2L << octave) * j + (1L << octave) - 1;
}

long framesOfOctave(const CQTINFO *cqi, int octave)
{
    return (cqi->totalFrames + (1L << octave)) / (2L << octave);
}

} // namespace

CQTINFO *NewCQTInfo(const char *desc)
{
    CQTINFO *cqi = (CQTINFO *)calloc(1, sizeof(CQTINFO));
    if (!cqi) {
        fprintf(stderr, "NewCQTInfo: malloc fail\n");
        abort();
    }
    cqi->totalFrames = -1;
    if (desc) {
        strncpy(cqi->desc, desc, sizeof cqi->desc - 1);
        cqi->desc[sizeof cqi->desc - 1] = '\0';
    }
    return cqi;
}

void FreeCQTInfo(CQTINFO *cqi)
{
    if (!cqi)
        return;
    // A stream opened later may reuse the address of this one: its frames
    // must not be taken for the new file's.
    if (cqi->pvFile && cqi->pvFile == cacheFile) {
        emptyCache();
        cacheFile = nullptr;
    }
    if (cqi->pvFile)
        fclose(cqi->pvFile);
    Myfree(cqi->pvh);
    free(cqi);
}

int GrabInfoArg(const char *info, const char *key, float *value)
{
    const size_t keyLength = strlen(key);
    const char *p = info;
    while (p && *p) {
        while (*p == ' ' || *p == '\t' || *p == '\n')
            ++p;
        if (strncmp(p, key, keyLength) == 0) {
            const char *equals = strchr(p, '=');
            if (!equals)
                return 0;
            return sscanf(equals + 1, "%f", value) == 1 ? 1 : 0;
        }
        p = strchr(p, ';');
        if (p)
            ++p;
    }
    return 0;
}

void PutInfoArg(char *info, const char *key, double value, size_t infoSize)
{
    char entry[400];
    snprintf(entry, sizeof entry, "%s=%.2f;", key, value);
    const size_t used = strlen(info);
    if (infoSize != (size_t)-1 && used + strlen(entry) + 1 > infoSize)
        return;
    strcpy(info + used, entry);
}

void EncodeCQTPV(CQTINFO *cqi, PVSTRUCT *pvh)
{
    pvh->dataFormat = PVFLOAT;
    pvh->frameFormat = PVCQPOLR;
    pvh->freqFormat = PVLOGFREQ;
    pvh->frameSize = (int32_t)cqi->kernLen;
    pvh->frameIncr = (int32_t)cqi->hopSize;
    pvh->maxFreq = cqi->guardBand * pvh->samplingRate / 2.0f;
    pvh->minFreq = pvh->maxFreq / (float)ldexp(1.0, cqi->nOcts);
    pvh->frameBsize = 8 * cqi->nBins;
    pvh->dataBsize = cqi->totalFrames == -1 ? -1 : (int32_t)(8L * cqi->nBins * cqi->totalFrames);
    const size_t infoSize = (size_t)(pvh->headBsize - PV_FIXED_BYTES);
    memset(pvh->info, 0, infoSize);
    PutInfoArg(pvh->info, "Q", cqi->qFactor, infoSize);
    PutInfoArg(pvh->info, "octs", cqi->nOcts, infoSize);
}

CQTINFO *DecodeCQTPVH(PVSTRUCT *pvh, FILE *file, const char *desc)
{
    if (pvh->dataFormat != PVFLOAT || pvh->frameFormat != PVCQPOLR) {
        fprintf(stderr, "DecodeCQT: PV file is not float,cq,polr(%ld,%ld)\n", (long)pvh->dataFormat,
                (long)pvh->frameFormat);
        return nullptr;
    }
    if (pvh->channels != 1)
        fprintf(stderr, "DecodeCQTPV: warning: chans = %d != 1\n", (int)pvh->channels);
    // Sizes every later step divides by or allocates from.
    if (!(pvh->samplingRate > 0.0f && std::isfinite(pvh->samplingRate)) || pvh->frameIncr <= 0 ||
        pvh->frameBsize <= 0 || pvh->frameBsize % 8 != 0 || pvh->frameBsize / 8 > CQT_RDBUF_PTS) {
        fprintf(stderr, "DecodeCQT: PV file has unusable sizes (rate %f, hop %ld, frame bytes %ld)\n",
                pvh->samplingRate, (long)pvh->frameIncr, (long)pvh->frameBsize);
        return nullptr;
    }
    CQTINFO *cqi = NewCQTInfo(desc);
    float value;
    cqi->qFactor = GrabInfoArg(pvh->info, "Q", &value) ? value : 16.0f;
    if (GrabInfoArg(pvh->info, "octs", &value))
        cqi->nOcts = (value >= -1.0f && value <= 1000.0f) ? (int)value : -1;
    else
        cqi->nOcts = 6;
    cqi->kernLen = pvh->frameSize;
    cqi->hopSize = pvh->frameIncr;
    cqi->guardBand = pvh->maxFreq / (pvh->samplingRate / 2.0f);

    const double ratio = (double)pvh->maxFreq / pvh->minFreq;
    const bool consistent = cqi->nOcts >= 0 && cqi->nOcts <= 30 && std::isfinite(ratio) &&
                            std::floor(ratio + 0.5) == std::ldexp(1.0, cqi->nOcts);
    if (!consistent) {
        fprintf(stderr, "DecodeCQT: octs=%d inconsistent w/ fRatio %5.2f\n", cqi->nOcts, ratio);
        abort();
    }
    cqi->nBins = pvh->frameBsize / 8;
    cqi->totalFrames = pvh->dataBsize < 0 ? -1 : pvh->dataBsize / pvh->frameBsize;
    if (cqi->totalFrames > 0)
        cqi->duration = (float)((((cqi->totalFrames + 1) / 2) - 1) * cqi->hopSize) / pvh->samplingRate;
    else
        cqi->duration = 0.0f;
    cqi->pvh = pvh;
    cqi->pvFile = file;
    return cqi;
}

FILE *OpenCQTPVfile(const char *path, CQTINFO **info)
{
    *info = nullptr;
    PVSTRUCT *pvh = nullptr;
    FILE *file = PVOpenAllocRdHdr(path, &pvh);
    if (!file)
        return nullptr;
    CQTINFO *cqi = DecodeCQTPVH(pvh, file, "noname");
    if (!cqi) {
        fclose(file);
        Myfree(pvh);
        return nullptr;
    }
    *info = cqi;
    return file;
}

int OctOfFileFrame(long frame)
{
    int octave = 0;
    while ((frame & 1) && octave < 20) {
        frame >>= 1;
        ++octave;
    }
    return octave;
}

int ReadCQTFileFrame(CQTINFO *cqi, long k, cpx *dest)
{
    const long nb = cqi->nBins;
    if (!cacheBuf || k < 0 || cqi->pvFile != cacheFile)
        emptyCache();
    if (nb <= 0)
        return 0;
    if (!cacheBuf || cacheBufSize < nb * CQT_CACHE_FRAMES) {
        Myfree(cacheBuf);
        cacheBufSize = nb * CQT_CACHE_FRAMES;
        cacheBuf = (cpx *)calloc((size_t)cacheBufSize, sizeof(cpx));
        if (!cacheBuf) {
            fprintf(stderr, "ReadCQTFileFrame: cannot alloc buffer of %ld cpx\n", cacheBufSize);
            abort();
        }
        emptyCache();
    }
    // 2560 frames whatever the buffer grew to for other files.
    const long capacity = cacheBufSize / nb < CQT_CACHE_FRAMES ? cacheBufSize / nb : CQT_CACHE_FRAMES;
    if (k < 0)
        return 0;
    if (baseFrame < 0 || cqi->pvFile != cacheFile)
        fillCache(cqi, k, capacity);

    for (;;) {
        if (k >= baseFrame && k < baseFrame + nFrames) {
            memcpy(dest, cacheBuf + (k - baseFrame) * nb, (size_t)nb * sizeof(cpx));
            return 1;
        }
        if (k >= baseFrame + nFrames && cacheAtEof) {
            memset(dest, 0, (size_t)nb * sizeof(cpx));
            return 0;
        }
        if (k < baseFrame) {
            const long newBase = k / CQT_CACHE_ALIGN * CQT_CACHE_ALIGN;
            const long shift = baseFrame - newBase;
            if (shift < capacity) {
                const long keep = nFrames < capacity - shift ? nFrames : capacity - shift;
                memmove(cacheBuf + shift * nb, cacheBuf, (size_t)(keep * nb) * sizeof(cpx));
                const long got = ReadFrames(cqi, newBase, shift, cacheBuf);
                if (got == shift) {
                    baseFrame = newBase;
                    nFrames = shift + keep;
                    if (nFrames >= capacity)
                        cacheAtEof = 0;
                    continue;
                }
            }
            emptyCache();
            fillCache(cqi, k, capacity);
            continue;
        }
        // Beyond the cached frames, not at the end of the file.
        long newBase = (k - capacity + CQT_CACHE_ALIGN) / CQT_CACHE_ALIGN * CQT_CACHE_ALIGN;
        if (newBase < baseFrame)
            newBase = baseFrame;
        const long shift = newBase - baseFrame;
        if (shift < nFrames) {
            const long kept = nFrames - shift;
            memmove(cacheBuf, cacheBuf + shift * nb, (size_t)(kept * nb) * sizeof(cpx));
            const long got = ReadFrames(cqi, newBase + kept, capacity - kept, cacheBuf + kept * nb);
            baseFrame = newBase;
            nFrames = kept + got;
            cacheAtEof = nFrames < capacity;
            continue;
        }
        emptyCache();
        fillCache(cqi, k, capacity);
    }
}

void SetupInterpVal(int n, double pos, double lpfRatio, double dt, int kind)
{
    if (!interpBuf) {
        interpBuf = (float *)calloc(CQT_INTERP_MAX, sizeof(float));
        if (!interpBuf) {
            fprintf(stderr, "SetupInterp: malloc fail\n");
            abort();
        }
    }
    if (n > CQT_INTERP_MAX) {
        fprintf(stderr, "SetupInterp: frames %d > %d\n", n, CQT_INTERP_MAX);
        n = CQT_INTERP_MAX;
    }
    if (n < 0)
        n = 0;
    if (!(lpfRatio >= 1.0))
        lpfRatio = 1.0;
    const double ratio = 1.0 / lpfRatio;
    if (kind == 0) {
        // Gaussian, scaled so that the weights sum to one: a steady value
        // keeps its level also where the kernel is cut by the edges.
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            const double x = ratio * (i - pos);
            interpBuf[i] = (float)(0.56419 * ratio * exp(-x * x));
            sum += interpBuf[i];
        }
        if (sum > 0.0)
            for (int i = 0; i < n; ++i)
                interpBuf[i] = (float)(interpBuf[i] / sum);
    } else if (kind == 1) {
        const double hamwidth = 1.0 / (pos > (n - 1) / 2.0 ? pos : (n - 1) - pos);
        for (int i = 0; i < n; ++i) {
            const double x = (i - pos) * M_PI;
            interpBuf[i] = (float)(x == 0.0 ? ratio
                                            : (0.54 + 0.46 * cos(hamwidth * x)) * sin(ratio * x) / x);
        }
    } else if (pos == 0.0 || pos == n - 1) {
        for (int i = 0; i < n; ++i)
            interpBuf[i] = 0.0f;
    } else {
        const double hamwidth = 1.0 / (pos < (n - 1) / 2.0 ? pos : (n - 1) - pos);
        double s = 0.0;
        for (int i = 0; i < n; ++i) {
            const double x = i - pos;
            const double y = ratio * x;
            double w = 0.0;
            if (x != 0.0 && fabs(x * hamwidth) <= 1.0)
                w = (0.5 + 0.5 * cos(M_PI * hamwidth * x)) *
                    (cos(M_PI * y) / (-y) - sin(-M_PI * y) / (M_PI * y * y));
            interpBuf[i] = (float)w;
            s += x * w;
        }
        if (s * dt != 0.0)
            for (int i = 0; i < n; ++i)
                interpBuf[i] = (float)(interpBuf[i] / (s * dt));
    }
    interpBufFill = n;
}

void DoInterpVal(const float *values, int stride, float *out)
{
    float sum = 0.0f;
    for (int i = 0; i < interpBufFill; ++i)
        sum += values[(long)i * stride] * interpBuf[i];
    *out = sum;
}

void InterpolateValue(const float *values, int stride, int n, double pos, float *out,
                      double lpfRatio, int kind)
{
    if (kind != 0 && lpfRatio <= 1.0 && pos == floor(pos) && pos >= 0 && pos < n) {
        *out = values[(long)stride * (long)pos];
        return;
    }
    if (!(lpfRatio >= 1.0))
        lpfRatio = 1.0;
    const double ratio = 1.0 / lpfRatio;
    double sum = 0.0, weights = 0.0;
    if (kind == 0) {
        for (int i = 0; i < n; ++i) {
            const double x = ratio * (i - pos);
            const double w = 0.56419 * ratio * exp(-x * x);
            sum += values[(long)i * stride] * w;
            weights += w;
        }
        *out = weights > 0.0 ? (float)(sum / weights) : 0.0f;
        return;
    }
    const double hamwidth = 1.0 / (pos > (n - 1) / 2.0 ? pos : (n - 1) - pos);
    for (int i = 0; i < n; ++i) {
        const double x = (i - pos) * M_PI;
        const double w = x == 0.0 ? ratio : (0.54 + 0.46 * cos(hamwidth * x)) * sin(ratio * x) / x;
        sum += values[(long)i * stride] * w;
    }
    *out = (float)sum;
}

namespace {

// (int) of x, moved one further from zero when odd; 0 for values that
// are no usable number of half turns.
int evenHalfTurns(float x)
{
    if (!(fabsf(x) < 1e9f))
        return 0;
    int p = (int)x;
    if (p % 2 != 0)
        p += p > 0 ? 1 : -1;
    return p;
}

} // namespace

void UnwrapPhases(const float *src, int sinc, float *dst, int dinc, int len, double step)
{
    if (len <= 0)
        return;
    const float stepF = (float)step;
    float offset = 0.0f;
    float previous = src[0] - stepF;
    for (int i = 0; i < len; ++i) {
        const float candidate = src[(long)i * sinc] + offset;
        const float expected = previous + stepF;
        const int p = evenHalfTurns((expected - candidate) * INV_PI_F);
        const float out = candidate + (float)p * PI_F;
        offset += (float)p * PI_F;
        dst[(long)i * dinc] = out;
        previous = out;
    }
}

void MaskPhases(const float *src, int sinc, float *dst, int dinc, int len)
{
    for (int i = 0; i < len; ++i) {
        const float phase = src[(long)i * sinc];
        const int p = evenHalfTurns(phase * INV_PI_F);
        dst[(long)i * dinc] = phase - (float)p * PI_F;
    }
}

void SpecOfCQTFile(CQTINFO *cqi, double time, double prd, cpx *ans)
{
    if (!rdBuffer)
        rdBuffer = (cpx *)Mymalloc(rdBufPts, sizeof(cpx), "SpecOfCQT");
    const int nBins = cqi->nBins;
    const int nOcts = cqi->nOcts;
    if (nBins <= 0 || nOcts <= 0)
        return;
    float timePerFrame = (float)cqi->hopSize / cqi->pvh->samplingRate;
    const float binFactor = (float)exp(log(2.0) / nBins);
    const float lowestFrq = cqi->pvh->minFreq;
    const int stride = 2 * nBins;
    cpx *block = ans + (long)(nOcts - 1) * nBins;

    for (int o = 0; o < nOcts; ++o) {
        const float octFactor = (float)ldexp(1.0, nOcts - 1 - o);
        const float twoPiDt = (float)(2.0 * M_PI * timePerFrame);
        const long framesThisOct = framesOfOctave(cqi, o);

        const long maxlobes = rdBufPts / nBins;
        long lobes = 8;
        double lpfRatio = 1.0;
        if (timePerFrame < prd) {
            lobes = toWhole(8.0 * prd / timePerFrame);
            lpfRatio = prd / timePerFrame;
        }
        if (lobes > maxlobes)
            lobes = maxlobes;

        const float frameLocation = (float)(time / timePerFrame);
        long first = toWhole(frameLocation) - lobes / 2 + 1;
        long last = first + lobes;
        if (first < 0)
            first = 0;
        else if (first >= framesThisOct)
            first = framesThisOct - 1;
        if (last <= 0)
            last = 1;
        else if (last > framesThisOct)
            last = framesThisOct;

        for (long j = first; j < last; ++j)
            if (!ReadCQTFileFrame(cqi, fileFrameOf(o, j), rdBuffer + (j - first) * nBins)) {
                last = j;
                break;
            }
        const int n = last > first ? (int)(last - first) : 0;
        const double pos = (double)frameLocation - (double)first;

        SetupInterpVal(n, pos, lpfRatio, timePerFrame, 0);
        for (int i = 0; i < nBins; ++i)
            DoInterpVal(&rdBuffer[i].mag, stride, &block[i].mag);

        SetupInterpVal(n, pos, lpfRatio, timePerFrame, 0);
        float f = octFactor * lowestFrq;
        for (int i = 0; i < nBins; ++i) {
            UnwrapPhases(&rdBuffer[i].pha, stride, &rdBuffer[i].pha, stride, n, twoPiDt * f);
            DoInterpVal(&rdBuffer[i].pha, stride, &block[i].pha);
            f *= binFactor;
        }
        MaskPhases(&block[0].pha, 2, &block[0].pha, 2, nBins);
        block -= nBins;
        timePerFrame *= 2.0f;
    }
}

int SimpleSpecOfCQTFile(CQTINFO *cqi, double time, double, cpx *ans)
{
    const int nBins = cqi->nBins;
    const int nOcts = cqi->nOcts;
    if (nBins <= 0 || nOcts <= 0)
        return 0;
    if (!simpleBuffer || simpleBufPts < 2L * nBins) {
        Myfree(simpleBuffer);
        simpleBufPts = 2L * nBins > CQT_SIMPLE_PTS ? 2L * nBins : CQT_SIMPLE_PTS;
        simpleBuffer = (cpx *)Mymalloc(simpleBufPts, sizeof(cpx), "SimpleSpecOfCQT");
    }
    float timePerFrame = (float)cqi->hopSize / cqi->pvh->samplingRate;
    cpx *block = ans + (long)(nOcts - 1) * nBins;
    int result = 0;
    for (int o = 0; o < nOcts; ++o) {
        const long index = toWhole(time / timePerFrame);
        const float fraction = (float)((time - index * (double)timePerFrame) / timePerFrame);
        memset(simpleBuffer, 0, (size_t)(2 * nBins) * sizeof(cpx));
        ReadCQTFileFrame(cqi, fileFrameOf(o, index), simpleBuffer);
        result = ReadCQTFileFrame(cqi, fileFrameOf(o, index + 1), simpleBuffer + nBins);
        for (int i = 0; i < nBins; ++i)
            block[i].mag = simpleBuffer[i].mag + fraction * (simpleBuffer[nBins + i].mag - simpleBuffer[i].mag);
        block -= nBins;
        timePerFrame *= 2.0f;
    }
    return result;
}

void print_vec(const float *values, int count, const char *title)
{
    fprintf(stderr, "%s:", title);
    for (int i = 0; i < count; ++i)
        fprintf(stderr, "%8.3f", values[i]);
    fprintf(stderr, "\n");
}

void CQTCacheState(long *base, long *frames, int *atEof)
{
    *base = baseFrame;
    *frames = nFrames;
    *atEof = cacheAtEof;
}

long CQTFramesReadFromFile() { return framesFromFile; }
