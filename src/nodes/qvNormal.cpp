#include <nodes/qvNormal.h>

#include <elements/qvNormalElement.h>

#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>

SO_NODE_SOURCE(qvNormal);

void qvNormal::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvNormal, SoNode, "Node");
    SO_ENABLE(SoGLRenderAction, qvNormalElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvNormalElement);
}

qvNormal::qvNormal()
{
    SO_NODE_CONSTRUCTOR(qvNormal);
    SO_NODE_ADD_FIELD(vector, (0));
}

qvNormal::~qvNormal() {}

void qvNormal::doAction(SoAction *action)
{
    if (vector.isIgnored())
        return;
    // The element is not enabled in every action; set() then does nothing.
    qvNormalElement::set(action->getState(), this, qvNormal::getClassTypeId());
}

void qvNormal::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }
void qvNormal::getBoundingBox(SoGetBoundingBoxAction *action) { doAction((SoAction *)action); }
void qvNormal::callback(SoCallbackAction *action) { doAction((SoAction *)action); }
void qvNormal::pick(SoPickAction *action) { doAction((SoAction *)action); }
