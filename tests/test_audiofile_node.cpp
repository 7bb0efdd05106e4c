// The audio file series: sound files made by sox, read through the
// scene, mixed, resampled, and the warnings of files that do not read.
#include "SoundFiles.h"
#include "TestSupport.h"

#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/SoInput.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoSeparator.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

class AudioFileNode : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        qvTestInit();
        dir = new std::string(makeTempDir());
        sox("-n -r 44100 -c 2 -b 16 " + path("stereo.aiff") + " synth 1 sine 440 sine 1500");
        sox("-n -r 8000 -c 1 -b 16 " + path("mono.wav") + " synth 0.5 sine 300");
        sox(path("stereo.aiff") + " -t f32 -c 1 " + path("stereo_mixed.f32"));
        sox(path("stereo.aiff") + " -t f32 -c 1 -r 1000 " + path("stereo_1k.f32"));
        sox(path("mono.wav") + " -t f32 " + path("mono.f32"));
        writeSoundFile(path("empty.wav"), 1, 44100, {});
        std::ofstream(path("notes.txt")) << "not a sound file\n";
    }
    static void sox(const std::string &args)
    {
        ProgramResult r = runProgram("sox " + args);
        ASSERT_EQ(r.status, 0) << args << "\n" << r.err;
    }
    static std::string path(const std::string &name) { return *dir + "/" + name; }

    // Reads a scene holding one file node, applies the action `times`
    // times; returns the node (owned by root) and the warnings.
    qvData1RFloatFile *load(const std::string &fields, std::string *err = nullptr, int times = 1)
    {
        root = readSceneString("#Inventor V2.1 ascii\n qvSuite {}\n qvData1RFloatFile { " +
                               fields + " }\n");
        if (root == nullptr)
            return nullptr;
        root->ref();
        root->boundingBoxCaching = SoSeparator::OFF;
        testing::internal::CaptureStderr();
        SoGetBoundingBoxAction bbox(SbViewportRegion(10, 10));
        for (int i = 0; i < times; ++i)
            bbox.apply(root);
        std::string e = testing::internal::GetCapturedStderr();
        if (err != nullptr)
            *err = e;
        return (qvData1RFloatFile *)root->getChild(1);
    }
    void TearDown() override
    {
        if (root != nullptr)
            root->unref();
        root = nullptr;
    }
    static std::string quoted(const std::string &s) { return "\"" + s + "\""; }

    SoSeparator *root = nullptr;
    static std::string *dir;
};
std::string *AudioFileNode::dir = nullptr;

TEST_F(AudioFileNode, TypesRegistered)
{
    for (auto names : {std::make_pair("qvData1RFloatFile", "qvData1RFloat"),
                       std::make_pair("qvAudio", "Node")}) {
        SoType t = SoType::fromName(names.first);
        ASSERT_FALSE(t.isBad()) << names.first;
        EXPECT_STREQ(t.getParent().getName().getString(), names.second);
        EXPECT_TRUE(t.canCreateInstance());
    }
}

TEST_F(AudioFileNode, StereoFileMixedToOneChannelAtItsRate)
{
    std::string err;
    qvData1RFloatFile *n = load("filename " + quoted(path("stereo.aiff")), &err);
    ASSERT_NE(n, nullptr);
    EXPECT_NE(err.find(": WARNING! readFile(): We only can deal with one channel data! There are2 "
                       "channels. We mix to one!\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(countOccurrences(err, "WARNING!"), 1) << err;
    EXPECT_FLOAT_EQ(n->interval.getValue(), (float)(1.0 / 44100));
    ASSERT_EQ(n->getNum(), 44100);
    EXPECT_NEAR(n->getTimeMax(), 44099.0 / 44100, 1e-6);
    std::vector<float> mixed = readFloats(path("stereo_mixed.f32"));
    ASSERT_EQ(mixed.size(), 44100u);
    for (int i = 0; i < 44100; ++i)
        ASSERT_NEAR(n->data[i], mixed[(size_t)i], 1e-4) << i;
    EXPECT_TRUE(n->data.isDefault());
    EXPECT_EQ(n->getFilePath(), SbString(path("stereo.aiff").c_str()));
}

TEST_F(AudioFileNode, SceneIntervalResamples)
{
    qvData1RFloatFile *n = load("interval 0.001 filename " + quoted(path("stereo.aiff")));
    ASSERT_NE(n, nullptr);
    EXPECT_FLOAT_EQ(n->interval.getValue(), 0.001f);
    // Sized to what the file gives at 1000 Hz, not to its own frame count.
    ASSERT_EQ(n->getNum(), 1000);
    EXPECT_NEAR(n->getTimeMax(), 0.999, 1e-5);
    std::vector<float> peer = readFloats(path("stereo_1k.f32"));
    ASSERT_EQ(peer.size(), 1000u);
    double error = 0;
    for (int i = 20; i < 980; ++i)
        error = std::max(error, (double)std::fabs(n->data[i] - peer[(size_t)i]));
    EXPECT_LT(error, 0.02);
    double rms = 0;
    for (int i = 20; i < 980; ++i)
        rms += n->data[i] * n->data[i];
    EXPECT_GT(std::sqrt(rms / 960), 0.1); // the 440 Hz tone is kept
}

TEST_F(AudioFileNode, MonoWaveAtItsOwnRate)
{
    std::string err;
    qvData1RFloatFile *n = load("startTime 2 filename " + quoted(path("mono.wav")), &err);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(err, "");
    EXPECT_FLOAT_EQ(n->interval.getValue(), 1.0f / 8000);
    std::vector<float> peer = readFloats(path("mono.f32"));
    ASSERT_EQ(n->getNum(), 4000);
    ASSERT_EQ(peer.size(), 4000u);
    for (int i = 0; i < 4000; ++i)
        ASSERT_FLOAT_EQ(n->data[i], peer[(size_t)i]) << i;
    EXPECT_FLOAT_EQ(n->getTimeMin(), 2.0f);
    EXPECT_FLOAT_EQ(n->getRealClassTypeId() == qvData1RFloat::getClassTypeId(), true);
}

TEST_F(AudioFileNode, InlineDataOrEmptyNameNeverOpensAFile)
{
    std::string err;
    qvData1RFloatFile *n = load("data [1, 2, 3] filename " + quoted(path("missing.wav")), &err);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(err, "");
    EXPECT_EQ(n->getNum(), 3);
    TearDown();
    n = load("", &err);
    EXPECT_EQ(err, "");
    EXPECT_EQ(n->getNum(), 1);
}

TEST_F(AudioFileNode, MissingFileWarnsInOrderAndRetries)
{
    std::string name = path("missing.wav");
    std::string err;
    ASSERT_NE(load("filename " + quoted(name), &err, 2), nullptr);
    const char *order[] = {"readFile() ERROR: cannot open file", "readFile() ERROR: cannot find file",
                           "readFile(): Cant't stat file:\n",
                           "doAction() error file read,  filename: "};
    size_t at = 0;
    for (int round = 0; round < 2; ++round)
        for (const char *w : order) {
            size_t found = err.find(std::string(": WARNING! ") + w, at);
            ASSERT_NE(found, std::string::npos) << "round " << round << ": " << w << "\n" << err;
            at = found + 1;
        }
    EXPECT_EQ(countOccurrences(err, "ERROR: cannot open file" + name + "\n"), 2);
    EXPECT_EQ(countOccurrences(err, "filename: " + name + "\n"), 2);
}

TEST_F(AudioFileNode, UnreadableFilesWarn)
{
    struct Case {
        std::string file, first;
    } cases[] = {
        {path("notes.txt"), "readFile(): (afOpenFile) Unsupported file format. file: "},
        {path("empty.wav"), "readFile(): File contains no samples!. file: "},
    };
    for (const Case &c : cases) {
        std::string err;
        qvData1RFloatFile *n = load("filename " + quoted(c.file), &err);
        ASSERT_NE(n, nullptr);
        size_t a = err.find(c.first + c.file + "\n");
        size_t b = err.find("readFile() ERROR: no fileformat fits file: " + c.file + "\n");
        size_t d = err.find("doAction() error file read,  filename: " + c.file + "\n");
        EXPECT_NE(a, std::string::npos) << err;
        EXPECT_TRUE(a < b && b < d && d != std::string::npos) << err;
        EXPECT_EQ(n->getNum(), 1);
        TearDown();
    }
}

TEST_F(AudioFileNode, FoundThroughSearchPathAndWrittenWithoutSamples)
{
    SoInput::addDirectoryLast(dir->c_str());
    qvData1RFloatFile *n = load("filename \"mono.wav\"");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->getNum(), 4000);
    std::string text = writeSceneString(root);
    EXPECT_NE(text.find("filename\t\"mono.wav\""), std::string::npos) << text;
    EXPECT_NE(text.find("interval\t0.000125"), std::string::npos) << text;
    EXPECT_EQ(text.find("data"), std::string::npos) << text;
    SoInput::removeDirectory(dir->c_str());
}

} // namespace
