// The line shape as a user sees it: pixels read back from a real window,
// its bounding box, picking, and the diagnostics of broken scenes.
//
// The camera maps x and y in -2 .. 2 onto 200 pixels, with a point at
// (X, Y) falling on the centre of pixel (50 X + 100, 50 Y + 100).
// GoogleTest before X11, whose None macro clashes with it.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TestWindow.h"

#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/SoDB.h>
#include <Inventor/SoPickedPoint.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoSeparator.h>

#include <set>
#include <utility>

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;
using PixelSet = std::set<std::pair<int, int>>;

const char *kCamera =
    "OrthographicCamera { position -0.01 -0.01 5 height 4 }\n"
    "LightModel { model BASE_COLOR }\n";

// Ten samples 0.5 s apart from time 0, values -1, -0.8 ... 0.8.
const char *kRegular =
    "qvData1RFloat { startTime 0 interval 0.5"
    " data [ -1, -0.8, -0.6, -0.4, -0.2, 0, 0.2, 0.4, 0.6, 0.8 ] }\n";

class Line : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        qvTestInit();
        window = new TestWindow(200, 200);
    }
    static void TearDownTestSuite()
    {
        delete window;
        window = nullptr;
    }
    void TearDown() override
    {
        if (root != nullptr)
            root->unref();
        root = nullptr;
    }

    // Reads camera, the given content, and renders it; returns stderr.
    std::string render(const std::string &content)
    {
        if (root != nullptr)
            root->unref();
        root = readSceneString(std::string("#Inventor V2.1 ascii\nSeparator {\n") +
                               kCamera + content + "}\n");
        EXPECT_NE(root, nullptr) << content;
        if (root == nullptr)
            return "";
        root->ref();
        EXPECT_TRUE(window->isOpen());
        CaptureStderr();
        window->render(root);
        return GetCapturedStderr();
    }
    // The scene with the regular series at time 2, past 1, future 1.
    std::string renderExample(const std::string &style)
    {
        return render(std::string("qvTime { time 2 }\n") + style + kRegular +
                      "qvLine { past 1 future 1 }\n");
    }
    static PixelSet litPixels()
    {
        PixelSet lit;
        for (int y = 0; y < window->getHeight(); ++y)
            for (int x = 0; x < window->getWidth(); ++x) {
                TestWindow::Pixel p = window->at(x, y);
                if (p.r != 0 || p.g != 0 || p.b != 0)
                    lit.insert({x, y});
            }
        return lit;
    }
    static int countColour(uint8_t r, uint8_t g, uint8_t b)
    {
        return window->count([=](const TestWindow::Pixel &p) {
            return p.r == r && p.g == g && p.b == b;
        });
    }
    static int countLit() { return (int)litPixels().size(); }

    static TestWindow *window;
    SoSeparator *root = nullptr;
};

TestWindow *Line::window = nullptr;

TEST_F(Line, DrawsExactlyTheWindowAsPoints)
{
    renderExample("DrawStyle { style POINTS }\n");
    // Samples 2 .. 5 at x = -1, -0.5, 0, 0.5 with values -0.6 .. 0.
    EXPECT_EQ(litPixels(), (PixelSet{{50, 70}, {75, 80}, {100, 90}, {125, 100}}));
}

TEST_F(Line, DrawsTheWindowAsOneLine)
{
    renderExample("");
    std::vector<int> columns = window->litColumns();
    ASSERT_FALSE(columns.empty());
    // From sample 2 at x = -1 to sample 5 at x = 0.5, without a gap;
    // samples 1 (x = -1.5) and 6 (x = 1) are not drawn.
    EXPECT_EQ(columns.front(), 50);
    EXPECT_GE(columns.back(), 124);
    EXPECT_LE(columns.back(), 125);
    EXPECT_EQ((int)columns.size(), columns.back() - columns.front() + 1);
    // The default material (0.8 grey) everywhere it drew.
    EXPECT_EQ(countColour(204, 204, 204), countLit());
}

TEST_F(Line, EmptyWindowDrawsNothing)
{
    // The sample at time 2 is both start and (excluded) end.
    render(std::string("qvTime { time 2 }\n") + kRegular + "qvLine { }\n");
    EXPECT_EQ(countLit(), 0);
}

TEST_F(Line, PerPartDrawsInTheSecondColour)
{
    struct {
        const char *binding;
        uint8_t r, g;
    } cases[] = {{"OVERALL", 255, 0}, {"PER_PART", 0, 255}, {"PER_PART_INDEXED", 0, 255}};
    for (auto c : cases) {
        renderExample(std::string("Material { diffuseColor [ 1 0 0, 0 1 0 ] }\n"
                                  "MaterialBinding { value ") + c.binding + " }\n");
        int lit = countLit();
        EXPECT_GT(lit, 50) << c.binding;
        EXPECT_EQ(countColour(c.r, c.g, 0), lit) << c.binding;
    }
    // After a per-part line, the next shape gets the first colour again.
    render(std::string("qvTime { time 2 }\n") + kRegular +
           "Material { diffuseColor [ 1 0 0, 0 1 0 ] }\n"
           "MaterialBinding { value PER_PART }\n"
           "qvLine { past 1 future 1 }\n"
           "MaterialBinding { value OVERALL }\n"
           "Translation { translation 0 1.5 0 }\n"
           "qvLine { past 1 future 1 }\n");
    EXPECT_GT(countColour(0, 255, 0), 50);
    EXPECT_GT(countColour(255, 0, 0), 50);
    EXPECT_EQ(countColour(255, 0, 0) + countColour(0, 255, 0), countLit());
}

TEST_F(Line, PerPartWithOneColourKeepsIt)
{
    renderExample("Material { diffuseColor 0 0 1 }\nMaterialBinding { value PER_PART }\n");
    EXPECT_GT(countColour(0, 0, 255), 50);
    EXPECT_EQ(countColour(0, 0, 255), countLit());
}

TEST_F(Line, NonRegularSeriesDrawsItsOwnTimes)
{
    // Nearest to time 1 is the sample at 1.1 (index 2); nearest to 3 is
    // the one at 3.5 (index 6), which bounds the window.
    render("qvTime { time 2 }\nDrawStyle { style POINTS }\n"
           "qvData1NFloat { time [ 0, 0.3, 1.1, 1.6, 2, 2.4, 3.5 ]"
           " data [ 0, 0, 0.5, -0.5, 0.25, 1, 0 ] }\n"
           "qvLine { past 1 future 1 }\n");
    EXPECT_EQ(litPixels(), (PixelSet{{55, 125}, {80, 75}, {100, 113}, {120, 150}}));
}

TEST_F(Line, WindowPastTheEndWarnsAndClamps)
{
    // At time 4 the window reaches 5, past the last sample at 4.5: the
    // end is clamped to sample 9, so samples 6 .. 8 are drawn.
    std::string err = render(std::string("qvTime { time 4 }\nDrawStyle { style POINTS }\n") +
                             kRegular + "qvLine { past 1 future 1 }\n");
    EXPECT_EQ(countOccurrences(err, "WARNING! _computeIndices:  bounding endIdx"), 1) << err;
    EXPECT_NE(err.find("qvLine.cpp::"), std::string::npos) << err;
    EXPECT_EQ(litPixels(), (PixelSet{{50, 110}, {75, 120}, {100, 130}}));

    // A negative future bounds the window at the end too.
    err = render(std::string("qvTime { time 2 }\nDrawStyle { style POINTS }\n") +
                 kRegular + "qvLine { past 0.5 future -1 }\n");
    EXPECT_EQ(countOccurrences(err, "_computeIndices:  bounding endIdx"), 1) << err;
    EXPECT_EQ(countLit(), 5); // samples 3 .. 7
}

TEST_F(Line, WindowOutsideTheSeriesReadsNothingOutside)
{
    struct {
        const char *time;
        PixelSet expected;
    } cases[] = {
        // Series 5 .. 9.5 s: at 5.5 the window begins before the first
        // sample and is drawn from it (x = -0.5, 0, 0.5).
        {"5.5", {{75, 50}, {100, 60}, {125, 70}}},
        // Entirely before or after the series: nothing.
        {"1", {}},
        {"20", {}},
    };
    for (auto &c : cases) {
        render(std::string("qvTime { time ") + c.time + " }\nDrawStyle { style POINTS }\n"
               "qvData1RFloat { startTime 5 interval 0.5"
               " data [ -1, -0.8, -0.6, -0.4, -0.2, 0, 0.2, 0.4, 0.6, 0.8 ] }\n"
               "qvLine { past 1 future 1 }\n");
        EXPECT_EQ(litPixels(), c.expected) << c.time;
    }
}

TEST_F(Line, TimeBeforePastHasElapsedStartsAtFirstSample)
{
    render(std::string("qvTime { time 0.5 }\nDrawStyle { style POINTS }\n") + kRegular +
           "qvLine { past 1 future 0.4 }\n");
    // Samples 0 and 1 at x = -0.5 and 0; the end (sample 2) is excluded.
    EXPECT_EQ(litPixels(), (PixelSet{{75, 50}, {100, 60}}));
}

TEST_F(Line, BoundingBoxOfTheWindow)
{
    renderExample("");
    SoGetBoundingBoxAction bbox(SbViewportRegion(200, 200));
    bbox.apply(root);
    SbBox3f box = bbox.getBoundingBox();
    EXPECT_FLOAT_EQ(box.getMin()[0], -1.0f);
    EXPECT_FLOAT_EQ(box.getMax()[0], 1.0f);
    // The value range of the whole series, always holding 0.
    EXPECT_FLOAT_EQ(box.getMin()[1], -1.0f);
    EXPECT_FLOAT_EQ(box.getMax()[1], 0.8f);
    EXPECT_EQ(box.getMin()[2], 0.0f);
    EXPECT_EQ(box.getMax()[2], 0.0f);
    SbVec3f center = bbox.getCenter();
    EXPECT_FLOAT_EQ(center[0], 2.0f);
    EXPECT_EQ(center[1], 0.0f);
    EXPECT_EQ(center[2], 0.0f);
}

TEST_F(Line, PickHitsAnywhereInTheBoxRectangle)
{
    renderExample("");
    // The box spans x -1 .. 1 and y -1 .. 0.8.
    struct {
        short x, y;
        bool hit;
    } cases[] = {{145, 135, true},  {100, 100, true},  {55, 55, true},
                 {160, 100, false}, {145, 150, false}, {40, 100, false}};
    for (auto c : cases) {
        SoRayPickAction pick(SbViewportRegion(200, 200));
        pick.setPoint(SbVec2s(c.x, c.y));
        pick.apply(root);
        SoPickedPoint *picked = pick.getPickedPoint();
        EXPECT_EQ(picked != nullptr, c.hit) << c.x << "," << c.y;
        if (picked != nullptr) {
            EXPECT_TRUE(picked->getPath()->getTail()->isOfType(qvLine::getClassTypeId()));
        }
    }
}

TEST_F(Line, MissingSeriesIsReportedAndSkipped)
{
    std::string err = render("qvTime { time 2 }\nqvLine { past 1 future 1 }\n"
                             "Coordinate3 { point [ -1 -1 0, 1 1 0 ] }\nLineSet { }\n");
    EXPECT_NE(err.find("Call: ("), std::string::npos) << err;
    EXPECT_NE(err.find(") qvDataNode = (qvDataBase*) qvData1Element::getPtr(state, this)"),
              std::string::npos) << err;
    // What comes after the shape is still drawn.
    EXPECT_GT(countLit(), 50);

    CaptureStderr();
    SoGetBoundingBoxAction bbox(SbViewportRegion(200, 200));
    bbox.apply(root);
    err = GetCapturedStderr();
    EXPECT_NE(err.find(") qvDataNode\n"), std::string::npos) << err;
    EXPECT_FLOAT_EQ(bbox.getBoundingBox().getMin()[0], -1.0f);
    EXPECT_FLOAT_EQ(bbox.getBoundingBox().getMax()[0], 1.0f);
}

// Publishes a series under a declared type of the test's choice.
struct Publish {
    qvDataBase *node;
    SoType type;
};

void publishCB(void *data, SoAction *action)
{
    Publish *p = (Publish *)data;
    qvData1Element::set(action->getState(), p->node, p->type);
}

TEST_F(Line, SeriesTypeBreakingTheRuleIsReportedAndSkipped)
{
    SoSeparator *series = readSceneString(
        "#Inventor V2.1 ascii\nSeparator { qvData1RFloat { interval 0.5 data [ 0, 1, 0, 1, 0, 1 ] }"
        " qvData1NFloat { time [ 0, 1, 2, 3 ] data [ 1, 0, 1, 0 ] } }");
    ASSERT_NE(series, nullptr);
    series->ref();
    qvDataBase *regular = (qvDataBase *)series->getChild(0);
    qvDataBase *nonregular = (qvDataBase *)series->getChild(1);
    struct {
        Publish publish;
        const char *condition;
    } cases[] = {
        {{regular, SoType::badType()},
         "qvDataNodeType.isDerivedFrom(qvData1Base::getClassTypeId())"},
        {{nonregular, qvData1RFloat::getClassTypeId()},
         "qvDataNodeType == qvData1NFloat::getClassTypeId() || "
         "qvDataNodeType.isDerivedFrom(qvData1NFloat::getClassTypeId())"},
        // Declared regular storage that is none.
        {{regular, qvData1NFloat::getClassTypeId()}, nullptr},
    };
    for (auto &c : cases) {
        if (root != nullptr)
            root->unref();
        root = readSceneString(std::string("#Inventor V2.1 ascii\nSeparator {\n") + kCamera +
                               "qvTime { time 2 }\n}\n");
        ASSERT_NE(root, nullptr);
        root->ref();
        SoCallback *cb = new SoCallback;
        cb->setCallback(publishCB, &c.publish);
        root->addChild(cb);
        qvLine *line = new qvLine;
        line->past = SbTime(1.0);
        line->future = SbTime(1.0);
        root->addChild(line);
        CaptureStderr();
        window->render(root);
        std::string err = GetCapturedStderr();
        if (c.condition != nullptr) {
            EXPECT_NE(err.find(std::string("Assertion failed: ") + c.condition), std::string::npos)
                << err;
            EXPECT_EQ(countLit(), 0);
        } else {
            // A regular series declared under a non-regular type: it is
            // drawn from its own fields.
            EXPECT_GT(countLit(), 50) << err;
        }
    }
    series->unref();
}

TEST_F(Line, FollowsGlobalFields)
{
    // Global fields live for the whole process: look at them in a child.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            SoSFTime *gPast = (SoSFTime *)SoDB::createGlobalField("qvPast", SoSFTime::getClassTypeId());
            SoSFTime *gFuture = (SoSFTime *)SoDB::createGlobalField("qvFuture", SoSFTime::getClassTypeId());
            SoSFFloat *gComplexity =
                (SoSFFloat *)SoDB::createGlobalField("qvComplexity", SoSFFloat::getClassTypeId());
            gPast->setValue(1.5);
            gFuture->setValue(0.25);
            gComplexity->setValue(0.3f);
            qvLine *line = new qvLine;
            line->ref();
            bool ok = line->past.getValue() == SbTime(1.5) &&
                      line->future.getValue() == SbTime(0.25) &&
                      line->complexity.getValue() == 0.3f;
            gPast->setValue(3.0);
            ok = ok && line->past.getValue() == SbTime(3.0);
            line->unref();
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    // Without global fields the defaults stay.
    qvLine *line = new qvLine;
    line->ref();
    EXPECT_EQ(line->past.getValue(), SbTime(0.0));
    EXPECT_EQ(line->complexity.getValue(), 1.0f);
    EXPECT_FALSE(line->past.isConnected());
    line->unref();
}

TEST_F(Line, ExampleSceneScrollsAsTimeAdvances)
{
    if (root != nullptr)
        root->unref();
    root = readSceneFile(sourcePath("examples/line.iv"));
    ASSERT_NE(root, nullptr);
    root->ref();
    SoSearchAction search;
    search.setType(qvTime::getClassTypeId());
    search.apply(root);
    ASSERT_NE(search.getPath(), nullptr);
    qvTime *clock = (qvTime *)search.getPath()->getTail();
    EXPECT_EQ(clock->speed.getValue(), 1.0f);
    clock->speed = 0;

    std::vector<std::vector<uint8_t>> frames;
    for (double t : {5.0, 5.3}) {
        clock->time = SbTime(t);
        CaptureStderr();
        window->render(root);
        std::string err = GetCapturedStderr();
        EXPECT_EQ(err, "") << t;
        // The sine (yellow) and the non-regular series (cyan) both show.
        EXPECT_GT(countColour(255, 255, 0), 100) << t;
        EXPECT_GT(countColour(0, 255, 255), 100) << t;
        frames.push_back(window->getPixels());
    }
    EXPECT_NE(frames[0], frames[1]);
}

} // namespace
