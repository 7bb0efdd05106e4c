// Current scene time: time, speed, clock stamp and the time node that
// published them. A time node writes the element in place, so its time
// stays in force after the separator that holds it.
#ifndef QV_TIME_ELEMENT_H
#define QV_TIME_ELEMENT_H

#include <Inventor/SbTime.h>
#include <Inventor/elements/SoReplacedElement.h>

#include <qvDebug.h>

class qvTimeElement : public SoReplacedElement {
    SO_ELEMENT_HEADER(qvTimeElement);

  public:
    static void initClass();

    virtual void init(SoState *state);
    virtual void push(SoState *state);
    virtual void pop(SoState *state, const SoElement *prevTopElement);
    virtual SbBool matches(const SoElement *elt) const;
    virtual SoElement *copyMatchInfo() const;
    virtual ~qvTimeElement();
    virtual void setElt(SbTime time, float speed, long long ust, SoNode *node);

    static void set(SoState *state, SbTime time, float speed, long long ust,
                    SoNode *node);

    static SbTime getTime(SoState *state) { return top(state)->time; }
    static float getSpeed(SoState *state) { return top(state)->speed; }
    static long long getUST(SoState *state) { return top(state)->ust; }
    static SoNode *getNode(SoState *state) { return top(state)->node; }
    // The time as float seconds, the way the readers use it.
    static float getSeconds(SoState *state)
    {
        SbTime t = getTime(state);
        return (float)t.getValue();
    }

  private:
    // Top of the stack by read access, captured into an open cache.
    static const qvTimeElement *top(SoState *state);

    SbTime time;
    float speed;
    long long ust;
    SoNode *node;
};

#endif
