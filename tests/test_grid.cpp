// Grid classes: the file byte for byte, reading back, traces, and the
// range checks that end the process.
#include <misc/d3d_gridcompl.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

namespace {

std::vector<unsigned char> fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string &path, const std::vector<unsigned char> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write((const char *)bytes.data(), (std::streamsize)bytes.size());
}

// The 2 x 3 grid of the round trip, as the file must hold it.
const std::vector<unsigned char> expected2x3 = {
    0x40, 0xa0, 0x00, 0x00,  0x3f, 0x80, 0x00, 0x00,  0x00, 0x00, 0x00, 0x00,  // 5, 1, 0
    0x00, 0x00, 0x00, 0x02,  0x00, 0x00, 0x00, 0x03,                           // 2 rows, 3 columns
    0x00, 0x00, 0x00, 0x00,  0x3f, 0x00, 0x00, 0x00,                           // x: 0, 0.5
    0x42, 0xc8, 0x00, 0x00,  0x43, 0x48, 0x00, 0x00,  0x43, 0xc8, 0x00, 0x00,  // y: 100, 200, 400
    0x3f, 0x80, 0x00, 0x00,  0xbf, 0x80, 0x00, 0x00,                           // (1, -1)
    0x40, 0x00, 0x00, 0x00,  0x3e, 0x80, 0x00, 0x00,                           // (2, 0.25)
    0x40, 0x40, 0x00, 0x00,  0x00, 0x00, 0x00, 0x00,                           // (3, 0)
    0x40, 0x80, 0x00, 0x00,  0x40, 0x49, 0x0f, 0xdb,                           // (4, pi)
    0x40, 0xa0, 0x00, 0x00,  0xc0, 0x00, 0x00, 0x00,                           // (5, -2)
    0x42, 0xc8, 0x00, 0x00,  0x3f, 0x00, 0x00, 0x00,                           // (100, 0.5)
};

const cpx cells2x3[6] = {{1, -1}, {2, 0.25f}, {3, 0}, {4, 3.14159274f}, {5, -2}, {100, 0.5f}};

void fill2x3(D3D_GridCompl &grid)
{
    grid.resize(2, 3);
    grid.setDistanceX(5.0f);
    grid.setDistanceY(1.0f);
    grid.setDistanceZ(0.0f);
    grid.putXScale(0, 0.0f);
    grid.putXScale(1, 0.5f);
    grid.putYScale(0, 100.0f);
    grid.putYScale(1, 200.0f);
    grid.putYScale(2, 400.0f);
    for (int i = 0; i < 6; ++i)
        grid.putData((unsigned long)(i / 3), (unsigned long)(i % 3), cells2x3[i]);
}

class GridFile : public ::testing::Test {
  protected:
    std::string dir = makeTempDir();
    std::string path = dir + "/g.grid";
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
};

} // namespace

TEST_F(GridFile, TwoByThreeIsWrittenByteForByteAndReadBack)
{
    D3D_GridCompl grid;
    fill2x3(grid);
    testing::internal::CaptureStderr();
    {
        std::ofstream out(path, std::ios::binary);
        EXPECT_EQ(grid.write(out), 1);
    }
    const std::string trace = testing::internal::GetCapturedStderr();
    EXPECT_EQ(fileBytes(path), expected2x3);
    EXPECT_EQ(trace, "write to file:\n distx 5/4\n disty 1\n distz 0\n\n"
                     "size X Y (#, #):2 3(4 4\n# Xscale: 8\n# Yscale: 12\n"
                     "wrote sizex * sizey * sizeof(DataTyp) =2 3 8\n=48\n");

    D3D_GridCompl back;
    testing::internal::CaptureStderr();
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(back.read(in), 1);
    const std::string readTrace = testing::internal::GetCapturedStderr();
    EXPECT_EQ(readTrace, "read from file:\n distx 5\n disty 1\n distz 0\n"
                         "read Sizex:2\nread Sizey:3\n");
    EXPECT_EQ(back.getDistanceX(), 5.0f);
    EXPECT_EQ(back.getDistanceY(), 1.0f);
    EXPECT_EQ(back.getDistanceZ(), 0.0f);
    ASSERT_EQ(back.getSizeX(), 2u);
    ASSERT_EQ(back.getSizeY(), 3u);
    EXPECT_EQ(back.getXScale(1), 0.5f);
    EXPECT_EQ(back.getYScale(2), 400.0f);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(back.getMag((unsigned long)(i / 3), (unsigned long)(i % 3)), cells2x3[i].mag);
        EXPECT_EQ(back.getPhase((unsigned long)(i / 3), (unsigned long)(i % 3)), cells2x3[i].pha);
    }
}

TEST_F(GridFile, EmptyGridIsTwentyBytesAndReadingItEndsWithStatusOne)
{
    D3D_GridCompl grid;
    EXPECT_EQ(grid.getSizeX(), 0u);
    EXPECT_EQ(grid.Data, nullptr);
    testing::internal::CaptureStderr();
    {
        std::ofstream out(path, std::ios::binary);
        grid.write(out);
    }
    testing::internal::GetCapturedStderr();
    const std::vector<unsigned char> bytes = fileBytes(path);
    const std::vector<unsigned char> empty = {0x40, 0, 0, 0, 0x3d, 0xcc, 0xcc, 0xcd, 0, 0, 0, 0,
                                              0,    0, 0, 0, 0,    0,    0,    0};
    EXPECT_EQ(bytes, empty);  // spacings 2.0, 0.1 and 0, sizes 0
    EXPECT_EXIT(
        {
            D3D_GridCompl back;
            std::ifstream in(path, std::ios::binary);
            back.read(in);
        },
        ::testing::ExitedWithCode(1), "Error in ::read: sizex \\|\\| sizey == 0!");
}

TEST_F(GridFile, FileShorterThanItsSizesIsRefusedWithoutAllocating)
{
    std::vector<unsigned char> cut(expected2x3.begin(), expected2x3.end() - 1);
    writeBytes(path, cut);
    D3D_GridCompl grid;
    testing::internal::CaptureStderr();
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(grid.read(in), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("shorter than sizex, sizey announce"),
              std::string::npos);
    EXPECT_EQ(grid.getSizeX(), 0u);

    // Sizes of 2^32 - 1 each in a 20-byte file.
    std::vector<unsigned char> huge(expected2x3.begin(), expected2x3.begin() + 20);
    for (int i = 12; i < 20; ++i)
        huge[i] = 0xff;
    writeBytes(path, huge);
    testing::internal::CaptureStderr();
    std::ifstream in2(path, std::ios::binary);
    EXPECT_EQ(grid.read(in2), 0);
    testing::internal::GetCapturedStderr();
}

TEST(Grid, OutOfRangeAccessEndsWithStatusMinusOne)
{
    struct Case {
        const char *message;
        std::function<void(D3D_GridCompl &)> call;
    };
    const std::vector<Case> cases = {
        {"d3d_grid: index of geYScale out of range \\(3, 3\\)", [](D3D_GridCompl &g) { g.getYScale(3); }},
        {"d3d_grid: index of puXScale out of range \\(2, 2\\)", [](D3D_GridCompl &g) { g.putXScale(2, 1); }},
        {"d3d_grid: index of puYScale out of range \\(7, 3\\)", [](D3D_GridCompl &g) { g.putYScale(7, 1); }},
        {"D3D_GridCompl: index of getData out of range \\(2, 0\\)", [](D3D_GridCompl &g) { g.getData(2, 0); }},
        {"D3D_GridCompl: index of getMag out of range \\(0, 3\\)", [](D3D_GridCompl &g) { g.getMag(0, 3); }},
        {"D3D_GridCompl: index of getPhgase out of range \\(0, 3\\)", [](D3D_GridCompl &g) { g.getPhase(0, 3); }},
    };
    for (const Case &c : cases)
        EXPECT_EXIT(
            {
                D3D_GridCompl grid(2, 3);
                c.call(grid);
            },
            ::testing::ExitedWithCode(255), c.message);
}

TEST(Grid, PutDataOutsideTheGridChangesNothing)
{
    D3D_GridCompl grid;
    fill2x3(grid);
    grid.putData(2, 0, cpx{9, 9});
    grid.putData(0, 3, cpx{9, 9});
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(grid.Data[i].mag, cells2x3[i].mag);
}

namespace {
int loaderCalls = 0;
int fakeLoader(D3D_GridCompl *grid, char *, unsigned long nSpecs)
{
    ++loaderCalls;
    grid->resize(nSpecs, 2);
    return 0;
}
int failingLoader(D3D_GridCompl *grid, char *, unsigned long)
{
    grid->resize(3, 3);
    return 1;
}
} // namespace

TEST(Grid, FileNameConstructorLoadsOnlyExactAqtSuffix)
{
    D3D_AqtLoader previous = D3D_GridCompl::setAqtLoader(fakeLoader);
    struct Case {
        const char *path;
        const char *suffixLine;
        bool loads;
    };
    const Case cases[] = {
        {"/tmp/a.aqt", "Suffix:'.aqt'\n", true},
        {"/tmp/a.AQT", "Suffix:'.AQT'\n", false},
        {"/tmp/a.aqtx", "Suffix:'aqtx'\n", false},
        {"ab", "Suffix:''\n", false},
    };
    for (const Case &c : cases) {
        loaderCalls = 0;
        testing::internal::CaptureStdout();
        std::string path = c.path;
        D3D_GridCompl grid(&path[0], 4);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.suffixLine);
        EXPECT_EQ(loaderCalls, c.loads ? 1 : 0) << c.path;
        EXPECT_EQ(grid.getSizeX(), c.loads ? 4u : 0u) << c.path;
        EXPECT_EQ(grid.getFileFormatIn(), D3D_FFI_not_specified);
    }

    D3D_GridCompl::setAqtLoader(failingLoader);
    std::string path = "x.aqt";
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    D3D_GridCompl failed(&path[0], 4);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "D3D_GridCompl: Cant't read 'x.aqt'\n");
    EXPECT_EQ(failed.getSizeX(), 0u);
    EXPECT_EQ(failed.getSizeY(), 0u);
    EXPECT_EQ(failed.Data, nullptr);
    D3D_GridCompl::setAqtLoader(previous);
}

TEST(Grid, DebugListsSpacingsSizesAndCells)
{
    D3D_GridCompl grid;
    fill2x3(grid);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    grid.debug();
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out.find("Distance:  \t5.000000, 1.000000\n"), 0u);
    EXPECT_NE(out.find("Size:   2,  3\n"), std::string::npos);
    EXPECT_NE(err.find("ScaleY: \n[0]100.000000\t[1]200.000000\t[2]400.000000\t"), std::string::npos);
    EXPECT_NE(err.find("[1,2]=100.000000,0.500000 \t\n\n\n"), std::string::npos);
}
