// spectconv of a 60 s analysis at 44.1 kHz (6 octaves of 24 bins) into
// 1000 rows: the program's run time, and, with the same loader in this
// process, how many frames came from the file (each once means the count
// equals the frames in the file).
#include "AnalysisFixture.h"
#include "TestSupport.h"
#include "read_grid_from_aqt.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

int main()
{
    AqtLayout layout;
    layout.nBins = 24;
    layout.nOcts = 6;
    layout.rate = 44100.0f;
    layout.hop = 256;
    layout.minFreq = 27.5f;
    // duration = ((F + 1) / 2 - 1) * hop / rate = 60 s
    const long topFrames = (long)(60.0 * 44100 / 256) + 1;
    layout.frames = 2 * topFrames - 1;
    const std::string dir = makeTempDir();
    const std::string aqt = dir + "/long.aqt", grid = dir + "/long.grid";
    if (writeAqt(aqt, layout, [](long k, int b) { return cpx{(float)((k + b) % 7), 0.25f * b}; }) != PVE_OK)
        return 1;

    double t0 = now();
    ProgramResult run = runProgram("'" + binaryPath("spectconv") + "' '" + aqt + "' '" + grid + "' 1000");
    const double programTime = now() - t0;
    if (run.status != 0) {
        fprintf(stderr, "spectconv failed: %s\n", run.err.c_str());
        return 1;
    }

    // The same loader in this process, its chatter sent away.
    D3D_GridCompl::setAqtLoader(read_Grid_from_aqt);
    fflush(stdout);
    const int savedOut = dup(1), savedErr = dup(2);
    FILE *sink = fopen("/dev/null", "w");
    dup2(fileno(sink), 1);
    dup2(fileno(sink), 2);
    const long before = CQTFramesReadFromFile();
    t0 = now();
    std::string path = aqt;
    D3D_GridCompl *g = new D3D_GridCompl(&path[0], 1000);
    const double loadTime = now() - t0;
    const long framesRead = CQTFramesReadFromFile() - before;
    fflush(stdout);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    fclose(sink);

    printf("analysis: %ld frames (%ld in the top octave), %.1f MB, 6 x 24 bins\n", layout.frames, topFrames,
           layout.frames * 192.0 / 1e6);
    printf("spectconv 1000 rows   : %.3f s (whole program)\n", programTime);
    printf("loader in process     : %.3f s, grid %lu x %lu\n", loadTime, g->getSizeX(), g->getSizeY());
    printf("frames read from file : %ld of %ld (%.3f reads per frame)\n", framesRead, layout.frames,
           (double)framesRead / layout.frames);
    delete g;
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
