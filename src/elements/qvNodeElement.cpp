#include <elements/qvNodeElement.h>

#include <cstdio>
#include <cstdlib>

SO_ELEMENT_ABSTRACT_SOURCE(qvNodeElement);

void qvNodeElement::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_ELEMENT_INIT_ABSTRACT_CLASS(qvNodeElement, SoReplacedElement);
    // No stack of its own: every subclass gets a stack index of its own.
    classStackIndex = -1;
}

qvNodeElement::~qvNodeElement() {}

void qvNodeElement::init(SoState *state)
{
    SoReplacedElement::init(state);
    node = nullptr;
    type = SoType::badType();
}

void qvNodeElement::push(SoState *)
{
    const qvNodeElement *below = (const qvNodeElement *)getNextInStack();
    if (below == nullptr) {
        std::fprintf(stderr, "Cannot find a %s to push\n",
                     getTypeId().getName().getString());
        return;
    }
    node = below->node;
    type = below->type;
}

void qvNodeElement::pop(SoState *, const SoElement *) {}

SbBool qvNodeElement::matches(const SoElement *elt) const
{
    return elt != nullptr && ((const qvNodeElement *)elt)->node == node;
}

SoElement *qvNodeElement::copyMatchInfo() const
{
    qvNodeElement *copy = (qvNodeElement *)getTypeId().createInstance();
    copy->node = node;
    copy->type = type;
    return copy;
}

void qvNodeElement::setElt(const qvDataBase *n, SoType t)
{
    node = n;
    type = t;
}

void qvNodeElement::set(SoState *, const qvDataBase *n, SoType)
{
    // The abstract element has no stack to publish into.
    if (n == nullptr)
        QV_WARNING("setDataFloatNode qvData1RFloat *floatNode is NULL!! return!");
}

void qvNodeElement::publish(SoState *state, int stackIndex,
                            const qvDataBase *n, SoType t)
{
    if (n == nullptr) {
        QV_WARNING("setDataFloatNode qvData1RFloat *floatNode is NULL!! return!");
        return;
    }
    if (state == nullptr || !state->isElementEnabled(stackIndex))
        return;
    qvNodeElement *elt = (qvNodeElement *)state->getElement(stackIndex);
    if (elt != nullptr)
        elt->setElt(n, t);
}

qvNodeElement *qvNodeElement::fetchForReading(SoState *state, int stackIndex,
                                              SoNode *caller)
{
    if (state == nullptr || !state->isElementEnabled(stackIndex))
        return nullptr;
    qvNodeElement *elt =
        caller != nullptr
            ? (qvNodeElement *)SoReplacedElement::getElement(state, stackIndex, caller)
            : (qvNodeElement *)state->getElement(stackIndex);
    if (elt == nullptr) {
        QV_WARNING("getPtr: getElement()returned NULL,  END");
        std::exit(-1);
    }
    return elt;
}

SoType qvNodeElement::fetchType(SoState *state, int stackIndex)
{
    if (state == nullptr || !state->isElementEnabled(stackIndex))
        return SoType::badType();
    const qvNodeElement *elt = (const qvNodeElement *)state->getElement(stackIndex);
    return elt != nullptr ? elt->type : SoType::badType();
}
