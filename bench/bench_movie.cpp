// Movie frames per second: the renderer (draw the scene in the 640 x 480
// render window, read it back, compress it to JPEG, write it) against
// ffmpeg compressing the same frames, as raw 640 x 480 RGBA, to MJPEG
// (encode only) at the quality step whose output size is nearest ours.
//   bench_movie [scene.iv] [frames]      (under xvfb-run without a display)
#include "TestSupport.h"

#include <Xt/qvRendererViewer.h>

#include <Inventor/SoInput.h>
#include <Inventor/Xt/SoXt.h>
#include <Inventor/nodes/SoSeparator.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool finished = false;
void finishedCB(void *, qvRendererViewer *) { finished = true; }

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long long fileSize(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (long long)st.st_size : -1;
}

double timed(const std::string &command)
{
    double t0 = now();
    ProgramResult r = runProgram(command);
    double t = now() - t0;
    if (r.status != 0) {
        std::fprintf(stderr, "failed: %s\n%s", command.c_str(), r.err.c_str());
        std::exit(1);
    }
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    std::string scene = argc > 1 ? argv[1] : std::string(QV_BINARY_DIR) + "/examples/demo/demo.iv";
    int frames = argc > 2 ? std::atoi(argv[2]) : 150;
    std::string dir = makeTempDir();
    std::string movie = dir + "/bench.mov";

    Widget top = SoXt::init("bench_movie", "Inventor");
    qvRendererViewer *viewer = new qvRendererViewer(top, NULL, TRUE, SoXtFullViewer::BUILD_ALL,
                                                    SoXtViewer::BROWSER);
    // Files the scene names (its sound) are found beside it.
    std::string sceneDir = scene.find('/') != std::string::npos ? scene.substr(0, scene.rfind('/')) : ".";
    SoInput::addDirectoryFirst(sceneDir.c_str());
    SoSeparator *root = readSceneFile(scene);
    if (root == nullptr) {
        std::fprintf(stderr, "cannot read %s\n", scene.c_str());
        return 1;
    }
    root->ref();
    viewer->setSceneGraph(root);
    viewer->setStartTime(SbTime(1.0));
    viewer->setLength(SbTime((frames - 1) / 30.0));
    viewer->setMovieName(movie.c_str());
    viewer->setFinishCallback(finishedCB, nullptr);
    viewer->show();
    SoXt::show(top);

    // The diagnostics of every frame go to a file, not the terminal.
    std::string log = dir + "/render.log";
    int savedErr = dup(2);
    if (std::freopen(log.c_str(), "w", stderr) == nullptr)
        return 1;
    double t0 = now();
    viewer->startRender();
    XtAppContext app = SoXt::getAppContext();
    while (!finished)
        XtAppProcessEvent(app, XtIMAll);
    double ours = now() - t0 - 2.0; // less the start delay
    std::fflush(stderr);
    dup2(savedErr, 2);

    // The same frames as raw RGBA for ffmpeg.
    std::string raw = dir + "/frames.rgba";
    timed("ffmpeg -v error -y -i '" + movie + "' -f rawvideo -pix_fmt rgba '" + raw + "'");
    long long rawBytes = fileSize(raw);
    int rawFrames = (int)(rawBytes / (640LL * 480 * 4));
    long long ourBytes = fileSize(movie);

    // The quality step nearest our size.
    int bestQ = 2;
    long long bestDiff = -1;
    for (int q = 2; q <= 10; ++q) {
        std::string out = dir + "/q.mov";
        timed("ffmpeg -v error -y -f rawvideo -pix_fmt rgba -s 640x480 -r 30 -i '" + raw +
              "' -frames:v 30 -c:v mjpeg -pix_fmt yuvj422p -q:v " + std::to_string(q) + " '" + out + "'");
        long long perFrame = fileSize(out) / 30;
        long long diff = std::llabs(perFrame - ourBytes / std::max(1, rawFrames));
        if (bestDiff < 0 || diff < bestDiff)
            bestDiff = diff, bestQ = q;
    }
    std::string encode = "ffmpeg -v error -y -f rawvideo -pix_fmt rgba -s 640x480 -r 30 -i '" + raw +
                         "' -c:v mjpeg -pix_fmt yuvj422p -q:v " + std::to_string(bestQ);
    // ffmpeg's own start (loading its libraries) is not encoding: the time
    // of a run that encodes one frame is taken off.
    double ffStart = timed(encode + " -frames:v 1 '" + dir + "/one.mov'");
    double ffAll = timed(encode + " '" + dir + "/ff.mov'") - ffStart;
    double ffOne = timed(encode + " -threads 1 '" + dir + "/ff1.mov'") - ffStart;

    std::printf("ffmpeg start (one frame): %.3f s, taken off its times\n", ffStart);
    std::printf("frames: %d (movie %lld bytes, %lld per frame; ffmpeg -q:v %d gives %lld per frame)\n",
                rawFrames, ourBytes, ourBytes / std::max(1, rawFrames), bestQ,
                fileSize(dir + "/ff.mov") / std::max(1, rawFrames));
    std::printf("ours   (render, read back, compress, write): %7.1f frames/s\n", rawFrames / ours);
    std::printf("ffmpeg (encode only, default threads):       %7.1f frames/s   ratio ours/ffmpeg %.2f\n",
                rawFrames / ffAll, ffAll / ours);
    std::printf("ffmpeg (encode only, one thread):            %7.1f frames/s   ratio ours/ffmpeg %.2f\n",
                rawFrames / ffOne, ffOne / ours);
    runProgram("rm -rf '" + dir + "'");
    return 0;
}
