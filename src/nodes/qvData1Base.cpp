#include <nodes/qvData1Base.h>

#include <elements/qvData1Element.h>

#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>

SO_NODE_ABSTRACT_SOURCE(qvData1Base);

void qvData1Base::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_ABSTRACT_CLASS(qvData1Base, qvDataBase, "qvDataBase");
    SO_ENABLE(SoGLRenderAction, qvData1Element);
    SO_ENABLE(SoGetBoundingBoxAction, qvData1Element);
    SO_ENABLE(SoRayPickAction, qvData1Element);
}

qvData1Base::qvData1Base()
{
    SO_NODE_CONSTRUCTOR(qvData1Base);
}

qvData1Base::~qvData1Base() {}

SoType qvData1Base::getRealClassTypeId() const { return qvData1Base::getClassTypeId(); }

void qvData1Base::getValueMinMax(float &, float &) const {}

void qvData1Base::doAction(SoAction *) {}

void qvData1Base::GLRender(SoGLRenderAction *action)
{
    qvData1Base::doAction((SoAction *)action);
}

void qvData1Base::getBoundingBox(SoGetBoundingBoxAction *action)
{
    doAction((SoAction *)action);
}

void qvData1Base::callback(SoCallbackAction *action)
{
    doAction((SoAction *)action);
}

void qvData1Base::pick(SoPickAction *action)
{
    doAction((SoAction *)action);
}
