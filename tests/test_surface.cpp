// The surface as a user sees it: rendered into a real window under Xvfb
// and read back. The camera looks straight down the y axis with 10 pixels
// per unit: world x maps to column 100 + 10 x, world z to row 100 - 10 z.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TestWindow.h"

#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/SoPickedPoint.h>
#include <Inventor/fields/SoSFTime.h>
#include <Inventor/SoDB.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoSeparator.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace {

using Pixel = TestWindow::Pixel;

// A two-dimensional series that is not regularly sampled.
class qvTestIrregular2 : public qvData2Base {
    SO_NODE_HEADER(qvTestIrregular2);

  public:
    static void initClass()
    {
        if (getClassTypeId().isBad())
            SO_NODE_INIT_CLASS(qvTestIrregular2, qvData2Base, "qvData2Base");
    }
    qvTestIrregular2() { SO_NODE_CONSTRUCTOR(qvTestIrregular2); }
    virtual int getNum() const { return 3; }
    virtual int getNum2() const { return 2; }
    virtual void doAction(SoAction *action)
    {
        qvData2Element::set(action->getState(), this, getTypeId());
    }
    virtual void GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }
};
SO_NODE_SOURCE(qvTestIrregular2);

// A series published into another kind's element, with a given type.
struct Misplaced {
    SoNode *node;
    SoType type;
    bool marks;
};
void publishCB(void *data, SoAction *action)
{
    Misplaced *m = (Misplaced *)data;
    if (m->marks)
        qvDataMarksElement::set(action->getState(), (qvDataBase *)m->node, m->type);
    else
        qvData2Element::set(action->getState(), (qvDataBase *)m->node, m->type);
}

// Ten steps at times 0..9; value(i, j) = i % 3 - 1 + j; dim2 -5, 0, 5.
const char *tenSteps =
    "qvData2RNFloat { interval 1 dim2 [ -5, 0, 5 ] data [ -1, 0, 1, 0, 1, 2, 1, 2, 3, "
    "-1, 0, 1, 0, 1, 2, 1, 2, 3, -1, 0, 1, 0, 1, 2, 1, 2, 3, -1, 0, 1 ] }";

class Surface : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        qvTestInit();
        qvTestIrregular2::initClass();
    }
    void TearDown() override
    {
        if (root != nullptr)
            root->unref();
    }
    // Renders the scene body after camera and kit; returns the error stream.
    std::string render(const std::string &body)
    {
        if (root != nullptr)
            root->unref();
        root = readSceneString(
            "#Inventor V2.1 ascii\nSeparator { qvSuite {} "
            "OrthographicCamera { position 0 50 0 orientation 1 0 0 -1.5707963 "
            "height 20 nearDistance 1 farDistance 100 } " + body + " }");
        EXPECT_NE(root, nullptr) << body;
        if (root == nullptr)
            return "";
        root->ref();
        testing::internal::CaptureStderr();
        window.render(root);
        return testing::internal::GetCapturedStderr();
    }
    template <class F> std::vector<int> columns(F pred)
    {
        std::vector<int> found;
        for (int x = 0; x < window.getWidth(); ++x)
            for (int y = 0; y < window.getHeight(); ++y)
                if (pred(window.at(x, y))) {
                    found.push_back(x);
                    break;
                }
        return found;
    }
    TestWindow window;
    SoSeparator *root = nullptr;
};

bool isRed(const Pixel &p) { return p == Pixel{204, 0, 0, 255}; }
bool isYellow(const Pixel &p) { return p == Pixel{255, 255, 0, 255}; }
bool isGreen(const Pixel &p) { return p == Pixel{0, 255, 0, 255}; }
bool isBlack(const Pixel &p) { return p.r == 0 && p.g == 0 && p.b == 0; }

const char *unlit = "LightModel { model BASE_COLOR } ";

TEST_F(Surface, UnlitDrawsTheWindowInTheFirstMaterial)
{
    ASSERT_TRUE(window.isOpen());
    std::string err = render(std::string(unlit) +
                             "Material { diffuseColor [ 0 1 0, 1 0 0, 0 0 1 ] } "
                             "MaterialBinding { value PER_VERTEX } qvTime { time 5 } " +
                             tenSteps + " qvSurface { past 2 future 2 }");
    EXPECT_EQ(err, "");
    int lit = window.countNotBackground();
    EXPECT_GT(lit, 3000);
    EXPECT_EQ(window.count(isGreen), lit); // no other colour, no red line
    std::vector<int> cols = window.litColumns();
    ASSERT_FALSE(cols.empty());
    EXPECT_NEAR(cols.front(), 80, 1);
    EXPECT_NEAR(cols.back(), 120, 1);
    // The second coordinate spans z = -5 .. 5, rows 50 .. 150.
    EXPECT_TRUE(isGreen(window.at(100, 52)));
    EXPECT_TRUE(isGreen(window.at(100, 148)));
    EXPECT_TRUE(isBlack(window.at(100, 45)));
}

TEST_F(Surface, WindowAroundTheCurrentTime)
{
    ASSERT_TRUE(window.isOpen());
    const char *atTen = "qvData2RNFloat { startTime 10 interval 1 dim2 [ -5, 5 ] "
                        "data [ 0, 0, 1, 1, 2, 2, 3, 3 ] }";
    struct {
        const char *data;
        float time, past, future;
        int first, last; // columns; first > last: nothing drawn
    } cases[] = {
        {atTen, 10, 0, 2, 100, 120},  // the step at time 10 sits at x = 0
        {atTen, 11, 5, 1, 90, 110},   // window begins before the first step
        {atTen, 0, 1, 2, 1, 0},       // window ends before the first step
        {tenSteps, 30, 2, 2, 1, 0},   // window begins past the last step
        {tenSteps, 5, -1, -1, 50, 140}, // negative lengths: the whole series
        {tenSteps, 8, 1, 5, 90, 110}, // window beyond the end is clamped
        {tenSteps, 5, 0, 0, 1, 0},    // an empty window
    };
    for (auto &c : cases) {
        std::ostringstream body;
        body << unlit << "qvTime { time " << c.time << " } " << c.data
             << " qvSurface { past " << c.past << " future " << c.future << " }";
        render(body.str());
        std::vector<int> cols = window.litColumns();
        SCOPED_TRACE(body.str());
        if (c.first > c.last) {
            EXPECT_TRUE(cols.empty());
            continue;
        }
        ASSERT_FALSE(cols.empty());
        EXPECT_NEAR(cols.front(), c.first, 1);
        EXPECT_NEAR(cols.back(), c.last, 1);
    }
}

TEST_F(Surface, DrawStyles)
{
    ASSERT_TRUE(window.isOpen());
    int counts[3];
    const char *styles[] = {"FILLED", "LINES", "POINTS"};
    for (int s = 0; s < 3; ++s) {
        render(std::string(unlit) + "DrawStyle { style " + styles[s] + " } qvTime { time 5 } " +
               tenSteps + " qvSurface { past 2 future 2 }");
        counts[s] = window.countNotBackground();
    }
    EXPECT_GT(counts[0], 3000);
    EXPECT_GT(counts[1], 100);
    EXPECT_LT(counts[1], counts[0] / 4);
    EXPECT_GT(counts[2], 5);
    EXPECT_LT(counts[2], counts[1]);
    render(std::string(unlit) + "DrawStyle { style INVISIBLE } qvTime { time 5 } " +
           tenSteps + " qvSurface { past 2 future 2 }");
    EXPECT_EQ(window.countNotBackground(), 0);
}

// Mean brightness (sum of channels) over a block of columns at row 100.
double brightness(const TestWindow &w, int from, int to)
{
    double sum = 0;
    for (int x = from; x <= to; ++x) {
        Pixel p = w.at(x, 100);
        sum += p.r + p.g + p.b;
    }
    return sum / (to - from + 1);
}

TEST_F(Surface, LitSurfaceIsShadedBySlope)
{
    ASSERT_TRUE(window.isOpen());
    // A roof over t = 1..9, highest at t = 5. The light falls along
    // (1, -1, 0): the rising side faces it, the falling side does not.
    render("DirectionalLight { direction 1 -1 0 } Material { diffuseColor 1 1 1 } "
           "qvTime { time 5 } qvData2RNFloat { interval 1 dim2 [ -5, 0, 5 ] data [ "
           "5, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 1, 1, 1, 0, 0, 0, "
           "1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5 ] } "
           "qvSurface { past 4 future 4 }");
    const double falling = brightness(window, 63, 93);
    const double rising = brightness(window, 107, 137);
    EXPECT_GT(rising, 400);
    EXPECT_LT(falling, 150);
    // The red current-time line runs along the ridge at x = 0 only.
    std::vector<int> red = columns(isRed);
    ASSERT_FALSE(red.empty());
    EXPECT_GE(red.front(), 99);
    EXPECT_LE(red.back(), 101);
}

TEST_F(Surface, CurrentTimeLineOnlyWhenLit)
{
    ASSERT_TRUE(window.isOpen());
    const std::string flat = "qvTime { time 4.5 } " + std::string(tenSteps) +
                             " qvSurface { past 3 future 3 }";
    render("DirectionalLight { direction 0 -1 0 } Material { diffuseColor 0 0 1 } " + flat);
    std::vector<int> red = columns(isRed);
    ASSERT_FALSE(red.empty());
    EXPECT_GE(red.front(), 99);
    EXPECT_LE(red.back(), 101);
    int redRows = 0;
    for (int y = 0; y < window.getHeight(); ++y)
        redRows += isRed(window.at(red.front(), y)) || isRed(window.at(red.back(), y));
    EXPECT_GT(redRows, 80); // across the whole second coordinate
    // Outside the series' time span there is no line.
    render("DirectionalLight { direction 0 -1 0 } Material { diffuseColor 0 0 1 } "
           "qvTime { time 9.5 } " + std::string(tenSteps) + " qvSurface { past 3 future 3 }");
    EXPECT_GT(window.countNotBackground(), 1000);
    EXPECT_TRUE(columns(isRed).empty());
}

TEST_F(Surface, PerVertexPackedColours)
{
    ASSERT_TRUE(window.isOpen());
    const std::string data = "qvTime { time 1.5 } qvData2RNFloat { interval 1 dim2 [ -5, 0, 5 ] "
                             "data [ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 ] } "
                             "qvSurface { past 2 future 2 }";
    const std::string head = "DirectionalLight { direction 0 -1 0 } MaterialBinding { value PER_VERTEX } ";
    // Steps 0 and 1 red, steps 2 and 3 blue.
    render(head + "PackedColor { orderedRGBA [ 0xff0000ff, 0xff0000ff, 0xff0000ff, "
                  "0xff0000ff, 0xff0000ff, 0xff0000ff, 0x0000ffff, 0x0000ffff, 0x0000ffff, "
                  "0x0000ffff, 0x0000ffff, 0x0000ffff ] } " + data);
    for (int y : {60, 100, 140}) {
        Pixel left = window.at(90, y), right = window.at(110, y);
        EXPECT_GT(left.r, 200) << y;
        EXPECT_LT(left.b, 40) << y;
        EXPECT_GT(right.b, 200) << y;
        EXPECT_LT(right.r, 40) << y;
    }
    // Fewer colours than values: the last one repeats.
    render(head + "PackedColor { orderedRGBA [ 0xff0000ff, 0x00ff00ff ] } " + data);
    EXPECT_GT(window.at(110, 100).g, 200);
    EXPECT_LT(window.at(110, 100).r, 40);
}

TEST_F(Surface, MarksInsideTheWindowOnly)
{
    ASSERT_TRUE(window.isOpen());
    struct {
        const char *marks;
        int column; // -1: no mark drawn
    } cases[] = {
        {"[ 5.5 ]", 105},
        // Nearest marks to the window ends lie outside it.
        {"[ 0.5, 5.5, 9.5 ]", 105},
        {"[ 0.5, 9.5 ]", -1},
        {"[ 20, 30 ]", -1},  // past the series
        {"[ -3 ]", -1},      // before the series
        {"[ ]", -1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.marks);
        std::string err =
            render(std::string(unlit) + "Material { diffuseColor 0 1 0 } qvTime { time 5 } " +
                   tenSteps + " qvData1Marks { color 1 1 0 marks " + c.marks +
                   " } qvSurface { past 2 future 2 }");
        EXPECT_EQ(err.find("getIndex"), std::string::npos) << err;
        EXPECT_GT(window.count(isGreen), 3000);
        std::vector<int> yellow = columns(isYellow);
        if (c.column < 0) {
            EXPECT_TRUE(yellow.empty());
            continue;
        }
        ASSERT_FALSE(yellow.empty());
        EXPECT_GE(yellow.front(), c.column - 1);
        EXPECT_LE(yellow.back(), c.column + 1);
        EXPECT_GT(window.count(isYellow), 80);
    }
}

TEST_F(Surface, MisplacedSeriesDrawNothing)
{
    ASSERT_TRUE(window.isOpen());
    qvData1RFloat *oneDimensional = new qvData1RFloat;
    oneDimensional->ref();
    qvTestIrregular2 *irregular = new qvTestIrregular2;
    irregular->ref();
    struct {
        Misplaced publish;
        const char *report;
    } cases[] = {
        {{oneDimensional, qvData1RFloat::getClassTypeId(), true},
         "Assertion failed: (marksNodeType==qvData1Marks::getClassTypeId()) || "
         "qvDataMarksElement::getType(state).isDerivedFrom(qvData1Marks::getClassTypeId())"},
        {{oneDimensional, qvData1RFloat::getClassTypeId(), false},
         "Assertion failed: dataNodeType.isDerivedFrom(qvData2Base::getClassTypeId())"},
        {{oneDimensional, qvData2RNFloat::getClassTypeId(), false},
         "Assertion failed: dataNode->isOfType(qvData2RNFloat::getClassTypeId())"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.report);
        root = readSceneString(std::string("#Inventor V2.1 ascii\nSeparator { qvSuite {} ") +
                               unlit + "qvTime { time 5 } " + tenSteps + " }");
        ASSERT_NE(root, nullptr);
        root->ref();
        SoCallback *publish = new SoCallback;
        publish->setCallback(publishCB, &c.publish);
        root->addChild(publish);
        qvSurface *surface = new qvSurface;
        surface->past = SbTime(2.0);
        surface->future = SbTime(2.0);
        root->addChild(surface);
        testing::internal::CaptureStderr();
        window.render(root);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(std::string("qvSurface.cpp::")), std::string::npos) << err;
        EXPECT_NE(err.find(std::string(": WARNING! ") + c.report + "\n"), std::string::npos)
            << err;
        EXPECT_EQ(window.countNotBackground(), 0);
        root->unref();
        root = nullptr;
    }
    oneDimensional->unref();
    irregular->unref();
}

TEST_F(Surface, NonregularSeriesWarnsAndDrawsNothing)
{
    ASSERT_TRUE(window.isOpen());
    qvTestIrregular2 *irregular = new qvTestIrregular2;
    irregular->ref();
    root = readSceneString(std::string("#Inventor V2.1 ascii\nSeparator { qvSuite {} ") +
                           "qvTime { time 1 } qvData1Marks { marks [ 1 ] } }");
    ASSERT_NE(root, nullptr);
    root->ref();
    root->addChild(irregular);
    root->addChild(new qvSurface);
    for (int frame = 0; frame < 2; ++frame) {
        testing::internal::CaptureStderr();
        window.render(root);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(countOccurrences(err, ": WARNING! GLRender(): rendering for nonregular data "
                                        "NOT YET IMPLEMENTED !!!\n"),
                  1) << err;
        EXPECT_EQ(window.countNotBackground(), 0);
    }
    irregular->unref();
}

TEST_F(Surface, NoSeriesReportsAndGoesOn)
{
    ASSERT_TRUE(window.isOpen());
    std::string err = render("qvTime { time 1 } qvSurface { past 1 future 1 }");
    EXPECT_NE(err.find("\nCall: ("), std::string::npos) << err;
    EXPECT_NE(err.find(") dataNode = (qvData2Base*) qvData2Element::getPtr(state, this)\n"),
              std::string::npos) << err;
    EXPECT_EQ(err.find("qvSurface.cpp: "), 0u) << err;
    EXPECT_EQ(window.countNotBackground(), 0);

    testing::internal::CaptureStderr();
    SoGetBoundingBoxAction bbox(SbViewportRegion(100, 100));
    bbox.apply(root);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(") qvDataNode = (qvData2Base*) qvData2Element::getPtr(state, this)\n"),
              std::string::npos) << err;
    EXPECT_TRUE(bbox.getBoundingBox().isEmpty());
}

TEST_F(Surface, BoundingBoxAndPickRectangle)
{
    SoSeparator *scene = readSceneString(
        "#Inventor V2.1 ascii\nSeparator { qvSuite {} qvTime { time 5 } "
        "qvData2RNFloat { interval 1 dim2 [ 100, 50, 400 ] data [ 0, 0, 0, 0, -2, 0, "
        "0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0 ] } "
        "qvSurface { past 2 future 2 } }");
    ASSERT_NE(scene, nullptr);
    scene->ref();
    SoGetBoundingBoxAction bbox(SbViewportRegion(100, 100));
    bbox.apply(scene);
    SbBox3f box = bbox.getBoundingBox();
    // Steps 3 to 7 in x; the value and second-coordinate ranges of the
    // whole series.
    EXPECT_EQ(box.getMin(), SbVec3f(-2, -2, 50));
    EXPECT_EQ(box.getMax(), SbVec3f(2, 7, 400));
    EXPECT_EQ(bbox.getCenter(), SbVec3f(5, 4.5f, 175));

    struct {
        float x, z;
        bool hit;
    } rays[] = {{0.5f, 200, true}, {-1.9f, 60, true}, {3, 200, false}, {0, 450, false}};
    for (auto r : rays) {
        SoRayPickAction pick(SbViewportRegion(100, 100));
        pick.setRay(SbVec3f(r.x, 100, r.z), SbVec3f(0, -1, 0));
        pick.apply(scene);
        SoPickedPoint *point = pick.getPickedPoint();
        EXPECT_EQ(point != nullptr, r.hit) << r.x << " " << r.z;
        if (point != nullptr) {
            EXPECT_NEAR(point->getPoint()[1], 4.5f, 1e-4);
            EXPECT_NEAR(point->getPoint()[0], r.x, 1e-4);
        }
    }
    scene->unref();
}

TEST_F(Surface, CallbackAndPickWithNormalNodeDoNotFail)
{
    SoSeparator *scene = readSceneString(std::string("#Inventor V2.1 ascii\nSeparator { qvSuite {} "
                                         "qvTime { time 5 } qvNormal {} ") + tenSteps +
                                         " qvSurface { past 2 future 2 } }");
    ASSERT_NE(scene, nullptr);
    scene->ref();
    int triangles = 0;
    SoCallbackAction callback;
    callback.addTriangleCallback(
        qvSurface::getClassTypeId(),
        [](void *n, SoCallbackAction *, const SoPrimitiveVertex *, const SoPrimitiveVertex *,
           const SoPrimitiveVertex *) { ++*(int *)n; },
        &triangles);
    testing::internal::CaptureStderr();
    callback.apply(scene);
    SoRayPickAction pick(SbViewportRegion(100, 100));
    pick.setRay(SbVec3f(0, 100, 0), SbVec3f(0, -1, 0));
    pick.apply(scene);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(triangles, 2);
    EXPECT_NE(pick.getPickedPoint(), nullptr);
    scene->unref();
}

TEST_F(Surface, ExampleSpectrogramScrolls)
{
    ASSERT_TRUE(window.isOpen());
    root = readSceneFile(sourcePath("examples/spectrogram.iv"));
    ASSERT_NE(root, nullptr);
    root->ref();
    qvTime *clock = nullptr;
    for (int k = 0; k < root->getNumChildren(); ++k)
        if (root->getChild(k)->isOfType(qvTime::getClassTypeId()))
            clock = (qvTime *)root->getChild(k);
    ASSERT_NE(clock, nullptr);
    std::vector<std::vector<uint8_t>> frames;
    for (double t : {2.0, 2.5}) {
        clock->speed = 0;
        clock->time = SbTime(t);
        testing::internal::CaptureStderr();
        window.render(root);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, "") << err;
        frames.push_back(window.getPixels());
        // Many colours of the ramp, the red current-time line and the marks.
        int reddish = window.count([](const Pixel &p) { return p.r > 150 && p.b < 60; });
        int bluish = window.count([](const Pixel &p) { return p.b > 150 && p.r < 60; });
        int greenish = window.count([](const Pixel &p) { return p.g > 150 && p.r < 90 && p.b < 90; });
        EXPECT_GT(reddish, 50) << t;
        EXPECT_GT(bluish, 500) << t;
        EXPECT_GT(greenish, 50) << t;
        EXPECT_GT(window.count([](const Pixel &p) { return p.r > 200 && p.g > 200 && p.b > 200; }),
                  20) << t; // white marks
    }
    EXPECT_NE(frames[0], frames[1]); // it moved
    if (getenv("QV_SAVE_PICTURES") != nullptr)
        window.savePPM("spectrogram.ppm");
}

// Last in the file: the global field it makes stays for the process.
TEST_F(Surface, FollowsGlobalWindowFields)
{
    SoSFTime *globalPast = (SoSFTime *)SoDB::createGlobalField("qvPast", SoSFTime::getClassTypeId());
    ASSERT_NE(globalPast, nullptr);
    globalPast->setValue(SbTime(3.0));
    qvSurface *surface = new qvSurface;
    surface->ref();
    EXPECT_EQ(surface->past.getValue(), SbTime(3.0));
    globalPast->setValue(SbTime(1.5));
    EXPECT_EQ(surface->past.getValue(), SbTime(1.5));
    EXPECT_EQ(surface->future.getValue(), SbTime(0.0)); // no such global field
    EXPECT_FALSE(surface->future.isConnected());
    surface->unref();
}

} // namespace
