// Analysis-file routines: container header, info entries, octave
// addressing, the frame cache, spectra and phase handling.
#include "AnalysisFixture.h"
#include "TestSupport.h"

#include <genutils.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

class AnalysisFile : public ::testing::Test {
  protected:
    std::string dir = makeTempDir();
    std::string path = dir + "/a.aqt";
    void SetUp() override { resetCache(); }
    void TearDown() override
    {
        resetCache();
        std::system(("rm -rf '" + dir + "'").c_str());
    }
    static void resetCache()
    {
        CQTINFO dummy{};
        cpx cell[1];
        dummy.nBins = 1;
        ReadCQTFileFrame(&dummy, -1, cell);
    }
    CQTINFO *open()
    {
        CQTINFO *cqi = nullptr;
        EXPECT_NE(OpenCQTPVfile(path.c_str(), &cqi), nullptr);
        return cqi;
    }
};

// Every bin of file frame k has magnitude k + 1.
cpx frameNumbered(long k, int) { return cpx{(float)(k + 1), 0.0f}; }

} // namespace

TEST_F(AnalysisFile, HeaderIsBigEndianAndDecodes)
{
    AqtLayout layout;
    ASSERT_EQ(writeAqt(path, layout, frameNumbered), PVE_OK);
    std::ifstream in(path, std::ios::binary);
    unsigned char head[16];
    in.read((char *)head, sizeof head);
    const unsigned char magic[4] = {0x00, 0x07, 0xe6, 0x62};  // 517730
    EXPECT_EQ(std::vector<unsigned char>(head, head + 4), std::vector<unsigned char>(magic, magic + 4));
    EXPECT_EQ(head[15], 36);  // dataFormat, most significant byte first

    CQTINFO *cqi = open();
    ASSERT_NE(cqi, nullptr);
    EXPECT_EQ(cqi->nBins, 2);
    EXPECT_EQ(cqi->nOcts, 3);
    EXPECT_EQ(cqi->totalFrames, 7);
    EXPECT_EQ(cqi->hopSize, 64);
    EXPECT_EQ(cqi->kernLen, 256);
    EXPECT_FLOAT_EQ(cqi->duration, 3 * 64 / 8000.0f);
    EXPECT_FLOAT_EQ(cqi->qFactor, 16.0f);
    EXPECT_FLOAT_EQ(cqi->guardBand, 800.0f / 4000.0f);
    EXPECT_STREQ(cqi->desc, "noname");
    EXPECT_STREQ(cqi->pvh->info, "Q=16.00;octs=3.00;");
    FreeCQTInfo(cqi);
}

TEST(AnalysisInfo, EntriesAndDefaults)
{
    float v = 0;
    EXPECT_EQ(GrabInfoArg("Q=12.00;octs=5.00;", "Q", &v), 1);
    EXPECT_FLOAT_EQ(v, 12.0f);
    EXPECT_EQ(GrabInfoArg("Q=12.00; octs=5.00;", "octs", &v), 1);
    EXPECT_FLOAT_EQ(v, 5.0f);
    EXPECT_EQ(GrabInfoArg("Qual=3;", "Q", &v), 1);  // a longer key starting with it matches
    EXPECT_FLOAT_EQ(v, 3.0f);
    EXPECT_EQ(GrabInfoArg("", "Q", &v), 0);
    EXPECT_EQ(GrabInfoArg("octs=4;", "Q", &v), 0);
    EXPECT_EQ(GrabInfoArg("Q;", "Q", &v), 0);

    char info[40] = "";
    PutInfoArg(info, "Q", 12.0);
    PutInfoArg(info, "octs", 5.0);
    EXPECT_STREQ(info, "Q=12.00;octs=5.00;");
    char small[12] = "";
    PutInfoArg(small, "Q", 12.0, sizeof small);
    PutInfoArg(small, "octs", 5.0, sizeof small);  // no room left: not appended
    EXPECT_STREQ(small, "Q=12.00;");
}

TEST_F(AnalysisFile, InfoQAndOctsAndTheirDefaults)
{
    AqtLayout layout;
    layout.nOcts = 5;
    layout.q = 12.0f;
    ASSERT_EQ(writeAqt(path, layout, frameNumbered), PVE_OK);
    CQTINFO *cqi = open();
    ASSERT_NE(cqi, nullptr);
    EXPECT_FLOAT_EQ(cqi->qFactor, 12.0f);
    EXPECT_EQ(cqi->nOcts, 5);
    FreeCQTInfo(cqi);

    // Empty info: Q 16 and 6 octaves, so the frequency ratio must be 64.
    layout.nOcts = 6;
    ASSERT_EQ(writeAqt(path, layout, frameNumbered, [](PVSTRUCT *pvh) { pvh->info[0] = '\0'; }), PVE_OK);
    cqi = open();
    ASSERT_NE(cqi, nullptr);
    EXPECT_FLOAT_EQ(cqi->qFactor, 16.0f);
    EXPECT_EQ(cqi->nOcts, 6);
    FreeCQTInfo(cqi);

    layout.nOcts = 5;
    ASSERT_EQ(writeAqt(path, layout, frameNumbered, [](PVSTRUCT *pvh) { pvh->info[0] = '\0'; }), PVE_OK);
    EXPECT_DEATH(
        {
            CQTINFO *c = nullptr;
            OpenCQTPVfile(path.c_str(), &c);
        },
        "DecodeCQT: octs=6 inconsistent w/ fRatio 32.00");
}

TEST_F(AnalysisFile, RefusedContainers)
{
    AqtLayout layout;
    ASSERT_EQ(writeAqt(path, layout, frameNumbered, [](PVSTRUCT *pvh) { pvh->frameFormat = 34; }), PVE_OK);
    CQTINFO *cqi = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenCQTPVfile(path.c_str(), &cqi), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "DecodeCQT: PV file is not float,cq,polr(36,34)\n");
    EXPECT_EQ(cqi, nullptr);

    ASSERT_EQ(writeAqt(path, layout, frameNumbered, [](PVSTRUCT *pvh) { pvh->channels = 2; }), PVE_OK);
    testing::internal::CaptureStderr();
    EXPECT_NE(OpenCQTPVfile(path.c_str(), &cqi), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "DecodeCQTPV: warning: chans = 2 != 1\n");
    FreeCQTInfo(cqi);

    {
        std::ofstream out(path, std::ios::binary);
        out << "short";
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenCQTPVfile(path.c_str(), &cqi), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "PVRdH: wanted 56 got 5\n");

    ASSERT_EQ(writeAqt(path, layout, frameNumbered, [](PVSTRUCT *pvh) { pvh->magic = 1; }), PVE_NPV);
    EXPECT_EQ(OpenCQTPVfile((dir + "/missing.aqt").c_str(), &cqi), nullptr);
}

TEST(AnalysisErrors, TextsOfTheErrorCodes)
{
    EXPECT_STREQ(PVErrMsg(0), "No PV error");
    EXPECT_STREQ(PVErrMsg(-1), "Cannot open PV file");
    EXPECT_STREQ(PVErrMsg(-2), "Object/file not PVOC");
    EXPECT_STREQ(PVErrMsg(-3), "No memory for PVOC");
    EXPECT_STREQ(PVErrMsg(-4), "Error reading PVOC file");
    EXPECT_STREQ(PVErrMsg(-5), "Error writing PVOC file");
    EXPECT_STREQ(PVErrMsg(-17), "Unspecified error : -17");
    EXPECT_STREQ(PVErrMsg(-123456789), "Unspecified error : -123456");
    PVProgName = "prog";
    EXPECT_EXIT(PVDie(-2, "x.aqt"), ::testing::ExitedWithCode(1), "^prog: error: Object/file not PVOC \\(x.aqt\\)\n$");
    EXPECT_EXIT(PVDie(-4, ""), ::testing::ExitedWithCode(1), "^prog: error: Error reading PVOC file\n$");
    EXPECT_DEATH(Mymalloc(-1, 8, "tag"), "Mymalloc fail \\(from tag\\): wanted -1 of 8 = -8");
}

TEST(AnalysisFrames, OctaveOfFileFrame)
{
    const long frames[] = {0, 4, 5, 11, 7, 1, 3, 1048575, 4194303};
    const int octaves[] = {0, 0, 1, 2, 3, 1, 2, 20, 20};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(OctOfFileFrame(frames[i]), octaves[i]) << frames[i];
}

TEST_F(AnalysisFile, SevenFramesSplitIntoFourTwoAndOne)
{
    AqtLayout layout;  // 7 frames, 3 octaves
    ASSERT_EQ(writeAqt(path, layout, frameNumbered), PVE_OK);
    CQTINFO *cqi = open();
    ASSERT_NE(cqi, nullptr);
    const float tpf = 64 / 8000.0f;
    std::vector<cpx> spec(6);

    // Past the end each octave's range is its last frame alone: file
    // frames 6 (octave 0), 5 (octave 1) and 3 (octave 2). The time and
    // period keep every kernel weight above underflow.
    SpecOfCQTFile(cqi, 20 * tpf, 4 * tpf, spec.data());
    EXPECT_FLOAT_EQ(spec[4].mag, 7.0f);  // the top octave is the last block
    EXPECT_FLOAT_EQ(spec[5].mag, 7.0f);
    EXPECT_FLOAT_EQ(spec[2].mag, 6.0f);
    EXPECT_FLOAT_EQ(spec[0].mag, 4.0f);

    // Linear variant at 2 frames of the top octave: frame 2 of octave 0
    // (file frame 4), frame 1 of octave 1 (file 5), half way between
    // frame 0 of octave 2 (file 3) and its missing frame 1.
    SimpleSpecOfCQTFile(cqi, 2 * tpf, 0.0, spec.data());
    EXPECT_FLOAT_EQ(spec[4].mag, 5.0f);
    EXPECT_FLOAT_EQ(spec[2].mag, 6.0f);
    EXPECT_FLOAT_EQ(spec[0].mag, 2.0f);
    FreeCQTInfo(cqi);
}

TEST_F(AnalysisFile, UnknownDataSizeGivesNoFramesAndZeroSpectra)
{
    AqtLayout layout;
    layout.frames = -1;
    ASSERT_EQ(writeAqt(path, layout, frameNumbered), PVE_OK);
    CQTINFO *cqi = open();
    ASSERT_NE(cqi, nullptr);
    EXPECT_EQ(cqi->totalFrames, -1);
    EXPECT_EQ(cqi->duration, 0.0f);
    std::vector<cpx> spec(6, cpx{9, 9});
    SpecOfCQTFile(cqi, 0.01, 0.0, spec.data());
    for (const cpx &c : spec) {
        EXPECT_EQ(c.mag, 0.0f);
        EXPECT_EQ(c.pha, 0.0f);
    }
    FreeCQTInfo(cqi);
}

TEST_F(AnalysisFile, CacheKeepsOverlapAndReadsOnlyMissingFrames)
{
    AqtLayout layout;
    layout.nBins = 1;
    layout.nOcts = 1;
    layout.frames = 10000;
    layout.minFreq = 1000.0f;
    ASSERT_EQ(writeAqt(path, layout, frameNumbered), PVE_OK);
    CQTINFO *cqi = open();
    ASSERT_NE(cqi, nullptr);
    cpx cell{};
    long base, frames;
    int atEof;

    long before = CQTFramesReadFromFile();
    ASSERT_EQ(ReadCQTFileFrame(cqi, 0, &cell), 1);
    EXPECT_EQ(cell.mag, 1.0f);
    CQTCacheState(&base, &frames, &atEof);
    EXPECT_EQ(base, 0);
    EXPECT_EQ(frames, 2560);
    EXPECT_EQ(CQTFramesReadFromFile() - before, 2560);

    before = CQTFramesReadFromFile();
    ASSERT_EQ(ReadCQTFileFrame(cqi, 3000, &cell), 1);
    EXPECT_EQ(cell.mag, 3001.0f);
    CQTCacheState(&base, &frames, &atEof);
    EXPECT_EQ(base, 512);
    EXPECT_EQ(frames, 2560);
    EXPECT_EQ(CQTFramesReadFromFile() - before, 512);  // frames 2560..3071
    ASSERT_EQ(ReadCQTFileFrame(cqi, 512, &cell), 1);
    EXPECT_EQ(cell.mag, 513.0f);  // kept from the first fill
    EXPECT_EQ(CQTFramesReadFromFile() - before, 512);

    // Backwards: the 512 frames before the base are read in front.
    before = CQTFramesReadFromFile();
    ASSERT_EQ(ReadCQTFileFrame(cqi, 100, &cell), 1);
    EXPECT_EQ(cell.mag, 101.0f);
    CQTCacheState(&base, &frames, &atEof);
    EXPECT_EQ(base, 0);
    EXPECT_EQ(frames, 2560);
    EXPECT_EQ(CQTFramesReadFromFile() - before, 512);
    ASSERT_EQ(ReadCQTFileFrame(cqi, 2559, &cell), 1);
    EXPECT_EQ(cell.mag, 2560.0f);

    // Far ahead, no overlap: refilled from the aligned frame below, up to
    // the end of the file.
    ASSERT_EQ(ReadCQTFileFrame(cqi, 9999, &cell), 1);
    EXPECT_EQ(cell.mag, 10000.0f);
    CQTCacheState(&base, &frames, &atEof);
    EXPECT_EQ(base, 9728);
    EXPECT_EQ(frames, 272);
    EXPECT_EQ(atEof, 1);
    cell.mag = 5;
    EXPECT_EQ(ReadCQTFileFrame(cqi, 10000, &cell), 0);
    EXPECT_EQ(cell.mag, 0.0f);

    EXPECT_EQ(ReadCQTFileFrame(cqi, -1, &cell), 0);
    CQTCacheState(&base, &frames, &atEof);
    EXPECT_EQ(base, -1);
    EXPECT_EQ(frames, 0);
    FreeCQTInfo(cqi);
}

TEST_F(AnalysisFile, SecondFileNeverSeesTheFirstFilesFrames)
{
    AqtLayout layout;
    ASSERT_EQ(writeAqt(path, layout, frameNumbered), PVE_OK);
    const std::string other = dir + "/b.aqt";
    ASSERT_EQ(writeAqt(other, layout, [](long, int) { return cpx{-5, 0}; }), PVE_OK);
    cpx cells[2];
    CQTINFO *first = open();
    ASSERT_EQ(ReadCQTFileFrame(first, 3, cells), 1);
    EXPECT_EQ(cells[0].mag, 4.0f);
    FreeCQTInfo(first);
    CQTINFO *second = nullptr;
    ASSERT_NE(OpenCQTPVfile(other.c_str(), &second), nullptr);
    ASSERT_EQ(ReadCQTFileFrame(second, 3, cells), 1);
    EXPECT_EQ(cells[0].mag, -5.0f);
    FreeCQTInfo(second);
}

TEST(AnalysisPhases, UnwrapAndMask)
{
    const float in[2] = {3.0f, -3.0f};
    float out[2];
    UnwrapPhases(in, 1, out, 1, 2, 0.0);
    EXPECT_FLOAT_EQ(out[0], 3.0f);
    EXPECT_NEAR(out[1], 3.2832f, 1e-4);

    // A steady advance of 1 radian per frame, wrapped, comes back whole.
    float wrapped[8], unwrapped[8];
    for (int i = 0; i < 8; ++i)
        wrapped[i] = std::remainder(1.0f * i, 2 * (float)M_PI);
    UnwrapPhases(wrapped, 1, unwrapped, 1, 8, 1.0);
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(unwrapped[i], 1.0f * i, 1e-5) << i;
    // In place, with strides.
    float pairs[6] = {3.0f, 9, -3.0f, 9, 3.0f, 9};
    UnwrapPhases(pairs, 2, pairs, 2, 3, 0.0);
    EXPECT_NEAR(pairs[2], 3.2832f, 1e-4);
    EXPECT_NEAR(pairs[4], 3.0f, 1e-4);
    EXPECT_EQ(pairs[1], 9.0f);

    const float phases[3] = {4.0f, -4.0f, 3.0f};
    float masked[3];
    MaskPhases(phases, 1, masked, 1, 3);
    EXPECT_NEAR(masked[0], -2.2832f, 1e-4);
    EXPECT_NEAR(masked[1], 2.2832f, 1e-4);
    EXPECT_EQ(masked[2], 3.0f);
}

TEST(AnalysisInterpolation, WeightsOfTheKernels)
{
    const float ramp[5] = {0, 1, 2, 3, 4};
    float out;
    // Gaussian weights sum to one: a constant stays, a ramp's centre stays.
    const float ones[5] = {2, 2, 2, 2, 2};
    SetupInterpVal(5, 0.0, 1.0, 0.01, 0);
    DoInterpVal(ones, 1, &out);
    EXPECT_NEAR(out, 2.0f, 1e-5);
    SetupInterpVal(5, 2.0, 1.0, 0.01, 0);
    DoInterpVal(ramp, 1, &out);
    EXPECT_NEAR(out, 2.0f, 1e-5);
    InterpolateValue(ones, 1, 5, 1.3, &out, 4.0, 0);
    EXPECT_NEAR(out, 2.0f, 1e-5);

    // Windowed sinc at a whole position gives the sample itself.
    InterpolateValue(ramp, 1, 5, 3.0, &out, 1.0, 1);
    EXPECT_EQ(out, 3.0f);
    SetupInterpVal(5, 3.0, 1.0, 0.01, 1);
    DoInterpVal(ramp, 1, &out);
    EXPECT_NEAR(out, 3.0f, 1e-5);

    // Derivative kernel: zero at the ends, slope of a ramp inside.
    SetupInterpVal(5, 0.0, 1.0, 0.5, 2);
    DoInterpVal(ramp, 1, &out);
    EXPECT_EQ(out, 0.0f);
    SetupInterpVal(5, 2.0, 1.0, 0.5, 2);
    DoInterpVal(ramp, 1, &out);
    EXPECT_NEAR(out, 2.0f, 1e-4);  // one per frame over 0.5 s frames

    std::vector<float> many(600, 1.0f);
    testing::internal::CaptureStderr();
    SetupInterpVal(600, 300.0, 1.0, 0.01, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "SetupInterp: frames 600 > 550\n");
    DoInterpVal(many.data(), 1, &out);
    EXPECT_NEAR(out, 1.0f, 1e-4);

    testing::internal::CaptureStderr();
    print_vec(ramp, 3, "ramp");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ramp:   0.000   1.000   2.000\n");
}

TEST_F(AnalysisFile, SteadyBinKeepsItsMagnitudeAtEveryTime)
{
    AqtLayout layout;
    layout.nBins = 4;
    layout.nOcts = 3;
    layout.frames = 2000;
    layout.rate = 8000.0f;
    layout.hop = 32;
    const float f0 = 100.0f;
    // Bin 1 of every octave's frames holds 3.5 with the phase of a steady
    // tone at its centre frequency; every other bin is silent.
    ASSERT_EQ(writeAqt(path, layout,
                       [&](long k, int b) {
                           if (b != 1)
                               return cpx{0, 0};
                           const int o = OctOfFileFrame(k);
                           const double f = f0 * std::ldexp(1.0, 2 - o) * std::pow(2.0, 0.25);
                           const double t = (double)(k + 1) / 2 * 32 / 8000.0;
                           return cpx{3.5f, (float)std::remainder(2 * M_PI * f * t, 2 * M_PI)};
                       }),
              PVE_OK);
    CQTINFO *cqi = open();
    ASSERT_NE(cqi, nullptr);
    std::vector<cpx> spec(12);
    const int rows = 20;
    const double step = cqi->duration / (rows - 1);
    for (int r = 0; r < rows; ++r) {
        SpecOfCQTFile(cqi, r * step, 1.0 / step, spec.data());
        for (int o = 0; o < 3; ++o) {
            EXPECT_NEAR(spec[o * 4 + 1].mag, 3.5f, 1e-4) << "row " << r << " octave " << o;
            EXPECT_EQ(spec[o * 4].mag, 0.0f);
            EXPECT_LE(std::fabs(spec[o * 4 + 1].pha), (float)M_PI + 1e-5f);
        }
    }
    FreeCQTInfo(cqi);
}

TEST_F(AnalysisFile, WriterRoundTrips)
{
    AqtLayout layout;
    ASSERT_EQ(writeAqt(path, layout, frameNumbered), PVE_OK);
    PVSTRUCT *whole = nullptr;
    ASSERT_EQ(PVReadFile(path.c_str(), &whole), PVE_OK);
    EXPECT_EQ(whole->dataBsize, 7 * 16);
    EXPECT_EQ(whole->frameBsize, 16);
    EXPECT_FLOAT_EQ(whole->maxFreq, 800.0f);
    EXPECT_FLOAT_EQ(whole->minFreq, 100.0f);
    EXPECT_EQ(whole->freqFormat, 2);
    const float *data = PVDataPtr(whole);
    EXPECT_EQ(data[0], 1.0f);
    EXPECT_EQ(data[24], 7.0f);  // frame 6, bin 0
    EXPECT_EQ(data[26], 7.0f);  // frame 6, bin 1

    // Header first with an unknown size, frames appended, size set at close.
    whole->dataBsize = -1;
    const std::string streamed = dir + "/s.aqt";
    FILE *file = PVOpenWrHdr(streamed.c_str(), whole);
    ASSERT_NE(file, nullptr);
    const unsigned char frame[16] = {0x3f, 0x80, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 3; ++i)
        fwrite(frame, 1, sizeof frame, file);
    EXPECT_EQ(PVCloseWrHdr(file, whole), PVE_OK);
    EXPECT_EQ(whole->dataBsize, 48);
    PVFree(whole);
    CQTINFO *cqi = nullptr;
    ASSERT_NE(OpenCQTPVfile(streamed.c_str(), &cqi), nullptr);
    EXPECT_EQ(cqi->totalFrames, 3);
    cpx cells[2];
    ASSERT_EQ(ReadCQTFileFrame(cqi, 2, cells), 1);
    EXPECT_EQ(cells[0].mag, 1.0f);
    EXPECT_EQ(cells[1].mag, 2.0f);
    FreeCQTInfo(cqi);

    PVSTRUCT bad{};
    bad.magic = 5;
    EXPECT_EQ(PVOpenWrHdr(streamed.c_str(), &bad), nullptr);
    // Data cut short of the size the header gives.
    ASSERT_EQ(writeAqt(path, layout, frameNumbered), PVE_OK);
    std::ifstream probe(path, std::ios::binary | std::ios::ate);
    const long length = (long)probe.tellg();
    ASSERT_EQ(truncate(path.c_str(), length - 10), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(PVReadFile(path.c_str(), &whole), PVE_RDERR);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "PVRead: wanted 112 got 102\n");
}
