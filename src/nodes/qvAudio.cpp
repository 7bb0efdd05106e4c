#include <nodes/qvAudio.h>

#include <elements/qvData1Element.h>
#include <elements/qvTimeElement.h>
#include <nodes/qvAudio/Scrubber.h>
#include <nodes/qvData1RFloatFile.h>
#include <qvDebug.h>

#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>

#include <cmath>

SO_NODE_SOURCE(qvAudio);

void qvAudio::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvAudio, SoNode, "Node");
    SO_ENABLE(SoGLRenderAction, qvTimeElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvTimeElement);
    SO_ENABLE(SoCallbackAction, qvTimeElement);
    SO_ENABLE(SoGLRenderAction, qvData1Element);
    SO_ENABLE(SoGetBoundingBoxAction, qvData1Element);
    SO_ENABLE(SoCallbackAction, qvData1Element);
}

qvAudio::qvAudio()
{
    SO_NODE_CONSTRUCTOR(qvAudio);
    SO_NODE_ADD_FIELD(IORateRatio, (1.0f));
    pScrubber = new Scrubber;
}

qvAudio::~qvAudio() { delete pScrubber; }

void qvAudio::callback(SoCallbackAction *action) { SoNode::callback(action); }

void qvAudio::getBoundingBox(SoGetBoundingBoxAction *action) { SoNode::getBoundingBox(action); }

void qvAudio::GLRender(SoGLRenderAction *action)
{
    SoState *state = action->getState();
    const SbTime time = qvTimeElement::getTime(state);
    const float speed = qvTimeElement::getSpeed(state);

    if (qvData1Element::getType(state) != qvData1RFloatFile::getClassTypeId()) {
        QV_WARNING("GLRender:: Wrong class type of qvData node:"
                   << qvData1RFloatFile::getClassTypeId().getName().getString() << std::endl
                   << "No audio playback! Only nodes of type 'qvData1RFloatFile' accepted!");
        return;
    }
    const qvData1RFloatFile *node = (const qvData1RFloatFile *)qvData1Element::getPtr(state, this);
    if (node == nullptr) {
        QV_REPORT_CHECK("qvData1RFloatFileNode");
        return;
    }

    const SbString &name = node->filename.getValue();
    if (name != pScrubberFileName) {
        pScrubberFileName = name;
        pScrubber->ReinitSound(node->locateFile().getString());
    }
    pScrubber->SetIORateRatio(IORateRatio.getValue());
    pScrubber->SetSpeed(speed);

    // Nothing loaded: there is no position to keep.
    if (pScrubber->GetFrameCount() == 0)
        return;
    if (time == SbTime::zero()) {
        pScrubber->SetFilePos(0);
        return;
    }
    const double t = time.getValue();
    double drift = std::fabs(t - pScrubber->GetFileTime());
    // The file is a loop: a time past its end stands for the same place.
    const double rate = pScrubber->GetSampleRate();
    const long frames = pScrubber->GetFrameCount();
    if (rate > 0.0 && frames > 0) {
        const double duration = (double)frames / rate;
        double at = std::fmod(t, duration);
        if (at < 0.0)
            at += duration;
        drift = std::fabs(at - pScrubber->GetFileTime());
        drift = std::min(drift, duration - drift);
    }
    if (drift > 0.1) {
        QV_WARNING("GLRender: Positioning of play position neccessary!");
        pScrubber->SetFileTime(t);
    }
}
