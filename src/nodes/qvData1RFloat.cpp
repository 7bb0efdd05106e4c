#include <nodes/qvData1RFloat.h>

#include <elements/qvData1Element.h>
#include <elements/qvTimeElement.h>
#include <nodes/qvSeriesSearch.h>
#include <qvDebug.h>

#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>

SO_NODE_SOURCE(qvData1RFloat);

void qvData1RFloat::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvData1RFloat, qvData1Base, "qvData1Base");
    SO_ENABLE(SoGLRenderAction, qvData1Element);
    SO_ENABLE(SoGetBoundingBoxAction, qvData1Element);
    SO_ENABLE(SoRayPickAction, qvData1Element);
    SO_ENABLE(SoGLRenderAction, qvTimeElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvTimeElement);
    SO_ENABLE(SoRayPickAction, qvTimeElement);
}

qvData1RFloat::qvData1RFloat()
{
    SO_NODE_CONSTRUCTOR(qvData1RFloat);
    SO_NODE_ADD_FIELD(startTime, (0.0f));
    SO_NODE_ADD_FIELD(interval, (0.0f));
    SO_NODE_ADD_FIELD(data, (0.0f));
}

qvData1RFloat::~qvData1RFloat() {}

SoType qvData1RFloat::getRealClassTypeId() const
{
    return qvData1RFloat::getClassTypeId();
}

int qvData1RFloat::getNum() const { return data.getNum(); }
int qvData1RFloat::getNumValues() const { return data.getNum(); }

float qvData1RFloat::getTime(int index) const
{
    return startTime.getValue() + (float)index * interval.getValue();
}

float qvData1RFloat::getTimeMin() const { return startTime.getValue(); }

float qvData1RFloat::getTimeMax() const
{
    return startTime.getValue() + (float)(data.getNum() - 1) * interval.getValue();
}

int qvData1RFloat::getIndex(float time, int) const
{
    const float start = startTime.getValue();
    const float step = interval.getValue();
    const float end = start + (float)data.getNum() * step;
    if (time < start || time > end) {
        QV_WARNING("getIndex(): time (" << time << ")out of Range,  return -1!");
        return -1;
    }
    // With a zero interval every in-range time is the start time.
    if (step == 0.0f)
        return 0;
    return (int)((double)(time - start) / step + 0.5);
}

SbBool qvData1RFloat::isRegularSampled() const { return TRUE; }

void qvData1RFloat::getValueMinMax(float &min, float &max) const
{
    qvValueRangeWithZero(data.getValues(0), data.getNum(), min, max);
}

const float *qvData1RFloat::getValue(int index) const
{
    if (index < 0 || index >= data.getNum()) {
        QV_WARNING("getValue(): index (" << index << ") out of range,  return -1!");
        return nullptr;
    }
    return data.getValues(index);
}

SbBool qvData1RFloat::isIgnoredAny() const
{
    return data.isIgnored() || startTime.isIgnored() || interval.isIgnored();
}

void qvData1RFloat::doAction(SoAction *action)
{
    if (isIgnoredAny())
        return;
    qvData1Element::set(action->getState(), this, qvData1RFloat::getClassTypeId());
}

void qvData1RFloat::GLRender(SoGLRenderAction *action)
{
    doAction((SoAction *)action);
}

void qvData1RFloat::getBoundingBox(SoGetBoundingBoxAction *action)
{
    doAction((SoAction *)action);
}

void qvData1RFloat::callback(SoCallbackAction *action)
{
    doAction((SoAction *)action);
}

void qvData1RFloat::pick(SoPickAction *action)
{
    doAction((SoAction *)action);
}
