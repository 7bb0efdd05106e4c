// spectconv: turns a constant-Q analysis file into a grid file of
// numRows complete spectra spread evenly over the analysis.
#include <misc/d3d_gridcompl.h>

#include "readaqt.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

static const char *programName = "spectconv";

static void usage()
{
    std::cerr << "Usage: " << programName << " inFile.aqt outFile.grid [numRows]" << std::endl
              << "  infile.aqt           .aqt file to convert" << std::endl
              << "  outFille\t\t    gridcompl file to write" << std::endl
              << "  numRows              number of rows the  gridcompl will contain (20)" << std::endl
              << "                       (1 gives one unsmoothed row at time 0)" << std::endl;
}

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
    const double period = pTdelta > 0.0f ? 1.0 / pTdelta : 0.0;

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

int main(int argc, char **argv)
{
    programName = argv[0];
    if (argc < 3) {
        usage();
        return 1;
    }
    long numRows = 20;
    if (argc > 3) {
        numRows = strtol(argv[3], nullptr, 10);
        if (numRows < 0) {
            usage();
            return 1;
        }
    }

    std::cerr << "reading .aqt file ...." << std::endl;
    D3D_GridCompl *grid = new D3D_GridCompl(argv[1], (unsigned long)numRows);
    if (!grid) {
        printf("D3D_GridCompl returned NULL!!\n");
        return 1;
    }
    std::cerr << "reading .aqt file ready!" << std::endl;
    std::cerr << "writing .grid file ...." << std::endl;
    grid->setDistanceX(5.0f);
    grid->setDistanceY(1.0f);
    std::ofstream out(argv[2], std::ios::out | std::ios::binary | std::ios::trunc);
    grid->write(out);
    out.close();
    std::cerr << "writing .grid file ready! " << std::endl;
    std::cerr << "END." << std::endl;
    delete grid;
    return 0;
}
