// The converter's loader: a grid of nSpecs complete spectra, rows spread
// evenly from the first to the last top-octave frame of the analysis.
#include "read_grid_from_aqt.h"

#include "readaqt.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

int read_Grid_from_aqt(D3D_GridCompl *grid, char *inPath, unsigned long nSpecs)
{
    CQTINFO *cqi = nullptr;
    if (!OpenCQTPVfile(inPath, &cqi)) {
        fprintf(stderr, "could not open file :%s \n", inPath);
        exit(1);
    }
    const int nBins = cqi->nBins;
    const int nOctaves = cqi->nOcts;
    const int nSpecPoints = nBins * nOctaves;
    const float binFreqFactor = (float)exp(log(2.0) / nBins);
    const float timePerFrame = (float)cqi->hopSize / cqi->pvh->samplingRate;
    const float lowestFreq = cqi->pvh->minFreq;

    fprintf(stderr, "nBins: \t%d\n", nBins);
    fprintf(stderr, "nOct: \t%d\n", nOctaves);
    fprintf(stderr, "qFactor: \t%f\n", cqi->qFactor);
    fprintf(stderr, "hopSize: \t%d\n", (int)cqi->hopSize);
    fprintf(stderr, "duration: \t%f\n", cqi->duration);
    fprintf(stderr, "Num points per frame: \t%d\n", nSpecPoints);
    fprintf(stderr, "Time per frame \t%f\n", timePerFrame);
    fprintf(stderr, "lowest freq. \t%f\n", lowestFreq);
    fprintf(stderr, "Frequency factor \t%f\n", binFreqFactor);

    // One row sits at time 0 and is not smoothed beyond the kernel.
    const float pTmin = 0.0f;
    const float pTmax = cqi->duration;
    const float pTdelta = nSpecs > 1 ? (pTmax - pTmin) / (float)(nSpecs - 1) : 0.0f;
    // Each row is smoothed over the spacing of the rows: finer rows, less
    // smoothing. (The reciprocal of the spacing, in seconds, would smooth
    // a dense grid over many seconds and defeat the frame cache.)
    const double period = pTdelta > 0.0f ? (double)pTdelta : 0.0;

    cpx *buffer = new cpx[nSpecPoints > 0 ? nSpecPoints : 1];
    grid->resize(nSpecs, (unsigned long)nSpecPoints);
    for (unsigned long i = 0; i < nSpecs; ++i) {
        SpecOfCQTFile(cqi, pTmin + (float)i * pTdelta, period, buffer);
        if (i % 10 == 0) {
            printf(" %lu", i);
            fflush(stdout);
        }
        for (int j = 0; j < nSpecPoints; ++j)
            grid->putData(i, (unsigned long)j, buffer[j]);
    }

    float frequency = lowestFreq;
    for (int n = 0; n < nSpecPoints; ++n) {
        grid->putYScale((unsigned long)n, frequency);
        frequency *= binFreqFactor;
    }
    for (unsigned long i = 0; i < nSpecs; ++i) {
        const float t = nSpecs > 1 ? (float)i * cqi->duration / (float)(nSpecs - 1) : 0.0f;
        grid->putXScale(i, t);
        fprintf(stderr, " [%d]%f\t", (int)i, t);
    }
    FreeCQTInfo(cqi);
    delete[] buffer;
    return 0;
}
