// Frames per second of a lit surface whose window shows 400 steps of 256
// values, against the scene library's SoQuadMesh drawing the same grid with
// the same per-vertex normals in the same window, frames interleaved; then
// the one-off normal computation for 10 000 x 256 values.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/bench_surface [frames]
#include "TestSupport.h"
#include "TestWindow.h"

#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/nodes/SoCoordinate3.h>
#include <Inventor/nodes/SoDirectionalLight.h>
#include <Inventor/nodes/SoMaterialBinding.h>
#include <Inventor/nodes/SoNormal.h>
#include <Inventor/nodes/SoNormalBinding.h>
#include <Inventor/nodes/SoPackedColor.h>
#include <Inventor/nodes/SoPerspectiveCamera.h>
#include <Inventor/nodes/SoQuadMesh.h>
#include <Inventor/nodes/SoSeparator.h>

#include <GL/gl.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const int STEPS = 1000, BANDS = 256, SHOWN = 400;
const float INTERVAL = 0.01f;

qvData2RNFloat *makeSeries(int steps)
{
    qvData2RNFloat *s = new qvData2RNFloat;
    s->interval = INTERVAL;
    s->dim2.setNum(BANDS);
    float *d = s->dim2.startEditing();
    for (int j = 0; j < BANDS; ++j)
        d[j] = 0.02f * (float)j;
    s->dim2.finishEditing();
    s->data.setNum(steps * BANDS);
    float *v = s->data.startEditing();
    for (int i = 0; i < steps; ++i)
        for (int j = 0; j < BANDS; ++j)
            v[i * BANDS + j] = 0.5f + 0.4f * std::sin(0.05f * (float)i) * std::cos(0.09f * (float)j);
    s->data.finishEditing();
    return s;
}

SoSeparator *frame(bool coloured, int values)
{
    SoSeparator *root = new SoSeparator;
    root->renderCaching = SoSeparator::OFF;
    SoPerspectiveCamera *camera = new SoPerspectiveCamera;
    camera->position.setValue(0, 6, 8);
    camera->orientation.setValue(SbVec3f(1, 0, 0), -0.6435f);
    root->addChild(camera);
    SoDirectionalLight *light = new SoDirectionalLight;
    light->direction.setValue(0.3f, -1, -0.5f);
    root->addChild(light);
    if (coloured) {
        SoPackedColor *colors = new SoPackedColor;
        colors->orderedRGBA.setNum(values);
        uint32_t *c = colors->orderedRGBA.startEditing();
        for (int k = 0; k < values; ++k)
            c[k] = (k % 7 < 3) ? 0xff2020ffu : 0x2020ffffu;
        colors->orderedRGBA.finishEditing();
        root->addChild(colors);
        SoMaterialBinding *binding = new SoMaterialBinding;
        binding->value = SoMaterialBinding::PER_VERTEX;
        root->addChild(binding);
    }
    return root;
}

double seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

void drawFrame(TestWindow &window, SoNode *root)
{
    window.makeCurrent();
    glViewport(0, 0, window.getWidth(), window.getHeight());
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SoGLRenderAction action(SbViewportRegion(window.getWidth(), window.getHeight()));
    action.apply(root);
    glFinish();
}

void compareFrames(TestWindow &window, bool coloured, int frames)
{
    qvData2RNFloat *series = makeSeries(STEPS);
    const int values = series->getNumValues();

    // Ours: the surface over a clock that scrolls a little every frame.
    SoSeparator *ours = frame(coloured, values);
    ours->ref();
    qvTime *clock = new qvTime;
    const double startTime = 5.0;
    clock->time = SbTime(startTime);
    ours->addChild(clock);
    ours->addChild(series);
    qvSurface *surface = new qvSurface;
    surface->past = SbTime(SHOWN * INTERVAL / 2);
    surface->future = SbTime(SHOWN * INTERVAL / 2);
    ours->addChild(surface);
    drawFrame(window, ours); // computes the normals
    const int32_t *packed = surface->getNormalNode()->vector.getValues(0);

    // Theirs: the same window of the grid, the same normals as floats, the
    // same colours by value index.
    int first = series->getIndex((float)startTime - SHOWN * INTERVAL / 2, 0);
    int rows = SHOWN + 1;
    SoSeparator *theirs = frame(false, 0);
    theirs->ref();
    if (coloured) {
        SoPackedColor *colors = new SoPackedColor;
        colors->orderedRGBA.setNum(rows * BANDS);
        uint32_t *c = colors->orderedRGBA.startEditing();
        for (int k = 0; k < rows * BANDS; ++k) {
            int kk = first * BANDS + k;
            c[k] = (kk % 7 < 3) ? 0xff2020ffu : 0x2020ffffu;
        }
        colors->orderedRGBA.finishEditing();
        theirs->addChild(colors);
        SoMaterialBinding *binding = new SoMaterialBinding;
        binding->value = SoMaterialBinding::PER_VERTEX;
        theirs->addChild(binding);
    }
    SoCoordinate3 *coords = new SoCoordinate3;
    SoNormal *normals = new SoNormal;
    coords->point.setNum(rows * BANDS);
    normals->vector.setNum(rows * BANDS);
    SbVec3f *p = coords->point.startEditing();
    SbVec3f *n = normals->vector.startEditing();
    for (int r = 0; r < rows; ++r)
        for (int j = 0; j < BANDS; ++j) {
            int i = first + r, k = i * BANDS + j;
            p[r * BANDS + j].setValue(series->getTime(i) - (float)startTime,
                                      series->data[k], series->dim2[j]);
            signed char b[3];
            qvNormal::unpack(packed[k], b);
            n[r * BANDS + j].setValue(b[0] / 127.0f, b[1] / 127.0f, b[2] / 127.0f);
        }
    coords->point.finishEditing();
    normals->vector.finishEditing();
    theirs->addChild(coords);
    theirs->addChild(normals);
    SoNormalBinding *binding = new SoNormalBinding;
    binding->value = SoNormalBinding::PER_VERTEX;
    theirs->addChild(binding);
    SoQuadMesh *mesh = new SoQuadMesh;
    mesh->verticesPerRow = BANDS;
    mesh->verticesPerColumn = rows;
    theirs->addChild(mesh);
    drawFrame(window, theirs);

    double oursTime = 0, theirsTime = 0;
    for (int f = 0; f < frames; ++f) {
        clock->time = SbTime(startTime + 0.0001 * (f % 2));
        Clock::time_point a = Clock::now();
        drawFrame(window, ours);
        Clock::time_point b = Clock::now();
        drawFrame(window, theirs);
        Clock::time_point c = Clock::now();
        oursTime += seconds(a, b);
        theirsTime += seconds(b, c);
    }
    const double oursFps = frames / oursTime, theirsFps = frames / theirsTime;
    std::printf("%-28s qvSurface %7.2f fps   SoQuadMesh %7.2f fps   ratio %.3f\n",
                coloured ? "lit, per-vertex colours:" : "lit, one material:", oursFps,
                theirsFps, oursFps / theirsFps);
    ours->unref();
    theirs->unref();
}

} // namespace

int main(int argc, char **argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 60;
    qvTestInit();
    const int w = getenv("QV_BENCH_WIDTH") ? std::atoi(getenv("QV_BENCH_WIDTH")) : 640;
    TestWindow window(w, w * 3 / 4);
    if (!window.isOpen()) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    std::printf("window %d x %d, %d steps x %d values shown, %d frames each\n",
                window.getWidth(), window.getHeight(), SHOWN, BANDS, frames);
    compareFrames(window, false, frames);
    compareFrames(window, true, frames);

    qvData2RNFloat *big = makeSeries(10000);
    big->ref();
    qvSurface *surface = new qvSurface;
    surface->ref();
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        SoMFInt32 normals;
        Clock::time_point a = Clock::now();
        surface->GLComputeNormals(big, normals);
        best = std::min(best, seconds(a, Clock::now()));
    }
    std::printf("normals of 10000 x %d values: %.3f s (best of 3)\n", BANDS, best);
    surface->unref();
    big->unref();
    return 0;
}
