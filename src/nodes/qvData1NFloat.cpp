#include <nodes/qvData1NFloat.h>

#include <elements/qvData1Element.h>
#include <nodes/qvSeriesSearch.h>
#include <qvDebug.h>

#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>

#include <cmath>

SO_NODE_SOURCE(qvData1NFloat);

void qvData1NFloat::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvData1NFloat, qvData1Base, "qvData1Base");
}

qvData1NFloat::qvData1NFloat()
{
    SO_NODE_CONSTRUCTOR(qvData1NFloat);
    SO_NODE_ADD_FIELD(time, (0.0f));
    SO_NODE_ADD_FIELD(data, (0.0f));
}

qvData1NFloat::~qvData1NFloat() {}

SoType qvData1NFloat::getRealClassTypeId() const
{
    return qvData1NFloat::getClassTypeId();
}

int qvData1NFloat::commonCount() const
{
    const int nData = data.getNum(), nTime = time.getNum();
    return nData < nTime ? nData : nTime;
}

int qvData1NFloat::getNum() const
{
    QV_REPORT_ASSERT(data.getNum() == time.getNum());
    return commonCount();
}

int qvData1NFloat::getNumValues() const { return data.getNum(); }

float qvData1NFloat::getTime(int index) const
{
    const int n = time.getNum();
    if (n == 0)
        return 0.0f;
    if (index < 0)
        index = 0;
    else if (index >= n)
        index = n - 1;
    return time[index];
}

float qvData1NFloat::getTimeMin() const
{
    return time.getNum() > 0 ? time[0] : -1.0f;
}

float qvData1NFloat::getTimeMax() const
{
    const int n = time.getNum();
    return n > 0 ? time[n - 1] : -1.0f;
}

int qvData1NFloat::getIndex(float t, int startIndex) const
{
    QV_REPORT_ASSERT(time.getNum() == data.getNum());
    const int n = commonCount();
    if (n == 0) {
        QV_WARNING("getIndexByTime: no data in time!" << t);
        return -1;
    }
    return qvNearestTimeIndex(time.getValues(0), n, t, startIndex);
}

SbBool qvData1NFloat::isRegularSampled() const { return FALSE; }

void qvData1NFloat::getValueMinMax(float &min, float &max) const
{
    qvValueRangeWithZero(data.getValues(0), data.getNum(), min, max);
}

const float *qvData1NFloat::getValue(int index) const
{
    if (index < 0 || index >= data.getNum()) {
        QV_WARNING("getValue(): index (" << index << ") out of range,  return -1!");
        return nullptr;
    }
    return data.getValues(index);
}

void qvData1NFloat::doAction(SoAction *action)
{
    if (data.isIgnored() || time.isIgnored())
        return;
    qvData1Element::set(action->getState(), this, qvData1NFloat::getClassTypeId());
}

void qvData1NFloat::GLRender(SoGLRenderAction *action)
{
    doAction((SoAction *)action);
}

void qvData1NFloat::getBoundingBox(SoGetBoundingBoxAction *action)
{
    doAction((SoAction *)action);
}

void qvData1NFloat::callback(SoCallbackAction *action)
{
    doAction((SoAction *)action);
}

void qvData1NFloat::pick(SoPickAction *action)
{
    doAction((SoAction *)action);
}
