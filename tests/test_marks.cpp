// Time marks: the nearest-mark search, the range and index warnings, and
// the marks file (white space of any kind, read once, retried while
// missing, never written back into scenes).
#include "TestSupport.h"

#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoSeparator.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

class Marks : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { qvTestInit(); }

    template <class T> T *make() { return nodes.make<T>(); }
    static void setMarks(qvData1Marks *n, std::vector<float> values)
    {
        n->marks.setNum((int)values.size());
        if (!values.empty())
            n->marks.setValues(0, (int)values.size(), values.data());
    }
    static std::vector<float> marksOf(const qvData1Marks *n)
    {
        return std::vector<float>(n->marks.getValues(0),
                                  n->marks.getValues(0) + n->marks.getNum());
    }
    std::string writeFile(const std::string &name, const std::string &text)
    {
        if (dir.empty())
            dir = makeTempDir();
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // A bounding-box traversal of node; returns what was on the error stream.
    static std::string traverse(SoNode *node)
    {
        testing::internal::CaptureStderr();
        SoGetBoundingBoxAction bbox(SbViewportRegion(10, 10));
        bbox.apply(node);
        return testing::internal::GetCapturedStderr();
    }
    NodeKeeper nodes;
    std::string dir;
};

TEST_F(Marks, Defaults)
{
    qvData1Marks *n = make<qvData1Marks>();
    EXPECT_EQ(marksOf(n), std::vector<float>{0.0f});
    EXPECT_EQ(n->color.getValue(), SbColor(0, 0, 1));
    EXPECT_TRUE(n->isRegularSampled());
    EXPECT_EQ(make<qvData1MarksFile>()->getRealClassTypeId(),
              qvData1Marks::getClassTypeId());
    EXPECT_EQ(n->getIndex(123.0f, 0), 0);
}

TEST_F(Marks, NearestMarkFromEitherStart)
{
    qvData1Marks *n = make<qvData1Marks>();
    setMarks(n, {0, 0.125f, 0.25f, 0.75f});
    struct {
        float t;
        int from0, from3;
    } cases[] = {{-1, 0, 0},      {0.05f, 0, 0},  {0.15f, 1, 1}, {0.2f, 2, 2},
                 {0.45f, 2, 2},   {0.55f, 3, 3},  {9, 3, 3},
                 // exactly between two marks: later forward, earlier backward
                 {0.1875f, 2, 1}};
    for (auto c : cases) {
        EXPECT_EQ(n->getIndex(c.t, 0), c.from0) << c.t;
        EXPECT_EQ(n->getIndex(c.t, 3), c.from3) << c.t;
        // Start indices outside the list are kept inside it.
        EXPECT_EQ(n->getIndex(c.t, 99), c.from3) << c.t;
        EXPECT_EQ(n->getIndex(c.t, -5), c.from0) << c.t;
    }
    EXPECT_EQ(n->getTimeMin(), 0.0f);
    EXPECT_EQ(n->getTimeMax(), 0.75f);
    float min = 9, max = 9;
    setMarks(n, {3, 1, 2});
    n->getValueMinMax(min, max); // first and last, not a search
    EXPECT_EQ(min, 3.0f);
    EXPECT_EQ(max, 2.0f);
}

TEST_F(Marks, IndexWarnings)
{
    qvData1Marks *n = make<qvData1Marks>();
    setMarks(n, {1, 2, 3});
    testing::internal::CaptureStderr();
    EXPECT_EQ(n->getTime(5), 0.0f);
    EXPECT_EQ(n->getValue(-1), nullptr);
    EXPECT_EQ(*n->getValue(2), 3.0f);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("qvData1Marks.cpp::"), 0u) << err;
    EXPECT_NE(err.find(": WARNING! getValue(): index (5) out of range,  return -1!\n"),
              std::string::npos) << err;
    EXPECT_NE(err.find(": WARNING! getValue(): index (-1) out of range,  return -1!\n"),
              std::string::npos) << err;

    setMarks(n, {});
    testing::internal::CaptureStderr();
    EXPECT_EQ(n->getIndex(2.5f, 0), -1);
    float min = 7, max = 7;
    n->getValueMinMax(min, max);
    EXPECT_EQ(n->getTimeMin(), 0.0f);
    EXPECT_EQ(n->getTimeMax(), 0.0f);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(": WARNING! getIndexByTime: no data in time!2.5\n"),
              std::string::npos) << err;
}

TEST_F(Marks, PublishedIntoTheMarksElementOnly)
{
    struct Seen {
        const qvDataBase *marks = nullptr, *data1 = nullptr;
        SoType type;
    } seen;
    SoSeparator *root = new SoSeparator;
    root->ref();
    qvData1MarksFile *file = new qvData1MarksFile;
    root->addChild(file);
    SoCallback *probe = new SoCallback;
    probe->setCallback(
        [](void *data, SoAction *action) {
            Seen *s = (Seen *)data;
            s->marks = qvDataMarksElement::getPtr(action->getState(), nullptr);
            s->type = qvDataMarksElement::getType(action->getState());
            s->data1 = qvData1Element::getPtr(action->getState(), nullptr);
        },
        &seen);
    root->addChild(probe);
    traverse(root);
    EXPECT_EQ(seen.marks, file);
    EXPECT_EQ(seen.type, qvData1MarksFile::getClassTypeId());
    EXPECT_EQ(seen.data1, nullptr);

    seen = Seen();
    file->marks.setIgnored(TRUE);
    traverse(root);
    EXPECT_EQ(seen.marks, nullptr);
    root->unref();
}

TEST_F(Marks, FileWithMixedWhiteSpace)
{
    struct {
        const char *text;
        std::vector<float> marks;
    } cases[] = {
        {"0.5 1.25\n\n3e0\t4\n", {0.5f, 1.25f, 3, 4}},
        {"  -1.5e-1\t\t+2.\n7", {-0.15f, 2, 7}}, // no line end after the last
        {"", {}},
        {" \n\t\n", {}},
        {"1 2 x3 4\n", {1, 2}}, // a token that is no number ends the list
    };
    int k = 0;
    for (auto &c : cases) {
        qvData1MarksFile *n = make<qvData1MarksFile>();
        n->filename = writeFile("m" + std::to_string(k++), c.text).c_str();
        EXPECT_EQ(traverse(n), "") << c.text;
        EXPECT_EQ(marksOf(n), c.marks) << c.text;
        EXPECT_TRUE(n->marks.isDefault());
    }
    qvData1MarksFile *n = make<qvData1MarksFile>();
    n->filename = writeFile("edge", "0.5 1.25\n\n3e0\t4\n").c_str();
    traverse(n);
    float min, max;
    n->getValueMinMax(min, max);
    EXPECT_EQ(min, 0.5f);
    EXPECT_EQ(max, 4.0f);
    EXPECT_EQ(n->getIndex(1.9f, 0), 1);
    EXPECT_EQ(n->getIndex(2.2f, 0), 2);
}

TEST_F(Marks, FileReadOnceAndNotWrittenBack)
{
    std::string path = writeFile("once", "1 2 3\n");
    SoSeparator *root = readSceneString("#Inventor V2.1 ascii\nSeparator { qvSuite {} "
                                        "qvData1MarksFile { filename \"" + path + "\" } }");
    ASSERT_NE(root, nullptr);
    root->ref();
    qvData1MarksFile *n = (qvData1MarksFile *)root->getChild(1);
    traverse(root);
    EXPECT_EQ(marksOf(n), (std::vector<float>{1, 2, 3}));
    // Neither a new file content nor a new name is read again.
    writeFile("once", "9\n");
    n->filename = writeFile("other", "8\n").c_str();
    traverse(root);
    EXPECT_EQ(marksOf(n), (std::vector<float>{1, 2, 3}));
    std::string scene = writeSceneString(root);
    EXPECT_NE(scene.find("filename"), std::string::npos) << scene;
    EXPECT_EQ(scene.find("marks"), std::string::npos) << scene;
    root->unref();
}

TEST_F(Marks, InlineMarksKeepTheFileClosed)
{
    SoSeparator *root = readSceneString(
        "#Inventor V2.1 ascii\nSeparator { qvSuite {} "
        "qvData1MarksFile { marks [ 4, 5 ] filename \"/nonexistent/marks.txt\" } }");
    ASSERT_NE(root, nullptr);
    root->ref();
    EXPECT_EQ(traverse(root), "");
    EXPECT_EQ(marksOf((qvData1Marks *)root->getChild(1)), (std::vector<float>{4, 5}));
    root->unref();
}

TEST_F(Marks, MissingFileIsRetried)
{
    qvData1MarksFile *n = make<qvData1MarksFile>();
    std::string path = writeFile("placeholder", "") + ".later";
    n->filename = path.c_str();
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string err = traverse(n);
        EXPECT_NE(err.find(": WARNING! readFile(): Cant't stat file:" + path + "\n"),
                  std::string::npos) << err;
        EXPECT_NE(err.find(": WARNING! doAction() error file read,  filename: " + path + "\n"),
                  std::string::npos) << err;
        EXPECT_EQ(marksOf(n), std::vector<float>{0.0f});
    }
    writeFile("placeholder.later", "6 7");
    EXPECT_EQ(traverse(n), "");
    EXPECT_EQ(marksOf(n), (std::vector<float>{6, 7}));
}

TEST_F(Marks, EmptyOrIgnoredNameReadsNothing)
{
    qvData1MarksFile *n = make<qvData1MarksFile>();
    EXPECT_EQ(traverse(n), "");
    n->filename = "/nonexistent/marks.txt";
    n->filename.setIgnored(TRUE);
    EXPECT_EQ(traverse(n), "");
    EXPECT_EQ(marksOf(n), std::vector<float>{0.0f});
}

// Root can open nearly anything: a socket and a directory stand for files
// that exist but cannot be read.
void readUnreadable(const std::string &path)
{
    qvData1MarksFile *n = new qvData1MarksFile;
    n->ref();
    n->filename = path.c_str();
    SoGetBoundingBoxAction bbox(SbViewportRegion(10, 10));
    bbox.apply(n);
    std::exit(0);
}

TEST_F(Marks, UnreadableFileEndsWithCallReport)
{
    std::string base = writeFile("x", "");
    std::string socketPath = dir + "/sock";
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", socketPath.c_str());
    ASSERT_EQ(bind(fd, (sockaddr *)&address, sizeof(address)), 0);
    EXPECT_EXIT(readUnreadable(socketPath), ::testing::ExitedWithCode(1),
                "qvData1MarksFile.cpp: No such device or address\n"
                "Call: \\([0-9]+\\) \\(file = std::fopen\\(name.getString\\(\\), \"r\"\\)\\) != NULL");
    close(fd);
    EXPECT_EXIT(readUnreadable(dir), ::testing::ExitedWithCode(1),
                "qvData1MarksFile.cpp: Is a directory\n"
                "Call: \\([0-9]+\\) !std::ferror\\(file\\)");
}

} // namespace
