// Constant-Q analysis files: decoding the container header, frames of
// every octave through a process-wide cache, and the complete spectrum at
// any time.
//
// File frame k belongs to octave o = number of trailing one-bits of k;
// octave 0 is the highest and has the shortest hop. The j-th frame of
// octave o is file frame 2^(o+1) * j + 2^o - 1.
#ifndef QV_READAQT_H
#define QV_READAQT_H

#include "pvoc.h"

#include <misc/cpx.h>

#include <cstdio>

typedef struct cqtinfo {
    int nBins;          // bins per octave
    int nOcts;          // octaves
    float qFactor;
    long kernLen;       // frameSize
    long hopSize;       // frameIncr
    float guardBand;    // maxFreq / (samplingRate / 2)
    long totalFrames;   // frames in the file, -1 when unknown
    float duration;     // seconds from the first to the last top-octave frame
    long flags;
    PVSTRUCT *pvh;      // owned header block
    FILE *pvFile;       // owned stream
    char desc[16];
} CQTINFO;

#define CQT_CACHE_FRAMES 2560
#define CQT_CACHE_ALIGN 512
#define CQT_RDBUF_PTS 3200
#define CQT_SIMPLE_PTS 200
#define CQT_INTERP_MAX 550

FILE *OpenCQTPVfile(const char *path, CQTINFO **info);
CQTINFO *DecodeCQTPVH(PVSTRUCT *header, FILE *file, const char *desc);
void EncodeCQTPV(CQTINFO *info, PVSTRUCT *header);
CQTINFO *NewCQTInfo(const char *desc);
void FreeCQTInfo(CQTINFO *info);

int GrabInfoArg(const char *info, const char *key, float *value);
// Appends "key=value;" ("%s=%.2f;"); infoSize bounds the text with its
// terminator when given.
void PutInfoArg(char *info, const char *key, double value, size_t infoSize = (size_t)-1);

int OctOfFileFrame(long frame);
// Frame k (nBins cells) into dest through the cache: 1 read, 0 not (dest
// cleared beyond the end). A negative k empties the cache.
int ReadCQTFileFrame(CQTINFO *info, long frame, cpx *dest);
// Smoothed spectrum of all octaves at time, nOcts * nBins cells upwards
// in frequency; period is the smoothing period in seconds.
void SpecOfCQTFile(CQTINFO *info, double time, double period, cpx *dest);
// Magnitudes by linear interpolation between two frames; phases untouched.
int SimpleSpecOfCQTFile(CQTINFO *info, double time, double period, cpx *dest);

void SetupInterpVal(int n, double pos, double lpfRatio, double dt, int kind);
void DoInterpVal(const float *values, int stride, float *out);
void InterpolateValue(const float *values, int stride, int n, double pos, float *out,
                      double lpfRatio, int kind);
void UnwrapPhases(const float *src, int sinc, float *dst, int dinc, int len, double step);
void MaskPhases(const float *src, int sinc, float *dst, int dinc, int len);

void print_vec(const float *values, int count, const char *title);

// Observation of the cache, for tests and measurements: its state, and
// the number of frames read from files since the process started.
void CQTCacheState(long *baseFrame, long *nFrames, int *atEof);
long CQTFramesReadFromFile();

#endif
