// Damaged input for every reader: truncated and bit-flipped copies of
// valid MAT, grid and analysis files. Under AddressSanitizer any read or
// write outside a buffer ends the test.
#include "AnalysisFixture.h"
#include "TestSupport.h"

#include <mat/mat.h>
#include <misc/d3d_gridcompl.h>
#include <nodes/qvData2RNFloatFile.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void save(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write((const char *)bytes.data(), (std::streamsize)bytes.size());
}

// Every prefix of the header region, sparser prefixes later on, and
// copies with a few flipped bits or a header word set to an extreme.
std::vector<Bytes> damagedCopies(const Bytes &valid, size_t headerBytes, unsigned seed)
{
    std::vector<Bytes> out;
    for (size_t n = 0; n < valid.size(); n += n < headerBytes ? 1 : 13)
        out.push_back(Bytes(valid.begin(), valid.begin() + (long)n));
    std::mt19937 random(seed);
    for (int i = 0; i < 150; ++i) {
        Bytes copy = valid;
        const int flips = 1 + (int)(random() % 4);
        for (int f = 0; f < flips; ++f) {
            // Mostly in the headers, where sizes live.
            const size_t limit = (random() % 4 == 0) ? copy.size() : std::min(copy.size(), headerBytes);
            copy[random() % limit] ^= (unsigned char)(1u << (random() % 8));
        }
        out.push_back(copy);
    }
    const uint32_t extremes[] = {0xffffffffu, 0x7fffffffu, 0x80000000u, 0u, 0x00010000u, 0x3b9aca01u};
    for (size_t at = 0; at + 4 <= std::min(valid.size(), headerBytes); at += 4)
        for (uint32_t v : extremes) {
            Bytes copy = valid;
            memcpy(&copy[at], &v, 4);
            out.push_back(copy);
        }
    return out;
}

struct MatWriter {
    Bytes b;
    bool big = false;
    void word(uint32_t v, int size = 4)
    {
        for (int i = 0; i < size; ++i)
            b.push_back((unsigned char)(v >> (big ? 8 * (size - 1 - i) : 8 * i)));
    }
    void header(int type, int m, int n, int imagf, const char *name)
    {
        word((uint32_t)type);
        word((uint32_t)m);
        word((uint32_t)n);
        word((uint32_t)imagf);
        word((uint32_t)strlen(name) + 1);
        b.insert(b.end(), name, name + strlen(name) + 1);
    }
    void f64(double d)
    {
        uint64_t v;
        memcpy(&v, &d, 8);
        for (int i = 0; i < 8; ++i)
            b.push_back((unsigned char)(v >> (big ? 8 * (7 - i) : 8 * i)));
    }
};

Bytes validMatFile()
{
    MatWriter w;
    const char *text = "MAT-file V02.0 (ieee-le)";
    w.b.insert(w.b.end(), text, text + 24);
    w.header(0, 2, 3, 0, "a");
    for (int i = 0; i < 6; ++i)
        w.f64(i);
    w.header(0, 1, 2, 1, "c");
    for (int i = 0; i < 4; ++i)
        w.f64(-i);
    w.header(31, 1, 3, 0, "text");
    w.word('a', 2);
    w.word('b', 2);
    w.word('c', 2);
    w.header(2, 2, 3, 0, "sp");
    for (double v : {1, 3, 2, 3, 4, 0})
        w.f64(v);
    w.header(2000, 1, 1, 0, "vax");
    w.f64(1);
    w.big = true;
    w.header(1110, 2, 2, 0, "rowf");
    for (int i = 0; i < 4; ++i)
        w.word(0x3f800000u + (uint32_t)i);
    w.header(4000, 1, 1, 0, "cray");
    w.f64(2);
    w.header(1050, 1, 4, 0, "u8");
    w.word(0x01020304u);
    return w.b;
}

Bytes validGridFile()
{
    D3D_GridCompl grid(3, 2);
    for (unsigned long i = 0; i < 3; ++i) {
        grid.putXScale(i, 0.01f * (float)i);
        for (unsigned long j = 0; j < 2; ++j)
            grid.putData(i, j, cpx{(float)(i + j), 0.5f});
    }
    grid.putYScale(0, 100);
    grid.putYScale(1, 200);
    const std::string path = "/tmp/qvfuzz-seed.grid";
    testing::internal::CaptureStderr();
    {
        std::ofstream out(path, std::ios::binary);
        grid.write(out);
    }
    testing::internal::GetCapturedStderr();
    Bytes bytes = slurp(path);
    std::remove(path.c_str());
    return bytes;
}

// Every matrix of the file, with all of its values touched.
void readWholeMatFile(const std::string &path)
{
    MATFile *mf = matOpen(path.c_str(), "r");
    if (!mf)
        return;
    volatile double sink = 0;
    for (int i = 0; i < 50; ++i) {
        Matrix *mx = matGetNextMatrix(mf);
        if (!mx)
            break;
        const long count = mxIsSparse(mx) ? (long)mxGetJc(mx)[mxGetN(mx)] : (long)mxGetM(mx) * mxGetN(mx);
        for (long k = 0; k < count; ++k) {
            sink = sink + mxGetPr(mx)[k];
            if (mxGetPi(mx))
                sink = sink + mxGetPi(mx)[k];
            if (mxIsSparse(mx))
                sink = sink + mxGetIr(mx)[k];
        }
        sink = sink + (double)strlen(mxGetName(mx));
        mxFreeMatrix(mx);
    }
    for (const char *name : {"sp", "cray", "missing"})
        mxFreeMatrix(matGetMatrix(mf, name));
    matClose(mf);
}

class FuzzReaders : public ::testing::Test {
  protected:
    std::string dir = makeTempDir();
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
};

} // namespace

TEST_F(FuzzReaders, MatFileReader)
{
    const Bytes valid = validMatFile();
    const std::string path = dir + "/f.mat";
    save(path, valid);
    readWholeMatFile(path);  // the seed itself reads whole
    for (const Bytes &copy : damagedCopies(valid, 120, 1)) {
        save(path, copy);
        readWholeMatFile(path);
    }
}

TEST_F(FuzzReaders, GridReaders)
{
    qvTestInit();
    const Bytes valid = validGridFile();
    ASSERT_EQ(valid.size(), 20u + 4 * 5 + 8 * 6);
    const std::string path = dir + "/f.grid";
    qvData2RNFloatFile *node = new qvData2RNFloatFile;
    node->ref();
    for (const Bytes &copy : damagedCopies(valid, 40, 2)) {
        save(path, copy);
        testing::internal::CaptureStderr();
        const SbBool ok = node->_readFileGrid(path.c_str());
        node->_readFileMatlab(path.c_str());
        // The class reader ends the process on zero sizes by design.
        if (copy.size() >= 20 && memcmp(&copy[12], "\0\0\0\0", 4) != 0 && memcmp(&copy[16], "\0\0\0\0", 4) != 0) {
            D3D_GridCompl grid;
            std::ifstream in(path, std::ios::binary);
            if (grid.read(in) == 1) {
                volatile float sink = 0;
                for (unsigned long i = 0; i < grid.getSizeX(); ++i)
                    for (unsigned long j = 0; j < grid.getSizeY(); ++j)
                        sink = sink + grid.getMag(i, j) + grid.getYScale(j);
            }
        }
        testing::internal::GetCapturedStderr();
        if (ok) {
            EXPECT_EQ(node->data.getNum() % node->dim2.getNum(), 0);
            volatile float sink = 0;
            for (int k = 0; k < node->data.getNum(); ++k)
                sink = sink + node->data[k];
        }
    }
    node->unref();
}

TEST_F(FuzzReaders, AnalysisReader)
{
    AqtLayout layout;
    layout.frames = 40;
    const std::string seed = dir + "/seed.aqt";
    ASSERT_EQ(writeAqt(seed, layout, [](long k, int b) { return cpx{(float)(k + b), 0.1f * (float)k}; }), PVE_OK);
    const Bytes valid = slurp(seed);
    const std::string path = dir + "/f.aqt", log = dir + "/child.log";
    int cases = 0, opened = 0;
    for (const Bytes &copy : damagedCopies(valid, 120, 3)) {
        save(path, copy);
        ++cases;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, 2);
            CQTINFO *cqi = nullptr;
            if (!OpenCQTPVfile(path.c_str(), &cqi))
                _exit(3);
            std::vector<cpx> spec((size_t)cqi->nOcts * (size_t)cqi->nBins + 1);
            cpx *frame = new cpx[(size_t)cqi->nBins];
            for (double t : {0.0, (double)cqi->duration / 2, (double)cqi->duration, 10.0 * cqi->duration + 1, -1.0}) {
                SpecOfCQTFile(cqi, t, 0.05, spec.data());
                SimpleSpecOfCQTFile(cqi, t, 0.0, spec.data());
            }
            for (long k : {0L, 1L, 39L, 40L, 5000L, -1L, 3L})
                ReadCQTFileFrame(cqi, k, frame);
            delete[] frame;
            FreeCQTInfo(cqi);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        // Refusals (3) and the deliberate abort on an inconsistent octave
        // count are fine; anything else is a fault.
        const bool fine = (WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3)) ||
                          (WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            ++opened;
        std::ifstream in(log);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Undefined behaviour is reported without ending the child.
        if (!fine || text.find("runtime error") != std::string::npos)
            ADD_FAILURE() << "case " << cases << " status " << status << "\n" << text;
    }
    EXPECT_GT(opened, 50);  // many damaged copies still decode and are read
}
