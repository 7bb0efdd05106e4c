// Shows a scene and plays it: the first qvTime of the scene runs the
// clock, and keys change its speed so that the sound scrubs along.
//   f forward (speed 1)   b backward (speed -1)   space stop (speed 0)
//   + twice as fast       - half as fast          r back to time 0
// With the scene's first qvData1RFloatFile known, the time wraps around
// the series' length, so that waveform and sound loop together.
#include <misc/qvSceneDirectory.h>
#include <qvSuiteAll.h>

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/Xt/SoXt.h>
#include <Inventor/Xt/viewers/SoXtPlaneViewer.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/events/SoKeyboardEvent.h>
#include <Inventor/nodes/SoCamera.h>
#include <Inventor/nodes/SoEventCallback.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/sensors/SoTimerSensor.h>

#include <X11/Intrinsic.h>
#include <cstdio>
#include <string>

namespace {

qvTime *clockNode = nullptr;
qvData1RFloatFile *series = nullptr;

SoNode *findFirst(SoNode *root, SoType type)
{
    SoSearchAction search;
    search.setType(type);
    search.setInterest(SoSearchAction::FIRST);
    search.apply(root);
    return search.getPath() != nullptr ? search.getPath()->getTail() : nullptr;
}

void setSpeed(float speed)
{
    clockNode->speed = speed;
    std::printf("speed %g\n", speed);
    std::fflush(stdout);
}

void keyCB(void *, SoEventCallback *cb)
{
    const SoKeyboardEvent *key = (const SoKeyboardEvent *)cb->getEvent();
    if (key->getState() != SoButtonEvent::DOWN)
        return;
    const float speed = clockNode->speed.getValue();
    switch (key->getKey()) {
    case SoKeyboardEvent::F: setSpeed(1.0f); break;
    case SoKeyboardEvent::B: setSpeed(-1.0f); break;
    case SoKeyboardEvent::SPACE: setSpeed(0.0f); break;
    case SoKeyboardEvent::PAD_ADD:
    case SoKeyboardEvent::EQUAL: setSpeed(speed == 0.0f ? 1.0f : speed * 2.0f); break;
    case SoKeyboardEvent::PAD_SUBTRACT:
    case SoKeyboardEvent::MINUS: setSpeed(speed * 0.5f); break;
    case SoKeyboardEvent::R: clockNode->time = SbTime::zero(); break;
    default: return;
    }
    cb->setHandled();
}

// Keeps the time inside the series, wrapping at both ends.
void wrapCB(void *, SoSensor *)
{
    if (series == nullptr || series->getNum() < 2)
        return;
    const double length = series->getTimeMax() - series->getTimeMin();
    const double t = clockNode->time.getValue().getValue();
    if (length <= 0.0)
        return;
    if (t >= length)
        clockNode->time = SbTime(t - length);
    else if (t < 0.0)
        clockNode->time = SbTime(t + length);
}

} // namespace

int main(int argc, char **argv)
{
    // Standard Xt options (-geometry, -display, ...) come first.
    XtAppContext app;
    Widget top = XtAppInitialize(&app, "QvScenePlayer", nullptr, 0, &argc, argv, nullptr, nullptr, 0);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s [Xt options] scene.iv\n", argv[0]);
        return 2;
    }
    SoXt::init(top);
    qvSuite::initClasses();
    SoInput in;
    if (!in.openFile(argv[1]))
        return 1;
    qvAddSceneDirectory(argv[1]);
    SoSeparator *scene = SoDB::readAll(&in);
    if (scene == nullptr) {
        std::fprintf(stderr, "%s: cannot read the scene\n", argv[1]);
        return 1;
    }
    SoSeparator *root = new SoSeparator;
    root->ref();
    SoEventCallback *keys = new SoEventCallback;
    keys->addEventCallback(SoKeyboardEvent::getClassTypeId(), keyCB, nullptr);
    root->addChild(keys);
    root->addChild(scene);

    clockNode = (qvTime *)findFirst(root, qvTime::getClassTypeId());
    series = (qvData1RFloatFile *)findFirst(root, qvData1RFloatFile::getClassTypeId());
    if (clockNode == nullptr) {
        std::fprintf(stderr, "%s: the scene has no qvTime\n", argv[1]);
        return 1;
    }
    SoTimerSensor wrap(wrapCB, nullptr);
    wrap.setInterval(SbTime(1.0 / 30.0));
    wrap.schedule();

    SoXtPlaneViewer *viewer = new SoXtPlaneViewer(top);
    viewer->setSceneGraph(root);
    viewer->setTitle((std::string("qvScenePlayer: ") + argv[1]).c_str());
    viewer->setSize(SbVec2s(800, 400));
    viewer->show();
    if (findFirst(root, SoCamera::getClassTypeId()) == nullptr)
        viewer->viewAll();
    viewer->setViewing(FALSE); // keys go to the scene
    SoXt::show(top);
    SoXt::mainLoop();
    return 0;
}
