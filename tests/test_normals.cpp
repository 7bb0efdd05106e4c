// Packed normals: the packing, the neighbour-quadrant sums, the warnings,
// and the normal node a lit surface computes into once.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TestWindow.h"

#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoSeparator.h>

#include <cmath>
#include <vector>

namespace {

class Normals : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { qvTestInit(); }

    void SetUp() override
    {
        surface = new qvSurface;
        surface->ref();
        series = new qvData2RNFloat;
        series->ref();
    }
    void TearDown() override
    {
        series->unref();
        surface->unref();
    }
    // Steps at times 0, dt, 2 dt, ...; value(i, j) = f(time, dim2[j]).
    template <class F>
    void fill(int num, float dt, std::vector<float> dim2, F f)
    {
        series->interval = dt;
        series->dim2.setValues(0, (int)dim2.size(), dim2.data());
        series->dim2.setNum((int)dim2.size());
        series->data.setNum(num * (int)dim2.size());
        for (int i = 0; i < num; ++i)
            for (size_t j = 0; j < dim2.size(); ++j)
                series->data.set1Value(i * (int)dim2.size() + (int)j, f(i * dt, dim2[j]));
    }
    std::vector<int32_t> compute()
    {
        SoMFInt32 normals;
        surface->GLComputeNormals(series, normals);
        return std::vector<int32_t>(normals.getValues(0),
                                    normals.getValues(0) + normals.getNum());
    }
    qvSurface *surface;
    qvData2RNFloat *series;
};

TEST_F(Normals, PackedBytesFromTheTop)
{
    struct {
        SbVec3f n;
        uint32_t packed;
    } cases[] = {
        {{1, 0, 0}, 0x7F000000u},     {{0, 1, 0}, 0x007F0000u},
        {{0, 0, 1}, 0x00007F00u},     {{-1, 0, 0}, 0x81000000u},
        {{0.6f, 0.8f, 0}, 0x4C650000u}, // 76.2 and 101.6 truncate
        {{0, -0.6f, -0.8f}, 0x00B49B00u},
    };
    for (auto c : cases) {
        EXPECT_EQ((uint32_t)qvNormal::pack(c.n), c.packed) << c.packed;
        signed char b[3];
        qvNormal::unpack((int32_t)c.packed, b);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(b[k], (signed char)(c.n[k] * 127.0f)) << c.packed;
    }
}

TEST_F(Normals, TiltedPlaneHasOneNormalEverywhere)
{
    // y = a t + b z over uneven steps of the second coordinate: every
    // position, corners and edges included, has the normal (-a, 1, -b).
    struct {
        float a, b;
    } planes[] = {{0, 0}, {1, 0}, {0, -2}, {0.5f, 0.25f}};
    for (auto p : planes) {
        fill(4, 0.5f, {0, 1, 3, 3.5f, 6}, [&](float t, float z) { return p.a * t + p.b * z; });
        SbVec3f expected(-p.a, 1, -p.b);
        expected.normalize();
        std::vector<int32_t> normals = compute();
        ASSERT_EQ(normals.size(), 20u);
        for (size_t k = 0; k < normals.size(); ++k)
            EXPECT_EQ(normals[k], qvNormal::pack(expected)) << p.a << " " << p.b << " " << k;
        SbVec3f one = surface->GLcomputeNormal(series, 3, 4);
        EXPECT_NEAR((one - expected).length(), 0, 1e-5);
    }
}

TEST_F(Normals, RidgeByHand)
{
    // value |t - 1| over three steps at t = 0, 1, 2: the slopes face +x
    // and -x, the ridge itself faces up.
    fill(3, 1, {0, 1, 2}, [](float t, float) { return std::fabs(t - 1); });
    std::vector<int32_t> n = compute();
    const float h = std::sqrt(0.5f);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(n[0 * 3 + j], qvNormal::pack(SbVec3f(h, h, 0))) << j;
        EXPECT_EQ(n[1 * 3 + j], qvNormal::pack(SbVec3f(0, 1, 0))) << j;
        EXPECT_EQ(n[2 * 3 + j], qvNormal::pack(SbVec3f(-h, h, 0))) << j;
    }
}

TEST_F(Normals, NoNormalsForOneStepOrTwoValues)
{
    struct {
        int num;
        std::vector<float> dim2;
    } cases[] = {{3, {0, 1}}, {1, {0, 1, 2}}};
    for (auto &c : cases) {
        fill(c.num, 1, c.dim2, [](float t, float z) { return t * z; });
        testing::internal::CaptureStderr();
        std::vector<int32_t> normals = compute();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(countOccurrences(err, ": WARNING! computeNormal(): (num == 1 || num2 == 2) "
                                        "=> There no normals to compute!\n"),
                  c.num * (int)c.dim2.size()) << err;
        ASSERT_EQ(normals.size(), (size_t)(c.num * c.dim2.size()));
        for (int32_t v : normals)
            EXPECT_EQ(v, qvNormal::pack(SbVec3f(0, 1, 0)));
    }
}

TEST_F(Normals, IncompleteLastStepAndOneValuePerStep)
{
    // Ten values over four positions: two steps, the two values left over
    // get the up normal too, and nothing warns but the mismatch.
    fill(2, 1, {0, 1, 2, 3}, [](float t, float) { return t; });
    series->data.setNum(10);
    series->data.set1Value(8, 5);
    series->data.set1Value(9, 5);
    testing::internal::CaptureStderr();
    std::vector<int32_t> normals = compute();
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(normals.size(), 10u);
    EXPECT_EQ(normals[9], qvNormal::pack(SbVec3f(0, 1, 0)));
    // A line of single values has no surface: up, not a division by zero.
    fill(3, 1, {0}, [](float t, float) { return t * t; });
    for (int32_t v : compute())
        EXPECT_EQ(v, qvNormal::pack(SbVec3f(0, 1, 0)));
}

// A two-dimensional series of another storage class.
class qvTestSeries2 : public qvData2Base {
    SO_NODE_HEADER(qvTestSeries2);

  public:
    static void initClass()
    {
        if (getClassTypeId().isBad())
            SO_NODE_INIT_CLASS(qvTestSeries2, qvData2Base, "qvData2Base");
    }
    qvTestSeries2() { SO_NODE_CONSTRUCTOR(qvTestSeries2); }
    virtual SoType getRealClassTypeId() const { return getClassTypeId(); }
};
SO_NODE_SOURCE(qvTestSeries2);

TEST_F(Normals, OtherStorageClassIsLeftAlone)
{
    qvTestSeries2::initClass();
    qvTestSeries2 *other = new qvTestSeries2;
    other->ref();
    SoMFInt32 normals;
    normals.setValues(0, 2, std::vector<int32_t>{5, 6}.data());
    testing::internal::CaptureStderr();
    surface->GLComputeNormals(other, normals);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(": WARNING! GLComputeNormals() is only implemented for data nodes of "
                       "type qvData2RNFloat yet. This is: qvTestSeries2!I do nothing!!!\n"),
              std::string::npos) << err;
    ASSERT_EQ(normals.getNum(), 2);
    EXPECT_EQ(normals[1], 6);
    other->unref();
}

const char *litScene = R"(#Inventor V2.1 ascii
Separator {
  qvSuite {}
  OrthographicCamera { position 0 50 0 orientation 1 0 0 -1.5707963 height 20 nearDistance 1 farDistance 100 }
  DirectionalLight { direction 0 -1 0 }
  qvTime { time 1 }
  Separator {
    %NORMAL%
    qvData2RNFloat { interval 1 data [ 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2 ] dim2 [ 0, 1, 2, 3 ] }
    qvSurface { past 1 future 1 }
  }
  %AFTER%
}
)";

std::string scene(const std::string &normal, const std::string &after = "")
{
    std::string s = litScene;
    s.replace(s.find("%NORMAL%"), 8, normal);
    s.replace(s.find("%AFTER%"), 7, after);
    return s;
}

TEST_F(Normals, ComputedOnceIntoThePublishedNode)
{
    TestWindow window;
    ASSERT_TRUE(window.isOpen());
    SoSeparator *root = readSceneString(scene("DEF N qvNormal {}"));
    ASSERT_NE(root, nullptr);
    root->ref();
    SoSeparator *inner = (SoSeparator *)root->getChild(4);
    qvNormal *published = (qvNormal *)inner->getChild(0);
    qvData2RNFloat *data = (qvData2RNFloat *)inner->getChild(1);
    qvSurface *shape = (qvSurface *)inner->getChild(2);
    window.render(root);
    EXPECT_EQ(shape->getNormalNode(), published);
    ASSERT_EQ(published->vector.getNum(), 12);
    const int32_t before = published->vector[5];
    EXPECT_EQ(before, qvNormal::pack(SbVec3f(-1, 1, 0) / std::sqrt(2.0f)));
    // New data, more of it: the normals stay; drawing reads none past them.
    data->data.setNum(16);
    for (int k = 0; k < 16; ++k)
        data->data.set1Value(k, (float)(k % 4));
    window.render(root);
    EXPECT_EQ(published->vector.getNum(), 12);
    EXPECT_EQ(published->vector[5], before);
    EXPECT_GT(window.countNotBackground(), 0);
    // Written with the scene, it carries the normals.
    EXPECT_NE(writeSceneString(root).find("vector"), std::string::npos);
    root->unref();
}

TEST_F(Normals, SurfaceMakesItsOwnWhenNonePublished)
{
    TestWindow window;
    ASSERT_TRUE(window.isOpen());
    // An ignored normal node and one after the separator are not current.
    for (std::string normal : {std::string(""), std::string("qvNormal { vector 0 ~ }")}) {
        SoSeparator *root = readSceneString(scene(normal, "qvNormal {}"));
        ASSERT_NE(root, nullptr) << normal;
        root->ref();
        SoSeparator *inner = (SoSeparator *)root->getChild(4);
        qvSurface *shape = (qvSurface *)inner->getChild(inner->getNumChildren() - 1);
        EXPECT_EQ(shape->getNormalNode(), nullptr);
        window.render(root);
        qvNormal *own = shape->getNormalNode();
        ASSERT_NE(own, nullptr);
        EXPECT_NE((SoNode *)own, root->getChild(5));
        if (!normal.empty()) {
            EXPECT_NE((SoNode *)own, inner->getChild(0));
        }
        EXPECT_EQ(own->vector.getNum(), 12);
        EXPECT_GT(window.countNotBackground(), 0);
        root->unref();
    }
}

TEST_F(Normals, UnlitSurfaceComputesNone)
{
    TestWindow window;
    ASSERT_TRUE(window.isOpen());
    SoSeparator *root = readSceneString(scene("LightModel { model BASE_COLOR }"));
    ASSERT_NE(root, nullptr);
    root->ref();
    SoSeparator *inner = (SoSeparator *)root->getChild(4);
    window.render(root);
    EXPECT_EQ(((qvSurface *)inner->getChild(2))->getNormalNode(), nullptr);
    EXPECT_GT(window.countNotBackground(), 0);
    root->unref();
}

TEST_F(Normals, PerVertexNormalBindingDrawsNothing)
{
    TestWindow window;
    ASSERT_TRUE(window.isOpen());
    for (const char *binding : {"PER_VERTEX", "PER_FACE", "PER_PART"}) {
        SoSeparator *root =
            readSceneString(scene(std::string("NormalBinding { value ") + binding + " }"));
        ASSERT_NE(root, nullptr);
        root->ref();
        window.render(root);
        EXPECT_EQ(window.countNotBackground(), 0) << binding;
        root->unref();
    }
}

} // namespace
