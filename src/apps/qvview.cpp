// Small scene viewer: shows the .iv file given on the command line in an
// examiner viewer. The toolkit's types are registered up front, so scenes
// without a kit node read too. Closing the window, SIGINT and SIGTERM end
// it cleanly.
#include <misc/qvSceneDirectory.h>
#include <qvSuiteAll.h>

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/Xt/SoXt.h>
#include <Inventor/Xt/viewers/SoXtExaminerViewer.h>
#include <Inventor/nodes/SoSeparator.h>

#include <X11/Intrinsic.h>
#include <Xm/Protocols.h>
#include <Xm/Xm.h>
#include <csignal>
#include <cstdio>
#include <string>

namespace {

XtSignalId quitSignal;
bool quitRequested = false;

void signalHandler(int)
{
    XtNoticeSignal(quitSignal);
}

void quitCB(XtPointer, XtSignalId *)
{
    quitRequested = true;
}

void windowClosedCB(Widget, XtPointer, XtPointer)
{
    quitRequested = true;
}

} // namespace

int main(int argc, char **argv)
{
    // Xt takes its own options (-display, -geometry, -xrm ...) first.
    XtAppContext app;
    Widget top = XtAppInitialize(&app, "Qvview", nullptr, 0, &argc, argv,
                                 nullptr, nullptr, 0);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s [Xt options] scene.iv\n", argv[0]);
        return 2;
    }
    SoXt::init(top);
    qvSuite::initClasses();

    SoInput in;
    if (!in.openFile(argv[1])) {
        std::fprintf(stderr, "%s: cannot open %s\n", argv[0], argv[1]);
        return 1;
    }
    qvAddSceneDirectory(argv[1]);
    SoSeparator *root = SoDB::readAll(&in);
    if (root == nullptr) {
        std::fprintf(stderr, "%s: cannot read a scene from %s\n", argv[0], argv[1]);
        return 1;
    }
    root->ref();

    SoXtExaminerViewer *viewer = new SoXtExaminerViewer(top);
    viewer->setSceneGraph(root);
    std::string title = std::string("qvview: ") + argv[1];
    viewer->setTitle(title.c_str());
    viewer->setSize(SbVec2s(640, 480));
    viewer->show();
    SoXt::show(top);

    // Closing the window ends the program like a signal does.
    XtVaSetValues(top, XmNdeleteResponse, XmDO_NOTHING, NULL);
    Atom deleteWindow = XmInternAtom(XtDisplay(top), (char *)"WM_DELETE_WINDOW", False);
    XmAddWMProtocolCallback(top, deleteWindow, windowClosedCB, nullptr);

    quitSignal = XtAppAddSignal(app, quitCB, nullptr);
    std::signal(SIGINT, signalHandler);
    std::signal(SIGTERM, signalHandler);

    while (!quitRequested)
        XtAppProcessEvent(app, XtIMAll);

    delete viewer;
    root->unref();
    return 0;
}
