// Builds constant-Q analysis files with the writer routines, for tests
// and benchmarks (programs that link the analysis library).
#ifndef QV_ANALYSIS_FIXTURE_H
#define QV_ANALYSIS_FIXTURE_H

#include <pvoc.h>
#include <readaqt.h>

#include <cmath>
#include <functional>
#include <string>

struct AqtLayout {
    int nBins = 2;
    int nOcts = 3;
    long frames = 7;          // file frames; -1 writes an unknown data size
    float rate = 8000.0f;
    long hop = 64;
    float minFreq = 100.0f;
    float q = 16.0f;
    long infoBytes = 64;
};

// Writes the file; fill gives the cell of every bin of every file frame.
// Returns the writer's error code.
inline long writeAqt(const std::string &path, const AqtLayout &layout,
                     const std::function<cpx(long frame, int bin)> &fill,
                     const std::function<void(PVSTRUCT *)> &edit = nullptr)
{
    CQTINFO *cqi = NewCQTInfo("fixture");
    cqi->nBins = layout.nBins;
    cqi->nOcts = layout.nOcts;
    cqi->qFactor = layout.q;
    cqi->kernLen = 4 * layout.hop;
    cqi->hopSize = layout.hop;
    cqi->totalFrames = layout.frames;
    cqi->guardBand = (float)(layout.minFreq * std::ldexp(1.0, layout.nOcts) / (layout.rate / 2.0));
    const long frames = layout.frames > 0 ? layout.frames : 0;
    PVSTRUCT *pvh = nullptr;
    long code = PVAlloc(&pvh, 8L * layout.nBins * frames, layout.infoBytes);
    if (code != PVE_OK) {
        FreeCQTInfo(cqi);
        return code;
    }
    pvh->samplingRate = layout.rate;
    pvh->channels = 1;
    EncodeCQTPV(cqi, pvh);
    pvh->minFreq = layout.minFreq;
    if (layout.frames < 0)
        pvh->dataBsize = -1;
    cpx *cells = (cpx *)PVDataPtr(pvh);
    for (long k = 0; k < frames; ++k)
        for (int b = 0; b < layout.nBins; ++b)
            cells[k * layout.nBins + b] = fill(k, b);
    if (edit)
        edit(pvh);
    code = PVWriteFile(path.c_str(), pvh);
    PVFree(pvh);
    FreeCQTInfo(cqi);
    return code;
}

#endif
