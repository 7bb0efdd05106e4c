// MAT-file reading: files written by scipy, and hand-made files for the
// byte orders, number formats, precisions and damaged headers.
#include "TestSupport.h"

#include <mat/mat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

// Builds matrices in the byte order of the number format.
struct MatBuilder {
    Bytes bytes;
    bool big = false;

    void word(uint32_t v, int size = 4)
    {
        for (int i = 0; i < size; ++i) {
            const int shift = big ? 8 * (size - 1 - i) : 8 * i;
            bytes.push_back((unsigned char)(v >> shift));
        }
    }
    void header(int type, int32_t m, int32_t n, int32_t imagf, const std::string &name, int namlen = -1)
    {
        word((uint32_t)type);
        word((uint32_t)m);
        word((uint32_t)n);
        word((uint32_t)imagf);
        word((uint32_t)(namlen < 0 ? (int)name.size() + 1 : namlen));
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.push_back(0);
    }
    void f64(double d)
    {
        uint64_t v;
        memcpy(&v, &d, 8);
        if (big)
            for (int i = 7; i >= 0; --i)
                bytes.push_back((unsigned char)(v >> (8 * i)));
        else
            for (int i = 0; i < 8; ++i)
                bytes.push_back((unsigned char)(v >> (8 * i)));
    }
    void f32(float f)
    {
        uint32_t v;
        memcpy(&v, &f, 4);
        word(v);
    }
    void raw(const Bytes &b) { bytes.insert(bytes.end(), b.begin(), b.end()); }
    // A full double matrix of the given column-major values.
    void doubles(const std::string &name, int m, int n, const std::vector<double> &values)
    {
        header(big ? 1000 : 0, m, n, 0, name);
        for (double v : values)
            f64(v);
    }
};

class MatFileTest : public ::testing::Test {
  protected:
    std::string dir = makeTempDir();
    std::string path = dir + "/m.mat";
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    void save(const Bytes &bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write((const char *)bytes.data(), (std::streamsize)bytes.size());
    }
    // The first matrix of bytes, or none.
    Matrix *first(const Bytes &bytes)
    {
        save(bytes);
        MATFile *mf = matOpen(path.c_str(), "r");
        if (!mf)
            return nullptr;
        Matrix *mx = matGetNextMatrix(mf);
        matClose(mf);
        return mx;
    }
    static std::vector<double> values(const Matrix *mx)
    {
        const double *p = mxGetPr(mx);
        return std::vector<double>(p, p + (size_t)mxGetM(mx) * (size_t)mxGetN(mx));
    }
};

} // namespace

TEST_F(MatFileTest, ReadsWhatScipyWrites)
{
    const std::string script =
        "import numpy as np, scipy.io as sio\n"
        "sio.savemat('" + path + "', {\n"
        " 'spec': np.arange(12.).reshape(3, 4),\n"
        " 'cplx': np.array([[1+2j, 3-4j]]),\n"
        " 'i16': np.array([[-1, 2, -32768]], dtype=np.int16),\n"
        " 'u8': np.array([[255, 1]], dtype=np.uint8),\n"
        " 'f4': np.array([[1.5], [-0.25]], dtype=np.float32),\n"
        " 'text': 'hi',\n"
        " 'SampleFreq': 8000.0}, format='4')\n";
    {
        std::ofstream py(dir + "/w.py");
        py << script;
    }
    ProgramResult r = runProgram("/usr/bin/python3 '" + dir + "/w.py'");
    if (r.status != 0)
        GTEST_SKIP() << "scipy is not available: " << r.err;

    MATFile *mf = matOpen(path.c_str(), "r");
    ASSERT_NE(mf, nullptr);
    Matrix *spec = matGetNextMatrix(mf);
    ASSERT_NE(spec, nullptr);
    EXPECT_STREQ(mxGetName(spec), "spec");
    EXPECT_EQ(mxGetM(spec), 3);
    EXPECT_EQ(mxGetN(spec), 4);
    EXPECT_TRUE(mxIsFull(spec));
    EXPECT_FALSE(mxIsSparse(spec));
    EXPECT_FALSE(mxIsComplex(spec));
    EXPECT_EQ(mxGetPi(spec), nullptr);
    // Column after column: element (i, j) = 4 i + j at i + 3 j.
    EXPECT_EQ(values(spec), (std::vector<double>{0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11}));
    mxFreeMatrix(spec);

    Matrix *cplx = matGetNextMatrix(mf);
    ASSERT_NE(cplx, nullptr);
    EXPECT_TRUE(mxIsComplex(cplx));
    EXPECT_EQ(values(cplx), (std::vector<double>{1, 3}));
    EXPECT_EQ(mxGetPi(cplx)[0], 2.0);
    EXPECT_EQ(mxGetPi(cplx)[1], -4.0);
    mxFreeMatrix(cplx);

    Matrix *i16 = matGetMatrix(mf, "i16");
    ASSERT_NE(i16, nullptr);
    EXPECT_EQ(values(i16), (std::vector<double>{-1, 2, -32768}));
    mxFreeMatrix(i16);
    Matrix *u8 = matGetNextMatrix(mf);  // reading goes on behind the match
    ASSERT_NE(u8, nullptr);
    EXPECT_STREQ(mxGetName(u8), "u8");
    EXPECT_EQ(values(u8), (std::vector<double>{255, 1}));
    mxFreeMatrix(u8);
    Matrix *f4 = matGetMatrix(mf, "f4");
    ASSERT_NE(f4, nullptr);
    EXPECT_EQ(values(f4), (std::vector<double>{1.5, -0.25}));
    mxFreeMatrix(f4);
    Matrix *text = matGetMatrix(mf, "text");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(mxIsString(text));
    EXPECT_EQ(values(text), (std::vector<double>{'h', 'i'}));
    mxFreeMatrix(text);
    Matrix *rate = matGetMatrix(mf, "SampleFreq");
    ASSERT_NE(rate, nullptr);
    EXPECT_EQ(values(rate), (std::vector<double>{8000}));
    mxFreeMatrix(rate);
    EXPECT_EQ(matGetMatrix(mf, "Interval"), nullptr);
    EXPECT_EQ(matGetNextMatrix(mf), nullptr);  // at the end
    EXPECT_EQ(matClose(mf), 0);
}

TEST_F(MatFileTest, BigAndLittleEndianFilesGiveTheSameMatrices)
{
    std::vector<Bytes> files;
    for (bool big : {false, true}) {
        MatBuilder b;
        b.big = big;
        const int M = big ? 1000 : 0;
        b.doubles("d", 2, 2, {1.5, -2, 1e300, -0.0});
        b.header(M + 10, 1, 2, 0, "f");
        b.f32(0.5f);
        b.f32(-3.25f);
        b.header(M + 20, 1, 2, 0, "i32");
        b.word((uint32_t)-70000);
        b.word(70000);
        b.header(M + 30, 1, 1, 0, "i16");
        b.word(0xfffe, 2);
        b.header(M + 40, 1, 1, 0, "u16");
        b.word(0xfffe, 2);
        b.header(M + 0, 1, 1, 1, "c");
        b.f64(1);
        b.f64(-1);
        files.push_back(b.bytes);
    }
    const std::vector<std::vector<double>> expected = {{1.5, -2, 1e300, -0.0}, {0.5, -3.25}, {-70000, 70000},
                                                       {-2}, {65534}, {1}};
    for (const Bytes &file : files) {
        save(file);
        MATFile *mf = matOpen(path.c_str(), "r");
        ASSERT_NE(mf, nullptr);
        for (const std::vector<double> &want : expected) {
            Matrix *mx = matGetNextMatrix(mf);
            ASSERT_NE(mx, nullptr);
            EXPECT_EQ(values(mx), want) << mxGetName(mx);
            if (mxIsComplex(mx)) {
                EXPECT_EQ(mxGetPi(mx)[0], -1.0);
            }
            mxFreeMatrix(mx);
        }
        EXPECT_EQ(matGetNextMatrix(mf), nullptr);
        matClose(mf);
    }
}

TEST_F(MatFileTest, BigEndianHeaderOfTheSpecExample)
{
    Bytes bytes = {0, 0, 0x03, 0xe8, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 5, 's', 'p', 'e', 'c', 0};
    for (int v = 1; v <= 6; ++v) {
        MatBuilder b;
        b.big = true;
        b.f64(v);
        bytes.insert(bytes.end(), b.bytes.begin(), b.bytes.end());
    }
    Matrix *mx = first(bytes);
    ASSERT_NE(mx, nullptr);
    EXPECT_STREQ(mxGetName(mx), "spec");
    EXPECT_EQ(mxGetM(mx), 2);
    EXPECT_EQ(mxGetN(mx), 3);
    EXPECT_EQ(values(mx), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    mxFreeMatrix(mx);
}

TEST_F(MatFileTest, RowMajorMatricesAreTransposed)
{
    MatBuilder b;
    b.header(100, 2, 3, 1, "rows");
    for (int v = 1; v <= 6; ++v)
        b.f64(v);
    for (int v = 1; v <= 6; ++v)
        b.f64(-v);
    b.big = true;
    b.header(1120, 3, 2, 0, "ints");  // big-endian 32-bit integers, row after row
    for (int v = 1; v <= 6; ++v)
        b.word((uint32_t)v);
    save(b.bytes);
    MATFile *mf = matOpen(path.c_str(), "r");
    ASSERT_NE(mf, nullptr);
    Matrix *mx = matGetNextMatrix(mf);
    ASSERT_NE(mx, nullptr);
    EXPECT_EQ(values(mx), (std::vector<double>{1, 4, 2, 5, 3, 6}));
    EXPECT_EQ(mxGetPi(mx)[1], -4.0);
    mxFreeMatrix(mx);
    mx = matGetNextMatrix(mf);
    ASSERT_NE(mx, nullptr);
    EXPECT_EQ(values(mx), (std::vector<double>{1, 3, 5, 2, 4, 6}));
    mxFreeMatrix(mx);
    matClose(mf);
}

TEST_F(MatFileTest, UnsignedAndSignedSixteenBits)
{
    MatBuilder b;
    b.header(40, 1, 1, 0, "u");
    b.word(0xffff, 2);
    b.header(30, 1, 1, 0, "s");
    b.word(0xffff, 2);
    b.header(50, 1, 2, 0, "b");
    b.raw({0xff, 0x00});
    save(b.bytes);
    MATFile *mf = matOpen(path.c_str(), "r");
    Matrix *u = matGetNextMatrix(mf), *s = matGetNextMatrix(mf), *bytes = matGetNextMatrix(mf);
    ASSERT_TRUE(u && s && bytes);
    EXPECT_EQ(mxGetPr(u)[0], 65535.0);
    EXPECT_EQ(mxGetPr(s)[0], -1.0);
    EXPECT_EQ(values(bytes), (std::vector<double>{255, 0}));
    mxFreeMatrix(u);
    mxFreeMatrix(s);
    mxFreeMatrix(bytes);
    matClose(mf);
}

TEST_F(MatFileTest, LookupByNameFindsTheFirstOfTwo)
{
    MatBuilder b;
    b.doubles("a", 1, 1, {1});
    b.doubles("dup", 1, 2, {2, 3});
    b.doubles("dup", 1, 1, {4});
    b.doubles("z", 1, 1, {5});
    save(b.bytes);
    MATFile *mf = matOpen(path.c_str(), "r");
    ASSERT_NE(mf, nullptr);
    for (int i = 0; i < 3; ++i)
        mxFreeMatrix(matGetNextMatrix(mf));  // past both
    Matrix *dup = matGetMatrix(mf, "dup");
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(values(dup), (std::vector<double>{2, 3}));
    mxFreeMatrix(dup);
    Matrix *next = matGetNextMatrix(mf);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(values(next), (std::vector<double>{4}));
    mxFreeMatrix(next);
    EXPECT_EQ(matGetMatrix(mf, "DUP"), nullptr);  // exact comparison
    Matrix *z = matGetMatrix(mf, "z");
    ASSERT_NE(z, nullptr);
    mxFreeMatrix(z);
    matClose(mf);
}

TEST_F(MatFileTest, TextHeaderIsSkipped)
{
    for (const std::string &text : {std::string("MAT-file V02.0 (ieee-be)"), std::string("MAT-file V02.0 (vaxd)   ")}) {
        MatBuilder b;
        b.raw(Bytes(text.begin(), text.end()));
        b.big = true;
        b.doubles("x", 1, 1, {7});
        b.doubles("y", 1, 1, {8});
        save(b.bytes);
        MATFile *mf = matOpen(path.c_str(), "r");
        ASSERT_NE(mf, nullptr);
        Matrix *y = matGetMatrix(mf, "y");
        ASSERT_NE(y, nullptr) << text;
        EXPECT_EQ(mxGetPr(y)[0], 8.0);
        mxFreeMatrix(y);
        Matrix *x = matGetMatrix(mf, "x");
        ASSERT_NE(x, nullptr) << text;
        mxFreeMatrix(x);
        matClose(mf);
    }
    // An unknown format name: no header, and the text is no matrix.
    const std::string odd = "MAT-file V02.0 (other)  ";
    MatBuilder b;
    b.raw(Bytes(odd.begin(), odd.end()));
    b.doubles("x", 1, 1, {7});
    EXPECT_EQ(first(b.bytes), nullptr);
}

TEST_F(MatFileTest, DamagedHeadersGiveNoMatrix)
{
    struct Case {
        const char *what;
        Bytes bytes;
    };
    std::vector<Case> cases;
    auto add = [&](const char *what, const std::function<void(MatBuilder &)> &make) {
        MatBuilder b;
        make(b);
        cases.push_back({what, b.bytes});
    };
    add("name length 21", [](MatBuilder &b) { b.header(0, 1, 1, 0, "abcdefghijklmnopqrst"); b.f64(1); });
    add("name length 0", [](MatBuilder &b) { b.header(0, 1, 1, 0, "x", 0); b.f64(1); });
    add("100000001 elements", [](MatBuilder &b) { b.header(0, 17, 5882353, 0, "x"); b.f64(1); });
    add("1e8 elements, file short", [](MatBuilder &b) { b.header(0, 10000, 10000, 0, "x"); b.f64(1); });
    add("negative rows", [](MatBuilder &b) { b.header(0, -1, 1, 0, "x"); b.f64(1); });
    add("precision 6", [](MatBuilder &b) { b.header(60, 1, 1, 0, "x"); b.f64(1); });
    add("format 5", [](MatBuilder &b) { b.header(5000, 1, 1, 0, "x"); b.f64(1); });
    add("type above 9999", [](MatBuilder &b) { b.header(10000, 1, 1, 0, "x"); b.f64(1); });
    add("data cut short", [](MatBuilder &b) { b.header(0, 2, 1, 0, "x"); b.f64(1); });
    add("imaginary part missing", [](MatBuilder &b) { b.header(0, 1, 1, 1, "x"); b.f64(1); });
    add("header cut short", [](MatBuilder &b) { b.word(0); b.word(1); });
    add("name cut short", [](MatBuilder &b) { b.header(0, 1, 1, 0, "x", 9); });
    add("not a MAT-file", [](MatBuilder &b) { b.raw(Bytes({'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'})); });
    add("empty file", [](MatBuilder &) {});
    for (const Case &c : cases) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        Matrix *mx = first(c.bytes);
        EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "") << c.what;
        EXPECT_EQ(mx, nullptr) << c.what;
        mxFreeMatrix(mx);
        save(c.bytes);
        MATFile *mf = matOpen(path.c_str(), "r");
        ASSERT_NE(mf, nullptr);
        EXPECT_EQ(matGetMatrix(mf, "x"), nullptr) << c.what;
        EXPECT_EQ(matClose(mf), 0);
    }
    // A 1 x 0 matrix is fine and has no data.
    MatBuilder b;
    b.header(0, 1, 0, 0, "e");
    Matrix *empty = first(b.bytes);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(mxGetPr(empty), nullptr);
    mxFreeMatrix(empty);
    mxFreeMatrix(nullptr);
}

TEST_F(MatFileTest, VaxAndCrayDoubles)
{
    struct Case {
        int format;
        Bytes bytes;
        double value;
    };
    const Case cases[] = {
        {2, {0x80, 0x40, 0, 0, 0, 0, 0, 0}, 1.0},
        {2, {0x20, 0xc1, 0, 0, 0, 0, 0, 0}, -2.5},
        {2, {0xcc, 0x3e, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc}, 0.1},
        {2, {0, 0, 0, 0, 0, 0, 0, 0}, 0.0},
        {2, {0xff, 0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, INFINITY},
        {2, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, -INFINITY},
        {3, {0x10, 0x40, 0, 0, 0, 0, 0, 0}, 1.0},
        {3, {0x24, 0xc0, 0, 0, 0, 0, 0, 0}, -2.5},
        {3, {0xff, 0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, INFINITY},
        {4, {0x40, 0x01, 0x80, 0, 0, 0, 0, 0}, 1.0},
        {4, {0xc0, 0x02, 0xa0, 0, 0, 0, 0, 0}, -2.5},
        {4, {0, 0, 0, 0, 0, 0, 0, 0}, 0.0},
        {4, {0x44, 0x01, 0x80, 0, 0, 0, 0, 0}, INFINITY},  // exponent 17409
        {4, {0x3c, 0x02, 0x80, 0, 0, 0, 0, 0}, 0.0},       // exponent 15362
    };
    for (const Case &c : cases) {
        MatBuilder b;
        b.big = c.format == 4;
        b.header(c.format * 1000, 1, 1, 0, "v");
        b.raw(c.bytes);
        Matrix *mx = first(b.bytes);
        ASSERT_NE(mx, nullptr) << c.format;
        if (c.format == 2 && c.value == 0.1) {
            EXPECT_NEAR(mxGetPr(mx)[0], 0.1, 1e-15);
        } else {
            EXPECT_EQ(mxGetPr(mx)[0], c.value) << c.format << " " << c.value;
        }
        mxFreeMatrix(mx);
    }
    const Bytes nans[] = {{0x5e, 0xff, 0xd3, 0x9b, 0x6f, 0x7a, 0xe9, 0x4d},
                          {0xeb, 0xff, 0x7a, 0xd3, 0x4d, 0x6f, 0xbd, 0xe9},
                          {0xdf, 0xfd, 0xde, 0x9b, 0xd3, 0x7a, 0x6f, 0x50}};
    for (int f = 2; f <= 4; ++f) {
        MatBuilder b;
        b.big = f == 4;
        b.header(f * 1000, 1, 1, 0, "v");
        b.raw(nans[f - 2]);
        Matrix *mx = first(b.bytes);
        ASSERT_NE(mx, nullptr);
        EXPECT_TRUE(std::isnan(mxGetPr(mx)[0])) << f;
        mxFreeMatrix(mx);
    }
}

TEST_F(MatFileTest, SparseTripletsAndOpenModes)
{
    MatBuilder b;
    // (row, column, value): (2,1,5) (1,3,-1) (2,1,1), size row (3,3,0).
    b.header(2, 4, 3, 0, "sp");
    for (double v : {2, 1, 2, 3, 1, 3, 1, 3, 5, -1, 1, 0})
        b.f64(v);
    Matrix *sp = first(b.bytes);
    ASSERT_NE(sp, nullptr);
    EXPECT_TRUE(mxIsSparse(sp));
    EXPECT_EQ(mxGetM(sp), 3);
    EXPECT_EQ(mxGetN(sp), 3);
    EXPECT_EQ(mxGetJc(sp)[0], 0);
    EXPECT_EQ(mxGetJc(sp)[1], 1);
    EXPECT_EQ(mxGetJc(sp)[3], 2);
    EXPECT_EQ(mxGetIr(sp)[0], 1);
    EXPECT_EQ(mxGetPr(sp)[0], 6.0);  // repeated position added up
    EXPECT_EQ(mxGetIr(sp)[1], 0);
    EXPECT_EQ(mxGetPr(sp)[1], -1.0);
    mxFreeMatrix(sp);

    EXPECT_EQ(matOpen((dir + "/missing.mat").c_str(), "r"), nullptr);
    EXPECT_EQ(matOpen(path.c_str(), nullptr), nullptr);
    EXPECT_EQ(matOpen(path.c_str(), ""), nullptr);
    MatBuilder one;
    one.doubles("x", 1, 1, {3});
    save(one.bytes);
    MATFile *update = matOpen(path.c_str(), "u");
    ASSERT_NE(update, nullptr);
    Matrix *x = matGetNextMatrix(update);
    ASSERT_NE(x, nullptr);
    mxFreeMatrix(x);
    matClose(update);
    MATFile *fresh = matOpen(path.c_str(), "w");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(matGetNextMatrix(fresh), nullptr);  // the old file is gone
    matClose(fresh);
    std::ifstream gone(path, std::ios::binary | std::ios::ate);
    EXPECT_EQ((long)gone.tellg(), 0);
}
