// The kit node as a user meets it: scene files that name it, the search
// path it extends, and registration.
#include "TestSupport.h"

#include <qvSuiteAll.h>

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoLists.h>
#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoSeparator.h>

#include <gtest/gtest.h>

namespace {

std::string ivread(const std::string &scene, ProgramResult *result = nullptr)
{
    ProgramResult r = runProgram(binaryPath("ivread") + " " + sourcePath("tests/data/" + scene));
    if (result != nullptr)
        *result = r;
    return r.out;
}

TEST(KitScene, PlainProgramLoadsToolkitFromSceneFile)
{
    ProgramResult r;
    std::string out = ivread("kit_scene.iv", &r);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(out.find("child qvSuite\nchild qvData1RFloat\nchild qvSuite\n"), std::string::npos) << out;
}

TEST(KitScene, DirectoriesAppendedOnceInOrderPerKitNode)
{
    std::string out = ivread("kit_scene.iv");
    EXPECT_NE(out.find("added first 3 second 0\ndir [a]\ndir [b]\ndir [c]\n"), std::string::npos) << out;
}

TEST(KitScene, WrittenSceneHasNoNodeField)
{
    std::string out = ivread("kit_scene.iv");
    std::string written = out.substr(out.find("---"));
    EXPECT_NE(written.find("qvData1RFloat"), std::string::npos) << written;
    EXPECT_NE(written.find("startTime\t1"), std::string::npos) << written;
    EXPECT_EQ(written.find("SFNode"), std::string::npos) << written;
    EXPECT_EQ(written.find("node\t"), std::string::npos) << written;
}

TEST(KitScene, ToolkitNodeBeforeKitNodeDoesNotRead)
{
    ProgramResult r;
    std::string out = ivread("kit_before_node.iv", &r);
    EXPECT_NE(out.find("read failed"), std::string::npos) << out << r.err;
    EXPECT_NE(r.err.find("qvData1RFloat"), std::string::npos) << r.err;
}

class KitInProcess : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { qvTestInit(); }
};

TEST_F(KitInProcess, DefaultDirectoriesAppendOneEmptyDirectory)
{
    SoSeparator *root = readSceneString("#Inventor V2.1 ascii\n qvSuite { }");
    ASSERT_NE(root, nullptr);
    root->ref();
    int before = SoInput::getDirectories().getLength();
    SoGetBoundingBoxAction bbox(SbViewportRegion(10, 10));
    bbox.apply(root);
    const SbStringList &dirs = SoInput::getDirectories();
    ASSERT_EQ(dirs.getLength(), before + 1);
    EXPECT_STREQ(dirs[before]->getString(), "");
    root->unref();
}

TEST_F(KitInProcess, TypesRegisteredWithParents)
{
    struct Case {
        const char *name, *parent;
        bool creatable;
    } cases[] = {
        {"qvSuite", "Node", true},
        {"qvDataBase", "Node", false},
        {"qvData1Base", "qvDataBase", false},
        {"qvData2Base", "qvDataBase", false},
        {"qvData1RFloat", "qvData1Base", true},
    };
    for (const Case &c : cases) {
        SoType t = SoType::fromName(c.name);
        ASSERT_FALSE(t.isBad()) << c.name;
        EXPECT_STREQ(t.getParent().getName().getString(), c.parent) << c.name;
        EXPECT_EQ((bool)t.canCreateInstance(), c.creatable) << c.name;
    }
    for (const char *e : {"qvNodeElement", "qvData1Element", "qvData2Element",
                          "qvDataMarksElement", "qvNormalElement", "qvTimeElement"})
        EXPECT_FALSE(SoType::fromName(e).isBad()) << e;
}

TEST_F(KitInProcess, RepeatedRegistrationIsHarmless)
{
    SoType before = qvData1RFloat::getClassTypeId();
    qvSuite::initClasses();
    qvData1RFloat::initClass();
    EXPECT_EQ(qvData1RFloat::getClassTypeId(), before);
}

TEST_F(KitInProcess, DataNodeFieldHoldsNodeItself)
{
    qvData1RFloat *n = new qvData1RFloat;
    n->ref();
    EXPECT_EQ(n->node.getValue(), n);
    EXPECT_TRUE(n->node.isDefault());
    n->data.setValue(3);
    EXPECT_EQ(n->getNum(), 1);
    // Base answers of a class that overrides nothing.
    const qvDataBase *base = n;
    EXPECT_EQ(base->getValueTime(0), 0);
    n->unref();
}

} // namespace
