#include <nodes/qvData1Marks.h>

#include <elements/qvDataMarksElement.h>
#include <nodes/qvSeriesSearch.h>
#include <qvDebug.h>

#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>

#include <cmath>

SO_NODE_SOURCE(qvData1Marks);

void qvData1Marks::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvData1Marks, qvData1Base, "qvData1Base");
    SO_ENABLE(SoGLRenderAction, qvDataMarksElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvDataMarksElement);
    SO_ENABLE(SoRayPickAction, qvDataMarksElement);
}

qvData1Marks::qvData1Marks()
{
    SO_NODE_CONSTRUCTOR(qvData1Marks);
    SO_NODE_ADD_FIELD(marks, (0.0f));
    SO_NODE_ADD_FIELD(color, (0.0f, 0.0f, 1.0f));
}

qvData1Marks::~qvData1Marks() {}

SoType qvData1Marks::getRealClassTypeId() const
{
    return qvData1Marks::getClassTypeId();
}

int qvData1Marks::getNum() const { return marks.getNum(); }
int qvData1Marks::getNumValues() const { return marks.getNum(); }

float qvData1Marks::getTime(int index) const
{
    if (index < 0 || index >= marks.getNum()) {
        QV_WARNING("getValue(): index (" << index << ") out of range,  return -1!");
        return 0.0f;
    }
    return marks[index];
}

float qvData1Marks::getTimeMin() const
{
    return marks.getNum() > 0 ? marks[0] : 0.0f;
}

float qvData1Marks::getTimeMax() const
{
    const int n = marks.getNum();
    return n > 0 ? marks[n - 1] : 0.0f;
}

int qvData1Marks::getIndex(float t, int startIndex) const
{
    const int n = marks.getNum();
    if (n == 0) {
        QV_WARNING("getIndexByTime: no data in time!" << t);
        return -1;
    }
    return qvNearestTimeIndex(marks.getValues(0), n, t, startIndex);
}

SbBool qvData1Marks::isRegularSampled() const { return TRUE; }

void qvData1Marks::getValueMinMax(float &min, float &max) const
{
    const int n = marks.getNum();
    if (n == 0) {
        min = max = 0.0f;
        return;
    }
    min = marks[0];
    max = marks[n - 1];
}

const float *qvData1Marks::getValue(int index) const
{
    if (index < 0 || index >= marks.getNum()) {
        QV_WARNING("getValue(): index (" << index << ") out of range,  return -1!");
        return nullptr;
    }
    return marks.getValues(index);
}

void qvData1Marks::doAction(SoAction *action)
{
    if (marks.isIgnored())
        return;
    qvDataMarksElement::set(action->getState(), this, qvData1Marks::getClassTypeId());
}

void qvData1Marks::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }
void qvData1Marks::getBoundingBox(SoGetBoundingBoxAction *action) { doAction((SoAction *)action); }
void qvData1Marks::callback(SoCallbackAction *action) { doAction((SoAction *)action); }
void qvData1Marks::pick(SoPickAction *action) { doAction((SoAction *)action); }
