#include <nodes/qvData2RNFloat.h>

#include <elements/qvData2Element.h>
#include <nodes/qvSeriesSearch.h>
#include <qvDebug.h>

#include <Inventor/actions/SoAction.h>

SO_NODE_SOURCE(qvData2RNFloat);

void qvData2RNFloat::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvData2RNFloat, qvData2Base, "qvData2Base");
}

qvData2RNFloat::qvData2RNFloat()
{
    SO_NODE_CONSTRUCTOR(qvData2RNFloat);
    SO_NODE_ADD_FIELD(startTime, (0.0f));
    SO_NODE_ADD_FIELD(interval, (0.0f));
    SO_NODE_ADD_FIELD(data, (0.0f));
    SO_NODE_ADD_FIELD(dim2, (0.0f));
}

qvData2RNFloat::~qvData2RNFloat() {}

SoType qvData2RNFloat::getRealClassTypeId() const
{
    return qvData2RNFloat::getClassTypeId();
}

int qvData2RNFloat::getNum() const
{
    const int values = data.getNum();
    const int num2 = dim2.getNum();
    if (num2 == 0) {
        QV_WARNING("getNum(): field dim2 holds no values, so field data ("
                   << values << " values) holds no steps");
        return 0;
    }
    const int remain = values % num2;
    if (remain != 0)
        QV_WARNING("getNum():Number of values in field data (" << values
                   << ") does not fit to number of values in field dim2 ("
                   << num2 << ") remain:" << remain);
    return values / num2;
}

int qvData2RNFloat::getNumValues() const { return data.getNum(); }
int qvData2RNFloat::getNum2() const { return dim2.getNum(); }

float qvData2RNFloat::getTime(int index) const
{
    return startTime.getValue() + (float)index * interval.getValue();
}

float qvData2RNFloat::getTimeMin() const { return startTime.getValue(); }

float qvData2RNFloat::getTimeMax() const
{
    return startTime.getValue() + (float)(getNum() - 1) * interval.getValue();
}

int qvData2RNFloat::getIndex(float time, int) const
{
    const float start = startTime.getValue();
    const float step = interval.getValue();
    const float end = start + (float)getNum() * step;
    if (time < start || time > end) {
        QV_WARNING("getIndex(): time (" << time << ")out of Range,  return -1!");
        return -1;
    }
    if (step == 0.0f)
        return 0;
    return (int)((time - start + step / 2.0f) / step);
}

int qvData2RNFloat::getIndex2(float, int) const { return 0; }

SbBool qvData2RNFloat::isRegularSampled() const { return TRUE; }

void qvData2RNFloat::getValueMinMax(float &min, float &max) const
{
    qvValueRangeWithZero(data.getValues(0), data.getNum(), min, max);
}

void qvData2RNFloat::getDim2MinMax(float &min, float &max) const
{
    const int n = dim2.getNum();
    if (n == 0) {
        min = 0.0f;
        max = 0.0f;
        return;
    }
    const float *values = dim2.getValues(0);
    min = max = values[0];
    for (int j = 0; j < n; ++j) {
        const float x = values[j];
        if (max < x)
            max = x;
        if (x < min)
            min = x;
    }
}

const float *qvData2RNFloat::getValue(int index, int index2) const
{
    const int num2 = dim2.getNum();
    if (index < 0 || index >= getNum()) {
        QV_WARNING("getValue(): index (" << index << ") out of range,  return -1!");
        return nullptr;
    }
    if (index2 < 0 || index2 >= num2) {
        QV_WARNING("getValue(): index2 (" << index2 << ") out of range,  return -1!");
        return nullptr;
    }
    return data.getValues(index * num2 + index2);
}

SbBool qvData2RNFloat::isIgnoredAny() const
{
    return data.isIgnored() || startTime.isIgnored() || interval.isIgnored();
}

void qvData2RNFloat::doAction(SoAction *action)
{
    if (isIgnoredAny())
        return;
    qvData2Element::set(action->getState(), this, qvData2RNFloat::getClassTypeId());
}

void qvData2RNFloat::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }
void qvData2RNFloat::getBoundingBox(SoGetBoundingBoxAction *action) { doAction((SoAction *)action); }
void qvData2RNFloat::callback(SoCallbackAction *action) { doAction((SoAction *)action); }
void qvData2RNFloat::pick(SoPickAction *action) { doAction((SoAction *)action); }
