#include <nodes/qvTime.h>

#include <dmedia/dmedia.h>
#include <elements/qvTimeElement.h>

#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>

SO_NODE_SOURCE(qvTime);

void qvTime::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvTime, SoNode, "Node");
    SO_ENABLE(SoGLRenderAction, qvTimeElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvTimeElement);
    SO_ENABLE(SoCallbackAction, qvTimeElement);
}

static long long clockNow()
{
    stamp_t now = 0;
    dmGetUST(&now);
    return now;
}

qvTime::qvTime()
{
    SO_NODE_CONSTRUCTOR(qvTime);
    SO_NODE_ADD_FIELD(time, (SbTime::zero()));
    SO_NODE_ADD_FIELD(speed, (0.0f));
    refTime = time.getValue();
    lastSpeed = speed.getValue();
    ust = 0;

    timer = new SoTimerSensor(updateTimeFieldCB, this);
    timer->setInterval(SbTime(1.0 / 30.0));
    if (speed.getValue() != 0.0f)
        timer->schedule();

    timeSensor = new SoFieldSensor(_timeFldChangedCB, this);
    timeSensor->setPriority(0);
    timeSensor->attach(&time);
    speedSensor = new SoFieldSensor(_speedFldChangedCB, this);
    speedSensor->setPriority(0);
    speedSensor->attach(&speed);
}

qvTime::~qvTime()
{
    delete timer;
    delete timeSensor;
    delete speedSensor;
}

void qvTime::doAction(SoAction *action)
{
    if (time.isIgnored() || speed.isIgnored())
        return;
    qvTimeElement::set(action->getState(), time.getValue(), speed.getValue(),
                       ust, this);
}

void qvTime::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }
void qvTime::getBoundingBox(SoGetBoundingBoxAction *action) { doAction((SoAction *)action); }
void qvTime::callback(SoCallbackAction *action) { doAction((SoAction *)action); }
void qvTime::pick(SoPickAction *action) { doAction((SoAction *)action); }

void qvTime::updateTimeFieldCB(void *data, SoSensor *)
{
    ((qvTime *)data)->updateTimeField();
}

void qvTime::updateTimeField()
{
    const long long now = clockNow();
    const double elapsed = (double)(now - ust);
    const double delta = (double)speed.getValue() * (elapsed / 1000000000.0);
    if (delta == 0.0)
        return;
    time.setValue(refTime + SbTime(delta));
}

void qvTime::_timeFldChangedCB(void *data, SoSensor *)
{
    qvTime *self = (qvTime *)data;
    const long long now = clockNow();
    const SbTime value = self->time.getValue();
    if (value == self->refTime)
        return;
    self->refTime = value;
    self->ust = now;
}

void qvTime::_speedFldChangedCB(void *data, SoSensor *)
{
    qvTime *self = (qvTime *)data;
    const long long now = clockNow();
    const float value = self->speed.getValue();
    if (value == self->lastSpeed)
        return;
    self->refTime = self->time.getValue();
    self->lastSpeed = value;
    self->ust = now;
    if (value == 0.0f)
        self->timer->unschedule();
    else
        self->timer->schedule();
}
