// The renderer program, shared by qvRenderer and qvRendererTest: opens one
// scene file in a qvRendererViewer with the render parameters of the
// command line. The two builds differ only in whether the program takes a
// reference on the scene root before handing it to the viewer.
#ifndef QV_RENDERER_MAIN_H
#define QV_RENDERER_MAIN_H

#include <misc/qvSceneDirectory.h>
#include <Xt/qvRendererViewer.h>
#include <nodes/qvSuite.h>

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/Xt/SoXt.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/sensors/SoOneShotSensor.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace qvRendererProgram {

inline float g_startTime = 0.0f;
inline float g_length = 0.4f;
inline float g_speed = 1.0f;
inline const char *g_outfilename = "test.mv";
inline const char *g_FileOutFormatString = nullptr;
inline const char *g_infilename = nullptr;
inline bool g_batch = false; // -b: render at once, exit when the movie is closed

inline void usage(const char *program)
{
    std::printf("Usage: %s -t <startTime> -l <length> -s <speed> -o <output> -F <format> file.iv\n",
                program);
}

inline void finishedCB(void *, qvRendererViewer *viewer)
{
    std::fprintf(stderr, "movie written: %s\n", viewer->getMovieName());
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(0);
}

inline void startCB(void *data, SoSensor *)
{
    qvRendererViewer *viewer = (qvRendererViewer *)data;
    if (!viewer->startRender()) {
        std::fprintf(stderr, "no render started\n");
        std::exit(1);
    }
}

inline int run(int argc, char **argv, bool referenceRoot)
{
    if (argc < 2) {
        usage(argv[0]);
        return 1;
    }
    opterr = 0; // the unknown-option message below is the only one
    int option;
    while ((option = getopt(argc, argv, "t:l:s:o:F:b")) != -1) {
        switch (option) {
        case 't': g_startTime = (float)std::atof(optarg); break;
        case 'l': g_length = (float)std::atof(optarg); break;
        case 's': g_speed = (float)std::atof(optarg); break;
        case 'o': g_outfilename = optarg; break;
        case 'F': g_FileOutFormatString = optarg; break;
        case 'b': g_batch = true; break;
        default:
            std::fprintf(stderr, "unknown option%d\n", optopt);
            return -1;
        }
    }
    if (optind >= argc) {
        usage(argv[0]);
        return 1;
    }
    g_infilename = argv[optind];
    std::fprintf(stderr, "file in: %s\n", g_infilename);

    Widget mainWindow = SoXt::init(argv[0], "Inventor");
    if (mainWindow == NULL)
        return 1;
    qvSuite::initClasses(); // scenes may use the toolkit's nodes at once

    SoInput in;
    if (!in.openFile(g_infilename))
        return 1;
    qvAddSceneDirectory(g_infilename);
    SoSeparator *root = SoDB::readAll(&in);
    if (root == NULL) {
        std::fprintf(stderr, "%s: no scene could be read from %s\n", argv[0], g_infilename);
        return 1;
    }
    if (referenceRoot)
        root->ref();

    qvRendererViewer *viewer = new qvRendererViewer(
        mainWindow, NULL, TRUE, SoXtFullViewer::BUILD_ALL, SoXtViewer::BROWSER);
    viewer->setSceneGraph(root);
    viewer->setStartTime(SbTime((double)g_startTime));
    viewer->setLength(SbTime((double)g_length));
    viewer->setSpeed(g_speed);
    viewer->setMovieName(g_outfilename);
    viewer->setTitle("qvRendererViewer Test");
    viewer->show();
    SoXt::show(mainWindow);

    if (g_batch) {
        viewer->setReportProgress(TRUE);
        viewer->setFinishCallback(finishedCB, nullptr);
        SoOneShotSensor *start = new SoOneShotSensor(startCB, viewer);
        start->schedule();
    }
    SoXt::mainLoop();
    return 0;
}

} // namespace qvRendererProgram

#endif
