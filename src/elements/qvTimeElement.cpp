#include <elements/qvTimeElement.h>

#include <cstdio>

SO_ELEMENT_SOURCE(qvTimeElement);

void qvTimeElement::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_ELEMENT_INIT_CLASS(qvTimeElement, SoReplacedElement);
}

qvTimeElement::~qvTimeElement() {}

void qvTimeElement::init(SoState *state)
{
    SoReplacedElement::init(state);
    time = SbTime::zero();
    speed = 0;
    ust = 0;
    node = nullptr;
}

void qvTimeElement::push(SoState *)
{
    const qvTimeElement *below = (const qvTimeElement *)getNextInStack();
    if (below == nullptr) {
        std::fprintf(stderr, "Cannot find a qvTimeElement to push\n");
        return;
    }
    time = below->time;
    speed = below->speed;
    ust = below->ust;
    node = below->node;
}

void qvTimeElement::pop(SoState *, const SoElement *) {}

SbBool qvTimeElement::matches(const SoElement *elt) const
{
    if (elt == nullptr)
        return FALSE;
    const qvTimeElement *o = (const qvTimeElement *)elt;
    return o->time == time && o->speed == speed && o->node == node &&
           o->ust == ust;
}

SoElement *qvTimeElement::copyMatchInfo() const
{
    qvTimeElement *copy = (qvTimeElement *)getTypeId().createInstance();
    copy->time = time;
    copy->speed = speed;
    copy->ust = ust;
    copy->node = node;
    return copy;
}

void qvTimeElement::setElt(SbTime t, float s, long long u, SoNode *n)
{
    time = t;
    speed = s;
    ust = u;
    node = n;
}

void qvTimeElement::set(SoState *state, SbTime t, float s, long long u,
                        SoNode *n)
{
    if (state == nullptr || !state->isElementEnabled(classStackIndex))
        return;
    // In place: the top element is written, no instance for this depth.
    const qvTimeElement *elt = top(state);
    ((qvTimeElement *)elt)->setElt(t, s, u, n);
}

const qvTimeElement *qvTimeElement::top(SoState *state)
{
    const qvTimeElement *elt = nullptr;
    if (state != nullptr && state->isElementEnabled(classStackIndex))
        elt = (const qvTimeElement *)state->getConstElement(classStackIndex);
    QV_CHECK(elt);
    elt->capture(state);
    return elt;
}
