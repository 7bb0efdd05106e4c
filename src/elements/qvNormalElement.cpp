#include <elements/qvNormalElement.h>

#include <cstdio>

SO_ELEMENT_SOURCE(qvNormalElement);

void qvNormalElement::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_ELEMENT_INIT_CLASS(qvNormalElement, qvNodeElement);
}

qvNormalElement::~qvNormalElement() {}

void qvNormalElement::init(SoState *state)
{
    qvNodeElement::init(state);
    normalNode = nullptr;
}

void qvNormalElement::push(SoState *)
{
    const qvNormalElement *below = (const qvNormalElement *)getNextInStack();
    if (below == nullptr) {
        std::fprintf(stderr, "Cannot find a qvNormalElement to push\n");
        return;
    }
    normalNode = below->normalNode;
    type = below->type;
}

SbBool qvNormalElement::matches(const SoElement *elt) const
{
    return elt != nullptr && ((const qvNormalElement *)elt)->normalNode == normalNode;
}

SoElement *qvNormalElement::copyMatchInfo() const
{
    qvNormalElement *copy = (qvNormalElement *)getTypeId().createInstance();
    copy->normalNode = normalNode;
    copy->type = type;
    return copy;
}

void qvNormalElement::setElt(qvNormal *n, SoType t)
{
    normalNode = n;
    type = t;
}

void qvNormalElement::set(SoState *state, qvNormal *n, SoType t)
{
    if (n == nullptr) {
        QV_WARNING("setDataFloatNode qvData1RFloat *floatNode is NULL!! return!");
        return;
    }
    if (state == nullptr || !state->isElementEnabled(classStackIndex))
        return;
    qvNormalElement *elt = (qvNormalElement *)state->getElement(classStackIndex);
    if (elt != nullptr)
        elt->setElt(n, t);
}
