#include <nodes/qvDataBase.h>

SO_NODE_ABSTRACT_SOURCE(qvDataBase);

void qvDataBase::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_ABSTRACT_CLASS(qvDataBase, SoNode, "Node");
}

qvDataBase::qvDataBase()
{
    SO_NODE_CONSTRUCTOR(qvDataBase);
    SO_NODE_ADD_FIELD(node, (nullptr));
    node.setValue(this);
    node.setDefault(TRUE);
}

qvDataBase::~qvDataBase() {}

SoType qvDataBase::getRealClassTypeId() const { return qvDataBase::getClassTypeId(); }
int qvDataBase::getNum() const { return 0; }
int qvDataBase::getNumValues() const { return 0; }
int qvDataBase::getValueTime(int) const { return 0; }
float qvDataBase::getTime(int) const { return 0.0f; }
float qvDataBase::getTimeMin() const { return -1.0f; }
float qvDataBase::getTimeMax() const { return -1.0f; }
int qvDataBase::getIndex(float, int) const { return 0; }
SbBool qvDataBase::isRegularSampled() const { return FALSE; }

void qvDataBase::doAction(SoAction *) {}

void qvDataBase::GLRender(SoGLRenderAction *action)
{
    qvDataBase::doAction((SoAction *)action);
}

void qvDataBase::getBoundingBox(SoGetBoundingBoxAction *action)
{
    qvDataBase::doAction((SoAction *)action);
}

void qvDataBase::callback(SoCallbackAction *action)
{
    qvDataBase::doAction((SoAction *)action);
}

void qvDataBase::pick(SoPickAction *action)
{
    qvDataBase::doAction((SoAction *)action);
}
