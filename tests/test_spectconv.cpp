// The converter run as a program: usage, rows, scales, progress output
// and the grid file it writes.
#include "AnalysisFixture.h"
#include "TestSupport.h"

#include <misc/d3d_gridcompl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

const char *const usageText =
    "  infile.aqt           .aqt file to convert\n"
    "  outFille\t\t    gridcompl file to write\n"
    "  numRows              number of rows the  gridcompl will contain (20)\n"
    "                       (1 gives one unsmoothed row at time 0)\n";

long fileLength(const std::string &path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? (long)in.tellg() : -1;
}

class Spectconv : public ::testing::Test {
  protected:
    std::string dir = makeTempDir();
    std::string aqt = dir + "/in.aqt";
    std::string grid = dir + "/out.grid";
    std::string program = binaryPath("spectconv");
    AqtLayout layout;

    void SetUp() override
    {
        layout.nBins = 24;
        layout.nOcts = 6;
        layout.frames = 640;
        layout.rate = 8000.0f;
        layout.hop = 16;
        layout.minFreq = 50.0f;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    void writeSteady()
    {
        // Bin 5 of every octave holds 2.0, the rest is silent.
        ASSERT_EQ(writeAqt(aqt, layout, [](long, int b) { return cpx{b == 5 ? 2.0f : 0.0f, 0.5f}; }), PVE_OK);
    }
    ProgramResult run(const std::string &args) { return runProgram("'" + program + "' " + args); }

    // Reads the grid back, swallowing the traces.
    void readGrid(D3D_GridCompl &g)
    {
        std::ifstream in(grid, std::ios::binary);
        testing::internal::CaptureStderr();
        g.read(in);
        testing::internal::GetCapturedStderr();
    }
};

} // namespace

TEST_F(Spectconv, UsageWithFewerThanTwoArgumentsOrANegativeCount)
{
    writeSteady();
    for (const std::string &args : {std::string(""), "'" + aqt + "'", "'" + aqt + "' '" + grid + "' -3"}) {
        ProgramResult r = run(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, "Usage: " + program + " inFile.aqt outFile.grid [numRows]\n" + usageText) << args;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(fileLength(grid), -1);
}

TEST_F(Spectconv, TwentyDefaultRowsSpreadOverTheAnalysis)
{
    writeSteady();
    ProgramResult r = run("'" + aqt + "' '" + grid + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const long X = 20, Y = 144;
    EXPECT_EQ(fileLength(grid), 20 + 4 * (X + Y) + 8 * X * Y);
    EXPECT_EQ(r.out, "Suffix:'.aqt'\n 0 10");

    const float duration = (float)((640 + 1) / 2 - 1) * 16 / 8000.0f;
    const size_t head = r.err.find("reading .aqt file ....\n");
    const size_t info = r.err.find("nBins: \t24\nnOct: \t6\nqFactor: \t16.000000\nhopSize: \t16\n"
                                   "duration: \t0.638000\nNum points per frame: \t144\n"
                                   "Time per frame \t0.002000\nlowest freq. \t50.000000\n"
                                   "Frequency factor \t1.029302\n");
    const size_t scale = r.err.find(" [0]0.000000\t [1]0.033579\t");
    const size_t ready = r.err.find("reading .aqt file ready!\nwriting .grid file ....\nwrite to file:\n distx 5/4\n");
    const size_t end = r.err.find("writing .grid file ready! \nEND.\n");
    EXPECT_EQ(head, 0u);
    EXPECT_LT(head, info);
    EXPECT_LT(info, scale);
    EXPECT_LT(scale, ready);
    EXPECT_LT(ready, end);
    EXPECT_NE(end, std::string::npos);

    D3D_GridCompl g;
    readGrid(g);
    ASSERT_EQ(g.getSizeX(), 20u);
    ASSERT_EQ(g.getSizeY(), 144u);
    EXPECT_EQ(g.getDistanceX(), 5.0f);
    EXPECT_EQ(g.getDistanceY(), 1.0f);
    for (unsigned long i = 0; i < 20; ++i)
        EXPECT_FLOAT_EQ(g.getXScale(i), (float)i * duration / 19.0f);
    for (unsigned long n = 0; n < 144; ++n)
        EXPECT_NEAR(g.getYScale(n), 50.0 * std::pow(2.0, n / 24.0), 1e-4 * g.getYScale(n)) << n;
    // The steady bin keeps its level in every row and octave.
    for (unsigned long i = 0; i < 20; ++i)
        for (unsigned long n = 0; n < 144; ++n)
            EXPECT_NEAR(g.getMag(i, n), n % 24 == 5 ? 2.0f : 0.0f, 1e-4) << i << "," << n;
}

TEST_F(Spectconv, NoRowsForZeroOrNonNumericCount)
{
    writeSteady();
    for (const char *count : {"0", "abc"}) {
        ProgramResult r = run("'" + aqt + "' '" + grid + "' " + count);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(fileLength(grid), 20 + 4 * 144) << count;
        EXPECT_EQ(r.out, "Suffix:'.aqt'\n");
    }
}

TEST_F(Spectconv, ProgressEveryTenRowsAndSingleRow)
{
    writeSteady();
    ProgramResult r = run("'" + aqt + "' '" + grid + "' 25");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Suffix:'.aqt'\n 0 10 20");

    r = run("'" + aqt + "' '" + grid + "' 1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fileLength(grid), 20 + 4 * 145 + 8 * 144);
    D3D_GridCompl g;
    readGrid(g);
    ASSERT_EQ(g.getSizeX(), 1u);
    EXPECT_EQ(g.getXScale(0), 0.0f);
    EXPECT_NEAR(g.getMag(0, 5), 2.0f, 1e-4);
    EXPECT_LE(std::fabs(g.getPhase(0, 5)), 3.1415927f);

    r = run("'" + aqt + "' '" + grid + "' 2");
    readGrid(g);
    ASSERT_EQ(g.getSizeX(), 2u);
    EXPECT_FLOAT_EQ(g.getXScale(1), 0.638f);
}

TEST_F(Spectconv, UnusableInputs)
{
    ProgramResult r = run("'" + aqt + "' '" + grid + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("could not open file :" + aqt + " \n"), std::string::npos);

    writeSteady();
    const std::string other = dir + "/in.dat";
    std::rename(aqt.c_str(), other.c_str());
    r = run("'" + other + "' '" + grid + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fileLength(grid), 20);
    EXPECT_EQ(r.out, "Suffix:'.dat'\n");

    std::rename(other.c_str(), aqt.c_str());
    r = run("'" + aqt + "' '" + dir + "/no/such/dir.grid'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("END.\n"), std::string::npos);
}

TEST_F(Spectconv, RowsAreSmoothedOverTheirSpacingOnly)
{
    // Bin 1 of every octave sounds with magnitude 2 up to 3.2 s, then
    // falls silent. Rows more than a second away from the change keep the
    // level of their side in every octave, also the lowest.
    layout.nBins = 4;
    layout.nOcts = 6;
    layout.frames = 6400;
    layout.hop = 16;  // 2 ms per top-octave frame, 6.4 s in all
    const float change = 3.2f;
    ASSERT_EQ(writeAqt(aqt, layout,
                       [&](long k, int b) {
                           const int o = OctOfFileFrame(k);
                           const long j = (k + 1 - (1L << o)) >> (o + 1);
                           const float t = (float)(j << o) * 0.002f;
                           return cpx{b == 1 && t < change ? 2.0f : 0.0f, 0};
                       }),
              PVE_OK);
    ProgramResult r = run("'" + aqt + "' '" + grid + "' 40");
    ASSERT_EQ(r.status, 0) << r.err;
    D3D_GridCompl g;
    readGrid(g);
    ASSERT_EQ(g.getSizeX(), 40u);
    int checked = 0;
    for (unsigned long i = 0; i < 40; ++i) {
        const float t = g.getXScale(i);
        if (std::fabs(t - change) < 1.2f)
            continue;
        for (int o = 0; o < 6; ++o, ++checked)
            EXPECT_NEAR(g.getMag(i, (unsigned long)(o * 4 + 1)), t < change ? 2.0f : 0.0f, 0.02f)
                << "row " << i << " at " << t << " s, octave block " << o;
    }
    EXPECT_GT(checked, 100);
}
