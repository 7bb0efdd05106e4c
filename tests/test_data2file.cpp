// The two-dimensional file series: MAT-files written by scipy, grid files
// written by hand and by the converter, inline values, and what a written
// scene keeps.
#include "AnalysisFixture.h"
#include "TestSupport.h"
#include "TestWindow.h"

#include <elements/qvData2Element.h>
#include <nodes/qvData2RNFloatFile.h>
#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoOrthographicCamera.h>
#include <Inventor/nodes/SoScale.h>
#include <Inventor/nodes/SoSeparator.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

void putBigEndian(std::vector<unsigned char> &out, float f)
{
    uint32_t v;
    memcpy(&v, &f, 4);
    for (int s = 24; s >= 0; s -= 8)
        out.push_back((unsigned char)(v >> s));
}

void putBigEndian(std::vector<unsigned char> &out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back((unsigned char)(v >> s));
}

// A grid file of the given scales and magnitudes (phases 0.5).
std::vector<unsigned char> gridBytes(const std::vector<float> &x, const std::vector<float> &y,
                                     const std::vector<float> &mags)
{
    std::vector<unsigned char> b;
    putBigEndian(b, 5.0f);
    putBigEndian(b, 1.0f);
    putBigEndian(b, 0.0f);
    putBigEndian(b, (uint32_t)x.size());
    putBigEndian(b, (uint32_t)y.size());
    for (float v : x)
        putBigEndian(b, v);
    for (float v : y)
        putBigEndian(b, v);
    for (float m : mags) {
        putBigEndian(b, m);
        putBigEndian(b, 0.5f);
    }
    return b;
}

class Data2File : public ::testing::Test {
  protected:
    static std::string dir;
    static bool haveScipy;

    static void SetUpTestSuite()
    {
        qvTestInit();
        dir = makeTempDir();
        const std::string script =
            "import numpy as np, scipy.io as sio\n"
            "d = '" + dir + "/'\n"
            "spec = np.arange(1., 13.).reshape(3, 4)\n"
            "sio.savemat(d + 'spec.mat', {'spec': spec, 'SampleFreq': 8000.0}, format='4')\n"
            "sio.savemat(d + 'interval.mat', {'spec': spec, 'Interval': 0.5, 'SampleFreq': 8000.0}, format='4')\n"
            "low = spec.copy(); low[0, 0] = -2e6\n"
            "sio.savemat(d + 'low.mat', {'spec': low, 'SampleFreq': 8000.0}, format='4')\n"
            "sio.savemat(d + 'bare.mat', {'spec': spec}, format='4')\n"
            "sio.savemat(d + 'wide.mat', {'spec': spec, 'SampleFreq': np.array([[1., 2.]])}, format='4')\n";
        {
            std::ofstream py(dir + "/w.py");
            py << script;
        }
        haveScipy = runProgram("/usr/bin/python3 '" + dir + "/w.py'").status == 0;
    }
    static void TearDownTestSuite() { std::system(("rm -rf '" + dir + "'").c_str()); }

    void skipWithoutScipy()
    {
        if (!haveScipy)
            GTEST_SKIP() << "scipy is not available";
    }

    // Reads the scene and traverses it once; the node is the first
    // qvData2RNFloatFile of the scene.
    struct Scene {
        SoSeparator *root = nullptr;
        qvData2RNFloatFile *node = nullptr;
        std::string err;
        ~Scene()
        {
            if (root)
                root->unref();
        }
    };
    void load(Scene &s, const std::string &body)
    {
        loadText(s, "#Inventor V2.1 ascii\nSeparator { qvSuite { directories \"" + dir + "\" } " + body + " }\n");
    }
    void loadText(Scene &s, const std::string &text)
    {
        s.root = readSceneString(text);
        ASSERT_NE(s.root, nullptr);
        s.root->ref();
        for (int i = 0; i < s.root->getNumChildren(); ++i)
            if (s.root->getChild(i)->isOfType(qvData2RNFloatFile::getClassTypeId()))
                s.node = (qvData2RNFloatFile *)s.root->getChild(i);
        ASSERT_NE(s.node, nullptr);
        traverse(s);
    }
    void traverse(Scene &s)
    {
        testing::internal::CaptureStderr();
        SoGetBoundingBoxAction box(SbViewportRegion(100, 100));
        box.apply(s.root);
        s.err = testing::internal::GetCapturedStderr();
    }
    static std::vector<float> values(const SoMFFloat &f)
    {
        return std::vector<float>(f.getValues(0), f.getValues(0) + f.getNum());
    }
};

std::string Data2File::dir;
bool Data2File::haveScipy = false;

void save(const std::string &path, const std::vector<unsigned char> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write((const char *)bytes.data(), (std::streamsize)bytes.size());
}

} // namespace

TEST_F(Data2File, MatFileColumnsAreStepsAndRowsFrequencies)
{
    skipWithoutScipy();
    Scene s;
    load(s, "qvData2RNFloatFile { filename \"spec.mat\" }");
    EXPECT_EQ(values(s.node->data), (std::vector<float>{1, 5, 9, 2, 6, 10, 3, 7, 11, 4, 8, 12}));
    ASSERT_EQ(s.node->dim2.getNum(), 3);
    EXPECT_FLOAT_EQ(s.node->dim2[0], 0.0f);
    EXPECT_FLOAT_EQ(s.node->dim2[1], 1333.3334f);
    EXPECT_FLOAT_EQ(s.node->dim2[2], 2666.6667f);
    EXPECT_EQ(s.node->interval.getValue(), 0.0f);
    EXPECT_EQ(s.node->getNum(), 4);
    EXPECT_EQ(s.node->getNum2(), 3);
    EXPECT_NE(s.err.find("WARNING! _readFileMatlab: readmatMatrixData\nName: spec\nN: 4\nM: 3\n is Full !! \n"),
              std::string::npos);
    EXPECT_NE(s.err.find("WARNING! _readFileMatlab: No matMatrixInterval found in file  or not used!"),
              std::string::npos);
    EXPECT_NE(s.err.find("WARNING! _readFileMatlab: read matrix!\nSampleFreq Value: 8000\n"), std::string::npos);
    EXPECT_EQ(s.err.find("doAction() error"), std::string::npos);
    EXPECT_EQ(s.node->getRealClassTypeId(), qvData2RNFloat::getClassTypeId());

    // Loaded values count as defaults: not written, and never read again.
    EXPECT_TRUE(s.node->data.isDefault());
    EXPECT_TRUE(s.node->dim2.isDefault());
    const std::string written = writeSceneString(s.root);
    EXPECT_NE(written.find("filename\t\"spec.mat\""), std::string::npos) << written;
    EXPECT_EQ(written.find("dim2"), std::string::npos);
    EXPECT_EQ(written.find("data"), std::string::npos);
    traverse(s);
    EXPECT_EQ(s.err, "");
}

TEST_F(Data2File, MatFileScalings)
{
    skipWithoutScipy();
    struct Case {
        const char *scaling;
        float dim0, dim1;
    };
    const Case cases[] = {
        {"PITCH", 0.0f, 3.3911f},
        {"LOG", 0.0f, 3.3911f},
        {"ERB", -0.01451f, 11.17f * std::log((1333.3334f + 312) / (1333.3334f + 14675)) + 43},
        {"BARK", 0.0f, 26.81f / (1 + 1960 / 1333.3334f) - 0.53f},
    };
    for (const Case &c : cases) {
        Scene s;
        load(s, std::string("qvData2RNFloatFile { filename \"spec.mat\" dim2Scaling ") + c.scaling + " }");
        EXPECT_NEAR(s.node->dim2[0], c.dim0, 1e-4) << c.scaling;
        EXPECT_NEAR(s.node->dim2[1], c.dim1, 1e-4) << c.scaling;
    }
    Scene db;
    load(db, "qvData2RNFloatFile { filename \"spec.mat\" dim2Scaling DB }");
    EXPECT_EQ(countOccurrences(db.err, "Unknown enumeration value of field 'dim2Scaling'"), 3);
    EXPECT_FLOAT_EQ(db.node->dim2[2], 2666.6667f);

    Scene low;
    load(low, "qvData2RNFloatFile { filename \"low.mat\" dataScaling LOG }");
    EXPECT_NEAR(low.node->data[0], std::log10(400.0f), 1e-5);  // below -1e6: -20 first
    EXPECT_NEAR(low.node->data[1], std::log10(25.0f), 1e-5);
    Scene plain;
    load(plain, "qvData2RNFloatFile { filename \"low.mat\" }");
    EXPECT_EQ(plain.node->data[0], -20.0f);
    Scene pitch;
    load(pitch, "qvData2RNFloatFile { filename \"spec.mat\" dataScaling PITCH }");
    EXPECT_EQ(countOccurrences(pitch.err, "Unknown enumeration value of field 'dataScaling'"), 12);
    EXPECT_EQ(pitch.node->data[1], 5.0f);
}

TEST_F(Data2File, IntervalFromTheFileUnlessTheSceneSetsIt)
{
    skipWithoutScipy();
    Scene fromFile;
    load(fromFile, "qvData2RNFloatFile { filename \"interval.mat\" }");
    EXPECT_EQ(fromFile.node->interval.getValue(), 0.5f);
    EXPECT_NE(fromFile.err.find("WARNING! _readFileMatlab: read matMatrixInterval\nInterval Value: 0.5\n"),
              std::string::npos);

    Scene scene;
    load(scene, "qvData2RNFloatFile { interval 0.25 filename \"interval.mat\" }");
    EXPECT_EQ(scene.node->interval.getValue(), 0.25f);
    EXPECT_NE(scene.err.find("No matMatrixInterval found in file  or not used!"), std::string::npos);

    Scene wide;
    load(wide, "qvData2RNFloatFile { filename \"wide.mat\" }");
    EXPECT_NE(wide.err.find("Variable 'SampleFreq' is not of size 1x1 !"), std::string::npos);
    EXPECT_NE(wide.err.find("SampleFreq Value: 44100\n"), std::string::npos);
    // Neither usable variable: the grid reader is tried and refuses too;
    // nothing half-read stays in the node.
    EXPECT_NE(wide.err.find("no fileformat fits file: " + dir + "/wide.mat"), std::string::npos);
    EXPECT_NE(wide.err.find("doAction() error file read,  filename: wide.mat"), std::string::npos);
    EXPECT_TRUE(wide.node->data.isDefault());
    EXPECT_EQ(wide.node->data.getNum(), 1);
}

TEST_F(Data2File, GridFileValuesBecomeLevels)
{
    save(dir + "/three.grid", gridBytes({0, 0.01f, 0.02f}, {100, 200}, {0, 1e6f, 1e20f, 1, 2, 3}));
    Scene s;
    load(s, "qvData2RNFloatFile { filename \"three.grid\" }");
    EXPECT_FLOAT_EQ(s.node->interval.getValue(), 0.01f);
    ASSERT_EQ(s.node->dim2.getNum(), 2);
    EXPECT_FLOAT_EQ(s.node->dim2[0], 80.0f);
    EXPECT_NEAR(s.node->dim2[1], 92.0412f, 1e-3);
    ASSERT_EQ(s.node->data.getNum(), 6);
    EXPECT_EQ(s.node->data[0], -10.0f);
    EXPECT_NEAR(s.node->data[1], 117.4449f, 1e-3);
    EXPECT_EQ(s.node->data[2], 1000.0f);
    EXPECT_NEAR(s.node->data[3], -2.5551f, 1e-3);  // 10 log10(1 / 1.801)
    EXPECT_EQ(s.node->getNum(), 3);
    EXPECT_NE(s.err.find("No matMatrixData found in file!"), std::string::npos);
    EXPECT_EQ(s.err.find("doAction() error"), std::string::npos);

    // A grid node writes its values; read again, the scene does not need
    // the file.
    const std::string written = writeSceneString(s.root);
    EXPECT_NE(written.find("dim2"), std::string::npos);
    EXPECT_NE(written.find("interval"), std::string::npos);
    std::remove((dir + "/three.grid").c_str());
    Scene again;
    loadText(again, written);
    EXPECT_EQ(again.err, "");
    ASSERT_EQ(again.node->data.getNum(), 6);
    for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(again.node->data[k], s.node->data[k], 1e-3);  // as precise as the text
    EXPECT_FLOAT_EQ(again.node->interval.getValue(), 0.01f);
}

TEST_F(Data2File, GridFileWrittenByTheConverter)
{
    AqtLayout layout;
    layout.nBins = 12;
    layout.nOcts = 4;
    layout.frames = 400;
    layout.rate = 8000;
    layout.hop = 16;
    layout.minFreq = 100;
    ASSERT_EQ(writeAqt(dir + "/in.aqt", layout, [](long, int b) { return cpx{b == 3 ? 1000.0f : 0.0f, 0}; }), PVE_OK);
    ProgramResult r = runProgram("'" + binaryPath("spectconv") + "' '" + dir + "/in.aqt' '" + dir + "/conv.grid' 11");
    ASSERT_EQ(r.status, 0) << r.err;
    Scene s;
    load(s, "qvData2RNFloatFile { filename \"conv.grid\" }");
    EXPECT_EQ(s.node->getNum(), 11);
    EXPECT_EQ(s.node->getNum2(), 48);
    EXPECT_NEAR(s.node->interval.getValue(), (199 * 16 / 8000.0f) / 10, 1e-6);
    EXPECT_NEAR(s.node->dim2[0], 80.0f, 1e-4);
    const float loud = 10 * std::log10(1e6f / 1.801f);
    for (int i = 0; i < 11; ++i) {
        EXPECT_NEAR(*s.node->getValue(i, 3), loud, 1e-2) << i;
        EXPECT_EQ(*s.node->getValue(i, 4), -10.0f) << i;
    }
    float lo, hi;
    s.node->getValueMinMax(lo, hi);
    EXPECT_NEAR(hi, loud, 1e-2);
}

TEST_F(Data2File, RefusedGridFiles)
{
    struct Case {
        const char *name;
        std::vector<unsigned char> bytes;
        const char *warning;
    };
    std::vector<unsigned char> cut = gridBytes({0, 1}, {100, 200}, {1, 2, 3, 4});
    cut.resize(cut.size() - 3);
    std::vector<unsigned char> huge = gridBytes({0, 1}, {100}, {1, 2});
    for (int i = 12; i < 20; ++i)
        huge[i] = 0xff;
    const Case cases[] = {
        {"empty.grid", gridBytes({}, {}, {}), "_readFileGrid() numSpecs: 0 numPerSpec0"},
        {"nocols.grid", gridBytes({0, 1}, {}, {}), "_readFileGrid() numSpecs: 2 numPerSpec0"},
        {"one.grid", gridBytes({0}, {100, 200}, {1, 2}), "_readFileGrid() numSpecs: 1 gives no interval"},
        {"cut.grid", cut, "_readFileGrid() file holds 65 bytes, numSpecs: 2 numPerSpec: 2 need 68"},
        {"huge.grid", huge, "numSpecs: 4294967295 numPerSpec: 4294967295"},
        {"tiny.grid", {1, 2, 3}, "_readFileGrid() file too short for a grid"},
    };
    for (const Case &c : cases) {
        save(dir + "/" + c.name, c.bytes);
        Scene s;
        load(s, std::string("qvData2RNFloatFile { filename \"") + c.name + "\" }");
        EXPECT_NE(s.err.find(c.warning), std::string::npos) << c.name << "\n" << s.err;
        EXPECT_NE(s.err.find("readFile() ERROR: no fileformat fits file: "), std::string::npos) << c.name;
        EXPECT_TRUE(s.node->data.isDefault()) << c.name;
        EXPECT_EQ(s.node->data.getNum(), 1) << c.name;
    }
}

TEST_F(Data2File, MissingFileIsRetriedAndInlineDataNeverOpensIt)
{
    Scene s;
    load(s, "qvData2RNFloatFile { filename \"nowhere.mat\" }");
    const size_t open = s.err.find("WARNING! readFile() ERROR: cannot open filenowhere.mat");
    const size_t find = s.err.find("WARNING! readFile() ERROR: cannot find filenowhere.mat");
    const size_t stat = s.err.find("WARNING! readFile(): Cant't stat file:nowhere.mat");
    const size_t action = s.err.find("WARNING! doAction() error file read,  filename: nowhere.mat");
    EXPECT_NE(open, std::string::npos) << s.err;
    EXPECT_LT(open, find);
    EXPECT_LT(find, stat);
    EXPECT_LT(stat, action);
    EXPECT_NE(action, std::string::npos);
    traverse(s);
    EXPECT_NE(s.err.find("doAction() error file read"), std::string::npos);  // tried again

    Scene inline_;
    load(inline_, "qvData2RNFloatFile { filename \"nowhere.mat\" data [1, 2, 3, 4] dim2 [10, 20] }");
    EXPECT_EQ(inline_.err, "");
    EXPECT_EQ(inline_.node->getNum(), 2);

    Scene none;
    load(none, "qvData2RNFloatFile { }");
    EXPECT_EQ(none.err, "");
}

namespace {
SoType publishedType;
const qvDataBase *publishedNode = nullptr;
void recordCB(void *, SoAction *action)
{
    publishedType = qvData2Element::getType(action->getState());
    publishedNode = qvData2Element::getPtr(action->getState(), nullptr);
}
} // namespace

TEST_F(Data2File, PublishesItselfWithItsOwnType)
{
    Scene s;
    load(s, "qvData2RNFloatFile { data [1, 2] }");
    SoCallback *probe = new SoCallback;
    probe->setCallback(recordCB);
    s.root->addChild(probe);
    SoCallbackAction walk;
    walk.apply(s.root);
    EXPECT_EQ(publishedType, qvData2RNFloatFile::getClassTypeId());
    EXPECT_EQ(publishedNode, s.node);
}

// What a user opens: a surface drawn from a MAT-file written by scipy and
// from a grid file written by the converter.
TEST_F(Data2File, SurfaceShowsMatFileAndGridFile)
{
    skipWithoutScipy();
    AqtLayout layout;
    layout.nBins = 12;
    layout.nOcts = 4;
    layout.frames = 400;
    layout.rate = 8000;
    layout.hop = 16;
    layout.minFreq = 100;
    ASSERT_EQ(writeAqt(dir + "/shown.aqt", layout,
                       [](long k, int b) { return cpx{(float)(1 + (k + b) % 7) * 100.0f, 0}; }),
              PVE_OK);
    ASSERT_EQ(runProgram("'" + binaryPath("spectconv") + "' '" + dir + "/shown.aqt' '" + dir +
                         "/shown.grid' 11").status, 0);
    TestWindow window(160, 120);
    ASSERT_TRUE(window.isOpen());
    for (const char *file : {"interval.mat", "shown.grid"}) {
        Scene s;
        load(s, std::string("OrthographicCamera { } LightModel { model BASE_COLOR } "
                            "Material { diffuseColor 1 1 1 } qvTime { time 0.01 } "
                            "qvData2RNFloatFile { filename \"") + file + "\" } "
                            "qvSurface { past 1 future 1 }");
        // Bring the axes to comparable lengths: 2 s of time, values and
        // frequencies of any range.
        float lo, hi, zlo, zhi;
        testing::internal::CaptureStderr();
        s.node->getValueMinMax(lo, hi);
        s.node->getDim2MinMax(zlo, zhi);
        testing::internal::GetCapturedStderr();
        SoScale *scale = new SoScale;
        scale->scaleFactor.setValue(1, 1 / (hi - lo), 2 / (zhi - zlo));
        s.root->insertChild(scale, s.root->findChild(s.node) + 1);
        SoOrthographicCamera *camera = (SoOrthographicCamera *)s.root->getChild(1);
        camera->orientation.setValue(SbRotation(SbVec3f(1, 0, 0), -0.6f));
        camera->viewAll(s.root, SbViewportRegion(160, 120));
        testing::internal::CaptureStderr();
        window.render(s.root);
        testing::internal::GetCapturedStderr();
        EXPECT_GT(window.count([](const TestWindow::Pixel &p) { return p.r > 200 && p.g > 200; }), 200)
            << file;
    }
}
