// Frames per second of a qvLine whose window holds 200 000 samples,
// against the scene library's SoLineSet drawing the same points, in the
// same real window (run under Xvfb or on a display).
//
//   bench_line [frames]
//
// Two settings: a still clock, and the clock advancing one frame time per
// frame for the line (the SoLineSet stays as it is). The separators keep
// the library's default render caching (AUTO, which builds no cache on a
// local display). Alternating runs; the median of each is reported, with
// the process's CPU time per frame beside it.
#include "TestSupport.h"
#include "TestWindow.h"

#include <qvSuiteAll.h>

#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/nodes/SoCoordinate3.h>
#include <Inventor/nodes/SoLightModel.h>
#include <Inventor/nodes/SoLineSet.h>
#include <Inventor/nodes/SoOrthographicCamera.h>
#include <Inventor/nodes/SoSeparator.h>

#include <GL/gl.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

const int kWindowSamples = 200000;
// A 3 s series; the window runs from 1 s to 2 s: samples 200 000 to
// 399 999 are drawn.
const int kSeriesSamples = 3 * kWindowSamples;
const float kInterval = 1.0f / kWindowSamples;
const double kTime = 1.5;
const int kFirst = kWindowSamples;

SoSeparator *frame(SoNode *content)
{
    SoSeparator *root = new SoSeparator;
    SoOrthographicCamera *camera = new SoOrthographicCamera;
    camera->position.setValue(0, 0, 5);
    camera->height = 2.0f;
    root->addChild(camera);
    SoLightModel *model = new SoLightModel;
    model->model = SoLightModel::BASE_COLOR;
    root->addChild(model);
    root->addChild(content);
    return root;
}

float value(int i)
{
    return std::sin(i * 0.001f) * 0.9f;
}

struct Scenes {
    SoSeparator *ours, *theirs;
    qvTime *clock;
};

Scenes build()
{
    SoSeparator *line = new SoSeparator;
    qvTime *clock = new qvTime;
    clock->time = SbTime(kTime);
    line->addChild(clock);
    qvData1RFloat *series = new qvData1RFloat;
    series->startTime = 0;
    series->interval = kInterval;
    std::vector<float> values(kSeriesSamples);
    for (int i = 0; i < kSeriesSamples; ++i)
        values[i] = value(i);
    series->data.setValues(0, kSeriesSamples, values.data());
    line->addChild(series);
    qvLine *shape = new qvLine;
    shape->past = SbTime(0.5);
    shape->future = SbTime(0.5);
    int startIdx = 0, endIdx = 0;
    shape->_computeIndices((float)kTime, 0.5f, 0.5f, series, startIdx, endIdx);
    if (startIdx != kFirst || endIdx - startIdx != kWindowSamples) {
        std::fprintf(stderr, "bench_line: window %d .. %d\n", startIdx, endIdx);
        std::exit(1);
    }
    line->addChild(shape);

    // The same points the line draws at this time, as plain coordinates.
    SoSeparator *set = new SoSeparator;
    SoCoordinate3 *coords = new SoCoordinate3;
    std::vector<SbVec3f> points;
    for (int i = kFirst; i < kFirst + kWindowSamples; ++i)
        points.emplace_back((float)i * kInterval - (float)kTime, value(i), 0);
    coords->point.setValues(0, (int)points.size(), points.data());
    set->addChild(coords);
    set->addChild(new SoLineSet);

    Scenes s{frame(line), frame(set), clock};
    s.ours->ref();
    s.theirs->ref();
    return s;
}

double cpuSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

struct Run {
    double fps, cpuMs;
};

// Frames per second and CPU milliseconds per frame.
Run measure(TestWindow &window, SoNode *root, int frames, qvTime *advance)
{
    window.makeCurrent();
    SoGLRenderAction action(SbViewportRegion(window.getWidth(), window.getHeight()));
    auto drawOne = [&]() {
        glViewport(0, 0, window.getWidth(), window.getHeight());
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        action.apply(root);
        glFinish();
    };
    drawOne(); // warm-up: caches, first-use costs
    auto start = std::chrono::steady_clock::now();
    double cpuStart = cpuSeconds();
    for (int f = 0; f < frames; ++f) {
        if (advance != nullptr)
            advance->time = SbTime(kTime + (f % 2) / 30.0);
        drawOne();
    }
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = cpuSeconds() - cpuStart;
    if (advance != nullptr)
        advance->time = SbTime(kTime);
    return Run{frames / elapsed, cpu * 1000.0 / frames};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 30;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    qvTestInit();
    TestWindow window(640, 480);
    if (!window.isOpen()) {
        std::fprintf(stderr, "bench_line: no X display\n");
        return 1;
    }
    std::printf("window 640x480, %d samples in the window, %d frames a run, "
                "median of %d alternating runs\n", kWindowSamples, frames, runs);
    std::printf("%-16s %10s %10s %7s   %14s %14s %7s\n", "setting", "qvLine fps",
                "LineSet fps", "ratio", "qvLine cpu ms", "LineSet cpu ms", "ratio");
    Scenes scenes = build();
    for (bool advance : {false, true}) {
        std::vector<double> oursFps, theirsFps, oursCpu, theirsCpu;
        for (int run = 0; run < runs; ++run) {
            Run o = measure(window, scenes.ours, frames, advance ? scenes.clock : nullptr);
            Run t = measure(window, scenes.theirs, frames, nullptr);
            oursFps.push_back(o.fps);
            theirsFps.push_back(t.fps);
            oursCpu.push_back(o.cpuMs);
            theirsCpu.push_back(t.cpuMs);
        }
        double of = median(oursFps), tf = median(theirsFps);
        double oc = median(oursCpu), tc = median(theirsCpu);
        // The CPU ratio is put the same way round: above 1 is ours faster.
        std::printf("%-16s %10.1f %10.1f %7.2f   %14.2f %14.2f %7.2f\n",
                    advance ? "clock advancing" : "still clock", of, tf, of / tf, oc, tc,
                    tc / oc);
    }
    scenes.ours->unref();
    scenes.theirs->unref();
    return 0;
}
