#include <nodes/qvData2Base.h>

#include <elements/qvData2Element.h>

#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>

SO_NODE_ABSTRACT_SOURCE(qvData2Base);

void qvData2Base::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_ABSTRACT_CLASS(qvData2Base, qvDataBase, "qvDataBase");
    SO_ENABLE(SoGLRenderAction, qvData2Element);
    SO_ENABLE(SoGetBoundingBoxAction, qvData2Element);
    SO_ENABLE(SoRayPickAction, qvData2Element);
    SO_ENABLE(SoCallbackAction, qvData2Element);
}

qvData2Base::qvData2Base()
{
    SO_NODE_CONSTRUCTOR(qvData2Base);
}

qvData2Base::~qvData2Base() {}

SoType qvData2Base::getRealClassTypeId() const { return qvData2Base::getClassTypeId(); }

void qvData2Base::getValueMinMax(float &min, float &max) const
{
    min = 0.0f;
    max = 0.0f;
}

void qvData2Base::getDim2MinMax(float &min, float &max) const
{
    min = 0.0f;
    max = 0.0f;
}

int qvData2Base::getIndex2(float, int) const { return 0; }
int qvData2Base::getNum2() const { return 0; }

void qvData2Base::doAction(SoAction *) {}

void qvData2Base::GLRender(SoGLRenderAction *action)
{
    qvData2Base::doAction((SoAction *)action);
}

void qvData2Base::getBoundingBox(SoGetBoundingBoxAction *action)
{
    qvData2Base::doAction((SoAction *)action);
}

void qvData2Base::callback(SoCallbackAction *action)
{
    qvData2Base::doAction((SoAction *)action);
}

void qvData2Base::pick(SoPickAction *action)
{
    qvData2Base::doAction((SoAction *)action);
}
